import QtQuick
import Qt.labs.platform as Platform

// The tray icon with its menu. The window creates it once its first frame is on screen: loading
// the platform's tray took about 17 of the 130 ms before the first frame, and nothing needs it
// before the window shows.
Item {
    id: root

    // Shown while closing hides the window to the tray.
    property bool shown: false
    readonly property bool available: systemTrayIcon.available
    readonly property bool isMacOS: Qt.platform.os === "osx"

    signal activateRequested()
    signal showRequested()
    signal quitRequested()

    Platform.SystemTrayIcon {
        id: systemTrayIcon

        objectName: "systemTrayIcon"
        icon.source: "qrc:/icons/velmor.png"
        visible: root.shown

        // On macOS the platform opens the menu itself.
        Component.onCompleted: {
            if (root.isMacOS)
                systemTrayIcon.menu = trayMenu
        }

        onActivated: (reason) => {
            root.activateRequested()
            if (reason === Platform.SystemTrayIcon.Context) {
                if (!root.isMacOS)
                    trayMenu.open()
            } else if (reason === Platform.SystemTrayIcon.Trigger) {
                root.showRequested()
            }
        }
    }

    Platform.Menu {
        id: trayMenu

        Platform.MenuItem {
            objectName: "trayOpenItem"
            text: qsTr("Open %1").arg(App.applicationName)
            onTriggered: root.showRequested()
        }

        Platform.MenuItem {
            objectName: "trayQuitItem"
            text: qsTr("Quit")
            onTriggered: root.quitRequested()
        }
    }
}
