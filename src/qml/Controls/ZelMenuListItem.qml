import QtQuick
import QtQuick.Templates as T

// One row of a ZelMenuList. It has no pressed or disabled look.
T.AbstractButton {
    id: control

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: App.theme.controlButtonHeight

    horizontalPadding: 2 * App.theme.controlPadding

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSizeTitle
    font.bold: true

    contentItem: Text {
        text: control.text
        // Rows may be names that come from a server (firmware versions): never markup.
        textFormat: Text.PlainText
        font: control.font
        color: App.theme.colorButton
        horizontalAlignment: Text.AlignLeft
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        color: control.hovered ? App.theme.colorPresetHovered : App.theme.colorPresetActive
    }

    // Inside the row: the list clips what lies beyond it.
    ZelFocusRing {
        control: control
        spread: -2
        innerRadius: 0
    }
}
