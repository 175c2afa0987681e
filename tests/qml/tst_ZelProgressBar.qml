import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"

Item {
    id: root

    width: 400
    height: 100

    Component {
        id: barComponent

        ZelProgressBar {
            from: 0
            to: 100
        }
    }

    TestCase {
        name: "ZelProgressBar"
        when: windowShown

        // A warning (binding loop, type error, missing image) is a fault of the control.
        function init() {
            failOnWarning(/.?/)
        }

        function bar(progress) {
            const item = findChild(progress, "bar")
            verify(item)
            return item
        }

        function test_geometry_data() {
            return [
                { tag: "empty", value: 0, width: 0 },
                { tag: "half", value: 50, width: 158 },
                { tag: "full", value: 100, width: 316 },
                { tag: "beyond", value: 150, width: 316 },
            ]
        }

        function test_geometry(data) {
            const progress = createTemporaryObject(barComponent, root, { value: data.value })
            verify(progress)
            compare(progress.implicitWidth, 320)
            compare(progress.implicitHeight, 12)
            compare(progress.background.radius, 4)
            compare(progress.background.color, App.theme.colorProgressBarBackground)
            // The track's 2 px padding stays visible around the bar.
            compare(progress.contentItem.x, 2)
            compare(progress.contentItem.y, 2)
            compare(bar(progress).height, 8)
            compare(bar(progress).width, data.width)
            compare(bar(progress).radius, 2)
            compare(bar(progress).color, App.theme.colorProgressBarIndicator)
        }
    }
}
