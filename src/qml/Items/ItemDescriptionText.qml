import QtQuick
import QtQuick.Layouts

import "../Controls"

// A title line with an optional, word-wrapped hint below it. Switches and check boxes show
// their label through it, and the settings tabs use it beside their own controls.
Item {
    id: root

    property alias text: title.text
    property alias hint: hintText.text

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 4

        ZelTextTitle {
            id: title

            objectName: "title"
            Layout.alignment: Qt.AlignVCenter
        }

        ZelText {
            id: hintText

            objectName: "hint"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            // A hidden hint takes no room, so an item without a hint is one title line high.
            visible: text !== ""
            font.pixelSize: App.theme.fontSize
            color: App.theme.colorHint
            wrapMode: Text.WordWrap
        }
    }
}
