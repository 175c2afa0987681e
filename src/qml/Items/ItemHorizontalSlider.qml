import QtQuick
import QtQuick.Layouts

import "../Controls"

// A labelled horizontal slider: title and value text on one line, the slider below them and
// the range texts under its ends. It computes nothing: its user supplies the range, the value
// and all four texts, and writes its setting in `onMoved`.
Item {
    id: root

    property alias name: nameLabel.text
    property alias textValue: valueLabel.text
    property alias textFrom: fromLabel.text
    property alias textTo: toLabel.text
    property alias from: slider.from
    property alias to: slider.to
    property alias value: slider.value
    readonly property alias pressed: slider.pressed

    // Only for the user's changes: dragging, pressing on the track, the arrow keys.
    signal moved()

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            spacing: 0

            ZelTextTitle {
                id: nameLabel
                objectName: "nameLabel"

                Layout.alignment: Qt.AlignVCenter
            }

            Item {
                Layout.fillWidth: true
            }

            ZelText {
                id: valueLabel
                objectName: "valueLabel"

                Layout.alignment: Qt.AlignVCenter
                font.pixelSize: App.theme.fontSizeTitle
                // Bold through the weight: ZelText sets its own weight, which a plain
                // font.bold would not reliably override.
                font.weight: Font.Bold
            }
        }

        Item {
            Layout.preferredHeight: 8
        }

        ZelSlider {
            id: slider
            objectName: "slider"

            // The name that a screen reader gives the slider: the shown value alone where the
            // platform reads the description as well, else the title and the value.
            readonly property bool supportDescription: Qt.platform.os === "osx"
            readonly property string accessibleDescription: root.name + " " + root.textValue

            Layout.fillWidth: true
            orientation: Qt.Horizontal
            stepSize: 1
            padding: 0

            Accessible.name: supportDescription ? root.textValue : accessibleDescription
            Accessible.description: accessibleDescription

            onMoved: root.moved()
        }

        Item {
            Layout.preferredHeight: 4
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 0

            ZelTextCaption {
                id: fromLabel
                objectName: "fromLabel"

                Layout.alignment: Qt.AlignVCenter
                color: App.theme.colorHint
                font.pixelSize: App.theme.fontSizeCaptionSmall
            }

            Item {
                Layout.fillWidth: true
            }

            ZelTextCaption {
                id: toLabel
                objectName: "toLabel"

                Layout.alignment: Qt.AlignVCenter
                color: App.theme.colorHint
                font.pixelSize: App.theme.fontSizeCaptionSmall
            }
        }
    }
}
