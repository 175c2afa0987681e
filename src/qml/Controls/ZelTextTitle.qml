import QtQuick

ZelText {
    color: enabled ? App.theme.colorTitle : App.theme.colorTextDisabled
    font.pixelSize: App.theme.fontSizeTitle
}
