import QtQuick
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "ZelTexts"
    width: 400
    height: 300
    visible: true
    when: windowShown

    Component { id: textComponent; ZelText {} }
    Component { id: titleComponent; ZelTextTitle {} }
    Component { id: captionComponent; ZelTextCaption {} }

    function create(component, properties) {
        const item = createTemporaryObject(component, testCase, properties || {})
        verify(item, "created")
        return item
    }

    function test_colourFollowsEnabled_data() {
        return [
            { tag: "text enabled", component: textComponent, enabled: true, color: App.theme.colorText },
            { tag: "text disabled", component: textComponent, enabled: false, color: App.theme.colorTextDisabled },
            { tag: "title enabled", component: titleComponent, enabled: true, color: App.theme.colorTitle },
            { tag: "title disabled", component: titleComponent, enabled: false, color: App.theme.colorTextDisabled },
            { tag: "caption enabled", component: captionComponent, enabled: true, color: App.theme.colorTextHighlighted },
            { tag: "caption disabled keeps its colour", component: captionComponent, enabled: false, color: App.theme.colorTextHighlighted },
        ]
    }

    function test_colourFollowsEnabled(data) {
        const item = create(data.component, { text: "Sidetone", enabled: data.enabled })
        compare(item.color, data.color)
    }

    function test_disablingAParentDisablesTheText() {
        const parentItem = createTemporaryObject(Qt.createComponent("data/EnabledHost.qml"), testCase)
        verify(parentItem)
        parentItem.enabled = false
        compare(parentItem.text.color, App.theme.colorTextDisabled)
        parentItem.enabled = true
        compare(parentItem.text.color, App.theme.colorText)
    }

    function test_fonts_data() {
        return [
            { tag: "text", component: textComponent, family: App.theme.fontFamily, size: App.theme.fontSize, weight: Font.Medium, spacing: App.theme.fontSpacing },
            { tag: "title", component: titleComponent, family: App.theme.fontFamily, size: App.theme.fontSizeTitle, weight: Font.Medium, spacing: App.theme.fontSpacing },
            { tag: "caption", component: captionComponent, family: App.theme.fontFamilyCaption, size: App.theme.fontSizeCaptionSmall, weight: Font.Normal, spacing: 0 },
        ]
    }

    function test_fonts(data) {
        const item = create(data.component, { text: "Mix" })
        compare(item.font.family, data.family)
        compare(item.font.pixelSize, data.size)
        compare(item.font.weight, data.weight)
        compare(item.font.letterSpacing, data.spacing)
    }

    function test_markupIsShownLiterally() {
        const plain = create(textComponent, { text: "<b>Bass</b>" })
        const bare = create(textComponent, { text: "Bass" })
        compare(plain.textFormat, Text.PlainText)
        verify(plain.contentWidth > bare.contentWidth + 20,
               "the tags take room: " + plain.contentWidth + " vs " + bare.contentWidth)
        compare(plain.verticalAlignment, Text.AlignVCenter)
    }

    function test_linesTakeExactly1_4TimesThePixelSize_data() {
        return [
            { tag: "text at 14", component: textComponent, pixelSize: 0, expected: 14 * 1.4 },
            { tag: "title at 16", component: titleComponent, pixelSize: 0, expected: 16 * 1.4 },
            { tag: "text resized to 30", component: textComponent, pixelSize: 30, expected: 30 * 1.4 },
        ]
    }

    function test_linesTakeExactly1_4TimesThePixelSize(data) {
        const item = create(data.component, { text: "One\nTwo\nThree" })
        if (data.pixelSize > 0)
            item.font.pixelSize = data.pixelSize
        compare(item.lineHeightMode, Text.FixedHeight)
        fuzzyCompare(item.lineHeight, data.expected, 0.001)
        compare(item.lineCount, 3)
        // Each line is laid out on the fixed grid, whatever the font's own metrics.
        fuzzyCompare(item.contentHeight, 3 * data.expected, 1.0)
    }

    function test_captionHasNoFixedLineGridOrPlainFormat() {
        const caption = create(captionComponent, { text: "L" })
        compare(caption.lineHeightMode, Text.ProportionalHeight)
        compare(caption.textFormat, Text.AutoText)
    }
}
