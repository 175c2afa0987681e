import QtQuick
import QtQuick.Templates as T

// The figure in the middle of a dial: a text that looks like a label, lights up under the
// mouse and becomes an editable field after a double-click. It knows nothing of numbers:
// its user parses the text when the edit ends and binds `text` again.
MouseArea {
    id: root

    property bool highlighted: root.containsMouse
    property bool highlightEnabled: true
    property bool editable: true
    property alias validator: input.validator
    property alias text: input.text

    signal editingFinished()

    function finishEditing() {
        // Disabling the field takes its focus away, which makes the toolkit report the end
        // of the edit a second time; only the first report counts.
        if (!input.enabled)
            return
        input.enabled = false
        root.editingFinished()
    }

    hoverEnabled: true
    implicitWidth: input.contentWidth + input.leftPadding + input.rightPadding
    implicitHeight: input.contentHeight + input.topPadding + input.bottomPadding

    onDoubleClicked: {
        if (!root.editable)
            return
        input.enabled = true
        // What the user types next goes into the figure, without a further click.
        input.forceActiveFocus()
    }

    T.TextField {
        id: input

        anchors.fill: parent
        // Showing, not editing, until the user double-clicks: a disabled field lets every
        // mouse event fall through to the mouse area below it.
        enabled: false
        padding: 0
        background: null
        horizontalAlignment: TextInput.AlignHCenter
        verticalAlignment: TextInput.AlignVCenter
        selectByMouse: true
        color: root.enabled && root.highlighted && root.highlightEnabled
               ? App.theme.dialValueInputHoveredColor : App.theme.dialValueInputColor
        font.family: App.theme.fontFamilyCaption
        font.pixelSize: App.theme.fontSizeCaptionLarge
        font.bold: true

        onEditingFinished: root.finishEditing()
        // The toolkit reports no end of the edit when the field loses the focus while its
        // text is not acceptable (an emptied field); the edit ends all the same, so the field
        // never stays open, and the user restores what it shows.
        onActiveFocusChanged: {
            if (!activeFocus)
                root.finishEditing()
        }
    }
}
