import QtQuick
import QtQuick.Window
import QtTest
import Qt.labs.platform as Platform
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Controls"
import "data"

// The main window with stand-ins for the app mediator and the UI models. Quitting itself (which
// ends the engine) and the headset screen over the real headset model are tested with the real
// application object in tests/app.
TestCase {
    id: testCase
    name: "MainWindow"
    when: windowShown

    FakeAppMediator { id: appMediator }
    QtObject {
        id: notificationsMediator
        property int newNotificationsCount: 0
        property var notificationsModel: null
        function markAsSeen() {}
    }
    QtObject { id: stubModel; property int type: UIModel.Unknown; property int category: UIModel.Stub }
    QtObject {
        id: solvarineModel
        property int type: UIModel.Solvarine
        property int category: UIModel.Hardware
        property QtObject fwMediator: QtObject { property string fwVer: "3.1" }
    }

    property var main: null

    function init() {
        appMediator.eulaAccepted = true
        appMediator.minimizeToTray = false
        appMediator.closingBlocks = 0
        appMediator.updateStatus = UIAppMediator.None
        App.appMediator = appMediator
        App.notificationsMediator = notificationsMediator
        App.uiModel = null
        App.deviceSearchDone = true
        App.clearCalls()
        const component = Qt.createComponent("qrc:/qml/Velmor/Main.qml")
        compare(component.status, Component.Ready, component.errorString())
        main = createTemporaryObject(component, testCase)
        verify(main)
        tryCompare(main, "visible", true)
        waitForRendering(main.contentItem)
        // The title bar and the tray follow the first frame.
        tryCompare(findChild(main.contentItem, "titleBarLoader"), "status", Loader.Ready)
        tryVerify(() => findChild(main, "systemTrayIcon"))
        // The title bar and the screen are shown (and take input) together, once both are whole.
        tryCompare(findChild(main.contentItem, "mainLayout"), "enabled", true)
    }

    function cleanup() {
        App.uiModel = null
        App.appMediator = null
    }

    function loaded(loaderName) {
        const loader = findChild(main.contentItem, loaderName)
        verify(loader, loaderName)
        return loader.item
    }

    // The screen that the window shows, once it is built: screens are built a piece per frame,
    // so a change of consent or model shows its screen shortly after, as the user sees it.
    function screen() {
        const loader = findChild(main.contentItem, "mainLoader")
        verify(loader)
        tryCompare(loader, "status", Loader.Ready)
        return loader.item
    }

    function isA(object, type) { return object !== null && String(object).startsWith(type) }

    function titleBar() { return loaded("titleBarLoader") }

    function test_window() {
        compare(main.width, 1200)
        compare(main.height, 688)
        compare(main.minimumWidth, 1200)
        compare(main.minimumHeight, 688)
        compare(main.color, App.theme.colorTransparent)
        // Frameless, so that no window manager draws a second title bar above ours.
        compare(main.flags, Qt.Window | Qt.FramelessWindowHint)
        const rect = findChild(main.contentItem, "mainRect")
        compare(rect.radius, 8)
        compare(rect.border.width, 1)
        verify(isA(titleBar(), "WidgetTitleBarWindows"))
        compare(titleBar().height, 32)
        compare(findChild(main.contentItem, "frameLayout").visible, true)
    }

    function test_screenChoice_data() {
        return [
            { tag: "no consent", eula: false, model: null, screen: "WidgetLegalTerms", buttons: ZelTitleBar.SystemButtons },
            { tag: "no model yet", eula: true, model: null, screen: "QQuickItem", buttons: ZelTitleBar.AllButtons },
            { tag: "no device", eula: true, model: "stub", screen: "WidgetNoDevice", buttons: ZelTitleBar.AllButtons },
            // While the first search for devices runs, the window does not claim there is none.
            { tag: "no device yet, search running", eula: true, model: "stub", searchDone: false, screen: "QQuickItem", buttons: ZelTitleBar.AllButtons },
            { tag: "Solvarine", eula: true, model: "solvarine", screen: "WidgetSlvMain", buttons: ZelTitleBar.AllButtons },
            { tag: "no consent with a device", eula: false, model: "stub", screen: "WidgetLegalTerms", buttons: ZelTitleBar.SystemButtons },
        ]
    }

    function test_screenChoice(data) {
        appMediator.eulaAccepted = data.eula
        App.deviceSearchDone = data.searchDone !== false
        App.uiModel = data.model === "stub" ? stubModel : data.model === "solvarine" ? solvarineModel : null
        const screen = this.screen()
        verify(isA(screen, data.screen), String(screen))
        compare(titleBar().visibleButtons, data.buttons)
        if (data.screen !== "QQuickItem") {
            compare(screen.bottomLeftRadius, 8)
            compare(screen.bottomRightRadius, 8)
        }
    }

    // A device that leaves and comes back before the no-device screen is whole gets a new
    // screen, not the one it had: a screen starts afresh each time it is shown.
    function test_deviceBackAtOnceGetsANewScreen() {
        appMediator.eulaAccepted = true
        App.uiModel = solvarineModel
        const first = screen()
        verify(isA(first, "WidgetSlvMain"), String(first))
        App.uiModel = stubModel
        App.uiModel = solvarineModel
        tryVerify(() => { const now = screen(); return now !== first && isA(now, "WidgetSlvMain") })
    }

    function test_acceptingTheTermsStoresTheConsent() {
        appMediator.eulaAccepted = false
        App.uiModel = stubModel
        screen().accepted()
        compare(appMediator.eulaAccepted, true)
        verify(isA(screen(), "WidgetNoDevice"))
    }

    function test_drawersReplaceEachOtherAndDisableTheCustomButtons() {
        titleBar().action(ZelTitleBar.Settings)
        const settings = loaded("popupLoader")
        verify(isA(settings, "PopupAppSettings"))
        tryCompare(settings, "opened", true)
        compare(settings.width, 450)
        compare(settings.y, 33)
        compare(settings.height, 688 - 33 - 1)
        compare(titleBar().enabledButtons, ZelTitleBar.SystemButtons)
        settings.close()
        tryCompare(titleBar(), "enabledButtons", ZelTitleBar.AllButtons)

        // The same drawer again keeps its instance.
        titleBar().action(ZelTitleBar.Settings)
        compare(loaded("popupLoader"), settings)
        tryCompare(settings, "opened", true)
        settings.close()
        tryCompare(settings, "visible", false)

        titleBar().action(ZelTitleBar.Notifications)
        const notifications = loaded("popupLoader")
        verify(isA(notifications, "PopupNotifications"))
        tryCompare(notifications, "opened", true)
        compare(notifications.y, 33)
        // The screen below offers no firmware update: the request is ignored.
        App.uiModel = stubModel
        notifications.fwUpdateClicked()
        notifications.close()
        tryCompare(titleBar(), "enabledButtons", ZelTitleBar.AllButtons)
    }

    function test_closingBlockKeepsTheDrawersShut() {
        appMediator.addClosingBlock()
        titleBar().action(ZelTitleBar.Settings)
        titleBar().action(ZelTitleBar.Notifications)
        compare(loaded("popupLoader"), null)
    }

    function test_drawersOpenTheirDialogsAbove() {
        titleBar().action(ZelTitleBar.Settings)
        const settings = loaded("popupLoader")
        tryCompare(settings, "opened", true)
        settings.appUpdateClicked()
        const update = loaded("popup2Loader")
        verify(isA(update, "DlgAppUpdate"))
        tryCompare(update, "opened", true)
        update.close()
        tryCompare(update, "visible", false)

        const licences = Qt.createComponent("qrc:/qml/Velmor/Dialogs/DlgLicenses.qml")
        settings.popupOpen(licences)
        const dialog = loaded("popup2Loader")
        verify(isA(dialog, "DlgLicenses"))
        tryCompare(dialog, "opened", true)
        compare(settings.opened, true)
        dialog.close()
        settings.close()
        tryCompare(settings, "visible", false)
    }

    // A window that ends with a drawer open ends quietly: the drawer hides after the window's
    // own objects are gone.
    function test_windowEndsWithADrawerOpen_data() {
        return [
            { tag: "settings", button: ZelTitleBar.Settings },
            { tag: "notifications", button: ZelTitleBar.Notifications },
        ]
    }

    function test_windowEndsWithADrawerOpen(data) {
        failOnWarning(/./)
        mouseClick(findChild(titleBar(), "button" + data.button))
        tryCompare(loaded("popupLoader"), "opened", true)
        // Goes with the window's items, which the window's end destroys.
        const watch = Qt.createQmlObject("import QtQuick; Item { property var ends; Component.onDestruction: ends.gone = true }",
                                         main.contentItem)
        const window = { gone: false }
        watch.ends = window
        main.destroy()
        main = null
        tryVerify(() => window.gone)
    }

    // The dialog opened over a drawer takes the keyboard focus, so its own keys apply: on the
    // app update's failure page Escape does nothing, and it does not reach the drawer below.
    function test_dialogOverADrawerTakesTheKeys_data() {
        return [
            { tag: "settings", button: ZelTitleBar.Settings },
            { tag: "notifications", button: ZelTitleBar.Notifications },
        ]
    }

    function test_dialogOverADrawerTakesTheKeys(data) {
        main.requestActivate()
        tryCompare(main, "active", true)
        appMediator.updateStatus = UIAppMediator.CanDownload
        mouseClick(findChild(titleBar(), "button" + data.button))
        const drawer = loaded("popupLoader")
        tryCompare(drawer, "opened", true)
        // What the drawer's Update button or app-update card does.
        drawer.appUpdateClicked()
        const dialog = loaded("popup2Loader")
        verify(isA(dialog, "DlgAppUpdate"))
        tryCompare(dialog, "opened", true)
        // Cancelled once and asked again: the same dialog opens again.
        mouseClick(findChild(dialog.contentItem, "cancelButton"))
        tryCompare(dialog, "visible", false)
        compare(drawer.opened, true)
        drawer.appUpdateClicked()
        compare(loaded("popup2Loader"), dialog)
        tryCompare(dialog, "opened", true)
        // Escape on the question closes the dialog alone.
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(drawer.opened, true)
        drawer.appUpdateClicked()
        tryCompare(dialog, "opened", true)
        // Confirm starts the download; it fails, and the next tick shows the failure page.
        keyClick(Qt.Key_Return)
        compare(App.calls, ["proceedUpdate()"])
        tryCompare(findChild(dialog.contentItem, "progressBlock"), "visible", true)
        appMediator.reportUpdateStatus(UIAppMediator.Failed)
        tryCompare(findChild(dialog.contentItem, "labelTitle"), "text", "App Update Failed")
        keyClick(Qt.Key_Escape)
        compare(dialog.visible, true)
        compare(findChild(dialog.contentItem, "labelTitle").text, "App Update Failed")
        compare(drawer.opened, true)
        compare(App.calls.indexOf("exit(0)"), -1)
    }

    // Every popup that a click opens holds the keyboard focus while it is the top one: Escape
    // closes it alone, and a key meant for the dialog does not reach the drawer below it (Space
    // would press the drawer's focused close button). Once the dialog is gone the drawer has the
    // keys again.
    function test_clickedPopupsTakeTheKeys_data() {
        return [
            { tag: "licences", link: "licenseLink", dialog: "DlgLicenses" },
            { tag: "app update", link: "updateBtn", dialog: "DlgAppUpdate" },
        ]
    }

    function test_clickedPopupsTakeTheKeys(data) {
        main.requestActivate()
        tryCompare(main, "active", true)
        appMediator.updateStatus = UIAppMediator.CanDownload
        mouseClick(findChild(titleBar(), "button" + ZelTitleBar.Settings))
        const drawer = loaded("popupLoader")
        tryCompare(drawer, "opened", true)
        const closeButton = findChild(drawer.contentItem, "closeBtn")
        verify(closeButton.activeFocus)
        // What is below the drawer does not have the keys.
        verify(!findChild(main.contentItem, "mainLoader").activeFocus)

        mouseClick(findChild(drawer.contentItem, data.link))
        const dialog = loaded("popup2Loader")
        verify(isA(dialog, data.dialog), String(dialog))
        tryCompare(dialog, "opened", true)
        verify(dialog.activeFocus)
        verify(!closeButton.activeFocus)
        keyClick(Qt.Key_Space)
        compare(drawer.opened, true)
        compare(dialog.visible, true)

        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(drawer.opened, true)
        tryVerify(() => drawer.activeFocus)
        keyClick(Qt.Key_Escape)
        tryCompare(drawer, "visible", false)
        compare(App.calls.indexOf("proceedUpdate()"), -1)
    }

    function trayAvailable() {
        return findChild(main, "systemTrayIcon").available
    }

    // This file runs twice: on a desktop with a system tray and on one without.
    function test_desktop() {
        compare(trayAvailable(), Qt.platform.pluginName === "xcb")
    }

    // Without a system tray the option cannot hide the window: closing goes on as with it off.
    function test_closing_data() {
        return [
            { tag: "tray on", tray: true, blocked: false },
            { tag: "tray on, blocked", tray: true, blocked: true },
            { tag: "tray off, blocked", tray: false, blocked: true },
        ]
    }

    function test_closing(data) {
        appMediator.minimizeToTray = data.tray
        if (data.blocked)
            appMediator.addClosingBlock()
        titleBar().action(ZelTitleBar.Close)
        const hiddenToTray = data.tray && trayAvailable()
        const refused = data.blocked && !hiddenToTray
        compare(main.visible, refused)
        compare(findChild(main, "systemTrayIcon").visible, hiddenToTray)
        App.showAppWindow()
        compare(main.visible, true)
        // A quit request while blocked does nothing (an unblocked one ends the engine).
        if (data.blocked) {
            App.quitApp()
            compare(main.visible, true)
        }
    }

    function test_trayIconAndMenu() {
        const tray = findChild(main, "systemTrayIcon")
        const openItem = findChild(main, "trayOpenItem")
        const quitItem = findChild(main, "trayQuitItem")
        verify(tray && openItem && quitItem)
        if (!tray.available)
            skip("no system tray on this desktop")
        compare(tray.icon.source, "qrc:/icons/velmor.png")
        compare(tray.visible, false)
        appMediator.minimizeToTray = true
        compare(tray.visible, true)
        compare(openItem.text, "Open Velmor")
        compare(quitItem.text, "Quit")

        titleBar().action(ZelTitleBar.Close)
        compare(main.visible, false)
        tray.activated(Platform.SystemTrayIcon.Trigger)
        compare(main.visible, true)
        titleBar().action(ZelTitleBar.Close)
        tray.activated(Platform.SystemTrayIcon.DoubleClick)
        compare(main.visible, false)
        openItem.triggered()
        compare(main.visible, true)
        // Quit does nothing while closing is blocked.
        appMediator.addClosingBlock()
        quitItem.triggered()
        compare(main.visible, true)
        titleBar().action(ZelTitleBar.Close)
        compare(main.visible, false)
        App.showAppWindow()
        compare(main.visible, true)
    }

    // The drawer's switch has no effect without a tray and says so; with a tray it is as ever.
    function test_traySwitchFollowsTheDesktop() {
        appMediator.minimizeToTray = true
        mouseClick(findChild(titleBar(), "button" + ZelTitleBar.Settings))
        const settings = loaded("popupLoader")
        tryCompare(settings, "opened", true)
        const traySwitch = findChild(settings.contentItem, "traySwitch")
        compare(traySwitch.checked, true)
        compare(traySwitch.enabled, trayAvailable())
        compare(traySwitch.hint, trayAvailable() ? ""
                : "No system tray here: closing quits the app.")
        settings.close()
    }

    function test_permissionBox() {
        main.requestActivate()
        tryCompare(main, "active", true)
        App.requestInputMonitoring()
        const box = loaded("permissionsMessageLoader")
        verify(isA(box, "DlgConfirmBox"))
        tryCompare(box, "opened", true)
        // The box takes the keys, on its confirming button.
        verify(findChild(box.contentItem, "confirmButton").activeFocus)
        App.requestInputMonitoring()
        compare(loaded("permissionsMessageLoader"), box)
        keyClick(Qt.Key_Return)
        tryCompare(box, "visible", false)
        compare(App.calls, ["openPermissions()"])
    }

    // The resize rows are exactly the border, whatever the window's height; the middle row, which
    // lets the clicks through to the content, takes the rest.
    function test_resizeRows_data() {
        return [
            { tag: "default size", width: 1200, height: 688 },
            { tag: "taller and wider", width: 1500, height: 900 },
        ]
    }

    function test_resizeRows(data) {
        main.width = data.width
        main.height = data.height
        const frame = findChild(main.contentItem, "frameLayout")
        tryCompare(frame, "height", data.height)
        const rows = frame.children
        compare(rows.length, 3)
        compare(rows[0].y, 0)
        compare(rows[0].height, 4)
        compare(rows[1].y, 4)
        compare(rows[1].height, data.height - 8)
        compare(rows[2].y, data.height - 4)
        compare(rows[2].height, 4)
        for (let i = 0; i < rows.length; ++i) {
            const row = rows[i]
            compare(row.children[0].width, 4)
            compare(row.children[2].width, 4)
            compare(row.children[1].width, data.width - 8)
        }
    }

    // No window manager moves the window here: dragging the title bar's free area moves it by
    // hand, by what the pointer moved; a press on a button moves nothing.
    function test_dragOnTheTitleBarMovesTheWindow() {
        const bar = titleBar()
        const x = main.x
        const y = main.y
        // The pointer stays where the user moves it on the screen while the window moves under it.
        mousePress(bar, 300, 16)
        for (let step = 1; step <= 10; ++step)
            mouseMove(bar, 300 + step * 6 - (main.x - x), 16 + step * 3 - (main.y - y))
        mouseRelease(bar, 360 - (main.x - x), 46 - (main.y - y))
        // The move starts past the drag threshold; from then on the window follows the pointer.
        verify(main.x > x + 30 && main.x <= x + 60, main.x - x)
        verify(main.y > y + 15 && main.y <= y + 30, main.y - y)
        compare(main.width, 1200)

        const moved = Qt.point(main.x, main.y)
        const close = findChild(bar, "button" + ZelTitleBar.Close)
        mousePress(close, 8, 8)
        mouseMove(close, 60, 40)
        mouseRelease(close, 60, 40)
        compare(Qt.point(main.x, main.y), moved)
        compare(main.visible, true)
    }

    function test_doubleClickOnTheTitleBarMaximizesAndRestores() {
        const bar = titleBar()
        mouseDoubleClickSequence(bar, 300, 16)
        tryCompare(main, "visibility", Window.Maximized)
        mouseDoubleClickSequence(bar, 300, 16)
        tryCompare(main, "visibility", Window.Windowed)
    }

    // With no window manager to resize it, the window follows a drag of its border by hand; a
    // click on the border without a drag changes nothing.
    function test_dragOnTheBorderResizesTheWindow_data() {
        return [
            { tag: "right edge", x: 1198, y: 300, dx: 50, dy: 10, width: 1250, height: 688, moveX: 0, moveY: 0 },
            { tag: "bottom edge", x: 600, y: 686, dx: 10, dy: 40, width: 1200, height: 728, moveX: 0, moveY: 0 },
            { tag: "bottom-right corner", x: 1198, y: 686, dx: 30, dy: 20, width: 1230, height: 708, moveX: 0, moveY: 0 },
            { tag: "left edge", x: 1, y: 300, dx: -40, dy: 0, width: 1240, height: 688, moveX: -40, moveY: 0 },
            { tag: "top-left corner", x: 1, y: 1, dx: -20, dy: -30, width: 1220, height: 718, moveX: -20, moveY: -30 },
            { tag: "left edge, not below the minimum", x: 1, y: 300, dx: 80, dy: 0, width: 1200, height: 688, moveX: 0, moveY: 0 },
        ]
    }

    function test_dragOnTheBorderResizesTheWindow(data) {
        const item = main.contentItem
        const x = main.x
        const y = main.y
        mouseClick(item, data.x, data.y)
        compare(main.width, 1200)
        compare(main.height, 688)
        mousePress(item, data.x, data.y)
        mouseMove(item, data.x + Math.round(data.dx / 3), data.y + Math.round(data.dy / 3))
        // The window moves under the pointer at the left and top edges.
        mouseMove(item, data.x + data.dx - (main.x - x), data.y + data.dy - (main.y - y))
        mouseRelease(item, data.x + data.dx - (main.x - x), data.y + data.dy - (main.y - y))
        compare(main.width, data.width)
        compare(main.height, data.height)
        compare(main.x - x, data.moveX)
        compare(main.y - y, data.moveY)
    }

    function test_maximizeTogglesAndDropsTheResizeAreas() {
        titleBar().action(ZelTitleBar.Maximize)
        tryCompare(main, "visibility", Window.Maximized)
        tryCompare(findChild(main.contentItem, "frameLayout"), "visible", false)
        titleBar().action(ZelTitleBar.Maximize)
        tryCompare(main, "visibility", Window.Windowed)
        tryCompare(findChild(main.contentItem, "frameLayout"), "visible", true)
    }
}
