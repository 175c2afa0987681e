import QtQuick

import "../Controls"

// A question with "Cancel" and a confirming button. Confirming closes the box first and then
// emits positiveClicked(), so an opener that opens another popup from its handler finds this one
// closed. Enter and Return always confirm, also while "Cancel" has the focus; Escape cancels.
ZelDialogBox {
    id: root

    signal positiveClicked()

    // Puts the keyboard focus on the confirming button.
    function forceFocus() {
        positiveButton.forceActiveFocus()
    }

    closePolicy: ZelPopupDialog.CloseOnEscape

    onNegativeButtonClicked: close()
    onPositiveButtonClicked: {
        close()
        positiveClicked()
    }
}
