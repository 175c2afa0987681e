import QtQuick
import QtQuick.Window

// Raster picture decoded at the screen's full resolution for the size it is shown. Users set
// both width and height.
Image {
    asynchronous: true
    fillMode: Image.PreserveAspectFit
    sourceSize.width: Math.round(width * Screen.devicePixelRatio)
    sourceSize.height: Math.round(height * Screen.devicePixelRatio)
}
