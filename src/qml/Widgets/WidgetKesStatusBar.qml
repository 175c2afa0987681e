import QtQuick
import QtQuick.Layouts

import Velmor.Enums 1.0

import "../Controls"
import "../Items"

// The strip below the headset pages: model, connection, battery and microphone mute.
RoundedRectangle {
    id: root

    color: App.theme.colorEmpty
    borderWidth: 0
    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    QtObject {
        id: internal

        readonly property var uiModel: App.uiModel
        // Null-safe: the screen may outlive the headset model by a moment when the main window
        // switches to another screen.
        readonly property var statusMediator: uiModel?.statusMediator ?? null
        readonly property var fwMediator: uiModel?.fwMediator ?? null
        readonly property var headMediator: uiModel?.headMediator ?? null
        readonly property int category: uiModel?.category ?? UIModel.Stub
        readonly property int kestrinType: uiModel?.kestrinType ?? UIKestrinModel.None
        readonly property int batteryPercentage: statusMediator?.batteryPercentage ?? 0
        readonly property bool micMute: statusMediator?.micMute ?? false
        // Battery and mute show nothing until the headset has given them: no made-up 0 %.
        readonly property bool statusRead: statusMediator?.statusRead ?? false
        readonly property bool isHardware: category === UIModel.Hardware
        readonly property bool isDongle: fwMediator?.isDongle ?? false
        readonly property bool isFwOnly: fwMediator?.isFwOnly ?? false
        readonly property bool isPolling: headMediator?.statusBarPolling ?? false
        readonly property bool isFullHardware: isHardware && !isFwOnly

        // A full hardware device of no known model (not expected) shows the family name.
        readonly property string modelName: {
            switch (kestrinType) {
            case UIKestrinModel.Kestrin_2:
                return "Kestrin 2"
            case UIKestrinModel.Kestrin_2_ANC:
                return "Kestrin 2 ANC"
            default:
                return "Kestrin"
            }
        }

        readonly property string connectionImage: !isHardware ? "no-connection.svg"
                                                               : (isDongle ? "dongle.svg" : "cable.svg")
        readonly property string connectionText: {
            if (!isHardware)
                return qsTr("No Device Detected")
            if (!isDongle)
                return qsTr("USB Wired")
            return isFwOnly ? qsTr("USB Dongle (No Headset)") : qsTr("USB Dongle")
        }

        readonly property string batteryLevel: batteryPercentage > 80 ? "full"
                                              : batteryPercentage > 30 ? "middle"
                                              : batteryPercentage > 10 ? "low" : "critical"
        readonly property string batteryText: batteryPercentage + "%"
    }

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        RowLayout {
            id: indicators

            readonly property string statusPath: App.theme.resourcesPath + "images/status/"

            spacing: App.theme.layoutRowSpacingLarge
            Layout.bottomMargin: 4

            ItemStatus {
                objectName: "modelStatus"
                visible: internal.isFullHardware
                imageSource: indicators.statusPath + "headset.svg"
                text: internal.modelName
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            ItemStatus {
                objectName: "connectionStatus"
                imageSource: indicators.statusPath + internal.connectionImage
                text: internal.connectionText
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            ItemStatus {
                objectName: "batteryStatus"
                visible: internal.isPolling && internal.isFullHardware && internal.statusRead
                imageSource: indicators.statusPath + "battery/" + internal.batteryLevel + ".svg"
                text: internal.batteryText
                Accessible.role: Accessible.StaticText
                Accessible.name: qsTr("Battery level is %1.").arg(text)
            }

            ItemStatus {
                objectName: "muteStatus"
                visible: internal.isPolling && internal.isFullHardware && internal.statusRead
                imageSource: indicators.statusPath + (internal.micMute ? "microphone-off.svg"
                                                                       : "microphone-on.svg")
                text: internal.micMute ? qsTr("Mute On") : qsTr("Mute Off")
                Accessible.role: Accessible.StaticText
                Accessible.name: internal.micMute ? qsTr("Microphone is muted.") : qsTr("Microphone is on.")
            }
        }

        Item {
            Layout.fillWidth: true
        }
    }
}
