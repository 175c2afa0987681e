import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemTitleButtonDelegate"
    width: 300
    height: 200
    visible: true
    when: windowShown

    Component {
        id: delegateComponent
        ItemTitleButtonDelegate { x: 50; y: 50; index: 0; modelData: "close.svg"; text: "Close" }
    }
    // As the title bars make them.
    Component {
        id: repeaterComponent
        Row {
            property alias repeater: repeater
            x: 20; y: 20
            spacing: 8
            Repeater {
                id: repeater
                model: ["minimize.svg", "bell.svg"]
                ItemTitleButtonDelegate {
                    width: 16; height: 16
                    ItemBadge { objectName: "badge"; anchors.right: parent.right; anchors.top: parent.top }
                }
            }
        }
    }
    Component { id: withoutDataComponent; ItemTitleButtonDelegate {} }
    Component { id: badgeComponent; ItemBadge {} }

    SignalSpy { id: clickedSpy; signalName: "clicked" }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
    }

    function cleanup() {
        clickedSpy.clear()
        clickedSpy.target = null
    }

    function icon(delegate) {
        const button = findChild(delegate, "buttonIcon")
        verify(button)
        return button
    }

    function test_imageFollowsState() {
        const delegate = createTemporaryObject(delegateComponent, testCase)
        clickedSpy.target = delegate
        compare(delegate.implicitWidth, 20)
        compare(delegate.implicitHeight, 20)
        const button = icon(delegate)
        compare(button.source, "qrc:/dark/images/titlebar/regular/close.svg")
        mouseMove(delegate, 10, 10)
        tryCompare(delegate, "hovered", true)
        compare(button.source, "qrc:/dark/images/titlebar/hovered/close.svg")
        mousePress(delegate, 10, 10)
        compare(button.source, "qrc:/dark/images/titlebar/pressed/close.svg")
        compare(clickedSpy.count, 0)
        mouseRelease(delegate, 10, 10)
        compare(clickedSpy.count, 1)
        compare(button.source, "qrc:/dark/images/titlebar/hovered/close.svg")
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
        tryCompare(delegate, "hovered", false)
        compare(button.source, "qrc:/dark/images/titlebar/regular/close.svg")
        // Every state's image exists.
        for (const state of ["regular", "hovered", "pressed"]) {
            button.source = "qrc:/dark/images/titlebar/" + state + "/close.svg"
            tryCompare(button.contentItem.children[0], "status", Image.Ready)
        }
    }

    function test_textIsTheAccessibleName() {
        const delegate = createTemporaryObject(delegateComponent, testCase)
        compare(icon(delegate).text, "Close")
        compare(icon(delegate).Accessible.name, "Close")
    }

    function test_disabledKeepsRestImageAndEmitsNothing() {
        const delegate = createTemporaryObject(delegateComponent, testCase, { enabled: false })
        clickedSpy.target = delegate
        mouseMove(delegate, 10, 10)
        mouseClick(delegate, 10, 10)
        compare(icon(delegate).source, "qrc:/dark/images/titlebar/regular/close.svg")
        compare(icon(delegate).opacity, 0.5)
        compare(clickedSpy.count, 0)
    }

    function test_repeaterSuppliesIndexAndFileName() {
        const row = createTemporaryObject(repeaterComponent, testCase)
        const bell = row.repeater.itemAt(1)
        compare(bell.index, 1)
        compare(bell.modelData, "bell.svg")
        compare(bell.width, 16)
        compare(icon(bell).source, "qrc:/dark/images/titlebar/regular/bell.svg")
        const badge = findChild(bell, "badge")
        verify(badge.z >= icon(bell).z && Array.from(bell.children).indexOf(badge) > Array.from(bell.children).indexOf(icon(bell)),
               "the user's badge is drawn above the icon")
    }

    function test_badge_data() {
        return [
            { tag: "default", properties: {}, size: 6 },
            { tag: "size 10", properties: { size: 10 }, size: 10 },
        ]
    }

    function test_badge(data) {
        const badge = createTemporaryObject(badgeComponent, testCase, data.properties)
        compare(badge.width, data.size)
        compare(badge.height, data.size)
        compare(badge.radius, data.size / 2)
        compare(badge.color, "#ff2643")
    }

    // Without the warning filter of the cases above: creating it is meant to warn.
    TestCase {
        name: "ItemTitleButtonDelegateRequired"

        function test_requiredPropertiesMustBeGiven() {
            ignoreWarning(/Required property/)
            const delegate = withoutDataComponent.createObject(testCase)
            compare(delegate, null)
        }
    }
}
