import QtQuick

// The low-emphasis variant of ZelButton: no fill until hovered or pressed.
ZelButton {
    id: control

    textColor: control.enabled ? App.theme.colorTextHighlighted : App.theme.colorTextDisabled
    backgroundColor: !control.enabled ? App.theme.colorButtonHidden
                   : control.hovered && !control.pressed ? App.theme.colorButtonHiddenHovered
                   : control.selected ? App.theme.colorButtonHiddenPressed
                   : App.theme.colorButtonHidden
}
