import QtQuick
import "qrc:/qml/Velmor/Controls"

// A parent whose enabled state the text inherits.
Item {
    property alias text: child
    width: 100
    height: 30
    ZelText { id: child; text: "Inherited" }
}
