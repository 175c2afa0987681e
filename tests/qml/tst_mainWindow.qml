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

    function isA(object, type) { return object !== null && String(object).startsWith(type) }

    function titleBar() { return loaded("titleBarLoader") }

    function test_window() {
        compare(main.width, 1200)
        compare(main.height, 688)
        compare(main.minimumWidth, 1200)
        compare(main.minimumHeight, 688)
        compare(main.color, App.theme.colorTransparent)
        compare(main.flags, Qt.Window)
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
        const screen = loaded("mainLoader")
        verify(isA(screen, data.screen), String(screen))
        compare(titleBar().visibleButtons, data.buttons)
        if (data.screen !== "QQuickItem") {
            compare(screen.bottomLeftRadius, 8)
            compare(screen.bottomRightRadius, 8)
        }
    }

    function test_acceptingTheTermsStoresTheConsent() {
        appMediator.eulaAccepted = false
        App.uiModel = stubModel
        loaded("mainLoader").accepted()
        compare(appMediator.eulaAccepted, true)
        verify(isA(loaded("mainLoader"), "WidgetNoDevice"))
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

    function test_closing_data() {
        return [
            { tag: "tray on", tray: true, blocked: false, hidden: true },
            { tag: "tray on, blocked", tray: true, blocked: true, hidden: true },
            { tag: "tray off, blocked", tray: false, blocked: true, hidden: false },
        ]
    }

    function test_closing(data) {
        appMediator.minimizeToTray = data.tray
        if (data.blocked)
            appMediator.addClosingBlock()
        titleBar().action(ZelTitleBar.Close)
        compare(main.visible, !data.hidden)
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

    function test_permissionBox() {
        main.requestActivate()
        tryCompare(main, "active", true)
        App.requestInputMonitoring()
        const box = loaded("permissionsMessageLoader")
        verify(isA(box, "DlgConfirmBox"))
        tryCompare(box, "opened", true)
        App.requestInputMonitoring()
        compare(loaded("permissionsMessageLoader"), box)
        keyClick(Qt.Key_Return)
        tryCompare(box, "visible", false)
        compare(App.calls, ["openPermissions()"])
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
