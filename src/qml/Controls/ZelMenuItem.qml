import QtQuick
import QtQuick.Templates as T

// An entry of the side navigation menu: an icon in an 80 px slot, and its text beside it
// while the menu is expanded. Entries of one parent are exclusive.
T.RadioButton {
    id: control

    property bool expanded: false
    required property string iconSource
    readonly property bool selected: control.pressed || control.checked

    property real topLeftRadius: 0
    property real topRightRadius: 0
    property real bottomLeftRadius: 0
    property real bottomRightRadius: 0

    implicitWidth: implicitContentWidth
    implicitHeight: implicitContentHeight

    padding: 0
    checkable: true
    indicator: null

    font.family: App.theme.fontFamilyCaption
    font.pixelSize: App.theme.fontSizeCaptionSmall

    Accessible.role: Qt.platform.os === "windows" ? Accessible.CheckBox : Accessible.RadioButton

    contentItem: Item {
        implicitWidth: 80
        implicitHeight: 64

        Item {
            anchors.fill: parent
            // Ends 16 px before the item's right edge (the icon slot's width - 72 + 8).
            anchors.rightMargin: 16
            clip: true

            // The icon slot.
            Item {
                width: 80
                height: parent.height

                ZelVectorImage {
                    objectName: "icon"
                    anchors.centerIn: parent
                    width: 32
                    height: 32
                    source: control.iconSource
                    opacity: control.enabled ? 1 : 0.5
                }
            }

            Text {
                objectName: "label"
                // 8 px before the icon slot's right end.
                x: 72
                anchors.verticalCenter: parent.verticalCenter
                visible: control.expanded
                text: control.text
                textFormat: Text.PlainText
                font: control.font
                horizontalAlignment: Text.AlignLeft
                color: !control.enabled ? App.theme.colorTextDisabled
                     : control.selected ? App.theme.colorTextHighlighted
                     : App.theme.colorTextPreset
            }
        }
    }

    background: RoundedRectangle {
        topLeftRadius: control.topLeftRadius
        topRightRadius: control.topRightRadius
        bottomLeftRadius: control.bottomLeftRadius
        bottomRightRadius: control.bottomRightRadius
        color: !control.enabled ? App.theme.colorPreset
             : control.hovered ? App.theme.colorMenuItemHovered
             : control.selected ? App.theme.colorPresetActive
             : App.theme.colorPreset
    }

    // Inside the entry: the menu clips what lies beyond it.
    ZelFocusRing {
        control: control
        spread: -2
        innerRadius: 0
    }
}
