import QtQuick
import QtQuick.Templates as T

// A plain text button without a background.
T.Button {
    id: control

    property alias color: label.color

    padding: 6
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSizeTitle

    contentItem: Text {
        id: label
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: control.enabled ? App.theme.colorTextHighlighted : App.theme.colorTextDisabled
    }

    ZelFocusRing {
        control: control
        innerRadius: 4
    }
}
