import QtQuick
import QtQuick.Templates as T
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "ZelPopups"
    width: 1000
    height: 700
    visible: true
    when: windowShown

    // The window content: a title-bar button above the dimmed area and a button below it.
    ZelButton {
        id: titleButton
        x: 900; y: 2; width: 60; height: 28
        text: "X"
    }
    MouseArea {
        id: wheelArea
        property int wheels: 0
        x: 100; y: 400; width: 200; height: 100
        onWheel: (wheel) => { wheels += 1 }
    }
    ZelButton {
        id: contentButton
        x: 100; y: 300; width: 200; height: 40
        text: "Content"
    }

    Component { id: popupComponent; ZelPopup { x: 600; y: 100; width: 200; height: 100 } }
    Component { id: dialogComponent; ZelPopupDialog {} }
    Component { id: drawerComponent; ZelDrawer { y: 33; width: 450; height: 600 } }
    Component {
        id: dialogWithContentComponent
        ZelPopupDialog { contentItem: Item { implicitWidth: 800; implicitHeight: 300 } }
    }

    SignalSpy { id: contentClicks; target: contentButton; signalName: "clicked" }
    SignalSpy { id: titleClicks; target: titleButton; signalName: "clicked" }

    function init() {
        mouseMove(testCase, 500, 690)
        contentClicks.clear()
        titleClicks.clear()
    }

    function cleanup() {
        App.animationsEnabled = true
    }

    function openPopup(component, properties) {
        const popup = createTemporaryObject(component, testCase, properties || {})
        verify(popup, "created")
        popup.open()
        tryCompare(popup, "opened", true)
        return popup
    }

    function dimmer() {
        return findChild(T.Overlay.overlay, "popupDimmer")
    }

    function test_defaults_data() {
        return [
            { tag: "popup", component: popupComponent, policy: T.Popup.NoAutoClose },
            { tag: "dialog", component: dialogComponent, policy: T.Popup.NoAutoClose },
            { tag: "drawer", component: drawerComponent, policy: T.Popup.CloseOnReleaseOutside | T.Popup.CloseOnEscape },
        ]
    }

    function test_defaults(data) {
        const popup = createTemporaryObject(data.component, testCase)
        compare(popup.modal, false)
        compare(popup.pseudoModal, true)
        compare(popup.dim, true)
        compare(popup.closePolicy, data.policy)
        popup.pseudoModal = false
        compare(popup.dim, false)
        popup.modal = true
        compare(popup.dim, true)
    }

    function test_closePoliciesByTypeName() {
        compare(ZelPopupDialog.CloseOnEscape, T.Popup.CloseOnEscape)
        compare(ZelPopupDialog.NoAutoClose, T.Popup.NoAutoClose)
    }

    function test_dimmingLeavesTitleBarAndBorderClear() {
        const popup = openPopup(popupComponent)
        const veil = dimmer()
        verify(veil, "a dimming item is shown")
        const topLeft = veil.mapToItem(T.Overlay.overlay, 0, 0)
        compare(topLeft.x, App.theme.windowBorderWidth)
        compare(topLeft.y, App.theme.titleBarSize + App.theme.windowBorderWidth)
        compare(veil.width, testCase.width - 2 * App.theme.windowBorderWidth)
        compare(veil.height, testCase.height - App.theme.titleBarSize - 2 * App.theme.windowBorderWidth)
        compare(veil.color, App.theme.colorEmpty)
        compare(veil.opacity, 0.6)
        compare(veil.topLeftRadius, 0)
        compare(veil.topRightRadius, 0)
        compare(veil.bottomLeftRadius, 8)
        compare(veil.bottomRightRadius, 8)
        popup.close()
        tryCompare(popup, "visible", false)
        // The dimming goes with the popup.
        tryVerify(() => { const v = dimmer(); return !v || !v.visible || v.parent.opacity === 0 })
    }

    function test_pseudoModalPopupBlocksContentButNotTitleBar() {
        const popup = openPopup(popupComponent)
        mouseMove(contentButton)
        compare(contentButton.hovered, false)
        mouseClick(contentButton)
        compare(contentClicks.count, 0)
        wheelArea.wheels = 0
        mouseWheel(wheelArea, 10, 10, 0, -120)
        compare(wheelArea.wheels, 0)
        mouseClick(titleButton)
        compare(titleClicks.count, 1)
        // A bare popup does not close on a click outside or on Escape.
        keyClick(Qt.Key_Escape)
        compare(popup.opened, true)
        compare(popup.visible, true)
        popup.close()
        tryCompare(popup, "visible", false)
        mouseClick(contentButton)
        compare(contentClicks.count, 1)
        mouseWheel(wheelArea, 10, 10, 0, -120)
        compare(wheelArea.wheels, 1)
    }

    function test_nonModalPopupWithoutPseudoModalityBlocksNothing() {
        const popup = openPopup(popupComponent, { pseudoModal: false })
        const veil = dimmer()
        verify(!veil || !veil.visible || veil.opacity === 0, "no dimming")
        mouseMove(contentButton)
        tryCompare(contentButton, "hovered", true)
        mouseClick(contentButton)
        compare(contentClicks.count, 1)
        compare(popup.opened, true)
    }

    function test_dialogIsCentredAndSizedByBackgroundOrContent() {
        const dialog = openPopup(dialogComponent)
        compare(dialog.padding, 24)
        compare(dialog.width, 600)
        compare(dialog.height, 176)
        compare(dialog.x, (testCase.width - 600) / 2)
        compare(dialog.y, (testCase.height - 176) / 2)
        compare(dialog.background.radius, 8)
        compare(dialog.background.color, App.theme.colorPreset)
        compare(dialog.background.border.width, 1)
        compare(dialog.background.border.color, App.theme.colorPresetHovered)
        keyClick(Qt.Key_Escape)
        compare(dialog.opened, true)

        const large = openPopup(dialogWithContentComponent)
        compare(large.width, 800 + 48)
        compare(large.height, 300 + 48)
        compare(large.x, (testCase.width - 848) / 2)
    }

    function test_dialogClosesOnEscapeWhenItAsksTo() {
        const dialog = openPopup(dialogComponent, { closePolicy: ZelPopupDialog.CloseOnEscape, focus: true })
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
    }

    function test_drawerRestsInsideTheRightBorder() {
        const drawer = openPopup(drawerComponent)
        compare(drawer.fraction, 1)
        compare(drawer.x, testCase.width - (App.theme.windowBorderWidth + 450))
        compare(drawer.x, 549)
        drawer.close()
        tryCompare(drawer, "visible", false)
        compare(drawer.fraction, 0)
        compare(drawer.x, testCase.width)
    }

    function test_drawerSlidesOnlyWithAnimations_data() {
        return [
            { tag: "animations on", animations: true },
            { tag: "animations off", animations: false },
        ]
    }

    function test_drawerSlidesOnlyWithAnimations(data) {
        App.animationsEnabled = data.animations
        const drawer = createTemporaryObject(drawerComponent, testCase)
        const steps = []
        drawer.fractionChanged.connect(() => steps.push(drawer.fraction))
        drawer.open()
        tryCompare(drawer, "opened", true, 5000)
        compare(drawer.fraction, 1)
        const inBetween = steps.filter(f => f > 0 && f < 1)
        if (data.animations)
            verify(inBetween.length > 0, "slides in through " + steps)
        else
            compare(inBetween.length, 0, "jumps: " + steps)

        steps.length = 0
        drawer.close()
        tryCompare(drawer, "visible", false, 5000)
        compare(drawer.fraction, 0)
        if (data.animations)
            verify(steps.filter(f => f > 0 && f < 1).length > 0, "slides out through " + steps)
        else
            compare(steps.filter(f => f > 0 && f < 1).length, 0, "jumps: " + steps)
    }

    function test_drawerClosesOnEscape() {
        App.animationsEnabled = false
        const drawer = openPopup(drawerComponent)
        verify(drawer.activeFocus, "the drawer takes the focus")
        keyClick(Qt.Key_Escape)
        tryCompare(drawer, "visible", false)
    }

    function test_drawerClosesOnReleaseOutsideWithoutClickingBelow() {
        App.animationsEnabled = false
        const drawer = openPopup(drawerComponent)
        mouseClick(contentButton)
        tryCompare(drawer, "visible", false)
        compare(contentClicks.count, 0)
    }

    function test_drawerStaysOpenOnClicksInside() {
        App.animationsEnabled = false
        const drawer = openPopup(drawerComponent)
        mouseClick(testCase, 700, 300)
        compare(drawer.opened, true)
    }
}
