import QtQuick
import QtQuick.Layouts
import Velmor.Enums 1.0

import "../Controls"
import "../Items"

// The notifications drawer: the maker's news and the application's own update notices as
// cards, newest first, with the count of new ones. Hiding a card hides its row; closing the
// drawer marks every listed row seen. The rows and their flags live in the notifications
// mediator; the drawer keeps nothing of its own.
ZelDrawer {
    id: root

    // The firmware notice's Update: the drawer has already begun to close.
    signal fwUpdateClicked()
    // The application notice's Update: the drawer stays open.
    signal appUpdateClicked()

    function forceFocus() {
        closeBtn.forceActiveFocus()
    }

    QtObject {
        id: internal

        readonly property var notificationsMediator: App.notificationsMediator
        readonly property var notificationsModel: internal.notificationsMediator
                                                       ? internal.notificationsMediator.notificationsModel : null
        readonly property int newsCount: internal.notificationsMediator
                                         ? internal.notificationsMediator.newNotificationsCount : 0
        readonly property int animationTime: 200
        // The rows of the model, kept from the model's own signals: a hidden list view
        // reports no change of its count, so its count cannot decide whether it is shown.
        property int rowCount: 0

        function updateRowCount() {
            internal.rowCount = internal.notificationsModel ? internal.notificationsModel.rowCount() : 0
        }

        onNotificationsModelChanged: internal.updateRowCount()

        function updateClicked(type) {
            if (type === UINotificationsModel.FwUpdate) {
                root.close()
                root.fwUpdateClicked()
            } else if (type === UINotificationsModel.AppUpdate) {
                root.appUpdateClicked()
            }
        }
    }

    padding: 16
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    // The width is the drawer's own. Stated explicitly, because a popup without a set width
    // is narrowed by Qt to the part inside the window, and the drawer starts beyond the
    // window's right edge.
    width: implicitWidth

    background: RoundedRectangle {
        color: App.theme.colorPreset
        // Meets the window's rounded corner.
        bottomRightRadius: 8
    }

    Connections {
        target: internal.notificationsModel

        function onRowsInserted() { internal.updateRowCount() }
        function onRowsRemoved() { internal.updateRowCount() }
        function onModelReset() { internal.updateRowCount() }
        function onLayoutChanged() { internal.updateRowCount() }
    }

    Component.onCompleted: internal.updateRowCount()

    // After the exit transition, whichever way the drawer was closed.
    onClosed: {
        if (internal.notificationsMediator)
            internal.notificationsMediator.markAsSeen()
    }

    // The drawer's one child: it fills the content item, and its implicit size is the content's.
    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.minimumWidth: 320
            spacing: 0

            ZelTextCaption {
                text: qsTr("Notifications")
                color: App.theme.colorText
                font.pixelSize: App.theme.fontSizeCaptionLarge
                font.bold: true
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Item {
                Layout.fillWidth: true
            }

            ZelButtonIcon {
                id: closeBtn
                objectName: "closeBtn"

                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                text: qsTr("Close")
                source: App.theme.resourcesPath + "images/"
                        + (closeBtn.hovered && !closeBtn.pressed ? "close_hovered.svg" : "close_regular.svg")

                onClicked: root.close()
            }
        }

        Item {
            objectName: "countSpacer"

            Layout.preferredHeight: 8
            visible: newNotificationsText.visible
        }

        ZelText {
            id: newNotificationsText
            objectName: "newNotificationsText"

            visible: internal.newsCount !== 0
            font.pixelSize: App.theme.fontSizeCaptionSmall
            text: qsTr("%1 new notification(s)").arg(internal.newsCount)
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Item {
            objectName: "listSpacer"

            Layout.preferredHeight: 24
            visible: internal.rowCount > 0
        }

        ColumnLayout {
            objectName: "emptyState"

            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0
            visible: internal.rowCount === 0

            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
            }

            ZelVectorImage {
                objectName: "bell"

                Layout.preferredWidth: 80
                Layout.preferredHeight: 80
                Layout.alignment: Qt.AlignHCenter
                source: App.theme.resourcesPath + "images/other/bell.svg"
            }

            ZelText {
                Layout.alignment: Qt.AlignHCenter
                text: qsTr("No Notifications")
                color: App.theme.colorHint
                font.pixelSize: App.theme.fontSizeCaptionSmall
            }

            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
            }
        }

        ListView {
            id: notificationsListView
            objectName: "notificationsListView"

            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: internal.rowCount > 0
            clip: true
            spacing: 12
            model: internal.notificationsModel

            delegate: Loader {
                id: row

                required property var model
                required property int typeRole
                required property string dataRole
                required property string linkRole
                required property var dateRole
                required property bool isSeenRole

                width: ListView.view ? ListView.view.width : 0
                sourceComponent: row.typeRole === UINotificationsModel.Image ? imageCard : textCard

                // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot
                // tell that these ids are this file's own.
                // qmllint disable unqualified
                Component {
                    id: textCard

                    ItemNotificationText {
                        text: row.dataRole
                        link: row.linkRole
                        isNew: !row.isSeenRole
                        isUpdate: row.typeRole === UINotificationsModel.FwUpdate
                                  || row.typeRole === UINotificationsModel.AppUpdate
                        // The row's day as the model gives it, month names in English. The date
                        // reaches QML as midnight UTC: formatted as a local time, west of UTC,
                        // it would show the day before.
                        date: row.dateRole ? Qt.formatDate(row.dateRole, "dd MMM yyyy") : ""

                        onHide: row.model.isHiddenRole = true
                        onUpdateClicked: internal.updateClicked(row.typeRole)
                    }
                }
                // qmllint enable unqualified

                // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot
                // tell that these ids are this file's own.
                // qmllint disable unqualified
                Component {
                    id: imageCard

                    ItemNotificationImage {
                        // Pictures come only over an encrypted connection; any other address
                        // leaves the card without a picture.
                        readonly property string tempUrl: row.dataRole

                        source: tempUrl.startsWith("https://") ? tempUrl : ""
                        link: row.linkRole

                        onHide: row.model.isHiddenRole = true
                    }
                }
                // qmllint enable unqualified
            }

            add: Transition {
                enabled: App.animationsEnabled

                NumberAnimation {
                    property: "x"
                    from: -root.width
                    duration: internal.animationTime
                }
            }

            remove: Transition {
                enabled: App.animationsEnabled

                NumberAnimation {
                    property: "x"
                    to: root.width
                    duration: internal.animationTime
                }
            }

            displaced: Transition {
                enabled: App.animationsEnabled

                SmoothedAnimation {
                    property: "y"
                    duration: internal.animationTime
                }
            }
        }
    }
}
