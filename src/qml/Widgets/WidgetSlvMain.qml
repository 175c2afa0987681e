import QtQuick

import "../Controls"

// The Solvarine screen: the device's firmware version, nothing more.
RoundedRectangle {
    id: root

    color: App.theme.colorEmpty

    ZelText {
        objectName: "fwText"
        text: qsTr("Firmware: ") + (App.uiModel?.fwMediator?.fwVer ?? "")
    }
}
