import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The screens without a headset: legal terms, no device, Solvarine.
TestCase {
    id: testCase
    name: "WidgetScreens"
    width: 1200
    height: 700
    visible: true
    when: windowShown

    Component {
        id: legalComponent

        WidgetLegalTerms {
            width: 1200
            height: 700
        }
    }

    Component {
        id: noDeviceComponent

        WidgetNoDevice {
            width: 1200
            height: 700
            bottomLeftRadius: 8
            bottomRightRadius: 8
        }
    }

    Component {
        id: solvarineComponent

        WidgetSlvMain {
            width: 1200
            height: 700
        }
    }

    SignalSpy {
        id: acceptedSpy

        signalName: "accepted"
    }

    function init() {
        failOnWarning(/.?/)
        App.clearOpenedUrls()
    }

    function cleanup() {
        acceptedSpy.target = null
        acceptedSpy.clear()
        App.unplug()
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name)
        verify(found, name)
        return found
    }

    function test_consentGate() {
        const screen = createTemporaryObject(legalComponent, testCase)
        acceptedSpy.target = screen
        const agree = child(screen, "agreeCheckBox")
        const proceed = child(screen, "continueButton")
        compare(agree.checked, false)
        compare(proceed.enabled, false)
        mouseClick(proceed)
        compare(acceptedSpy.count, 0)

        mouseClick(agree)
        compare(proceed.enabled, true)
        mouseClick(agree)
        compare(proceed.enabled, false)
        mouseClick(agree)
        mouseClick(proceed)
        compare(acceptedSpy.count, 1)
        mouseClick(proceed)
        compare(acceptedSpy.count, 2)
    }

    // Accepted with the keyboard alone: the screen opens with "I agree" focused, Space ticks it,
    // Tab walks the links to "Continue" with a visible ring, and Enter is the default button.
    function test_consentByKeyboard() {
        const screen = createTemporaryObject(legalComponent, testCase)
        acceptedSpy.target = screen
        const agree = child(screen, "agreeCheckBox")
        const proceed = child(screen, "continueButton")
        tryVerify(() => agree.activeFocus)
        // Focus given on opening is not drawn until the keyboard moves it.
        compare(child(agree, "focusRing").visible, false)

        keyClick(Qt.Key_Return)
        compare(acceptedSpy.count, 0)
        keyClick(Qt.Key_Space)
        compare(agree.checked, true)
        keyClick(Qt.Key_Space)
        compare(agree.checked, false)
        keyClick(Qt.Key_Space)
        compare(proceed.enabled, true)

        const order = ["termsLink", "privacyLink", "continueButton"]
        for (const name of order) {
            keyClick(Qt.Key_Tab)
            const item = child(screen, name)
            tryVerify(() => item.activeFocus, 2000, name)
            verify(child(item, "focusRing").visible, name)
        }
        keyClick(Qt.Key_Space)
        compare(acceptedSpy.count, 1)
        keyClick(Qt.Key_Backtab)
        tryVerify(() => child(screen, "privacyLink").activeFocus)
        keyClick(Qt.Key_Backtab)
        keyClick(Qt.Key_Backtab)
        tryVerify(() => agree.activeFocus)
        verify(child(agree, "focusRing").visible)
        keyClick(Qt.Key_Enter, Qt.KeypadModifier)
        compare(acceptedSpy.count, 2)
        keyClick(Qt.Key_Return)
        compare(acceptedSpy.count, 3)
        // No link was opened on the way.
        compare(App.openedUrls.length, 0)
    }

    // Clicked, or pressed with Return or Enter once the keyboard is on it: a link opens its page
    // and never counts as consent, also with "I agree" ticked and "Continue" armed.
    function test_legalLinks_data() {
        return [
            { tag: "terms", name: "termsLink", tabs: 1, key: 0, path: "/policies/terms-of-service" },
            { tag: "privacy", name: "privacyLink", tabs: 2, key: 0, path: "/policies/privacy-policy" },
            { tag: "terms by Return", name: "termsLink", tabs: 1, key: Qt.Key_Return,
              path: "/policies/terms-of-service" },
            { tag: "privacy by Enter", name: "privacyLink", tabs: 2, key: Qt.Key_Enter,
              path: "/policies/privacy-policy" }
        ]
    }

    function test_legalLinks(data) {
        const screen = createTemporaryObject(legalComponent, testCase)
        acceptedSpy.target = screen
        const agree = child(screen, "agreeCheckBox")
        const link = child(screen, data.name)
        if (data.key) {
            tryVerify(() => agree.activeFocus)
            keyClick(Qt.Key_Space)
            for (let i = 0; i < data.tabs; ++i)
                keyClick(Qt.Key_Tab)
            tryVerify(() => link.activeFocus)
            keyClick(data.key, data.key === Qt.Key_Enter ? Qt.KeypadModifier : Qt.NoModifier)
        } else {
            mouseClick(link)
        }
        compare(App.openedUrls.length, 1)
        verify(App.openedUrls[0].startsWith("https://"))
        verify(App.openedUrls[0].endsWith(data.path))
        compare(acceptedSpy.count, 0)
        // The link ticks nothing either.
        compare(agree.checked, data.key !== 0)
    }

    function test_noDeviceSupport() {
        const screen = createTemporaryObject(noDeviceComponent, testCase)
        const support = child(screen, "supportItem")
        compare(support.expanded, true)
        compare(support.height, 56)
        compare(support.bottomLeftRadius, 8)
        mouseClick(support)
        compare(App.openedUrls.length, 1)
        verify(App.openedUrls[0].endsWith("/hc/en-us"))
        compare(support.checked, false)
        compare(child(screen, "status").text, "Device Not Connected")
    }

    function test_noDeviceLayout_data() {
        return [
            { tag: "920 x 600", width: 1200, height: 600, pictureWidth: 920, pictureHeight: 656 },
            { tag: "920 x 700", width: 1200, height: 700, pictureWidth: 981.7, pictureHeight: 700 }
        ]
    }

    function test_noDeviceLayout(data) {
        const screen = createTemporaryObject(noDeviceComponent, testCase, { height: data.height })
        compare(child(screen, "leftColumn").width, 280)
        const area = child(screen, "pictureArea")
        compare(area.width, 920)
        const picture = child(screen, "picture")
        fuzzyCompare(picture.width, data.pictureWidth, 1)
        fuzzyCompare(picture.height, data.pictureHeight, 1)
        compare(picture.x, 0)
        compare(picture.y, 0)
    }

    // The picture is decoded at the size it is shown, never at its file's 1840 x 1312.
    function test_noDevicePictureDecodedAtShownSize() {
        const screen = createTemporaryObject(noDeviceComponent, testCase)
        const picture = child(screen, "picture")
        tryCompare(picture, "status", Image.Ready)
        fuzzyCompare(picture.width, 981.7, 1)
        fuzzyCompare(picture.sourceSize.width, picture.width * Screen.devicePixelRatio, 1)
        fuzzyCompare(picture.sourceSize.height, picture.height * Screen.devicePixelRatio, 1)
        // The decoded picture is as large as the item, not as the file.
        fuzzyCompare(picture.implicitWidth, picture.width, 1)
        fuzzyCompare(picture.implicitHeight, picture.height, 1)
    }

    function test_solvarine() {
        App.selectSolvarine()
        const screen = createTemporaryObject(solvarineComponent, testCase)
        verify(screen)
        compare(child(screen, "fwText").text, "Firmware: ")
    }
}
