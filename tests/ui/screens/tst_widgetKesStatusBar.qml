import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The status bar: model, connection, battery and mute for each kind of device.
TestCase {
    id: testCase
    name: "WidgetKesStatusBar"
    width: 900
    height: 100
    visible: true
    when: windowShown

    Component {
        id: barComponent

        WidgetKesStatusBar {
            width: 900
        }
    }

    function init() {
        failOnWarning(/.?/)
    }

    function cleanup() {
        App.unplug()
    }

    function indicator(bar, name) {
        const found = findChild(bar, name)
        verify(found, name)
        return found
    }

    function test_devices_data() {
        return [
            { tag: "cable Kestrin", type: UIKestrinModel.Kestrin_1, category: UIModel.Hardware, dongle: false,
              fwOnly: false, model: "Kestrin", connection: "USB Wired", image: "cable.svg", full: true },
            { tag: "dongle Kestrin 2", type: UIKestrinModel.Kestrin_2, category: UIModel.Hardware, dongle: true,
              fwOnly: false, model: "Kestrin 2", connection: "USB Dongle", image: "dongle.svg", full: true },
            { tag: "cable Kestrin 2 ANC", type: UIKestrinModel.Kestrin_2_ANC, category: UIModel.Hardware,
              dongle: false, fwOnly: false, model: "Kestrin 2 ANC", connection: "USB Wired", image: "cable.svg",
              full: true },
            { tag: "dongle without headset", type: UIKestrinModel.Kestrin_2, category: UIModel.Hardware,
              dongle: true, fwOnly: true, connection: "USB Dongle (No Headset)", image: "dongle.svg", full: false },
            { tag: "cable firmware only", type: UIKestrinModel.Kestrin_2, category: UIModel.Hardware,
              dongle: false, fwOnly: true, connection: "USB Wired", image: "cable.svg", full: false },
            { tag: "simulated", type: UIKestrinModel.Kestrin_1, category: UIModel.Software, dongle: false,
              fwOnly: false, connection: "No Device Detected", image: "no-connection.svg", full: false }
        ]
    }

    function test_devices(data) {
        App.plugHeadset(data.type, data.category, data.dongle, data.fwOnly)
        const bar = createTemporaryObject(barComponent, testCase)
        verify(bar)
        const connection = indicator(bar, "connectionStatus")
        compare(connection.visible, true)
        compare(connection.text, data.connection)
        compare(connection.Accessible.name, data.connection)
        verify(connection.imageSource.toString().endsWith("images/status/" + data.image))
        compare(indicator(bar, "modelStatus").visible, data.full)
        if (data.full)
            compare(indicator(bar, "modelStatus").text, data.model)
        // The headset is polled once it is ready, so battery and mute show for full hardware.
        tryCompare(indicator(bar, "batteryStatus"), "visible", data.full)
        compare(indicator(bar, "muteStatus").visible, data.full)
        compare(bar.implicitHeight, 28)
    }

    function test_batteryAndMute() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const bar = createTemporaryObject(barComponent, testCase)
        const battery = indicator(bar, "batteryStatus")
        tryCompare(battery, "visible", true)
        // The scripted headset reports 80 per cent and an open microphone.
        tryCompare(battery, "text", "80%")
        verify(battery.imageSource.toString().endsWith("images/status/battery/middle.svg"))
        compare(battery.Accessible.name, "Battery level is 80%.")
        const mute = indicator(bar, "muteStatus")
        compare(mute.text, "Mute Off")
        compare(mute.Accessible.name, "Microphone is on.")
        verify(mute.imageSource.toString().endsWith("microphone-on.svg"))
    }

    function test_batteryLevels_data() {
        return [
            { tag: "100", battery: 100, level: "full" },
            { tag: "81", battery: 81, level: "full" },
            { tag: "80", battery: 80, level: "middle" },
            { tag: "31", battery: 31, level: "middle" },
            { tag: "30", battery: 30, level: "low" },
            { tag: "11", battery: 11, level: "low" },
            { tag: "10", battery: 10, level: "critical" },
            { tag: "0", battery: 0, level: "critical" }
        ]
    }

    function test_batteryLevels(data) {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false, { battery: data.battery })
        const bar = createTemporaryObject(barComponent, testCase)
        const battery = indicator(bar, "batteryStatus")
        tryCompare(battery, "visible", true)
        tryCompare(battery, "text", data.battery + "%")
        verify(battery.imageSource.toString().endsWith("images/status/battery/" + data.level + ".svg"))
    }

    function test_muted() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false, { micMute: true })
        const bar = createTemporaryObject(barComponent, testCase)
        const mute = indicator(bar, "muteStatus")
        tryCompare(mute, "visible", true)
        tryCompare(mute, "text", "Mute On")
        compare(mute.Accessible.name, "Microphone is muted.")
        verify(mute.imageSource.toString().endsWith("microphone-off.svg"))
    }
}
