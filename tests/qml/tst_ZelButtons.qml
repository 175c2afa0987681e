import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "ZelButtons"
    width: 600
    height: 400
    visible: true
    when: windowShown

    Component { id: buttonComponent; ZelButton { text: "Update" } }
    Component { id: hiddenComponent; ZelButtonHidden { text: "Cancel" } }
    Component { id: iconComponent; ZelButtonIcon { text: "Close"; source: App.theme.resourcesPath + "images/edit.svg" } }
    Component { id: presetComponent; ZelButtonPreset { text: "Bass Boost"; width: 200 } }
    Component { id: textButtonComponent; ZelTextButton { text: "Language" } }
    Component { id: linkComponent; ZelLinkButton { text: "Qt License" } }
    Component {
        id: groupComponent
        Column {
            property alias first: first
            property alias second: second
            ZelGroupRadioButton { id: first; text: "Low"; width: 120 }
            ZelGroupRadioButton { id: second; text: "High"; width: 120 }
        }
    }

    SignalSpy { id: clickedSpy; signalName: "clicked" }
    SignalSpy { id: editSpy; signalName: "editClicked" }

    function init() {
        // Park the mouse away from where controls are created.
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
    }

    function cleanup() {
        clickedSpy.clear()
        clickedSpy.target = null
        editSpy.clear()
        editSpy.target = null
        App.clearOpenedUrls()
    }

    function create(component, properties) {
        const control = createTemporaryObject(component, testCase, properties || {})
        verify(control, "created")
        return control
    }

    // Puts the control into a state: "idle", "hovered", "pressed" (mouse down over it).
    function enterState(control, state) {
        if (state === "hovered" || state === "pressed") {
            mouseMove(control, control.width / 2, control.height / 2)
            tryCompare(control, "hovered", true)
        }
        if (state === "pressed") {
            mousePress(control, control.width / 2, control.height / 2)
            compare(control.pressed, true)
        }
    }

    function leaveState(control, state) {
        if (state === "pressed")
            mouseRelease(control, control.width / 2, control.height / 2)
    }

    function test_buttonColours_data() {
        const t = App.theme
        return [
            { tag: "idle", state: "idle", checked: false, enabled: true, background: t.colorButton, text: t.colorEmpty },
            { tag: "hovered", state: "hovered", checked: false, enabled: true, background: t.colorButtonHovered, text: t.colorEmpty },
            { tag: "pressed", state: "pressed", checked: false, enabled: true, background: t.colorButtonPressed, text: t.colorTextHighlighted },
            { tag: "checked", state: "idle", checked: true, enabled: true, background: t.colorButtonPressed, text: t.colorTextHighlighted },
            { tag: "checked and hovered", state: "hovered", checked: true, enabled: true, background: t.colorButtonHovered, text: t.colorTextHighlighted },
            { tag: "disabled", state: "idle", checked: false, enabled: false, background: t.colorButtonDisabled, text: t.colorTextDisabled },
            { tag: "disabled and checked", state: "idle", checked: true, enabled: false, background: t.colorButtonDisabled, text: t.colorTextDisabled },
        ]
    }

    function test_buttonColours(data) {
        const button = create(buttonComponent, { checkable: true, checked: data.checked, enabled: data.enabled })
        enterState(button, data.state)
        compare(button.backgroundColor, data.background)
        compare(button.background.color, data.background)
        compare(button.textColor, data.text)
        compare(button.contentItem.color, data.text)
        leaveState(button, data.state)
    }

    function test_buttonLooks() {
        const button = create(buttonComponent)
        compare(button.implicitHeight, App.theme.controlButtonHeight)
        compare(button.leftPadding, 2 * App.theme.controlPadding)
        compare(button.topPadding, App.theme.controlPadding)
        compare(button.implicitWidth, button.contentItem.implicitWidth + 4 * App.theme.controlPadding)
        compare(button.font.family, App.theme.fontFamily)
        compare(button.font.pixelSize, App.theme.fontSize)
        compare(button.font.weight, Font.DemiBold)
        compare(button.contentItem.font.weight, Font.DemiBold)
        compare(button.background.radius, App.theme.controlRadius)
    }

    function test_buttonColoursCanBeRebound() {
        const button = create(buttonComponent, { textColor: "red", backgroundColor: "blue" })
        compare(button.contentItem.color, "#ff0000")
        compare(button.background.color, "#0000ff")
    }

    function test_clickedOnlyWhileEnabled_data() {
        return [
            { tag: "button enabled", component: buttonComponent, enabled: true, clicks: 1 },
            { tag: "button disabled", component: buttonComponent, enabled: false, clicks: 0 },
            { tag: "hidden disabled", component: hiddenComponent, enabled: false, clicks: 0 },
            { tag: "icon disabled", component: iconComponent, enabled: false, clicks: 0 },
            { tag: "preset disabled", component: presetComponent, enabled: false, clicks: 0 },
            { tag: "text disabled", component: textButtonComponent, enabled: false, clicks: 0 },
            { tag: "link disabled", component: linkComponent, enabled: false, clicks: 0 },
        ]
    }

    function test_clickedOnlyWhileEnabled(data) {
        const control = create(data.component, { enabled: data.enabled })
        clickedSpy.target = control
        mouseClick(control)
        // The click gave an enabled button the focus: Space clicks it once more.
        keyClick(Qt.Key_Space)
        compare(clickedSpy.count, 2 * data.clicks)
        compare(App.openedUrls.length, 0)
    }

    function test_clickFromCode_data() {
        return [
            { tag: "enabled", enabled: true, checkable: false, clicks: 1, checked: false },
            { tag: "enabled checkable", enabled: true, checkable: true, clicks: 1, checked: true },
            { tag: "disabled", enabled: false, checkable: false, clicks: 0, checked: false },
            { tag: "disabled checkable", enabled: false, checkable: true, clicks: 0, checked: false },
        ]
    }

    function test_clickFromCode(data) {
        for (const component of [buttonComponent, hiddenComponent]) {
            const button = create(component, { enabled: data.enabled, checkable: data.checkable })
            clickedSpy.clear()
            clickedSpy.target = button
            button.click()
            compare(clickedSpy.count, data.clicks)
            compare(button.checked, data.checked)
        }
    }

    function test_hiddenButtonColours_data() {
        const t = App.theme
        return [
            { tag: "idle", state: "idle", enabled: true, background: t.colorButtonHidden, text: t.colorTextHighlighted },
            { tag: "hovered", state: "hovered", enabled: true, background: t.colorButtonHiddenHovered, text: t.colorTextHighlighted },
            { tag: "pressed", state: "pressed", enabled: true, background: t.colorButtonHiddenPressed, text: t.colorTextHighlighted },
            { tag: "disabled", state: "idle", enabled: false, background: t.colorButtonHidden, text: t.colorTextDisabled },
        ]
    }

    function test_hiddenButtonColours(data) {
        const button = create(hiddenComponent, { enabled: data.enabled })
        enterState(button, data.state)
        compare(button.background.color, data.background)
        compare(button.contentItem.color, data.text)
        leaveState(button, data.state)
    }

    function test_disabledHiddenButtonIsTransparent() {
        const button = create(hiddenComponent, { enabled: false })
        compare(button.background.color.a, 0)
    }

    function test_iconButton() {
        const button = create(iconComponent)
        compare(button.padding, 0)
        compare(button.implicitWidth, 20)
        compare(button.implicitHeight, 20)
        compare(button.opacity, 1)
        compare(String(button.source), App.theme.resourcesPath + "images/edit.svg")
        compare(button.Accessible.name, "Close")
        // The text is not drawn: the content is the image alone.
        compare(button.contentItem.children.length, 1)
        compare(button.contentItem.children[0].text, undefined)
        compare(button.contentItem.children[0].width, 20)
        button.enabled = false
        compare(button.opacity, 0.5)
        button.padding = 4
        compare(button.implicitWidth, 28)
    }

    function test_presetColours_data() {
        const t = App.theme
        return [
            { tag: "idle", state: "idle", checked: false, enabled: true, background: t.colorPreset, text: t.colorTextPreset },
            { tag: "hovered", state: "hovered", checked: false, enabled: true, background: t.colorPresetHovered, text: t.colorTextPreset },
            { tag: "checked", state: "idle", checked: true, enabled: true, background: t.colorPresetActive, text: t.colorTextHighlighted },
            { tag: "checked and hovered", state: "hovered", checked: true, enabled: true, background: t.colorPresetHovered, text: t.colorTextHighlighted },
            { tag: "pressed", state: "pressed", checked: false, enabled: true, background: t.colorPresetHovered, text: t.colorTextHighlighted },
            { tag: "disabled", state: "idle", checked: true, enabled: false, background: t.colorEmpty, text: t.colorTextDisabled },
        ]
    }

    function test_presetColours(data) {
        const preset = create(presetComponent, { checked: data.checked, enabled: data.enabled })
        enterState(preset, data.state)
        compare(preset.background.color, data.background)
        compare(findChild(preset, "label").color, data.text)
        leaveState(preset, data.state)
    }

    function test_presetTogglesOnClick() {
        const preset = create(presetComponent)
        compare(preset.checkable, true)
        mouseClick(preset)
        compare(preset.checked, true)
        compare(preset.selected, true)
    }

    function test_presetWithoutRenameIconGivesTheTextTheWidth() {
        const preset = create(presetComponent)
        const label = findChild(preset, "label")
        const rename = findChild(preset, "renameButton")
        compare(rename.visible, false)
        compare(label.width, preset.availableWidth)
    }

    function test_presetRenameIconKeepsItsPlaceAndShowsOnHover() {
        const preset = create(presetComponent, { editable: true })
        const label = findChild(preset, "label")
        const rename = findChild(preset, "renameButton")
        compare(rename.visible, true)
        compare(rename.opacity, 0)
        compare(label.width, preset.availableWidth - 20)
        compare(rename.Accessible.name, "Preset Rename")
        mouseMove(preset, 20, preset.height / 2)
        tryCompare(rename, "opacity", 1)
        // Moving onto the icon itself keeps it shown, so it can be clicked.
        mouseMove(rename, rename.width / 2, rename.height / 2)
        tryCompare(rename, "hovered", true)
        compare(preset.hovered, true)
        compare(rename.opacity, 1)
        preset.enabled = false
        compare(rename.opacity, 0)
    }

    function test_presetRenameClickFocusesAndDoesNotToggle() {
        const preset = create(presetComponent, { editable: true })
        const rename = findChild(preset, "renameButton")
        editSpy.target = preset
        clickedSpy.target = preset
        mouseClick(rename)
        compare(editSpy.count, 1)
        compare(clickedSpy.count, 0)
        compare(preset.checked, false)
        verify(preset.activeFocus)
    }

    function test_presetRenameIconOpaqueWhileFocused() {
        const preset = create(presetComponent, { editable: true })
        const rename = findChild(preset, "renameButton")
        rename.forceActiveFocus()
        compare(rename.opacity, 1)
    }

    function test_textButton() {
        const button = create(textButtonComponent)
        compare(button.padding, 6)
        compare(button.font.pixelSize, App.theme.fontSizeTitle)
        compare(button.font.family, App.theme.fontFamily)
        compare(button.contentItem.color, App.theme.colorTextHighlighted)
        compare(button.contentItem.elide, Text.ElideRight)
        compare(button.implicitWidth, button.contentItem.implicitWidth + 12)
        compare(button.background, null)
        button.enabled = false
        compare(button.contentItem.color, App.theme.colorTextDisabled)
        button.color = App.theme.colorHint
        compare(button.contentItem.color, App.theme.colorHint)
    }

    function test_linkOpensItsUrl_data() {
        return [
            { tag: "address", url: "https://example.invalid/policies/privacy-policy" },
            { tag: "empty", url: "" },
        ]
    }

    function test_linkOpensItsUrl(data) {
        const link = create(linkComponent, { url: data.url })
        clickedSpy.target = link
        mousePress(link)
        compare(link.pressed, true)
        mouseRelease(link)
        compare(clickedSpy.count, 1)
        compare(App.openedUrls, [data.url])
    }

    function test_linkLooks() {
        const link = create(linkComponent)
        compare(link.padding, 2)
        compare(link.font.underline, true)
        compare(link.font.pixelSize, App.theme.fontSizeTitle)
        let area = null
        for (let i = 0; i < link.children.length; ++i) {
            if (link.children[i].cursorShape !== undefined)
                area = link.children[i]
        }
        verify(area, "the link has a cursor area")
        compare(area.cursorShape, Qt.PointingHandCursor)
        compare(area.width, link.width)
        compare(area.height, link.height)
    }

    function test_groupButtonsAreExclusive() {
        const group = create(groupComponent)
        mouseClick(group.first)
        compare(group.first.checked, true)
        mouseClick(group.second)
        compare(group.first.checked, false)
        compare(group.second.checked, true)
        // Clicking the checked segment keeps it checked.
        mouseClick(group.second)
        compare(group.second.checked, true)
    }

    function test_groupButtonLooks() {
        const group = create(groupComponent)
        const button = group.first
        compare(button.implicitHeight, App.theme.controlButtonGroupHeight)
        compare(button.indicator, null)
        compare(button.background.radius, 4)
        compare(button.background.color, App.theme.colorTransparent)
        compare(button.contentItem.color, App.theme.colorTextPreset)
        compare(button.implicitWidth, button.contentItem.implicitWidth + button.leftPadding + button.rightPadding)
        button.checked = true
        compare(button.background.color, App.theme.colorButtonGroupSelected)
        compare(button.contentItem.color, App.theme.colorEmpty)
        compare(button.Accessible.role, Qt.platform.os === "windows" ? Accessible.CheckBox : Accessible.RadioButton)
    }
}
