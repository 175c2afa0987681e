import QtQuick

import "../Controls"

// The window's own title bar: a drag area and the Settings, Notifications, Minimize, Maximize
// and Close buttons. Every press, double-click and click becomes one action() for the window.
WidgetTitleBarBase {
    images: internal.images
    events: internal.events
    names: internal.names

    QtObject {
        id: internal

        readonly property var images: ["settings.svg", "bell.svg", "minimize.svg", "zoom.svg", "close.svg"]
        readonly property var events: [ZelTitleBar.Settings, ZelTitleBar.Notifications, ZelTitleBar.Minimize,
            ZelTitleBar.Maximize, ZelTitleBar.Close]
        readonly property var names: [qsTr("Settings"), qsTr("Notifications"), qsTr("Minimize"),
            qsTr("Maximize"), qsTr("Close")]
    }
}
