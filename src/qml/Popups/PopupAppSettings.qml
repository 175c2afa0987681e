import QtQuick
import QtQuick.Dialogs
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"
import "../Dialogs"
import "../Items"

// The application settings drawer: language, version and offered update, the close-to-tray
// option, and at its foot the Qt licence notice and the log collection. Dialogs it asks for
// are opened by the main window.
ZelDrawer {
    id: root

    // Asks the main window to open the dialog made from `dlg` (the licences dialog).
    signal popupOpen(Component dlg)
    signal appUpdateClicked()

    // Whether the desktop shows a system tray; without one the window cannot close to it, so the
    // option has no effect and the switch says why.
    property bool trayAvailable: true

    function forceFocus() {
        closeBtn.forceActiveFocus()
    }

    QtObject {
        id: internal

        readonly property var appMediator: App.appMediator
        readonly property string updateVersion: internal.appMediator ? internal.appMediator.updateVersion : ""
        readonly property int updateStatus: internal.appMediator ? internal.appMediator.updateStatus
                                                                 : UIAppMediator.None
        readonly property bool hasUpdate: internal.updateStatus === UIAppMediator.CanInstall
                                          || internal.updateStatus === UIAppMediator.CanDownload

        // The dialogs of the drawer itself, made when first opened and kept afterwards.
        readonly property ItemPopupLoader popupLoader: ItemPopupLoader {
            objectName: "popupLoader"
        }
    }

    padding: 16
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    background: RoundedRectangle {
        color: App.theme.colorPreset
        // Meets the window's rounded corner.
        bottomRightRadius: 8
    }

    // The drawer's one child: it fills the content item, and its implicit size is the content's.
    ColumnLayout {
        anchors.fill: parent
        spacing: 24

        RowLayout {
            Layout.fillWidth: true
            spacing: 0

            ZelTextCaption {
                text: qsTr("App Settings")
                color: App.theme.colorText
                font.pixelSize: App.theme.fontSizeCaptionLarge
                font.bold: true
            }

            Item {
                Layout.fillWidth: true
            }

            ZelButtonIcon {
                id: closeBtn
                objectName: "closeBtn"

                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                text: qsTr("Close")
                source: App.theme.resourcesPath + "images/"
                        + (closeBtn.hovered && !closeBtn.pressed ? "close_hovered.svg" : "close_regular.svg")

                onClicked: root.close()
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 20

            ItemSettingsRow {
                Layout.fillWidth: true
                divided: false
                text: qsTr("Language")

                ZelComboBox {
                    objectName: "languageCombo"

                    Layout.preferredWidth: 240
                    model: [qsTr("English")]

                    // English is the only language.
                    onCurrentIndexChanged: {
                        if (currentIndex !== 0)
                            currentIndex = 0
                    }
                }
            }

            ItemSettingsRow {
                Layout.fillWidth: true
                divided: false
                text: qsTr("App Version")

                ZelText {
                    objectName: "versionText"

                    text: App.applicationVersion
                    color: App.theme.colorTextHighlighted
                    font.pixelSize: App.theme.fontSizeTitle
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }

            ItemVersionRowLabel {
                objectName: "updateRow"

                Layout.fillWidth: true
                visible: internal.hasUpdate
                status: ItemVersionRowLabel.Available
                rightText: internal.updateVersion + " " + qsTr("Available")
            }

            ZelButton {
                objectName: "updateBtn"

                Layout.alignment: Qt.AlignRight
                visible: internal.hasUpdate
                text: qsTr("Update")

                onClicked: root.appUpdateClicked()
            }

            // Not offered: the row stays hidden and its switch is bound to nothing.
            ItemSettingsRow {
                objectName: "launchOnStartupRow"

                Layout.fillWidth: true
                divided: false
                visible: false
                text: qsTr("Launch on Startup")

                ZelSwitch {
                }
            }

            ZelSwitch {
                id: traySwitch
                objectName: "traySwitch"

                Layout.fillWidth: true
                text: qsTr("Close to System Tray")
                enabled: root.trayAvailable
                hint: root.trayAvailable ? "" : qsTr("No system tray here: closing quits the app.")

                onToggled: {
                    if (!internal.appMediator)
                        return
                    internal.appMediator.minimizeToTray = traySwitch.checked
                    // Show what the mediator holds, also when it kept the old value.
                    if (traySwitch.checked !== internal.appMediator.minimizeToTray)
                        traySwitch.checked = internal.appMediator.minimizeToTray
                }
            }

            Binding {
                target: traySwitch
                property: "checked"
                value: internal.appMediator ? internal.appMediator.minimizeToTray : false
            }

            Item {
                Layout.fillHeight: true
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.preferredHeight: 20
            spacing: 16

            ZelLinkButton {
                objectName: "licenseLink"

                text: qsTr("Qt License")
                color: App.theme.colorHint
                font.pixelSize: App.theme.fontSize

                onClicked: root.popupOpen(licensesComponent)
            }

            ZelLinkButton {
                objectName: "collectLogsLink"

                text: qsTr("Collect Logs")
                color: App.theme.colorHint
                font.pixelSize: App.theme.fontSize

                onClicked: internal.popupLoader.open(saveFileDialog)
            }

            Item {
                Layout.fillWidth: true
            }
        }
    }

    Component {
        id: licensesComponent

        DlgLicenses {
        }
    }

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot
    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: saveFileDialog

        FileDialog {
            objectName: "saveFileDialog"

            title: qsTr("Save as")
            fileMode: FileDialog.SaveFile
            // Qt's own dialog would label its accept button "Open" in save mode too.
            acceptLabel: qsTr("Save")
            nameFilters: ["Log files (*.log)"]

            // The result is not shown: on success the file manager opens at the file.
            onAccepted: {
                if (internal.appMediator)
                    internal.appMediator.saveLogsToFile(selectedFile, currentFolder)
            }
        }
    }
    // qmllint enable unqualified
}
