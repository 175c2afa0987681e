import QtQuick
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"

// The front end of the audio-driver reinstall. The flow lives in the firmware mediator's
// drStatus; the dialog shows one page per state and forwards the user's two answers. While it is
// shown the simulated headset is allowed, so the screen below stays up as devices are unplugged.
ZelDialogBox {
    id: root

    closePolicy: ZelPopupDialog.NoAutoClose
    // Cancel is never disabled: Escape cancels on every page, also where it is hidden.
    escapeClicksNegative: true
    wrapText: true
    positiveButton.objectName: "continueButton"

    leadingButtonData: [
        ZelVectorImage {
            objectName: "imageConnection"
            source: App.theme.resourcesPath + "images/cable_warn.svg"
            visible: labelHeadset.visible
            width: 9
            height: 13
            Layout.preferredWidth: 9
            Layout.preferredHeight: 13
        },
        ZelText {
            id: labelHeadset

            objectName: "labelHeadset"
            text: qsTr("Awaiting Headset Connection")
            color: App.theme.colorTextWarning
            font.bold: true
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    ]

    onPositiveButtonClicked: internal.continueDrivers()
    onNegativeButtonClicked: internal.cancelDrivers()

    onAboutToShow: {
        App.setSimulationAllowed(true)
        internal.updateDialog()
    }

    onAboutToHide: App.setSimulationAllowed(false)

    QtObject {
        id: internal

        readonly property var fwMediator: App.uiModel ? App.uiModel.fwMediator : null
        readonly property string iconPath: App.theme.resourcesPath + "images/dialog/"
        readonly property int status: fwMediator ? fwMediator.drStatus : UIKesFwMediator.DrNotStarted
        readonly property string title: qsTr("Reinstall Audio Driver")
        readonly property string failedTitle: qsTr("Driver Reinstallation Failed")

        onStatusChanged: updateDialog()

        function setPage(icon, title, text, continueText, continueShown, continueEnabled, cancelShown, awaiting) {
            root.imageSource = icon === "" ? "" : iconPath + icon
            root.title = title
            root.text = text
            root.positiveButton.text = continueText
            root.positiveButton.visible = continueShown
            root.positiveButton.enabled = continueEnabled
            root.hasNegative = cancelShown
            labelHeadset.visible = awaiting
        }

        function updateDialog() {
            switch (status) {
            case UIKesFwMediator.DrNotStarted:
                setPage("warning.svg", title,
                        qsTr("Only use if you are experiencing audio playback issues with your headset on this PC."),
                        qsTr("Confirm"), true, true, true, false)
                break
            case UIKesFwMediator.DrUnplugDevices:
                setPage("warning.svg", title, qsTr("Please unplug the dongle and headset to continue."),
                        qsTr("Confirm"), true, true, true, false)
                break
            case UIKesFwMediator.DrUninstalling:
                setPage("", title, qsTr("Reinstalling..."), "", false, false, false, false)
                break
            case UIKesFwMediator.DrWaitForDeviceReconnect:
                setPage("", title, qsTr("Connect the headset to complete driver reinstallation."),
                        qsTr("Confirm"), true, false, true, true)
                break
            case UIKesFwMediator.DrSuccess:
                setPage("success.svg", qsTr("Audio Driver Reinstalled"), qsTr("Driver reinstallation successful."),
                        qsTr("Confirm"), true, true, false, false)
                break
            case UIKesFwMediator.DrAccessDenied:
                setPage("error.svg", failedTitle,
                        qsTr("The Velmor App must be opened with administrative priviledges. Re-open the app by right clicking its icon while holding shift and selecting \"Run as Administrator\""),
                        qsTr("Confirm"), true, true, false, false)
                break
            case UIKesFwMediator.DrFailed:
            case UIKesFwMediator.DrDeviceConnected:
                setPage("error.svg", failedTitle, qsTr("Please disconnect your Kestrin and try again."),
                        qsTr("Try again"), true, true, true, false)
                break
            }
        }

        function continueDrivers() {
            // Closing withdraws the simulated headset's allowance: with the headset gone, no
            // device is current after it, and the model read here would have no mediator.
            const mediator = fwMediator
            if (status === UIKesFwMediator.DrSuccess)
                root.close()
            mediator.continueReinstallingDrivers()
        }

        function cancelDrivers() {
            fwMediator.resetReinstallingDrivers()
            root.close()
        }
    }
}
