import QtQuick
import QtQuick.Layouts
import QtQuick.Window

import "../Controls"
import "../Items"
import "WebLinks.js" as WebLinks

// Shown while no supported device is current: asks the user to connect one, with a picture of
// the headphone, the maker's logo and slogan, and the Support link.
RoundedRectangle {
    id: root

    color: App.theme.colorPreset
    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight

    QtObject {
        id: internal

        readonly property string supportUrl: WebLinks.supportUrl
        // The picture's own proportions (1840 x 1312); it covers the area without distortion.
        readonly property real pictureRatio: 1840 / 1312
    }

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        ColumnLayout {
            objectName: "leftColumn"
            spacing: 0
            Layout.fillHeight: true
            Layout.fillWidth: true
            Layout.maximumWidth: 280

            ZelVectorImage {
                objectName: "logo"
                source: App.theme.resourcesPath + "images/menu/logo-wide.svg"
                Layout.preferredWidth: 150
                Layout.preferredHeight: 24
                Layout.margins: 32
                Layout.alignment: Qt.AlignHCenter
            }

            Item {
                Layout.fillHeight: true
            }

            ZelMenuItem {
                objectName: "supportItem"
                text: qsTr("Support")
                iconSource: App.theme.resourcesPath + "images/menu/support.svg"
                expanded: true
                bottomLeftRadius: root.bottomLeftRadius
                checkable: false
                Layout.preferredHeight: 56
                Layout.fillWidth: true
                Accessible.role: Accessible.Link

                onClicked: Qt.openUrlExternally(internal.supportUrl)
            }
        }

        Rectangle {
            id: pictureArea

            objectName: "pictureArea"
            color: App.theme.colorEmpty
            Layout.fillWidth: true
            Layout.fillHeight: true

            ZelHighResImage {
                // The window's smallest size (its default) shows the picture at 918 x 655 at
                // most: a copy of about that size, drawn as it is, comes at once, in the frame
                // that lays the screen out. Anything larger is decoded to its size from the big
                // picture, in the background, as scaling while decoding costs ten times as much.
                readonly property bool fitsSmallCopy: sourceWanted.width <= 920 && sourceWanted.height <= 656
                readonly property size sourceWanted: Qt.size(Math.round(width * Screen.devicePixelRatio),
                                                             Math.round(height * Screen.devicePixelRatio))

                objectName: "picture"
                x: 0
                y: 0
                height: Math.max(pictureArea.height, pictureArea.width / internal.pictureRatio)
                width: height * internal.pictureRatio
                asynchronous: !fitsSmallCopy
                // The copy at its own size: decoded as it is, not scaled by a pixel or two.
                sourceSize.width: fitsSmallCopy ? 920 : sourceWanted.width
                sourceSize.height: fitsSmallCopy ? 656 : sourceWanted.height
                // Its source changes only with its size, which reloads it anyway (Qt 6.4 has no
                // retainWhileLoading). Asked for only once laid out: with no size yet the decode
                // size would be empty, which decodes the whole big picture.
                source: width <= 0 || height <= 0 ? ""
                      : App.theme.resourcesPath + "images/devices/" + (fitsSmallCopy ? "920x656/" : "") + "no_device.png"
            }

            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                Item {
                    Layout.fillWidth: true
                    Layout.fillHeight: true

                    ColumnLayout {
                        anchors.centerIn: parent
                        spacing: 8

                        ZelTextCaption {
                            objectName: "slogan"
                            text: qsTr("Sound that moves with you.")
                            font.pixelSize: App.theme.fontSizeTitle
                        }

                        ZelText {
                            text: qsTr("Please connect your device to begin.")
                            font.pixelSize: App.theme.fontSizeTitle
                        }
                    }
                }

                ItemStatus {
                    objectName: "status"
                    imageSource: App.theme.resourcesPath + "images/status/no-device.svg"
                    text: qsTr("Device Not Connected")
                    Layout.leftMargin: 16
                    Layout.bottomMargin: 8
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
    }
}
