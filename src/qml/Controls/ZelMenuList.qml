pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Templates as T

// Pop-up menu listing `menuItems` as rows; reports the row clicked after closing itself.
// The template's own menu items are not used.
T.Menu {
    id: control

    property var menuItems: []

    signal itemClicked(int index)

    implicitWidth: Math.max(320, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    // Clear of the background's rounded corners and of its border.
    topPadding: App.theme.controlRadius
    bottomPadding: App.theme.controlRadius
    leftPadding: 1
    rightPadding: 1

    // The rows live one level below the content item: the menu template takes children
    // that a Repeater adds to its content item for its own (hidden) menu items.
    // A positioner holds the rows: a Repeater directly inside a Quick Layout reads freed rows on
    // Qt 6.4 when `menuItems` changes. As wide as the widest row's text asks.
    // The rows' column has an id, read by the content item's size and by the rows: that makes
    // the content item immediate, which this menu, drawn on the Templates with no style, wants.
    // qmllint disable deferred-property-id
    contentItem: Item {
        implicitWidth: {
            let widest = 0
            for (let i = 0; i < rows.children.length; ++i)
                widest = Math.max(widest, rows.children[i].implicitWidth)
            return widest
        }
        implicitHeight: rows.implicitHeight

        Column {
            id: rows

            width: parent.width

            Repeater {
                model: control.menuItems

                ZelMenuListItem {
                    required property string modelData
                    required property int index

                    width: rows.width
                    text: modelData

                    onClicked: {
                        control.close()
                        control.itemClicked(index)
                    }
                }
            }
        }
    }
    // qmllint enable deferred-property-id

    background: Rectangle {
        color: App.theme.colorPresetActive
        border.width: 1
        border.color: App.theme.colorButtonPressed
        radius: App.theme.controlRadius
    }
}
