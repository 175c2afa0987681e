import QtQuick
import QtQuick.Templates as T

// One segment of a segmented button group; exclusive among its sibling radio buttons.
T.RadioButton {
    id: control

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: App.theme.controlButtonGroupHeight

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSize

    indicator: null

    Accessible.role: Qt.platform.os === "windows" ? Accessible.CheckBox : Accessible.RadioButton

    contentItem: Text {
        text: control.text
        font: control.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: control.checked ? App.theme.colorEmpty : App.theme.colorTextPreset
    }

    background: Rectangle {
        radius: 4
        color: control.checked ? App.theme.colorButtonGroupSelected : App.theme.colorTransparent
    }

    // Inside the segment: its neighbours touch it.
    ZelFocusRing {
        control: control
        spread: 0
        innerRadius: 4
    }
}
