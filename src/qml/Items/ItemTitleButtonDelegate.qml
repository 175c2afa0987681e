import QtQuick

import "../Controls"

// One icon button of a title bar, made by a Repeater over the icon file names. It shows the
// file from the "regular/", "hovered/" or "pressed/" folder of the title-bar icons, as the
// button's state asks. Children added by the user (a badge) are drawn above the icon.
Item {
    id: root

    required property int index
    required property string modelData
    property alias text: buttonIcon.text
    readonly property bool hovered: buttonIcon.hovered

    signal clicked()

    QtObject {
        id: internal

        readonly property bool pressed: buttonIcon.pressed
        readonly property bool hovered: root.hovered
        // A disabled button under the pointer keeps its image at rest.
        readonly property string state: internal.pressed ? "pressed/"
                                      : internal.hovered && root.enabled ? "hovered/"
                                      : "regular/"
    }

    implicitWidth: buttonIcon.implicitWidth
    implicitHeight: buttonIcon.implicitHeight

    ZelButtonIcon {
        id: buttonIcon
        objectName: "buttonIcon"

        anchors.fill: parent
        source: App.theme.resourcesPath + "images/titlebar/" + internal.state + root.modelData

        onClicked: root.clicked()
    }
}
