import QtQuick
import QtQuick.Layouts

import "../Controls"
import "WebAddress.js" as WebAddress

// The card of a text notification or of an update notice: the "New" mark, the date, a close
// button, the wrapped message, and an Update or Open button where they apply. It knows nothing
// of the notifications model: its user binds the properties and reacts to the signals.
Rectangle {
    id: root

    property alias text: label.text
    property string link: ""
    property alias isNew: itemNew.visible
    property bool isUpdate: false
    // Already formatted by the user of the card.
    property alias date: dateLabel.text

    signal hide()
    signal updateClicked()

    QtObject {
        id: internal

        readonly property bool canOpenLink: WebAddress.isWebAddress(root.link)
    }

    implicitWidth: mainLayout.implicitWidth + mainLayout.anchors.leftMargin + mainLayout.anchors.rightMargin
    implicitHeight: mainLayout.implicitHeight + mainLayout.anchors.topMargin + mainLayout.anchors.bottomMargin
    color: App.theme.colorPresetActive
    border.width: 1
    border.color: App.theme.colorPresetHovered
    radius: 12

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        anchors.margins: 12

        RowLayout {
            Layout.fillWidth: true

            ItemNew {
                id: itemNew
                objectName: "itemNew"
            }

            ZelText {
                id: dateLabel
                objectName: "dateLabel"

                font.pixelSize: App.theme.fontSizeCaptionSmall
            }

            Item {
                Layout.fillWidth: true
            }

            ZelButtonIcon {
                id: closeBtn
                objectName: "closeBtn"

                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                text: qsTr("Close")
                source: App.theme.resourcesPath + "images/"
                        + (closeBtn.hovered && !closeBtn.pressed ? "close_hovered.svg" : "close_regular.svg")

                onClicked: root.hide()
            }
        }

        ZelText {
            id: label
            objectName: "label"

            Layout.fillWidth: true
            // At word boundaries where possible, else anywhere.
            wrapMode: Text.Wrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        ZelButton {
            objectName: "updateBtn"

            Layout.alignment: Qt.AlignRight
            visible: root.isUpdate
            text: qsTr("Update")

            onClicked: root.updateClicked()
        }

        ZelButton {
            objectName: "openBtn"

            Layout.alignment: Qt.AlignRight
            visible: internal.canOpenLink
            text: qsTr("Open")

            onClicked: Qt.openUrlExternally(root.link.trim())
        }
    }
}
