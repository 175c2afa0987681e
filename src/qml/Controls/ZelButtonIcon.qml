import QtQuick
import QtQuick.Templates as T

// An icon-only button. Its text is not drawn: it is the button's accessible name.
T.Button {
    id: control

    property url source

    padding: 0
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    opacity: control.enabled ? 1 : 0.5
    Accessible.name: control.text

    contentItem: Item {
        implicitWidth: 20
        implicitHeight: 20

        ZelVectorImage {
            anchors.centerIn: parent
            source: control.source
        }
    }

    ZelFocusRing {
        control: control
        innerRadius: 4
    }
}
