import QtQuick
import QtQuick.Layouts

import "../Controls"
import "../Items"

// The window's own title bar: a drag area and the Settings, Notifications, Minimize, Maximize
// and Close buttons. Every press, double-click and click becomes one action() for the window.
ZelTitleBar {
    id: root

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    QtObject {
        id: internal

        readonly property var images: ["settings.svg", "bell.svg", "minimize.svg", "zoom.svg", "close.svg"]
        readonly property var events: [ZelTitleBar.Settings, ZelTitleBar.Notifications, ZelTitleBar.Minimize,
            ZelTitleBar.Maximize, ZelTitleBar.Close]
        readonly property var names: [qsTr("Settings"), qsTr("Notifications"), qsTr("Minimize"),
            qsTr("Maximize"), qsTr("Close")]
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
            Layout.alignment: Qt.AlignVCenter
            Layout.rightMargin: 16

            Repeater {
                model: internal.images

                delegate: ItemTitleButtonDelegate {
                    id: button

                    readonly property int event: internal.events[index]

                    objectName: "button" + event
                    text: internal.names[index]
                    enabled: (root.enabledButtons & event) !== 0
                    visible: (root.visibleButtons & event) !== 0
                    Layout.preferredWidth: 16
                    Layout.preferredHeight: 16

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
