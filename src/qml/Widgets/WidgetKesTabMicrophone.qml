import QtQuick
import QtQuick.Layouts

import Velmor.Enums 1.0

import "../Controls"
import "../Items"

// The microphone page: the noise-removal level (the same setting as on the Sound page) and a
// microphone-volume dial that is kept hidden.
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
        readonly property int tileMinimumWidth: 280
        readonly property int kestrinType: uiModel?.kestrinType ?? UIKestrinModel.None
        readonly property int micLevel: settingsMediator?.micLevel ?? 0
        readonly property int micFilter: settingsMediator?.micFilter ?? -1
    }

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        ZelTextCaption {
            text: qsTr("Microphone")
            color: App.theme.colorTextPreset
            font.pixelSize: App.theme.fontSizeCaptionLarge
            font.bold: true
            Layout.leftMargin: 40
            Layout.rightMargin: 40
            Layout.topMargin: 28
            Layout.bottomMargin: 28
        }

        RowLayout {
            spacing: 12
            Layout.leftMargin: 40
            Layout.rightMargin: 40
            Layout.topMargin: 16
            Layout.bottomMargin: 16
            Layout.fillHeight: true
            Layout.fillWidth: true

            ItemTile {
                objectName: "micVolumeTile"
                visible: false
                Layout.fillHeight: true
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth

                ColumnLayout {
                    anchors.centerIn: parent
                    spacing: 0
                    visible: internal.kestrinType !== UIKestrinModel.Kestrin_1

                    ZelTextTitle {
                        text: qsTr("Microphone Volume")
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredHeight: 24
                    }

                    Item {
                        Layout.preferredHeight: 16
                    }

                    ZelDial {
                        id: micDial

                        objectName: "micDial"
                        stepSize: 1
                        from: 0
                        to: 15
                        textLimit: 100
                        leftValueLabel: qsTr("0")
                        rightValueLabel: qsTr("100")
                        Layout.alignment: Qt.AlignHCenter

                        onMoved: internal.settingsMediator.micLevel = value

                        Binding on value {
                            value: internal.micLevel
                        }
                    }

                    ZelText {
                        id: hint

                        text: qsTr("Microphone volume changes are accepted only when the microphone is active.")
                        horizontalAlignment: Text.AlignHCenter
                        font.pixelSize: App.theme.fontSize
                        color: App.theme.colorHint
                        wrapMode: ZelText.WordWrap
                        Layout.fillWidth: true
                        Layout.preferredWidth: micDial.width * 1.2
                        Layout.alignment: Qt.AlignHCenter
                    }
                }
            }

            ItemTile {
                objectName: "noiseRemovalTile"
                Layout.fillHeight: true
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth

                ColumnLayout {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.margins: 24
                    spacing: 8

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

            // Holds the place of the hidden volume tile, so the noise-removal tile keeps half
            // of the row.
            Item {
                Layout.fillWidth: true
                Layout.minimumWidth: internal.tileMinimumWidth
            }
        }
    }
}
