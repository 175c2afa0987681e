import QtQuick
import Velmor.Enums 1.0

// Stand-in for the headset's firmware mediator (App.uiModel.fwMediator). Calls are recorded in
// App.calls; the test drives status, progress and drStatus itself.
QtObject {
    property int status: UIKesFwMediator.NotStarted
    property real progress: 0
    property string fwVer: "1.0.0"
    property string dongleFwVer: ""
    property string availableFw: "2.0.0"
    property bool isDongle: false
    property bool isFwOnly: false
    property bool isRollback: false
    property bool hasFwUpdate: true
    property bool canRemoveDriver: true
    property bool canInstallFw: true
    property int drStatus: UIKesFwMediator.DrNotStarted
    // What installFw() answers.
    property int installResult: UIKesFwMediator.Started
    // The state continueReinstallingDrivers() moves to; -1 keeps the state.
    property int drNext: -1

    function installFw(remote) {
        App.record("installFw(" + remote + ")")
        if (installResult === UIKesFwMediator.Started)
            status = UIKesFwMediator.Starting
        return installResult
    }
    function pairing() { App.record("pairing()") }
    function factoryReset() { App.record("factoryReset()"); return true }
    function continueReinstallingDrivers() {
        App.record("continueReinstallingDrivers()")
        if (drNext >= 0)
            drStatus = drNext
    }
    function resetReinstallingDrivers() {
        App.record("resetReinstallingDrivers()")
        drStatus = UIKesFwMediator.DrNotStarted
    }
}
