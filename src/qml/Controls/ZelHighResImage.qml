import QtQuick
import QtQuick.Window

// Raster picture decoded at the screen's full resolution for the size it is shown. Users set
// both width and height.
Image {
    asynchronous: true
    fillMode: Image.PreserveAspectFit
    sourceSize: Qt.size(width * Screen.devicePixelRatio, height * Screen.devicePixelRatio)
}
