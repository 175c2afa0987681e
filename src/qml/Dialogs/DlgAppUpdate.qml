import QtQuick
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"

// Updates the application: asks, has the app mediator download the installer, then has it open
// the installer, which ends the application. The step moves on when the user confirms, when the
// mediator's update status changes, and on the ticks of a 100 ms timer whose count also fills
// the bar (evenly over 20 seconds; it does not follow the real download).
ZelPopupDialog {
    id: root

    enum DlgAppUpdateStep {
        Intro = 0,
        Downloading = 1,
        Installing = 2,
        Success = 3,
        Fail = 4
    }

    focus: true
    closePolicy: ZelPopupDialog.NoAutoClose

    onAboutToShow: internal.status = DlgAppUpdate.Intro

    QtObject {
        id: internal

        readonly property var appMediator: App.appMediator
        readonly property int updateStatus: appMediator ? appMediator.updateStatus : UIAppMediator.None
        readonly property bool isUpdatingProcess: status === DlgAppUpdate.Downloading
            || status === DlgAppUpdate.Installing
        property int status: DlgAppUpdate.Intro
        readonly property real updateProgress: updateTimer.progress / updateTimer.maxProgress

        readonly property Timer updateTimer: Timer {
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

    contentItem: ColumnLayout {
        id: mainLayout

        spacing: 32
        focus: true

        // The keys act only where the buttons are shown: during the download and the start of
        // the installer the steps move on by themselves.
        Keys.onEnterPressed: {
            if (!internal.isUpdatingProcess)
                continueButton.click()
        }
        Keys.onReturnPressed: {
            if (!internal.isUpdatingProcess)
                continueButton.click()
        }
        Keys.onEscapePressed: cancelButton.click()

        ColumnLayout {
            spacing: 16
            Layout.preferredWidth: 552

            RowLayout {
                spacing: App.theme.layoutRowSpacingSmall

                ZelVectorImage {
                    readonly property string iconName: internal.iconNames[internal.status]

                    objectName: "image"
                    source: App.theme.resourcesPath + "images/dialog/" + iconName
                    width: 16
                    height: 16
                    Layout.preferredWidth: 16
                    Layout.preferredHeight: 16
                }

                ZelTextCaption {
                    objectName: "labelTitle"
                    text: internal.titles[internal.status]
                    font.pixelSize: App.theme.fontSizeTitle
                    font.bold: true
                }
            }

            ZelText {
                objectName: "labelText"
                text: internal.texts[internal.status]
                color: App.theme.colorTextHighlighted
                font.pixelSize: App.theme.fontSizeTitle
                wrapMode: ZelText.WordWrap
                Layout.fillWidth: true
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }

        ColumnLayout {
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

        RowLayout {
            objectName: "buttonRow"
            spacing: App.theme.layoutRowSpacingSmall
            visible: !internal.isUpdatingProcess

            Item {
                Layout.fillWidth: true
            }

            ZelButtonHidden {
                id: cancelButton

                objectName: "cancelButton"
                text: qsTr("Cancel")
                visible: internal.status === DlgAppUpdate.Intro
                enabled: internal.status === DlgAppUpdate.Intro
                onClicked: root.close()
            }

            ZelButton {
                id: continueButton

                objectName: "continueButton"
                text: internal.status === DlgAppUpdate.Fail ? qsTr("Restart App") : qsTr("Confirm")
                onClicked: internal.continueDlg()
            }
        }
    }
}
