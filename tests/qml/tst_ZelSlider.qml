import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 400
    height: 400

    Component {
        id: sliderComponent

        ZelSlider {
            from: 0
            to: 10
            stepSize: 1
        }
    }

    SignalSpy {
        id: movedSpy

        signalName: "moved"
    }

    TestCase {
        name: "ZelSlider"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function createSlider(properties) {
            const slider = createTemporaryObject(sliderComponent, root, properties || {})
            verify(slider)
            movedSpy.clear()
            movedSpy.target = slider
            return slider
        }

        function fill(slider) {
            const item = findChild(slider, "fill")
            verify(item)
            return item
        }

        function test_horizontalGeometry() {
            const slider = createSlider({ value: 3 })
            compare(slider.implicitWidth, 200)
            compare(slider.implicitHeight, 36)
            compare(slider.padding, App.theme.controlPadding)
            const track = slider.background
            compare(track.x, 6)
            compare(track.width, 188)
            compare(track.height, App.theme.sliderBackgroundWidth)
            compare(track.y, (36 - 8) / 2)
            compare(track.color, App.theme.sliderBackgroundColor)
            compare(fill(slider).color, App.theme.sliderBackgroundFilledColor)
            fuzzyCompare(fill(slider).width, 0.3 * 188, 1e-9)
            compare(fill(slider).x, 0)
            compare(slider.handle.width, 16)
            compare(slider.handle.height, 24)
            compare(slider.handle.color, App.theme.colorEmpty)
            compare(slider.handle.y, 6)
            fuzzyCompare(slider.handle.x, 6 + 0.3 * (188 - 16), 1e-9)
        }

        function test_mirroredFillsFromTheRight() {
            const slider = createSlider({ value: 3 })
            slider.LayoutMirroring.enabled = true
            fuzzyCompare(fill(slider).x, 188 - 0.3 * 188, 1e-9)
            fuzzyCompare(slider.handle.x, 6 + 0.7 * (188 - 16), 1e-9)
        }

        function test_verticalFillsFromTheBottom() {
            const slider = createSlider({ orientation: Qt.Vertical, value: 3, height: 212 })
            compare(slider.implicitWidth, 36)
            const track = slider.background
            compare(track.width, App.theme.sliderBackgroundWidth)
            compare(track.height, 200)
            fuzzyCompare(fill(slider).height, 60, 1e-9)
            fuzzyCompare(fill(slider).y, 140, 1e-9)
            compare(slider.handle.width, 24)
            compare(slider.handle.height, 16)
            fuzzyCompare(slider.handle.y, 6 + 0.7 * (200 - 16), 1e-9)
        }

        function test_disabledHidesHandleOnly() {
            const slider = createSlider({ value: 3, enabled: false })
            verify(!slider.handle.visible)
            verify(slider.background.visible)
            verify(fill(slider).visible)
            mouseClick(slider, slider.width - 10, slider.height / 2)
            compare(slider.value, 3)
            compare(movedSpy.count, 0)
        }

        function test_userChangeEmitsMovedAndSnaps() {
            const slider = createSlider({ value: 0 })
            // 0.43 of the way along: snapped to the whole step 4.
            mouseClick(slider, 6 + 8 + 0.43 * (188 - 16), slider.height / 2)
            compare(slider.value, 4)
            compare(movedSpy.count, 1)
            slider.forceActiveFocus()
            keyClick(Qt.Key_Right)
            compare(slider.value, 5)
            compare(movedSpy.count, 2)
        }

        function test_programmaticChangeEmitsNothing() {
            const slider = createSlider({ value: 0 })
            slider.value = 7
            fuzzyCompare(fill(slider).width, 0.7 * 188, 1e-9)
            compare(movedSpy.count, 0)
        }
    }
}
