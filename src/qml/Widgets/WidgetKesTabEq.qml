import QtQuick
import QtQuick.Dialogs
import QtQuick.Layouts

import Velmor.Enums 1.0

import "../Controls"
import "../Dialogs"
import "../Items"

// The equalizer page: the six built-in and four custom presets, one gain slider per band of the
// current custom preset, and resetting, loading, saving and renaming a custom preset.
Item {
    id: root

    implicitWidth: mainLayout.implicitWidth
    implicitHeight: mainLayout.implicitHeight
    enabled: internal.isFullHw

    QtObject {
        id: internal

        readonly property var uiModel: App.uiModel
        // Null-safe: the screen may outlive the headset model by a moment when the main window
        // switches to another screen.
        readonly property var settingsMediator: uiModel?.settingsMediator ?? null
        readonly property var eqBandsModel: settingsMediator?.eqBandsModel ?? null
        readonly property var customEqsNamesModel: settingsMediator?.customEqsNamesModel ?? null
        readonly property bool isHardware: uiModel?.category === UIModel.Hardware
        readonly property int currentEqIndex: settingsMediator?.currentEqIndex ?? 0
        readonly property bool isFullHw: isHardware && !(uiModel?.fwMediator?.isFwOnly ?? true)
        readonly property bool isEqCustom: eqBandsModel?.isEqCustom ?? false

        readonly property var builtInPresets: ["Velmor", "Treble Boost", "Bass Boost", "Immersive",
            "Competition", "Footsteps"]
        readonly property int firstBuiltInIndex: 1
        readonly property int firstCustomIndex: 7
        // A preset button's paddings around its label.
        readonly property int presetPadding: 24

        readonly property string imagesPath: App.theme.resourcesPath + "images/dialog/"

        function showMessage(image, title, text) {
            const box = messageLoader.load(messageComponent)
            if (!box)
                return
            box.imageSource = imagesPath + image
            box.title = title
            box.text = text
            box.open()
        }

        function openRename(row, eqName, customName) {
            const dialog = renameLoader.load(renameComponent)
            if (!dialog)
                return
            dialog.index = row
            dialog.eqName = eqName
            dialog.customEqName = customName
            dialog.open()
        }

        function openLoadDialog() {
            fileDialogLoader.open(openFileComponent)
        }

        function openSaveDialog() {
            // The macOS dialog keeps its last folder and name; a fresh one proposes the name.
            if (Qt.platform.os === "osx")
                fileDialogLoader.sourceComponent = undefined
            const dialog = fileDialogLoader.load(saveFileComponent)
            // A preset not named yet is proposed under its label, as an empty name cannot be saved.
            dialog.defaultName = settingsMediator.getCurrentEqName()
                || "EQ " + (currentEqIndex - firstCustomIndex + 1)
            dialog.open()
        }

        function loadFile(url) {
            if (settingsMediator.loadEqFromFile(url))
                showMessage("success.svg", qsTr("Load Complete"), qsTr("File successfully loaded."))
            else
                showMessage("warning.svg", qsTr("Load Failed"), qsTr("Failed to load file."))
        }

        function saveFile(url, folder) {
            if (settingsMediator.saveEqToFile(url, folder))
                showMessage("success.svg", qsTr("Saving Complete"), qsTr("File successfully saved."))
            else
                showMessage("error.svg", qsTr("Saving Failed"), qsTr("Failed to save file."))
        }
    }

    ColumnLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        RowLayout {
            enabled: internal.isEqCustom
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 20
            Layout.bottomMargin: 24
            Layout.fillWidth: true

            ZelTextCaption {
                text: qsTr("Equalizer")
                color: App.theme.colorTextPreset
                font.pixelSize: App.theme.fontSizeCaptionLarge
                font.bold: true
            }

            Item {
                Layout.fillWidth: true
            }

            RowLayout {
                enabled: internal.isEqCustom
                spacing: 16

                ZelButton {
                    objectName: "resetButton"
                    text: qsTr("Reset")
                    onClicked: popupLoader.open(eqResetComponent)
                }

                ZelButton {
                    objectName: "loadButton"
                    text: qsTr("Load")
                    onClicked: internal.openLoadDialog()
                }

                ZelButton {
                    objectName: "saveButton"
                    text: qsTr("Save")
                    onClicked: internal.openSaveDialog()
                }
            }
        }

        RowLayout {
            spacing: 24
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 16
            Layout.bottomMargin: 16
            Layout.fillWidth: true
            Layout.fillHeight: true

            ColumnLayout {
                spacing: 8
                Layout.minimumWidth: builtInList.implicitWidth
                Layout.maximumWidth: 240
                Layout.preferredWidth: 240
                Layout.fillWidth: true
                Layout.fillHeight: true

                ZelTextCaption {
                    text: qsTr("Presets")
                }

                // The preset buttons stand in plain items that fill the layout's cells, each at a
                // place of its own: a Repeater directly inside a Quick Layout reads freed buttons
                // on Qt 6.4 when its model changes (the custom names are read again on every
                // start of the headset). A cell's size and the buttons' places follow from the
                // model alone, before the buttons are built one by one, so that their arrival
                // changes nothing the page's layouts must take in.
                PresetCell {
                    id: builtInList

                    count: builtInRepeater.count
                    implicitWidth: {
                        let widest = 0
                        for (const name of internal.builtInPresets)
                            widest = Math.max(widest, Math.ceil(presetMetrics.advanceWidth(name)))
                        return widest + internal.presetPadding
                    }

                    Repeater {
                        id: builtInRepeater

                        model: internal.builtInPresets

                        // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

                        // tell that these ids are this file's own.
                        // qmllint disable unqualified
                        delegate: ZelButtonPreset {
                            required property string modelData
                            required property int index

                            readonly property int eqIndex: index + internal.firstBuiltInIndex

                            objectName: "preset" + eqIndex
                            y: builtInList.rowY(index)
                            width: builtInList.width
                            text: modelData
                            checkable: true
                            checked: internal.currentEqIndex === eqIndex

                            onClicked: {
                                internal.settingsMediator.currentEqIndex = eqIndex
                                checked = Qt.binding(() => internal.currentEqIndex === eqIndex)
                            }
                        }
                        // qmllint enable unqualified
                    }
                }

                Item {
                    Layout.preferredHeight: 4
                }

                ZelTextCaption {
                    text: qsTr("Custom")
                }

                PresetCell {
                    id: customList

                    count: customRepeater.count

                    Repeater {
                        id: customRepeater

                        model: internal.customEqsNamesModel

                        // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

                        // tell that these ids are this file's own.
                        // qmllint disable unqualified
                        delegate: ZelButtonPreset {
                            required property int index
                            // The row's display text (a button's own "display" is its icon mode).
                            required property var model

                            readonly property int eqIndex: index + internal.firstCustomIndex
                            readonly property string eqName: "EQ " + (index + 1)
                            readonly property string customName: model.display ?? ""

                            objectName: "preset" + eqIndex
                            y: customList.rowY(index)
                            width: customList.width
                            text: customName === "" ? eqName : eqName + " - " + customName
                            checkable: true
                            editable: true
                            checked: internal.currentEqIndex === eqIndex

                            onClicked: {
                                internal.settingsMediator.currentEqIndex = eqIndex
                                checked = Qt.binding(() => internal.currentEqIndex === eqIndex)
                            }
                            onEditClicked: internal.openRename(index, eqName, customName)
                        }
                        // qmllint enable unqualified
                    }
                }

                Item {
                    Layout.fillHeight: true
                }
            }

            RowLayout {
                objectName: "bandArea"
                Layout.preferredWidth: 770
                Layout.fillHeight: true

                ColumnLayout {
                    readonly property real scaleMargin: (App.theme.sliderHandleHeight + topLabel.width) * 0.5
                                                        + App.theme.sliderHandleBorder + App.theme.controlPadding

                    Layout.fillHeight: true
                    Layout.topMargin: scaleMargin
                    Layout.bottomMargin: scaleMargin

                    ZelText {
                        id: topLabel

                        text: "+12"
                    }

                    Item {
                        Layout.fillHeight: true
                    }

                    ZelText {
                        text: "+6"
                    }

                    Item {
                        Layout.fillHeight: true
                    }

                    ZelText {
                        text: "0"
                    }

                    Item {
                        Layout.fillHeight: true
                    }

                    ZelText {
                        text: "-6"
                    }

                    Item {
                        Layout.fillHeight: true
                    }

                    ZelText {
                        text: "-12"
                    }
                }

                // The bands stand in a plain item that fills the layout's cell, for the reason
                // given at the presets. The sliders are spaced evenly: every band but the last
                // takes an equal share of what the last one's slider leaves, with its graduation
                // centred in the gap to the next slider.
                Item {
                    id: bandCell

                    Layout.fillWidth: true
                    Layout.fillHeight: true

                    Repeater {
                        id: bandRepeater

                        model: internal.eqBandsModel

                        // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

                        // tell that these ids are this file's own.
                        // qmllint disable unqualified
                        delegate: RowLayout {
                            id: bandGroup

                            required property int index
                            required property int freqRole
                            required property int gainRole
                            required property var model

                            readonly property bool isNotLastBand: index !== bandRepeater.count - 1

                            readonly property real share: (bandCell.width - slider.implicitWidth)
                                                          / Math.max(1, bandRepeater.count - 1)

                            x: index * share
                            width: isNotLastBand ? share : slider.implicitWidth
                            height: bandCell.height
                            spacing: 0

                            ItemEqBandSlider {
                                id: slider

                                objectName: "bandSlider" + bandGroup.index
                                enabled: internal.isEqCustom
                                frequency: bandGroup.freqRole
                                value: bandGroup.gainRole
                                Layout.fillHeight: true

                                onMoved: {
                                    bandGroup.model.gainRole = value
                                    value = Qt.binding(() => bandGroup.gainRole)
                                }
                            }

                            Item {
                                visible: bandGroup.isNotLastBand
                                Layout.fillWidth: true
                            }

                            ItemEqBandGraduation {
                                objectName: "graduation" + bandGroup.index
                                visible: bandGroup.isNotLastBand
                                Layout.fillHeight: true
                            }

                            Item {
                                visible: bandGroup.isNotLastBand
                                Layout.fillWidth: true
                            }
                        }
                        // qmllint enable unqualified
                    }
                }
            }
        }
    }

    // A column of preset buttons in a cell of the presets' layout, as wide as the cell; its
    // height follows from the number of buttons.
    component PresetCell: Item {
        required property int count
        readonly property int spacing: 4

        function rowY(index) {
            return index * (App.theme.controlButtonHeight + spacing)
        }

        implicitHeight: Math.max(0, rowY(count) - spacing)
        Layout.fillWidth: true
        Layout.preferredHeight: implicitHeight
    }

    FontMetrics {
        id: presetMetrics

        font.family: App.theme.fontFamily
        font.pixelSize: App.theme.fontSize
    }

    // The dialogs are declared here rather than named by file, so a renamed dialog or a mistyped
    // signal handler fails as soon as the page loads instead of when the user presses the button.
    // Each loader keeps its dialog: setting the same component again reuses the instance.
    ItemPopupLoader {
        id: popupLoader

        objectName: "popupLoader"
    }

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: eqResetComponent

        DlgConfirmBox {
            title: qsTr("Reset Equalizer")
            text: qsTr("All frequencies will be set to 0 dB")

            onPositiveClicked: internal.eqBandsModel.resetEq()
        }
    }
    // qmllint enable unqualified

    ItemPopupLoader {
        id: messageLoader

        objectName: "messageLoader"
    }

    Component {
        id: messageComponent

        DlgMessageBox {}
    }

    ItemPopupLoader {
        id: renameLoader

        objectName: "renameLoader"
    }

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: renameComponent

        DlgRenameEq {
            onPositiveClicked: internal.settingsMediator.setCustomEqName(index, customEqName)
        }
    }
    // qmllint enable unqualified

    ItemPopupLoader {
        id: fileDialogLoader

        objectName: "fileDialogLoader"

        // Qt's own file dialog is shown in the window, not in the page: it closes with the page
        // (the headset leaves), or it would stay over the next screen and keep the next page's
        // dialog from opening.
        Component.onDestruction: item?.close()
    }

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: openFileComponent

        FileDialog {
            objectName: "openFileDialog"
            title: qsTr("Please choose a file")
            fileMode: FileDialog.OpenFile
            nameFilters: ["Kestrin eq files (*.lvreq)"]

            onAccepted: internal.loadFile(selectedFile)
        }
    }
    // qmllint enable unqualified

    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

    // tell that these ids are this file's own.
    // qmllint disable unqualified
    Component {
        id: saveFileComponent

        FileDialog {
            property string defaultName: ""

            objectName: "saveFileDialog"
            title: qsTr("Save as")
            fileMode: FileDialog.SaveFile
            // Qt's own dialog would label its accept button "Open" in save mode too.
            acceptLabel: qsTr("Save")
            nameFilters: ["Kestrin eq files (*.lvreq)"]
            // The preset's name as a file name in the folder shown: encoded, so that a "#", "?"
            // or "%" in it stays part of the name, and without a slash, which no file name holds.
            selectedFile: currentFolder + "/" + encodeURIComponent(defaultName.replace(/\//g, "-"))

            // A typed name may come as a name in the folder shown rather than a file: URL.
            onAccepted: internal.saveFile(selectedFile, currentFolder)
        }
    }
    // qmllint enable unqualified
}
