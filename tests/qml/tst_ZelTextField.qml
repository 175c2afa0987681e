import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "ZelTextField"
    width: 400
    height: 200
    visible: true
    when: windowShown

    Component {
        id: fieldComponent
        ZelTextField { width: 200; placeholderText: "Custom name" }
    }

    function create(properties) {
        const field = createTemporaryObject(fieldComponent, testCase, properties || {})
        verify(field)
        return field
    }

    function test_looks() {
        const field = create()
        compare(field.topPadding, 6)
        compare(field.bottomPadding, 6)
        compare(field.leftPadding, 8)
        compare(field.rightPadding, 8)
        compare(field.font.family, App.theme.fontFamily)
        compare(field.font.pixelSize, App.theme.fontSize)
        compare(field.clip, true)
        compare(field.selectByMouse, true)
        compare(field.background, null)
        field.text = "Gaming"
        compare(field.implicitWidth, field.contentWidth + 16)
        compare(field.implicitHeight, field.contentHeight + 12)
    }

    function test_colours_data() {
        return [
            { tag: "enabled", enabled: true, text: App.theme.colorTextPreset, placeholder: App.theme.colorHint },
            { tag: "disabled", enabled: false, text: App.theme.colorTextDisabled, placeholder: App.theme.colorTextDisabled },
        ]
    }

    function test_colours(data) {
        const field = create({ enabled: data.enabled })
        compare(field.color, data.text)
        compare(field.placeholderTextColor, data.placeholder)
        compare(findChild(field, "placeholder").color, data.placeholder)
    }

    function test_placeholderShownUntilTextIsTyped() {
        const field = create()
        const placeholder = findChild(field, "placeholder")
        compare(placeholder.visible, true)
        compare(placeholder.text, "Custom name")
        compare(placeholder.font.family, field.font.family)
        compare(placeholder.x, field.leftPadding)
        compare(placeholder.width, field.width - 16)
        field.forceActiveFocus()
        keyClick(Qt.Key_A)
        compare(field.text, "a")
        compare(placeholder.visible, false)
        keyClick(Qt.Key_Backspace)
        compare(placeholder.visible, true)
    }

    function test_focusedEmptyFieldHidesACentredPlaceholderOnly_data() {
        return [
            { tag: "left", alignment: TextInput.AlignLeft, visible: true },
            { tag: "right", alignment: TextInput.AlignRight, visible: true },
            { tag: "centred", alignment: TextInput.AlignHCenter, visible: false },
        ]
    }

    function test_focusedEmptyFieldHidesACentredPlaceholderOnly(data) {
        const field = create({ horizontalAlignment: data.alignment })
        const placeholder = findChild(field, "placeholder")
        compare(placeholder.visible, true)
        field.forceActiveFocus()
        compare(placeholder.visible, data.visible)
        field.focus = false
        compare(placeholder.visible, true)
    }

    function test_longPlaceholderIsElided() {
        const field = create({ placeholderText: "A very long placeholder that cannot fit into the narrow field at all" })
        const placeholder = findChild(field, "placeholder")
        compare(placeholder.elide, Text.ElideRight)
        verify(placeholder.truncated)
    }

    function test_longTextScrollsInsideTheField() {
        const field = create({ width: 80 })
        field.forceActiveFocus()
        field.text = "A long custom equalizer name"
        field.cursorPosition = field.length
        verify(field.contentWidth > field.width)
        compare(field.width, 80)
        // The cursor at the end is still inside the visible area.
        const cursor = field.positionToRectangle(field.cursorPosition)
        verify(cursor.x <= field.width, "cursor at " + cursor.x)
    }

    function test_mouseSelectsText() {
        const field = create({ text: "Footsteps" })
        mousePress(field, 9, field.height / 2)
        mouseMove(field, field.width - 9, field.height / 2)
        mouseRelease(field, field.width - 9, field.height / 2)
        compare(field.selectedText, "Footsteps")
    }
}
