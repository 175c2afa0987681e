import QtQuick

// Body text of the whole interface: plain text on a fixed line grid of 1.4 × the pixel size.
Text {
    color: enabled ? App.theme.colorText : App.theme.colorTextDisabled
    lineHeightMode: Text.FixedHeight
    lineHeight: font.pixelSize * 1.4
    verticalAlignment: Text.AlignVCenter
    textFormat: Text.PlainText
    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSize
    font.letterSpacing: App.theme.fontSpacing
    font.weight: Font.Medium
}
