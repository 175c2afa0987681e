import QtQuick
import QtQuick.Layouts
import QtTest
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "ItemEqBand"
    width: 500
    height: 400
    visible: true
    when: windowShown

    Component { id: sliderComponent; ItemEqBandSlider { x: 10; y: 10; height: 300; frequency: 1000 } }
    Component {
        id: graduationComponent
        ItemVerticalGraduation { ticksCount: 25; majorIndices: [0, 6, 12, 18, 24] }
    }
    // As on the Equalizer page: slider, graduation, slider, all as high as the band area.
    Component {
        id: bandAreaComponent
        RowLayout {
            property alias leftSlider: leftSlider
            property alias graduation: graduation
            x: 10; y: 10; height: 320
            spacing: 0
            ItemEqBandSlider { id: leftSlider; Layout.fillHeight: true; frequency: 32 }
            ItemEqBandGraduation { id: graduation; Layout.fillHeight: true }
            ItemEqBandSlider { Layout.fillHeight: true; frequency: 64 }
        }
    }
    // The write-then-bind-again idiom of the page over a band gain.
    Component {
        id: boundComponent
        Item {
            property int gain: 0
            property alias slider: slider
            ItemEqBandSlider {
                id: slider
                x: 10; y: 10; height: 300
                value: parent.gain
                onMoved: {
                    parent.gain = value
                    value = Qt.binding(() => parent.gain)
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

    // The y, in the slider's own coordinates, of the handle's centre at `value`.
    function yForValue(slider, value) {
        const handleHeight = slider.handle.height
        const visual = 1 - (value - slider.from) / (slider.to - slider.from)
        return slider.topPadding + handleHeight / 2 + visual * (slider.availableHeight - handleHeight)
    }

    function test_valueText_data() {
        return [
            { tag: "zero", value: 0, text: "0", valueText: "0 dB" },
            { tag: "top", value: 12, text: "+12", valueText: "12 dB" },
            { tag: "bottom", value: -12, text: "-12", valueText: "-12 dB" },
            { tag: "positive", value: 3, text: "+3", valueText: "3 dB" },
            { tag: "negative", value: -5, text: "-5", valueText: "-5 dB" },
            { tag: "beyond the range", value: 20, text: "+12", valueText: "12 dB" },
        ]
    }

    function test_valueText(data) {
        const item = createTemporaryObject(sliderComponent, testCase, { value: data.value })
        compare(part(item, "valueLabel").text, data.text)
        compare(part(item, "slider").valueText, data.valueText)
    }

    function test_frequencyText_data() {
        return [
            { tag: "default", frequency: 0, text: "0Hz" },
            { tag: "32", frequency: 32, text: "32Hz" },
            { tag: "999", frequency: 999, text: "999Hz" },
            { tag: "1000", frequency: 1000, text: "1kHz" },
            { tag: "1100", frequency: 1100, text: "1.1kHz" },
            { tag: "1500", frequency: 1500, text: "1.5kHz" },
            { tag: "2500", frequency: 2500, text: "2.5kHz" },
            { tag: "16000", frequency: 16000, text: "16kHz" },
        ]
    }

    function test_frequencyText(data) {
        const item = createTemporaryObject(sliderComponent, testCase, { frequency: data.frequency })
        compare(part(item, "frequencyLabel").text, data.text)
    }

    function test_sliderSetup() {
        const item = createTemporaryObject(sliderComponent, testCase)
        const slider = part(item, "slider")
        compare(slider.orientation, Qt.Vertical)
        compare(slider.from, -12)
        compare(slider.to, 12)
        compare(slider.stepSize, 1)
        waitForRendering(item)
        const valueLabel = part(item, "valueLabel")
        const frequencyLabel = part(item, "frequencyLabel")
        fuzzyCompare(slider.y, valueLabel.height, 0.5)
        fuzzyCompare(frequencyLabel.y, slider.y + slider.height, 0.5)
        fuzzyCompare(frequencyLabel.y + frequencyLabel.height, 300, 0.5)
        fuzzyCompare(slider.x + slider.width / 2, item.width / 2, 0.5)
    }

    function test_accessibleText_data() {
        return [
            { tag: "negative", value: -12, name: "minus 12 dB, 1kHz" },
            { tag: "positive", value: 5, name: "5 dB, 1kHz" },
            { tag: "zero", value: 0, name: "0 dB, 1kHz" },
        ]
    }

    function test_accessibleText(data) {
        const item = createTemporaryObject(sliderComponent, testCase, { value: data.value })
        const slider = part(item, "slider")
        compare(slider.supportDescription, Qt.platform.os === "osx")
        if (Qt.platform.os === "osx") {
            compare(slider.Accessible.name, slider.valueText)
            compare(slider.Accessible.description, slider.valueText + ", 1kHz")
        } else {
            compare(slider.Accessible.name, data.name)
            compare(slider.Accessible.description, "")
        }
    }

    function test_onlyUserChangesEmitMoved() {
        const holder = createTemporaryObject(boundComponent, testCase)
        const item = holder.slider
        const slider = part(item, "slider")
        movedSpy.target = item
        holder.gain = 4
        compare(item.value, 4)
        compare(movedSpy.count, 0)
        waitForRendering(item)
        mouseClick(slider, slider.width / 2, yForValue(slider, -6.3))
        compare(movedSpy.count, 1)
        compare(holder.gain, -6)
        compare(part(item, "valueLabel").text, "-6")
        // A refused write comes back through the binding.
        holder.gain = 2
        compare(item.value, 2)
        compare(part(item, "valueLabel").text, "+2")
    }

    function test_pressedWhileHeld() {
        const item = createTemporaryObject(sliderComponent, testCase)
        const slider = part(item, "slider")
        waitForRendering(item)
        mousePress(slider, slider.width / 2, yForValue(slider, 0))
        compare(item.pressed, true)
        mouseRelease(slider, slider.width / 2, yForValue(slider, 0))
        compare(item.pressed, false)
    }

    function test_disabledHidesHandle() {
        const item = createTemporaryObject(sliderComponent, testCase, { enabled: false, value: 4 })
        compare(part(item, "slider").handle.visible, false)
        compare(part(item, "valueLabel").text, "+4")
    }

    function test_graduationTicks() {
        const scale = createTemporaryObject(graduationComponent, testCase)
        compare(scale.implicitWidth, 2 * App.theme.sliderScaleWidth)
        compare(scale.implicitHeight, 25 * App.theme.sliderScaleHeight)
        compare(scale.height, 75)
        compare(scale.pos, 3)
        const ticks = Array.from(scale.children).filter(c => c.color !== undefined)
        compare(ticks.length, 25)
        const longOnes = []
        for (let i = 0; i < ticks.length; ++i) {
            const tick = ticks[i]
            compare(tick.y, i * 3)
            compare(tick.height, App.theme.sliderScaleHeight)
            compare(tick.radius, App.theme.sliderRadius)
            compare(tick.color, App.theme.sliderBackgroundColor)
            compare(tick.x, (scale.width - tick.width) / 2)
            if (tick.width === 2 * App.theme.sliderScaleWidth)
                longOnes.push(i)
            else
                compare(tick.width, App.theme.sliderScaleWidth)
        }
        compare(longOnes, [0, 6, 12, 18, 24])
        scale.height = 195
        compare(scale.pos, (195 - 3) / 24)
        compare(ticks[24].y + ticks[24].height, 195, "the last tick touches the bottom edge")
    }

    function test_graduationLinesUpWithTheHandle() {
        const area = createTemporaryObject(bandAreaComponent, testCase)
        waitForRendering(area)
        const slider = part(area.leftSlider, "slider")
        const graduation = part(area.graduation, "graduation")
        compare(graduation.height > 0, true)
        const ticks = Array.from(graduation.children).filter(c => c.color !== undefined)
        const tickCentre = (i) => ticks[i].mapToItem(area, 0, ticks[i].height / 2).y
        const handleCentre = (value) => slider.mapToItem(area, 0, yForValue(slider, value)).y
        // Every whole dB has its tick, within a pixel of the handle's centre.
        for (let gain = 12; gain >= -12; gain -= 6)
            fuzzyCompare(tickCentre(12 - gain), handleCentre(gain), 1)
    }
}
