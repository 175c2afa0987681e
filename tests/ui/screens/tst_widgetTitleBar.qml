import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"
import "qrc:/qml/Velmor/Widgets"

// Both title bars: one action per click, press and double-click, the host's button sets, and the
// unseen-notifications badge.
TestCase {
    id: testCase
    name: "WidgetTitleBar"
    width: 1000
    height: 32
    visible: true
    when: windowShown

    Component {
        id: windowsComponent

        WidgetTitleBarWindows {
            width: 1000
            height: 32
        }
    }

    Component {
        id: macComponent

        WidgetTitleBarMacOS {
            width: 1000
            height: 32
        }
    }

    SignalSpy {
        id: actionSpy

        signalName: "action"
    }

    function init() {
        failOnWarning(/.?/)
        App.notificationsMediator.clear()
    }

    function cleanup() {
        actionSpy.target = null
        actionSpy.clear()
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name)
        verify(found, name)
        return found
    }

    function createBar(component) {
        const bar = createTemporaryObject(component, testCase)
        verify(bar)
        actionSpy.target = bar
        return bar
    }

    function actions() {
        const ids = []
        for (let i = 0; i < actionSpy.count; ++i)
            ids.push(actionSpy.signalArguments[i][0])
        return ids
    }

    function test_buttons_data() {
        return [
            { tag: "settings", event: ZelTitleBar.Settings, name: "Settings" },
            { tag: "notifications", event: ZelTitleBar.Notifications, name: "Notifications" },
            { tag: "minimize", event: ZelTitleBar.Minimize, name: "Minimize" },
            { tag: "maximize", event: ZelTitleBar.Maximize, name: "Maximize" },
            { tag: "close", event: ZelTitleBar.Close, name: "Close" }
        ]
    }

    function test_buttons(data) {
        const bar = createBar(windowsComponent)
        const button = child(bar, "button" + data.event)
        compare(button.text, data.name)
        mouseClick(button)
        compare(actions(), [data.event])
    }

    function test_buttonOrderAndPlace() {
        const bar = createBar(windowsComponent)
        const order = [ZelTitleBar.Settings, ZelTitleBar.Notifications, ZelTitleBar.Minimize,
                       ZelTitleBar.Maximize, ZelTitleBar.Close]
        let previousX = -1
        for (const event of order) {
            const button = child(bar, "button" + event)
            const x = button.mapToItem(bar, 0, 0).x
            verify(x > previousX)
            previousX = x
            compare(button.width, 16)
            compare(button.height, 16)
        }
        // 16 px from the right edge, 8 px from the top.
        const close = child(bar, "button" + ZelTitleBar.Close)
        compare(close.mapToItem(bar, 0, 0).x, 1000 - 16 - 16)
        compare(close.mapToItem(bar, 0, 0).y, 8)
    }

    function test_dragArea() {
        const bar = createBar(windowsComponent)
        const drag = child(bar, "dragArea")
        compare(drag.width, 1000 - 224)
        mousePress(drag, 100, 16)
        mouseRelease(drag, 100, 16)
        compare(actions(), [ZelTitleBar.Move])
        actionSpy.clear()
        mouseDoubleClickSequence(drag, 100, 16)
        compare(actions().filter(id => id === ZelTitleBar.Maximize).length, 1)
        verify(actions().every(id => id === ZelTitleBar.Move || id === ZelTitleBar.Maximize))
        actionSpy.clear()
        mouseClick(drag, 100, 16, Qt.RightButton)
        compare(actionSpy.count, 0)
    }

    function test_visibleButtons() {
        const bar = createBar(windowsComponent)
        bar.visibleButtons = ZelTitleBar.SystemButtons
        compare(child(bar, "button" + ZelTitleBar.Settings).visible, false)
        compare(child(bar, "button" + ZelTitleBar.Notifications).visible, false)
        compare(child(bar, "button" + ZelTitleBar.Close).visible, true)
        // Hidden buttons take no room: the drag area grows.
        tryCompare(child(bar, "dragArea"), "width", 1000 - (3 * 16 + 2 * 32 + 16))
    }

    function test_disabledButtons() {
        const bar = createBar(windowsComponent)
        App.notificationsMediator.newNotificationsCount = 2
        bar.enabledButtons = ZelTitleBar.SystemButtons
        const bell = child(bar, "button" + ZelTitleBar.Notifications)
        compare(bell.enabled, false)
        mouseClick(bell)
        mouseClick(child(bar, "button" + ZelTitleBar.Settings))
        compare(actionSpy.count, 0)
        // The badge stays, at full opacity.
        const badge = child(bell, "badge")
        compare(badge.visible, true)
        compare(badge.opacity, 1)
        mouseClick(child(bar, "button" + ZelTitleBar.Minimize))
        compare(actions(), [ZelTitleBar.Minimize])
    }

    function test_badge() {
        const bar = createBar(windowsComponent)
        const badge = child(child(bar, "button" + ZelTitleBar.Notifications), "badge")
        compare(badge.visible, false)
        App.notificationsMediator.newNotificationsCount = 1
        compare(badge.visible, true)
        App.notificationsMediator.newNotificationsCount = 5
        compare(badge.visible, true)
        App.notificationsMediator.newNotificationsCount = 0
        compare(badge.visible, false)
        // Only the bell carries one.
        App.notificationsMediator.newNotificationsCount = 1
        compare(child(child(bar, "button" + ZelTitleBar.Settings), "badge").visible, false)
        // A hidden bell shows none.
        bar.visibleButtons = ZelTitleBar.SystemButtons
        verify(!badge.visible)
    }

    function test_macOS() {
        const bar = createBar(macComponent)
        verify(findChild(bar, "button" + ZelTitleBar.Settings))
        verify(findChild(bar, "button" + ZelTitleBar.Notifications))
        verify(!findChild(bar, "button" + ZelTitleBar.Close))
        verify(!findChild(bar, "button" + ZelTitleBar.Minimize))
        const bell = child(bar, "button" + ZelTitleBar.Notifications)
        compare(bell.mapToItem(bar, 0, 0).y, 8)
        mouseClick(bell)
        compare(actions(), [ZelTitleBar.Notifications])
        // Before the terms are accepted no button is shown at all.
        bar.visibleButtons = ZelTitleBar.SystemButtons
        compare(bell.visible, false)
        compare(child(bar, "button" + ZelTitleBar.Settings).visible, false)
    }
}
