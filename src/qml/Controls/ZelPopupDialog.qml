import QtQuick
import QtQuick.Templates as T

// The centred frame of every dialog.
ZelPopup {
    id: control

    anchors.centerIn: T.Overlay.overlay
    padding: 24

    background: Rectangle {
        implicitWidth: 600
        implicitHeight: 176
        radius: 8
        color: App.theme.colorPreset
        border.width: 1
        border.color: App.theme.colorPresetHovered
    }
}
