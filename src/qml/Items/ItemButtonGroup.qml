import QtQuick
import QtQuick.Layouts

import "../Controls"

// A rounded panel of mutually exclusive buttons, one per label of `model`, stacked top to
// bottom. Users drive `currentIndex` with a Binding on their setting and write the setting in
// `onClicked`, which only a user's click emits.
Rectangle {
    id: root

    property alias model: repeater.model
    property int margins: 4
    property int spacing: 4
    // -1, or any index outside the model, selects no button.
    property int currentIndex: -1

    signal clicked()

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight
    radius: 8
    color: App.theme.colorButtonGroup

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: root.margins
            spacing: root.spacing

            Repeater {
                id: repeater

                ZelGroupRadioButton {
                    required property string modelData
                    required property int index

                    Layout.fillWidth: true
                    text: modelData
                    checked: index === root.currentIndex

                    onClicked: {
                        root.currentIndex = index
                        root.clicked()
                    }
                }
            }
        }
    }
}
