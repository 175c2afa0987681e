import QtQuick
import QtQuick.Layouts

import "../Controls"

// Asks for a factory reset and then holds the screen while the headset resets: a bar fills in
// 15 one-second steps and the dialog closes a second after it is full. The opener sends the
// reset on positiveClicked(). During the countdown the simulated headset is allowed, so the
// screen below survives the headset dropping off the bus, and nothing but the timer closes it.
ZelDialogBox {
    id: root

    // The user confirmed; raised once the countdown has started.
    signal positiveClicked()

    title: qsTr("Factory Reset")
    text: qsTr("This will remove all personal configurations. This cannot be reversed.")
    closePolicy: confirmTimer.running ? ZelPopupDialog.NoAutoClose : ZelPopupDialog.CloseOnEscape
    // Escape acts only through the close policy; Enter and Return do nothing here.
    keysEnabled: false
    bodyShown: confirmTimer.running
    buttonRow.objectName: "buttonRow"
    buttonRow.visible: !confirmTimer.running
    buttonRow.enabled: !confirmTimer.running

    bodyData: ZelProgressBar {
        objectName: "progressBar"
        from: confirmTimer.from
        to: confirmTimer.to
        value: confirmTimer.value
        visible: confirmTimer.running
        Layout.fillWidth: true
        Layout.topMargin: 16
    }

    onNegativeButtonClicked: close()
    onPositiveButtonClicked: {
        confirmTimer.startProgress()
        positiveClicked()
    }

    // A dialog destroyed during its countdown withdraws the allowance it gave.
    Component.onDestruction: {
        if (confirmTimer.running)
            App.setSimulationAllowed(false)
    }

    Timer {
        id: confirmTimer

        readonly property int from: 0
        readonly property int to: 15
        property int value: 0

        function startProgress() {
            App.setSimulationAllowed(true)
            value = from
            restart()
        }

        objectName: "confirmTimer"
        interval: 1000
        repeat: true
        triggeredOnStart: false

        onTriggered: {
            if (value >= to) {
                App.setSimulationAllowed(false)
                stop()
                root.close()
            } else {
                value += 1
            }
        }
    }
}
