import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemButtonGroup"
    width: 400
    height: 300
    visible: true
    when: windowShown

    Component {
        id: groupComponent
        ItemButtonGroup { width: 200; model: ["Off", "Low", "High"] }
    }
    // As the tabs use it: the selection follows a setting through an outside Binding, and the
    // click handler writes the setting.
    Component {
        id: settingComponent
        Item {
            property int setting: 0
            property alias group: group
            ItemButtonGroup {
                id: group
                width: 200
                model: ["On", "Off", "Transparency"]
                onClicked: parent.setting = currentIndex
            }
            Binding { target: group; property: "currentIndex"; value: setting }
        }
    }
    Component { id: tileComponent; ItemTile { width: 100; height: 50 } }

    SignalSpy { id: clickedSpy; signalName: "clicked" }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
    }

    function cleanup() {
        clickedSpy.clear()
        clickedSpy.target = null
    }

    function buttons(group) {
        const result = []
        const column = group.children[0]
        for (let i = 0; i < column.children.length; ++i) {
            if (column.children[i].text !== undefined)
                result.push(column.children[i])
        }
        return result
    }

    function checkedStates(group) {
        return buttons(group).map(b => b.checked)
    }

    function test_look() {
        const group = createTemporaryObject(groupComponent, testCase)
        compare(group.radius, 8)
        compare(group.color, App.theme.colorButtonGroup)
        compare(group.margins, 4)
        compare(group.spacing, 4)
        // Three 24 px buttons, two gaps and the margins above and below.
        compare(group.implicitHeight, 3 * App.theme.controlButtonGroupHeight + 2 * 4 + 2 * 4)
        compare(group.implicitHeight, 88)
        const list = buttons(group)
        compare(list.map(b => b.text), ["Off", "Low", "High"])
        for (let i = 0; i < list.length; ++i) {
            compare(list[i].width, 200 - 2 * 4, "each button is as wide as the panel less the margins")
            const place = list[i].mapToItem(group, 0, 0)
            compare(place.x, 4)
            compare(place.y, 4 + i * (App.theme.controlButtonGroupHeight + 4))
        }
        const widest = Math.max(...list.map(b => b.implicitWidth))
        // Layouts round sizes up to whole pixels.
        fuzzyCompare(group.implicitWidth, widest + 2 * 4, 1)
    }

    function test_marginsAndSpacing() {
        const group = createTemporaryObject(groupComponent, testCase, { margins: 10, spacing: 2 })
        compare(group.implicitHeight, 3 * App.theme.controlButtonGroupHeight + 2 * 2 + 2 * 10)
        compare(buttons(group)[1].mapToItem(group, 0, 0).y, 10 + App.theme.controlButtonGroupHeight + 2)
    }

    function test_currentIndexFromOutsideSelectsWithoutClicked_data() {
        return [
            { tag: "none", index: -1, states: [false, false, false] },
            { tag: "second", index: 1, states: [false, true, false] },
            { tag: "last", index: 2, states: [false, false, true] },
            { tag: "beyond the model", index: 3, states: [false, false, false] },
        ]
    }

    function test_currentIndexFromOutsideSelectsWithoutClicked(data) {
        const group = createTemporaryObject(groupComponent, testCase)
        clickedSpy.target = group
        compare(checkedStates(group), [false, false, false])
        group.currentIndex = data.index
        compare(checkedStates(group), data.states)
        compare(clickedSpy.count, 0)
    }

    function test_clickSelectsAndSignals() {
        const group = createTemporaryObject(groupComponent, testCase)
        clickedSpy.target = group
        let indexAtSignal = -2
        const record = () => { indexAtSignal = group.currentIndex }
        group.clicked.connect(record)
        mouseClick(buttons(group)[2])
        compare(clickedSpy.count, 1)
        compare(indexAtSignal, 2, "currentIndex is set before clicked() is emitted")
        compare(checkedStates(group), [false, false, true])
        // The selected button again: still selected, clicked() again.
        mouseClick(buttons(group)[2])
        compare(clickedSpy.count, 2)
        compare(group.currentIndex, 2)
        compare(checkedStates(group), [false, false, true])
    }

    function test_selectionFollowsTheSettingAfterClicks() {
        const holder = createTemporaryObject(settingComponent, testCase)
        const group = holder.group
        compare(checkedStates(group), [true, false, false])
        mouseClick(buttons(group)[1])
        compare(holder.setting, 1)
        compare(checkedStates(group), [false, true, false])
        // The setting changes elsewhere (a refused write, a poll): every button follows,
        // also those the user clicked before.
        holder.setting = 0
        compare(checkedStates(group), [true, false, false])
        holder.setting = 2
        compare(checkedStates(group), [false, false, true])
        mouseClick(buttons(group)[0])
        compare(holder.setting, 0)
        holder.setting = 1
        compare(checkedStates(group), [false, true, false])
        holder.setting = -1
        compare(checkedStates(group), [false, false, false])
    }

    function test_newModelTakesSelectionAtOnce() {
        const group = createTemporaryObject(groupComponent, testCase, { currentIndex: 1 })
        group.model = ["A", "B"]
        compare(buttons(group).map(b => b.text), ["A", "B"])
        compare(checkedStates(group), [false, true])
        tryCompare(group, "implicitHeight", 2 * App.theme.controlButtonGroupHeight + 4 + 2 * 4)
    }

    function test_tile() {
        const tile = createTemporaryObject(tileComponent, testCase)
        compare(tile.color, App.theme.colorTile)
        compare(tile.radius, 8)
        compare(tile.implicitWidth, 0)
        compare(tile.implicitHeight, 0)
    }
}
