import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T

import "../Items"

// Check box drawn with two theme images, labelled by a title and a hint. It has no disabled
// image: a disabled check box shows its state through the label's disabled colour.
T.CheckBox {
    id: control

    property string hint: ""

    QtObject {
        id: internal

        readonly property bool hasLabel: control.text !== "" || control.hint !== ""
    }

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    spacing: 16

    indicator: ZelVectorImage {
        x: control.mirrored && control.text !== "" ? control.width - width - control.rightPadding
                                                   : control.leftPadding
        y: control.topPadding
        width: 20
        height: 20
        // A partially checked box shows the unchecked image.
        source: App.theme.resourcesPath + "images/checkbox/"
                + (control.checkState === Qt.Checked ? "on.svg" : "off.svg")

        ZelFocusRing {
            control: control
            innerRadius: 4
        }
    }

    // The row places its parts for either direction itself, so it is never mirrored again.
    // The image is sized explicitly: its own implicit size is 0 until it has loaded.
    contentItem: RowLayout {
        spacing: 0
        LayoutMirroring.enabled: false

        Item {
            Layout.preferredWidth: control.spacing
            visible: internal.hasLabel && !control.mirrored
        }

        Item {
            Layout.preferredWidth: control.indicator ? control.indicator.width : 0
            Layout.preferredHeight: control.indicator ? control.indicator.height : 0
            visible: !control.mirrored
        }

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
            visible: internal.hasLabel && control.mirrored
        }

        Item {
            Layout.preferredWidth: control.indicator ? control.indicator.width : 0
            Layout.preferredHeight: control.indicator ? control.indicator.height : 0
            visible: control.mirrored
        }
    }
}
