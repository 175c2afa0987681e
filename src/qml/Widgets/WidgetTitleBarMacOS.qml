import QtQuick
import QtQuick.Layouts

import "../Controls"
import "../Items"

// The window's own title bar on macOS: a drag area and only the application buttons Settings and
// Notifications. Every press, double-click and click becomes one action() for the window.
ZelTitleBar {
    id: root

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    QtObject {
        id: internal

        readonly property var customImages: ["settings.svg", "bell.svg"]
        readonly property var customEvents: [ZelTitleBar.Settings, ZelTitleBar.Notifications]
        readonly property var names: [qsTr("Settings"), qsTr("Notifications")]
    }

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        MouseArea {
            objectName: "dragArea"
            acceptedButtons: Qt.LeftButton
            Layout.fillHeight: true
            Layout.fillWidth: true

            onPressed: root.action(ZelTitleBar.Move)
            onDoubleClicked: root.action(ZelTitleBar.Maximize)
        }

        RowLayout {
            spacing: 32
            Layout.fillHeight: true
            Layout.rightMargin: 16

            Repeater {
                model: internal.customImages

                delegate: ItemTitleButtonDelegate {
                    id: button

                    readonly property int event: internal.customEvents[index]

                    objectName: "button" + event
                    text: internal.names[index]
                    enabled: (root.enabledButtons & event) !== 0
                    visible: (root.visibleButtons & event) !== 0
                    Layout.preferredWidth: 16
                    Layout.preferredHeight: 16
                    Layout.alignment: Qt.AlignVCenter

                    onClicked: root.action(event)

                    ItemBadge {
                        objectName: "badge"
                        anchors.top: parent.top
                        anchors.right: parent.right
                        visible: button.event === ZelTitleBar.Notifications
                                 && App.notificationsMediator.newNotificationsCount !== 0
                    }
                }
            }
        }
    }
}
