import QtQuick
import QtQuick.Layouts

import "../Controls"

// One settings row, below a divider unless `divided` is false: the label at the left, the row's
// action (the items declared inside it) at the right end.
ColumnLayout {
    id: root

    property alias text: label.text
    property bool divided: true
    default property alias actions: row.data

    spacing: 16

    Rectangle {
        objectName: "divider"
        visible: root.divided
        height: 1
        color: App.theme.textInputBorderColor
        Layout.fillWidth: true
        Layout.preferredHeight: 1
    }

    RowLayout {
        id: row

        spacing: 0
        Layout.fillWidth: true

        ZelText {
            id: label

            objectName: "label"
            font.pixelSize: App.theme.fontSizeTitle
            color: App.theme.colorTextHighlighted
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Item {
            Layout.fillWidth: true
        }
    }
}
