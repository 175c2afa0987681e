import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemStatus"
    width: 400
    height: 200
    visible: true
    when: windowShown

    Component {
        id: statusComponent
        ItemStatus { imageSource: App.theme.resourcesPath + "images/status/headset.svg" }
    }

    function init() {
        failOnWarning(/.?/)
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    function test_emptyTextLeavesImageAndGaps() {
        const item = createTemporaryObject(statusComponent, testCase)
        const image = part(item, "image")
        tryCompare(image, "status", Image.Ready)
        compare(image.width, 24)
        compare(image.height, 24)
        compare(image.sourceSize, Qt.size(24, 24))
        compare(item.implicitHeight, 24)
        compare(item.implicitWidth, 40)
    }

    function test_textFollowsImage() {
        const item = createTemporaryObject(statusComponent, testCase, { text: "Connected" })
        const label = part(item, "label")
        waitForRendering(item)
        compare(label.text, "Connected")
        compare(label.color, App.theme.colorText)
        compare(label.font.family, App.theme.fontFamily)
        compare(label.font.pixelSize, App.theme.fontSize)
        compare(label.x, 24 + 8)
        fuzzyCompare(item.implicitWidth, label.implicitWidth + 40, 1)
        compare(item.implicitHeight, 24)
        fuzzyCompare(label.y + label.height / 2, 12, 0.5)
    }

    function test_extraWidthStaysRight() {
        const item = createTemporaryObject(statusComponent, testCase, { text: "Connected", width: 350 })
        waitForRendering(item)
        compare(part(item, "image").x, 0)
        compare(part(item, "label").x, 32)
    }

    // A new picture (a battery level, a mute reported by the headset) is there in the same
    // frame as the new text: never a frame with the text and no picture.
    function test_newPictureIsReadyAtOnce() {
        const item = createTemporaryObject(statusComponent, testCase, { text: "50%" })
        const image = part(item, "image")
        tryCompare(image, "status", Image.Ready)
        item.imageSource = App.theme.resourcesPath + "images/status/battery/middle.svg"
        item.text = "60%"
        compare(image.status, Image.Ready)
    }

    function test_missingImageKeepsItsSquare() {
        // The broken picture warns by design, once per load: its source, then the width and
        // the height of the size it is drawn at (loaded at once, so always three).
        for (let load = 0; load < 3; ++load)
            ignoreWarning(/Cannot open|not found|No such file/)
        const item = createTemporaryObject(statusComponent, testCase,
                                           { text: "Connected", imageSource: App.theme.resourcesPath + "images/status/missing.svg" })
        const image = part(item, "image")
        tryCompare(image, "status", Image.Error)
        compare(image.width, 24)
        compare(part(item, "label").x, 32)
    }

    function test_disabledText() {
        const item = createTemporaryObject(statusComponent, testCase, { text: "x", enabled: false })
        compare(part(item, "label").color, App.theme.colorTextDisabled)
    }
}
