import QtQuick

import "../Controls"

// The window's own title bar on macOS: a drag area and only the application buttons Settings and
// Notifications. Every press, double-click and click becomes one action() for the window.
WidgetTitleBarBase {
    images: internal.customImages
    events: internal.customEvents
    names: internal.names

    QtObject {
        id: internal

        readonly property var customImages: ["settings.svg", "bell.svg"]
        readonly property var customEvents: [ZelTitleBar.Settings, ZelTitleBar.Notifications]
        readonly property var names: [qsTr("Settings"), qsTr("Notifications")]
    }
}
