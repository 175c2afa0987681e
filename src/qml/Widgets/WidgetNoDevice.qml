import QtQuick
import QtQuick.Layouts

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
                objectName: "picture"
                x: 0
                y: 0
                height: Math.max(pictureArea.height, pictureArea.width / internal.pictureRatio)
                width: height * internal.pictureRatio
                // Its source changes only with its size, which reloads it anyway (Qt 6.4 has no
                // retainWhileLoading). It is asked for only once laid out: with no size yet the
                // decode size would be empty, which decodes the whole 1840 x 1312 picture. Shown
                // at the default window's 920 x 656, it comes from a copy of that size, decoded as
                // it is: scaling the large one down while decoding is ten times the work.
                source: width <= 0 || height <= 0 ? ""
                      : App.theme.resourcesPath + "images/devices/"
                        + (sourceSize.width <= 920 && sourceSize.height <= 656 ? "920x656/" : "") + "no_device.png"
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
