import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 400
    height: 200

    Component {
        id: switchComponent

        ZelSwitch {
            width: 300
        }
    }

    SignalSpy {
        id: toggledSpy

        signalName: "toggled"
    }

    TestCase {
        name: "ZelSwitch"
        when: windowShown

        // A theme colour by name; a misspelt name fails instead of comparing undefined.
        function themeColor(name) {
            const colour = App.theme[name]
            verify(colour !== undefined, name)
            return colour
        }

        function init() {
            // A warning (binding loop, type error, missing image) is a fault of the control.
            failOnWarning(/.?/)
            App.animationsEnabled = true
        }

        function cleanup() {
            App.animationsEnabled = true
        }

        function createSwitch(properties) {
            const control = createTemporaryObject(switchComponent, root, properties || {})
            verify(control)
            toggledSpy.clear()
            toggledSpy.target = control
            return control
        }

        function knob(control) {
            const item = findChild(control, "knob")
            verify(item)
            return item
        }

        function label(control) {
            const item = findChild(control, "label")
            verify(item)
            return item
        }

        function test_colours_data() {
            return [
                { tag: "off", enabled: true, checked: false, track: "switchColorRegular", knob: "switchIndicatorColorRegular" },
                { tag: "on", enabled: true, checked: true, track: "switchColorActive", knob: "switchIndicatorColorRegular" },
                { tag: "disabled off", enabled: false, checked: false, track: "switchColorDisabled", knob: "switchIndicatorColorDisabled" },
                { tag: "disabled on", enabled: false, checked: true, track: "switchColorDisabled", knob: "switchIndicatorColorDisabled" },
            ]
        }

        function test_colours(data) {
            const control = createSwitch({ enabled: data.enabled, checked: data.checked, text: "Sidetone" })
            compare(control.indicator.color, themeColor(data.track))
            compare(knob(control).color, themeColor(data.knob))
        }

        function test_knobRestsInsideTheTrack() {
            App.animationsEnabled = false
            const control = createSwitch()
            compare(control.indicator.width, 36)
            compare(control.indicator.height, 20)
            compare(knob(control).width, 16)
            compare(knob(control).x, 2)
            compare(knob(control).y, 2)
            control.checked = true
            compare(knob(control).x, 18)
        }

        function test_labelAndTrackPlacement() {
            const control = createSwitch({ text: "Sidetone", hint: "Hear yourself" })
            verify(label(control).visible)
            compare(label(control).text, "Sidetone")
            compare(label(control).hint, "Hear yourself")
            compare(control.indicator.x, 300 - 36)
            compare(control.indicator.y, control.topPadding)
            // The label fills what the 16 px gap and the track leave.
            compare(label(control).width, 300 - 16 - 36)
        }

        function test_noLabelCentresTrack() {
            const control = createSwitch()
            verify(!label(control).visible)
            compare(control.implicitWidth, 36)
            compare(control.indicator.x, (300 - 36) / 2)
        }

        function test_hintAloneShowsLabel() {
            const control = createSwitch({ hint: "Only a hint" })
            verify(label(control).visible)
            compare(control.indicator.x, 300 - 36)
        }

        function test_toggledOnlyOnUserChange() {
            App.animationsEnabled = false
            const control = createSwitch({ text: "Sidetone" })
            control.checked = true
            control.toggle()
            control.checked = false
            compare(toggledSpy.count, 0)
            mouseClick(control)
            verify(control.checked)
            compare(toggledSpy.count, 1)
            control.forceActiveFocus()
            keyClick(Qt.Key_Space)
            verify(!control.checked)
            compare(toggledSpy.count, 2)
        }

        function test_disabledIgnoresUser() {
            const control = createSwitch({ text: "Sidetone", enabled: false })
            mouseClick(control)
            verify(!control.checked)
            compare(toggledSpy.count, 0)
        }

        function test_animationsOffJumps() {
            App.animationsEnabled = false
            const control = createSwitch({ text: "Sidetone" })
            mouseClick(control)
            compare(knob(control).x, 18)
        }

        function test_animationsOnGlides() {
            const control = createSwitch({ text: "Sidetone" })
            mouseClick(control)
            verify(control.checked)
            verify(knob(control).x < 18, "the knob starts gliding, at " + knob(control).x)
            tryCompare(knob(control), "x", 18, 2000)
        }

        // While held down the knob tracks the pointer directly, even with animations on.
        function test_dragTracksPointer() {
            const control = createSwitch({ text: "Sidetone" })
            const track = control.indicator
            mousePress(track, 10, 10)
            mouseMove(track, 20, 10)
            mouseMove(track, 30, 10)
            verify(control.pressed)
            const expected = Math.max(2, Math.min(18, control.position * 36 - 8))
            verify(expected > 2)
            compare(knob(control).x, expected)
            mouseRelease(track, 30, 10)
        }
    }
}
