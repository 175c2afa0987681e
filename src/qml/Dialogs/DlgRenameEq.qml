import QtQuick
import QtQuick.Layouts

import "../Controls"
import "../Items"

// Names one of the four custom EQ presets. The owner sets the base name, the current custom
// name and the row, opens the dialog and, on positiveClicked(), reads customEqName back. Any
// text is accepted, the empty one included.
ZelDialogBox {
    id: root

    // The preset's base name (EQ 1 to EQ 4), shown as the fixed prefix.
    property string eqName: ""
    property alias customEqName: nameInput.text
    // Which custom preset (0 to 3) the owner renames; the dialog only carries it.
    property int index: 0

    signal positiveClicked()

    title: qsTr("Preset Rename")
    showText: false
    closePolicy: ZelPopupDialog.CloseOnEscape

    headerData: ItemEqNameInput {
        id: nameInput

        objectName: "nameInput"
        namePrefix: root.eqName + " -"
        Layout.fillWidth: true
    }

    onAboutToShow: nameInput.setFocusToInput()
    onNegativeButtonClicked: close()
    onPositiveButtonClicked: {
        close()
        positiveClicked()
    }
}
