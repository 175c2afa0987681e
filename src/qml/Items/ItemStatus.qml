import QtQuick
import QtQuick.Layouts

import "../Controls"

// One status indicator: a small picture followed by a line of text, kept at the left edge.
// Users set the accessible role and name on the item itself.
Item {
    id: root

    property alias imageSource: image.source
    property alias text: label.text

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: App.theme.layoutRowSpacingSmall

        ZelVectorImage {
            id: image
            objectName: "image"

            // A status changes its picture when the headset reports (a battery level, a mute);
            // loaded apart, the picture would be missing from the frame that shows the new
            // text. These are small icons, drawn in well under a millisecond.
            asynchronous: false

            Layout.preferredWidth: App.theme.controlStatusHeight
            Layout.preferredHeight: App.theme.controlStatusHeight
            Layout.alignment: Qt.AlignVCenter
        }

        ZelText {
            id: label
            objectName: "label"

            Layout.alignment: Qt.AlignVCenter
        }

        // Takes any width beyond the implicit one, so the pair stays at the left edge.
        Item {
            Layout.fillWidth: true
        }
    }
}
