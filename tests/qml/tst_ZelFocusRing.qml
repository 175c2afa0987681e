import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

// Every control shows where the keyboard focus is, in the theme's accent colour, once the focus
// came from the keyboard; a click or a focus given by code shows no ring.
TestCase {
    id: testCase
    name: "ZelFocusRing"
    width: 700
    height: 500
    visible: true
    when: windowShown

    // A button before the control, which holds the focus when the test starts, so that Tab
    // moves it on to the control.
    Component {
        id: rowComponent

        Row {
            property alias before: before
            property Item control: null

            spacing: 20
            ZelButton { id: before; text: "Before" }
        }
    }

    Component { id: buttonComponent; ZelButton { text: "Update" } }
    Component { id: hiddenComponent; ZelButtonHidden { text: "Cancel" } }
    Component { id: iconComponent; ZelButtonIcon { text: "Close"; source: App.theme.resourcesPath + "images/edit.svg" } }
    Component { id: presetComponent; ZelButtonPreset { text: "Bass Boost"; width: 200 } }
    Component { id: linkComponent; ZelLinkButton { text: "Terms of service" } }
    Component { id: groupComponent; ZelGroupRadioButton { text: "Low"; width: 120 } }
    Component { id: checkComponent; ZelCheckBox { text: "I agree" } }
    Component { id: switchComponent; ZelSwitch { text: "Sidetone" } }
    Component { id: sliderComponent; ZelSlider { from: 0; to: 10 } }
    Component { id: dialComponent; ZelDial { from: 0; to: 1 } }
    Component { id: comboComponent; ZelComboBox { model: ["One", "Two"] } }
    Component { id: menuListItemComponent; ZelMenuListItem { text: "1.2.3"; width: 200 } }
    Component { id: textFieldComponent; ZelTextField { width: 200; text: "Name" } }

    function init() {
        failOnWarning(/.?/)
    }

    function test_ring_data() {
        return [
            { tag: "button", component: buttonComponent },
            { tag: "hidden button", component: hiddenComponent },
            { tag: "icon button", component: iconComponent },
            { tag: "preset", component: presetComponent },
            { tag: "link", component: linkComponent },
            { tag: "group segment", component: groupComponent },
            { tag: "check box", component: checkComponent },
            { tag: "switch", component: switchComponent },
            { tag: "slider", component: sliderComponent },
            { tag: "dial", component: dialComponent },
            { tag: "combo box", component: comboComponent },
            { tag: "menu row", component: menuListItemComponent },
            { tag: "text field", component: textFieldComponent }
        ]
    }

    function test_ring(data) {
        const row = createTemporaryObject(rowComponent, testCase)
        const control = createTemporaryObject(data.component, row)
        verify(control)
        const ring = findChild(control, "focusRing")
        verify(ring, "ring")
        row.before.forceActiveFocus()
        compare(ring.visible, false)

        keyClick(Qt.Key_Tab)
        tryVerify(() => control.activeFocus, 2000, "Tab reaches the control")
        verify(ring.visible, "ring after Tab")
        compare(ring.border.color, App.theme.colorStatusAvailable)
        keyClick(Qt.Key_Backtab)
        tryVerify(() => row.before.activeFocus)
        compare(ring.visible, false)

        // Focus given by code or by the pointer is not keyboard focus.
        control.forceActiveFocus()
        verify(control.activeFocus)
        compare(ring.visible, false)
    }

    // A disabled control is not on the way of Tab, so no ring is ever drawn on it.
    function test_disabledIsSkipped() {
        const row = createTemporaryObject(rowComponent, testCase)
        const control = createTemporaryObject(buttonComponent, row, { enabled: false })
        const after = createTemporaryObject(buttonComponent, row, { text: "After" })
        row.before.forceActiveFocus()
        keyClick(Qt.Key_Tab)
        tryVerify(() => after.activeFocus)
        compare(findChild(control, "focusRing").visible, false)
    }
}
