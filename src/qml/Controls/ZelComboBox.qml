pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Templates as T

// Drop-down list. The popup opens directly below the box and is never taller than the
// window less a 6 px margin above and below; longer lists scroll.
T.ComboBox {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    baselineOffset: contentItem.y + contentItem.baselineOffset

    QtObject {
        id: internal

        // Room kept free for the arrow on its side, while it is shown.
        readonly property real indicatorRoom: control.indicator && control.indicator.visible
                                              ? control.indicator.width + control.spacing : 0
    }

    padding: 8
    leftPadding: 8 + (control.mirrored ? internal.indicatorRoom : 0)
    rightPadding: 8 + (control.mirrored ? 0 : internal.indicatorRoom)

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSize

    delegate: T.ItemDelegate {
        id: row

        required property var model
        required property int index

        width: ListView.view.width
        implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                                implicitContentWidth + leftPadding + rightPadding)
        implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                                 implicitContentHeight + topPadding + bottomPadding)
        padding: 8
        spacing: 8
        text: control.textRole ? (Array.isArray(control.model) ? model.modelData[control.textRole]
                                                               : model[control.textRole])
                               : model.modelData
        font.family: control.font.family
        font.pixelSize: control.font.pixelSize
        font.weight: control.currentIndex === index ? Font.DemiBold : Font.Normal
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled

        contentItem: Text {
            text: row.text
            // Entries are data, possibly from outside: never markup.
            textFormat: Text.PlainText
            font: row.font
            color: App.theme.colorTextPreset
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter
        }

        background: Rectangle {
            implicitWidth: 100
            implicitHeight: 32
            radius: 6
            color: row.highlighted ? App.theme.colorPresetActive : App.theme.colorPresetHovered
            border.width: 1
            border.color: App.theme.colorPresetHovered
        }
    }

    indicator: ZelVectorImage {
        x: control.mirrored ? control.padding : control.width - width - control.padding
        y: control.topPadding + (control.availableHeight - height) / 2
        width: 20
        height: 20
        source: App.theme.resourcesPath + "images/arrow-down.svg"
    }

    contentItem: T.TextField {
        implicitHeight: contentHeight + topPadding + bottomPadding
        text: control.editable ? control.editText : control.displayText

        enabled: control.editable
        autoScroll: control.editable
        readOnly: control.down
        inputMethodHints: control.inputMethodHints
        validator: control.validator
        selectByMouse: control.selectTextByMouse

        font: control.font
        color: App.theme.colorTextPreset
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        implicitWidth: 140
        implicitHeight: 40
        visible: !control.flat || control.down
        radius: 6
        color: App.theme.colorPresetActive
        border.width: 1
        border.color: App.theme.colorPresetHovered
    }

    popup: T.Popup {
        y: control.height
        width: control.width
        height: Math.min(contentItem.implicitHeight, control.Window.height - topMargin - bottomMargin)
        topMargin: 6
        bottomMargin: 6

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.delegateModel
            currentIndex: control.highlightedIndex
            highlightRangeMode: ListView.ApplyRange
            highlightMoveDuration: 0
        }

        background: Rectangle {
            radius: 6
            color: App.theme.colorPresetActive
            border.width: 1
            border.color: App.theme.colorPresetHovered
        }
    }

    ZelFocusRing {
        control: control
    }
}
