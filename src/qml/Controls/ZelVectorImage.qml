import QtQuick

// Icon from a vector source, rasterised at the size it is shown.
Image {
    asynchronous: true
    fillMode: Image.PreserveAspectFit
    width: 20
    height: 20
    sourceSize.width: width
    sourceSize.height: height
    smooth: false
}
