import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 500
    height: 400

    Component {
        id: menuComponent

        ZelMenuList { }
    }

    SignalSpy {
        id: clickedSpy

        signalName: "itemClicked"
    }

    TestCase {
        name: "ZelMenuList"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function createMenu(properties) {
            const menu = createTemporaryObject(menuComponent, root, properties || {})
            verify(menu)
            clickedSpy.clear()
            clickedSpy.target = menu
            return menu
        }

        function rows(menu) {
            const result = []
            const children = menu.contentItem.children[0].children
            for (let i = 0; i < children.length; ++i) {
                if (children[i].text !== undefined)
                    result.push(children[i])
            }
            return result
        }

        function openMenu(menu) {
            menu.popup(root, 20, 20)
            tryCompare(menu, "opened", true)
            waitForItemPolished(menu.contentItem)
        }

        function test_emptyMenuIsPaddingsOnly() {
            const menu = createMenu()
            compare(menu.implicitWidth, 320)
            compare(menu.implicitHeight, 2 * App.theme.controlRadius)
            compare(menu.background.color, App.theme.colorPresetActive)
            compare(menu.background.border.color, App.theme.colorButtonPressed)
            compare(menu.background.radius, App.theme.controlRadius)
        }

        function test_rows() {
            const menu = createMenu({ menuItems: ["Load", "Save", "Reset"] })
            openMenu(menu)
            const items = rows(menu)
            compare(items.length, 3)
            compare(items[0].text, "Load")
            compare(items[2].text, "Reset")
            compare(items[1].y, App.theme.controlButtonHeight)
            compare(items[0].width, menu.width - 2)
            compare(items[0].height, App.theme.controlButtonHeight)
            compare(menu.implicitHeight, 3 * App.theme.controlButtonHeight + 2 * App.theme.controlRadius)
            compare(items[0].font.pixelSize, App.theme.fontSizeTitle)
            verify(items[0].font.bold)
            compare(items[0].contentItem.color, App.theme.colorButton)
        }

        function test_rowHoverColour() {
            const menu = createMenu({ menuItems: ["Load", "Save"] })
            openMenu(menu)
            const items = rows(menu)
            compare(items[0].background.color, App.theme.colorPresetActive)
            mouseMove(items[0])
            tryCompare(items[0], "hovered", true)
            compare(items[0].background.color, App.theme.colorPresetHovered)
            compare(items[1].background.color, App.theme.colorPresetActive)
        }

        function test_clickReportsIndexAfterClosing() {
            const menu = createMenu({ menuItems: ["Load", "Save", "Reset"] })
            openMenu(menu)
            let visibleWhenReported = true
            menu.itemClicked.connect(function() { visibleWhenReported = menu.visible })
            mouseClick(rows(menu)[2])
            compare(clickedSpy.count, 1)
            compare(clickedSpy.signalArguments[0][0], 2)
            verify(!visibleWhenReported, "the menu has closed before it reports the click")
        }

        function test_closingReportsNothing_data() {
            return [
                { tag: "escape", escape: true },
                { tag: "press outside", escape: false },
            ]
        }

        function test_closingReportsNothing(data) {
            const menu = createMenu({ menuItems: ["Load", "Save"] })
            openMenu(menu)
            if (data.escape)
                keyClick(Qt.Key_Escape)
            else
                mouseClick(root, root.width - 5, root.height - 5)
            tryCompare(menu, "visible", false)
            compare(clickedSpy.count, 0)
        }
    }
}
