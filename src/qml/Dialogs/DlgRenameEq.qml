import QtQuick
import QtQuick.Layouts

import "../Controls"
import "../Items"

// Names one of the four custom EQ presets. The owner sets the base name, the current custom
// name and the row, opens the dialog and, on positiveClicked(), reads customEqName back. Any
// text is accepted, the empty one included.
ZelPopupDialog {
    id: root

    // The preset's base name (EQ 1 to EQ 4), shown as the fixed prefix.
    property string eqName: ""
    property alias customEqName: nameInput.text
    // Which custom preset (0 to 3) the owner renames; the dialog only carries it.
    property int index: 0

    signal positiveClicked()

    focus: true
    closePolicy: ZelPopupDialog.CloseOnEscape

    onAboutToShow: nameInput.setFocusToInput()

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

                ZelTextCaption {
                    objectName: "labelTitle"
                    text: qsTr("Preset Rename")
                    font.pixelSize: App.theme.fontSizeTitle
                    font.bold: true
                }
            }

            ItemEqNameInput {
                id: nameInput

                objectName: "nameInput"
                namePrefix: root.eqName + " -"
                Layout.fillWidth: true
            }
        }

        RowLayout {
            spacing: App.theme.layoutRowSpacingSmall

            Item {
                Layout.fillWidth: true
            }

            ZelButtonHidden {
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
