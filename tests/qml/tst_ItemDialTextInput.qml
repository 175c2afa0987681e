import QtQuick
import QtTest

import "qrc:/qml/Velmor/Items"

Item {
    id: root

    width: 300
    height: 200

    Component {
        id: inputComponent

        ItemDialTextInput {
            x: 50
            y: 50
            text: "50"
            validator: IntValidator {
                bottom: 0
                top: 999
            }
        }
    }

    SignalSpy {
        id: finishedSpy

        signalName: "editingFinished"
    }

    TestCase {
        name: "ItemDialTextInput"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function createInput(properties) {
            const item = createTemporaryObject(inputComponent, root, properties || {})
            verify(item)
            finishedSpy.clear()
            finishedSpy.target = item
            return item
        }

        function field(item) {
            return item.children[0]
        }

        function open(item) {
            mouseDoubleClickSequence(item)
        }

        function test_sizeIsThatOfTheText() {
            const item = createInput()
            verify(item.implicitWidth > 0)
            compare(item.implicitWidth, field(item).contentWidth)
            compare(item.implicitHeight, field(item).contentHeight)
            compare(field(item).font.pixelSize, App.theme.fontSizeCaptionLarge)
            compare(field(item).font.family, App.theme.fontFamilyCaption)
            verify(field(item).font.bold)
        }

        function test_clickOrHoverNeverOpens() {
            const item = createInput()
            mouseMove(item)
            mouseClick(item)
            verify(!field(item).enabled)
            keyClick(Qt.Key_7)
            compare(item.text, "50")
        }

        function test_doubleClickOpensAndReturnFinishes() {
            const item = createInput()
            open(item)
            verify(field(item).enabled)
            verify(field(item).activeFocus)
            keySequence(StandardKey.SelectAll)
            keyClick(Qt.Key_1)
            keyClick(Qt.Key_2)
            keyClick(Qt.Key_3)
            keyClick(Qt.Key_4) // a fourth digit is refused by the validator
            compare(item.text, "123")
            let enabledWhenReported = true
            item.editingFinished.connect(function() { enabledWhenReported = field(item).enabled })
            keyClick(Qt.Key_Return)
            compare(finishedSpy.count, 1)
            verify(!enabledWhenReported, "the field is closed before the user hears of the edit")
            verify(!field(item).enabled)
        }

        function test_focusLossFinishesOnce() {
            const item = createInput()
            open(item)
            root.forceActiveFocus()
            compare(finishedSpy.count, 1)
            verify(!field(item).enabled)
        }

        // The toolkit does not report an edit that leaves the field empty; leaving the field
        // ends it all the same, so the field never stays open.
        function test_emptiedFieldFinishesOnFocusLoss() {
            const item = createInput()
            open(item)
            keySequence(StandardKey.SelectAll)
            keyClick(Qt.Key_Delete)
            keyClick(Qt.Key_Return)
            compare(finishedSpy.count, 0)
            verify(field(item).enabled)
            root.forceActiveFocus()
            compare(finishedSpy.count, 1)
            verify(!field(item).enabled)
        }

        function test_notEditable() {
            const item = createInput({ editable: false })
            open(item)
            verify(!field(item).enabled)
        }

        function test_colour_data() {
            return [
                { tag: "idle", enabled: true, highlighted: false, highlightEnabled: true, hovered: false },
                { tag: "highlighted", enabled: true, highlighted: true, highlightEnabled: true, hovered: true },
                { tag: "highlight off", enabled: true, highlighted: true, highlightEnabled: false, hovered: false },
                { tag: "disabled", enabled: false, highlighted: true, highlightEnabled: true, hovered: false },
            ]
        }

        function test_colour(data) {
            const item = createInput({ enabled: data.enabled, highlighted: data.highlighted,
                                       highlightEnabled: data.highlightEnabled })
            compare(field(item).color, data.hovered ? App.theme.dialValueInputHoveredColor
                                                    : App.theme.dialValueInputColor)
        }

        function test_highlightFollowsMouseByDefault() {
            const item = createInput()
            mouseMove(root, 5, 5)
            compare(field(item).color, App.theme.dialValueInputColor)
            mouseMove(item)
            tryCompare(item, "containsMouse", true)
            compare(field(item).color, App.theme.dialValueInputHoveredColor)
        }

        function test_disabledUnderMouseKeepsColourAndStaysClosed() {
            const item = createInput({ enabled: false })
            mouseMove(item)
            compare(field(item).color, App.theme.dialValueInputColor)
            open(item)
            verify(!field(item).enabled)
        }
    }
}
