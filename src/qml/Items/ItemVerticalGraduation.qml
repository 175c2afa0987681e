pragma ComponentBehavior: Bound
import QtQuick

// A column of tick marks from the top edge to the bottom edge; the ticks listed in
// `majorIndices` (counted from the top) are twice as long. Needs at least two ticks.
Item {
    id: root

    property int ticksCount: 10
    property var majorIndices: []
    // The distance between the tops of two neighbouring ticks.
    readonly property real pos: (height - App.theme.sliderScaleHeight) / (ticksCount - 1)

    implicitWidth: 2 * App.theme.sliderScaleWidth
    implicitHeight: ticksCount * App.theme.sliderScaleHeight

    Repeater {
        model: root.ticksCount

        Rectangle {
            required property int index

            width: root.majorIndices.includes(index) ? 2 * App.theme.sliderScaleWidth
                                                      : App.theme.sliderScaleWidth
            height: App.theme.sliderScaleHeight
            x: (root.width - width) / 2
            y: index * root.pos
            radius: App.theme.sliderRadius
            color: App.theme.sliderBackgroundColor
        }
    }
}
