import QtQuick

// The keyboard focus mark of a control: a ring in the theme's accent colour just outside the
// item it surrounds, shown only while the control has focus from the keyboard (Tab, Backtab or a
// shortcut), never after a click.
Rectangle {
    // A control of the templates, or a text field (which has no visualFocus).
    required property var control
    // How far the ring stands outside the item it fills.
    property real spread: 3
    property real innerRadius: App.theme.controlRadius

    objectName: "focusRing"
    anchors.fill: parent
    anchors.margins: -spread
    radius: innerRadius + spread
    color: "transparent"
    border.width: 2
    border.color: App.theme.colorStatusAvailable
    // Text fields have no visualFocus of their own: their focus reason tells the same.
    visible: control.visualFocus !== undefined ? control.visualFocus
           : control.activeFocus && (control.focusReason === Qt.TabFocusReason
                                     || control.focusReason === Qt.BacktabFocusReason
                                     || control.focusReason === Qt.ShortcutFocusReason)
    z: 1
}
