import QtQuick
import QtQuick.Templates as T

// Flat progress bar: a rounded track with the filled part inside a 2 px margin.
T.ProgressBar {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    padding: 2

    background: Rectangle {
        implicitWidth: 320
        implicitHeight: 12
        radius: 4
        border.width: 0
        color: App.theme.colorProgressBarBackground
    }

    contentItem: Item {
        implicitWidth: 100
        implicitHeight: 8

        Rectangle {
            objectName: "bar"
            width: parent.width * control.position
            height: parent.height
            radius: 2
            color: App.theme.colorProgressBarIndicator
        }
    }
}
