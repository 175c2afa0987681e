import QtQuick

// An underlined text link that opens its url in the system's browser.
ZelTextButton {
    id: control

    property string url: ""

    padding: 2
    font.underline: true

    onClicked: Qt.openUrlExternally(control.url)

    // Return and Enter follow a focused link, as in a browser, and go no further: a screen's
    // default button behind it is not pressed.
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    // Shows the pointing hand; refuses every press so the button itself handles it.
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onPressed: (mouse) => { mouse.accepted = false }
    }
}
