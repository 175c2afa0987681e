pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts

import "../Controls"
import "WebLinks.js" as WebLinks

// The consent gate: a summary of the legal and privacy terms with links to the full texts.
// "Continue" is offered only once "I agree" is ticked; the host stores the consent.
RoundedRectangle {
    id: root

    signal accepted()

    color: App.theme.colorLegalTermsBackground
    clip: true
    implicitWidth: mainLayout.implicitWidth + mainLayout.anchors.leftMargin + mainLayout.anchors.rightMargin
    implicitHeight: mainLayout.implicitHeight + mainLayout.anchors.topMargin + mainLayout.anchors.bottomMargin

    // "Continue" is the screen's default button: Enter and Return press it wherever the focus is
    // (nothing while "I agree" is not ticked), except on a link, which opens its page instead.
    // Space acts on the focused control itself.
    Keys.onReturnPressed: continueButton.click()
    Keys.onEnterPressed: continueButton.click()

    QtObject {
        id: internal

        readonly property var bullets: [
            qsTr("You must be 13 or older to use the Velmor App."),
            qsTr("We do not collect personal information."),
            qsTr("We only track app usage and connected Velmor product activity.")
        ]
    }

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        anchors.margins: 16
        spacing: 0

        Item {
            Layout.preferredWidth: 320
            Layout.preferredHeight: logoLayout.implicitHeight
            Layout.alignment: Qt.AlignVCenter

            ColumnLayout {
                id: logoLayout

                anchors.fill: parent
                spacing: 40

                ZelVectorImage {
                    source: App.theme.resourcesPath + "images/logo-terms.svg"
                    Layout.preferredWidth: 96
                    Layout.preferredHeight: 80
                    Layout.alignment: Qt.AlignHCenter
                }

                ZelText {
                    objectName: "slogan"
                    text: qsTr("Sound that moves with you.")
                    font.pixelSize: 32
                    wrapMode: ZelText.WordWrap
                    horizontalAlignment: Text.AlignHCenter
                    Layout.fillWidth: true
                }
            }
        }

        Item {
            Layout.preferredWidth: 480
            Layout.preferredHeight: termsLayout.implicitHeight
            Layout.alignment: Qt.AlignVCenter

            ColumnLayout {
                id: termsLayout

                anchors.fill: parent
                spacing: 32

                ColumnLayout {
                    spacing: 16
                    Layout.fillWidth: true

                    RowLayout {
                        spacing: 8

                        ZelVectorImage {
                            source: App.theme.resourcesPath + "images/info-terms.svg"
                        }

                        ZelTextCaption {
                            text: qsTr("Legal & Privacy Overview")
                            font.pixelSize: App.theme.fontSizeTitle
                            font.bold: true
                        }
                    }

                    ColumnLayout {
                        id: contentText

                        spacing: 0
                        Layout.fillWidth: true

                        ZelText {
                            text: qsTr("Before using the App, please review and agree to our Legal Terms.")
                            color: App.theme.colorTextHighlighted
                            font.pixelSize: App.theme.fontSizeTitle
                        }

                        // The bullets stand in a positioner inside the layout's cell: a Repeater
                        // directly inside a Quick Layout reads freed rows on Qt 6.4 when it
                        // rebuilds them.
                        Column {
                            id: bulletList

                            Layout.fillWidth: true

                            Repeater {
                                model: internal.bullets

                                delegate: RowLayout {
                                    id: bullet

                                    required property string modelData

                                    spacing: 10
                                    x: spacing
                                    width: bulletList.width - spacing

                                    ZelText {
                                        text: "•"
                                        color: App.theme.colorTextHighlighted
                                        font.pixelSize: App.theme.fontSizeTitle
                                        Layout.alignment: Qt.AlignTop
                                    }

                                    ZelText {
                                        text: bullet.modelData
                                        color: App.theme.colorTextHighlighted
                                        font.pixelSize: App.theme.fontSizeTitle
                                        wrapMode: ZelText.WordWrap
                                        Layout.alignment: Qt.AlignTop
                                        Layout.fillWidth: true
                                    }
                                }
                            }
                        }
                    }

                    RowLayout {
                        spacing: 40
                        Layout.preferredHeight: 24

                        ZelCheckBox {
                            id: agreeCheckBox

                            objectName: "agreeCheckBox"
                            // The first thing a keyboard user has to do here.
                            focus: true
                            text: qsTr("I agree")
                        }

                        ZelLinkButton {
                            objectName: "termsLink"
                            text: qsTr("Terms of service")
                            url: WebLinks.termsOfServiceUrl
                            Layout.alignment: Qt.AlignTop
                            Layout.preferredHeight: 24
                        }

                        ZelLinkButton {
                            objectName: "privacyLink"
                            text: qsTr("Privacy policy")
                            url: WebLinks.privacyPolicyUrl
                            Layout.alignment: Qt.AlignTop
                            Layout.preferredHeight: 24
                        }
                    }
                }

                ZelButton {
                    id: continueButton

                    objectName: "continueButton"
                    text: qsTr("Continue")
                    enabled: agreeCheckBox.checked
                    Layout.preferredWidth: 200

                    onClicked: root.accepted()
                }
            }
        }
    }
}
