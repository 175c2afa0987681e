import QtQuick

// The small red dot that marks something new. Its user places it and shows or hides it.
Rectangle {
    property real size: 6

    width: size
    height: size
    // Layouts size their items by the implicit size.
    implicitWidth: size
    implicitHeight: size
    radius: size * 0.5
    color: "#FF2643"
}
