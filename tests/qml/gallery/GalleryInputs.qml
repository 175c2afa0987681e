import QtQuick
import QtQuick.Layouts

import "qrc:/qml/Velmor/Controls"

// The value and list controls in their states: dials in each mode, sliders, switches, check
// boxes, progress bars, combo boxes, side-menu entries and a pop-up menu.
Item {
    id: page

    // Opens the combo box list and the pop-up menu. Popups are drawn above the whole window,
    // outside any scrolling or clipping of the page, so they stay closed unless asked for.
    property bool showPopups: false

    function updatePopups() {
        if (page.showPopups) {
            openCombo.popup.open()
            menuList.popup(menuListPlace, 0, 20)
        } else {
            openCombo.popup.close()
            menuList.close()
        }
    }

    onShowPopupsChanged: page.updatePopups()
    Component.onCompleted: page.updatePopups()

    implicitWidth: 1180
    implicitHeight: 860

    component Caption: Text {
        color: "#6A6A6A"
        font.pixelSize: 11
    }

    GridLayout {
        x: 10
        y: 10
        columns: 4
        columnSpacing: 24
        rowSpacing: 4

        Caption { text: "ZelDial forward, 30" }
        Caption { text: "ZelDial reverse, 30" }
        Caption { text: "ZelDial dual, 70/30" }
        Caption { text: "ZelDial dual, disabled" }

        ZelDial {
            from: 0; to: 1; value: 0.3
            leftValueLabel: "MIN"; rightValueLabel: "MAX"
            implicitWidth: 240; implicitHeight: 240
        }
        ZelDial {
            from: 0; to: 1; value: 0.3; mode: ZelDial.ModeReverse
            leftValueLabel: "MIN"; rightValueLabel: "MAX"
            implicitWidth: 240; implicitHeight: 240
        }
        ZelDial {
            from: 0; to: 1; value: 0.3; mode: ZelDial.ModeDual
            leftValueLabel: "GAME"; rightValueLabel: "CHAT"
            implicitWidth: 240; implicitHeight: 240
        }
        ZelDial {
            from: 0; to: 1; value: 0.8; mode: ZelDial.ModeDual; enabled: false
            leftValueLabel: "L"; rightValueLabel: "R"
            implicitWidth: 240; implicitHeight: 240
        }
    }

    ColumnLayout {
        x: 10
        y: 290
        width: 330
        spacing: 6

        Caption { text: "ZelSlider: 0, 40, 100, disabled at 60, mirrored at 40" }
        ZelSlider { from: 0; to: 10; stepSize: 1; value: 0; Layout.fillWidth: true }
        ZelSlider { from: 0; to: 10; stepSize: 1; value: 4; Layout.fillWidth: true }
        ZelSlider { from: 0; to: 10; stepSize: 1; value: 10; Layout.fillWidth: true }
        ZelSlider { from: 0; to: 10; stepSize: 1; value: 6; enabled: false; Layout.fillWidth: true }
        ZelSlider { from: 0; to: 10; stepSize: 1; value: 4; LayoutMirroring.enabled: true; Layout.fillWidth: true }

        Caption { text: "ZelProgressBar: 0, 50, 100" }
        ZelProgressBar { from: 0; to: 100; value: 0 }
        ZelProgressBar { from: 0; to: 100; value: 50 }
        ZelProgressBar { from: 0; to: 100; value: 100 }
    }

    ColumnLayout {
        x: 340
        y: 290
        spacing: 6

        Caption { text: "vertical: 30, 80, disabled" }

        RowLayout {
            spacing: 16

            ZelSlider { orientation: Qt.Vertical; from: 0; to: 10; value: 3; implicitHeight: 220 }
            ZelSlider { orientation: Qt.Vertical; from: 0; to: 10; value: 8; implicitHeight: 220 }
            ZelSlider { orientation: Qt.Vertical; from: 0; to: 10; value: 5; enabled: false; implicitHeight: 220 }
        }
    }

    ColumnLayout {
        x: 510
        y: 290
        width: 330
        spacing: 10

        Caption { text: "ZelSwitch: off, on with hint, disabled on, disabled off, no label" }
        ZelSwitch { text: "Voice prompts"; Layout.fillWidth: true }
        ZelSwitch {
            text: "Sidetone"; hint: "Hear your own voice in the headset while you speak."
            checked: true; Layout.fillWidth: true
        }
        ZelSwitch { text: "Volume limiter"; checked: true; enabled: false; Layout.fillWidth: true }
        ZelSwitch { text: "Auto power-off"; enabled: false; Layout.fillWidth: true }
        ZelSwitch { Layout.fillWidth: true }
    }

    ColumnLayout {
        x: 510
        y: 560
        width: 330
        spacing: 10

        Caption { text: "ZelCheckBox: off, on with hint, partial, disabled, mirrored" }
        ZelCheckBox { text: "Minimise to tray"; Layout.fillWidth: true }
        ZelCheckBox {
            text: "I accept the terms"; hint: "You can read them again from the settings."
            checked: true; Layout.fillWidth: true
        }
        ZelCheckBox { text: "Partially checked"; tristate: true; checkState: Qt.PartiallyChecked; Layout.fillWidth: true }
        ZelCheckBox { text: "Disabled"; checked: true; enabled: false; Layout.fillWidth: true }
        ZelCheckBox { text: "Mirrored"; LayoutMirroring.enabled: true; Layout.fillWidth: true }
    }

    ColumnLayout {
        x: 870
        y: 290
        width: 290
        spacing: 6

        Caption { text: "ZelComboBox: closed, disabled, open (with showPopups)" }
        ZelComboBox { model: ["Default", "Custom"]; Layout.fillWidth: true }
        ZelComboBox { model: ["Disabled"]; enabled: false; Layout.fillWidth: true }
        ZelComboBox {
            id: openCombo

            model: ["Off", "Low", "Medium", "High"]
            currentIndex: 1
            Layout.fillWidth: true
        }
    }

    Column {
        x: 10
        y: 590
        spacing: 4

        Caption { text: "ZelMenuItem: checked, idle, disabled; collapsed and expanded" }

        Row {
            spacing: 8

            Column {
                ZelMenuItem {
                    iconSource: App.theme.resourcesPath + "images/menu/sound.svg"
                    text: "Sound"
                    checked: true
                    topLeftRadius: 8
                    topRightRadius: 8
                }
                ZelMenuItem {
                    iconSource: App.theme.resourcesPath + "images/menu/microphone.svg"
                    text: "Microphone"
                }
                ZelMenuItem {
                    iconSource: App.theme.resourcesPath + "images/menu/equalizer.svg"
                    text: "Equalizer"
                    enabled: false
                    bottomLeftRadius: 8
                    bottomRightRadius: 8
                }
            }

            Column {
                width: 220

                ZelMenuItem {
                    width: 220
                    expanded: true
                    iconSource: App.theme.resourcesPath + "images/menu/sound.svg"
                    text: "SOUND"
                    checked: true
                    topLeftRadius: 8
                    topRightRadius: 8
                }
                ZelMenuItem {
                    width: 220
                    expanded: true
                    iconSource: App.theme.resourcesPath + "images/menu/microphone.svg"
                    text: "MICROPHONE"
                }
                ZelMenuItem {
                    width: 220
                    expanded: true
                    iconSource: App.theme.resourcesPath + "images/menu/equalizer.svg"
                    text: "EQUALIZER"
                    enabled: false
                    bottomLeftRadius: 8
                    bottomRightRadius: 8
                }
            }
        }
    }

    Item {
        id: menuListPlace

        x: 870
        y: 620
        width: 320
        height: 160

        Caption { text: "ZelMenuList (open with showPopups)" }

        ZelMenuList {
            id: menuList

            menuItems: ["Load from file", "Save to file", "Reset to default"]
        }
    }
}
