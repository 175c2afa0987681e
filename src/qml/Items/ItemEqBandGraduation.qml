import QtQuick
import QtQuick.Layouts

import "../Controls"

// The tick scale between two band sliders. Given the sliders' height, its first tick lies
// level with the handle's centre at +12 dB and its last at -12 dB; the long ticks mark +12,
// +6, 0, -6 and -12 dB.
Item {
    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        // From the slider's value label to the centre of its handle at an end of the track,
        // less the half tick.
        spacing: App.theme.sliderHandleHeight * 0.5 + App.theme.sliderHandleBorder
                 + App.theme.controlPadding - 1

        // As high as the slider's value label.
        ZelText {
            Layout.alignment: Qt.AlignHCenter
        }

        ItemVerticalGraduation {
            objectName: "graduation"

            Layout.fillHeight: true
            Layout.alignment: Qt.AlignHCenter
            ticksCount: 25
            majorIndices: [0, 6, 12, 18, 24]
        }

        // As high as the slider's frequency label.
        ZelText {
            Layout.alignment: Qt.AlignHCenter
        }
    }
}
