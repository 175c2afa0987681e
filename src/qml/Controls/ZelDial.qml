import QtQuick
import QtQuick.Shapes
import QtQuick.Templates as T

import "../Items"

// The round value control of the device screens: a 270-degree scale with a pointer, a value
// arc from one of three origins and editable figures in its centre.
T.Dial {
    id: control

    enum Mode {
        ModeForward,
        ModeReverse,
        ModeDual
    }

    property alias leftValueLabel: leftCaption.text
    property alias rightValueLabel: rightCaption.text
    property bool editable: true
    property int textLimit: 100
    property int mode: ZelDial.ModeForward
    property string name: ""
    readonly property bool supportDescription: Qt.platform.os === "osx"
    readonly property string textValue: (control.mode !== ZelDial.ModeForward ? leftInput.text : "")
                                        + (control.mode === ZelDial.ModeDual ? splitter.text : "")
                                        + (control.mode !== ZelDial.ModeReverse ? rightInput.text : "")

    QtObject {
        id: internal

        // The template's own angle spans +-140 degrees and cannot be changed in this Qt
        // version, so the dial keeps its own +-135 degree geometry (0 = straight up,
        // clockwise positive) and maps the mouse itself.
        readonly property real startAngle: -135
        readonly property real endAngle: 135
        readonly property real angle: startAngle + control.position * (endAngle - startAngle)

        readonly property real size: Math.max(0, Math.min(control.width - control.leftInset - control.rightInset,
                                                          control.height - control.topInset - control.bottomInset))
        readonly property real halfSize: size * 0.5

        // The figure at the current position. The small tolerance keeps a value set from a
        // typed figure showing that figure: 0.29 * 100 is 28.999999999999996 in floating point.
        readonly property int textValue: Math.floor(control.position * control.textLimit + 1e-6)

        readonly property IntValidator validator: IntValidator {
            bottom: 0
            // The largest number with as many digits as the limit: 999 for 100, 99 for 50. The
            // digits are counted, not taken from a logarithm, whose rounding gives 999 for 1000.
            top: Math.pow(10, String(Math.max(1, Math.floor(control.textLimit))).length) - 1
        }

        function setTextValue(value) {
            control.value = control.from + value / control.textLimit * (control.to - control.from)
            control.moved()
        }

        // Ends an edit of a figure. A text that is no number (an emptied field) changes
        // nothing: writing the minimum for it would send a value the user never chose.
        function finishEdit(input, isLeft) {
            const typed = parseInt(input.text, 10)
            if (!isNaN(typed) && control.textLimit > 0) {
                if (isLeft)
                    setTextValue(Math.max(0, control.textLimit - typed))
                else
                    setTextValue(Math.min(control.textLimit, typed))
            }
            if (isLeft)
                input.text = Qt.binding(function() { return String(control.textLimit - internal.textValue) })
            else
                input.text = Qt.binding(function() { return String(internal.textValue) })
        }

        // The centre of the dial: that of the area inside the insets.
        readonly property real centerX: control.leftInset + (control.width - control.leftInset - control.rightInset) / 2
        readonly property real centerY: control.topInset + (control.height - control.topInset - control.bottomInset) / 2

        // Position (0 to 1) for a point in the dial's coordinates, from its angle around the
        // centre; the gap at the bottom maps to the nearer end.
        function positionAt(x, y) {
            const dx = x - centerX
            const dy = centerY - y
            const degrees = (dx || dy) ? Math.atan2(dx, dy) * 180 / Math.PI : 0
            const position = (degrees - startAngle) / (endAngle - startAngle)
            return Math.max(0, Math.min(1, position))
        }

        function snapPosition(position) {
            const range = control.to - control.from
            if (range === 0 || control.stepSize === 0)
                return position
            const step = control.stepSize / Math.abs(range)
            return Math.max(0, Math.min(1, Math.round(position / step) * step))
        }

        // Sets the value from a mouse position, snapped as the snap mode asks. While dragging,
        // a jump across half the scale below the centre is the mouse passing through the gap
        // between the ends, not a wish to jump to the other end, and is ignored (as the
        // template does).
        function moveTo(x, y, dragging, released) {
            const oldPosition = control.position
            let position = positionAt(x, y)
            if (control.snapMode === T.Dial.SnapAlways || (released && control.snapMode === T.Dial.SnapOnRelease))
                position = snapPosition(position)
            if (dragging && Math.abs(position - oldPosition) >= 0.5 && y > centerY)
                return
            const value = control.from + position * (control.to - control.from)
            if (Math.abs(value - control.value) <= 1e-9 * Math.max(1, Math.abs(control.to - control.from)))
                return
            control.value = value
            if (control.position !== oldPosition)
                control.moved()
        }
    }

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    inputMode: T.Dial.Circular
    snapMode: T.Dial.SnapAlways

    Accessible.name: control.supportDescription ? control.textValue : control.name + " " + control.textValue
    Accessible.description: control.name

    background: Item {
        implicitWidth: 276
        implicitHeight: 276
        x: control.leftInset + (control.width - control.leftInset - control.rightInset - width) / 2
        y: control.topInset + (control.height - control.topInset - control.bottomInset - height) / 2
        width: internal.size
        height: internal.size

        Shape {
            objectName: "arcs"
            anchors.fill: parent
            // Smooth edges without the curve renderer, which this Qt version lacks.
            layer.enabled: true
            layer.samples: 4

            ShapePath {
                strokeColor: App.theme.dialArcColor
                strokeWidth: 8
                fillColor: App.theme.colorTransparent
                capStyle: ShapePath.FlatCap

                PathAngleArc {
                    objectName: "scaleArc"
                    centerX: internal.halfSize
                    centerY: internal.halfSize
                    radiusX: internal.halfSize - 8
                    radiusY: internal.halfSize - 8
                    // Arcs count from three o'clock, the dial from twelve.
                    startAngle: internal.startAngle + 270
                    sweepAngle: internal.endAngle - internal.startAngle
                }
            }

            ShapePath {
                strokeColor: App.theme.dialArcIndicatorColor
                strokeWidth: 8
                fillColor: App.theme.colorTransparent
                capStyle: ShapePath.FlatCap

                PathAngleArc {
                    objectName: "valueArc"
                    centerX: internal.halfSize
                    centerY: internal.halfSize
                    radiusX: internal.halfSize - 8
                    radiusY: internal.halfSize - 8
                    startAngle: control.mode === ZelDial.ModeForward ? 270 + internal.startAngle
                              : control.mode === ZelDial.ModeReverse ? 270 + internal.endAngle
                              : 270
                    sweepAngle: control.mode === ZelDial.ModeForward ? internal.angle - internal.startAngle
                              : control.mode === ZelDial.ModeReverse ? internal.angle - internal.endAngle
                              : internal.angle
                }
            }
        }

        Rectangle {
            objectName: "face"
            anchors.centerIn: parent
            width: Math.max(0, internal.size - 48)
            height: width
            radius: internal.halfSize
            color: App.theme.dialBackgroundColor
            border.width: 8
            border.color: App.theme.dialBackgroundBorderColor

            // Round, about the face.
            ZelFocusRing {
                control: control
                innerRadius: parent.radius
            }
        }

        Rectangle {
            objectName: "topTick"
            visible: control.mode === ZelDial.ModeDual
            x: (parent.width - width) / 2
            y: 4
            width: 2
            height: 8
            color: App.theme.dialArcIndicatorColor
        }
    }

    // Centred on the background, which is centred in the area inside the insets. Placed from
    // the insets rather than from the background, so that neither deferred part waits for
    // the other.
    handle: Rectangle {
        x: control.leftInset + (control.width - control.leftInset - control.rightInset - width) / 2
        y: control.topInset + (control.height - control.topInset - control.bottomInset - height) / 2
        width: 8
        height: 20
        radius: 2
        color: App.theme.dialHandleColor
        // Out from the centre so that its outer end lies 40 px inside the dial's edge, then
        // turned about the dial's centre.
        transform: [
            Translate {
                y: -(internal.halfSize - 50)
            },
            Rotation {
                angle: internal.angle
                origin.x: control.handle.width / 2
                origin.y: control.handle.height / 2
            }
        ]
    }

    contentItem: Item {
        // Turning the dial by mouse. The figures lie above it, so a press on a figure starts
        // no turn and a double-click there opens the figure for editing.
        MouseArea {
            x: -control.leftPadding
            y: -control.topPadding
            width: control.width
            height: control.height
            acceptedButtons: Qt.LeftButton
            preventStealing: true

            property bool dragged: false

            // Placed over the whole dial, so the mouse is already in the dial's coordinates.
            // A click sets the value at the clicked angle; a drag makes the pointer follow.
            onPressed: {
                dragged = false
                if (control.focusPolicy & Qt.ClickFocus)
                    control.forceActiveFocus(Qt.MouseFocusReason)
            }
            onPositionChanged: mouse => {
                if (!pressed)
                    return
                dragged = true
                internal.moveTo(mouse.x, mouse.y, true, false)
            }
            onReleased: mouse => internal.moveTo(mouse.x, mouse.y, dragged, true)
        }

        Row {
            id: figures

            readonly property bool containsMouse: leftInput.containsMouse || splitter.containsMouse
                                                  || rightInput.containsMouse

            anchors.centerIn: parent
            spacing: 0

            ItemDialTextInput {
                id: leftInput

                objectName: "leftInput"
                visible: control.mode !== ZelDial.ModeForward
                editable: control.editable
                validator: internal.validator
                highlighted: figures.containsMouse
                text: String(control.textLimit - internal.textValue)
                Accessible.ignored: true

                onEditingFinished: internal.finishEdit(leftInput, true)
            }

            ItemDialTextInput {
                id: splitter

                objectName: "splitter"
                visible: control.mode === ZelDial.ModeDual
                editable: false
                highlightEnabled: false
                text: "/"
                Accessible.ignored: true
            }

            ItemDialTextInput {
                id: rightInput

                objectName: "rightInput"
                visible: control.mode !== ZelDial.ModeReverse
                editable: control.editable
                validator: internal.validator
                highlighted: figures.containsMouse
                text: String(internal.textValue)
                Accessible.ignored: true

                onEditingFinished: internal.finishEdit(rightInput, false)
            }
        }
    }

    ZelTextCaption {
        id: leftCaption

        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.leftMargin: 32
        anchors.bottomMargin: 8
        color: App.theme.dialValueLabelColor
    }

    ZelTextCaption {
        id: rightCaption

        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 32
        anchors.bottomMargin: 8
        color: App.theme.dialValueLabelColor
    }
}
