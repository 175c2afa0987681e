import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Dialogs"
import "data"

TestCase {
    id: testCase
    name: "DialogAppUpdate"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    FakeAppMediator { id: appMediator }

    Component { id: dialogComponent; DlgAppUpdate {} }

    SignalSpy { id: ticks; signalName: "triggered" }

    property var dialog: null

    function init() {
        appMediator.updateStatus = UIAppMediator.CanDownload
        appMediator.proceedResult = true
        App.appMediator = appMediator
        App.clearCalls()
        dialog = createTemporaryObject(dialogComponent, testCase)
        ticks.clear()
        ticks.target = timer()
        dialog.open()
        tryCompare(dialog, "opened", true)
    }

    function cleanup() {
        timer().stop()
        App.appMediator = null
    }

    function child(name) {
        const item = findChild(dialog, name)
        verify(item, name)
        return item
    }

    function timer() { return child("updateTimer") }
    function title() { return child("labelTitle").text }
    function text() { return child("labelText").text }
    function icon() { return child("image").source.toString().replace(App.theme.resourcesPath, "") }

    function compareUpdating(progressText) {
        compare(title(), "App Update")
        compare(text(), "Update in progress. Do not close Velmor App during this process.")
        compare(child("progressBlock").visible, true)
        compare(child("labelProgress").text, progressText)
        compare(child("buttonRow").visible, false)
        verify(timer().running)
    }

    function test_intro() {
        compare(dialog.width, 600)
        compare(icon(), "images/dialog/update.svg")
        compare(title(), "App Update")
        compare(text(), "A new version of the Velmor App is available. Download and Install?")
        compare(child("progressBlock").visible, false)
        compare(child("cancelButton").visible, true)
        compare(child("continueButton").text, "Confirm")
        compare(timer().interval, 100)
        compare(timer().running, false)
    }

    function test_cancelAndEscapeCloseTheIntro_data() {
        return [ { tag: "Cancel", escape: false }, { tag: "Escape", escape: true } ]
    }

    function test_cancelAndEscapeCloseTheIntro(data) {
        if (data.escape)
            keyClick(Qt.Key_Escape)
        else
            mouseClick(child("cancelButton"))
        tryCompare(dialog, "visible", false)
        compare(App.calls, [])
    }

    function test_downloadThenInstall() {
        keyClick(Qt.Key_Return)
        compare(App.calls, ["proceedUpdate()"])
        compareUpdating("Downloading update...")
        // The buttons are hidden: the keys do nothing.
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Escape)
        compare(App.calls, ["proceedUpdate()"])
        compare(dialog.opened, true)

        appMediator.reportUpdateStatus(UIAppMediator.Checking)
        compareUpdating("Downloading update...")
        appMediator.reportUpdateStatus(UIAppMediator.CanInstall)
        compare(App.calls, ["proceedUpdate()", "proceedUpdate()"])
        compareUpdating("Installing update...")
        compare(timer().progress, 0)

        // A state reported while installing (None first) means the update went through.
        appMediator.reportUpdateStatus(UIAppMediator.CanDownload)
        compare(title(), "App Update Complete")
        compare(text(), "Velmor App has been successfully updated.")
        compare(icon(), "images/dialog/success.svg")
        compare(timer().running, false)
        compare(child("cancelButton").visible, false)
        keyClick(Qt.Key_Escape)
        compare(dialog.opened, true)
        keyClick(Qt.Key_Enter)
        tryCompare(dialog, "visible", false)

        dialog.open()
        tryCompare(dialog, "opened", true)
        compare(title(), "App Update")
        compare(child("cancelButton").visible, true)
    }

    function test_installerAlreadyStored() {
        appMediator.updateStatus = UIAppMediator.CanInstall
        keyClick(Qt.Key_Return)
        compare(App.calls, ["proceedUpdate()"])
        compareUpdating("Installing update...")
    }

    function test_installerThatDoesNotEndTheApplicationFailsAtTheNextTick() {
        appMediator.updateStatus = UIAppMediator.CanInstall
        keyClick(Qt.Key_Return)
        ticks.wait(5000)
        compare(title(), "App Update Failed")
        compare(timer().running, false)
    }

    function test_confirmWithoutAnOfferFails_data() {
        return [
            { tag: "None", status: UIAppMediator.None },
            { tag: "Checking", status: UIAppMediator.Checking },
            { tag: "Failed", status: UIAppMediator.Failed },
        ]
    }

    function test_confirmWithoutAnOfferFails(data) {
        appMediator.updateStatus = data.status
        keyClick(Qt.Key_Return)
        compare(App.calls, [])
        compare(title(), "App Update Failed")
        compare(timer().running, false)
    }

    function test_refusedProceedFails() {
        appMediator.proceedResult = false
        keyClick(Qt.Key_Return)
        compare(App.calls, ["proceedUpdate()"])
        compare(title(), "App Update Failed")
        compare(timer().running, false)
    }

    function test_failedDownloadEndsInRestart() {
        keyClick(Qt.Key_Return)
        appMediator.reportUpdateStatus(UIAppMediator.Failed)
        // Noticed at the next tick.
        ticks.wait(5000)
        compare(title(), "App Update Failed")
        compare(text(), "The app update failed. Verify your internet connection and try again.")
        compare(icon(), "images/dialog/error.svg")
        compare(child("continueButton").text, "Restart App")
        compare(child("cancelButton").visible, false)
        compare(timer().running, false)
        keyClick(Qt.Key_Escape)
        compare(dialog.opened, true)
        App.clearCalls()
        keyClick(Qt.Key_Return)
        compare(App.calls, ["exit(0)"])
    }

    function test_barFillsOverTwoHundredTicksAndStaysFull() {
        keyClick(Qt.Key_Return)
        const bar = child("progressBar")
        compare(bar.value, 0)
        ticks.wait(5000)
        compare(bar.value, 1 / 200)
        timer().interval = 1
        tryCompare(bar, "value", 1, 10000)
        const full = ticks.count
        tryVerify(() => ticks.count >= full + 10, 5000)
        compare(bar.value, 1)
        compareUpdating("Downloading update...")
    }
}
