import QtQuick
import QtTest
import "qrc:/qml/Velmor/Dialogs"

TestCase {
    id: testCase
    name: "DialogFactoryReset"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    Component { id: dialogComponent; DlgFactoryReset {} }

    property var dialog: null
    property var events: []

    function init() {
        App.clearCalls()
        events = []
        dialog = createTemporaryObject(dialogComponent, testCase)
        dialog.positiveClicked.connect(() => App.record("positiveClicked"))
        dialog.open()
        tryCompare(dialog, "opened", true)
    }

    function child(name) {
        const item = findChild(dialog, name)
        verify(item, name)
        return item
    }

    function test_cancelAndEscapeBeforeConfirmOnlyClose_data() {
        return [ { tag: "Cancel", escape: false }, { tag: "Escape", escape: true } ]
    }

    function test_cancelAndEscapeBeforeConfirmOnlyClose(data) {
        compare(child("labelTitle").text, "Factory Reset")
        compare(child("labelText").text, "This will remove all personal configurations. This cannot be reversed.")
        compare(child("progressBar").visible, false)
        if (data.escape)
            keyClick(Qt.Key_Escape)
        else
            mouseClick(child("cancelButton"))
        tryCompare(dialog, "visible", false)
        compare(App.calls, [])
    }

    function test_countdownAfterConfirm() {
        const timer = child("confirmTimer")
        compare(timer.interval, 1000)
        mouseClick(child("confirmButton"))
        compare(App.calls, ["setSimulationAllowed(true)", "positiveClicked"])
        const bar = child("progressBar")
        compare(bar.visible, true)
        compare(bar.from, 0)
        compare(bar.to, 15)
        compare(bar.value, 0)
        compare(child("buttonRow").visible, false)
        compare(child("buttonRow").enabled, false)
        keyClick(Qt.Key_Escape)
        keyClick(Qt.Key_Return)
        compare(dialog.opened, true)

        // The steps themselves, faster than in real time.
        bar.valueChanged.connect(() => events.push("value " + bar.value))
        dialog.aboutToHide.connect(() => events.push("closing at " + bar.value))
        timer.interval = 10
        tryCompare(dialog, "visible", false, 5000)
        const expected = []
        for (let v = 1; v <= 15; ++v)
            expected.push("value " + v)
        expected.push("closing at 15")
        compare(events, expected)
        compare(App.calls, ["setSimulationAllowed(true)", "positiveClicked", "setSimulationAllowed(false)"])
        compare(timer.running, false)

        // Opened again: the question, not the bar.
        dialog.open()
        tryCompare(dialog, "opened", true)
        compare(child("progressBar").visible, false)
        compare(child("buttonRow").visible, true)
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
    }

    function test_destroyedDuringCountdownWithdrawsTheAllowance() {
        mouseClick(child("confirmButton"))
        dialog.destroy()
        tryCompare(App, "calls", ["setSimulationAllowed(true)", "positiveClicked", "setSimulationAllowed(false)"])
    }
}
