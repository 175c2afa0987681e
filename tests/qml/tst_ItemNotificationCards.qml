import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemNotificationCards"
    width: 600
    height: 500
    visible: true
    when: windowShown

    Component {
        id: textComponent
        ItemNotificationText { x: 10; y: 10; text: "Firmware 2.1 is out."; date: "10 Dec 2026" }
    }
    Component {
        id: imageComponent
        ItemNotificationImage { x: 10; y: 10; source: "qrc:/dark/images/devices/no_device.png" }
    }
    Component { id: newComponent; ItemNew {} }

    SignalSpy { id: hideSpy; signalName: "hide" }
    SignalSpy { id: updateSpy; signalName: "updateClicked" }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
    }

    function cleanup() {
        hideSpy.clear()
        hideSpy.target = null
        updateSpy.clear()
        updateSpy.target = null
        App.clearOpenedUrls()
        App.animationsEnabled = true
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    // The text card

    function test_textCardPlain() {
        const card = createTemporaryObject(textComponent, testCase)
        waitForRendering(card)
        compare(card.color, App.theme.colorPresetActive)
        compare(card.border.width, 1)
        compare(card.border.color, App.theme.colorPresetHovered)
        compare(card.radius, 12)
        compare(card.isNew, true)
        compare(part(card, "itemNew").visible, true)
        compare(part(card, "dateLabel").text, "10 Dec 2026")
        compare(part(card, "dateLabel").font.pixelSize, App.theme.fontSizeCaptionSmall)
        compare(part(card, "closeBtn").visible, true)
        compare(part(card, "closeBtn").text, "Close")
        compare(part(card, "label").text, "Firmware 2.1 is out.")
        compare(part(card, "label").Accessible.role, Accessible.StaticText)
        compare(part(card, "label").Accessible.name, "Firmware 2.1 is out.")
        compare(part(card, "updateBtn").visible, false)
        compare(part(card, "openBtn").visible, false)
        // Margins of 12: the label's bottom is 12 above the card's.
        const label = part(card, "label")
        fuzzyCompare(label.mapToItem(card, 0, label.height).y, card.height - 12, 1)
        compare(part(card, "itemNew").mapToItem(card, 0, 0).x, 12)
    }

    function test_textCardNotNew() {
        const card = createTemporaryObject(textComponent, testCase, { isNew: false })
        compare(part(card, "itemNew").visible, false)
    }

    function test_textCardButtons() {
        const card = createTemporaryObject(textComponent, testCase,
                                           { isUpdate: true, link: "https://velmor.example/news/1" })
        waitForRendering(card)
        const update = part(card, "updateBtn")
        const open = part(card, "openBtn")
        compare(update.visible, true)
        compare(update.text, "Update")
        compare(open.visible, true)
        compare(open.text, "Open")
        verify(update.y < open.y, "Update above Open")
        fuzzyCompare(update.mapToItem(card, update.width, 0).x, card.width - 12, 0.5)
        fuzzyCompare(open.mapToItem(card, open.width, 0).x, card.width - 12, 0.5)
    }

    function test_textCardSignalsOnlyOnClicks() {
        const card = createTemporaryObject(textComponent, testCase, { isUpdate: true })
        hideSpy.target = card
        updateSpy.target = card
        waitForRendering(card)
        card.isUpdate = false
        card.isUpdate = true
        compare(hideSpy.count, 0)
        compare(updateSpy.count, 0)
        mouseClick(part(card, "updateBtn"))
        compare(updateSpy.count, 1)
        compare(hideSpy.count, 0)
        mouseClick(part(card, "closeBtn"))
        compare(hideSpy.count, 1)
        compare(updateSpy.count, 1)
        // The card does nothing more itself.
        compare(card.visible, true)
    }

    function test_textCardCloseImageFollowsHover() {
        const card = createTemporaryObject(textComponent, testCase)
        const close = part(card, "closeBtn")
        waitForRendering(card)
        compare(close.source, App.theme.resourcesPath + "images/close_regular.svg")
        mouseMove(close, 10, 10)
        tryCompare(close, "hovered", true)
        compare(close.source, App.theme.resourcesPath + "images/close_hovered.svg")
        mousePress(close, 10, 10)
        compare(close.source, App.theme.resourcesPath + "images/close_regular.svg")
        mouseRelease(close, 10, 10)
    }

    function test_textCardOpensWebLinks_data() {
        return [
            { tag: "https", link: "https://velmor.example/news?id=1", opened: ["https://velmor.example/news?id=1"] },
            { tag: "http", link: "http://velmor.example/a b", opened: ["http://velmor.example/a b"] },
            { tag: "upper-case scheme", link: "HTTPS://velmor.example/", opened: ["https://velmor.example/"] },
            { tag: "spaces around", link: "  https://velmor.example/x ", opened: ["https://velmor.example/x"] },
        ]
    }

    function test_textCardOpensWebLinks(data) {
        const card = createTemporaryObject(textComponent, testCase, { link: data.link })
        waitForRendering(card)
        const open = part(card, "openBtn")
        compare(open.visible, true)
        mouseClick(open)
        compare(App.openedUrls, data.opened)
    }

    // A feed entry must not make the desktop open a local file or another program.
    function test_textCardOffersNoOtherLinks_data() {
        return [
            { tag: "empty", link: "" },
            { tag: "local file", link: "file:///usr/bin/env" },
            { tag: "other scheme", link: "mailto:someone@velmor.example" },
            { tag: "no scheme", link: "velmor.example/news" },
            { tag: "scheme only", link: "https://" },
        ]
    }

    function test_textCardOffersNoOtherLinks(data) {
        const card = createTemporaryObject(textComponent, testCase, { link: data.link })
        compare(part(card, "openBtn").visible, false)
    }

    function test_textCardWrapsInFixedWidth() {
        const message = "A very long message that cannot fit on one line of a narrow card at all"
        const card = createTemporaryObject(textComponent, testCase, { text: message, width: 240 })
        waitForRendering(card)
        const label = part(card, "label")
        verify(label.lineCount > 1)
        verify(label.contentWidth <= 240 - 24 + 0.5)
        // A word without spaces wraps too.
        card.text = "W".repeat(80)
        waitForRendering(card)
        verify(label.lineCount > 1)
        verify(label.contentWidth <= 240 - 24 + 0.5)
    }

    function test_textCardWithoutWidthTakesMessageWidth() {
        const card = createTemporaryObject(textComponent, testCase, { text: "W".repeat(60) })
        waitForRendering(card)
        const label = part(card, "label")
        compare(label.lineCount, 1)
        fuzzyCompare(card.implicitWidth, label.implicitWidth + 24, 1)
    }

    function test_textCardShowsMarkupAsTyped() {
        const card = createTemporaryObject(textComponent, testCase, { text: "<b>bold</b>" })
        compare(part(card, "label").textFormat, Text.PlainText)
    }

    // The "New" mark

    function test_newMark() {
        const mark = createTemporaryObject(newComponent, testCase)
        waitForRendering(mark)
        compare(mark.color, App.theme.colorTransparent)
        compare(mark.radius, 4)
        compare(mark.border.width, 1)
        compare(mark.border.color, App.theme.colorButtonPressed)
        const badge = part(mark, "badge")
        const label = part(mark, "label")
        compare(badge.width, 6)
        compare(badge.color, "#ff2643")
        compare(label.text, "New")
        compare(label.font.family, App.theme.fontFamily)
        compare(label.font.pixelSize, App.theme.fontSizeCaptionSmall)
        compare(label.color, App.theme.colorTextHighlighted)
        compare(badge.mapToItem(mark, 0, 0).x, 6)
        fuzzyCompare(label.mapToItem(mark, 0, 0).x, 6 + 6 + 4, 0.5)
        fuzzyCompare(mark.implicitWidth, 6 + 4 + label.implicitWidth + 6 + 6, 1)
        fuzzyCompare(mark.implicitHeight, label.implicitHeight + 4, 1)
        fuzzyCompare(badge.mapToItem(mark, 0, 3).y, mark.height / 2, 0.5)
    }

    // The image card

    function test_imageCardFoldsAndUnfolds_data() {
        return [
            { tag: "animated", animations: true },
            { tag: "without animations", animations: false },
        ]
    }

    function test_imageCardFoldsAndUnfolds(data) {
        App.animationsEnabled = data.animations
        const card = createTemporaryObject(imageComponent, testCase)
        compare(card.isExpanded, false)
        compare(card.implicitWidth, 320)
        compare(card.height, 80)
        mouseMove(card, 100, 40)
        const fold = part(card, "foldBtn")
        tryCompare(fold, "visible", true)
        compare(fold.source, App.theme.resourcesPath + "images/other/expand.svg")
        mouseClick(fold)
        compare(card.isExpanded, true)
        compare(fold.source, App.theme.resourcesPath + "images/other/collapse.svg")
        if (data.animations) {
            verify(card.height < 320, "the card grows step by step")
            tryCompare(card, "height", 320, 2000)
        } else {
            compare(card.height, 320, "the height jumps")
        }
        mouseClick(fold)
        compare(card.isExpanded, false)
        if (!data.animations)
            compare(card.height, 80)
        tryCompare(card, "height", 80, 2000)
    }

    function test_imageCardControlsOnlyUnderPointer() {
        const card = createTemporaryObject(imageComponent, testCase, { link: "https://velmor.example/" })
        hideSpy.target = card
        const overlay = part(card, "overlay")
        compare(overlay.visible, false)
        mouseMove(card, 100, 40)
        tryCompare(overlay, "visible", true)
        const link = part(card, "linkBtn")
        const close = part(card, "closeBtn")
        const fold = part(card, "foldBtn")
        compare(link.visible, true)
        compare(link.text, "Open in Browser")
        compare(link.color, App.theme.colorStatusAvailable)
        compare(link.font.weight, Font.DemiBold)
        compare(link.font.underline, true)
        compare(close.source, App.theme.resourcesPath + "images/close_hovered.svg")
        compare(close.text, "Close")
        // 16 from the top and right edges, 12 between the two buttons.
        fuzzyCompare(close.mapToItem(card, close.width, 0).x, 320 - 16, 0.5)
        fuzzyCompare(close.mapToItem(card, 0, 0).y, 16, 0.5)
        fuzzyCompare(close.mapToItem(card, 0, 0).x - fold.mapToItem(card, fold.width, 0).x, 12, 0.5)
        mouseMove(close, 10, 10)
        tryCompare(close, "hovered", true)
        compare(close.source, App.theme.resourcesPath + "images/close_hovered.svg", "in every state")
        mouseClick(close)
        compare(hideSpy.count, 1)
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
        tryCompare(overlay, "visible", false)
    }

    function test_imageCardOpensItsLink() {
        const card = createTemporaryObject(imageComponent, testCase, { link: "https://velmor.example/promo" })
        mouseMove(card, 100, 40)
        const link = part(card, "linkBtn")
        tryCompare(link, "visible", true)
        mouseClick(link)
        compare(App.openedUrls, ["https://velmor.example/promo"])
    }

    function test_imageCardHidesLinkWithoutWebAddress_data() {
        return [
            { tag: "empty", link: "" },
            { tag: "local file", link: "file:///etc/passwd" },
        ]
    }

    function test_imageCardHidesLinkWithoutWebAddress(data) {
        const card = createTemporaryObject(imageComponent, testCase, { link: data.link })
        mouseMove(card, 100, 40)
        tryCompare(part(card, "overlay"), "visible", true)
        compare(part(card, "linkBtn").visible, false)
    }

    function test_imageCardEmptySourceStillOffersControls() {
        const card = createTemporaryObject(imageComponent, testCase, { source: "" })
        compare(part(card, "sourceItem").status, Image.Null)
        compare(card.height, 80)
        mouseMove(card, 100, 40)
        tryCompare(part(card, "overlay"), "visible", true)
        compare(part(card, "foldBtn").visible, true)
        compare(part(card, "closeBtn").visible, true)
    }

    function test_imageCardDecodesAtCardWidth() {
        const card = createTemporaryObject(imageComponent, testCase)
        const picture = part(card, "sourceItem")
        tryCompare(picture, "status", Image.Ready)
        compare(picture.fillMode, Image.PreserveAspectCrop)
        compare(picture.visible, false)
        compare(picture.expectedSize, Math.trunc(320 * Screen.devicePixelRatio))
        compare(picture.sourceSize, Qt.size(picture.expectedSize, picture.expectedSize))
        // Decoded to cover the square (the picture is 1840 x 1312), not at full size.
        compare(Math.min(picture.implicitWidth, picture.implicitHeight), picture.expectedSize)
        verify(picture.implicitWidth < 1840)
        card.width = 200
        compare(picture.expectedSize, Math.trunc(200 * Screen.devicePixelRatio))
    }

    function test_imageCardKeepsPictureWhileNextLoads() {
        const card = createTemporaryObject(imageComponent, testCase)
        const picture = part(card, "sourceItem")
        tryCompare(picture, "status", Image.Ready)
        const first = picture.source
        // A picture that never arrives: the card keeps showing the previous one.
        card.source = "https://192.0.2.1/never.png"
        compare(picture.source, first)
        compare(picture.status, Image.Ready)
        card.source = "qrc:/dark/images/devices/no_device.png?again"
        tryCompare(picture, "source", "qrc:/dark/images/devices/no_device.png?again")
        card.source = ""
        compare(picture.source, "")
    }
}
