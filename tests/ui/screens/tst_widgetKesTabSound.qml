import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The Sound page: what each headset model shows, and every control writing its setting and
// then following the headset again (a refused write, a value polled from the headset).
TestCase {
    id: testCase
    name: "WidgetKesTabSound"
    width: 1100
    height: 700
    visible: true
    when: windowShown

    readonly property var settings: App.uiModel ? App.uiModel.settingsMediator : null

    SignalSpy {
        id: levelSpy

        signalName: "sidetoneLevelChanged"
    }

    Component {
        id: tabComponent

        WidgetKesTabSound {
            width: 1100
            height: 700
        }
    }

    function init() {
        failOnWarning(/.?/)
    }

    function cleanup() {
        levelSpy.target = null
        levelSpy.clear()
        App.unplug()
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name)
        verify(found, name)
        return found
    }

    // The button of a button group that shows `text`.
    function button(group, text) {
        const stack = [group]
        while (stack.length > 0) {
            const item = stack.pop()
            if (item !== group && item.text === text && item.checkable !== undefined)
                return item
            for (let i = 0; i < item.children.length; ++i)
                stack.push(item.children[i])
        }
        fail("no button " + text)
    }

    function createTab(type, category, values) {
        App.plugHeadset(type, category === undefined ? UIModel.Hardware : category, false, false, values || {})
        const tab = createTemporaryObject(tabComponent, testCase)
        verify(tab)
        return tab
    }

    function test_models_data() {
        return [
            { tag: "Kestrin", type: UIKestrinModel.Kestrin_1, limiter: true, anc: false, noise: "Noise Suppression" },
            { tag: "Kestrin 2", type: UIKestrinModel.Kestrin_2, limiter: false, anc: false,
              noise: "DAMPRA - AI Noise Removal" },
            { tag: "Kestrin 2 ANC", type: UIKestrinModel.Kestrin_2_ANC, limiter: false, anc: true,
              noise: "DAMPRA - AI Noise Removal" }
        ]
    }

    function test_models(data) {
        const tab = createTab(data.type)
        compare(tab.enabled, true)
        compare(child(tab, "volumeLimiterSwitch").visible, data.limiter)
        compare(child(tab, "ancColumn").visible, data.anc)
        compare(child(tab, "noiseRemovalTitle").text, data.noise)
        compare(child(tab, "sidetoneSwitch").visible, true)
        compare(child(tab, "gameChatDial").visible, true)
        if (data.anc) {
            const anc = child(tab, "ancGroup")
            verify(button(anc, "On"))
            verify(button(anc, "Off"))
            verify(button(anc, "Transparency"))
        }
    }

    function test_simulatedHeadsetDisablesEverything() {
        const tab = createTab(UIKestrinModel.Kestrin_1, UIModel.Software)
        compare(tab.enabled, false)
        const dial = child(tab, "gameChatDial")
        compare(dial.enabled, false)
        const before = settings.gameChatMix
        mouseClick(child(tab, "sidetoneSwitch"))
        compare(settings.sidetone, false)
        dial.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(settings.gameChatMix, before)
    }

    function test_gameChatDialWritesAndFollows() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, { gameChatMix: 10 })
        const dial = child(tab, "gameChatDial")
        compare(dial.value, 10)
        dial.forceActiveFocus()
        keyClick(Qt.Key_Right)
        compare(settings.gameChatMix, 11)
        compare(dial.value, 11)
        tryVerify(() => App.headsetGameChatMix() === 11, 5000, "the write reaches the headset")
        // The binding is back: a change from the device side moves the dial.
        settings.gameChatMix = 3
        compare(dial.value, 3)
    }

    function test_gameChatDialFollowsThePolledValue() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, { gameChatMix: 10 })
        const dial = child(tab, "gameChatDial")
        dial.forceActiveFocus()
        keyClick(Qt.Key_Left)
        compare(dial.value, 9)
        tryVerify(() => App.headsetGameChatMix() === 9, 5000)
        App.changeOnHeadset(17)
        tryCompare(dial, "value", 17, 5000)
    }

    function test_refusedWriteMovesTheControlBack() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, { sidetone: true, sidetoneLevel: 3 })
        const slider = child(child(tab, "sidetoneSlider"), "slider")
        compare(slider.value, 3)
        App.setRefuseWrites(true)
        levelSpy.target = settings
        slider.forceActiveFocus()
        keyClick(Qt.Key_Right)
        // Written, then restored when the headset refused it.
        tryCompare(levelSpy, "count", 2, 5000)
        compare(slider.value, 3)
        compare(settings.sidetoneLevel, 3)

        const sidetone = child(tab, "sidetoneSwitch")
        compare(sidetone.checked, true)
        mouseClick(sidetone)
        tryCompare(sidetone, "checked", true, 5000)
    }

    function test_sidetoneSwitchEnablesTheLevel() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, { sidetone: false })
        const sidetone = child(tab, "sidetoneSwitch")
        const level = child(tab, "sidetoneSlider")
        compare(sidetone.checked, false)
        compare(level.enabled, false)
        mouseClick(sidetone)
        compare(settings.sidetone, true)
        compare(sidetone.checked, true)
        compare(level.enabled, true)
        settings.sidetone = false
        compare(sidetone.checked, false)
        compare(level.enabled, false)
    }

    function test_volumeLimiter() {
        const tab = createTab(UIKestrinModel.Kestrin_1, UIModel.Hardware, { ampGain: 142 })
        const limiter = child(tab, "volumeLimiterSwitch")
        // Gain 142 at the start: no limiter.
        compare(limiter.checked, false)
        mouseClick(limiter)
        compare(settings.volumeLimiter, true)
        compare(limiter.checked, true)
        settings.volumeLimiter = false
        compare(limiter.checked, false)
    }

    function test_sidetonePercentage_data() {
        const shown = [0, 14, 28, 42, 57, 71, 85, 100]
        return shown.map((percent, level) => ({ tag: "level " + level, level: level, percent: percent }))
    }

    function test_sidetonePercentage(data) {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware,
                              { sidetone: true, sidetoneLevel: data.level, maxSidetoneLevel: 7 })
        const level = child(tab, "sidetoneSlider")
        compare(level.to, 7)
        compare(level.textValue, String(data.percent))
        compare(level.textFrom, "0")
        compare(level.textTo, "100")
    }

    function test_ancButtons() {
        const tab = createTab(UIKestrinModel.Kestrin_2_ANC)
        const anc = child(tab, "ancGroup")
        compare(anc.currentIndex, 0)
        mouseClick(button(anc, "Transparency"))
        compare(settings.ancIndex, 2)
        mouseClick(button(anc, "Off"))
        compare(settings.ancIndex, 1)
        compare(anc.currentIndex, 1)
        settings.ancIndex = 0
        compare(anc.currentIndex, 0)
        compare(button(anc, "On").checked, true)
    }

    function test_noiseRemovalButtons() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, { noiseReduction: 0 })
        const group = child(tab, "micFilterGroup")
        compare(group.currentIndex, 0)
        mouseClick(button(group, "High"))
        compare(settings.micFilter, 2)
        settings.micFilter = 1
        compare(group.currentIndex, 1)
        compare(button(group, "Low").checked, true)
    }

    function test_typedChatShare() {
        const tab = createTab(UIKestrinModel.Kestrin_2, UIModel.Hardware, { gameChatMix: 10 })
        const dial = child(tab, "gameChatDial")
        dial.value = 6.6
        dial.moved()
        compare(settings.gameChatMix, 6)
        compare(dial.value, 6)
    }
}
