import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 400
    height: 300

    Component {
        id: itemComponent

        ZelMenuItem {
            iconSource: App.theme.resourcesPath + "images/edit.svg"
            text: "Sound"
        }
    }

    Component {
        id: menuComponent

        Column {
            property alias first: first
            property alias second: second

            ZelMenuItem {
                id: first

                iconSource: App.theme.resourcesPath + "images/edit.svg"
                text: "Sound"
                checked: true
            }

            ZelMenuItem {
                id: second

                iconSource: App.theme.resourcesPath + "images/edit.svg"
                text: "Microphone"
            }
        }
    }

    SignalSpy {
        id: clickedSpy

        signalName: "clicked"
    }

    TestCase {
        name: "ZelMenuItem"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        // A theme colour by name; a misspelt name fails instead of comparing undefined.
        function themeColor(name) {
            const colour = App.theme[name]
            verify(colour !== undefined, name)
            return colour
        }

        function createItem(properties) {
            const item = createTemporaryObject(itemComponent, root, properties || {})
            verify(item)
            clickedSpy.clear()
            clickedSpy.target = item
            return item
        }

        function part(item, name) {
            const found = findChild(item, name)
            verify(found, name)
            return found
        }

        function test_collapsedShowsOnlyTheIcon() {
            const item = createItem()
            compare(item.implicitWidth, 80)
            compare(item.implicitHeight, 64)
            verify(!part(item, "label").visible)
            const icon = part(item, "icon")
            compare(icon.width, 32)
            compare(icon.height, 32)
            compare(icon.mapToItem(item, 0, 0), Qt.point(24, 16))
            compare(String(icon.source), App.theme.resourcesPath + "images/edit.svg")
            compare(icon.opacity, 1)
        }

        function test_expandedShowsTheText() {
            const item = createItem({ expanded: true, width: 240 })
            const label = part(item, "label")
            verify(label.visible)
            compare(label.mapToItem(item, 0, 0).x, 72)
            compare(label.text, "Sound")
            compare(label.font.family, App.theme.fontFamilyCaption)
            compare(label.font.pixelSize, App.theme.fontSizeCaptionSmall)
            // Clipped 16 px before the right edge.
            compare(label.parent.width, 240 - 16)
            verify(label.parent.clip)
        }

        function test_colours_data() {
            return [
                { tag: "idle", enabled: true, checked: false, text: "colorTextPreset", background: "colorPreset" },
                { tag: "checked", enabled: true, checked: true, text: "colorTextHighlighted", background: "colorPresetActive" },
                { tag: "disabled", enabled: false, checked: false, text: "colorTextDisabled", background: "colorPreset" },
                { tag: "disabled checked", enabled: false, checked: true, text: "colorTextDisabled", background: "colorPreset" },
            ]
        }

        function test_colours(data) {
            const item = createItem({ expanded: true, enabled: data.enabled, checked: data.checked })
            compare(part(item, "label").color, themeColor(data.text))
            compare(item.background.color, themeColor(data.background))
            compare(part(item, "icon").opacity, data.enabled ? 1 : 0.5)
        }

        function test_hoverAndPress() {
            const item = createItem({ expanded: true, width: 240, checked: true })
            mouseMove(item, 40, 30)
            tryCompare(item, "hovered", true)
            // Hover is tested before the checked state.
            compare(item.background.color, App.theme.colorMenuItemHovered)
            mouseMove(root, root.width - 2, root.height - 2)
            tryCompare(item, "hovered", false)
            compare(item.background.color, App.theme.colorPresetActive)
            item.checked = false
            mousePress(item, 40, 30)
            verify(item.selected)
            compare(part(item, "label").color, App.theme.colorTextHighlighted)
            mouseRelease(item, 40, 30)
        }

        function test_cornerRadii() {
            const item = createItem({ topLeftRadius: 8, bottomRightRadius: 4 })
            compare(item.topLeftRadius, 8)
            compare(item.topRightRadius, 0)
            compare(item.bottomLeftRadius, 0)
            compare(item.bottomRightRadius, 4)
            compare(item.background.topLeftRadius, 8)
            compare(item.background.bottomRightRadius, 4)
        }

        function test_exclusiveAndClickedOnlyOnUserAction() {
            const menu = createTemporaryObject(menuComponent, root)
            verify(menu)
            clickedSpy.clear()
            clickedSpy.target = menu.second
            menu.second.checked = true
            verify(!menu.first.checked)
            compare(clickedSpy.count, 0)
            menu.first.checked = true
            mouseClick(menu.second)
            verify(menu.second.checked)
            verify(!menu.first.checked)
            compare(clickedSpy.count, 1)
            menu.second.enabled = false
            mouseClick(menu.second)
            compare(clickedSpy.count, 1)
        }
    }
}
