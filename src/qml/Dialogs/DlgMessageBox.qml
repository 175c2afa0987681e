import QtQuick

import "../Controls"

// A notice with one button, "Confirm", that closes it; Enter, Return and Escape close it too.
ZelDialogBox {
    hasNegative: false
    closePolicy: ZelPopupDialog.CloseOnEscape

    onPositiveButtonClicked: close()
}
