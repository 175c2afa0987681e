import QtQuick
import QtQuick.Layouts

import "../Controls"

// The vertical gain slider of one EQ band, -12 to 12 dB, with the gain above it and the
// band's frequency below it. Users bind `value`, set `frequency` and write the gain in
// `onMoved`, which only the user's changes emit.
Item {
    id: root

    property alias value: slider.value
    readonly property alias pressed: slider.pressed
    property int frequency: 0

    signal moved()

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        ZelText {
            id: valueLabel
            objectName: "valueLabel"

            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: (slider.value > 0 ? "+" : "") + slider.value
        }

        ZelSlider {
            id: slider
            objectName: "slider"

            readonly property bool supportDescription: Qt.platform.os === "osx"
            readonly property string valueText: slider.value + " dB"

            Layout.fillHeight: true
            Layout.alignment: Qt.AlignHCenter
            orientation: Qt.Vertical
            // The headset's gain range, whatever the band model holds.
            from: -12
            to: 12
            stepSize: 1

            // Screen readers on Windows say "dash" for a leading minus sign.
            Accessible.name: supportDescription
                             ? valueText
                             : valueText.replace("-", qsTr("minus ")) + ", " + frequencyLabel.text
            Accessible.description: supportDescription ? valueText + ", " + frequencyLabel.text : ""

            onMoved: root.moved()
        }

        ZelText {
            id: frequencyLabel
            objectName: "frequencyLabel"

            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            // Division, not multiplication by 0.001, gives the shortest decimal (1.1, not
            // 1.1000000000000001).
            text: root.frequency < 1000 ? root.frequency + "Hz" : (root.frequency / 1000) + "kHz"
        }
    }
}
