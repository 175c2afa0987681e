import QtQuick

// An underlined text link that opens its url in the system's browser.
ZelTextButton {
    id: control

    property string url: ""

    padding: 2
    font.underline: true

    onClicked: Qt.openUrlExternally(control.url)

    // Shows the pointing hand; refuses every press so the button itself handles it.
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onPressed: (mouse) => { mouse.accepted = false }
    }
}
