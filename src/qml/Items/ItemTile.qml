import QtQuick

// The rounded dark panel on which the settings tabs group their controls. It has no size of
// its own: the user sizes it and anchors the content placed in it.
Rectangle {
    color: App.theme.colorTile
    radius: 8
}
