import QtQuick

// The common base of the window's own title bars: which buttons exist and react, the signal
// that reports what the user did, and the separator line under the bar. The platform title
// bars draw the buttons; the receiver of action() performs the window operation.
Item {
    id: root

    enum TitleBarButton {
        Close = 1,
        Minimize = 2,
        Maximize = 4,
        Settings = 8,
        Notifications = 16,
        Move = 32,
        SystemButtons = 7,
        CustomButtons = 24,
        AllButtons = 31
    }

    property int enabledButtons: ZelTitleBar.AllButtons
    property int visibleButtons: ZelTitleBar.AllButtons

    signal action(id: int)

    Rectangle {
        objectName: "separator"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: App.theme.colorPresetHovered
    }
}
