import QtQuick
import Velmor.Enums 1.0

// Stand-in for the headset UI model (App.uiModel) with its firmware and status mediators.
QtObject {
    property int type: UIModel.Kestrin
    property int category: UIModel.Hardware
    property int kestrinType: UIKestrinModel.Kestrin_2
    property QtObject fwMediator: FakeFwMediator {}
    property QtObject statusMediator: QtObject {
        property int batteryPercentage: 100
        property bool micMute: false
    }
}
