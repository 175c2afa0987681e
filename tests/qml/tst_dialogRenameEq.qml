import QtQuick
import QtTest
import "qrc:/qml/Velmor/Dialogs"

TestCase {
    id: testCase
    name: "DialogRenameEq"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    MouseArea {
        id: below
        property int clicks: 0
        x: 10; y: 600; width: 200; height: 80
        onClicked: clicks += 1
    }

    Component { id: dialogComponent; DlgRenameEq {} }

    SignalSpy { id: positiveSpy; signalName: "positiveClicked" }

    property var dialog: null

    function init() {
        dialog = createTemporaryObject(dialogComponent, testCase)
        positiveSpy.clear()
        positiveSpy.target = dialog
    }

    function openDialog(eqName, customEqName) {
        dialog.eqName = eqName
        dialog.customEqName = customEqName
        dialog.open()
        tryCompare(dialog, "opened", true)
    }

    function child(name) {
        const item = findChild(dialog, name)
        verify(item, name)
        return item
    }

    function test_enterRightAfterOpeningConfirmsTheGivenName_data() {
        return [ { tag: "Return", key: Qt.Key_Return }, { tag: "Enter", key: Qt.Key_Enter } ]
    }

    function test_enterRightAfterOpeningConfirmsTheGivenName(data) {
        dialog.index = 1
        openDialog("EQ 2", "Night")
        compare(child("labelTitle").text, "Preset Rename")
        compare(findChild(child("nameInput"), "prefixLabel").text, "EQ 2 -")
        let openedAtSignal = true
        dialog.positiveClicked.connect(() => { openedAtSignal = dialog.opened })
        keyClick(data.key)
        compare(positiveSpy.count, 1)
        compare(openedAtSignal, false)
        compare(dialog.customEqName, "Night")
        compare(dialog.index, 1)
        tryCompare(dialog, "visible", false)
    }

    function test_typedNameIsConfirmed() {
        openDialog("EQ 1", "")
        keyClick(Qt.Key_A)
        keyClick(Qt.Key_B)
        compare(dialog.customEqName, "ab")
        mouseClick(child("confirmButton"))
        compare(positiveSpy.count, 1)
        compare(dialog.customEqName, "ab")
    }

    function test_emptyNameIsConfirmed() {
        openDialog("EQ 3", "Old")
        keyClick(Qt.Key_Backspace)
        keyClick(Qt.Key_Backspace)
        keyClick(Qt.Key_Backspace)
        compare(dialog.customEqName, "")
        mouseClick(child("confirmButton"))
        compare(positiveSpy.count, 1)
        compare(dialog.customEqName, "")
    }

    function test_escapeAndCancelOnlyClose_data() {
        return [ { tag: "Escape", escape: true }, { tag: "Cancel", escape: false } ]
    }

    function test_escapeAndCancelOnlyClose(data) {
        openDialog("EQ 4", "Old")
        keyClick(Qt.Key_X)
        if (data.escape)
            keyClick(Qt.Key_Escape)
        else
            mouseClick(child("cancelButton"))
        tryCompare(dialog, "visible", false)
        compare(positiveSpy.count, 0)
        // The owner sets the name again before the next opening.
        openDialog("EQ 4", "Old")
        compare(dialog.customEqName, "Old")
    }

    function test_clickOutsideNeitherClosesNorReachesBelow() {
        openDialog("EQ 1", "Name")
        below.clicks = 0
        mouseClick(below)
        compare(below.clicks, 0)
        compare(dialog.opened, true)
        compare(positiveSpy.count, 0)
    }
}
