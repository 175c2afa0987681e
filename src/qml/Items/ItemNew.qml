import QtQuick
import QtQuick.Layouts

import "../Controls"

// The outlined "New" mark of an unseen notification: a red dot and the word.
Rectangle {
    id: root

    implicitWidth: mainLayout.implicitWidth + 6 + 6
    implicitHeight: mainLayout.implicitHeight + 2 + 2
    color: App.theme.colorTransparent
    radius: 4
    border.width: 1
    border.color: App.theme.colorButtonPressed

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 6
        anchors.topMargin: 2
        anchors.bottomMargin: 2
        spacing: 4

        ItemBadge {
            objectName: "badge"

            Layout.alignment: Qt.AlignVCenter
        }

        ZelTextCaption {
            objectName: "label"

            text: qsTr("New")
            font.family: App.theme.fontFamily
        }
    }
}
