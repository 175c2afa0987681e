pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import QtQuick.Window

// The window's own frame, for a window that draws its own title bar: the move of the window by a
// drag of the title bar's free area, maximizing and restoring, and while the window is windowed
// resize areas over its outer `borderSize` pixels, edges and corners, each with its cursor.
// Everything else lets the mouse through to the content.
Item {
    id: frame

    required property Window window
    // The window has no decoration of the system's: with no window manager to move or resize it,
    // it follows the pointer itself.
    property bool frameless: true
    property int borderSize: 4
    // The window's title bar: a drag of its free area moves the window.
    required property Item titleBar

    // The title bar's free area is pressed with the left button. A frameless window starts the
    // window manager's move only once the pointer moves: started on the press, a quick click
    // ends before the window manager takes the pointer, which then keeps moving the window until
    // the next click and swallows the second press of a double click.
    function startMove() {
        if (frame.frameless)
            move.pressed = true
        else
            frame.window.startSystemMove()
    }

    function toggleMaximized() {
        if (frame.window.visibility === Window.Maximized)
            frame.window.showNormal()
        else
            frame.window.showMaximized()
    }

    // The window's geometry at the start of a resize, with the pointer moved by (dx, dy) from
    // where it was pressed, kept at the minimum size with the opposite edges in place.
    function resizeByHand(edges, start, dx, dy) {
        let x = start.x
        let y = start.y
        let width = start.width
        let height = start.height
        if (edges & Qt.LeftEdge) {
            width = Math.max(frame.window.minimumWidth, start.width - dx)
            x = start.x + start.width - width
        } else if (edges & Qt.RightEdge) {
            width = Math.max(frame.window.minimumWidth, start.width + dx)
        }
        if (edges & Qt.TopEdge) {
            height = Math.max(frame.window.minimumHeight, start.height - dy)
            y = start.y + start.height - height
        } else if (edges & Qt.BottomEdge) {
            height = Math.max(frame.window.minimumHeight, start.height + dy)
        }
        frame.window.x = x
        frame.window.y = y
        frame.window.width = width
        frame.window.height = height
    }

    // One resize area: shows its cursor on hover and resizes the window at its edges when pressed.
    // A frameless window starts the window manager's resize once the pointer moves with the
    // button held, for the reason given at startMove(); with no window manager to do it, the
    // window follows the pointer itself.
    component ResizeArea: MouseArea {
        id: area

        required property int edges
        property bool resizing: false
        property bool byHand: false
        property point pressPosition
        property rect pressGeometry

        hoverEnabled: true
        // The top areas lie over the title bar, whose move handler would otherwise take the
        // pointer over as a move of the window once it starts moving.
        preventStealing: true
        onPressed: (mouse) => {
            if (!frame.frameless) {
                frame.window.startSystemResize(edges)
                return
            }
            resizing = false
            byHand = false
            pressPosition = mapToGlobal(mouse.x, mouse.y)
            pressGeometry = Qt.rect(frame.window.x, frame.window.y, frame.window.width,
                                    frame.window.height)
        }
        onPositionChanged: (mouse) => {
            if (!pressed || !frame.frameless)
                return
            const position = mapToGlobal(mouse.x, mouse.y)
            if (!resizing) {
                if (position === pressPosition)
                    return
                resizing = true
                byHand = !frame.window.startSystemResize(edges)
            }
            if (byHand)
                frame.resizeByHand(edges, pressGeometry, position.x - pressPosition.x,
                                   position.y - pressPosition.y)
        }
    }

    // Turns a press on the title bar's free area that starts to drag into a move of the window.
    // It acts for the title bar itself, as a handler declared in the bar would: the bar's own
    // items (its buttons, its free area) take their presses and clicks first.
    DragHandler {
        id: move

        // A press on the title bar's free area that may become a move of the window.
        property bool pressed: false
        // The window manager cannot move the window (there is none): it follows the pointer.
        property bool byHand: false

        parent: frame.titleBar
        target: null
        enabled: frame.frameless

        onActiveChanged: {
            if (active && move.pressed)
                move.byHand = !frame.window.startSystemMove()
            if (!active)
                move.byHand = false
            move.pressed = false
        }
        onCentroidChanged: {
            if (!(centroid.pressedButtons & Qt.LeftButton))
                move.pressed = false
            // The window moves under the pointer, so the pointer comes back to where it was
            // pressed: each step moves the window by what the pointer moved since the last.
            if (move.byHand && active) {
                frame.window.x += centroid.scenePosition.x - centroid.scenePressPosition.x
                frame.window.y += centroid.scenePosition.y - centroid.scenePressPosition.y
            }
        }
    }

    // The resize areas, only while the window is windowed.
    ColumnLayout {
        objectName: "frameLayout"
        anchors.fill: parent
        spacing: 0
        visible: frame.window.visibility === Window.Windowed

        RowLayout {
            spacing: 0
            Layout.fillWidth: true
            // Exactly the border: a row that only prefers its height is stretched by the layout.
            Layout.minimumHeight: frame.borderSize
            Layout.maximumHeight: frame.borderSize

            ResizeArea {
                edges: Qt.TopEdge | Qt.LeftEdge
                cursorShape: Qt.SizeFDiagCursor
                Layout.preferredWidth: frame.borderSize
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.TopEdge
                cursorShape: Qt.SizeVerCursor
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.TopEdge | Qt.RightEdge
                cursorShape: Qt.SizeBDiagCursor
                Layout.preferredWidth: frame.borderSize
                Layout.fillHeight: true
            }
        }

        RowLayout {
            spacing: 0
            Layout.fillWidth: true
            Layout.fillHeight: true

            ResizeArea {
                edges: Qt.LeftEdge
                cursorShape: Qt.SizeHorCursor
                Layout.preferredWidth: frame.borderSize
                Layout.fillHeight: true
            }
            // Lets every mouse event through to the content.
            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.RightEdge
                cursorShape: Qt.SizeHorCursor
                Layout.preferredWidth: frame.borderSize
                Layout.fillHeight: true
            }
        }

        RowLayout {
            spacing: 0
            Layout.fillWidth: true
            // Exactly the border: a row that only prefers its height is stretched by the layout.
            Layout.minimumHeight: frame.borderSize
            Layout.maximumHeight: frame.borderSize

            ResizeArea {
                edges: Qt.BottomEdge | Qt.LeftEdge
                cursorShape: Qt.SizeBDiagCursor
                Layout.preferredWidth: frame.borderSize
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.BottomEdge
                cursorShape: Qt.SizeVerCursor
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ResizeArea {
                edges: Qt.BottomEdge | Qt.RightEdge
                cursorShape: Qt.SizeFDiagCursor
                Layout.preferredWidth: frame.borderSize
                Layout.fillHeight: true
            }
        }
    }
}
