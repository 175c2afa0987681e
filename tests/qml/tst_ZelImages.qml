import QtQuick
import QtQuick.Window
import QtTest
import "qrc:/qml/Velmor/Controls"

TestCase {
    id: testCase
    name: "ZelImages"
    width: 400
    height: 300
    visible: true
    when: windowShown

    Component { id: vectorComponent; ZelVectorImage {} }
    Component { id: highResComponent; ZelHighResImage {} }

    function test_vectorImageDefaults() {
        const image = createTemporaryObject(vectorComponent, testCase, { source: App.theme.resourcesPath + "images/edit.svg" })
        verify(image)
        compare(image.width, 20)
        compare(image.height, 20)
        compare(image.sourceSize, Qt.size(20, 20))
        compare(image.asynchronous, true)
        compare(image.smooth, false)
        compare(image.fillMode, Image.PreserveAspectFit)
        tryCompare(image, "status", Image.Ready)
    }

    function test_vectorImageIsRasterisedAtItsSize() {
        const image = createTemporaryObject(vectorComponent, testCase, { source: App.theme.resourcesPath + "images/edit.svg", width: 32, height: 32 })
        compare(image.sourceSize, Qt.size(32, 32))
        tryCompare(image, "status", Image.Ready)
        compare(image.implicitWidth, 32)
        compare(image.implicitHeight, 32)
    }

    function test_vectorImageGivenOnlyAWidthKeepsHeightAndAspect() {
        // A 2:1 picture in a 60 × 20 box fits by its height: 40 × 20, centred.
        const image = createTemporaryObject(vectorComponent, testCase, { source: Qt.resolvedUrl("data/wide.svg"), width: 60 })
        compare(image.height, 20)
        compare(image.sourceSize, Qt.size(60, 20))
        tryCompare(image, "status", Image.Ready)
        compare(image.paintedHeight, 20)
        compare(image.paintedWidth, 40)
    }

    function test_highResImageRequestsDevicePixels() {
        const image = createTemporaryObject(highResComponent, testCase, { width: 100, height: 50 })
        verify(image)
        const ratio = Screen.devicePixelRatio
        compare(image.sourceSize, Qt.size(100 * ratio, 50 * ratio))
        compare(image.asynchronous, true)
        compare(image.fillMode, Image.PreserveAspectFit)
        image.width = 40
        compare(image.sourceSize.width, 40 * ratio)
    }
}
