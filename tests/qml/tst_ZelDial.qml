import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 600
    height: 600

    Component {
        id: dialComponent

        ZelDial {
            from: 0
            to: 1
        }
    }

    SignalSpy {
        id: movedSpy

        signalName: "moved"
    }

    TestCase {
        id: testCase

        name: "ZelDial"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function createDial(properties) {
            const dial = createTemporaryObject(dialComponent, root, properties || {})
            verify(dial)
            movedSpy.clear()
            movedSpy.target = dial
            return dial
        }

        function child(dial, name) {
            const item = findChild(dial, name)
            verify(item, name)
            return item
        }

        // The point at the given dial angle (0 = up, clockwise) and distance from the centre.
        function pointAt(dial, degrees, distance) {
            const radians = degrees * Math.PI / 180
            return Qt.point(dial.width / 2 + distance * Math.sin(radians),
                            dial.height / 2 - distance * Math.cos(radians))
        }

        // Selects the whole figure of an opened field and types over it.
        function typeInto(dial, field, typed) {
            mouseDoubleClickSequence(field)
            verify(field.children[0].activeFocus, "the opened field takes the focus")
            keySequence(StandardKey.SelectAll)
            keyClick(Qt.Key_Delete)
            for (let i = 0; i < typed.length; ++i)
                keyClick(typed[i])
        }

        function test_implicitSizeAndScaleArc() {
            const dial = createDial()
            compare(dial.implicitWidth, 276)
            compare(dial.implicitHeight, 276)
            const scale = child(dial, "scaleArc")
            compare(scale.startAngle, 135)
            compare(scale.sweepAngle, 270)
            compare(scale.radiusX, 130)
            compare(scale.radiusY, 130)
            compare(scale.centerX, 138)
            compare(child(dial, "face").width, 228)
        }

        function test_nonSquareDialUsesCentredSquare() {
            const dial = createDial({ width: 400, height: 276 })
            compare(dial.background.x, 62)
            compare(dial.background.y, 0)
            compare(dial.background.width, 276)
            compare(child(dial, "scaleArc").radiusX, 130)
            const centre = dial.handle.mapToItem(dial, dial.handle.width / 2, dial.handle.height / 2 + 88)
            fuzzyCompare(centre.x, 200, 0.001)
            fuzzyCompare(centre.y, 138, 0.001)
        }

        function test_pointer_data() {
            return [
                { tag: "start", value: 0, angle: -135 },
                { tag: "quarter", value: 0.25, angle: -67.5 },
                { tag: "middle", value: 0.5, angle: 0 },
                { tag: "end", value: 1, angle: 135 },
            ]
        }

        // The pointer lies radially at the value's angle, from 78 to 98 px out at 276 px.
        function test_pointer(data) {
            const dial = createDial({ value: data.value })
            const handle = dial.handle
            const inner = handle.mapToItem(dial, handle.width / 2, handle.height)
            const outer = handle.mapToItem(dial, handle.width / 2, 0)
            const expectedInner = pointAt(dial, data.angle, 78)
            const expectedOuter = pointAt(dial, data.angle, 98)
            fuzzyCompare(inner.x, expectedInner.x, 0.001)
            fuzzyCompare(inner.y, expectedInner.y, 0.001)
            fuzzyCompare(outer.x, expectedOuter.x, 0.001)
            fuzzyCompare(outer.y, expectedOuter.y, 0.001)
        }

        function test_valueArc_data() {
            return [
                { tag: "forward", mode: ZelDial.ModeForward, value: 0.25, start: 135, sweep: 67.5, tick: false },
                { tag: "reverse", mode: ZelDial.ModeReverse, value: 0.25, start: 405, sweep: -202.5, tick: false },
                { tag: "dual left", mode: ZelDial.ModeDual, value: 0.25, start: 270, sweep: -67.5, tick: true },
                { tag: "dual right", mode: ZelDial.ModeDual, value: 1, start: 270, sweep: 135, tick: true },
            ]
        }

        function test_valueArc(data) {
            const dial = createDial({ mode: data.mode, value: data.value })
            const arc = child(dial, "valueArc")
            fuzzyCompare(arc.startAngle, data.start, 1e-9)
            fuzzyCompare(arc.sweepAngle, data.sweep, 1e-9)
            compare(child(dial, "topTick").visible, data.tick)
        }

        function test_modeChangeFollowsAtOnce() {
            const dial = createDial({ value: 0.25 })
            dial.mode = ZelDial.ModeDual
            compare(child(dial, "valueArc").startAngle, 270)
            compare(child(dial, "topTick").visible, true)
            compare(dial.textValue, "75/25")
        }

        function test_figures_data() {
            return [
                { tag: "forward", mode: ZelDial.ModeForward, value: 0.3, text: "30", left: false, splitter: false, right: true },
                { tag: "reverse", mode: ZelDial.ModeReverse, value: 0.3, text: "70", left: true, splitter: false, right: false },
                { tag: "dual", mode: ZelDial.ModeDual, value: 0.3, text: "70/30", left: true, splitter: true, right: true },
                { tag: "truncated", mode: ZelDial.ModeForward, value: 0.999, text: "99", left: false, splitter: false, right: true },
                { tag: "full", mode: ZelDial.ModeForward, value: 1, text: "100", left: false, splitter: false, right: true },
                // 0.29 * 100 is 28.999999999999996 in floating point.
                { tag: "binary fraction", mode: ZelDial.ModeForward, value: 0.29, text: "29", left: false, splitter: false, right: true },
            ]
        }

        function test_figures(data) {
            const dial = createDial({ mode: data.mode, value: data.value, name: "Balance" })
            compare(dial.textValue, data.text)
            compare(child(dial, "leftInput").visible, data.left)
            compare(child(dial, "splitter").visible, data.splitter)
            compare(child(dial, "rightInput").visible, data.right)
            compare(dial.Accessible.name, dial.supportDescription ? data.text : "Balance " + data.text)
            compare(dial.Accessible.description, "Balance")
        }

        function test_textLimit_data() {
            return [
                { tag: "1000", limit: 1000, top: 9999, full: "1000" },
                { tag: "10000", limit: 10000, top: 99999, full: "10000" },
                { tag: "100", limit: 100, top: 999, full: "100" },
                { tag: "99", limit: 99, top: 99, full: "99" },
                { tag: "50", limit: 50, top: 99, full: "50" },
                { tag: "10", limit: 10, top: 99, full: "10" },
                { tag: "5", limit: 5, top: 9, full: "5" },
                { tag: "1", limit: 1, top: 9, full: "1" },
            ]
        }

        function test_textLimit(data) {
            const dial = createDial({ textLimit: data.limit, value: 1 })
            const right = child(dial, "rightInput")
            compare(right.validator.bottom, 0)
            compare(right.validator.top, data.top)
            compare(right.text, data.full)
            dial.value = 0
            compare(right.text, "0")
        }

        function test_click_data() {
            return [
                { tag: "top", angle: 0, value: 0.5 },
                { tag: "right", angle: 90, value: 0.75 + 0.25 / 3 },
                { tag: "left", angle: -90, value: 0.25 - 0.25 / 3 },
                { tag: "scale start", angle: -135, value: 0 },
                { tag: "scale end", angle: 135, value: 1 },
                { tag: "gap, left of bottom", angle: -160, value: 0 },
                { tag: "gap, right of bottom", angle: 160, value: 1 },
            ]
        }

        // The pointer follows the mouse on the dial's own 270-degree scale.
        function test_click(data) {
            const dial = createDial({ value: 0.2 })
            const point = pointAt(dial, data.angle, 120)
            mouseClick(dial, point.x, point.y)
            fuzzyCompare(dial.value, data.value, 1e-9)
            compare(movedSpy.count, 1)
            fuzzyCompare(child(dial, "valueArc").sweepAngle, data.value * 270, 1e-6)
        }

        // With insets the dial is the square inside them; the mouse is measured from its centre.
        function test_clickWithInsets() {
            const dial = createDial({ width: 316, height: 276, leftInset: 40, value: 0.2 })
            compare(dial.background.x, 40)
            const handleCentre = dial.handle.mapToItem(dial, dial.handle.width / 2, dial.handle.height / 2 + 88)
            fuzzyCompare(handleCentre.x, 178, 0.001)
            mouseClick(dial, 178 + 120, 138)
            fuzzyCompare(dial.value, 0.75 + 0.25 / 3, 1e-9)
            mouseClick(dial, 178, 138 - 120)
            fuzzyCompare(dial.value, 0.5, 1e-9)
            compare(movedSpy.count, 2)
        }

        function test_clickSnapsToSteps() {
            const dial = createDial({ from: 0, to: 100, stepSize: 10, value: 0 })
            const point = pointAt(dial, 20, 120) // position 155 / 270 = 0.574
            mouseClick(dial, point.x, point.y)
            compare(dial.value, 60)
            compare(movedSpy.count, 1)
        }

        function test_dragFollowsPointer() {
            const dial = createDial({ value: 0 })
            let point = pointAt(dial, -135, 120)
            mousePress(dial, point.x, point.y)
            for (let angle = -120; angle <= 120; angle += 30) {
                point = pointAt(dial, angle, 120)
                mouseMove(dial, point.x, point.y)
                // Mouse positions are whole pixels: within half a degree.
                fuzzyCompare(dial.value, (angle + 135) / 270, 0.003)
            }
            mouseRelease(dial, point.x, point.y)
            verify(movedSpy.count >= 9)
        }

        // Dragging past the end of the scale through the gap at the bottom keeps the end.
        function test_dragThroughGapDoesNotJump() {
            const dial = createDial({ value: 1 })
            let point = pointAt(dial, 120, 120)
            mousePress(dial, point.x, point.y)
            for (const angle of [150, 175, -175, -150]) {
                point = pointAt(dial, angle, 120)
                mouseMove(dial, point.x, point.y)
                compare(dial.value, 1, "angle " + angle)
            }
            mouseRelease(dial, point.x, point.y)
            compare(dial.value, 1)
        }

        function test_programmaticValueEmitsNoMoved() {
            const dial = createDial()
            dial.value = 0.7
            dial.mode = ZelDial.ModeDual
            dial.textLimit = 10
            compare(movedSpy.count, 0)
        }

        function test_disabledIgnoresMouseAndEditing() {
            const dial = createDial({ value: 0.3, enabled: false, mode: ZelDial.ModeDual })
            const point = pointAt(dial, 90, 120)
            mouseClick(dial, point.x, point.y)
            const right = child(dial, "rightInput")
            mouseDoubleClickSequence(right)
            verify(!right.children[0].enabled)
            compare(dial.value, 0.3)
            compare(movedSpy.count, 0)
        }

        function test_keysMoveAndEmit() {
            const dial = createDial({ stepSize: 0.1, value: 0.5 })
            dial.forceActiveFocus()
            keyClick(Qt.Key_Right)
            fuzzyCompare(dial.value, 0.6, 1e-9)
            compare(movedSpy.count, 1)
        }

        function test_edit_data() {
            return [
                { tag: "right", field: "rightInput", typed: "55", value: 0.55, left: "45", right: "55" },
                { tag: "left", field: "leftInput", typed: "55", value: 0.45, left: "55", right: "45" },
                { tag: "right above limit", field: "rightInput", typed: "250", value: 1, left: "0", right: "100" },
                { tag: "left above limit", field: "leftInput", typed: "250", value: 0, left: "100", right: "0" },
                { tag: "same figure", field: "rightInput", typed: "30", value: 0.3, left: "70", right: "30" },
            ]
        }

        function test_edit(data) {
            const dial = createDial({ mode: ZelDial.ModeDual, value: 0.3 })
            const field = child(dial, data.field)
            typeInto(dial, field, data.typed)
            keyClick(Qt.Key_Return)
            fuzzyCompare(dial.value, data.value, 1e-9)
            compare(movedSpy.count, 1)
            compare(child(dial, "leftInput").text, data.left)
            compare(child(dial, "rightInput").text, data.right)
            verify(!field.children[0].enabled, "the field closes after the edit")
            // The figure is bound again: it follows the next change of the value.
            dial.value = 0.2
            compare(child(dial, "leftInput").text, "80")
            compare(child(dial, "rightInput").text, "20")
        }

        function test_editKeepsRangeOfDial() {
            const dial = createDial({ from: -12, to: 12, value: 0 })
            typeInto(dial, child(dial, "rightInput"), "25")
            keyClick(Qt.Key_Return)
            compare(dial.value, -6)
            compare(movedSpy.count, 1)
        }

        // An emptied figure is no number: nothing is written, and the figure shows the value
        // again and follows it.
        function test_emptiedFieldChangesNothing() {
            const dial = createDial({ mode: ZelDial.ModeDual, value: 0.3 })
            const right = child(dial, "rightInput")
            typeInto(dial, right, "")
            compare(right.text, "")
            keyClick(Qt.Key_Return) // refused by the validator: the edit goes on
            verify(right.children[0].enabled)
            dial.forceActiveFocus() // leaving the field ends the edit
            verify(!right.children[0].enabled)
            compare(dial.value, 0.3)
            compare(movedSpy.count, 0)
            compare(right.text, "30")
            dial.value = 0.6
            compare(right.text, "60")
            compare(dial.textValue, "40/60")
        }

        function test_notEditable() {
            const dial = createDial({ editable: false, value: 0.3 })
            const right = child(dial, "rightInput")
            mouseDoubleClickSequence(right)
            verify(!right.children[0].enabled)
            keyClick(Qt.Key_5)
            compare(right.text, "30")
            compare(movedSpy.count, 0)
        }

        function test_figureColoursFollowTheMouse() {
            const dial = createDial({ mode: ZelDial.ModeDual, value: 0.3 })
            const left = child(dial, "leftInput")
            const splitter = child(dial, "splitter")
            const right = child(dial, "rightInput")
            mouseMove(dial, 10, 10)
            compare(left.children[0].color, App.theme.dialValueInputColor)
            compare(right.children[0].color, App.theme.dialValueInputColor)
            mouseMove(right, right.width / 2, right.height / 2)
            tryCompare(right, "highlighted", true)
            compare(left.children[0].color, App.theme.dialValueInputHoveredColor)
            compare(right.children[0].color, App.theme.dialValueInputHoveredColor)
            compare(splitter.children[0].color, App.theme.dialValueInputColor)
        }
    }
}
