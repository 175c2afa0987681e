import QtQuick
import QtQuick.Window

Window {
    width: 1200
    height: 900
    visible: true
    color: "#0B0B0B"
    title: "Velmor controls"
}
