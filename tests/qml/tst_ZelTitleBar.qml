import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "ZelTitleBar"
    width: 400
    height: 200
    visible: true
    when: windowShown

    Component {
        id: titleBarComponent
        ZelTitleBar { width: 400; height: App.theme.titleBarSize }
    }

    SignalSpy { id: actionSpy; signalName: "action" }

    function test_buttonFlags_data() {
        return [
            { tag: "Close", value: ZelTitleBar.Close, expected: 1 },
            { tag: "Minimize", value: ZelTitleBar.Minimize, expected: 2 },
            { tag: "Maximize", value: ZelTitleBar.Maximize, expected: 4 },
            { tag: "Settings", value: ZelTitleBar.Settings, expected: 8 },
            { tag: "Notifications", value: ZelTitleBar.Notifications, expected: 16 },
            { tag: "Move", value: ZelTitleBar.Move, expected: 32 },
            { tag: "SystemButtons", value: ZelTitleBar.SystemButtons, expected: 7 },
            { tag: "CustomButtons", value: ZelTitleBar.CustomButtons, expected: 24 },
            { tag: "AllButtons", value: ZelTitleBar.AllButtons, expected: 31 },
        ]
    }

    function test_buttonFlags(data) {
        compare(data.value, data.expected)
    }

    function test_groupsCombineTheButtons() {
        compare(ZelTitleBar.SystemButtons, ZelTitleBar.Close | ZelTitleBar.Minimize | ZelTitleBar.Maximize)
        compare(ZelTitleBar.CustomButtons, ZelTitleBar.Settings | ZelTitleBar.Notifications)
        compare(ZelTitleBar.AllButtons, ZelTitleBar.SystemButtons + ZelTitleBar.CustomButtons)
        compare(ZelTitleBar.AllButtons & ZelTitleBar.Move, 0)
    }

    function test_defaultsShowAndEnableAllButtons() {
        const bar = createTemporaryObject(titleBarComponent, testCase)
        compare(bar.enabledButtons, ZelTitleBar.AllButtons)
        compare(bar.visibleButtons, ZelTitleBar.AllButtons)
    }

    function test_separatorAlongTheBottomEdge() {
        const bar = createTemporaryObject(titleBarComponent, testCase)
        const line = findChild(bar, "separator")
        compare(line.height, 1)
        compare(line.width, bar.width)
        compare(line.y, bar.height - 1)
        compare(line.color, App.theme.colorPresetHovered)
        bar.width = 250
        compare(line.width, 250)
    }

    function test_actionCarriesTheFlag() {
        const bar = createTemporaryObject(titleBarComponent, testCase)
        actionSpy.target = bar
        bar.action(ZelTitleBar.Move)
        compare(actionSpy.count, 1)
        compare(actionSpy.signalArguments[0][0], 32)
    }
}
