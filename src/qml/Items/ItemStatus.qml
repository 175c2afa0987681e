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
