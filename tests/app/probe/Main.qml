import QtQuick
import QtQuick.Window

// A window for the start-up tests in place of the application's: it reports what the test needs
// on the standard error stream and ends with codes of its own.
//   "--quit-when-loaded": exit with 42 once loaded.
//   a show-window request from a second start: exit with 43.
Window {
    visible: true
    width: 200
    height: 100

    Component.onCompleted: {
        console.info("probe loaded; identity=" + App.applicationName + "|" + App.applicationVersion
                     + "|" + Qt.application.organization + "; animations=" + App.animationsEnabled
                     + "; uiModel=" + App.uiModel)
        if (Qt.application.arguments.indexOf("--quit-when-loaded") >= 0)
            Qt.exit(42)
    }

    Connections {
        target: App

        function onShowAppWindow() {
            console.info("probe got the show-window request")
            Qt.exit(43)
        }
    }
}
