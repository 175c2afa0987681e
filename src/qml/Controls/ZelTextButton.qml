import QtQuick
import QtQuick.Templates as T

// A plain text button without a background.
T.Button {
    id: control

    property color color: control.enabled ? App.theme.colorTextHighlighted : App.theme.colorTextDisabled

    padding: 6
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSizeTitle

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: control.color
    }

    ZelFocusRing {
        control: control
        innerRadius: 4
    }
}
