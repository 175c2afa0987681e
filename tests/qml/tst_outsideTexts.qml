import QtQuick
import QtTest

import "qrc:/qml/Velmor/Controls"
import "qrc:/qml/Velmor/Items"

// Texts that come from servers, files or the headset (rollback version names, notification
// texts and dates, version strings, EQ preset names, list entries) are shown as the characters
// they hold: markup in them is neither drawn nor followed, so an image tag fetches nothing.
Item {
    id: root

    width: 800
    height: 600

    readonly property string markup: "<img src=\"https://markup.invalid/picture.png\" width=\"64\" height=\"64\"><b>1.2.3</b>"

    Component {
        id: menuComponent

        ZelMenuList { }
    }

    Component {
        id: notificationComponent

        ItemNotificationText {
            width: 400
        }
    }

    Component {
        id: versionRowComponent

        ItemVersionRowLabel {
            width: 700
        }
    }

    Component {
        id: presetComponent

        ZelButtonPreset {
            width: 700
            editable: true
        }
    }

    Component {
        id: comboComponent

        ZelComboBox {
            width: 700
        }
    }

    Component {
        id: menuItemComponent

        ZelMenuItem {
            width: 700
            expanded: true
            iconSource: App.theme.resourcesPath + "images/menu/support.svg"
        }
    }

    Component {
        id: buttonComponent

        ZelButton { }
    }

    Component {
        id: remoteImageComponent

        Image {
            source: "https://control.invalid/picture.png"
        }
    }

    TextMetrics {
        id: metrics
    }

    TestCase {
        id: testCase

        name: "OutsideTexts"
        when: windowShown

        function init() {
            HeldRequests.clear()
        }

        function itemsBelow(item, found) {
            found.push(item)
            for (let i = 0; i < item.children.length; ++i)
                itemsBelow(item.children[i], found)
            if (item.contentItem && found.indexOf(item.contentItem) < 0)
                itemsBelow(item.contentItem, found)
            return found
        }

        function test_markupShownAsTyped_data() {
            return [
                { tag: "rollback menu row", component: menuComponent, properties: { menuItems: [root.markup] },
                  popup: true },
                { tag: "notification text and date", component: notificationComponent,
                  properties: { text: root.markup, date: root.markup } },
                { tag: "version row", component: versionRowComponent,
                  properties: { leftText: root.markup, rightText: root.markup } },
                { tag: "EQ preset name", component: presetComponent, properties: { text: root.markup } },
                { tag: "combo box entry", component: comboComponent, properties: { model: [root.markup] },
                  popup: true },
                { tag: "menu item", component: menuItemComponent, properties: { text: root.markup } },
                { tag: "button", component: buttonComponent, properties: { text: root.markup } }
            ]
        }

        function test_markupShownAsTyped(data) {
            const control = createTemporaryObject(data.component, root, data.properties)
            verify(control)
            if (data.popup) {
                if (control.popup !== undefined && control.popup !== null && control.popup.open)
                    control.popup.open()
                else
                    control.popup(root, 10, 10)
                const popupItem = control.popup && control.popup.contentItem ? control.popup : control
                tryCompare(popupItem, "opened", true)
            }
            waitForRendering(root)

            const scope = data.popup ? root.Window.window.contentItem : control
            // The text items themselves (a control's own `text` is only what it hands them).
            const shown = itemsBelow(scope, []).filter(item => item.text === root.markup && item.visible
                                                       && item.contentWidth !== undefined)
            verify(shown.length > 0, "an item shows the text")
            for (const item of shown) {
                // As wide as the characters themselves: no picture and no bold run.
                metrics.font = item.font
                metrics.text = root.markup
                const width = item.implicitWidth !== undefined && item.contentWidth !== undefined
                    ? Math.max(item.contentWidth, item.implicitWidth - (item.leftPadding || 0)
                               - (item.rightPadding || 0))
                    : item.contentWidth
                verify(Math.abs(width - metrics.advanceWidth) <= metrics.advanceWidth * 0.05 + 2,
                       String(item) + " is " + width + " px wide, the characters " + metrics.advanceWidth)
                if (item.lineCount !== undefined && item.wrapMode === Text.NoWrap)
                    compare(item.lineCount, 1)
            }

            // A picture from the web that is meant to load: once its request is held, any
            // request of the markup's picture (queued before it) would have been held too.
            const control2 = createTemporaryObject(remoteImageComponent, root)
            verify(control2)
            tryVerify(() => HeldRequests.requests().some(url => url.indexOf("control.invalid") >= 0), 5000)
            verify(!HeldRequests.requests().some(url => url.indexOf("markup.invalid") >= 0),
                   JSON.stringify(HeldRequests.requests()))
            if (data.popup) {
                const popup = control.popup && control.popup.close ? control.popup : control
                popup.close()
                tryCompare(popup, "visible", false)
            }
        }
    }
}
