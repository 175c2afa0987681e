import QtQuick
import QtQuick.Layouts

import Velmor.Enums 1.0

import "../Controls"
import "../Items"

// The headset's sound settings: game/chat mix, volume limiter, sidetone, ANC and the
// microphone's noise removal. Every control shows a settings-mediator property and writes it
// back on a user change.
Item {
    id: root

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight
    enabled: internal.isHardware

    QtObject {
        id: internal

        readonly property var uiModel: App.uiModel
        // Null-safe: the screen may outlive the headset model by a moment when the main window
        // switches to another screen.
        readonly property var settingsMediator: uiModel?.settingsMediator ?? null
        readonly property bool isHardware: uiModel?.category === UIModel.Hardware
        readonly property int kestrinType: uiModel?.kestrinType ?? UIKestrinModel.None
        readonly property int gameChatMix: settingsMediator?.gameChatMix ?? 0
        readonly property bool volumeLimiter: settingsMediator?.volumeLimiter ?? false
        readonly property bool sidetone: settingsMediator?.sidetone ?? false
        readonly property int sidetoneLevelValue: settingsMediator?.sidetoneLevel ?? 0
        readonly property real maxSidetoneLevel: settingsMediator?.maxSidetoneLevel ?? 0
        // Shown in per cent of the headset's own range; no range read yet shows 0.
        readonly property int sidetoneLevel: maxSidetoneLevel > 0
                                             ? Math.floor(100 * sidetoneLevelValue / maxSidetoneLevel) : 0
        readonly property var ancModes: settingsMediator?.ancModes ?? []
        readonly property int ancIndex: settingsMediator?.ancIndex ?? -1
        readonly property int micFilter: settingsMediator?.micFilter ?? -1
        readonly property int tileMinimumWidth: 280
    }

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        ZelTextCaption {
            text: qsTr("Sound")
            color: App.theme.colorTextPreset
            font.pixelSize: App.theme.fontSizeCaptionLarge
            font.bold: true
            Layout.margins: 24
        }

        RowLayout {
            spacing: 12
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 16
            Layout.bottomMargin: 16
            Layout.fillHeight: true
            Layout.fillWidth: true

            ItemTile {
                Layout.fillHeight: true
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth

                ColumnLayout {
                    anchors.centerIn: parent
                    spacing: 16

                    ZelTextTitle {
                        id: gameChatTitle

                        text: qsTr("Game/Chat Mix")
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredHeight: 24
                    }

                    ZelDial {
                        id: gameChatDial

                        objectName: "gameChatDial"
                        leftValueLabel: qsTr("Game")
                        rightValueLabel: qsTr("Chat")
                        stepSize: 1
                        from: 0
                        to: 20
                        value: internal.gameChatMix
                        mode: ZelDial.ModeDual
                        textLimit: 100
                        name: gameChatTitle.text
                        Layout.alignment: Qt.AlignHCenter

                        onMoved: {
                            internal.settingsMediator.gameChatMix = value
                            value = Qt.binding(() => internal.gameChatMix)
                        }
                    }
                }
            }

            ItemTile {
                Layout.fillHeight: true
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth

                ColumnLayout {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.margins: 24
                    spacing: 48

                    ZelSwitch {
                        id: volumeLimiterSwitch

                        objectName: "volumeLimiterSwitch"
                        text: qsTr("Volume Limiter")
                        hint: qsTr("Limits the maximum headset volume to support safer listening levels.")
                        checked: internal.volumeLimiter
                        visible: internal.kestrinType === UIKestrinModel.Kestrin_1
                        Layout.fillWidth: true

                        onToggled: {
                            internal.settingsMediator.volumeLimiter = checked
                            checked = Qt.binding(() => internal.volumeLimiter)
                        }
                    }

                    ZelSwitch {
                        id: sidetoneSwitch

                        objectName: "sidetoneSwitch"
                        text: qsTr("Sidetone")
                        hint: qsTr("Allows you to hear your own voice through the headset while using the microphone.")
                        checked: internal.sidetone
                        Layout.fillWidth: true

                        onToggled: {
                            internal.settingsMediator.sidetone = checked
                            checked = Qt.binding(() => internal.sidetone)
                        }
                    }

                    ItemHorizontalSlider {
                        id: sidetoneSlider

                        objectName: "sidetoneSlider"
                        enabled: internal.sidetone
                        name: qsTr("Sidetone Level")
                        textValue: String(internal.sidetoneLevel)
                        textFrom: "0"
                        textTo: "100"
                        from: 0
                        to: internal.maxSidetoneLevel
                        value: internal.sidetoneLevelValue
                        Layout.fillWidth: true

                        onMoved: {
                            internal.settingsMediator.sidetoneLevel = value
                            value = Qt.binding(() => internal.sidetoneLevelValue)
                        }
                    }
                }
            }

            ItemTile {
                Layout.fillHeight: true
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth

                ColumnLayout {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.margins: 24
                    spacing: 48

                    ColumnLayout {
                        objectName: "ancColumn"
                        visible: internal.kestrinType === UIKestrinModel.Kestrin_2_ANC
                        Layout.fillWidth: true

                        ItemDescriptionText {
                            text: qsTr("Active Noise Cancellation (ANC)")
                            hint: qsTr("Reduces background noise while listening. \nTransparency mode lets outside sounds pass through.")
                            Layout.fillWidth: true
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text
                        }

                        ItemButtonGroup {
                            id: ancGroup

                            objectName: "ancGroup"
                            model: internal.ancModes
                            Layout.fillWidth: true

                            onClicked: internal.settingsMediator.ancIndex = currentIndex

                            Binding on currentIndex {
                                value: internal.ancIndex
                            }
                        }
                    }

                    ColumnLayout {
                        Layout.fillWidth: true

                        ItemDescriptionText {
                            objectName: "noiseRemovalTitle"
                            text: internal.kestrinType === UIKestrinModel.Kestrin_1
                                  ? qsTr("Noise Suppression") : qsTr("DAMPRA - AI Noise Removal")
                            hint: qsTr("Enhances voice clarity by removing background noise from the microphone signal.")
                            Layout.fillWidth: true
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text
                        }

                        ItemButtonGroup {
                            id: micFilterGroup

                            objectName: "micFilterGroup"
                            model: [qsTr("Off"), qsTr("Low"), qsTr("High")]
                            Layout.fillWidth: true

                            onClicked: internal.settingsMediator.micFilter = currentIndex

                            Binding on currentIndex {
                                value: internal.micFilter
                            }
                        }
                    }
                }
            }
        }
    }
}
