import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 400
    height: 300

    Component {
        id: comboComponent

        ZelComboBox {
            x: 20
            y: 20
            width: 200
        }
    }

    ListModel {
        id: listModel

        ListElement { label: "Low"; level: 1 }
        ListElement { label: "High"; level: 2 }
    }

    SignalSpy {
        id: activatedSpy

        signalName: "activated"
    }

    TestCase {
        name: "ZelComboBox"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function createCombo(properties) {
            const combo = createTemporaryObject(comboComponent, root, properties || {})
            verify(combo)
            activatedSpy.clear()
            activatedSpy.target = combo
            return combo
        }

        function openPopup(combo) {
            mouseClick(combo)
            tryCompare(combo.popup, "opened", true)
            const list = combo.popup.contentItem
            waitForItemPolished(list)
            return list
        }

        function row(combo, index) {
            const list = combo.popup.contentItem
            return list.itemAtIndex(index)
        }

        function test_look() {
            const combo = createCombo({ model: ["One", "Two"] })
            compare(combo.background.color, App.theme.colorPresetActive)
            compare(combo.background.border.color, App.theme.colorPresetHovered)
            compare(combo.background.radius, 6)
            compare(combo.font.family, App.theme.fontFamily)
            compare(combo.font.pixelSize, App.theme.fontSize)
            compare(String(combo.indicator.source), App.theme.resourcesPath + "images/arrow-down.svg")
            compare(combo.indicator.x, 200 - 8 - 20)
            compare(combo.leftPadding, 8)
            compare(combo.rightPadding, 8 + 20 + combo.spacing)
            compare(combo.contentItem.color, App.theme.colorTextPreset)
        }

        function test_mirroredPutsIndicatorLeft() {
            const combo = createCombo({ model: ["One"] })
            combo.LayoutMirroring.enabled = true
            compare(combo.indicator.x, 8)
            compare(combo.leftPadding, 8 + 20 + combo.spacing)
            compare(combo.rightPadding, 8)
        }

        function test_nonEditableShowsDisplayText() {
            const combo = createCombo({ model: ["One", "Two"], currentIndex: 1 })
            verify(!combo.contentItem.enabled)
            compare(combo.contentItem.text, "Two")
            compare(combo.displayText, "Two")
        }

        function test_editableShowsEditText() {
            const combo = createCombo({ model: ["One", "Two"], editable: true })
            verify(combo.contentItem.enabled)
            verify(combo.contentItem.autoScroll)
            combo.editText = "Typed"
            compare(combo.contentItem.text, "Typed")
        }

        function test_flatHidesBackgroundUnlessDown() {
            const combo = createCombo({ model: ["One"], flat: true })
            verify(!combo.background.visible)
            mousePress(combo)
            verify(combo.background.visible)
            mouseRelease(combo)
        }

        function test_rowTexts_data() {
            return [
                { tag: "string list", model: ["Alpha", "Beta"], textRole: "", texts: ["Alpha", "Beta"] },
                { tag: "objects with role", model: [{ name: "Gamma" }, { name: "Delta" }], textRole: "name", texts: ["Gamma", "Delta"] },
                { tag: "list model with role", model: listModel, textRole: "label", texts: ["Low", "High"] },
            ]
        }

        function test_rowTexts(data) {
            const combo = createCombo({ model: data.model, textRole: data.textRole })
            openPopup(combo)
            for (let i = 0; i < data.texts.length; ++i)
                compare(row(combo, i).text, data.texts[i])
            compare(combo.displayText, data.texts[0])
        }

        function test_rowLook() {
            const combo = createCombo({ model: ["One", "Two", "Three"], currentIndex: 1 })
            openPopup(combo)
            compare(row(combo, 0).font.weight, Font.Normal)
            compare(row(combo, 1).font.weight, Font.DemiBold)
            compare(row(combo, 0).width, combo.popup.contentItem.width)
            compare(row(combo, 0).implicitHeight, Math.max(32, row(combo, 0).contentItem.implicitHeight + 16))
            // The row under the highlight (here the current one) is on colorPresetActive.
            compare(combo.highlightedIndex, 1)
            compare(row(combo, 1).background.color, App.theme.colorPresetActive)
            compare(row(combo, 0).background.color, App.theme.colorPresetHovered)
            keyClick(Qt.Key_Down)
            compare(combo.highlightedIndex, 2)
            compare(row(combo, 2).background.color, App.theme.colorPresetActive)
            compare(row(combo, 1).background.color, App.theme.colorPresetHovered)
            compare(row(combo, 0).contentItem.color, App.theme.colorTextPreset)
        }

        function test_popupBelowAndAsWide() {
            const combo = createCombo({ model: ["One", "Two"] })
            openPopup(combo)
            compare(combo.popup.y, combo.height)
            compare(combo.popup.width, combo.width)
            compare(combo.popup.height, 2 * row(combo, 0).height)
            compare(combo.popup.background.color, App.theme.colorPresetActive)
            compare(combo.popup.background.border.color, App.theme.colorPresetHovered)
        }

        // A list taller than the window is held to the window less 6 px above and below.
        function test_longListIsLimitedToTheWindow() {
            const items = []
            for (let i = 0; i < 40; ++i)
                items.push("Item " + i)
            const combo = createCombo({ model: items })
            const list = openPopup(combo)
            compare(combo.popup.height, combo.Window.height - 12)
            verify(list.contentHeight > list.height)
            verify(list.interactive)
        }

        function test_choosingARow() {
            const combo = createCombo({ model: ["One", "Two", "Three"] })
            openPopup(combo)
            const target = row(combo, 2)
            mouseClick(target)
            tryCompare(combo.popup, "visible", false)
            compare(combo.currentIndex, 2)
            compare(activatedSpy.count, 1)
            compare(activatedSpy.signalArguments[0][0], 2)
        }

        function test_escapeClosesWithoutChoosing() {
            const combo = createCombo({ model: ["One", "Two"] })
            openPopup(combo)
            keyClick(Qt.Key_Escape)
            tryCompare(combo.popup, "visible", false)
            compare(combo.currentIndex, 0)
            compare(activatedSpy.count, 0)
        }

        function test_outsideClickClosesWithoutChoosing() {
            const combo = createCombo({ model: ["One", "Two"] })
            openPopup(combo)
            mouseClick(root, root.width - 5, root.height - 5)
            tryCompare(combo.popup, "visible", false)
            compare(combo.currentIndex, 0)
            compare(activatedSpy.count, 0)
        }

        function test_programmaticChangeIsNoActivation() {
            const combo = createCombo({ model: ["One", "Two"] })
            combo.currentIndex = 1
            compare(activatedSpy.count, 0)
        }

        function test_disabledDoesNotOpen() {
            const combo = createCombo({ model: ["One", "Two"], enabled: false })
            mouseClick(combo)
            verify(!combo.popup.visible)
        }
    }
}
