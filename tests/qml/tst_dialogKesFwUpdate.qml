import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Dialogs"
import "data"

TestCase {
    id: testCase
    name: "DialogKesFwUpdate"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    FakeAppMediator { id: appMediator }
    FakeKestrinModel { id: model }

    Component { id: dialogComponent; DlgKesFwUpdate {} }

    SignalSpy { id: alertSpy; signalName: "alertRequested" }

    property var dialog: null
    readonly property var fw: model.fwMediator

    // A real dongle with its headset behind it; versions differ from the offered one.
    function init() {
        appMediator.closingBlocks = 0
        model.category = UIModel.Hardware
        model.statusMediator.batteryPercentage = 100
        fw.status = UIKesFwMediator.NotStarted
        fw.progress = 0
        fw.fwVer = "1.0.0"
        fw.dongleFwVer = "1.0.0"
        fw.availableFw = "2.0.0"
        fw.isDongle = true
        fw.isFwOnly = false
        fw.isRollback = false
        fw.installResult = UIKesFwMediator.Started
        fw.canInstallFw = true
        App.uiModel = model
        App.appMediator = appMediator
        App.clearCalls()
        dialog = createTemporaryObject(dialogComponent, testCase)
        alertSpy.clear()
        alertSpy.target = dialog
    }

    function cleanup() {
        if (dialog && dialog.visible) {
            dialog.close()
            tryCompare(dialog, "visible", false)
        }
        App.uiModel = null
        App.appMediator = null
    }

    function openDialog() {
        dialog.open()
        tryCompare(dialog, "opened", true)
    }

    function child(name) {
        const item = findChild(dialog.contentItem, name)
        verify(item, name)
        return item
    }

    function title() { return child("labelTitle").text }
    function text() { return child("labelText").text }
    function icon() { return child("image").source.toString().replace(App.theme.resourcesPath, "") }

    function compareConnection(connected, device) {
        const label = child("labelConnection")
        verify(label.visible)
        compare(label.text, connected ? device + " Connected" : "Awaiting " + device + " Connection")
        compare(label.color, connected ? App.theme.colorTextSuccess : App.theme.colorTextWarning)
        compare(child("imageConnection").source.toString(),
                App.theme.resourcesPath + "images/" + (connected ? "cable.svg" : "cable_warn.svg"))
        compare(child("continueButton").enabled, connected)
    }

    // The headset on its cable takes the dongle's place.
    function plugHeadset() {
        fw.isDongle = false
        model.category = UIModel.Hardware
    }

    function test_showingHoldsTheClosingBlockAndAllowsSimulation() {
        openDialog()
        compare(App.calls, ["addClosingBlock()", "setSimulationAllowed(true)"])
        verify(appMediator.isClosingBlocked())
        compare(title(), "Firmware Update")
        compare(icon(), "images/dialog/update.svg")
        compare(dialog.width, 600)
        App.clearCalls()
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(App.calls, ["removeClosingBlock()", "setSimulationAllowed(false)"])
        verify(!appMediator.isClosingBlocked())
    }

    function test_destroyedWhileShownReleasesTheClosingBlock() {
        openDialog()
        verify(appMediator.isClosingBlocked())
        dialog.destroy()
        tryVerify(() => !appMediator.isClosingBlocked())
        compare(App.calls[App.calls.length - 1], "setSimulationAllowed(false)")
        dialog = null
    }

    function test_updateOfDongleThenHeadset() {
        openDialog()
        compareConnection(true, "Dongle")
        compare(child("dontHaveDongleButton").visible, true)
        compare(child("dontHaveDongleButton").enabled, false)
        compare(child("cancelButton").text, "Cancel")
        compare(child("continueButton").text, "Confirm")
        App.clearCalls()

        keyClick(Qt.Key_Return)
        compare(App.calls, ["installFw(false)"])
        compare(title(), "Updating Dongle")
        compare(text(), "Do not disconnect the dongle during this process.")
        compare(child("progressBar").visible, true)
        compare(child("buttonRow").visible, false)
        fw.progress = 0.25
        compare(child("progressBar").value, 0.25)
        // No way out while installing.
        keyClick(Qt.Key_Escape)
        keyClick(Qt.Key_Return)
        compare(dialog.opened, true)
        compare(title(), "Updating Dongle")
        compare(App.calls, ["installFw(false)"])

        fw.status = UIKesFwMediator.Updating
        fw.status = UIKesFwMediator.Applying
        compare(alertSpy.count, 0)
        fw.status = UIKesFwMediator.Success
        compare(alertSpy.count, 1)
        compare(title(), "Connect Headset")
        compare(text(), "Connect your headset via USB cable.")
        compare(child("progressBar").visible, false)
        // Still the dongle: the headset is awaited.
        compareConnection(false, "Headset")
        compare(child("cancelButton").visible, true)
        keyClick(Qt.Key_Return)
        compare(title(), "Connect Headset")

        plugHeadset()
        compareConnection(true, "Headset")
        compare(child("cancelButton").visible, false)
        keyClick(Qt.Key_Escape)
        compare(dialog.opened, true)

        App.clearCalls()
        keyClick(Qt.Key_Enter)
        compare(App.calls, ["installFw(false)"])
        compare(title(), "Updating Headset")
        compare(text(), "Do not disconnect the headset during this process")
        fw.status = UIKesFwMediator.Success
        compare(alertSpy.count, 2)
        compare(title(), "Firmware Update Complete")
        compare(text(), "Firmware successfully updated.")
        compare(icon(), "images/dialog/success.svg")
        compare(child("cancelButton").visible, false)
        compare(child("continueButton").text, "Confirm")
        keyClick(Qt.Key_Escape)
        compare(dialog.opened, true)
        keyClick(Qt.Key_Return)
        tryCompare(dialog, "visible", false)
        verify(!appMediator.isClosingBlocked())
    }

    function test_matchingVersionsSkipTheirHalf() {
        fw.dongleFwVer = "2.0.0"
        fw.fwVer = "2.0.0"
        // Skipping a half checks no battery.
        model.statusMediator.batteryPercentage = 5
        openDialog()
        App.clearCalls()
        keyClick(Qt.Key_Return)
        compare(title(), "Connect Headset")
        plugHeadset()
        keyClick(Qt.Key_Return)
        compare(title(), "Firmware Update Complete")
        compare(App.calls, [])
        compare(alertSpy.count, 0)
    }

    function test_headsetWithoutDongle() {
        plugHeadset()
        openDialog()
        compareConnection(false, "Dongle")
        App.clearCalls()
        keyClick(Qt.Key_Return)
        compare(title(), "Firmware Update")
        const skip = child("dontHaveDongleButton")
        verify(skip.enabled)
        mouseClick(skip)
        compare(title(), "Skipping Dongle Update")
        compare(text(), "<b>Note</b>: If using a dongle in the future, dongle and headset firmware must match.")
        compare(child("labelConnection").visible, false)
        compare(child("continueButton").text, "Confirm")
        compare(child("continueButton").enabled, true)
        compare(child("cancelButton").visible, true)
        keyClick(Qt.Key_Return)
        compare(title(), "Connect Headset")
        compare(text(), "This option allows you to update your headphones if you're not using a dongle. To proceed, plug in your headset and click Confirm.")
        compareConnection(true, "Headset")
        compare(child("cancelButton").visible, false)
        keyClick(Qt.Key_Return)
        compare(App.calls, ["installFw(false)"])
        compare(title(), "Updating Headset")
    }

    function test_batteryThreshold_data() {
        return [
            { tag: "20 passes", battery: 20, low: false },
            { tag: "19 stops", battery: 19, low: true },
            { tag: "19 stops a rollback", battery: 19, low: true, rollback: true },
            { tag: "firmware-only device passes", battery: 0, low: false, fwOnly: true },
        ]
    }

    function test_batteryThreshold(data) {
        fw.isRollback = !!data.rollback
        fw.isFwOnly = !!data.fwOnly
        model.statusMediator.batteryPercentage = data.battery
        openDialog()
        App.clearCalls()
        keyClick(Qt.Key_Return)
        if (!data.low) {
            compare(App.calls, ["installFw(false)"])
            return
        }
        compare(App.calls, [])
        compare(title(), "Low Battery Warning")
        compare(text(), "Please ensure that your device is charged to 20% or more before initiating the firmware update.")
        compare(icon(), "images/dialog/error.svg")
        compare(child("continueButton").visible, false)
        compare(child("cancelButton").text, "Confirm")
        keyClick(Qt.Key_Return)
        compare(dialog.opened, true)
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(alertSpy.count, 0)

        // The next showing starts afresh.
        openDialog()
        compare(title(), data.rollback ? "Firmware Rollback" : "Firmware Update")
        compare(child("cancelButton").text, "Cancel")
        compare(child("continueButton").text, "Confirm")
        compare(child("continueButton").visible, true)
    }

    function test_failures_data() {
        return [
            { tag: "refused start", startFails: true },
            { tag: "failed install", startFails: false },
        ]
    }

    function test_failures(data) {
        fw.installResult = data.startFails ? UIKesFwMediator.StartFailed : UIKesFwMediator.Started
        openDialog()
        keyClick(Qt.Key_Return)
        if (!data.startFails) {
            compare(title(), "Updating Dongle")
            fw.status = UIKesFwMediator.Failed
        }
        compare(alertSpy.count, data.startFails ? 0 : 1)
        compare(title(), "Firmware Update Failed")
        compare(text(), "The firmware update process has failed. Unplug both the dongle and headset and try again.")
        compare(icon(), "images/dialog/error.svg")
        compare(child("continueButton").text, "Try Again")
        compare(child("cancelButton").visible, true)
        keyClick(Qt.Key_Return)
        compare(title(), "Firmware Update")
        compare(child("continueButton").text, "Confirm")
        // A second install that fails again is a new change of the mediator's status.
        if (!data.startFails) {
            keyClick(Qt.Key_Return)
            fw.status = UIKesFwMediator.Failed
            compare(alertSpy.count, 2)
            compare(title(), "Firmware Update Failed")
        }
        mouseClick(child("cancelButton"))
        tryCompare(dialog, "visible", false)
    }

    // Where firmware cannot be installed the dialog says so from the start, offers nothing that
    // cannot work and gives no advice that cannot help.
    function test_cannotInstallHere() {
        fw.canInstallFw = false
        openDialog()
        const plain = "Firmware cannot be installed on this system: the firmware update tool is not available here. The downloaded firmware is kept."
        compare(text(), plain)
        compare(child("continueButton").enabled, false)
        compare(findChild(dialog, "dontHaveDongleButton").visible, false)
        keyClick(Qt.Key_Return)
        compare(App.calls.filter(call => call.startsWith("installFw")).length, 0)
        fw.status = UIKesFwMediator.Failed
        compare(title(), "Firmware Update Failed")
        compare(text(), plain)
        verify(text().indexOf("Unplug") < 0)
        compare(child("continueButton").visible, false)
        mouseClick(child("cancelButton"))
        tryCompare(dialog, "visible", false)
    }

    function test_rollbackTexts() {
        fw.isRollback = true
        openDialog()
        compare(title(), "Firmware Rollback")
        verify(text().startsWith("This process will revert your firmware to a previous version"))
        keyClick(Qt.Key_Return)
        compare(title(), "Dongle Firmware Rollback")
        compare(text(), "Reverting dongle firmware. Do not disconnect the dongle during this process.")
        fw.status = UIKesFwMediator.Success
        compare(title(), "Connect Headset")
        compare(text(), "Connect your headset via USB cable.")
        plugHeadset()
        keyClick(Qt.Key_Return)
        compare(title(), "Headset Firmware Rollback")
        compare(text(), "Reverting headset firmware. Do not unplug the headset during this process.")
        fw.status = UIKesFwMediator.Starting
        fw.status = UIKesFwMediator.Success
        compare(title(), "Rollback Complete")
        compare(text(), "Firmware successfully reverted to a previous version.")
        // Titles follow the mode live.
        fw.isRollback = false
        compare(title(), "Firmware Update Complete")
    }

    function test_lostDeviceWhileWaiting() {
        openDialog()
        compareConnection(true, "Dongle")
        // The simulated headset takes the lost dongle's place.
        model.category = UIModel.Software
        fw.isDongle = false
        compareConnection(false, "Dongle")
        compare(child("dontHaveDongleButton").enabled, true)
        model.category = UIModel.Hardware
        fw.isDongle = true
        compareConnection(true, "Dongle")
    }

    function test_accessibleNameHasNoMarkup() {
        openDialog()
        const name = child("labelText").Accessible.name
        verify(name.indexOf("<") < 0 && name.indexOf(">") < 0, name)
        verify(name.indexOf("not plugged in.   Note : Stop all audio") > 0, name)
    }
}
