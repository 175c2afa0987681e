import QtQuick
import QtQuick.Layouts

import "../Controls"

// The headset screen: the side menu on the left, the page it selects on the right and the
// status bar below the pages. All pages live as long as the screen; only one is shown.
RoundedRectangle {
    id: root

    signal alertRequested()

    // Shows the Settings page and presses its firmware button (nothing opens while no update is
    // offered).
    function startFwUpdate() {
        menu.currentIndex = 4
        const page = productSettingsLoader.item as WidgetKesTabProductSettings
        if (page)
            page.startFwUpdate()
    }

    color: App.theme.colorEmpty

    RowLayout {
        id: mainLayout

        anchors.fill: parent
        spacing: 0

        WidgetKesMenu {
            id: menu

            objectName: "menu"
            currentIndex: 0
            clip: true
            bottomLeftRadius: root.bottomLeftRadius
            Layout.fillHeight: true
            Layout.preferredWidth: implicitWidth
        }

        ColumnLayout {
            spacing: 0
            Layout.fillWidth: true
            Layout.fillHeight: true

            StackLayout {
                id: pages

                objectName: "pages"
                currentIndex: menu.currentIndex
                Layout.fillWidth: true
                Layout.fillHeight: true

                // Each page is built on its own: when the screen is built a piece per frame
                // (the main window does so), no single piece is the whole screen.
                Loader {
                    sourceComponent: Component {
                        WidgetKesTabSound {
                            objectName: "soundTab"
                        }
                    }
                }

                Loader {
                    sourceComponent: Component {
                        WidgetKesTabEq {
                            objectName: "eqTab"
                        }
                    }
                }

                Loader {
                    sourceComponent: Component {
                        WidgetKesTabMicrophone {
                            objectName: "microphoneTab"
                        }
                    }
                }

                // Head tracking has no page.
                Item {
                }

                Loader {
                    id: productSettingsLoader

                    // Unbound: Qt 6.4's Loader cannot build a bound component, so the linter cannot

                    // tell that these ids are this file's own.
                    // qmllint disable unqualified
                    sourceComponent: Component {
                        WidgetKesTabProductSettings {
                            objectName: "productSettingsTab"

                            onAlertRequested: root.alertRequested()
                        }
                    }
                    // qmllint enable unqualified
                }
            }

            WidgetKesStatusBar {
                objectName: "statusBar"
                bottomRightRadius: root.bottomRightRadius
                Layout.leftMargin: 40
                Layout.fillWidth: true
                Layout.preferredHeight: implicitHeight
            }
        }
    }
}
