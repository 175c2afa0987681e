import QtQuick
import QtQuick.Templates as T

// Horizontal or vertical slider: a track filled up to the position and a framed handle.
// "Along" is along the track, "across" at right angles to it.
T.Slider {
    id: control

    implicitWidth: Math.max(implicitBackgroundWidth, implicitHandleWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight, implicitHandleHeight + topPadding + bottomPadding)

    padding: App.theme.controlPadding
    snapMode: T.Slider.SnapAlways

    background: Rectangle {
        implicitWidth: control.horizontal ? 200 : App.theme.sliderBackgroundWidth
        implicitHeight: control.horizontal ? App.theme.sliderBackgroundWidth : 200
        x: control.horizontal ? control.leftPadding : control.leftPadding + (control.availableWidth - width) / 2
        y: control.horizontal ? control.topPadding + (control.availableHeight - height) / 2 : control.topPadding
        width: control.horizontal ? control.availableWidth : implicitWidth
        height: control.horizontal ? implicitHeight : control.availableHeight
        radius: App.theme.sliderRadius
        color: App.theme.sliderBackgroundColor

        Rectangle {
            objectName: "fill"
            // From the start of a horizontal track (its right end when mirrored), from the
            // bottom of a vertical one.
            x: control.horizontal && control.mirrored ? parent.width - width : 0
            y: control.horizontal ? 0 : parent.height - height
            width: control.horizontal ? control.position * parent.width : parent.width
            height: control.horizontal ? parent.height : control.position * parent.height
            radius: App.theme.sliderRadius
            color: App.theme.sliderBackgroundFilledColor
        }
    }

    // A frame of sliderHandleBorder around the inner handle.
    handle: Rectangle {
        implicitWidth: (control.horizontal ? App.theme.sliderHandleHeight : App.theme.sliderHandleWidth)
                       + 2 * App.theme.sliderHandleBorder
        implicitHeight: (control.horizontal ? App.theme.sliderHandleWidth : App.theme.sliderHandleHeight)
                        + 2 * App.theme.sliderHandleBorder
        x: control.horizontal ? control.leftPadding + control.visualPosition * (control.availableWidth - width)
                              : control.leftPadding + (control.availableWidth - width) / 2
        y: control.horizontal ? control.topPadding + (control.availableHeight - height) / 2
                              : control.topPadding + control.visualPosition * (control.availableHeight - height)
        visible: control.enabled
        color: App.theme.colorEmpty

        ZelFocusRing {
            control: control
            innerRadius: App.theme.sliderRadius
        }

        Rectangle {
            anchors.fill: parent
            anchors.margins: App.theme.sliderHandleBorder
            radius: App.theme.sliderRadius
            color: App.theme.sliderHandleColor

            Rectangle {
                anchors.centerIn: parent
                width: control.horizontal ? App.theme.sliderHandleMarkHeight : App.theme.sliderHandleMarkWidth
                height: control.horizontal ? App.theme.sliderHandleMarkWidth : App.theme.sliderHandleMarkHeight
                radius: App.theme.sliderRadius
                color: App.theme.sliderHandleMarkColor
            }
        }
    }
}
