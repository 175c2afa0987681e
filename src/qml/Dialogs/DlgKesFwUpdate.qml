import QtQuick
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"

// Leads the user through a firmware update (or rollback) of the dongle and then of the headset
// on its cable. The firmware mediator installs; the dialog checks the battery, follows the
// mediator's status and progress, and keeps the application from closing while it is shown. The
// simulated headset is allowed meanwhile, so the screen below stays up while devices come and go.
ZelDialogBox {
    id: root

    // The order of the values carries the flow: a finished install advances by one, a half left
    // out because its version already matches by two.
    enum DlgKesFwUpdateStep {
        SkippingDongle = 0,
        AwaitingDongle = 1,
        UpdatingDongle = 2,
        AwaitingHeadset = 3,
        UpdatingHeadset = 4,
        Success = 5,
        Fail = 6,
        LowBattery = 7
    }

    // An install ended, in success or failure.
    signal alertRequested()

    closePolicy: ZelPopupDialog.NoAutoClose
    escapeClicksNegative: true
    wrapText: true
    imageSource: App.theme.resourcesPath + "images/dialog/" + internal.iconName
    title: internal.title
    text: internal.text
    textFormat: Text.StyledText
    bodyShown: internal.isUpdatingProcess
    buttonRow.objectName: "buttonRow"
    buttonRow.visible: !internal.isUpdatingProcess
    hasNegative: internal.status !== DlgKesFwUpdate.Success
        && !(internal.status === DlgKesFwUpdate.AwaitingHeadset && internal.neededDeviceConnected)
    // Also off while the row is hidden during an install, so Escape does nothing.
    negativeButton.enabled: hasNegative && !internal.isUpdatingProcess
    positiveButton.objectName: "continueButton"
    extraButtonsShown: internal.status === DlgKesFwUpdate.AwaitingDongle

    bodyData: ZelProgressBar {
        objectName: "progressBar"
        from: 0
        to: 1
        value: internal.updateProgress
        visible: internal.isUpdatingProcess
        Layout.fillWidth: true
    }

    leadingButtonData: [
        ZelVectorImage {
            objectName: "imageConnection"
            visible: internal.isAwaitingDevice
            source: !visible ? ""
                : App.theme.resourcesPath + "images/" + (internal.neededDeviceConnected ? "cable.svg" : "cable_warn.svg")
            width: 10
            height: 14
            Layout.preferredWidth: 10
            Layout.preferredHeight: 14
        },
        ZelText {
            readonly property string deviceName: internal.status === DlgKesFwUpdate.AwaitingDongle
                ? qsTr("Dongle") : qsTr("Headset")

            objectName: "labelConnection"
            visible: internal.isAwaitingDevice
            font.bold: true
            color: internal.neededDeviceConnected ? App.theme.colorTextSuccess : App.theme.colorTextWarning
            text: internal.neededDeviceConnected ? qsTr("%1 Connected").arg(deviceName)
                                                 : qsTr("Awaiting %1 Connection").arg(deviceName)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    ]

    extraButtonData: ZelButton {
        objectName: "dontHaveDongleButton"
        text: qsTr("I'm not using the dongle.")
        visible: internal.status === DlgKesFwUpdate.AwaitingDongle && internal.canInstall
        enabled: !(internal.isHardware && internal.isDongle)
        onClicked: internal.skipDongle()
    }

    onNegativeButtonClicked: internal.cancelDlg()
    onPositiveButtonClicked: internal.continueDlg()

    onAboutToShow: {
        App.appMediator.addClosingBlock()
        internal.holdsClosingBlock = true
        App.setSimulationAllowed(true)
        internal.setStatus(DlgKesFwUpdate.AwaitingDongle)
    }

    onAboutToHide: internal.release()

    // A dialog destroyed while shown must not leave the application unable to close.
    Component.onDestruction: internal.release()

    QtObject {
        id: internal

        readonly property var uiModel: App.uiModel
        readonly property var fwMediator: uiModel ? uiModel.fwMediator : null
        readonly property int category: uiModel ? uiModel.category : UIModel.Stub
        readonly property bool isHardware: category === UIModel.Hardware
        readonly property bool isDongle: fwMediator ? fwMediator.isDongle : false
        readonly property bool isFwOnly: fwMediator ? fwMediator.isFwOnly : false
        readonly property bool isFullHardware: isHardware && !isFwOnly
        readonly property bool isRollback: fwMediator ? fwMediator.isRollback : false
        // Where firmware cannot be installed, no step can succeed and no advice would help.
        readonly property bool canInstall: fwMediator ? fwMediator.canInstallFw : true
        readonly property string cannotInstallText: qsTr("Firmware cannot be installed on this system: the firmware update tool is not available here. The downloaded firmware is kept.")
        readonly property real updateProgress: fwMediator ? fwMediator.progress : 0
        readonly property int updateStatus: fwMediator ? fwMediator.status : UIKesFwMediator.NotStarted
        readonly property bool neededDeviceConnected: isHardware
            && (status === DlgKesFwUpdate.AwaitingDongle ? isDongle : !isDongle)
        readonly property bool isAwaitingDevice: status === DlgKesFwUpdate.AwaitingDongle
            || status === DlgKesFwUpdate.AwaitingHeadset
        readonly property bool isUpdatingProcess: status === DlgKesFwUpdate.UpdatingDongle
            || status === DlgKesFwUpdate.UpdatingHeadset
        readonly property int batteryThreshold: 20

        property int status: DlgKesFwUpdate.AwaitingDongle
        property bool skippingDongle: false
        property bool holdsClosingBlock: false

        // Indexed by step; [update, rollback].
        readonly property var titles: [
            [qsTr("Skipping Dongle Update"), qsTr("Skipping Dongle Rollback")],
            [qsTr("Firmware Update"), qsTr("Firmware Rollback")],
            [qsTr("Updating Dongle"), qsTr("Dongle Firmware Rollback")],
            [qsTr("Connect Headset"), qsTr("Connect Headset")],
            [qsTr("Updating Headset"), qsTr("Headset Firmware Rollback")],
            [qsTr("Firmware Update Complete"), qsTr("Rollback Complete")],
            [qsTr("Firmware Update Failed"), qsTr("Firmware Rollback Failed")],
            [qsTr("Low Battery Warning"), qsTr("Low Battery Warning")]
        ]
        readonly property var skippingText: qsTr("<b>Note</b>: If using a dongle in the future, dongle and headset firmware must match.")
        readonly property var lowBatteryText: qsTr("Please ensure that your device is charged to %1% or more before initiating the firmware update.").arg(batteryThreshold)
        readonly property var texts: [
            [skippingText, skippingText],
            [qsTr("To begin the update process, ensure the dongle is plugged into your computer and verify the headset is not plugged in.<br><br><b>Note</b>: Stop all audio to ensure successful update."),
             qsTr("This process will revert your firmware to a previous version and should only be used if the newest firmware is causing issues.<br><br>To begin, ensure the dongle is plugged into your computer and verify the headset is not plugged in.<br><br><b>Note</b>: Stop all audio playback to ensure successful rollback.")],
            [qsTr("Do not disconnect the dongle during this process."),
             qsTr("Reverting dongle firmware. Do not disconnect the dongle during this process.")],
            skippingDongle
                ? [qsTr("This option allows you to update your headphones if you're not using a dongle. To proceed, plug in your headset and click Confirm."),
                   qsTr("This option allows you to revert your headphones if you're not using a dongle. To proceed, plug in your headset and click Confirm.")]
                : [qsTr("Connect your headset via USB cable."), qsTr("Connect your headset via USB cable.")],
            [qsTr("Do not disconnect the headset during this process"),
             qsTr("Reverting headset firmware. Do not unplug the headset during this process.")],
            [qsTr("Firmware successfully updated."), qsTr("Firmware successfully reverted to a previous version.")],
            [qsTr("The firmware update process has failed. Unplug both the dongle and headset and try again."),
             qsTr("The firmware rollback process has failed. Unplug both the dongle and headset and try again.")],
            [lowBatteryText, lowBatteryText]
        ]
        readonly property string title: titles[status][isRollback ? 1 : 0]
        readonly property string text: !canInstall && status !== DlgKesFwUpdate.Success
                                       && status !== DlgKesFwUpdate.LowBattery
                                       ? cannotInstallText : texts[status][isRollback ? 1 : 0]
        readonly property string iconName: status === DlgKesFwUpdate.Success ? "success.svg"
            : status === DlgKesFwUpdate.Fail || status === DlgKesFwUpdate.LowBattery ? "error.svg"
            : "update.svg"

        function setStatus(newStatus) {
            status = newStatus
            updateDialog()
        }

        // Sets the buttons on entry to a step; what a step does not name keeps its last value.
        function updateDialog() {
            switch (status) {
            case DlgKesFwUpdate.SkippingDongle:
                root.positiveButton.enabled = true
                break
            case DlgKesFwUpdate.AwaitingDongle:
                skippingDongle = false
                root.negativeText = qsTr("Cancel")
                root.positiveButton.text = qsTr("Confirm")
                root.positiveButton.visible = true
                root.positiveButton.enabled = Qt.binding(() => internal.neededDeviceConnected && internal.canInstall)
                break
            case DlgKesFwUpdate.AwaitingHeadset:
                root.positiveButton.text = qsTr("Confirm")
                root.positiveButton.enabled = Qt.binding(() => internal.neededDeviceConnected && internal.canInstall)
                break
            case DlgKesFwUpdate.Success:
                root.positiveButton.text = qsTr("Confirm")
                root.positiveButton.enabled = true
                break
            case DlgKesFwUpdate.Fail:
                root.positiveButton.text = qsTr("Try Again")
                root.positiveButton.enabled = internal.canInstall
                root.positiveButton.visible = internal.canInstall
                break
            case DlgKesFwUpdate.LowBattery:
                root.positiveButton.visible = false
                root.negativeText = qsTr("Confirm")
                break
            }
        }

        // False, after showing the warning, when a full hardware device's battery is too low.
        function checkBatteryLevel() {
            if (isFullHardware && uiModel.statusMediator.batteryPercentage < batteryThreshold) {
                setStatus(DlgKesFwUpdate.LowBattery)
                return false
            }
            return true
        }

        function install(remote, updatingStep) {
            if (!checkBatteryLevel())
                return
            const started = fwMediator.installFw(remote) === UIKesFwMediator.Started
            setStatus(started ? updatingStep : DlgKesFwUpdate.Fail)
        }

        function continueDlg() {
            switch (status) {
            case DlgKesFwUpdate.SkippingDongle:
                setStatus(DlgKesFwUpdate.AwaitingHeadset)
                break
            case DlgKesFwUpdate.AwaitingDongle:
                if (fwMediator.dongleFwVer === fwMediator.availableFw)
                    setStatus(DlgKesFwUpdate.AwaitingHeadset)
                else
                    install(false, DlgKesFwUpdate.UpdatingDongle)
                break
            case DlgKesFwUpdate.AwaitingHeadset:
                if (fwMediator.fwVer === fwMediator.availableFw)
                    setStatus(DlgKesFwUpdate.Success)
                else
                    install(isDongle, DlgKesFwUpdate.UpdatingHeadset)
                break
            case DlgKesFwUpdate.Success:
                root.close()
                break
            case DlgKesFwUpdate.Fail:
                setStatus(DlgKesFwUpdate.AwaitingDongle)
                break
            }
        }

        function cancelDlg() {
            root.close()
        }

        function skipDongle() {
            skippingDongle = true
            setStatus(DlgKesFwUpdate.SkippingDongle)
        }

        function release() {
            if (holdsClosingBlock) {
                holdsClosingBlock = false
                App.appMediator.removeClosingBlock()
                App.setSimulationAllowed(false)
            }
        }

        onUpdateStatusChanged: {
            if (updateStatus === UIKesFwMediator.Success) {
                root.alertRequested()
                // The next half, or the end; only an install under way moves on.
                if (isUpdatingProcess)
                    setStatus(status + 1)
            } else if (updateStatus === UIKesFwMediator.Failed) {
                root.alertRequested()
                setStatus(DlgKesFwUpdate.Fail)
            }
        }
    }
}
