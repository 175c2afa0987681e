import QtQuick
import QtQuick.Layouts

import "../Controls"

// A notice with one button, "Confirm", that closes it; Enter, Return and Escape close it too.
ZelPopupDialog {
    id: root

    property alias imageSource: image.source
    property alias title: labelTitle.text
    property alias text: labelText.text

    focus: true
    closePolicy: ZelPopupDialog.CloseOnEscape

    contentItem: ColumnLayout {
        id: mainLayout

        spacing: 32
        focus: true

        Keys.onEnterPressed: confirmButton.click()
        Keys.onReturnPressed: confirmButton.click()

        ColumnLayout {
            spacing: 16

            RowLayout {
                spacing: App.theme.layoutRowSpacingSmall

                ZelVectorImage {
                    id: image

                    objectName: "image"
                    visible: source.toString() !== ""
                    width: 16
                    height: 16
                    Layout.preferredWidth: 16
                    Layout.preferredHeight: 16
                }

                ZelTextCaption {
                    id: labelTitle

                    objectName: "labelTitle"
                    font.pixelSize: App.theme.fontSizeTitle
                    font.bold: true
                }
            }

            ZelText {
                id: labelText

                objectName: "labelText"
                color: App.theme.colorTextHighlighted
                font.pixelSize: App.theme.fontSizeTitle
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }

        ZelButton {
            id: confirmButton

            objectName: "confirmButton"
            text: qsTr("Confirm")
            Layout.alignment: Qt.AlignRight
            onClicked: root.close()
        }
    }
}
