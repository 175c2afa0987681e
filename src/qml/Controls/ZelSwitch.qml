import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T

import "../Items"

// On/off switch with an optional label and hint at its left and the track at its right.
// The layout is not mirrored for right-to-left use.
T.Switch {
    id: control

    property string hint: ""

    QtObject {
        id: internal

        readonly property bool hasLabel: control.text !== "" || control.hint !== ""
    }

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    spacing: 16

    indicator: Rectangle {
        implicitWidth: App.theme.switchIndicatorWidth
        implicitHeight: App.theme.switchIndicatorHeight
        x: internal.hasLabel ? control.width - width - control.rightPadding
                            : control.leftPadding + (control.availableWidth - width) / 2
        y: control.topPadding
        radius: App.theme.switchIndicatorRaduis
        color: !control.enabled ? App.theme.switchColorDisabled
             : control.checked ? App.theme.switchColorActive
             : App.theme.switchColorRegular

        ZelFocusRing {
            control: control
            innerRadius: App.theme.switchIndicatorRaduis
        }

        Rectangle {
            objectName: "knob"
            // Follows the template's position, which also tracks a drag, held 2 px inside
            // either end of the track.
            x: Math.max(2, Math.min(parent.width - width - 2, control.position * parent.width - width * 0.5))
            y: (parent.height - height) / 2
            width: App.theme.switchIndicatorHandleSize
            height: App.theme.switchIndicatorHandleSize
            radius: App.theme.switchIndicatorHandleRaduis
            color: control.enabled ? App.theme.switchIndicatorColorRegular
                                   : App.theme.switchIndicatorColorDisabled

            // Glides after a click; follows a drag directly.
            Behavior on x {
                enabled: App.animationsEnabled && !control.down

                SmoothedAnimation {
                    velocity: 200
                }
            }
        }
    }

    contentItem: RowLayout {
        spacing: 0
        LayoutMirroring.enabled: false

        ItemDescriptionText {
            objectName: "label"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: internal.hasLabel
            text: control.text
            hint: control.hint
        }

        Item {
            Layout.preferredWidth: control.spacing
            visible: internal.hasLabel
        }

        Item {
            Layout.preferredWidth: control.indicator ? control.indicator.implicitWidth : 0
            Layout.preferredHeight: control.indicator ? control.indicator.implicitHeight : 0
        }
    }
}
