import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemEqNameInput"
    width: 500
    height: 200
    visible: true
    when: windowShown

    Component { id: inputComponent; ItemEqNameInput { x: 20; y: 20; width: 400; namePrefix: "EQ 2 -" } }
    Item { id: elsewhere; focus: true }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    function test_layout() {
        const item = createTemporaryObject(inputComponent, testCase)
        waitForRendering(item)
        const prefix = part(item, "prefixLabel")
        const divider = part(item, "divider")
        const input = part(item, "input")
        compare(item.radius, App.theme.controlRadius)
        compare(item.border.width, 1)
        compare([prefix.topPadding, prefix.bottomPadding, prefix.leftPadding, prefix.rightPadding], [6, 6, 8, 8])
        compare(prefix.x, 0)
        compare(divider.width, 1)
        compare(divider.height, item.height)
        fuzzyCompare(divider.x, prefix.width, 0.5)
        fuzzyCompare(input.x, divider.x + 1, 0.5)
        fuzzyCompare(input.x + input.width, 400, 0.5)
        fuzzyCompare(prefix.y + prefix.topPadding + prefix.contentHeight / 2,
                     input.y + input.topPadding + input.contentHeight / 2, 1.5)
    }

    function test_emptyPrefixLeavesOnlyItsPaddings() {
        const item = createTemporaryObject(inputComponent, testCase, { namePrefix: "" })
        waitForRendering(item)
        compare(part(item, "prefixLabel").width, 16)
        fuzzyCompare(part(item, "divider").x, 16, 0.5)
    }

    function test_placeholderWhileEmpty() {
        const item = createTemporaryObject(inputComponent, testCase)
        const input = part(item, "input")
        compare(input.placeholderText, "Enter name")
        const placeholder = findChild(input, "placeholder")
        compare(placeholder.visible, true)
        compare(placeholder.color, App.theme.colorHint)
        item.text = "Bass"
        compare(placeholder.visible, false)
    }

    function test_colours_data() {
        return [
            { tag: "idle", hover: false, focus: false, enabled: true,
              fill: App.theme.textInputBackgroundColor, border: App.theme.textInputBorderColor },
            { tag: "hovered", hover: true, focus: false, enabled: true,
              fill: App.theme.textInputBackgroundColorHovered, border: App.theme.textInputBorderColorHovered },
            { tag: "focused", hover: false, focus: true, enabled: true,
              fill: App.theme.textInputBackgroundColor, border: App.theme.textInputBorderColorActive },
            { tag: "focused and hovered", hover: true, focus: true, enabled: true,
              fill: App.theme.textInputBackgroundColorHovered, border: App.theme.textInputBorderColorActive },
            { tag: "disabled", hover: true, focus: false, enabled: false,
              fill: App.theme.textInputBackgroundColorDisabled, border: App.theme.textInputBackgroundColorDisabled },
        ]
    }

    function test_colours(data) {
        const item = createTemporaryObject(inputComponent, testCase, { enabled: data.enabled })
        waitForRendering(item)
        if (data.focus)
            item.setFocusToInput()
        if (data.hover)
            mouseMove(item, 5, 5)
        tryCompare(item, "color", data.fill)
        compare(item.border.color, data.border)
        compare(part(item, "divider").color, data.border)
    }

    function test_setFocusToInputTakesTyping() {
        const item = createTemporaryObject(inputComponent, testCase, { text: "" })
        elsewhere.forceActiveFocus()
        item.setFocusToInput()
        compare(part(item, "input").activeFocus, true)
        keyClick(Qt.Key_B)
        keyClick(Qt.Key_A)
        compare(item.text, "ba")
        compare(item.border.color, App.theme.textInputBorderColorActive)
    }

    function test_textStaysUntilReplaced() {
        const item = createTemporaryObject(inputComponent, testCase, { text: "Night" })
        compare(part(item, "input").text, "Night")
        item.text = "Day"
        compare(part(item, "input").text, "Day")
    }
}
