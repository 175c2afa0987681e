import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Qt5Compat.GraphicalEffects

import "../Controls"
import "WebAddress.js" as WebAddress

// The card of an image notification: the picture with rounded corners, 80 px high folded and
// 320 px high unfolded. Its controls (open the link, fold, close) show while the pointer is
// over the card.
Item {
    id: root

    property alias source: probe.source
    property string link: ""
    property bool isExpanded: false

    signal hide()

    implicitWidth: 320
    implicitHeight: root.isExpanded ? 320 : 80

    Behavior on implicitHeight {
        enabled: App.animationsEnabled

        SmoothedAnimation {
            duration: 200
        }
    }

    // Loads a new picture out of sight; the card takes it over once it has loaded (or failed),
    // so the previous picture stays on screen meanwhile instead of an empty card.
    Image {
        id: probe

        visible: false
        asynchronous: true
        fillMode: sourceItem.fillMode
        sourceSize: sourceItem.sourceSize

        function takeOver() {
            if (probe.status !== Image.Loading)
                sourceItem.source = probe.source
        }

        onStatusChanged: takeOver()
        // A picture already in the cache is ready without a change of status; the status is
        // that of the new source only after this handler.
        // The Qt 6.4 linter takes the global object's callLater for a property that may not be
        // a method; it is one.
        // qmllint disable
        onSourceChanged: Qt.callLater(takeOver)
        // qmllint enable
    }

    Image {
        id: sourceItem
        objectName: "sourceItem"

        // The card's width in device pixels: the picture is never decoded larger.
        readonly property int expectedSize: Math.trunc(width * Screen.devicePixelRatio)

        anchors.fill: parent
        // Drawn through the mask below.
        visible: false
        asynchronous: true
        fillMode: Image.PreserveAspectCrop
        sourceSize.width: expectedSize
        sourceSize.height: expectedSize
    }

    // Rounded corners: the picture shows only where the mask is opaque.
    OpacityMask {
        anchors.fill: sourceItem
        source: sourceItem
        maskSource: mask
    }

    Item {
        id: mask

        width: sourceItem.width
        height: sourceItem.height
        layer.enabled: true
        visible: false

        Rectangle {
            anchors.fill: parent
            anchors.margins: 1
            radius: 12
            color: "black"
        }
    }

    Item {
        objectName: "overlay"

        anchors.fill: parent
        visible: hover.hovered

        Rectangle {
            anchors.fill: parent
            color: "black"
            opacity: 0.75
            border.width: 1
            border.color: App.theme.colorPresetHovered
            radius: 12
        }

        ZelLinkButton {
            id: linkBtn
            objectName: "linkBtn"

            anchors.centerIn: parent
            visible: url !== ""
            url: WebAddress.isWebAddress(root.link) ? root.link.trim() : ""
            text: qsTr("Open in Browser")
            color: App.theme.colorStatusAvailable
            font.weight: Font.DemiBold
            font.underline: true
        }

        RowLayout {
            x: parent.width - width - 16
            y: 16
            spacing: 12

            ZelButtonIcon {
                objectName: "foldBtn"

                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                text: root.isExpanded ? qsTr("Collapse") : qsTr("Expand")
                source: App.theme.resourcesPath + "images/other/"
                        + (root.isExpanded ? "collapse.svg" : "expand.svg")

                onClicked: root.isExpanded = !root.isExpanded
            }

            ZelButtonIcon {
                objectName: "closeBtn"

                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                text: qsTr("Close")
                source: App.theme.resourcesPath + "images/close_hovered.svg"

                onClicked: root.hide()
            }
        }
    }

    HoverHandler {
        id: hover
    }
}
