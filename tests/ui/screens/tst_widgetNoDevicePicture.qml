import QtQuick
import QtTest
import "qrc:/qml/Velmor/Widgets"

// The no-device picture is decoded only at the size it is shown, never at the file's own
// 1840 x 1312, also while the screen is being made and not yet laid out. A file of its own: the
// first picture this process decodes is the one under test, with nothing in Qt Quick's cache.
TestCase {
    id: testCase
    name: "WidgetNoDevicePicture"
    width: 1200
    height: 700
    visible: true
    when: windowShown

    Component {
        id: noDeviceComponent

        WidgetNoDevice {
            width: 1200
            height: 700
        }
    }

    function test_decodedAtShownSizeOnly() {
        App.recordImageDecodes()
        const screen = createTemporaryObject(noDeviceComponent, testCase)
        const picture = findChild(screen, "picture")
        verify(picture)
        tryCompare(picture, "status", Image.Ready)
        const shown = Qt.size(Math.round(picture.width * Screen.devicePixelRatio),
                              Math.round(picture.height * Screen.devicePixelRatio))
        const decodes = App.imageDecodes().filter(line => line.indexOf("no_device.png") >= 0)
        verify(decodes.length > 0, "the picture was decoded")
        for (const line of decodes) {
            const size = /scSize QSize\((-?\d+), (-?\d+)\)/.exec(line)
            verify(size, line)
            fuzzyCompare(Number(size[1]), shown.width, 1)
            fuzzyCompare(Number(size[2]), shown.height, 1)
        }
    }
}
