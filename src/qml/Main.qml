import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Qt.labs.platform as Platform
import Velmor.Enums 1.0

import "Controls"
import "Dialogs"
import "Popups"
import "Widgets"

// The application window: a rounded, dark window with its own title bar and resize areas. It
// shows one screen at a time, chosen by the consent setting and the current UI model; it owns
// the two drawers, the app-update and licences dialogs and the permission box; it owns the tray
// icon and decides what closing and quitting mean: hide to the tray while that option is on,
// refuse while closing is blocked (a firmware update runs), quit otherwise.
Window {
    id: root

    width: 1200
    height: 656 + App.theme.titleBarSize
    minimumWidth: 1200
    minimumHeight: 688
    visible: true
    title: App.applicationName
    color: App.theme.colorTransparent
    flags: internal.flags

    onClosing: (close) => {
        if (internal.minimizeToTray && !internal.quitting) {
            root.hide()
            close.accepted = false
        } else if (internal.isClosingBlocked()) {
            close.accepted = false
        } else {
            // The last window closes, so the application ends.
            internal.quitting = true
        }
    }

    QtObject {
        id: internal

        // True while one of the two drawers is shown.
        property bool popupOpened: false
        // True once the application has committed to ending; never reset.
        property bool quitting: false
        readonly property bool legalTermsAccepted: App.appMediator ? App.appMediator.eulaAccepted : false
        readonly property bool minimizeToTray: App.appMediator ? App.appMediator.minimizeToTray : false
        readonly property int radius: 8
        readonly property int frameBorderSize: radius * 0.5
        readonly property int contentMargin: isWindows && root.visibility === Window.Maximized ? frameBorderSize : 0
        readonly property bool isMacOS: Qt.platform.os === "osx"
        readonly property bool isWindows: Qt.platform.os === "windows"
        readonly property int titleBarSize: App.theme.titleBarSize
        readonly property int flags: Qt.Window
        readonly property Component titleBarComponent: isMacOS ? titleBarMacOSComponent : titleBarWindowsComponent
        readonly property int visibleButtons: ZelTitleBar.SystemButtons
            | (legalTermsAccepted ? ZelTitleBar.CustomButtons : 0)
        readonly property int enabledButtons: ZelTitleBar.SystemButtons
            | (popupOpened ? 0 : ZelTitleBar.CustomButtons)

        function showAppWindow() {
            root.show()
            root.requestActivate()
            root.raise()
        }

        // The quit comes first: the application then closes the window, and the closing
        // handler, finding `quitting` set, lets it close instead of hiding it to the tray.
        function quitApp() {
            if (quitting)
                return
            if (isClosingBlocked())
                return
            quitting = true
            Qt.quit()
        }

        function isClosingBlocked() {
            return App.appMediator ? App.appMediator.isClosingBlocked() : false
        }

        function titleBarEventHandler(id) {
            switch (id) {
            case ZelTitleBar.Close:
                root.close()
                break
            case ZelTitleBar.Maximize:
                if (root.visibility === Window.Maximized)
                    root.showNormal()
                else
                    root.showMaximized()
                break
            case ZelTitleBar.Minimize:
                root.showMinimized()
                break
            case ZelTitleBar.Settings:
                if (!isClosingBlocked())
                    popupLoader.open(appSettingsComponent)
                break
            case ZelTitleBar.Notifications:
                if (!isClosingBlocked())
                    popupLoader.open(notificationsComponent)
                break
            case ZelTitleBar.Move:
                root.startSystemMove()
                break
            }
        }
    }

    Connections {
        target: App

        function onShowAppWindow() {
            internal.showAppWindow()
        }

        function onQuitApp() {
            internal.quitApp()
        }

        function onRequestInputMonitoring() {
            permissionsMessageLoader.open()
        }
    }

    Platform.SystemTrayIcon {
        id: systemTrayIcon

        objectName: "systemTrayIcon"
        icon.source: "qrc:/icons/velmor.png"
        visible: internal.minimizeToTray

        // On macOS the platform opens the menu itself.
        Component.onCompleted: {
            if (internal.isMacOS)
                systemTrayIcon.menu = trayMenu
        }

        onActivated: (reason) => {
            root.requestActivate()
            if (reason === Platform.SystemTrayIcon.Context) {
                if (!internal.isMacOS)
                    trayMenu.open()
            } else if (reason === Platform.SystemTrayIcon.Trigger) {
                internal.showAppWindow()
            }
        }
    }

    Platform.Menu {
        id: trayMenu

        Platform.MenuItem {
            objectName: "trayOpenItem"
            text: qsTr("Open %1").arg(App.applicationName)
            onTriggered: internal.showAppWindow()
        }

        Platform.MenuItem {
            objectName: "trayQuitItem"
            text: qsTr("Quit")
            onTriggered: internal.quitApp()
        }
    }

    Rectangle {
        id: mainRect

        objectName: "mainRect"
        anchors.fill: parent
        radius: internal.radius
        color: App.theme.colorPreset
        border.color: App.theme.colorPresetHovered
        border.width: App.theme.windowBorderWidth

        ColumnLayout {
            id: mainLayout

            anchors.fill: parent
            anchors.margins: mainRect.border.width
            spacing: 0

            Loader {
                id: titleBarLoader

                objectName: "titleBarLoader"
                sourceComponent: internal.titleBarComponent
                Layout.fillWidth: true
                Layout.preferredHeight: internal.titleBarSize
            }

            Loader {
                id: mainLoader

                readonly property QtObject uiModel: App.uiModel
                readonly property int modelType: uiModel ? uiModel.type : UIModel.Unknown

                objectName: "mainLoader"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.leftMargin: internal.contentMargin
                Layout.rightMargin: internal.contentMargin
                Layout.bottomMargin: internal.contentMargin
                sourceComponent: !internal.legalTermsAccepted ? legalTermsComponent
                               : !uiModel ? emptyComponent
                               : modelType === UIModel.Kestrin ? kestrinComponent
                               : modelType === UIModel.Solvarine ? solvarineComponent
                               : App.deviceSearchDone ? noDeviceComponent
                               : emptyComponent
            }
        }
    }

    // One resize area: shows its cursor on hover and resizes the window at its edges when pressed.
    component ResizeArea: MouseArea {
        required property int edges

        hoverEnabled: true
        onPressed: root.startSystemResize(edges)
    }

    // The resize areas over the outer pixels of the window, only while it is windowed.
    ColumnLayout {
        id: frameLayout

        objectName: "frameLayout"
        anchors.fill: mainRect
        spacing: 0
        visible: root.visibility === Window.Windowed

        RowLayout {
            spacing: 0
            Layout.fillWidth: true
            Layout.preferredHeight: internal.frameBorderSize

            ResizeArea {
                edges: Qt.TopEdge | Qt.LeftEdge
                cursorShape: Qt.SizeFDiagCursor
                Layout.preferredWidth: internal.frameBorderSize
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.TopEdge
                cursorShape: Qt.SizeVerCursor
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.TopEdge | Qt.RightEdge
                cursorShape: Qt.SizeBDiagCursor
                Layout.preferredWidth: internal.frameBorderSize
                Layout.fillHeight: true
            }
        }

        RowLayout {
            spacing: 0
            Layout.fillWidth: true
            Layout.fillHeight: true

            ResizeArea {
                edges: Qt.LeftEdge
                cursorShape: Qt.SizeHorCursor
                Layout.preferredWidth: internal.frameBorderSize
                Layout.fillHeight: true
            }
            // Lets every mouse event through to the content.
            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.RightEdge
                cursorShape: Qt.SizeHorCursor
                Layout.preferredWidth: internal.frameBorderSize
                Layout.fillHeight: true
            }
        }

        RowLayout {
            spacing: 0
            Layout.fillWidth: true
            Layout.preferredHeight: internal.frameBorderSize

            ResizeArea {
                edges: Qt.BottomEdge | Qt.LeftEdge
                cursorShape: Qt.SizeBDiagCursor
                Layout.preferredWidth: internal.frameBorderSize
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.BottomEdge
                cursorShape: Qt.SizeVerCursor
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.BottomEdge | Qt.RightEdge
                cursorShape: Qt.SizeFDiagCursor
                Layout.preferredWidth: internal.frameBorderSize
                Layout.fillHeight: true
            }
        }
    }

    // One drawer at a time.
    Loader {
        id: popupLoader

        function open(dlg) {
            sourceComponent = dlg
            item.open()
            item.forceFocus()
        }

        objectName: "popupLoader"
        visible: item !== null && item.visible
    }

    // One dialog at a time, above the drawers: app update or licences.
    Loader {
        id: popup2Loader

        function open(dlg) {
            sourceComponent = dlg
            item.open()
        }

        objectName: "popup2Loader"
        visible: item !== null && item.visible
    }

    Loader {
        id: permissionsMessageLoader

        function open() {
            if (item && item.opened)
                return
            sourceComponent = dlgPermissions
            item.open()
            item.forceFocus()
        }

        objectName: "permissionsMessageLoader"
        visible: item !== null && item.visible
    }

    Component {
        id: titleBarWindowsComponent

        WidgetTitleBarWindows {
            enabledButtons: internal.enabledButtons
            visibleButtons: internal.visibleButtons
            onAction: (id) => internal.titleBarEventHandler(id)
        }
    }

    Component {
        id: titleBarMacOSComponent

        WidgetTitleBarMacOS {
            enabledButtons: internal.enabledButtons
            visibleButtons: internal.visibleButtons
            onAction: (id) => internal.titleBarEventHandler(id)
        }
    }

    Component {
        id: appSettingsComponent

        PopupAppSettings {
            y: titleBarLoader.height + mainRect.border.width
            height: root.height - y - mainRect.border.width
            width: 450
            onPopupOpen: (dlg) => popup2Loader.open(dlg)
            onAppUpdateClicked: popup2Loader.open(appUpdateDialog)
            onAboutToShow: internal.popupOpened = true
            onAboutToHide: internal.popupOpened = false
        }
    }

    Component {
        id: notificationsComponent

        PopupNotifications {
            y: titleBarLoader.height + mainRect.border.width
            height: root.height - y - mainRect.border.width
            onFwUpdateClicked: {
                // Only the headset screen offers it; elsewhere the request is ignored.
                if (mainLoader.item && typeof mainLoader.item.startFwUpdate === "function")
                    mainLoader.item.startFwUpdate()
            }
            onAppUpdateClicked: popup2Loader.open(appUpdateDialog)
            onAboutToShow: internal.popupOpened = true
            onAboutToHide: internal.popupOpened = false
        }
    }

    Component {
        id: emptyComponent

        Item {}
    }

    Component {
        id: noDeviceComponent

        WidgetNoDevice {
            bottomLeftRadius: internal.radius
            bottomRightRadius: internal.radius
        }
    }

    Component {
        id: kestrinComponent

        WidgetKesMain {
            bottomLeftRadius: internal.radius
            bottomRightRadius: internal.radius
            onAlertRequested: root.alert(0)
        }
    }

    Component {
        id: solvarineComponent

        WidgetSlvMain {
            bottomLeftRadius: internal.radius
            bottomRightRadius: internal.radius
        }
    }

    Component {
        id: legalTermsComponent

        WidgetLegalTerms {
            bottomLeftRadius: internal.radius
            bottomRightRadius: internal.radius
            onAccepted: App.appMediator.eulaAccepted = true
        }
    }

    Component {
        id: appUpdateDialog

        DlgAppUpdate {}
    }

    Component {
        id: dlgPermissions

        DlgConfirmBox {
            title: qsTr("Grant Permissions")
            text: qsTr("Please grant Input Monitoring permission for your Velmor product")
            positiveText: qsTr("Open Permissions")
            onPositiveClicked: App.openPermissions()
        }
    }
}
