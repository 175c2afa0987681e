import QtQuick
import QtQuick.Templates as T

// A side panel that slides in from the right edge of the window. Users set y, width and height.
ZelPopup {
    id: control

    // How far the drawer has slid in: 0 just beyond the window's right edge, 1 fully in.
    property real fraction: 0

    parent: T.Overlay.overlay
    x: (parent ? parent.width : 0) - control.fraction * (App.theme.windowBorderWidth + control.width)

    closePolicy: T.Popup.CloseOnReleaseOutside | T.Popup.CloseOnEscape
    focus: true

    enter: Transition {
        NumberAnimation {
            property: "fraction"
            to: 1
            duration: App.animationsEnabled ? 400 : 0
            easing.type: Easing.OutQuad
        }
    }

    exit: Transition {
        NumberAnimation {
            property: "fraction"
            to: 0
            duration: App.animationsEnabled ? 400 : 0
            easing.type: Easing.InQuad
        }
    }
}
