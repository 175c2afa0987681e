import QtQuick
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"

// Pairs a headset with the dongle that the application sees alone: asks the user to check the
// set-up, has the firmware mediator send the pairing command, asks for the triple tap and then
// waits, one second per step for up to `timeout` steps, until the headset shows up through the
// dongle. The pairing call reports nothing; success is the headset appearing.
ZelDialogBox {
    id: root

    // Seconds to wait for the paired headset.
    property int timeout: 30

    enum DlgPairDongleStep {
        Proceed = 0,
        ConfirmBlink = 1,
        ConfirmPair = 2,
        WaitPair = 3,
        Success = 4,
        Error = 5
    }

    closePolicy: ZelPopupDialog.CloseOnEscape
    wrapText: true
    headerMaximumWidth: width - leftPadding - rightPadding
    showText: internal.status !== DlgPairDongle.WaitPair
    positiveButton.objectName: "continueButton"

    // Shown in place of the text while the dialog waits for the headset.
    headerData: [
        ZelProgressBar {
            id: progressBar

            objectName: "progressBar"
            from: 0
            to: root.timeout
            visible: internal.status === DlgPairDongle.WaitPair
            Layout.fillWidth: true
            Layout.topMargin: 16
        },
        Item {
            Layout.fillHeight: true
        }
    ]

    onNegativeButtonClicked: close()
    onPositiveButtonClicked: internal.continuePair()

    onAboutToShow: {
        App.setSimulationAllowed(true)
        // The same instance may be reused, already on Proceed.
        internal.status = DlgPairDongle.Proceed
        internal.updateDialog()
    }

    onAboutToHide: {
        confirmTimer.stop()
        App.setSimulationAllowed(false)
    }

    QtObject {
        id: internal

        readonly property var fwMediator: App.uiModel ? App.uiModel.fwMediator : null
        readonly property bool isHardware: App.uiModel ? App.uiModel.category === UIModel.Hardware : false
        readonly property bool isDongle: fwMediator ? fwMediator.isDongle : false
        readonly property bool isFwOnly: fwMediator ? fwMediator.isFwOnly : false
        // The headset is reached through the dongle.
        readonly property bool isPaired: isHardware && !isFwOnly && isDongle
        readonly property string iconPath: App.theme.resourcesPath + "images/dialog/"

        property int status: DlgPairDongle.Proceed

        onStatusChanged: updateDialog()

        function setPage(icon, title, text, continueText, cancelShown) {
            root.imageSource = icon === "" ? "" : iconPath + icon
            root.title = title
            if (text !== "")
                root.text = text
            root.positiveButton.text = continueText
            root.positiveButton.visible = true
            root.positiveButton.enabled = true
            root.hasNegative = cancelShown
        }

        function updateDialog() {
            switch (status) {
            case DlgPairDongle.Proceed:
                setPage("", qsTr("Pair Dongle"),
                        qsTr("Verify that the headset is powered on and unplugged and that the dongle is connected to the PC, then click Confirm."),
                        qsTr("Confirm"), true)
                break
            case DlgPairDongle.ConfirmBlink:
                fwMediator.pairing()
                setPage("", qsTr("Pair Dongle"), qsTr("Confirm the status indicator on the dongle is blinking."),
                        qsTr("Confirm"), true)
                break
            case DlgPairDongle.ConfirmPair:
                fwMediator.pairing()
                setPage("", qsTr("Pair Dongle"), qsTr("Triple-tap the power button on the headset."),
                        qsTr("Confirm"), true)
                break
            case DlgPairDongle.WaitPair:
                setPage("", qsTr("Pair Dongle"), "", "", false)
                root.positiveButton.visible = false
                root.positiveButton.enabled = false
                break
            case DlgPairDongle.Success:
                setPage("success.svg", qsTr("Dongle Pairing Complete"), qsTr("Dongle pairing successful."),
                        qsTr("Close"), false)
                break
            case DlgPairDongle.Error:
                setPage("error.svg", qsTr("Dongle Pairing Failed"),
                        qsTr("Dongle pairing unsuccessful. Please try again."), qsTr("Try Again"), true)
                break
            }
        }

        function continuePair() {
            if (!root.visible)
                return
            switch (status) {
            case DlgPairDongle.Proceed:
                status = isPaired ? DlgPairDongle.Success : DlgPairDongle.ConfirmBlink
                break
            case DlgPairDongle.ConfirmBlink:
                status = isPaired ? DlgPairDongle.Success : DlgPairDongle.ConfirmPair
                break
            case DlgPairDongle.ConfirmPair:
                confirmTimer.startPairing()
                break
            case DlgPairDongle.Success:
                root.close()
                break
            case DlgPairDongle.Error:
                status = DlgPairDongle.Proceed
                break
            }
        }
    }

    Timer {
        id: confirmTimer

        function startPairing() {
            internal.fwMediator.pairing()
            progressBar.value = 0
            restart()
            internal.status = DlgPairDongle.WaitPair
        }

        objectName: "confirmTimer"
        interval: 1000
        repeat: true
        triggeredOnStart: false

        onTriggered: {
            if (internal.isPaired || progressBar.value >= progressBar.to) {
                stop()
                progressBar.value = progressBar.to
                internal.status = internal.isPaired ? DlgPairDongle.Success : DlgPairDongle.Error
                root.positiveButton.enabled = true
            } else {
                progressBar.value += 1
            }
        }
    }
}
