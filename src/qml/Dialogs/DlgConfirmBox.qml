import QtQuick
import QtQuick.Layouts

import "../Controls"

// A question with "Cancel" and a confirming button. Confirming closes the box first and then
// emits positiveClicked(), so an opener that opens another popup from its handler finds this one
// closed. Enter and Return always confirm, also while "Cancel" has the focus; Escape cancels.
ZelPopupDialog {
    id: root

    property alias imageSource: image.source
    property alias title: labelTitle.text
    property alias text: labelText.text
    property alias positiveText: confirmButton.text

    signal positiveClicked()

    // Puts the keyboard focus on the confirming button.
    function forceFocus() {
        confirmButton.forceActiveFocus()
    }

    focus: true
    closePolicy: ZelPopupDialog.CloseOnEscape

    contentItem: ColumnLayout {
        id: mainLayout

        spacing: 32

        Keys.onEnterPressed: confirmButton.click()
        Keys.onReturnPressed: confirmButton.click()

        ColumnLayout {
            spacing: 16
            focus: true

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

        RowLayout {
            spacing: App.theme.layoutRowSpacingSmall

            Item {
                Layout.fillWidth: true
            }

            ZelButtonHidden {
                id: cancelButton

                objectName: "cancelButton"
                text: qsTr("Cancel")
                onClicked: root.close()
            }

            ZelButton {
                id: confirmButton

                objectName: "confirmButton"
                text: qsTr("Confirm")
                onClicked: {
                    root.close()
                    root.positiveClicked()
                }
            }
        }
    }
}
