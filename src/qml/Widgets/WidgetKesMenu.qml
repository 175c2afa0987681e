pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts

import Velmor.Enums 1.0

import "../Controls"
import "WebLinks.js" as WebLinks

// The navigation column of the headset screen: the pages as menu entries, collapsible to a strip
// of icons. While the device cannot be configured it keeps the user on the Settings page.
RoundedRectangle {
    id: root

    property bool expanded: false
    property int currentIndex: -1

    color: App.theme.colorPreset
    implicitWidth: root.expanded ? 280 : 80
    implicitHeight: mainLayout.implicitHeight

    Behavior on implicitWidth {
        enabled: App.animationsEnabled

        SmoothedAnimation {
            id: animation

            duration: 600
        }
    }

    QtObject {
        id: internal

        readonly property string supportUrl: WebLinks.supportUrl
        readonly property int controlMenuItemHeight: 64
        readonly property int logoMargin: 16
        readonly property int menuItemsTopCount: 5
        readonly property int menuItemsBottomIndex: menuItemsTopCount
        readonly property string menuLogoIcon: "logo.svg"
        readonly property string menuLogoWideIcon: "logo-wide.svg"
        readonly property string menuExpandArrowIcon: "arrow-right.svg"
        readonly property string menuCollapseArrowIcon: "arrow-left.svg"

        readonly property var uiModel: App.uiModel
        readonly property bool isFullHw: isFullHardware(uiModel)

        readonly property var menuItemIcon: ["sound.svg", "equalizer.svg", "microphone.svg",
            "head-tracking.svg", "product-settings.svg", "support.svg"]
        readonly property var menuItemText: [qsTr("Sound"), qsTr("Equalizer"), qsTr("Microphone"),
            qsTr("Head Tracking"), qsTr("Settings"), qsTr("Support")]
        readonly property var menuItemVisible: [true, true, false, false, true, true]

        // Texts stay while the width animates, so a collapsing menu clips them instead of
        // dropping them at the first frame.
        readonly property bool showTexts: root.expanded || animation.running

        // The Settings page is the only one a simulated or firmware-only device can use. A
        // screen built ahead for a headset still being set up (no headset model current yet)
        // keeps its first page for that headset.
        function checkFwOnlyTab() {
            // Read afresh: when the model changes, this may run before isFullHw follows it.
            if (uiModel?.type === UIModel.Kestrin && !isFullHardware(uiModel) && root.currentIndex !== 4)
                root.currentIndex = 4
        }

        function isFullHardware(model) {
            return model?.category === UIModel.Hardware && !(model?.fwMediator?.isFwOnly ?? true)
        }

        onIsFullHwChanged: checkFwOnlyTab()
        onUiModelChanged: checkFwOnlyTab()
    }

    Component.onCompleted: internal.checkFwOnlyTab()

    ColumnLayout {
        id: mainLayout

        readonly property string iconsPath: App.theme.resourcesPath + "images/menu/"

        anchors.fill: parent
        spacing: 0

        Item {
            objectName: "header"
            Layout.preferredHeight: 84
            Layout.fillWidth: true

            Item {
                id: logoArea

                anchors.fill: parent
                anchors.leftMargin: internal.logoMargin
                anchors.rightMargin: internal.logoMargin
                clip: true

                Image {
                    id: logo

                    objectName: "logo"
                    anchors.verticalCenter: parent.verticalCenter
                    x: Math.max(logoArea.width - logo.width, 56 - 2 * internal.logoMargin) * 0.5
                    smooth: false
                    source: mainLayout.iconsPath + (internal.showTexts ? internal.menuLogoWideIcon
                                                                        : internal.menuLogoIcon)
                }
            }
        }

        Item {
            id: toggleRow

            objectName: "toggleRow"
            Layout.preferredHeight: 48
            Layout.fillWidth: true

            ZelVectorImage {
                id: arrow

                objectName: "arrow"
                width: 32
                height: 32
                // Centred only at rest while collapsed: during the animation and while expanded
                // the arrow keeps the column of the item icons.
                anchors.centerIn: !root.expanded && !animation.running ? parent : undefined
                source: mainLayout.iconsPath + (root.expanded ? internal.menuCollapseArrowIcon
                                                              : internal.menuExpandArrowIcon)
            }

            MouseArea {
                anchors.fill: parent
                onClicked: root.expanded = !root.expanded
            }
        }

        // The entries stand in a plain item that fills the layout's cell, each at a place of its
        // own: a Repeater directly inside a Quick Layout reads freed entries on Qt 6.4 when it
        // rebuilds them. The cell's height and the entries' places follow from the visible
        // entries alone, before they are built one by one.
        Item {
            id: entries

            function shownBefore(index) {
                return internal.menuItemVisible.slice(0, index).filter(shown => shown).length
            }

            Layout.fillWidth: true
            Layout.preferredHeight: shownBefore(internal.menuItemsTopCount) * internal.controlMenuItemHeight

            Repeater {
                model: internal.menuItemsTopCount

                delegate: ZelMenuItem {
                    required property int index

                    objectName: "menuItem" + index
                    text: internal.menuItemText[index]
                    iconSource: mainLayout.iconsPath + internal.menuItemIcon[index]
                    expanded: internal.showTexts
                    visible: internal.menuItemVisible[index]
                    checked: root.currentIndex === index
                    enabled: index > 3 || internal.isFullHw
                    y: entries.shownBefore(index) * internal.controlMenuItemHeight
                    width: entries.width
                    height: internal.controlMenuItemHeight

                    onCheckedChanged: {
                        if (checked)
                            root.currentIndex = index
                    }
                    // A click on the checked item unchecks nothing; the binding keeps it mirroring
                    // the menu's index.
                    onClicked: checked = Qt.binding(() => root.currentIndex === index)
                }
            }
        }

        Item {
            Layout.fillHeight: true
        }

        ZelMenuItem {
            objectName: "supportItem"
            text: internal.menuItemText[internal.menuItemsBottomIndex]
            iconSource: mainLayout.iconsPath + internal.menuItemIcon[internal.menuItemsBottomIndex]
            expanded: internal.showTexts
            topLeftRadius: root.topLeftRadius
            topRightRadius: root.topRightRadius
            bottomLeftRadius: root.bottomLeftRadius
            bottomRightRadius: root.bottomRightRadius
            checkable: false
            Layout.preferredHeight: internal.controlMenuItemHeight
            Layout.fillWidth: true
            Accessible.role: Accessible.Link

            onClicked: Qt.openUrlExternally(internal.supportUrl)
        }
    }
}
