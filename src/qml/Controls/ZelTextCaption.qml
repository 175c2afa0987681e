import QtQuick

// Caption in the display family. Keeps its colour when disabled; users override it.
Text {
    color: App.theme.colorTextHighlighted
    font.family: App.theme.fontFamilyCaption
    font.pixelSize: App.theme.fontSizeCaptionSmall
}
