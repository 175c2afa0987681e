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

    // The default window's content area: the picture is shown at about 918 x 655 there.
    Component {
        id: defaultWindowComponent

        WidgetNoDevice {
            width: 1198
            height: 654
        }
    }

    // At the default window's size the picture is the copy of about that size, decoded as it is,
    // and there as soon as it is asked for: no frame waits for a decoding thread.
    function test_defaultWindowShowsTheSmallCopyAtOnce() {
        App.recordImageDecodes()
        const screen = createTemporaryObject(defaultWindowComponent, testCase)
        const picture = findChild(screen, "picture")
        verify(picture)
        tryVerify(() => String(picture.source) !== "")
        compare(picture.status, Image.Ready)
        verify(String(picture.source).endsWith("/920x656/no_device.png"), picture.source)
        const decodes = App.imageDecodes().filter(line => line.indexOf("/920x656/no_device.png") >= 0)
        compare(decodes.length, 1, decodes.join("\n"))
        const size = /scSize QSize\((-?\d+), (-?\d+)\)/.exec(decodes[0])
        verify(size, decodes[0])
        compare(Number(size[1]), 920)
        compare(Number(size[2]), 656)
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
