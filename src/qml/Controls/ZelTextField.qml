import QtQuick
import QtQuick.Templates as T

// The single-line text input with a themed placeholder. It draws no frame: users add one.
T.TextField {
    id: control

    implicitWidth: contentWidth + leftPadding + rightPadding
    implicitHeight: contentHeight + topPadding + bottomPadding

    topPadding: 6
    bottomPadding: 6
    leftPadding: 8
    rightPadding: 8

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSize

    color: control.enabled ? App.theme.colorTextPreset : App.theme.colorTextDisabled
    placeholderTextColor: control.enabled ? App.theme.colorHint : App.theme.colorTextDisabled
    clip: true
    selectByMouse: true

    Text {
        id: placeholder
        objectName: "placeholder"
        x: control.leftPadding
        y: control.topPadding
        width: control.width - (control.leftPadding + control.rightPadding)
        height: control.height - (control.topPadding + control.bottomPadding)
        text: control.placeholderText
        textFormat: Text.PlainText
        font: control.font
        color: control.placeholderTextColor
        verticalAlignment: control.verticalAlignment
        renderType: control.renderType
        elide: Text.ElideRight
        visible: !control.length && !control.preeditText
                 && (!control.activeFocus || control.horizontalAlignment !== Qt.AlignHCenter)
    }

    ZelFocusRing {
        control: control
        spread: 0
        innerRadius: 4
    }
}
