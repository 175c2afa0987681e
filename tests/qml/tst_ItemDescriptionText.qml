import QtQuick
import QtTest

import "qrc:/qml/Velmor/Items"

Item {
    id: root

    width: 300
    height: 300

    Component {
        id: descriptionComponent

        ItemDescriptionText {
            width: 200
            text: "Sidetone"
        }
    }

    TestCase {
        name: "ItemDescriptionText"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function test_titleOnly() {
            const item = createTemporaryObject(descriptionComponent, root)
            verify(item)
            const title = item.children[0].children[0]
            const hint = item.children[0].children[1]
            compare(title.text, "Sidetone")
            compare(title.color, App.theme.colorTitle)
            verify(!hint.visible)
            // One title line: 1.4 times the title size.
            fuzzyCompare(item.implicitHeight, App.theme.fontSizeTitle * 1.4, 1)
        }

        function test_hintBelowTitle() {
            const item = createTemporaryObject(descriptionComponent, root,
                                               { hint: "Hear your own voice in the headset while you speak to others." })
            verify(item)
            const title = item.children[0].children[0]
            const hint = item.children[0].children[1]
            verify(hint.visible)
            compare(hint.color, App.theme.colorHint)
            compare(hint.font.pixelSize, App.theme.fontSize)
            compare(hint.wrapMode, Text.WordWrap)
            waitForRendering(item)
            compare(hint.y, title.y + title.height + 4)
            verify(hint.lineCount > 1, "the hint wraps at the item's width")
            fuzzyCompare(item.implicitHeight, title.height + 4 + hint.implicitHeight, 0.5)
        }

        function test_disabledTitle() {
            const item = createTemporaryObject(descriptionComponent, root, { enabled: false, hint: "x" })
            compare(item.children[0].children[0].color, App.theme.colorTextDisabled)
        }
    }
}
