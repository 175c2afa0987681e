import QtQuick
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
        const label = part(row, "label")
        const action = part(row, "action")
        compare(divider.width, 400)
        compare(divider.height, 1)
        compare(divider.color, App.theme.textInputBorderColor)
        compare(label.text, "Pair Dongle")
        compare(label.color, App.theme.colorTextHighlighted)
        compare(label.font.pixelSize, App.theme.fontSizeTitle)
        // Below the divider, 16 pixels apart; the label at the left, the action at the right end.
        const labelPos = label.mapToItem(row, 0, 0)
        const actionPos = action.mapToItem(row, 0, 0)
        compare(labelPos.x, 0)
        compare(actionPos.x + action.width, 400)
        compare(Math.min(labelPos.y, actionPos.y), 17)
    }

    function test_actionTakesClicks() {
        const row = createTemporaryObject(rowComponent, testCase)
        clickSpy.target = part(row, "action")
        mouseClick(part(row, "action"))
        compare(clickSpy.count, 1)
    }
}
