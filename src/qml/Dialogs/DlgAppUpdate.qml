import QtQuick
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"

// Updates the application: asks, has the app mediator download the installer, then has it open
// the installer, which ends the application. The step moves on when the user confirms, when the
// mediator's update status changes, and on the ticks of a 100 ms timer whose count also fills
// the bar (evenly over 20 seconds; it does not follow the real download).
ZelDialogBox {
    id: root

    enum DlgAppUpdateStep {
        Intro = 0,
        Downloading = 1,
        Installing = 2,
        Success = 3,
        Fail = 4
    }

    closePolicy: ZelPopupDialog.NoAutoClose
    escapeClicksNegative: true
    wrapText: true
    imageSource: App.theme.resourcesPath + "images/dialog/" + internal.iconNames[internal.status]
    title: internal.titles[internal.status]
    text: internal.texts[internal.status]
    bodyShown: internal.isUpdatingProcess
    buttonRow.objectName: "buttonRow"
    // Enter and Return act only where the buttons are shown: during the download and the start
    // of the installer the steps move on by themselves.
    buttonRow.visible: !internal.isUpdatingProcess
    hasNegative: internal.status === DlgAppUpdate.Intro
    negativeButton.enabled: internal.status === DlgAppUpdate.Intro
    positiveButton.objectName: "continueButton"
    positiveText: internal.status === DlgAppUpdate.Fail ? qsTr("Restart App") : qsTr("Confirm")

    bodyData: ColumnLayout {
        objectName: "progressBlock"
        spacing: 12
        Layout.fillWidth: true
        visible: internal.isUpdatingProcess

        ZelText {
            objectName: "labelProgress"
            text: internal.progressText
            color: App.theme.colorTextHighlighted
            font.pixelSize: App.theme.fontSizeTitle
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        ZelProgressBar {
            objectName: "progressBar"
            from: 0
            to: 1
            value: internal.updateProgress
            Layout.fillWidth: true
        }
    }

    onNegativeButtonClicked: close()
    onPositiveButtonClicked: internal.continueDlg()

    onAboutToShow: internal.status = DlgAppUpdate.Intro

    QtObject {
        id: internal

        readonly property var appMediator: App.appMediator
        readonly property int updateStatus: appMediator ? appMediator.updateStatus : UIAppMediator.None
        readonly property bool isUpdatingProcess: status === DlgAppUpdate.Downloading
            || status === DlgAppUpdate.Installing
        property int status: DlgAppUpdate.Intro
        readonly property real updateProgress: updateTimer.progress / updateTimer.maxProgress

        readonly property var updateTimer: Timer {
            readonly property real maxProgress: 200
            property int progress: 0

            function startProgress() {
                progress = 0
                if (!internal.appMediator.proceedUpdate()) {
                    internal.status = DlgAppUpdate.Fail
                    return
                }
                // proceedUpdate() may already have moved the step on through a status change.
                if (internal.isUpdatingProcess)
                    restart()
            }

            objectName: "updateTimer"
            interval: 100
            repeat: true
            triggeredOnStart: false

            onTriggered: {
                if (progress < maxProgress)
                    progress += 1
                if (internal.status === DlgAppUpdate.Installing || internal.status === DlgAppUpdate.Fail) {
                    stop()
                    internal.continueDlg()
                } else if (internal.status === DlgAppUpdate.Downloading
                           && internal.updateStatus === UIAppMediator.Failed) {
                    stop()
                    internal.continueDlg()
                }
            }
        }

        readonly property var iconNames: ["update.svg", "update.svg", "update.svg", "success.svg", "error.svg"]
        readonly property var titles: [qsTr("App Update"), qsTr("App Update"), qsTr("App Update"),
            qsTr("App Update Complete"), qsTr("App Update Failed")]
        readonly property string inProgressText: qsTr("Update in progress. Do not close Velmor App during this process.")
        readonly property var texts: [
            qsTr("A new version of the Velmor App is available. Download and Install?"),
            inProgressText,
            inProgressText,
            qsTr("Velmor App has been successfully updated."),
            qsTr("The app update failed. Verify your internet connection and try again.")
        ]
        readonly property string progressText: status === DlgAppUpdate.Installing
            ? qsTr("Installing update...") : qsTr("Downloading update...")

        function continueDlg() {
            switch (status) {
            case DlgAppUpdate.Intro:
                if (updateStatus === UIAppMediator.CanDownload) {
                    status = DlgAppUpdate.Downloading
                    updateTimer.startProgress()
                } else if (updateStatus === UIAppMediator.CanInstall) {
                    status = DlgAppUpdate.Installing
                    updateTimer.startProgress()
                } else {
                    status = DlgAppUpdate.Fail
                }
                break
            case DlgAppUpdate.Downloading:
                if (updateStatus === UIAppMediator.CanInstall) {
                    status = DlgAppUpdate.Installing
                    updateTimer.startProgress()
                } else {
                    status = DlgAppUpdate.Fail
                }
                break
            case DlgAppUpdate.Installing:
                status = updateStatus === UIAppMediator.None ? DlgAppUpdate.Success : DlgAppUpdate.Fail
                break
            case DlgAppUpdate.Success:
                status = DlgAppUpdate.Intro
                root.close()
                break
            case DlgAppUpdate.Fail:
                status = DlgAppUpdate.Intro
                App.exit(0)
                break
            }
        }

        onUpdateStatusChanged: {
            if ((status === DlgAppUpdate.Downloading && updateStatus === UIAppMediator.CanInstall)
                    || (status === DlgAppUpdate.Installing && updateStatus === UIAppMediator.None)) {
                updateTimer.stop()
                continueDlg()
            }
        }
    }
}
