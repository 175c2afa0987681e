import QtQuick
import QtTest

// What the harness promises every test file: the real theme behind App.theme, a switchable
// animation setting, the controls at their module location and captured URL opening.
TestCase {
    id: testCase
    name: "Harness"
    width: 200
    height: 200
    visible: true
    when: windowShown

    SignalSpy {
        id: animationsSpy
        target: App
        signalName: "animationsEnabledChanged"
    }

    function cleanup() {
        App.animationsEnabled = true
        App.clearOpenedUrls()
        animationsSpy.clear()
    }

    function test_themeIsTheDarkTheme() {
        compare(App.theme.resourcesPath, "qrc:/dark/")
        compare(App.theme.colorText, "#b7b7b7")
        compare(App.theme.fontFamily, "Inter")
    }

    function test_animationsCanBeSwitched() {
        compare(App.animationsEnabled, true)
        App.animationsEnabled = false
        compare(App.animationsEnabled, false)
        compare(animationsSpy.count, 1)
    }

    function test_openedUrlsAreCapturedNotOpened_data() {
        return [
            { tag: "https", url: "https://example.invalid/hc/en-us" },
            { tag: "mailto", url: "mailto:someone@example.invalid" },
            { tag: "empty", url: "" },
        ]
    }

    function test_openedUrlsAreCapturedNotOpened(data) {
        Qt.openUrlExternally(data.url)
        compare(App.openedUrls, [data.url])
    }

    function test_controlsAreServedFromTheModule() {
        const component = Qt.createComponent("qrc:/qml/Velmor/Controls/ZelDial.qml")
        verify(component.status !== Component.Error, component.errorString())
    }

    function test_applicationFontsAreRegistered() {
        verify(Qt.fontFamilies().indexOf(App.theme.fontFamily) >= 0)
        verify(Qt.fontFamilies().indexOf(App.theme.fontFamilyCaption) >= 0)
    }
}
