import QtQuick
import QtQuick.Layouts
import QtTest
import "qrc:/qml/Velmor/Controls"
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemSettingsRow"
    width: 500
    height: 200
    visible: true
    when: windowShown

    Component {
        id: rowComponent

        ItemSettingsRow {
            x: 10
            y: 10
            width: 400
            text: "Pair Dongle"

            ZelButton {
                objectName: "action"
                text: "Pair"
            }
        }
    }

    Component {
        id: hintComponent

        ItemSettingsRow {
            x: 10
            y: 10
            width: 400
            divided: false
            text: "Factory Reset"
            hint: "Resets headset to factory defaults, after which it pairs and starts anew."

            ZelButton {
                objectName: "action"
                text: "Reset"
                Layout.alignment: Qt.AlignTop
            }
        }
    }

    SignalSpy { id: clickSpy; signalName: "clicked" }

    function init() {
        failOnWarning(/.?/)
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    function test_layout() {
        const row = createTemporaryObject(rowComponent, testCase)
        const divider = part(row, "divider")
        const label = part(row, "title")
        const action = part(row, "action")
        compare(divider.width, 400)
        compare(divider.height, 1)
        compare(divider.color, App.theme.textInputBorderColor)
        compare(label.text, "Pair Dongle")
        compare(label.color, App.theme.colorTextHighlighted)
        compare(label.font.pixelSize, App.theme.fontSizeTitle)
        verify(!part(row, "hint").visible)
        compare(part(row, "description").Accessible.name, "Pair Dongle")
        // Below the divider, 16 pixels apart; the label at the left, the action at the right end,
        // centred on each other.
        const labelPos = label.mapToItem(row, 0, 0)
        const actionPos = action.mapToItem(row, 0, 0)
        compare(labelPos.x, 0)
        compare(actionPos.x + action.width, 400)
        compare(Math.min(labelPos.y, actionPos.y), 17)
        fuzzyCompare(labelPos.y + label.height / 2, actionPos.y + action.height / 2, 1)
    }

    // A label with a hint: the hint wraps below the label, clear of the action, which stands
    // where it asks (here at the top, as the settings page's reset rows do).
    function test_hint() {
        const row = createTemporaryObject(hintComponent, testCase)
        const label = part(row, "title")
        const hint = part(row, "hint")
        const action = part(row, "action")
        verify(!part(row, "divider").visible)
        verify(hint.visible)
        compare(hint.color, App.theme.colorHint)
        waitForRendering(row)
        verify(hint.lineCount > 1, "the hint wraps")
        compare(hint.mapToItem(row, 0, 0).y, label.height + 4)
        const actionPos = action.mapToItem(row, 0, 0)
        compare(actionPos.y, 0)
        compare(actionPos.x + action.width, 400)
        compare(hint.mapToItem(row, 0, 0).x + hint.width + 16, actionPos.x)
        compare(part(row, "description").Accessible.description, hint.text)
    }

    function test_actionTakesClicks() {
        const row = createTemporaryObject(rowComponent, testCase)
        clickSpy.target = part(row, "action")
        mouseClick(part(row, "action"))
        compare(clickSpy.count, 1)
    }
}
