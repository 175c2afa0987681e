import QtQuick
import QtQuick.Layouts

import "../Controls"

// The name field of the EQ rename dialog: a fixed prefix (the preset's base name), a divider
// and the editable custom name, in one framed box.
Rectangle {
    id: root

    property alias namePrefix: prefixLabel.text
    property alias text: input.text

    function setFocusToInput() {
        input.forceActiveFocus()
    }

    QtObject {
        id: internal

        readonly property color fillColor: !root.enabled ? App.theme.textInputBackgroundColorDisabled
                                         : hover.hovered ? App.theme.textInputBackgroundColorHovered
                                         : App.theme.textInputBackgroundColor
        // Focus wins over hover; a disabled box shows no frame.
        readonly property color borderColor: !root.enabled ? fillColor
                                           : input.activeFocus ? App.theme.textInputBorderColorActive
                                           : hover.hovered ? App.theme.textInputBorderColorHovered
                                           : App.theme.textInputBorderColor
    }

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight
    color: internal.fillColor
    border.width: 1
    border.color: internal.borderColor
    radius: App.theme.controlRadius

    HoverHandler {
        id: hover
    }

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        // Padded like the field, so both texts stand on one line.
        ZelText {
            id: prefixLabel
            objectName: "prefixLabel"

            Layout.fillHeight: true
            topPadding: input.topPadding
            bottomPadding: input.bottomPadding
            leftPadding: input.leftPadding
            rightPadding: input.rightPadding
        }

        Rectangle {
            objectName: "divider"

            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: internal.borderColor
        }

        ZelTextField {
            id: input
            objectName: "input"

            Layout.fillWidth: true
            placeholderText: qsTr("Enter name")
        }
    }
}
