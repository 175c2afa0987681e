import QtQuick
import QtTest
import "qrc:/qml/Velmor/Dialogs"

TestCase {
    id: testCase
    name: "DialogBoxes"
    width: 1000
    height: 700
    visible: true
    when: windowShown

    // Content below the dimmed area, which a box must keep from the mouse.
    MouseArea {
        id: below
        property int clicks: 0
        x: 10; y: 600; width: 200; height: 80
        onClicked: clicks += 1
    }

    // Something below the box that Tab could reach if the box let it out.
    Item {
        id: belowFocusable
        activeFocusOnTab: true
        width: 10; height: 10
    }

    Component { id: confirmComponent; DlgConfirmBox {} }
    Component { id: messageComponent; DlgMessageBox {} }

    SignalSpy { id: positiveSpy; signalName: "positiveClicked" }

    function openBox(component, properties) {
        const box = createTemporaryObject(component, testCase, properties || {})
        verify(box, "created")
        positiveSpy.clear()
        positiveSpy.target = component === confirmComponent ? box : null
        box.open()
        tryCompare(box, "opened", true)
        return box
    }

    function child(box, name) {
        const item = findChild(box.contentItem, name)
        verify(item, name)
        return item
    }

    function test_confirmBoxDefaultsAndTexts() {
        const box = openBox(confirmComponent, { title: "Reset Equalizer", text: "All frequencies will be set to 0 dB" })
        compare(child(box, "confirmButton").text, "Confirm")
        compare(child(box, "cancelButton").text, "Cancel")
        compare(child(box, "labelTitle").text, "Reset Equalizer")
        compare(child(box, "labelTitle").font.bold, true)
        compare(child(box, "labelTitle").font.pixelSize, App.theme.fontSizeTitle)
        const body = child(box, "labelText")
        compare(body.text, "All frequencies will be set to 0 dB")
        compare(body.color, App.theme.colorTextHighlighted)
        compare(body.Accessible.name, body.text)
        compare(body.Accessible.role, Accessible.StaticText)
        compare(box.width, 600)
        // The confirming button sits at the right end of the content.
        const button = child(box, "confirmButton")
        const right = button.mapToItem(box.contentItem, button.width, 0).x
        compare(right, box.contentItem.width)
    }

    function test_iconShowsOnlyWithASource_data() {
        return [
            { tag: "confirm, no icon", component: confirmComponent, source: "" },
            { tag: "confirm, icon", component: confirmComponent, source: "images/dialog/success.svg" },
            { tag: "message, no icon", component: messageComponent, source: "" },
            { tag: "message, icon", component: messageComponent, source: "images/dialog/error.svg" },
        ]
    }

    function test_iconShowsOnlyWithASource(data) {
        const source = data.source === "" ? "" : App.theme.resourcesPath + data.source
        const box = openBox(data.component, { imageSource: source, title: "Title" })
        const image = child(box, "image")
        const title = child(box, "labelTitle")
        const titleX = title.mapToItem(box.contentItem, 0, 0).x
        if (data.source === "") {
            compare(image.visible, false)
            compare(titleX, 0)
        } else {
            compare(image.visible, true)
            compare(image.width, 16)
            compare(image.height, 16)
            compare(titleX, 16 + App.theme.layoutRowSpacingSmall)
            tryCompare(image, "status", Image.Ready)
        }
    }

    function test_confirmBoxClosesBeforeItSignals() {
        const box = openBox(confirmComponent)
        let openedAtSignal = true
        box.positiveClicked.connect(() => { openedAtSignal = box.opened })
        mouseClick(child(box, "confirmButton"))
        compare(positiveSpy.count, 1)
        compare(openedAtSignal, false)
        tryCompare(box, "visible", false)
    }

    function test_confirmBoxKeys_data() {
        return [
            { tag: "Return", key: Qt.Key_Return, confirms: true },
            { tag: "Enter", key: Qt.Key_Enter, confirms: true },
            { tag: "Return with Cancel focused", key: Qt.Key_Return, confirms: true, focusCancel: true },
            { tag: "Escape", key: Qt.Key_Escape, confirms: false },
            { tag: "Escape with the confirming button focused", key: Qt.Key_Escape, confirms: false, forceFocus: true },
        ]
    }

    function test_confirmBoxKeys(data) {
        const box = openBox(confirmComponent)
        if (data.focusCancel)
            child(box, "cancelButton").forceActiveFocus()
        if (data.forceFocus)
            box.forceFocus()
        keyClick(data.key)
        tryCompare(box, "visible", false)
        compare(positiveSpy.count, data.confirms ? 1 : 0)
    }

    // Tab walks the box's buttons in their order, drawing the focus ring, and never leaves the
    // box; the keys keep their rules wherever the focus is.
    function test_tabWalksTheButtonsInsideTheBox() {
        const box = openBox(confirmComponent)
        const cancel = child(box, "cancelButton")
        const confirm = child(box, "confirmButton")
        for (const expected of [cancel, confirm, cancel, confirm]) {
            keyClick(Qt.Key_Tab)
            tryVerify(() => expected.activeFocus, 2000, expected.objectName)
            verify(findChild(expected, "focusRing").visible)
            verify(!belowFocusable.activeFocus)
        }
        keyClick(Qt.Key_Backtab)
        tryVerify(() => cancel.activeFocus)
        // Space acts on the focused button; Return stays the confirming key.
        keyClick(Qt.Key_Return)
        tryCompare(box, "visible", false)
        compare(positiveSpy.count, 1)
    }

    function test_spaceOnTheFocusedCancelCancels() {
        const box = openBox(confirmComponent)
        keyClick(Qt.Key_Tab)
        tryVerify(() => child(box, "cancelButton").activeFocus)
        keyClick(Qt.Key_Space)
        tryCompare(box, "visible", false)
        compare(positiveSpy.count, 0)
    }

    function test_forceFocusGoesToTheConfirmingButton() {
        const box = openBox(confirmComponent, { positiveText: "Open Permissions" })
        box.forceFocus()
        const button = child(box, "confirmButton")
        compare(button.text, "Open Permissions")
        verify(button.activeFocus)
    }

    function test_cancelClosesWithoutSignal() {
        const box = openBox(confirmComponent)
        mouseClick(child(box, "cancelButton"))
        tryCompare(box, "visible", false)
        compare(positiveSpy.count, 0)
    }

    function test_clickOutsideNeitherClosesNorReachesBelow_data() {
        return [
            { tag: "confirm", component: confirmComponent },
            { tag: "message", component: messageComponent },
        ]
    }

    function test_clickOutsideNeitherClosesNorReachesBelow(data) {
        const box = openBox(data.component)
        below.clicks = 0
        mouseClick(below)
        compare(below.clicks, 0)
        compare(box.opened, true)
        compare(positiveSpy.count, 0)
    }

    function test_messageBoxCloses_data() {
        return [
            { tag: "Confirm", key: 0 },
            { tag: "Return", key: Qt.Key_Return },
            { tag: "Enter", key: Qt.Key_Enter },
            { tag: "Escape", key: Qt.Key_Escape },
        ]
    }

    function test_messageBoxCloses(data) {
        const box = openBox(messageComponent, { title: "Saving Complete", text: "File successfully saved." })
        const button = child(box, "confirmButton")
        compare(button.text, "Confirm")
        if (data.key === 0)
            mouseClick(button)
        else
            keyClick(data.key)
        tryCompare(box, "visible", false)
    }

    function test_reusedMessageBoxShowsTheLastTexts() {
        const box = openBox(messageComponent, {
            imageSource: App.theme.resourcesPath + "images/dialog/success.svg",
            title: "Saving Complete", text: "File successfully saved." })
        keyClick(Qt.Key_Escape)
        tryCompare(box, "visible", false)
        box.imageSource = App.theme.resourcesPath + "images/dialog/warning.svg"
        box.title = "Load Failed"
        box.text = "Failed to load file."
        box.open()
        tryCompare(box, "opened", true)
        compare(child(box, "image").source, App.theme.resourcesPath + "images/dialog/warning.svg")
        compare(child(box, "labelTitle").text, "Load Failed")
        compare(child(box, "labelText").text, "Failed to load file.")
    }

    function test_longTextWidensAndBreaksLines() {
        const box = openBox(messageComponent, { text: "x".repeat(200) })
        verify(box.width > 600, "width " + box.width)
        const lines = openBox(messageComponent, { text: "one\ntwo" })
        compare(child(lines, "labelText").lineCount, 2)
    }
}
