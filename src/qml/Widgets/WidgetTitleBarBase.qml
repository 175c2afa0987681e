import QtQuick
import QtQuick.Layouts

import "../Controls"
import "../Items"

// What both title bars are made of: a drag area and one button per row of the bar's button table,
// closed up at the right end. Every press, double-click and click becomes one action() for the
// window.
ZelTitleBar {
    id: root

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    // The button table, in the order in which the buttons stand from left to right: the image
    // file, the TitleBarButton value and the accessible name of each.
    property var images: []
    property var events: []
    property var names: []

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
                model: root.images

                delegate: ItemTitleButtonDelegate {
                    id: button

                    readonly property int event: root.events[index]

                    objectName: "button" + event
                    text: root.names[index]
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
