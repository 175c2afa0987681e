pragma ComponentBehavior: Bound
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

        // A positioner, not a nested layout: the buttons are built one by one after the bar
        // itself (the bar is built asynchronously), and a nested layout that changes after its
        // own completion but before its parent layout's is left marked dirty by Qt 6.4, which
        // then ignores every later change of it and piles the buttons up on one spot.
        Row {
            objectName: "buttonRow"
            spacing: 32
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
                    width: 16
                    height: 16

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
