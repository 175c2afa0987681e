import QtQuick
import QtQuick.Layouts

import "../Controls"

// Tells the user that the application uses the Qt libraries under the LGPL version 3 and where
// to ask for an update of them. The addresses are links that open in the browser or mail
// program.
ZelPopupDialog {
    id: root

    focus: true
    closePolicy: ZelPopupDialog.CloseOnEscape

    // The popup's one child: it fills the content item, and its implicit size is the content's.
    ColumnLayout {
        anchors.fill: parent
        spacing: 32

        ColumnLayout {
            spacing: 16
            focus: true

            ZelTextCaption {
                objectName: "labelTitle"
                text: qsTr("Licenses")
                font.pixelSize: App.theme.fontSizeTitle
                font.bold: true
            }

            ZelText {
                id: labelText

                // Each arg() fills the lowest placeholder left: %2 the address, %3 and %4 the links.
                readonly property string mainText: qsTr("For Qt libraries update please contact %2Qt library version 6 %3 distributed under the GNU Lesser General Public License version 3 %4")
                readonly property string emailText: "support@velmor.com"
                readonly property string qtLinkText: "https://www.qt.io/"
                readonly property string licenseLinkText: "https://doc.qt.io/qt-6/lgpl.html"
                readonly property string hrefStyle: "<style type='text/css'>a:link{color:%1;}</style>"
                    .arg(App.theme.colorTextHighlighted)
                readonly property string hrefTag: "<a href='%1'>%1</a>"
                readonly property string email: "<a href='mailto:%1'>%1</a><br><br>".arg(emailText)
                readonly property string qtLink: hrefTag.arg(qtLinkText)
                readonly property string licenseLink: hrefTag.arg(licenseLinkText)

                objectName: "labelText"
                text: hrefStyle + mainText.arg(email).arg(qtLink).arg(licenseLink)
                color: App.theme.colorTextHighlighted
                font.pixelSize: App.theme.fontSizeTitle
                wrapMode: ZelText.WordWrap
                textFormat: Text.RichText
                Layout.preferredWidth: 552
                Accessible.role: Accessible.StaticText
                Accessible.name: mainText.arg(emailText).arg(qtLinkText).arg(licenseLinkText)

                onLinkActivated: (link) => Qt.openUrlExternally(link)

                HoverHandler {
                    objectName: "linkHover"
                    enabled: labelText.hoveredLink !== ""
                    cursorShape: Qt.PointingHandCursor
                }
            }
        }

        RowLayout {
            spacing: App.theme.layoutRowSpacingSmall

            Item {
                Layout.fillWidth: true
            }

            ZelButtonHidden {
                objectName: "closeButton"
                text: qsTr("Close")
                onClicked: root.close()
            }
        }
    }
}
