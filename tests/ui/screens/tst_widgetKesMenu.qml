import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The side menu: which entries a device can use, the Settings page forced for devices that
// cannot be configured, expanding and collapsing, and the Support link.
TestCase {
    id: testCase
    name: "WidgetKesMenu"
    width: 400
    height: 700
    visible: true
    when: windowShown

    Component {
        id: menuComponent

        WidgetKesMenu {
            height: 700
            width: implicitWidth
            currentIndex: 0
        }
    }

    function init() {
        failOnWarning(/.?/)
    }

    function cleanup() {
        App.animationsEnabled = true
        App.clearOpenedUrls()
        App.unplug()
    }

    function item(menu, name) {
        const found = findChild(menu, name)
        verify(found, name)
        return found
    }

    function test_devices_data() {
        return [
            { tag: "full hardware", category: UIModel.Hardware, dongle: false, fwOnly: false, index: 0, full: true },
            { tag: "hardware dongle", category: UIModel.Hardware, dongle: true, fwOnly: false, index: 0, full: true },
            { tag: "simulated", category: UIModel.Software, dongle: false, fwOnly: false, index: 4, full: false },
            { tag: "firmware only", category: UIModel.Hardware, dongle: true, fwOnly: true, index: 4, full: false }
        ]
    }

    function test_devices(data) {
        App.plugHeadset(UIKestrinModel.Kestrin_2, data.category, data.dongle, data.fwOnly)
        const menu = createTemporaryObject(menuComponent, testCase)
        verify(menu)
        compare(menu.currentIndex, data.index)
        compare(item(menu, "menuItem0").enabled, data.full)
        compare(item(menu, "menuItem1").enabled, data.full)
        compare(item(menu, "menuItem4").enabled, true)
        compare(item(menu, "supportItem").enabled, true)
        compare(item(menu, "menuItem" + data.index).checked, true)
        // Microphone and Head Tracking are never offered.
        compare(item(menu, "menuItem2").visible, false)
        compare(item(menu, "menuItem3").visible, false)
    }

    // The window builds the headset screen while the headset is still being set up, with no
    // headset model current yet: the menu keeps its first page until the headset is there, and
    // only then forces Settings if the headset cannot be configured.
    function test_builtAheadOfItsHeadset_data() {
        return [
            { tag: "full hardware", dongle: false, fwOnly: false, index: 0 },
            { tag: "firmware only", dongle: true, fwOnly: true, index: 4 }
        ]
    }

    function test_builtAheadOfItsHeadset(data) {
        App.unplug()
        const menu = createTemporaryObject(menuComponent, testCase)
        verify(menu)
        compare(menu.currentIndex, 0)
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware, data.dongle, data.fwOnly)
        compare(menu.currentIndex, data.index)
        compare(item(menu, "menuItem" + data.index).checked, true)
    }

    function test_selectingEntries() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const menu = createTemporaryObject(menuComponent, testCase)
        mouseClick(item(menu, "menuItem1"))
        compare(menu.currentIndex, 1)
        compare(item(menu, "menuItem1").checked, true)
        compare(item(menu, "menuItem0").checked, false)
        mouseClick(item(menu, "menuItem4"))
        compare(menu.currentIndex, 4)
        // A click on the checked entry changes nothing.
        mouseClick(item(menu, "menuItem4"))
        compare(menu.currentIndex, 4)
        compare(item(menu, "menuItem4").checked, true)
        // The owner may set the index; the entries follow.
        menu.currentIndex = 0
        compare(item(menu, "menuItem0").checked, true)
        compare(item(menu, "menuItem4").checked, false)
    }

    function test_settingsForcedWhenDeviceStopsBeingFullHardware() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const menu = createTemporaryObject(menuComponent, testCase)
        mouseClick(item(menu, "menuItem1"))
        compare(menu.currentIndex, 1)
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Software)
        compare(menu.currentIndex, 4)
        compare(item(menu, "menuItem1").enabled, false)
        // Becoming full hardware again does not leave the Settings page.
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        compare(menu.currentIndex, 4)
        compare(item(menu, "menuItem1").enabled, true)
    }

    function test_disabledEntryIgnoresClicks() {
        App.plugHeadset(UIKestrinModel.Kestrin_1, UIModel.Software)
        const menu = createTemporaryObject(menuComponent, testCase)
        mouseClick(item(menu, "menuItem0"))
        compare(menu.currentIndex, 4)
    }

    function test_support() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const menu = createTemporaryObject(menuComponent, testCase)
        mouseClick(item(menu, "supportItem"))
        compare(App.openedUrls.length, 1)
        verify(App.openedUrls[0].startsWith("https://"))
        verify(App.openedUrls[0].endsWith("/hc/en-us"))
        compare(menu.currentIndex, 0)
        compare(item(menu, "supportItem").checked, false)
        compare(item(menu, "menuItem0").checked, true)
    }

    function test_expandWithoutAnimation() {
        App.animationsEnabled = false
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const menu = createTemporaryObject(menuComponent, testCase)
        compare(menu.implicitWidth, 80)
        verify(item(menu, "logo").source.toString().endsWith("menu/logo.svg"))
        verify(item(menu, "arrow").source.toString().endsWith("arrow-right.svg"))
        compare(item(menu, "menuItem0").expanded, false)
        mouseClick(item(menu, "toggleRow"))
        compare(menu.expanded, true)
        compare(menu.implicitWidth, 280)
        compare(item(menu, "menuItem0").expanded, true)
        verify(item(menu, "logo").source.toString().endsWith("logo-wide.svg"))
        verify(item(menu, "arrow").source.toString().endsWith("arrow-left.svg"))
        mouseClick(item(menu, "toggleRow"))
        compare(menu.implicitWidth, 80)
        compare(item(menu, "menuItem0").expanded, false)
    }

    function test_collapseKeepsTextsUntilTheAnimationEnds() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const menu = createTemporaryObject(menuComponent, testCase)
        menu.expanded = true
        // Texts show from the first frame of expanding.
        compare(item(menu, "menuItem0").expanded, true)
        tryCompare(menu, "implicitWidth", 280, 5000)
        tryVerify(() => item(menu, "arrow").x === 24)
        menu.expanded = false
        compare(item(menu, "menuItem0").expanded, true)
        verify(item(menu, "logo").source.toString().endsWith("logo-wide.svg"))
        tryCompare(menu, "implicitWidth", 80, 5000)
        tryCompare(item(menu, "menuItem0"), "expanded", false)
        verify(item(menu, "logo").source.toString().endsWith("menu/logo.svg"))
    }

    function test_logoPosition() {
        App.animationsEnabled = false
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const menu = createTemporaryObject(menuComponent, testCase)
        const logo = item(menu, "logo")
        tryCompare(logo, "status", Image.Ready)
        compare(logo.x, 12)
        menu.expanded = true
        tryCompare(logo, "status", Image.Ready)
        tryCompare(logo, "x", 49)
    }
}
