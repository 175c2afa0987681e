import QtQuick
import QtQuick.Window
import QtTest
import "qrc:/qml/Velmor/Controls"

// Runs with a device pixel ratio of 2 (the harness scales files named *_hidpi.qml).
TestCase {
    id: testCase
    name: "ZelImagesHiDpi"
    width: 400
    height: 300
    visible: true
    when: windowShown

    Component { id: highResComponent; ZelHighResImage {} }

    function test_highResImageRequestsTwiceItsSize() {
        compare(Screen.devicePixelRatio, 2)
        const image = createTemporaryObject(highResComponent, testCase, { width: 100, height: 50 })
        compare(image.sourceSize, Qt.size(200, 100))
    }
}
