import QtQuick
import Velmor.Enums 1.0

// Stand-in for App.appMediator: the consent and tray settings, the closing-block counter and the
// application update. Calls are recorded in App.calls.
QtObject {
    property bool eulaAccepted: true
    property bool minimizeToTray: false
    property int closingBlocks: 0
    property int updateStatus: UIAppMediator.None
    property string updateVersion: ""
    // What proceedUpdate() answers.
    property bool proceedResult: true

    function isClosingBlocked() { return closingBlocks !== 0 }
    function addClosingBlock() { closingBlocks += 1; App.record("addClosingBlock()") }
    function removeClosingBlock() { closingBlocks -= 1; App.record("removeClosingBlock()") }
    function proceedUpdate() { App.record("proceedUpdate()"); return proceedResult }

    // Reports a new update state as the real mediator does: None first, then the state.
    function reportUpdateStatus(status) {
        updateStatus = UIAppMediator.None
        updateStatus = status
    }
}
