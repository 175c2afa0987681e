import QtQuick
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Dialogs"
import "data"

TestCase {
    id: testCase
    name: "DialogReinstallDrivers"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    FakeKestrinModel { id: model }

    QtObject {
        id: stubModel

        property int type: UIModel.Unknown
        property int category: UIModel.Stub
    }

    // As the application does when the allowance ends while the simulated headset stands in for
    // an unplugged one and no other is connected: the stub model (no device) becomes current.
    Connections {
        id: fallBack

        enabled: false
        target: App

        function onCallsChanged() {
            if (App.calls[App.calls.length - 1] === "setSimulationAllowed(false)")
                App.uiModel = stubModel
        }
    }

    Component { id: dialogComponent; DlgReinstallDrivers {} }

    property var dialog: null
    readonly property var fw: model.fwMediator

    function init() {
        fw.drStatus = UIKesFwMediator.DrNotStarted
        fw.drNext = -1
        App.uiModel = model
        dialog = createTemporaryObject(dialogComponent, testCase)
        App.clearCalls()
        openDialog()
    }

    function cleanup() {
        fallBack.enabled = false
        model.category = UIModel.Hardware
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

    // icon: file under images/dialog/ or "" for none; continue: [text, shown, enabled].
    function comparePage(icon, title, text, cont, cancelShown, awaiting) {
        const image = child("image")
        compare(image.visible, icon !== "")
        if (icon !== "")
            compare(image.source, App.theme.resourcesPath + "images/dialog/" + icon)
        compare(child("labelTitle").text, title)
        compare(child("labelText").text, text)
        const button = child("continueButton")
        compare([button.text, button.visible, button.enabled], cont)
        compare(child("cancelButton").visible, cancelShown)
        compare(child("labelHeadset").visible, awaiting)
        compare(child("imageConnection").visible, awaiting)
    }

    function compareFirstPage() {
        comparePage("warning.svg", "Reinstall Audio Driver",
                    "Only use if you are experiencing audio playback issues with your headset on this PC.",
                    ["Confirm", true, true], true, false)
    }

    function test_connectedDeviceMustBeUnplugged() {
        compare(App.calls, ["setSimulationAllowed(true)"])
        compareFirstPage()
        fw.drNext = UIKesFwMediator.DrUnplugDevices
        keyClick(Qt.Key_Return)
        comparePage("warning.svg", "Reinstall Audio Driver", "Please unplug the dongle and headset to continue.",
                    ["Confirm", true, true], true, false)
        // Still plugged in: the state and the page stay.
        keyClick(Qt.Key_Enter)
        compare(App.calls, ["setSimulationAllowed(true)", "continueReinstallingDrivers()", "continueReinstallingDrivers()"])
        compare(child("labelText").text, "Please unplug the dongle and headset to continue.")
    }

    function test_escapeWhileUninstallingAndTheOutcomeLater() {
        fw.drNext = UIKesFwMediator.DrUninstalling
        keyClick(Qt.Key_Return)
        comparePage("", "Reinstall Audio Driver", "Reinstalling...", ["", false, false], false, false)
        keyClick(Qt.Key_Return)
        compare(App.calls, ["setSimulationAllowed(true)", "continueReinstallingDrivers()"])
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(App.calls, ["setSimulationAllowed(true)", "continueReinstallingDrivers()",
                            "resetReinstallingDrivers()", "setSimulationAllowed(false)"])
        compare(fw.drStatus, UIKesFwMediator.DrNotStarted)
        // The removal goes on and ends while the dialog is closed.
        fw.drStatus = UIKesFwMediator.DrFailed
        openDialog()
        comparePage("error.svg", "Driver Reinstallation Failed", "Please disconnect your Kestrin and try again.",
                    ["Try again", true, true], true, false)
    }

    function test_reconnectCompletes() {
        fw.drStatus = UIKesFwMediator.DrWaitForDeviceReconnect
        comparePage("", "Reinstall Audio Driver", "Connect the headset to complete driver reinstallation.",
                    ["Confirm", true, false], true, true)
        compare(child("labelHeadset").text, "Awaiting Headset Connection")
        compare(child("labelHeadset").color, App.theme.colorTextWarning)
        compare(child("imageConnection").source, App.theme.resourcesPath + "images/cable_warn.svg")
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Enter)
        compare(App.calls, ["setSimulationAllowed(true)"])

        // A headset is plugged in.
        fw.drStatus = UIKesFwMediator.DrSuccess
        comparePage("success.svg", "Audio Driver Reinstalled", "Driver reinstallation successful.",
                    ["Confirm", true, true], false, false)
        fw.drNext = UIKesFwMediator.DrNotStarted
        keyClick(Qt.Key_Return)
        tryCompare(dialog, "visible", false)
        compare(App.calls, ["setSimulationAllowed(true)", "setSimulationAllowed(false)", "continueReinstallingDrivers()"])
        openDialog()
        compareFirstPage()
    }

    function test_confirmOnSuccessAfterTheHeadsetLeft() {
        fw.drStatus = UIKesFwMediator.DrSuccess
        fw.drNext = UIKesFwMediator.DrNotStarted
        model.category = UIModel.Software
        fallBack.enabled = true
        failOnWarning(/TypeError/)
        mouseClick(child("continueButton"))
        tryCompare(dialog, "visible", false)
        compare(App.calls, ["setSimulationAllowed(true)", "setSimulationAllowed(false)", "continueReinstallingDrivers()"])
        compare(fw.drStatus, UIKesFwMediator.DrNotStarted)
    }

    function test_failurePages_data() {
        return [
            { tag: "failed", status: UIKesFwMediator.DrFailed },
            { tag: "device connected", status: UIKesFwMediator.DrDeviceConnected },
        ]
    }

    function test_failurePages(data) {
        fw.drStatus = data.status
        comparePage("error.svg", "Driver Reinstallation Failed", "Please disconnect your Kestrin and try again.",
                    ["Try again", true, true], true, false)
        fw.drNext = UIKesFwMediator.DrNotStarted
        mouseClick(child("continueButton"))
        compare(dialog.opened, true)
        compareFirstPage()
    }

    function test_accessDenied() {
        fw.drStatus = UIKesFwMediator.DrAccessDenied
        comparePage("error.svg", "Driver Reinstallation Failed",
                    "The Velmor App must be opened with administrative priviledges. Re-open the app by right clicking its icon while holding shift and selecting \"Run as Administrator\"",
                    ["Confirm", true, true], false, false)
        fw.drNext = UIKesFwMediator.DrNotStarted
        keyClick(Qt.Key_Return)
        compare(dialog.opened, true)
        compareFirstPage()
        // Escape cancels on every page, here too with Cancel hidden.
        fw.drStatus = UIKesFwMediator.DrAccessDenied
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        compare(fw.drStatus, UIKesFwMediator.DrNotStarted)
    }
}
