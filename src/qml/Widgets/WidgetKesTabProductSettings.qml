import QtQuick
import QtQuick.Layouts

import Velmor.Enums 1.0

import "../Controls"
import "../Dialogs"
import "../Items"
import "WebLinks.js" as WebLinks

// The headset's Settings page: firmware versions with update, rollback and dongle pairing, the
// model's change log, auto power-off and voice-prompt volume, factory reset and the audio-driver
// reinstall.
Item {
    id: root

    signal alertRequested()

    // Presses the firmware button as a user would; nothing happens while no update is offered.
    function startFwUpdate() {
        buttonUpdate.click()
    }

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    QtObject {
        id: internal

        readonly property int tileMinimumWidth: 370
        readonly property string notConnected: qsTr("Not Connected")
        readonly property string updating: qsTr("Updating")
        readonly property var uiModel: App.uiModel
        // Null-safe: the screen may outlive the headset model by a moment when the main window
        // switches to another screen.
        readonly property var fwMediator: uiModel?.fwMediator ?? null
        readonly property var settingsMediator: uiModel?.settingsMediator ?? null
        readonly property int kestrinType: uiModel?.kestrinType ?? UIKestrinModel.None
        // An unknown model keeps the last link.
        property string fwInfoLink: ""
        readonly property int category: uiModel?.category ?? UIModel.Stub
        readonly property bool isHardware: category === UIModel.Hardware
        readonly property bool isFwInstalling: fwMediator?.status === UIKesFwMediator.Updating
                                               || fwMediator?.status === UIKesFwMediator.Applying
        readonly property bool isDongle: fwMediator?.isDongle ?? false
        readonly property bool isFwOnly: fwMediator?.isFwOnly ?? false
        readonly property bool isFullHardware: isHardware && !isFwOnly
        readonly property bool isRollback: fwMediator?.isRollback ?? false
        readonly property bool hasFwUpdate: fwMediator?.hasFwUpdate ?? false
        readonly property string fwVer: fwMediator?.fwVer ?? ""
        readonly property string dongleFwVer: fwMediator?.dongleFwVer ?? ""
        readonly property string availableFw: fwMediator?.availableFw ?? ""
        readonly property bool canRemoveDriver: fwMediator?.canRemoveDriver ?? false
        // Where firmware cannot be installed, the rows say so before anything is started.
        readonly property bool canInstallFw: fwMediator?.canInstallFw ?? true
        readonly property int shutdownTime: settingsMediator?.shutdownTime ?? UIKesSettingsMediator.Minutes_5
        readonly property int vpLevel: settingsMediator?.vpLevel ?? 0

        function updateFwInfoLink() {
            switch (kestrinType) {
            case UIKestrinModel.Kestrin_1:
                fwInfoLink = WebLinks.kestrinChangeLogUrl
                break
            case UIKestrinModel.Kestrin_2:
            case UIKestrinModel.Kestrin_2_ANC:
                fwInfoLink = WebLinks.kestrin2ChangeLogUrl
                break
            }
        }

        function timeToString(value) {
            switch (value) {
            case UIKesSettingsMediator.Minutes_5:
                return qsTr("5 min")
            case UIKesSettingsMediator.Minutes_10:
                return qsTr("10 min")
            case UIKesSettingsMediator.Minutes_15:
                return qsTr("15 min")
            case UIKesSettingsMediator.Minutes_30:
                return qsTr("30 min")
            case UIKesSettingsMediator.Minutes_45:
                return qsTr("45 min")
            case UIKesSettingsMediator.Hours_1:
                return qsTr("1 hr")
            case UIKesSettingsMediator.Hours_1_5:
                return qsTr("1.5 hr")
            case UIKesSettingsMediator.Hours_2:
                return qsTr("2 hr")
            case UIKesSettingsMediator.Hours_4:
                return qsTr("4 hr")
            case UIKesSettingsMediator.Hours_6:
                return qsTr("6 hr")
            default:
                return qsTr("Never")
            }
        }

        function vpLevelToString(value) {
            return value === 0 ? "0%" : Math.round((value + 1) * 6.25) + "%"
        }

        // What the notifications list was last told; it starts without a firmware notice.
        property bool reportedFwUpdate: false

        function reportFwUpdate() {
            if (reportedFwUpdate === hasFwUpdate)
                return
            reportedFwUpdate = hasFwUpdate
            App.notificationsMediator.setFwUpdateAvailable(hasFwUpdate)
        }

        onKestrinTypeChanged: updateFwInfoLink()
        onHasFwUpdateChanged: reportFwUpdate()
        Component.onCompleted: {
            updateFwInfoLink()
            reportFwUpdate()
        }
    }

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        ZelTextCaption {
            text: qsTr("Product Settings")
            color: App.theme.colorTextPreset
            font.pixelSize: App.theme.fontSizeCaptionLarge
            font.bold: true
            Layout.margins: 24
        }

        RowLayout {
            spacing: 24
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 16
            Layout.bottomMargin: 16
            Layout.fillWidth: true
            Layout.fillHeight: true

            ItemTile {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                Layout.minimumWidth: internal.tileMinimumWidth
                Layout.preferredWidth: tileLayout.implicitWidth + 48
                Layout.preferredHeight: tileLayout.implicitHeight + 48

                ColumnLayout {
                    id: tileLayout

                    anchors.fill: parent
                    anchors.margins: 24
                    spacing: 32
                    Accessible.role: Accessible.Grouping
                    Accessible.name: fwInfoCaption.text

                    ZelTextCaption {
                        id: fwInfoCaption

                        text: qsTr("Firmware Info")
                        color: App.theme.colorTitle
                        font.pixelSize: App.theme.fontSizeTitle
                    }

                    ColumnLayout {
                        spacing: 16
                        Layout.fillWidth: true

                        ItemVersionRowLabel {
                            id: headsetRow

                            // Unknown only for a dongle reached without its headset.
                            readonly property bool hasFwVersion: internal.isFullHardware || !internal.isDongle

                            objectName: "headsetRow"
                            leftText: qsTr("Headset")
                            rightText: internal.isFwInstalling ? internal.updating
                                       : hasFwVersion ? internal.fwVer : internal.notConnected
                            status: internal.isFwInstalling || hasFwVersion ? ItemVersionRowLabel.Normal
                                                                            : ItemVersionRowLabel.NotConnected
                            Layout.fillWidth: true

                            onMenuRequested: rollbackMenuLoader.showAvailable()
                        }

                        ItemVersionRowLabel {
                            objectName: "dongleRow"
                            leftText: qsTr("Dongle")
                            rightText: internal.isFwInstalling ? internal.updating
                                       : internal.isDongle ? internal.dongleFwVer : internal.notConnected
                            status: internal.isFwInstalling || internal.isDongle ? ItemVersionRowLabel.Normal
                                                                                 : ItemVersionRowLabel.NotConnected
                            Layout.fillWidth: true

                            onMenuRequested: rollbackMenuLoader.showAvailable()
                        }

                        ItemVersionRowLabel {
                            objectName: "offerRow"
                            visible: internal.hasFwUpdate
                            leftText: ""
                            rightText: internal.availableFw + " " + qsTr("Available")
                            status: ItemVersionRowLabel.Available
                            Layout.fillWidth: true
                        }

                        ZelButton {
                            id: buttonUpdate

                            objectName: "buttonUpdate"
                            text: internal.isRollback ? qsTr("Rollback") : qsTr("Update")
                            visible: internal.hasFwUpdate || internal.isRollback
                            enabled: internal.hasFwUpdate && internal.canInstallFw
                            Layout.alignment: Qt.AlignRight

                            onClicked: popupLoader.open(fwUpdateComponent)
                        }

                        ZelText {
                            objectName: "fwInstallUnavailable"
                            visible: internal.isHardware && !internal.canInstallFw
                            text: qsTr("Firmware cannot be installed on this system: the firmware update tool is not available here.")
                            wrapMode: Text.WordWrap
                            Layout.fillWidth: true
                        }

                        ItemSettingsRow {
                            id: pairingSection

                            objectName: "pairingSection"
                            text: qsTr("Pair Dongle")
                            visible: internal.isHardware && internal.isFwOnly && internal.isDongle
                            Layout.fillWidth: true

                            ZelButton {
                                objectName: "pairButton"
                                text: qsTr("Pair")
                                Accessible.name: pairingSection.text

                                onClicked: popupLoader.open(pairDongleComponent)
                            }
                        }

                        ItemSettingsRow {
                            text: qsTr("Change Logs")
                            Layout.fillWidth: true

                            ZelLinkButton {
                                objectName: "changeLogLink"
                                text: qsTr("View")
                                url: internal.fwInfoLink
                                Accessible.role: Accessible.Link
                            }
                        }

                        Item {
                            Layout.fillHeight: true
                        }
                    }
                }
            }

            ColumnLayout {
                spacing: 36
                Layout.margins: 4
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth

                ColumnLayout {
                    objectName: "deviceSettings"
                    spacing: 36
                    visible: internal.isFullHardware
                    Layout.fillWidth: true

                    ItemHorizontalSlider {
                        id: shutdownSlider

                        objectName: "shutdownSlider"
                        name: qsTr("Auto Shutdown")
                        from: UIKesSettingsMediator.Minutes_5
                        to: UIKesSettingsMediator.Never
                        value: internal.shutdownTime
                        textValue: internal.timeToString(value)
                        textFrom: internal.timeToString(UIKesSettingsMediator.Minutes_5)
                        textTo: internal.timeToString(UIKesSettingsMediator.Never)
                        Layout.fillWidth: true

                        onMoved: {
                            internal.settingsMediator.shutdownTime = value
                            value = Qt.binding(() => internal.shutdownTime)
                        }
                    }

                    ItemHorizontalSlider {
                        id: vpSlider

                        objectName: "vpSlider"
                        name: qsTr("Voice Prompt Volume")
                        from: 0
                        to: 15
                        value: internal.vpLevel
                        textFrom: "0"
                        textTo: "100"
                        textValue: internal.vpLevelToString(value)
                        Layout.fillWidth: true

                        onMoved: {
                            internal.settingsMediator.vpLevel = value
                            value = Qt.binding(() => internal.vpLevel)
                        }
                    }

                    ZelSwitch {
                        text: qsTr("Power Optimization")
                        hint: qsTr("Optimizes battery charge while idle. Disabling may significantly increase power consumption.")
                        visible: false
                        Layout.fillWidth: true
                    }

                    ItemSettingsRow {
                        id: resetRow

                        divided: false
                        text: qsTr("Factory Reset")
                        hint: qsTr("Resets headset to factory defaults.")
                        Layout.fillWidth: true

                        ZelButton {
                            objectName: "resetButton"
                            text: qsTr("Reset")
                            Accessible.name: resetRow.text
                            Layout.alignment: Qt.AlignTop

                            onClicked: popupLoader.open(factoryResetComponent)
                        }
                    }
                }

                ItemSettingsRow {
                    id: driverRow

                    objectName: "driverRow"
                    divided: false
                    visible: internal.canRemoveDriver
                    text: qsTr("Reinstall Audio Driver")
                    hint: qsTr("Only use if you are experiencing audio playback issues with your headset on this PC.")
                    Layout.fillWidth: true

                    ZelButton {
                        objectName: "reinstallButton"
                        text: qsTr("Reinstall")
                        Accessible.name: driverRow.text
                        Layout.alignment: Qt.AlignTop

                        onClicked: popupLoader.open(reinstallDriversComponent)
                    }
                }

                Item {
                    Layout.fillHeight: true
                }
            }
        }
    }

    // The dialogs are declared here rather than named by file, so a renamed dialog or a mistyped
    // signal handler fails as soon as the page loads instead of when the user presses the button.
    // The loader holds one dialog at a time: opening the same one again reuses its instance,
    // opening another destroys it.
    ItemPopupLoader {
        id: popupLoader

        objectName: "popupLoader"
    }

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot
    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: fwUpdateComponent

        DlgKesFwUpdate {
            // Raised when an update has ended.
            onAlertRequested: root.alertRequested()
        }
    }
    // qmllint enable unqualified

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot
    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: factoryResetComponent

        DlgFactoryReset {
            onPositiveClicked: internal.fwMediator.factoryReset()
        }
    }
    // qmllint enable unqualified

    Component {
        id: pairDongleComponent

        DlgPairDongle {}
    }

    Component {
        id: reinstallDriversComponent

        DlgReinstallDrivers {}
    }

    Loader {
        id: rollbackMenuLoader

        objectName: "rollbackMenuLoader"

        // Refills the menu on every request; an empty list (no hardware device, or no rollback
        // list fetched yet) shows nothing.
        function showAvailable() {
            if (!internal.fwMediator)
                return
            sourceComponent = rollbackMenuComponent
            const versions = internal.fwMediator.getRollbackFwVersions()
            item.menuItems = versions
            if (versions.length > 0)
                item.popup()
        }
    }

    Component {
        id: rollbackMenuComponent

        ZelMenuList {
            objectName: "rollbackMenu"

            onItemClicked: (index) => internal.fwMediator.setRollbackFwIndex(index)
        }
    }
}
