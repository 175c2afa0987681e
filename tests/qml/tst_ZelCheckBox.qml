import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 400
    height: 200

    Component {
        id: checkBoxComponent

        ZelCheckBox { }
    }

    SignalSpy {
        id: toggledSpy

        signalName: "toggled"
    }

    SignalSpy {
        id: clickedSpy

        signalName: "clicked"
    }

    TestCase {
        name: "ZelCheckBox"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function createCheckBox(properties) {
            const control = createTemporaryObject(checkBoxComponent, root, properties || {})
            verify(control)
            toggledSpy.clear()
            toggledSpy.target = control
            clickedSpy.clear()
            clickedSpy.target = control
            return control
        }

        function label(control) {
            const item = findChild(control, "label")
            verify(item)
            return item
        }

        function test_image_data() {
            return [
                { tag: "unchecked", state: Qt.Unchecked, file: "off.svg" },
                { tag: "checked", state: Qt.Checked, file: "on.svg" },
                { tag: "partially checked", state: Qt.PartiallyChecked, file: "off.svg" },
            ]
        }

        function test_image(data) {
            const control = createCheckBox({ tristate: true, checkState: data.state })
            compare(String(control.indicator.source), App.theme.resourcesPath + "images/checkbox/" + data.file)
            compare(control.indicator.width, 20)
            compare(control.indicator.height, 20)
        }

        function test_noLabelIsIndicatorWide() {
            const control = createCheckBox({ padding: 3 })
            verify(!label(control).visible)
            compare(control.implicitWidth, 20 + 6)
            compare(control.indicator.x, 3)
        }

        function test_labelBesideIndicator() {
            const control = createCheckBox({ text: "Remember", hint: "Keep this choice", width: 300 })
            verify(label(control).visible)
            compare(label(control).text, "Remember")
            compare(label(control).hint, "Keep this choice")
            compare(control.indicator.x, 0)
            const labelX = label(control).mapToItem(control, 0, 0).x
            compare(labelX, 20 + 16)
            compare(label(control).width, 300 - 36)
        }

        function test_mirrored() {
            const control = createCheckBox({ text: "Remember", width: 300 })
            control.LayoutMirroring.enabled = true
            compare(control.indicator.x, 300 - 20)
            waitForItemPolished(control.contentItem)
            compare(label(control).mapToItem(control, 0, 0).x, 0)
            compare(label(control).width, 300 - 36)
        }

        function test_userClickToggles() {
            const control = createCheckBox({ text: "Remember" })
            control.checked = true
            control.checked = false
            compare(toggledSpy.count, 0)
            compare(clickedSpy.count, 0)
            mouseClick(control)
            verify(control.checked)
            compare(toggledSpy.count, 1)
            compare(clickedSpy.count, 1)
            compare(String(control.indicator.source), App.theme.resourcesPath + "images/checkbox/on.svg")
        }

        function test_disabledShowsThroughLabelAndIgnoresUser() {
            const control = createCheckBox({ text: "Remember", enabled: false })
            mouseClick(control)
            verify(!control.checked)
            compare(toggledSpy.count, 0)
            compare(clickedSpy.count, 0)
            compare(label(control).children[0].children[0].color, App.theme.colorTextDisabled)
            compare(String(control.indicator.source), App.theme.resourcesPath + "images/checkbox/off.svg")
        }
    }
}
