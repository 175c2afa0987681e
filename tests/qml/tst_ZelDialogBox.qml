import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

// The key rules and the title block that every dialog takes from ZelDialogBox.
TestCase {
    id: testCase
    name: "ZelDialogBox"
    width: 1000
    height: 700
    visible: true
    when: windowShown

    Component {
        id: boxComponent

        ZelDialogBox {
            closePolicy: ZelPopupDialog.NoAutoClose
            title: "Title"
            text: "Text"
        }
    }

    SignalSpy { id: positiveSpy; signalName: "positiveButtonClicked" }
    SignalSpy { id: negativeSpy; signalName: "negativeButtonClicked" }

    function init() {
        failOnWarning(/.?/)
    }

    function openBox(properties) {
        const box = createTemporaryObject(boxComponent, testCase, properties || {})
        verify(box)
        positiveSpy.clear()
        negativeSpy.clear()
        positiveSpy.target = box
        negativeSpy.target = box
        box.open()
        tryCompare(box, "opened", true)
        return box
    }

    function child(box, name) {
        const item = findChild(box.contentItem, name)
        verify(item, name)
        return item
    }

    // What Enter, Return and Escape click, by the box's settings.
    function test_keys_data() {
        return [
            { tag: "Enter", key: Qt.Key_Enter, settings: {}, positive: 1, negative: 0 },
            { tag: "Return", key: Qt.Key_Return, settings: {}, positive: 1, negative: 0 },
            { tag: "Escape left to the close policy", key: Qt.Key_Escape, settings: {}, positive: 0, negative: 0 },
            { tag: "Escape clicks the negative", key: Qt.Key_Escape, settings: { escapeClicksNegative: true },
              positive: 0, negative: 1 },
            { tag: "Escape clicks a hidden negative", key: Qt.Key_Escape,
              settings: { escapeClicksNegative: true, hasNegative: false }, positive: 0, negative: 1 },
            { tag: "keys off, Return", key: Qt.Key_Return, settings: { keysEnabled: false }, positive: 0, negative: 0 },
            { tag: "keys off, Escape", key: Qt.Key_Escape, settings: { keysEnabled: false, escapeClicksNegative: true },
              positive: 0, negative: 0 }
        ]
    }

    function test_keys(data) {
        const box = openBox(data.settings)
        keyClick(data.key)
        compare(positiveSpy.count, data.positive)
        compare(negativeSpy.count, data.negative)
        box.close()
    }

    function test_keysClickNoDisabledOrHiddenButton() {
        const box = openBox({ escapeClicksNegative: true })
        box.positiveButton.enabled = false
        box.negativeButton.enabled = false
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Escape)
        compare(positiveSpy.count, 0)
        compare(negativeSpy.count, 0)
        // While the button row is hidden, Enter does nothing even with the button enabled.
        box.positiveButton.enabled = true
        box.buttonRow.visible = false
        keyClick(Qt.Key_Enter)
        compare(positiveSpy.count, 0)
        box.close()
    }

    function test_buttonsAtTheRightEnd() {
        const box = openBox()
        const positive = child(box, "confirmButton")
        const negative = child(box, "cancelButton")
        const right = box.contentItem.width
        compare(positive.mapToItem(box.contentItem, 0, 0).x + positive.width, right)
        compare(negative.mapToItem(box.contentItem, 0, 0).x + negative.width + App.theme.layoutRowSpacingSmall,
                positive.mapToItem(box.contentItem, 0, 0).x)
        mouseClick(positive)
        mouseClick(negative)
        compare(positiveSpy.count, 1)
        compare(negativeSpy.count, 1)
        box.close()
    }

    function test_iconOnlyWhenSet() {
        const box = openBox()
        const image = child(box, "image")
        const title = child(box, "labelTitle")
        compare(image.visible, false)
        compare(title.mapToItem(box.contentItem, 0, 0).x, 0)
        box.imageSource = App.theme.resourcesPath + "images/dialog/success.svg"
        compare(image.visible, true)
        compare(image.width, 16)
        tryVerify(() => title.mapToItem(box.contentItem, 0, 0).x === 16 + App.theme.layoutRowSpacingSmall)
        box.close()
    }

    function test_styledTextIsReadWithoutMarkup() {
        const box = openBox({ textFormat: Text.StyledText, text: "Keep it <b>plugged</b> in.<br>Then wait." })
        compare(child(box, "labelText").Accessible.name, "Keep it  plugged  in. Then wait.")
        box.close()
    }
}
