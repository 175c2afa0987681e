import QtQuick
import QtQuick.Window

// The application window. For now it holds an empty page; the screens take its place as they
// come. It answers the application's window requests: a second start of the program shows it
// again, and a quit request ends the application.
Window {
    id: root

    width: 1200
    height: 688
    minimumWidth: 1200
    minimumHeight: 688
    visible: true
    title: App.applicationName
    color: App.theme.colorEmpty

    QtObject {
        id: internal

        // True once the application has committed to ending.
        property bool quitting: false

        function showAppWindow() {
            root.show()
            root.requestActivate()
            root.raise()
        }

        function quitApp() {
            if (quitting)
                return
            quitting = true
            Qt.quit()
        }

        // The permission box opens here; no platform of this build asks for input monitoring.
        function requestInputMonitoring() {
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
            internal.requestInputMonitoring()
        }
    }

    // The current device's screen; an empty page until the application has chosen a device model.
    Item {
        id: page

        objectName: "page"
        anchors.fill: parent
    }
}
