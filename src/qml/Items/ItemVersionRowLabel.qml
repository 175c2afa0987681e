import QtQuick
import QtQuick.Layouts

import "../Controls"

// One version line: what the version belongs to on the left, then at the right edge a status
// icon and the version (or a state) in the colour of `status`. A right click on the version
// asks for a menu.
Item {
    id: root

    enum Status {
        Normal = 0,
        Available = 1,
        NotConnected = 2
    }

    property alias leftText: leftTextBox.text
    property alias rightText: rightTextBox.text
    property int status: ItemVersionRowLabel.Normal

    signal menuRequested()

    implicitWidth: mainLayout.implicitWidth
    // The row is 24 high, more than one line of its texts.
    implicitHeight: Math.max(24, mainLayout.implicitHeight)

    QtObject {
        id: internal

        readonly property string imagePath: App.theme.resourcesPath + "images/status/connection/"
        readonly property var color: [App.theme.colorTextHighlighted, App.theme.colorStatusAvailable,
                                      App.theme.colorStatusNotConnected]
        readonly property var image: ["normal.svg", "available.svg", "not-connected.svg"]
        // A status outside the known values is shown as Normal.
        readonly property int shownStatus: root.status >= 0 && root.status < internal.image.length
                                           ? root.status : ItemVersionRowLabel.Normal
    }

    RowLayout {
        id: mainLayout

        anchors.fill: parent

        ZelText {
            id: leftTextBox
            objectName: "leftTextBox"

            Layout.alignment: Qt.AlignVCenter
            visible: text !== ""
            font.pixelSize: App.theme.fontSizeTitle
            color: App.theme.colorTextHighlighted
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Item {
            Layout.fillWidth: true
        }

        ZelVectorImage {
            id: image
            objectName: "image"

            width: 12
            height: 12
            Layout.preferredWidth: 12
            Layout.preferredHeight: 12
            Layout.alignment: Qt.AlignVCenter
            visible: internal.shownStatus !== ItemVersionRowLabel.Normal
            source: internal.imagePath + internal.image[internal.shownStatus]
        }

        ZelText {
            id: rightTextBox
            objectName: "rightTextBox"

            Layout.alignment: Qt.AlignVCenter
            font.pixelSize: App.theme.fontSizeTitle
            color: internal.color[internal.shownStatus]
            Accessible.role: Accessible.StaticText
            Accessible.name: text

            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.RightButton
                onClicked: root.menuRequested()
            }
        }
    }
}
