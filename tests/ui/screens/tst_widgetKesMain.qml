import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The headset screen: which page shows for each kind of device, the menu choosing the page,
// the firmware-update request and the relayed attention request.
TestCase {
    id: testCase
    name: "WidgetKesMain"
    width: 1200
    height: 700
    visible: true
    when: windowShown

    Component {
        id: screenComponent

        WidgetKesMain {
            width: 1200
            height: 700
            bottomLeftRadius: 8
            bottomRightRadius: 8
        }
    }

    SignalSpy {
        id: alertSpy

        signalName: "alertRequested"
    }

    function init() {
        failOnWarning(/.?/)
    }

    function cleanup() {
        alertSpy.target = null
        alertSpy.clear()
        App.unplug()
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name)
        verify(found, name)
        return found
    }

    function test_firstPage_data() {
        return [
            { tag: "full hardware", category: UIModel.Hardware, dongle: false, fwOnly: false, page: 0 },
            { tag: "simulated", category: UIModel.Software, dongle: false, fwOnly: false, page: 4 },
            { tag: "firmware only", category: UIModel.Hardware, dongle: true, fwOnly: true, page: 4 }
        ]
    }

    function test_firstPage(data) {
        App.plugHeadset(UIKestrinModel.Kestrin_2, data.category, data.dongle, data.fwOnly)
        const screen = createTemporaryObject(screenComponent, testCase)
        verify(screen)
        compare(child(screen, "pages").currentIndex, data.page)
        compare(child(screen, "menuItem" + data.page).checked, true)
        // The corners of the window continue through the menu and the status bar.
        compare(child(screen, "menu").bottomLeftRadius, 8)
        compare(child(screen, "statusBar").bottomRightRadius, 8)
    }

    function test_menuChoosesThePage() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const screen = createTemporaryObject(screenComponent, testCase)
        const pages = child(screen, "pages")
        mouseClick(child(screen, "menuItem1"))
        compare(pages.currentIndex, 1)
        compare(child(screen, "eqTab").visible, true)
        compare(child(screen, "soundTab").visible, false)
        mouseClick(child(screen, "menuItem4"))
        compare(pages.currentIndex, 4)
        compare(child(screen, "productSettingsTab").visible, true)
    }

    function test_startFwUpdateShowsTheSettingsPage() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const screen = createTemporaryObject(screenComponent, testCase)
        mouseClick(child(screen, "menuItem1"))
        screen.startFwUpdate()
        compare(child(screen, "pages").currentIndex, 4)
        compare(child(screen, "menuItem4").checked, true)
        compare(child(screen, "menuItem1").checked, false)
        // No update is offered: only the page changed.
        compare(child(screen, "popupLoader").status, Loader.Null)
    }

    function test_alertIsRelayed() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware)
        const screen = createTemporaryObject(screenComponent, testCase)
        alertSpy.target = screen
        child(screen, "productSettingsTab").alertRequested()
        compare(alertSpy.count, 1)
    }

    function test_allPagesLiveTogether() {
        App.plugHeadset(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false, { noiseReduction: 0 })
        const screen = createTemporaryObject(screenComponent, testCase)
        // The Sound and Microphone pages show the same noise-removal setting, shown or not.
        App.uiModel.settingsMediator.micFilter = 2
        compare(child(child(screen, "soundTab"), "micFilterGroup").currentIndex, 2)
        compare(child(child(screen, "microphoneTab"), "micFilterGroup").currentIndex, 2)
        compare(child(child(screen, "microphoneTab"), "micVolumeTile").visible, false)
    }

    function test_microphonePage_data() {
        return [
            { tag: "Kestrin", type: UIKestrinModel.Kestrin_1, category: UIModel.Hardware,
              title: "Noise Suppression", enabled: true },
            { tag: "Kestrin 2", type: UIKestrinModel.Kestrin_2, category: UIModel.Hardware,
              title: "DAMPRA - AI Noise Removal", enabled: true },
            { tag: "simulated", type: UIKestrinModel.Kestrin_2, category: UIModel.Software,
              title: "DAMPRA - AI Noise Removal", enabled: false }
        ]
    }

    function test_microphonePage(data) {
        App.plugHeadset(data.type, data.category)
        const screen = createTemporaryObject(screenComponent, testCase)
        const page = child(screen, "microphoneTab")
        // Only the owner can show it.
        child(screen, "menu").currentIndex = 2
        compare(page.visible, true)
        compare(page.enabled, data.enabled)
        compare(child(page, "noiseRemovalTitle").text, data.title)
        compare(child(page, "micVolumeTile").visible, false)
        // The noise-removal tile keeps half of the row.
        const tile = child(page, "noiseRemovalTile")
        verify(Math.abs(tile.width - (page.width - 80 - 12) / 2) <= 1, "tile width " + tile.width)
    }
}
