import QtQuick
import QtTest
import Qt.labs.folderlistmodel
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Widgets"

// The Equalizer page: preset switching, band edits reaching the headset, what is enabled for
// built-in and custom presets and for each kind of device, and the custom preset labels.
TestCase {
    id: testCase
    name: "WidgetKesTabEq"
    width: 1200
    height: 700
    visible: true
    when: windowShown

    readonly property var settings: App.uiModel ? App.uiModel.settingsMediator : null

    Component {
        id: tabComponent

        WidgetKesTabEq {
            width: 1200
            height: 700
        }
    }

    function init() {
        failOnWarning(/.?/)
    }

    function cleanup() {
        // The names are kept in the settings file, per device type.
        if (settings)
            for (let row = 0; row < 4; ++row)
                settings.setCustomEqName(row, "")
        App.unplug()
    }

    function child(parentItem, name) {
        const found = findChild(parentItem, name)
        verify(found, name)
        return found
    }

    function createTab(category, values, dongle, fwOnly) {
        App.plugHeadset(UIKestrinModel.Kestrin_2, category === undefined ? UIModel.Hardware : category,
                        !!dongle, !!fwOnly, values || {})
        const tab = createTemporaryObject(tabComponent, testCase)
        verify(tab)
        // A custom preset's bands come from the headset a moment later.
        const index = settings.currentEqIndex
        if (index >= 7 && index <= 10 && (category === undefined || category === UIModel.Hardware))
            tryVerify(() => settings.eqBandsModel.isEqCustom)
        return tab
    }

    function checkedPresets(tab) {
        const checked = []
        for (let index = 0; index <= 11; ++index) {
            const button = findChild(tab, "preset" + index)
            if (button && button.checked)
                checked.push(index)
        }
        return checked
    }

    function test_presetLabels() {
        const tab = createTab()
        const labels = ["Velmor", "Treble Boost", "Bass Boost", "Immersive", "Competition", "Footsteps"]
        for (let row = 0; row < labels.length; ++row)
            compare(child(tab, "preset" + (row + 1)).text, labels[row])
        for (let row = 0; row < 4; ++row) {
            compare(child(tab, "preset" + (row + 7)).text, "EQ " + (row + 1))
            compare(child(tab, "preset" + (row + 7)).editable, true)
        }
        settings.setCustomEqName(2, "Night")
        compare(child(tab, "preset9").text, "EQ 3 - Night")
        settings.setCustomEqName(2, "")
        compare(child(tab, "preset9").text, "EQ 3")
    }

    function test_checkedPreset_data() {
        return [
            { tag: "built-in 1", index: 1, checked: [1] },
            { tag: "built-in 6", index: 6, checked: [6] },
            { tag: "custom 7", index: 7, checked: [7] },
            { tag: "custom 10", index: 10, checked: [10] }
        ]
    }

    function test_checkedPreset(data) {
        const tab = createTab(UIModel.Hardware, { eqIndex: data.index })
        compare(checkedPresets(tab), data.checked)
    }

    function test_switchingPresets() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 1 })
        compare(child(tab, "resetButton").enabled, false)
        compare(child(tab, "bandSlider0").enabled, false)

        mouseClick(child(tab, "preset8"))
        compare(settings.currentEqIndex, 8)
        compare(checkedPresets(tab), [8])
        // A custom preset enables the file buttons and the band sliders, once its bands are in.
        tryCompare(child(tab, "resetButton"), "enabled", true)
        compare(child(tab, "loadButton").enabled, true)
        compare(child(tab, "saveButton").enabled, true)
        compare(child(tab, "bandSlider0").enabled, true)

        mouseClick(child(tab, "preset3"))
        compare(settings.currentEqIndex, 3)
        compare(checkedPresets(tab), [3])
        compare(child(tab, "saveButton").enabled, false)

        // The current preset stays checked when clicked again.
        mouseClick(child(tab, "preset3"))
        compare(settings.currentEqIndex, 3)
        compare(checkedPresets(tab), [3])

        // A change from the device side moves the check mark.
        settings.currentEqIndex = 10
        compare(checkedPresets(tab), [10])
    }

    function test_bands() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        // Ten sliders, the frequencies of the preset, and a scale in every gap.
        for (let band = 0; band < 10; ++band)
            verify(findChild(tab, "bandSlider" + band))
        verify(!findChild(tab, "bandSlider10"))
        compare(child(tab, "bandSlider0").frequency, 32)
        compare(child(tab, "bandSlider9").frequency, 16000)
        for (let gap = 0; gap < 9; ++gap)
            compare(child(tab, "graduation" + gap).visible, true)
        compare(child(tab, "graduation9").visible, false)
        // Sliders stand left to right in band order.
        verify(child(tab, "bandSlider0").mapToItem(tab, 0, 0).x < child(tab, "bandSlider1").mapToItem(tab, 0, 0).x)
    }

    function test_bandEditReachesTheHeadset() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        const band = child(tab, "bandSlider2")
        const slider = child(band, "slider")
        compare(band.value, 0)
        slider.forceActiveFocus()
        keyClick(Qt.Key_Up)
        compare(band.value, 1)
        compare(settings.eqBandsModel.data(settings.eqBandsModel.index(2, 0), 258), 1)
        tryVerify(() => App.headsetBandGain(7, 2) === 1, 5000)
        // The slider follows the model again: a reset moves it back to 0.
        settings.eqBandsModel.resetEq()
        compare(band.value, 0)
    }

    function test_devices_data() {
        return [
            { tag: "full hardware", category: UIModel.Hardware, dongle: false, fwOnly: false, enabled: true },
            { tag: "simulated", category: UIModel.Software, dongle: false, fwOnly: false, enabled: false },
            { tag: "firmware only", category: UIModel.Hardware, dongle: true, fwOnly: true, enabled: false }
        ]
    }

    function test_devices(data) {
        const tab = createTab(data.category, { eqIndex: 7 }, data.dongle, data.fwOnly)
        compare(tab.enabled, data.enabled)
        if (!data.enabled) {
            const before = settings.currentEqIndex
            mouseClick(child(tab, "preset2"))
            compare(settings.currentEqIndex, before)
        }
    }

    function gains() {
        const model = settings.eqBandsModel
        const values = []
        for (let row = 0; row < model.rowCount(); ++row)
            values.push(model.data(model.index(row, 0), 258))
        return values
    }

    function test_resetAfterConfirmation() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        const model = settings.eqBandsModel
        verify(model.setData(model.index(3, 0), 5, 258))
        compare(child(tab, "bandSlider3").value, 5)

        mouseClick(child(tab, "resetButton"))
        const box = child(tab, "popupLoader").item
        verify(box)
        // Declared in the page, not loaded by file name, so a fault in it fails the page's load.
        verify(child(tab, "popupLoader").sourceComponent)
        compare(child(tab, "popupLoader").source.toString(), "")
        tryCompare(box, "opened", true)
        compare(box.title, "Reset Equalizer")
        compare(box.text, "All frequencies will be set to 0 dB")
        // Cancelling changes nothing.
        box.close()
        tryCompare(box, "visible", false)
        compare(gains()[3], 5)

        mouseClick(child(tab, "resetButton"))
        verify(child(tab, "popupLoader").item === box, "the box is reused")
        box.positiveClicked()
        compare(gains(), [0, 0, 0, 0, 0, 0, 0, 0, 0, 0])
        compare(child(tab, "bandSlider3").value, 0)
        box.close()
    }

    // The message box shown after loading or saving a file.
    function checkMessage(tab, image, title, text) {
        const box = child(tab, "messageLoader").item
        verify(box)
        tryCompare(box, "opened", true)
        verify(box.imageSource.toString().endsWith("images/dialog/" + image), box.imageSource)
        compare(box.title, title)
        compare(box.text, text)
        box.close()
        tryCompare(box, "visible", false)
    }

    function acceptFileDialog(tab, button, url) {
        mouseClick(child(tab, button))
        const dialog = child(tab, "fileDialogLoader").item
        verify(dialog)
        dialog.selectedFile = url
        dialog.accepted()
        dialog.close()
        return dialog
    }

    function test_loadFile_data() {
        return [
            { tag: "good", file: "warm.mid.lvreq", bytes: [1, 2, 3, 4, 5, -1, -2, -3, -12, 12], ok: true,
              name: "warm" },
            { tag: "too short", file: "short.lvreq", bytes: [1, 2, 3, 4, 5, 6, 7, 8, 9], ok: false, name: "" },
            { tag: "too long", file: "long.lvreq", bytes: [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11], ok: false, name: "" },
            { tag: "empty", file: "empty.lvreq", bytes: [], ok: false, name: "" },
            { tag: "gain out of range", file: "loud.lvreq", bytes: [1, 2, 3, 4, 5, 6, 7, 8, 9, 13], ok: false,
              name: "" }
        ]
    }

    function test_loadFile(data) {
        const tab = createTab(UIModel.Hardware, { eqIndex: 8 })
        settings.setCustomEqName(1, "")
        verify(App.writeBytes(data.file, data.bytes))
        acceptFileDialog(tab, "loadButton", App.fileUrl(data.file))
        if (data.ok) {
            checkMessage(tab, "success.svg", "Load Complete", "File successfully loaded.")
            compare(gains(), data.bytes)
        } else {
            checkMessage(tab, "warning.svg", "Load Failed", "Failed to load file.")
            compare(gains(), [0, 0, 0, 0, 0, 0, 0, 0, 0, 0])
        }
        compare(settings.getCurrentEqName(), data.name)
        compare(child(tab, "preset8").text, data.name === "" ? "EQ 2" : "EQ 2 - " + data.name)
    }

    function test_saveFile() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 9 })
        settings.setCustomEqName(2, "Night")
        const model = settings.eqBandsModel
        verify(model.setData(model.index(0, 0), -7, 258))
        verify(model.setData(model.index(9, 0), 11, 258))
        mouseClick(child(tab, "saveButton"))
        const dialog = child(tab, "fileDialogLoader").item
        compare(dialog.defaultName, "Night")
        dialog.close()

        acceptFileDialog(tab, "saveButton", App.fileUrl("night.lvreq"))
        checkMessage(tab, "success.svg", "Saving Complete", "File successfully saved.")
        compare(App.readBytes("night.lvreq"), [-7, 0, 0, 0, 0, 0, 0, 0, 0, 11])

        acceptFileDialog(tab, "saveButton", App.fileUrl("no-such-folder/night.lvreq"))
        checkMessage(tab, "error.svg", "Saving Failed", "Failed to save file.")
    }

    // The name proposed is the preset's own, whatever it holds: characters that mean something in
    // a URL stay in the name, and a slash, which no file name can hold, becomes a dash.
    function test_proposedNameSaves_data() {
        return [
            { tag: "hash", name: "Bass #1", file: "Bass #1.lvreq" },
            { tag: "question mark and percent", name: "50% more?", file: "50% more?.lvreq" },
            { tag: "encoded-looking", name: "a%20b", file: "a%20b.lvreq" },
            { tag: "slash", name: "Rock/Pop", file: "Rock-Pop.lvreq" }
        ]
    }

    function test_proposedNameSaves(data) {
        const tab = createTab(UIModel.Hardware, { eqIndex: 9 })
        settings.setCustomEqName(2, data.name)
        const model = settings.eqBandsModel
        verify(model.setData(model.index(0, 0), 3, 258))
        mouseClick(child(tab, "saveButton"))
        const dialog = child(tab, "fileDialogLoader").item
        dialog.currentFolder = App.folderUrl()
        dialog.accepted()
        dialog.close()
        checkMessage(tab, "success.svg", "Saving Complete", "File successfully saved.")
        compare(App.readBytes(data.file), [3, 0, 0, 0, 0, 0, 0, 0, 0, 0])
    }

    // Whatever form the dialog hands the chosen file over in, the preset is written in the folder
    // the dialog showed, with the extension the Load dialog looks for. Qt's own dialog gives a
    // typed name as its folder's path plus the name, without the file: scheme.
    function test_typedNameSaves_data() {
        const folder = App.folderUrl().toString().replace(/^file:\/\//, "")
        return [
            { tag: "file url", selected: () => App.fileUrl("Typed Bass.lvreq"), file: "Typed Bass.lvreq" },
            { tag: "file url without extension", selected: () => App.fileUrl("Typed Bass"), file: "Typed Bass.lvreq" },
            { tag: "absolute path", selected: () => folder + "/Typed Bass.lvreq", file: "Typed Bass.lvreq" },
            { tag: "absolute path without extension", selected: () => folder + "/Typed Bass",
              file: "Typed Bass.lvreq" },
            { tag: "url without scheme, encoded", selected: () => folder + "/Typed%20Bass", file: "Typed Bass.lvreq" },
            { tag: "name in the folder", selected: () => "Typed Bass.lvreq", file: "Typed Bass.lvreq" },
            { tag: "name in the folder without extension", selected: () => "Typed Bass", file: "Typed Bass.lvreq" }
        ]
    }

    function test_typedNameSaves(data) {
        const tab = createTab(UIModel.Hardware, { eqIndex: 10 })
        const model = settings.eqBandsModel
        verify(model.setData(model.index(0, 0), 5, 258))
        verify(model.setData(model.index(9, 0), -4, 258))
        mouseClick(child(tab, "saveButton"))
        const dialog = child(tab, "fileDialogLoader").item
        // A preset not named yet proposes its label rather than an empty name.
        compare(dialog.defaultName, "EQ 4")
        dialog.currentFolder = App.folderUrl()
        dialog.selectedFile = data.selected()
        dialog.accepted()
        dialog.close()
        checkMessage(tab, "success.svg", "Saving Complete", "File successfully saved.")
        compare(App.readBytes(data.file), [5, 0, 0, 0, 0, 0, 0, 0, 0, -4])
    }

    // The page's file dialog is closed with the page (the headset is unplugged while it is open),
    // and the next page's dialog opens.
    function test_fileDialogClosesWithThePage() {
        let tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        mouseClick(child(tab, "loadButton"))
        const dialog = child(tab, "fileDialogLoader").item
        tryCompare(dialog, "visible", true)
        tab.destroy()
        tryVerify(() => !dialogShown(), 5000, "no dialog stays over the window")
        App.unplug()
        tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        mouseClick(child(tab, "loadButton"))
        tryVerify(() => dialogShown(), 5000, "the new page's dialog opens")
        child(tab, "fileDialogLoader").item.close()
        tryVerify(() => !dialogShown(), 5000)
    }

    function dialogShown() {
        return itemsBelow(testCase.Window.window.contentItem, [])
            .some(item => item.objectName === "dialogTitleBarLabel" && item.visible)
    }

    // A saved preset, whatever name the user typed, is listed by the Load dialog (which shows
    // only what its own filter admits) and loads back into the preset.
    function test_savedPresetLoadsBack_data() {
        return [
            { tag: "typed without extension", typed: "Night FPS", file: "Night FPS.lvreq", name: "Night FPS" },
            { tag: "typed with extension", typed: "Night FPS.lvreq", file: "Night FPS.lvreq", name: "Night FPS" },
            { tag: "extension in capitals", typed: "NIGHT.LVREQ", file: "NIGHT.LVREQ", name: "NIGHT" },
            { tag: "another extension", typed: "night.txt", file: "night.txt.lvreq", name: "night" }
        ]
    }

    function test_savedPresetLoadsBack(data) {
        const tab = createTab(UIModel.Hardware, { eqIndex: 9 })
        const model = settings.eqBandsModel
        verify(model.setData(model.index(0, 0), -7, 258))
        verify(model.setData(model.index(4, 0), 3, 258))
        verify(model.setData(model.index(9, 0), 11, 258))
        const saved = gains()

        acceptFileDialog(tab, "saveButton", App.fileUrl(data.typed))
        checkMessage(tab, "success.svg", "Saving Complete", "File successfully saved.")
        compare(App.readBytes(data.file), saved)

        model.resetEq()
        compare(gains(), [0, 0, 0, 0, 0, 0, 0, 0, 0, 0])

        // What the Load dialog lists: the folder through the dialog's own name filter.
        mouseClick(child(tab, "loadButton"))
        const loadDialog = child(tab, "fileDialogLoader").item
        compare(loadDialog.nameFilters.length, 1)
        const pattern = /\(([^)]*)\)/.exec(loadDialog.nameFilters[0])[1]
        loadDialog.close()
        const listing = createTemporaryObject(folderListComponent, testCase,
                                              { folder: App.folderUrl(), nameFilters: pattern.split(" ") })
        tryCompare(listing, "status", FolderListModel.Ready)
        const listed = []
        for (let row = 0; row < listing.count; ++row)
            listed.push(listing.get(row, "fileName"))
        verify(listed.indexOf(data.file) >= 0, "listed: " + JSON.stringify(listed))

        acceptFileDialog(tab, "loadButton", App.fileUrl(data.file))
        checkMessage(tab, "success.svg", "Load Complete", "File successfully loaded.")
        compare(gains(), saved)
        compare(settings.getCurrentEqName(), data.name)
    }

    Component {
        id: folderListComponent

        FolderListModel {
            showDirs: false
            caseSensitive: false
        }
    }

    // Every item below `item` in the window, depth first, for the parts of Qt's own dialog.
    function itemsBelow(item, found) {
        found.push(item)
        for (let i = 0; i < item.children.length; ++i)
            itemsBelow(item.children[i], found)
        return found
    }

    function buttonTexts(items) {
        return items.filter(item => String(item).startsWith("Button_")
                            && item.visible).map(item => item.text)
    }

    // The dialog Qt shows here (its own, with no desktop dialog to hand over to) says "Save" on its
    // accept button and wears the dark colours of the window.
    function test_saveDialogLooksLikeTheApplication() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        mouseClick(child(tab, "saveButton"))
        const dialog = child(tab, "fileDialogLoader").item
        tryCompare(dialog, "visible", true)
        let items = []
        tryVerify(() => {
            items = itemsBelow(testCase.Window.window.contentItem, [])
            return buttonTexts(items).indexOf("Save") >= 0
        }, 5000, "the dialog shows its Save button")
        verify(buttonTexts(items).indexOf("Open") < 0, JSON.stringify(buttonTexts(items)))
        const saveButton = items.find(item => String(item).startsWith("Button_") && item.text === "Save")
        // Light text on grey buttons, readable on the buttons and on the dark path bar alike.
        compare(saveButton.palette.button, App.theme.colorButtonPressed)
        compare(saveButton.palette.buttonText, App.theme.colorTextPreset)
        // The title, and the dialog's own background drawn in its window colour.
        const title = items.find(item => item.objectName === "dialogTitleBarLabel")
        verify(title)
        compare(title.text, "Save as")
        compare(title.color, App.theme.colorTextPreset)
        compare(title.palette.window, App.theme.colorPreset)
        dialog.close()
        tryCompare(dialog, "visible", false)
    }

    function test_rename() {
        const tab = createTab(UIModel.Hardware, { eqIndex: 7 })
        settings.setCustomEqName(1, "Old")
        const button = child(tab, "preset8")
        button.editClicked()
        const dialog = child(tab, "renameLoader").item
        verify(dialog)
        tryCompare(dialog, "opened", true)
        compare(dialog.index, 1)
        compare(dialog.eqName, "EQ 2")
        compare(dialog.customEqName, "Old")
        dialog.customEqName = "Bright"
        dialog.positiveClicked()
        compare(settings.customEqsNamesModel.data(settings.customEqsNamesModel.index(1, 0)), "Bright")
        compare(button.text, "EQ 2 - Bright")
        // Renaming did not switch the preset.
        compare(settings.currentEqIndex, 7)
        dialog.close()
        tryCompare(dialog, "visible", false)

        // An empty name removes the custom name; the dialog is reused for another row.
        child(tab, "preset10").editClicked()
        verify(child(tab, "renameLoader").item === dialog)
        compare(dialog.index, 3)
        compare(dialog.eqName, "EQ 4")
        compare(dialog.customEqName, "")
        dialog.close()
        tryCompare(dialog, "visible", false)
        button.editClicked()
        dialog.customEqName = ""
        dialog.positiveClicked()
        compare(button.text, "EQ 2")
        dialog.close()
    }
}
