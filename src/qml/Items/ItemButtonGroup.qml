pragma ComponentBehavior: Bound
import QtQuick

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

    // Known from the labels alone, before any button exists: the buttons are built after the
    // panel (one by one while a screen is built asynchronously), and a size that changed when
    // they arrive could reach the page's layouts at a moment when Qt 6.4 drops the change.
    implicitWidth: internal.widestLabel + 2 * margins
    implicitHeight: internal.count * App.theme.controlButtonGroupHeight
                    + Math.max(0, internal.count - 1) * spacing + 2 * margins
    radius: 8
    color: App.theme.colorButtonGroup

    QtObject {
        id: internal

        readonly property int count: repeater.count
        readonly property real widestLabel: {
            let widest = 0
            for (let i = 0; i < count; ++i)
                widest = Math.max(widest, Math.ceil(metrics.advanceWidth(root.model[i] ?? "")))
            return widest
        }
    }

    FontMetrics {
        id: metrics

        font.family: App.theme.fontFamily
        font.pixelSize: App.theme.fontSize
    }

    // A positioner, not a layout, holds the buttons: a Repeater directly inside a Quick Layout
    // reads freed buttons on Qt 6.4 when its model changes.
    Column {
        id: buttons

        anchors.fill: parent
        anchors.margins: root.margins
        spacing: root.spacing

        Repeater {
            id: repeater

            ZelGroupRadioButton {
                required property string modelData
                required property int index

                width: buttons.width
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
