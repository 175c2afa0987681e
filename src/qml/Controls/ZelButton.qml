import QtQuick
import QtQuick.Templates as T

// The primary text button. Users may rebind textColor and backgroundColor.
T.Button {
    id: control

    readonly property bool selected: control.pressed || control.checked
    property color textColor: !control.enabled ? App.theme.colorTextDisabled
                            : control.selected ? App.theme.colorTextHighlighted
                            : App.theme.colorEmpty
    property color backgroundColor: !control.enabled ? App.theme.colorButtonDisabled
                                  : control.hovered && !control.pressed ? App.theme.colorButtonHovered
                                  : control.selected ? App.theme.colorButtonPressed
                                  : App.theme.colorButton

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: App.theme.controlButtonHeight

    padding: App.theme.controlPadding
    horizontalPadding: 2 * App.theme.controlPadding

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSize
    font.weight: Font.DemiBold

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.textColor
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        radius: App.theme.controlRadius
        color: control.backgroundColor
    }

    // A full click from code (the dialogs' Enter and Escape keys), as the template offers only
    // from Qt 6.8 on: toggles a checkable button and emits clicked(); nothing while disabled.
    function click() {
        if (!control.enabled)
            return
        if (control.checkable)
            control.toggle()
        control.clicked()
    }

    ZelFocusRing {
        control: control
    }
}
