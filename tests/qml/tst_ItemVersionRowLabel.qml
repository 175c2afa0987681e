import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemVersionRowLabel"
    width: 500
    height: 200
    visible: true
    when: windowShown

    Component {
        id: rowComponent
        ItemVersionRowLabel { x: 10; y: 10; width: 400; leftText: "Headset"; rightText: "1.2.3" }
    }

    SignalSpy { id: menuSpy; signalName: "menuRequested" }

    function init() {
        failOnWarning(/.?/)
    }

    function cleanup() {
        menuSpy.clear()
        menuSpy.target = null
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    function test_statusChoosesIconAndColour_data() {
        const path = App.theme.resourcesPath + "images/status/connection/"
        return [
            { tag: "normal", status: ItemVersionRowLabel.Normal, color: App.theme.colorTextHighlighted,
              iconShown: false, source: path + "normal.svg" },
            { tag: "available", status: ItemVersionRowLabel.Available, color: App.theme.colorStatusAvailable,
              iconShown: true, source: path + "available.svg" },
            { tag: "not connected", status: ItemVersionRowLabel.NotConnected, color: App.theme.colorStatusNotConnected,
              iconShown: true, source: path + "not-connected.svg" },
            { tag: "unknown value", status: 7, color: App.theme.colorTextHighlighted,
              iconShown: false, source: path + "normal.svg" },
        ]
    }

    function test_statusChoosesIconAndColour(data) {
        const row = createTemporaryObject(rowComponent, testCase, { status: data.status })
        const image = part(row, "image")
        compare(image.visible, data.iconShown)
        compare(image.source, data.source)
        tryCompare(image, "status", Image.Ready)
        compare(image.width, 12)
        compare(image.height, 12)
        compare(part(row, "rightTextBox").color, data.color)
        compare(part(row, "leftTextBox").color, App.theme.colorTextHighlighted)
    }

    function test_enumValues() {
        compare(ItemVersionRowLabel.Normal, 0)
        compare(ItemVersionRowLabel.Available, 1)
        compare(ItemVersionRowLabel.NotConnected, 2)
    }

    function test_layout() {
        const row = createTemporaryObject(rowComponent, testCase, { status: ItemVersionRowLabel.Available })
        waitForRendering(row)
        compare(row.implicitHeight, 24)
        const left = part(row, "leftTextBox")
        const right = part(row, "rightTextBox")
        const image = part(row, "image")
        compare(left.x, 0)
        compare(left.font.pixelSize, App.theme.fontSizeTitle)
        compare(right.font.pixelSize, App.theme.fontSizeTitle)
        fuzzyCompare(right.x + right.width, 400, 0.5)
        verify(image.x + image.width <= right.x, "the icon stands before the version")
        verify(image.x > left.x + left.width, "the gap takes the free width")
        compare(left.Accessible.role, Accessible.StaticText)
        compare(left.Accessible.name, "Headset")
        compare(right.Accessible.role, Accessible.StaticText)
        compare(right.Accessible.name, "1.2.3")
    }

    function test_emptyLeftTextHidesIt() {
        const row = createTemporaryObject(rowComponent, testCase, { leftText: "", status: ItemVersionRowLabel.Available })
        waitForRendering(row)
        compare(part(row, "leftTextBox").visible, false)
        fuzzyCompare(part(row, "rightTextBox").x + part(row, "rightTextBox").width, 400, 0.5)
    }

    function test_onlyRightClickOnVersionRequestsMenu() {
        const row = createTemporaryObject(rowComponent, testCase)
        menuSpy.target = row
        waitForRendering(row)
        const right = part(row, "rightTextBox")
        mouseClick(right, right.width / 2, right.height / 2, Qt.LeftButton)
        mouseClick(part(row, "leftTextBox"), 2, 2, Qt.RightButton)
        mouseClick(row, 200, 12, Qt.RightButton)
        compare(menuSpy.count, 0)
        mouseClick(right, right.width / 2, right.height / 2, Qt.RightButton)
        compare(menuSpy.count, 1)
    }

    function test_emptyVersionOffersNoMenu() {
        const row = createTemporaryObject(rowComponent, testCase, { rightText: "" })
        menuSpy.target = row
        waitForRendering(row)
        compare(part(row, "rightTextBox").width, 0)
        mouseClick(row, 399, 12, Qt.RightButton)
        compare(menuSpy.count, 0)
    }
}
