import QtQuick
import QtQuick.Layouts

// The body the dialogs share: a title block (an optional 16 × 16 icon before the bold title,
// then the text), and a button row with the dialog's own leading items, a filler, the negative
// action and the positive action at the right end, with an optional block between the two (a
// progress bar, for example). Enter and Return click the positive button while the button row is
// shown, Escape the negative one where escapeClicksNegative is set (elsewhere the close policy
// decides); a click on a disabled button does nothing. The dialog decides what the buttons do through
// positiveButtonClicked() and negativeButtonClicked().
ZelPopupDialog {
    id: root

    property alias imageSource: image.source
    property alias title: labelTitle.text
    property alias text: labelText.text
    property alias textFormat: labelText.textFormat
    property alias positiveText: positiveButton.text
    property alias negativeText: negativeButton.text
    // Whether the negative button is shown; a hidden one can still be clicked by Escape.
    property bool hasNegative: true
    property bool escapeClicksNegative: false
    // A text wrapped at the frame's inner width (600 less the padding on either side) instead of
    // a text that widens the dialog.
    property bool wrapText: false
    property bool showText: true
    property real headerMaximumWidth: Infinity
    // Whether Enter, Return and Escape act at all.
    property bool keysEnabled: true
    // Items below the text, inside the title block (an input, for example).
    property alias headerData: header.data
    // Items between the title block and the button row, shown while bodyShown is set.
    property alias bodyData: body.data
    property bool bodyShown: false
    // Buttons between the negative and the positive one, shown while extraButtonsShown is set.
    property alias extraButtonData: extraButtons.data
    property bool extraButtonsShown: false
    // Items at the left end of the button row (a connection state, for example).
    property alias leadingButtonData: leading.data

    readonly property alias buttonRow: buttonRow
    readonly property alias positiveButton: positiveButton
    readonly property alias negativeButton: negativeButton

    signal positiveButtonClicked()
    signal negativeButtonClicked()

    focus: true

    // The popup's one child: it fills the content item, and its implicit size is the content's.
    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 32
        focus: true

        Keys.enabled: root.keysEnabled
        Keys.onEnterPressed: {
            if (buttonRow.visible)
                positiveButton.click()
        }
        Keys.onReturnPressed: {
            if (buttonRow.visible)
                positiveButton.click()
        }
        Keys.onEscapePressed: (event) => {
            if (root.escapeClicksNegative)
                negativeButton.click()
            else
                event.accepted = false
        }

        ColumnLayout {
            id: header

            spacing: 16
            Layout.preferredWidth: root.wrapText ? 552 : -1
            Layout.maximumWidth: root.headerMaximumWidth

            RowLayout {
                spacing: App.theme.layoutRowSpacingSmall

                ZelVectorImage {
                    id: image

                    objectName: "image"
                    visible: String(source) !== ""
                    width: 16
                    height: 16
                    Layout.preferredWidth: 16
                    Layout.preferredHeight: 16
                }

                ZelTextCaption {
                    id: labelTitle

                    objectName: "labelTitle"
                    font.pixelSize: App.theme.fontSizeTitle
                    font.bold: true
                }
            }

            ZelText {
                id: labelText

                objectName: "labelText"
                visible: root.showText
                color: App.theme.colorTextHighlighted
                font.pixelSize: App.theme.fontSizeTitle
                wrapMode: root.wrapText ? ZelText.WordWrap : ZelText.NoWrap
                Layout.fillWidth: root.wrapText
                Accessible.role: Accessible.StaticText
                // A screen reader reads the words, not the markup of a styled text.
                Accessible.name: textFormat === Text.StyledText ? text.replace(/<[^>]*>/g, " ") : text
            }
        }

        ColumnLayout {
            id: body

            spacing: 0
            visible: root.bodyShown
            Layout.fillWidth: true
        }

        RowLayout {
            id: buttonRow

            spacing: App.theme.layoutRowSpacingSmall

            RowLayout {
                id: leading

                spacing: App.theme.layoutRowSpacingSmall
            }

            Item {
                Layout.fillWidth: true
            }

            ZelButtonHidden {
                id: negativeButton

                objectName: "cancelButton"
                visible: root.hasNegative
                text: qsTr("Cancel")
                onClicked: root.negativeButtonClicked()
            }

            RowLayout {
                id: extraButtons

                spacing: App.theme.layoutRowSpacingSmall
                visible: root.extraButtonsShown
            }

            ZelButton {
                id: positiveButton

                objectName: "confirmButton"
                text: qsTr("Confirm")
                onClicked: root.positiveButtonClicked()
            }
        }
    }
}
