import QtQuick
import QtQuick.Templates as T
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Popups"
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "PopupAppSettings"
    width: 1200
    height: 700
    visible: true
    when: windowShown

    // Stands in for App.appMediator: the tray option as stored, the update offer, and a record
    // of saveLogsToFile calls.
    Component {
        id: mediatorComponent
        QtObject {
            property bool minimizeToTray: false
            // A mediator that could not store the option keeps the old value.
            property bool refuseWrites: false
            property int updateStatus: UIAppMediator.None
            property string updateVersion: ""
            property var savedLogs: []
            property int trayWrites: 0

            function saveLogsToFile(url) {
                savedLogs = savedLogs.concat([url.toString()])
                return true
            }

            onMinimizeToTrayChanged: trayWrites += 1
        }
    }

    Component {
        id: drawerComponent
        PopupAppSettings { y: 33; width: 450; height: 700 - 34 }
    }

    property QtObject mediator: null

    SignalSpy { id: updateSpy; signalName: "appUpdateClicked" }
    SignalSpy { id: popupSpy; signalName: "popupOpen" }
    SignalSpy { id: closedSpy; signalName: "closed" }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, 10, 690)
        mediator = createTemporaryObject(mediatorComponent, testCase)
        App.appMediator = mediator
    }

    function cleanup() {
        App.appMediator = null
        App.animationsEnabled = true
        App.clearOpenedUrls()
        for (const spy of [updateSpy, popupSpy, closedSpy]) {
            spy.clear()
            spy.target = null
        }
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    function openDrawer(properties) {
        const drawer = createTemporaryObject(drawerComponent, testCase, properties || {})
        verify(drawer)
        updateSpy.target = drawer
        popupSpy.target = drawer
        closedSpy.target = drawer
        drawer.open()
        drawer.forceFocus()
        tryCompare(drawer, "opened", true)
        waitForItemPolished(drawer.contentItem)
        return drawer
    }

    function test_layout() {
        const drawer = openDrawer()
        compare(drawer.padding, 16)
        compare(drawer.width, 450)
        compare(drawer.x, testCase.width - App.theme.windowBorderWidth - 450)
        compare(drawer.background.color, App.theme.colorPreset)
        compare(drawer.background.bottomRightRadius, 8)
        compare(drawer.background.topLeftRadius, 0)
        compare(drawer.background.bottomLeftRadius, 0)
        compare(part(drawer.contentItem, "versionText").text, "1.2.48")
        compare(part(drawer.contentItem, "versionText").text, App.applicationVersion)
        compare(part(drawer.contentItem, "launchOnStartupRow").visible, false)
        const tray = part(drawer.contentItem, "traySwitch")
        compare(tray.text, "Close to System Tray")
        compare(tray.width, 450 - 32)
        // The links stand at the foot of the drawer.
        const logs = part(drawer.contentItem, "collectLogsLink")
        fuzzyCompare(logs.mapToItem(drawer.contentItem, 0, logs.height).y, drawer.contentItem.height, 2)
        compare(logs.color, App.theme.colorHint)
        compare(logs.font.pixelSize, App.theme.fontSize)
    }

    function test_closeButtonHasFocusAndCloses() {
        const drawer = openDrawer()
        const close = part(drawer.contentItem, "closeBtn")
        compare(close.activeFocus, true)
        compare(close.text, "Close")
        compare(close.source, App.theme.resourcesPath + "images/close_regular.svg")
        mouseMove(close, 10, 10)
        tryCompare(close, "hovered", true)
        compare(close.source, App.theme.resourcesPath + "images/close_hovered.svg")
        mouseClick(close)
        tryCompare(drawer, "visible", false)
        compare(closedSpy.count, 1)
    }

    function test_closesOnEscapeAndOutside_data() {
        return [
            { tag: "escape", escape: true },
            { tag: "click outside", escape: false },
        ]
    }

    function test_closesOnEscapeAndOutside(data) {
        App.animationsEnabled = false
        const drawer = openDrawer()
        if (data.escape)
            keyClick(Qt.Key_Escape)
        else
            mouseClick(T.Overlay.overlay, 100, 300)
        tryCompare(drawer, "visible", false)
    }

    function test_updateOffer_data() {
        return [
            { tag: "none", status: UIAppMediator.None, shown: false },
            { tag: "checking", status: UIAppMediator.Checking, shown: false },
            { tag: "failed", status: UIAppMediator.Failed, shown: false },
            { tag: "can download", status: UIAppMediator.CanDownload, shown: true },
            { tag: "can install", status: UIAppMediator.CanInstall, shown: true },
        ]
    }

    function test_updateOffer(data) {
        const drawer = openDrawer()
        const row = part(drawer.contentItem, "updateRow")
        const button = part(drawer.contentItem, "updateBtn")
        compare(row.visible, false)
        compare(button.visible, false)
        mediator.updateVersion = "1.3.0"
        mediator.updateStatus = data.status
        compare(row.visible, data.shown)
        compare(button.visible, data.shown)
        compare(row.status, ItemVersionRowLabel.Available)
        compare(row.leftText, "")
        compare(row.rightText, "1.3.0 Available")
        // The offer goes away with the state, while the drawer is open.
        mediator.updateStatus = UIAppMediator.None
        compare(row.visible, false)
        compare(button.visible, false)
    }

    function test_updateButtonSignals() {
        mediator.updateStatus = UIAppMediator.CanDownload
        mediator.updateVersion = "1.3.0"
        const drawer = openDrawer()
        compare(updateSpy.count, 0)
        mouseClick(part(drawer.contentItem, "updateBtn"))
        compare(updateSpy.count, 1)
        compare(drawer.opened, true)
    }

    function test_rightClickOnOfferDoesNothing() {
        mediator.updateStatus = UIAppMediator.CanInstall
        mediator.updateVersion = "1.3.0"
        const drawer = openDrawer()
        const row = part(drawer.contentItem, "updateRow")
        mouseClick(row, row.width - 5, row.height / 2, Qt.RightButton)
        compare(updateSpy.count, 0)
        compare(popupSpy.count, 0)
        compare(drawer.opened, true)
    }

    function test_languageStaysEnglish() {
        const drawer = openDrawer()
        const combo = part(drawer.contentItem, "languageCombo")
        compare(combo.count, 1)
        compare(combo.displayText, "English")
        compare(combo.width, 240)
        combo.currentIndex = -1
        compare(combo.currentIndex, 0)
        compare(combo.displayText, "English")
        mouseClick(combo)
        tryCompare(combo.popup, "opened", true)
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Return)
        tryCompare(combo.popup, "visible", false)
        compare(combo.currentIndex, 0)
        compare(drawer.opened, true)
    }

    function test_traySwitchWritesAndFollowsTheSetting() {
        const drawer = openDrawer()
        const tray = part(drawer.contentItem, "traySwitch")
        compare(tray.checked, false)
        mouseClick(tray)
        compare(mediator.minimizeToTray, true)
        compare(mediator.trayWrites, 1)
        compare(tray.checked, true)
        // Changed elsewhere (the tray menu, another drawer): the switch follows.
        mediator.minimizeToTray = false
        compare(tray.checked, false)
        mediator.minimizeToTray = true
        compare(tray.checked, true)
        mouseClick(tray)
        compare(mediator.minimizeToTray, false)
        compare(tray.checked, false)
    }

    function test_traySwitchShowsStoredStateOnReopen() {
        mediator.minimizeToTray = true
        const drawer = openDrawer()
        const tray = part(drawer.contentItem, "traySwitch")
        compare(tray.checked, true)
        mouseClick(tray)
        compare(mediator.minimizeToTray, false)
        drawer.close()
        tryCompare(drawer, "visible", false)
        mediator.minimizeToTray = true
        drawer.open()
        tryCompare(drawer, "opened", true)
        compare(tray.checked, true)
    }

    function test_traySwitchShowsAKeptValue() {
        const drawer = openDrawer()
        const tray = part(drawer.contentItem, "traySwitch")
        // A mediator that keeps its value (the setting could not change).
        mediator.minimizeToTray = false
        const keep = () => { if (mediator.minimizeToTray) mediator.minimizeToTray = false }
        mediator.minimizeToTrayChanged.connect(keep)
        mouseClick(tray)
        mediator.minimizeToTrayChanged.disconnect(keep)
        compare(mediator.minimizeToTray, false)
        compare(tray.checked, false)
    }

    function test_nothingWrittenWithoutUserAction() {
        mediator.minimizeToTray = true
        mediator.trayWrites = 0
        const drawer = openDrawer()
        drawer.close()
        tryCompare(drawer, "visible", false)
        compare(mediator.trayWrites, 0)
        compare(mediator.savedLogs, [])
        compare(updateSpy.count, 0)
        compare(popupSpy.count, 0)
    }

    function test_collectLogs() {
        const drawer = openDrawer()
        const loader = findChild(drawer, "popupLoader")
        verify(loader)
        compare(loader.item, null, "no dialog before it is asked for")
        mouseClick(part(drawer.contentItem, "collectLogsLink"))
        verify(loader.item)
        const dialog = loader.item
        compare(dialog.title, "Save as")
        compare(dialog.fileMode, 2 /* FileDialog.SaveFile */)
        compare(dialog.nameFilters, ["Log files (*.log)"])
        tryCompare(dialog, "visible", true)
        // Cancelled: nothing happens.
        dialog.reject()
        tryCompare(dialog, "visible", false)
        compare(mediator.savedLogs, [])
        // Asked again: the same dialog; accepted: the logs go to the chosen file.
        mouseClick(part(drawer.contentItem, "collectLogsLink"))
        compare(loader.item, dialog)
        tryCompare(dialog, "visible", true)
        const target = "file:///tmp/velmor-logs-test.log"
        dialog.selectedFile = target
        // What the platform dialog reports when the user has chosen a file (the built-in
        // fallback dialog would take the name from its own text field instead).
        dialog.accepted()
        compare(mediator.savedLogs, [target])
    }

    function itemsBelow(item, found) {
        found.push(item)
        for (let i = 0; i < item.children.length; ++i)
            itemsBelow(item.children[i], found)
        return found
    }

    // The dialog Qt shows here for the log file says "Save" on its accept button, and its buttons
    // read as the rest of the dialog (light text on grey).
    function test_logsDialogSaysSave() {
        const drawer = openDrawer()
        mouseClick(part(drawer.contentItem, "collectLogsLink"))
        const dialog = findChild(drawer, "popupLoader").item
        tryCompare(dialog, "visible", true)
        const buttons = () => itemsBelow(testCase.Window.window.contentItem, [])
            .filter(item => String(item).startsWith("Button_") && item.visible)
        tryVerify(() => buttons().some(button => button.text === "Save"), 5000)
        verify(!buttons().some(button => button.text === "Open"))
        // Save waits for a file name; Cancel shows the enabled look.
        const cancel = buttons().find(button => button.text === "Cancel")
        verify(cancel.enabled)
        compare(cancel.palette.button, App.theme.colorButtonPressed)
        compare(cancel.palette.buttonText, App.theme.colorTextPreset)
        dialog.reject()
        tryCompare(dialog, "visible", false)
    }

    function test_licenseLinkAsksForTheLicencesDialog() {
        const drawer = openDrawer()
        mouseClick(part(drawer.contentItem, "licenseLink"))
        compare(popupSpy.count, 1)
        const dlg = popupSpy.signalArguments[0][0]
        verify(dlg)
        // It makes the licences dialog.
        const dialog = createTemporaryObject(dlg, testCase)
        verify(dialog)
        compare(typeof dialog.open, "function")
        mouseClick(part(drawer.contentItem, "licenseLink"))
        compare(popupSpy.count, 2)
        compare(popupSpy.signalArguments[1][0], dlg, "the same component each time")
        compare(drawer.opened, true)
    }

    function test_withoutAnimations() {
        App.animationsEnabled = false
        const drawer = createTemporaryObject(drawerComponent, testCase)
        drawer.open()
        // The slide takes no time: in at once, out at once.
        tryCompare(drawer, "fraction", 1, 100)
        drawer.close()
        tryCompare(drawer, "visible", false, 100)
    }
}
