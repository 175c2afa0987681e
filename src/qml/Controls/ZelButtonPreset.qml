import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T

// A checkable EQ preset button; when editable it offers a rename icon at its right end.
T.Button {
    id: control

    property bool editable: false
    readonly property bool selected: control.pressed || control.checked

    signal editClicked()

    checkable: true

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: App.theme.controlButtonHeight

    padding: App.theme.controlPadding
    leftPadding: 16
    rightPadding: 8

    font.family: App.theme.fontFamily
    font.pixelSize: App.theme.fontSize

    contentItem: RowLayout {
        spacing: 0

        Text {
            objectName: "label"
            Layout.fillWidth: true
            Layout.fillHeight: true
            text: control.text
            // Custom preset names come from the user and from EQ file names: never markup.
            textFormat: Text.PlainText
            font: control.font
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            color: !control.enabled ? App.theme.colorTextDisabled
                 : control.selected ? App.theme.colorTextHighlighted
                 : App.theme.colorTextPreset
        }

        ZelButtonIcon {
            objectName: "renameButton"
            Layout.alignment: Qt.AlignVCenter
            // Keeps its place while faded out, so the text does not jump on hover.
            visible: control.editable
            opacity: (control.hovered && control.enabled) || activeFocus ? 1 : 0
            source: App.theme.resourcesPath + "images/edit.svg"
            text: qsTr("Preset Rename")

            onClicked: {
                control.forceActiveFocus()
                control.editClicked()
            }
        }
    }

    background: Rectangle {
        radius: App.theme.controlRadius
        color: !control.enabled ? App.theme.colorEmpty
             : control.hovered ? App.theme.colorPresetHovered
             : control.selected ? App.theme.colorPresetActive
             : App.theme.colorPreset
    }

    ZelFocusRing {
        control: control
    }
}
