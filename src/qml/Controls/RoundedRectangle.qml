pragma ComponentBehavior: Bound
import QtQuick

// A rectangle with a radius of its own for each corner, for the places that round only some
// corners (Qt Quick's Rectangle has one radius for all four). Each quarter of the item shows
// the matching corner of a full-size Rectangle and clips the rest, so corners and the border
// stay antialiased without shaders. A radius is limited to half the shorter side.
Item {
    id: root

    property color color: "transparent"
    property real radius: 0
    property real topLeftRadius: root.radius
    property real topRightRadius: root.radius
    property real bottomLeftRadius: root.radius
    property real bottomRightRadius: root.radius
    property real borderWidth: 0
    property color borderColor: "transparent"

    QtObject {
        id: internal

        readonly property real splitX: Math.round(root.width / 2)
        readonly property real splitY: Math.round(root.height / 2)
        readonly property real maxRadius: Math.max(0, Math.min(root.width, root.height) / 2)
    }

    component Quarter: Item {
        id: quarter

        property real cornerRadius: 0
        property bool atRight: false
        property bool atBottom: false

        x: quarter.atRight ? internal.splitX : 0
        y: quarter.atBottom ? internal.splitY : 0
        width: quarter.atRight ? root.width - internal.splitX : internal.splitX
        height: quarter.atBottom ? root.height - internal.splitY : internal.splitY
        clip: true

        Rectangle {
            x: -quarter.x
            y: -quarter.y
            width: root.width
            height: root.height
            radius: Math.min(Math.max(0, quarter.cornerRadius), internal.maxRadius)
            color: root.color
            border.width: root.borderWidth
            border.color: root.borderColor
        }
    }

    Quarter { cornerRadius: root.topLeftRadius }
    Quarter { cornerRadius: root.topRightRadius; atRight: true }
    Quarter { cornerRadius: root.bottomLeftRadius; atBottom: true }
    Quarter { cornerRadius: root.bottomRightRadius; atRight: true; atBottom: true }
}
