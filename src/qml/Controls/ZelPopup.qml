import QtQuick
import QtQuick.Templates as T

// The base of every popup. Not modal, yet by default pseudo-modal: while it is open the window
// below its own title bar is dimmed and takes no mouse input, so the title bar keeps working
// (the window can still be moved, minimised or closed).
T.Popup {
    id: control

    property bool pseudoModal: true

    modal: false
    dim: control.modal || control.pseudoModal
    closePolicy: T.Popup.NoAutoClose

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    // The overlay sizes this item to the whole window and fades it in and out through its
    // opacity; the dimming itself leaves the title bar and the window border clear.
    T.Overlay.modeless: Item {
        RoundedRectangle {
            objectName: "popupDimmer"
            anchors.fill: parent
            anchors.topMargin: App.theme.titleBarSize + App.theme.windowBorderWidth
            anchors.leftMargin: App.theme.windowBorderWidth
            anchors.rightMargin: App.theme.windowBorderWidth
            anchors.bottomMargin: App.theme.windowBorderWidth
            color: App.theme.colorEmpty
            opacity: 0.6
            bottomLeftRadius: 8
            bottomRightRadius: 8
            topLeftRadius: App.theme.titleBarSize + App.theme.windowBorderWidth > 0 ? 0 : 8
            topRightRadius: topLeftRadius

            // Swallows presses, hovering and the wheel over the dimmed content.
            // The overlay builds this component itself, as a Loader does, and Qt 6.4 builds no
            // bound component that way: the file stays unbound, and the linter cannot tell that
            // `control` is this file's own.
            // qmllint disable unqualified
            MouseArea {
                objectName: "popupDimmerBlocker"
                anchors.fill: parent
                enabled: control.pseudoModal && control.opened
                hoverEnabled: true
                acceptedButtons: Qt.AllButtons
                onWheel: (wheel) => { wheel.accepted = true }
            }
            // qmllint enable unqualified
        }
    }
}
