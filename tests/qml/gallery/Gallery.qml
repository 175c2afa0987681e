import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import "qrc:/qml/Velmor/Controls"

// Every control of the library in its states, on the dark theme, for a person to look at.
// The input controls (dial, slider, switch, ...) come from GalleryInputs.qml when it exists.
Window {
    id: window

    // Opens the drawer and a dialog at start (the launcher's --popups).
    property bool showPopups: false

    width: 1400
    height: 1000
    visible: true
    color: App.theme.colorPreset
    title: "Velmor controls"

    component Section: ColumnLayout {
        property alias title: heading.text
        default property alias content: body.data
        spacing: 8
        ZelTextCaption {
            id: heading
            font.pixelSize: App.theme.fontSizeCaptionLarge
            font.bold: true
        }
        Flow {
            id: body
            Layout.fillWidth: true
            spacing: 16
        }
    }

    component Labelled: ColumnLayout {
        property alias label: caption.text
        default property alias content: holder.data
        spacing: 4
        Item {
            id: holder
            implicitWidth: childrenRect.width
            implicitHeight: childrenRect.height
        }
        ZelText {
            id: caption
            color: App.theme.colorHint
            font.pixelSize: App.theme.fontSizeCaptionSmall
        }
    }

    // The window's own title bar, as the application draws it.
    ZelTitleBar {
        id: titleBar
        anchors.left: parent.left
        anchors.right: parent.right
        height: App.theme.titleBarSize
        ZelTextCaption {
            anchors.left: parent.left
            anchors.leftMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            text: "ZelTitleBar  (visibleButtons " + titleBar.visibleButtons + ", line below)"
        }
        Row {
            anchors.right: parent.right
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            spacing: 32
            Repeater {
                model: ["settings.svg", "bell.svg", "minimize.svg", "zoom.svg", "close.svg"]
                ZelButtonIcon {
                    width: 16
                    height: 16
                    text: modelData
                    source: App.theme.resourcesPath + "images/titlebar/" + (index === 4 ? "hovered/" : "regular/") + modelData
                    onClicked: if (index === 1) drawer.open()
                }
            }
        }
    }

    Flickable {
        anchors.fill: parent
        anchors.topMargin: App.theme.titleBarSize + App.theme.windowBorderWidth
        anchors.margins: 24
        contentHeight: page.implicitHeight
        clip: true

        ColumnLayout {
            id: page
            width: parent.width
            spacing: 24

            Section {
                title: "Texts"
                Labelled { label: "ZelText"; ZelText { text: "Game / chat mix" } }
                Labelled { label: "ZelText disabled"; ZelText { text: "Game / chat mix"; enabled: false } }
                Labelled { label: "ZelText plain text"; ZelText { text: "<b>not bold</b>" } }
                Labelled { label: "ZelTextTitle"; ZelTextTitle { text: "Noise Reduction" } }
                Labelled { label: "ZelTextTitle disabled"; ZelTextTitle { text: "Noise Reduction"; enabled: false } }
                Labelled { label: "ZelTextCaption"; ZelTextCaption { text: "EQUALIZER 30/70" } }
                Labelled { label: "ZelTextCaption disabled"; ZelTextCaption { text: "EQUALIZER 30/70"; enabled: false } }
                Labelled { label: "ZelTextCaption large bold"; ZelTextCaption { text: "App Settings"; font.pixelSize: App.theme.fontSizeCaptionLarge; font.bold: true } }
            }

            Section {
                title: "Images"
                Repeater {
                    model: ["edit.svg", "arrow-down.svg", "checkbox/on.svg", "checkbox/off.svg", "close_regular.svg",
                        "other/collapse.svg", "other/expand.svg", "info-terms.svg", "dialog/update.svg",
                        "dialog/success.svg", "dialog/warning.svg", "dialog/error.svg", "cable.svg", "cable_warn.svg"]
                    Labelled {
                        label: modelData
                        ZelVectorImage { source: App.theme.resourcesPath + "images/" + modelData }
                    }
                }
                Repeater {
                    model: ["status/headset.svg", "status/dongle.svg", "status/cable.svg", "status/no-connection.svg",
                        "status/no-device.svg", "status/microphone-on.svg", "status/microphone-off.svg",
                        "status/battery/full.svg", "status/battery/middle.svg", "status/battery/low.svg",
                        "status/battery/critical.svg", "status/connection/available.svg", "status/connection/not-connected.svg"]
                    Labelled {
                        label: modelData.replace("status/", "")
                        ZelVectorImage { width: 24; height: 24; source: App.theme.resourcesPath + "images/" + modelData }
                    }
                }
                Repeater {
                    model: ["sound.svg", "equalizer.svg", "microphone.svg", "head-tracking.svg", "product-settings.svg",
                        "support.svg", "arrow-left.svg", "arrow-right.svg", "logo.svg"]
                    Labelled {
                        label: "menu/" + modelData
                        ZelVectorImage { width: 32; height: 32; source: App.theme.resourcesPath + "images/menu/" + modelData }
                    }
                }
                Labelled { label: "menu/logo-wide.svg"; ZelVectorImage { width: 150; height: 24; source: App.theme.resourcesPath + "images/menu/logo-wide.svg" } }
                Labelled { label: "logo-terms.svg"; ZelVectorImage { width: 96; height: 80; source: App.theme.resourcesPath + "images/logo-terms.svg" } }
                Labelled { label: "ZelHighResImage devices/no_device.png"; ZelHighResImage { width: 140; height: 100; source: App.theme.resourcesPath + "images/devices/no_device.png" } }
            }

            Section {
                title: "Buttons"
                Labelled { label: "ZelButton"; ZelButton { text: "Update" } }
                Labelled { label: "ZelButton checked"; ZelButton { text: "Update"; checkable: true; checked: true } }
                Labelled { label: "ZelButton disabled"; ZelButton { text: "Update"; enabled: false } }
                Labelled { label: "ZelButtonHidden"; ZelButtonHidden { text: "Cancel" } }
                Labelled { label: "ZelButtonHidden checked"; ZelButtonHidden { text: "Cancel"; checkable: true; checked: true } }
                Labelled { label: "ZelButtonHidden disabled"; ZelButtonHidden { text: "Cancel"; enabled: false } }
                Labelled { label: "ZelButtonIcon"; ZelButtonIcon { text: "Edit"; source: App.theme.resourcesPath + "images/edit.svg" } }
                Labelled { label: "ZelButtonIcon disabled"; ZelButtonIcon { text: "Edit"; enabled: false; source: App.theme.resourcesPath + "images/edit.svg" } }
                Labelled { label: "ZelTextButton"; ZelTextButton { text: "Language" } }
                Labelled { label: "ZelTextButton disabled"; ZelTextButton { text: "Language"; enabled: false } }
                Labelled { label: "ZelLinkButton"; ZelLinkButton { text: "Qt License"; url: "https://www.qt.io/" } }
                Labelled { label: "ZelLinkButton hint colour"; ZelLinkButton { text: "Collect Logs"; color: App.theme.colorHint; font.pixelSize: App.theme.fontSize } }
            }

            Section {
                title: "Presets and groups"
                Labelled { label: "ZelButtonPreset"; ZelButtonPreset { width: 200; text: "Bass Boost" } }
                Labelled { label: "ZelButtonPreset checked"; ZelButtonPreset { width: 200; text: "Velmor"; checked: true } }
                Labelled {
                    label: "ZelButtonPreset editable, icon focused"
                    ZelButtonPreset {
                        id: editablePreset
                        width: 200
                        text: "EQ 1 - Night"
                        editable: true
                        Component.onCompleted: findRename(editablePreset).forceActiveFocus()
                        function findRename(item) {
                            for (let i = 0; i < item.children.length; ++i) {
                                const child = item.children[i]
                                if (child.objectName === "renameButton")
                                    return child
                                const found = findRename(child)
                                if (found)
                                    return found
                            }
                            return null
                        }
                    }
                }
                Labelled { label: "ZelButtonPreset disabled"; ZelButtonPreset { width: 200; text: "Competition"; enabled: false } }
                Labelled {
                    label: "ZelGroupRadioButton ×3 (middle checked)"
                    Rectangle {
                        width: 180
                        height: column.implicitHeight + 8
                        radius: App.theme.controlRadius
                        color: App.theme.colorButtonGroup
                        Column {
                            id: column
                            x: 4; y: 4
                            width: parent.width - 8
                            spacing: 4
                            ZelGroupRadioButton { width: parent.width; text: "Low" }
                            ZelGroupRadioButton { width: parent.width; text: "Medium"; checked: true }
                            ZelGroupRadioButton { width: parent.width; text: "High" }
                        }
                    }
                }
            }

            Section {
                title: "Text field and shapes"
                Repeater {
                    model: [
                        { label: "ZelTextField empty", text: "", enabled: true },
                        { label: "ZelTextField with text", text: "Night gaming", enabled: true },
                        { label: "ZelTextField disabled", text: "", enabled: false },
                    ]
                    Labelled {
                        label: modelData.label
                        Rectangle {
                            width: 220
                            height: field.implicitHeight + 2
                            radius: App.theme.controlRadius
                            color: modelData.enabled ? App.theme.textInputBackgroundColor : App.theme.textInputBackgroundColorDisabled
                            border.width: 1
                            border.color: App.theme.textInputBorderColor
                            ZelTextField {
                                id: field
                                anchors.fill: parent
                                anchors.margins: 1
                                text: modelData.text
                                enabled: modelData.enabled
                                placeholderText: "Custom name"
                            }
                        }
                    }
                }
                Labelled {
                    label: "RoundedRectangle (8, 0, 0, 24)"
                    RoundedRectangle {
                        width: 120; height: 60
                        color: App.theme.colorTile
                        borderWidth: 1
                        borderColor: App.theme.colorPresetHovered
                        topLeftRadius: 8; topRightRadius: 0; bottomLeftRadius: 0; bottomRightRadius: 24
                    }
                }
                Labelled {
                    label: "ZelButton → open drawer / dialog"
                    Row {
                        spacing: 8
                        ZelButton { text: "Drawer"; onClicked: drawer.open() }
                        ZelButton { text: "Dialog"; onClicked: dialog.open() }
                    }
                }
            }

            Loader {
                id: inputsLoader
                Layout.fillWidth: true
                active: GalleryInputsUrl !== ""
                source: GalleryInputsUrl
                // The page opens its own popups (combo box list, menu) with the launcher's --popups.
                onLoaded: {
                    if ("showPopups" in item)
                        item.showPopups = Qt.binding(() => window.showPopups)
                }
            }
        }
    }

    ZelDrawer {
        id: drawer
        y: App.theme.titleBarSize + App.theme.windowBorderWidth
        width: 450
        height: window.height - y - App.theme.windowBorderWidth
        background: RoundedRectangle {
            color: App.theme.colorPreset
            bottomRightRadius: 8
        }
        contentItem: ColumnLayout {
            ZelTextCaption { text: "ZelDrawer"; font.pixelSize: App.theme.fontSizeCaptionLarge; font.bold: true }
            ZelText { text: "Slides in from the right; Escape or a click outside closes it." }
            Item { Layout.fillHeight: true }
        }
        padding: 24
    }

    ZelPopupDialog {
        id: dialog
        closePolicy: ZelPopupDialog.CloseOnEscape
        contentItem: ColumnLayout {
            spacing: 32
            RowLayout {
                spacing: App.theme.layoutRowSpacingSmall
                ZelVectorImage { width: 16; height: 16; source: App.theme.resourcesPath + "images/dialog/update.svg" }
                ZelTextCaption { text: "ZelPopupDialog"; font.pixelSize: App.theme.fontSizeTitle; font.bold: true }
            }
            ZelText { text: "The frame of every dialog, centred, with the window below dimmed." }
            RowLayout {
                Item { Layout.fillWidth: true }
                ZelButtonHidden { text: "Cancel"; onClicked: dialog.close() }
                ZelButton { text: "Continue"; onClicked: dialog.close() }
            }
        }
    }

    Component.onCompleted: {
        if (showPopups) {
            drawer.open()
            dialog.open()
        }
    }
}
