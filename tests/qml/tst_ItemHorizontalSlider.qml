import QtQuick
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemHorizontalSlider"
    width: 400
    height: 300
    visible: true
    when: windowShown

    Component {
        id: sliderComponent
        ItemHorizontalSlider {
            x: 20; y: 20
            width: 300
            name: "Sidetone"
            textFrom: "0%"
            textTo: "100%"
            from: 0
            to: 15
        }
    }
    // As the tabs use it: the value and its text follow a setting, the move handler writes
    // the setting and binds the value again.
    Component {
        id: settingComponent
        Item {
            property int setting: 3
            property alias slider: slider
            ItemHorizontalSlider {
                id: slider
                x: 20; y: 20
                width: 300
                name: "Voice Prompts"
                from: 0
                to: 15
                value: parent.setting
                textValue: parent.setting + ""
                onMoved: {
                    parent.setting = value
                    value = Qt.binding(() => parent.setting)
                }
            }
        }
    }

    SignalSpy { id: movedSpy; signalName: "moved" }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, testCase.width - 1, testCase.height - 1)
    }

    function cleanup() {
        movedSpy.clear()
        movedSpy.target = null
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    // The x of the slider's own coordinates at which the handle's centre stands for `value`.
    function xForValue(slider, value) {
        const handleWidth = slider.handle.width
        const position = (value - slider.from) / (slider.to - slider.from)
        return slider.leftPadding + handleWidth / 2 + position * (slider.availableWidth - handleWidth)
    }

    function test_layout() {
        const item = createTemporaryObject(sliderComponent, testCase, { textValue: "40%" })
        waitForRendering(item)
        const nameLabel = part(item, "nameLabel")
        const valueLabel = part(item, "valueLabel")
        const slider = part(item, "slider")
        const fromLabel = part(item, "fromLabel")
        const toLabel = part(item, "toLabel")
        compare(nameLabel.text, "Sidetone")
        compare(valueLabel.text, "40%")
        compare(valueLabel.font.pixelSize, App.theme.fontSizeTitle)
        compare(valueLabel.font.bold, true)
        compare(nameLabel.x, 0)
        fuzzyCompare(valueLabel.x + valueLabel.width, 300, 0.5)
        compare(slider.width, 300)
        compare(slider.padding, 0)
        compare(slider.orientation, Qt.Horizontal)
        compare(slider.stepSize, 1)
        fuzzyCompare(slider.y, Math.max(nameLabel.height, valueLabel.height) + 8, 1)
        const rangeRow = fromLabel.parent
        fuzzyCompare(rangeRow.y, slider.y + slider.height + 4, 1)
        compare(fromLabel.x, 0)
        fuzzyCompare(toLabel.x + toLabel.width, 300, 0.5)
        for (const label of [fromLabel, toLabel]) {
            compare(label.color, App.theme.colorHint)
            compare(label.font.pixelSize, App.theme.fontSizeCaptionSmall)
        }
        compare(fromLabel.text, "0%")
        compare(toLabel.text, "100%")
        fuzzyCompare(item.implicitHeight, rangeRow.y + rangeRow.height, 1)
    }

    function test_disabledGreysTitleAndValueAndHidesHandle() {
        const item = createTemporaryObject(sliderComponent, testCase, { textValue: "1", enabled: false })
        compare(part(item, "nameLabel").color, App.theme.colorTextDisabled)
        compare(part(item, "valueLabel").color, App.theme.colorTextDisabled)
        compare(part(item, "slider").handle.visible, false)
        compare(part(item, "fromLabel").color, App.theme.colorHint)
        compare(part(item, "toLabel").color, App.theme.colorHint)
        item.enabled = true
        compare(part(item, "nameLabel").color, App.theme.colorTitle)
        compare(part(item, "valueLabel").color, App.theme.colorText)
        compare(part(item, "slider").handle.visible, true)
    }

    function test_settingValueDoesNotEmitMoved() {
        const item = createTemporaryObject(sliderComponent, testCase)
        movedSpy.target = item
        item.value = 9
        compare(part(item, "slider").value, 9)
        item.to = 5
        compare(item.value, 5)
        compare(movedSpy.count, 0)
    }

    function test_dragSnapsToWholeSteps_data() {
        return [
            { tag: "just below a step", target: 7.4, expected: 7 },
            { tag: "just above half", target: 7.6, expected: 8 },
            { tag: "start", target: 0, expected: 0 },
            { tag: "end", target: 15, expected: 15 },
        ]
    }

    function test_dragSnapsToWholeSteps(data) {
        const item = createTemporaryObject(sliderComponent, testCase, { value: 3 })
        const slider = part(item, "slider")
        movedSpy.target = item
        const y = slider.height / 2
        mousePress(slider, xForValue(slider, 3), y)
        mouseMove(slider, xForValue(slider, data.target), y)
        compare(item.pressed, true)
        mouseRelease(slider, xForValue(slider, data.target), y)
        compare(item.pressed, false)
        compare(item.value, data.expected)
        verify(movedSpy.count > 0 || data.expected === 3)
        // 16 positions from 0 to 15, whole numbers only.
        compare(Math.round(item.value), item.value)
    }

    function test_keysMoveAndSignal() {
        const item = createTemporaryObject(sliderComponent, testCase, { value: 3 })
        movedSpy.target = item
        part(item, "slider").forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(item.value, 4)
        compare(movedSpy.count, 1)
        keyClick(Qt.Key_Left)
        keyClick(Qt.Key_Left)
        compare(item.value, 2)
        compare(movedSpy.count, 3)
    }

    function test_writeThenBindAgainFollowsTheSetting() {
        const holder = createTemporaryObject(settingComponent, testCase)
        const item = holder.slider
        const slider = part(item, "slider")
        compare(item.value, 3)
        mouseClick(slider, xForValue(slider, 10), slider.height / 2)
        compare(holder.setting, 10)
        compare(part(item, "valueLabel").text, "10")
        // A value that comes back from elsewhere (a refused write) moves the slider back.
        holder.setting = 4
        compare(item.value, 4)
        compare(part(item, "valueLabel").text, "4")
    }

    function test_accessibleNameAndDescription() {
        const item = createTemporaryObject(sliderComponent, testCase, { textValue: "40%" })
        const slider = part(item, "slider")
        compare(slider.supportDescription, Qt.platform.os === "osx")
        compare(slider.accessibleDescription, "Sidetone 40%")
        compare(slider.Accessible.description, "Sidetone 40%")
        compare(slider.Accessible.name, Qt.platform.os === "osx" ? "40%" : "Sidetone 40%")
        item.textValue = "60%"
        compare(slider.Accessible.name, Qt.platform.os === "osx" ? "60%" : "Sidetone 60%")
    }
}
