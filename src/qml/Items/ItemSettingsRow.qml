import QtQuick
import QtQuick.Layouts

import "../Controls"

// One settings row, below a divider unless `divided` is false: the label, with an optional
// word-wrapped hint below it, fills the left and the row's action (the items declared inside it)
// stands at the right end, 16 pixels from the label. An action beside a label with a hint says
// where it stands itself (at the top, for example); otherwise it is centred on the label.
ColumnLayout {
    id: root

    property alias text: description.text
    property alias hint: description.hint
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

        spacing: 16
        Layout.fillWidth: true

        ItemDescriptionText {
            id: description

            objectName: "description"
            Layout.fillWidth: true
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.description: hint
        }
    }
}
