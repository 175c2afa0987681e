import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The Settings page: version rows and sections for each kind of device, the sliders writing
// their settings, the change-log link and the firmware button's start.
TestCase {
    id: testCase
    name: "WidgetKesTabProductSettings"
    width: 1100
    height: 700
    visible: true
    when: windowShown

    readonly property var settings: App.uiModel ? App.uiModel.settingsMediator : null

    Component {
        id: tabComponent

        WidgetKesTabProductSettings {
            width: 1100
            height: 700
        }
    }

    function init() {
        failOnWarning(/.?/)
        App.notificationsMediator.clear()
        App.clearOpenedUrls()
    }

    function cleanup() {
        App.unplug()
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name)
        verify(found, name)
        return found
    }

    function createTab(type, category, dongle, fwOnly, values) {
        App.plugHeadset(type, category, dongle, fwOnly, values || {})
        const tab = createTemporaryObject(tabComponent, testCase)
        verify(tab)
        return tab
    }

    // ItemVersionRowLabel's Status values: Normal 0, Available 1, NotConnected 2.
    function test_devices_data() {
        return [
            { tag: "cable headset", category: UIModel.Hardware, dongle: false, fwOnly: false,
              headset: "1.2.3", headsetStatus: 0, dongleText: "Not Connected", dongleStatus: 2,
              pairing: false, settings: true },
            { tag: "dongle with headset", category: UIModel.Hardware, dongle: true, fwOnly: false,
              headset: "1.2.3", headsetStatus: 0, dongleText: "4.5.6", dongleStatus: 0,
              pairing: false, settings: true },
            { tag: "dongle without headset", category: UIModel.Hardware, dongle: true, fwOnly: true,
              headset: "Not Connected", headsetStatus: 2, dongleText: "4.5.6", dongleStatus: 0,
              pairing: true, settings: false },
            { tag: "simulated", category: UIModel.Software, dongle: false, fwOnly: false,
              headset: "1.2.3", headsetStatus: 0, dongleText: "Not Connected", dongleStatus: 2,
              pairing: false, settings: false }
        ]
    }

    function test_devices(data) {
        const tab = createTab(UIKestrinModel.Kestrin_2, data.category, data.dongle, data.fwOnly)
        const headset = child(tab, "headsetRow")
        const dongle = child(tab, "dongleRow")
        compare(headset.leftText, "Headset")
        compare(headset.rightText, data.headset)
        compare(headset.status, data.headsetStatus)
        compare(dongle.leftText, "Dongle")
        compare(dongle.rightText, data.dongleText)
        compare(dongle.status, data.dongleStatus)
        compare(child(tab, "pairingSection").visible, data.pairing)
        compare(child(tab, "deviceSettings").visible, data.settings)
        // No firmware image is offered here: no offer row, no firmware button.
        compare(child(tab, "offerRow").visible, false)
        compare(child(tab, "buttonUpdate").visible, false)
        compare(child(tab, "driverRow").visible, App.uiModel.fwMediator.canRemoveDriver)
        // Without an offer the notifications list is told nothing.
        compare(App.notificationsMediator.fwUpdateAvailableCalls.length, 0)
    }

    function test_voicePromptText_data() {
        return [
            { tag: "0", level: 0, text: "0%" },
            { tag: "1", level: 1, text: "13%" },
            { tag: "4", level: 4, text: "31%" },
            { tag: "7", level: 7, text: "50%" },
            { tag: "15", level: 15, text: "100%" }
        ]
    }

    function test_voicePromptText(data) {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false, { vpLevel: data.level })
        const slider = child(tab, "vpSlider")
        compare(slider.value, data.level)
        compare(slider.textValue, data.text)
        compare(slider.textFrom, "0")
        compare(slider.textTo, "100")
    }

    function test_autoShutdownText_data() {
        return [
            { tag: "5 min", seconds: 300, value: 0, text: "5 min" },
            { tag: "1.5 hr", seconds: 5400, value: 6, text: "1.5 hr" },
            { tag: "6 hr", seconds: 21600, value: 9, text: "6 hr" },
            { tag: "never", seconds: 0, value: 10, text: "Never" }
        ]
    }

    function test_autoShutdownText(data) {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false,
                              { autoPowerOff: data.seconds })
        const slider = child(tab, "shutdownSlider")
        compare(slider.value, data.value)
        compare(slider.textValue, data.text)
        compare(slider.textFrom, "5 min")
        compare(slider.textTo, "Never")
    }

    function test_slidersWriteAndFollow() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false,
                              { vpLevel: 5, autoPowerOff: 300 })
        const vp = child(child(tab, "vpSlider"), "slider")
        vp.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(settings.vpLevel, 6)
        settings.vpLevel = 2
        compare(vp.value, 2)

        const shutdown = child(child(tab, "shutdownSlider"), "slider")
        shutdown.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(settings.shutdownTime, UIKesSettingsMediator.Minutes_10)
        compare(child(tab, "shutdownSlider").textValue, "10 min")
        settings.shutdownTime = UIKesSettingsMediator.Hours_2
        compare(shutdown.value, UIKesSettingsMediator.Hours_2)
    }

    function test_refusedVoicePromptWrite() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false, { vpLevel: 5 })
        const vp = child(child(tab, "vpSlider"), "slider")
        App.setRefuseWrites(true)
        vp.forceActiveFocus()
        keyClick(Qt.Key_Left)
        tryCompare(settings, "vpLevel", 5, 5000)
        compare(vp.value, 5)
        compare(child(tab, "vpSlider").textValue, "38%")
    }

    function test_changeLog_data() {
        return [
            { tag: "Kestrin", type: UIKestrinModel.Kestrin_1, path: "/pages/kestrin-patch-notes" },
            { tag: "Kestrin 2", type: UIKestrinModel.Kestrin_2, path: "/pages/kestrin2-update-notes" },
            { tag: "Kestrin 2 ANC", type: UIKestrinModel.Kestrin_2_ANC, path: "/pages/kestrin2-update-notes" }
        ]
    }

    function test_changeLog(data) {
        const tab = createTab(data.type, UIModel.Hardware, false, false)
        mouseClick(child(tab, "changeLogLink"))
        compare(App.openedUrls.length, 1)
        verify(App.openedUrls[0].startsWith("https://"))
        verify(App.openedUrls[0].endsWith(data.path))
    }

    function test_startFwUpdateWithoutAnOffer() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false)
        const button = child(tab, "buttonUpdate")
        compare(button.enabled, false)
        compare(button.text, "Update")
        tab.startFwUpdate()
        // Nothing was opened.
        compare(child(tab, "popupLoader").status, Loader.Null)
        compare(App.notificationsMediator.fwUpdateAvailableCalls.length, 0)
    }

    function test_rollbackMenuWithoutVersions() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false)
        // No rollback list is known: a right click shows no menu.
        mouseClick(child(tab, "headsetRow"), child(tab, "headsetRow").width - 4, 12, Qt.RightButton)
        mouseClick(child(tab, "dongleRow"), child(tab, "dongleRow").width - 4, 12, Qt.RightButton)
        const menu = child(tab, "rollbackMenuLoader").item
        verify(menu)
        compare(menu.menuItems.length, 0)
        compare(menu.visible, false)
    }

    function test_factoryResetAfterConfirmation() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, false, false)
        mouseClick(child(tab, "resetButton"))
        const dialog = child(tab, "popupLoader").item
        verify(dialog)
        checkDeclared(child(tab, "popupLoader"))
        tryCompare(dialog, "opened", true)
        compare(App.headsetFactoryResets(), 0)
        dialog.positiveClicked()
        // Sent by the device model's worker.
        tryVerify(() => App.headsetFactoryResets() === 1)
        dialog.close()
        tryCompare(dialog, "visible", false)
        // Opening it again reuses the dialog.
        mouseClick(child(tab, "resetButton"))
        verify(child(tab, "popupLoader").item === dialog)
        tryCompare(dialog, "opened", true)
        dialog.close()
    }

    // The loader holds a dialog declared in the page, not one loaded by file name: only then
    // does a renamed dialog or a mistyped signal handler fail when the page loads.
    function checkDeclared(loader) {
        verify(loader.sourceComponent)
        compare(loader.source.toString(), "")
    }

    function test_pairReusesItsDialog() {
        // A dongle whose headset is not paired offers pairing.
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, true, true)
        const loader = child(tab, "popupLoader")
        mouseClick(child(tab, "pairButton"))
        const dialog = loader.item
        verify(dialog)
        checkDeclared(loader)
        tryCompare(dialog, "opened", true)
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        mouseClick(child(tab, "pairButton"))
        verify(loader.item === dialog, "the pairing dialog is reused")
        tryCompare(dialog, "opened", true)
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
    }
}
