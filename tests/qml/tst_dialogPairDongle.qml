import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Dialogs"
import "data"

TestCase {
    id: testCase
    name: "DialogPairDongle"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    FakeKestrinModel { id: model }

    Component { id: dialogComponent; DlgPairDongle {} }

    SignalSpy { id: ticks; signalName: "triggered" }

    property var dialog: null
    readonly property var fw: model.fwMediator

    // The dongle alone, open for firmware only.
    function init() {
        model.category = UIModel.Hardware
        fw.isDongle = true
        fw.isFwOnly = true
        App.uiModel = model
        dialog = createTemporaryObject(dialogComponent, testCase)
        ticks.clear()
        ticks.target = child("confirmTimer")
        App.clearCalls()
        openDialog()
    }

    function cleanup() {
        if (dialog && dialog.visible) {
            dialog.close()
            tryCompare(dialog, "visible", false)
        }
        App.uiModel = null
    }

    function openDialog() {
        dialog.open()
        tryCompare(dialog, "opened", true)
    }

    function child(name) {
        const item = findChild(dialog, name)
        verify(item, name)
        return item
    }

    function title() { return child("labelTitle").text }
    function text() { return child("labelText").text }

    // The headset now answers through the dongle.
    function pairHeadset() { fw.isFwOnly = false }

    function comparePage(titleText, bodyText, continueText, cancelShown) {
        compare(title(), titleText)
        compare(text(), bodyText)
        compare(child("labelText").visible, true)
        compare(child("progressBar").visible, false)
        compare(child("continueButton").text, continueText)
        compare(child("continueButton").visible, true)
        compare(child("continueButton").enabled, true)
        compare(child("cancelButton").visible, cancelShown)
    }

    function test_fullPassWithoutHeadsetEndsInError() {
        compare(App.calls, ["setSimulationAllowed(true)"])
        compare(child("image").visible, false)
        comparePage("Pair Dongle", "Verify that the headset is powered on and unplugged and that the dongle is connected to the PC, then click Confirm.", "Confirm", true)
        keyClick(Qt.Key_Return)
        comparePage("Pair Dongle", "Confirm the status indicator on the dongle is blinking.", "Confirm", true)
        compare(App.calls, ["setSimulationAllowed(true)", "pairing()"])
        keyClick(Qt.Key_Enter)
        comparePage("Pair Dongle", "Triple-tap the power button on the headset.", "Confirm", true)
        compare(App.calls.length, 3)

        dialog.timeout = 3
        mouseClick(child("continueButton"))
        compare(App.calls, ["setSimulationAllowed(true)", "pairing()", "pairing()", "pairing()"])
        const bar = child("progressBar")
        compare(bar.visible, true)
        compare(child("labelText").visible, false)
        compare(bar.value, 0)
        compare(bar.to, 3)
        compare(child("continueButton").visible, false)
        compare(child("cancelButton").visible, false)
        keyClick(Qt.Key_Return)
        compare(App.calls.length, 4)

        const values = []
        bar.valueChanged.connect(() => values.push(bar.value))
        child("confirmTimer").interval = 10
        tryCompare(child("labelTitle"), "text", "Dongle Pairing Failed", 5000)
        // Full after three ticks; the fourth shows the failure.
        compare(values, [1, 2, 3])
        compare(ticks.count, 4)
        comparePage("Dongle Pairing Failed", "Dongle pairing unsuccessful. Please try again.", "Try Again", true)
        compare(child("image").source, App.theme.resourcesPath + "images/dialog/error.svg")
        keyClick(Qt.Key_Return)
        compare(title(), "Pair Dongle")
        compare(child("image").visible, false)
        compare(child("progressBar").visible, false)
    }

    function test_headsetShowingUpWhileWaiting() {
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Return)
        compare(child("progressBar").visible, true)
        pairHeadset()
        ticks.wait(5000)
        comparePage("Dongle Pairing Complete", "Dongle pairing successful.", "Close", false)
        compare(child("image").source, App.theme.resourcesPath + "images/dialog/success.svg")
        compare(child("progressBar").value, 30)
        compare(child("confirmTimer").running, false)
        App.clearCalls()
        keyClick(Qt.Key_Return)
        tryCompare(dialog, "visible", false)
        compare(App.calls, ["setSimulationAllowed(false)"])
    }

    function test_alreadyPairedGoesStraightToSuccess_data() {
        return [ { tag: "on the first page", confirms: 1 }, { tag: "on the blink page", confirms: 2 } ]
    }

    function test_alreadyPairedGoesStraightToSuccess(data) {
        if (data.confirms === 2)
            keyClick(Qt.Key_Return)
        pairHeadset()
        keyClick(Qt.Key_Return)
        compare(title(), "Dongle Pairing Complete")
        compare(App.calls.filter(c => c === "pairing()").length, data.confirms - 1)
    }

    function test_escapeWhileWaitingClosesAndStopsTheWait() {
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Return)
        const timer = child("confirmTimer")
        verify(timer.running)
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(timer.running, false)
        compare(App.calls[App.calls.length - 1], "setSimulationAllowed(false)")

        openDialog()
        compare(title(), "Pair Dongle")
        compare(text(), "Verify that the headset is powered on and unplugged and that the dongle is connected to the PC, then click Confirm.")
        compare(child("continueButton").visible, true)
        compare(child("cancelButton").visible, true)
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Return)
        child("progressBar").value = 12
        keyClick(Qt.Key_Return)
        compare(child("progressBar").value, 0)
    }

    function test_cancelCloses() {
        mouseClick(child("cancelButton"))
        tryCompare(dialog, "visible", false)
        compare(App.calls, ["setSimulationAllowed(true)", "setSimulationAllowed(false)"])
    }
}
