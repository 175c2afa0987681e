import QtQuick
import QtTest
import "qrc:/qml/Velmor/Dialogs"

TestCase {
    id: testCase
    name: "DialogLicenses"
    width: 1200
    height: 688
    visible: true
    when: windowShown

    MouseArea {
        id: below
        property int clicks: 0
        x: 10; y: 600; width: 200; height: 80
        onClicked: clicks += 1
    }

    Component { id: dialogComponent; DlgLicenses {} }

    property var dialog: null

    function init() {
        App.clearOpenedUrls()
        dialog = createTemporaryObject(dialogComponent, testCase)
        dialog.open()
        tryCompare(dialog, "opened", true)
    }

    function child(name) {
        const item = findChild(dialog, name)
        verify(item, name)
        return item
    }

    // A point of the notice over the given link, found by scanning.
    function pointOnLink(label, link) {
        for (let y = 2; y < label.height; y += 4) {
            for (let x = 2; x < label.width; x += 4) {
                if (label.linkAt(x, y) === link)
                    return Qt.point(x, y)
            }
        }
        return null
    }

    function count(text, part) { return text.split(part).length - 1 }

    function test_layout() {
        compare(child("labelTitle").text, "Licenses")
        compare(child("closeButton").text, "Close")
        compare(dialog.width, 600)
        verify(dialog.height >= 176)
    }

    function test_escapeClosesRightAway() {
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
    }

    function test_closeButton() {
        mouseClick(child("closeButton"))
        tryCompare(dialog, "visible", false)
    }

    function test_clickOutsideKeepsItOpen() {
        below.clicks = 0
        mouseClick(below)
        compare(below.clicks, 0)
        compare(dialog.opened, true)
    }

    function test_noticeShowsEachAddressOnceAsALink() {
        const label = child("labelText")
        const text = label.text
        verify(text.startsWith("<style type='text/css'>a:link{color:#ffffff;}</style>"), text)
        compare(count(text, "<a href='mailto:support@velmor.com'>support@velmor.com</a><br><br>Qt library version 6 "), 1)
        compare(count(text, "<a href='https://www.qt.io/'>https://www.qt.io/</a>"), 1)
        compare(count(text, "<a href='https://doc.qt.io/qt-6/lgpl.html'>https://doc.qt.io/qt-6/lgpl.html</a>"), 1)
        compare(count(text, "<a "), 3)
        compare(label.Accessible.name,
                "For Qt libraries update please contact support@velmor.comQt library version 6 https://www.qt.io/ distributed under the GNU Lesser General Public License version 3 https://doc.qt.io/qt-6/lgpl.html")
        compare(label.Accessible.role, Accessible.StaticText)
    }

    function test_linksShowTheHandAndOpen_data() {
        return [
            { tag: "mail", link: "mailto:support@velmor.com" },
            { tag: "Qt", link: "https://www.qt.io/" },
            { tag: "LGPL", link: "https://doc.qt.io/qt-6/lgpl.html" },
        ]
    }

    function test_linksShowTheHandAndOpen(data) {
        const label = child("labelText")
        const hover = child("linkHover")
        compare(hover.cursorShape, Qt.PointingHandCursor)
        const point = pointOnLink(label, data.link)
        verify(point, "the link is shown")
        mouseMove(label, point.x, point.y)
        tryCompare(label, "hoveredLink", data.link)
        compare(hover.enabled, true)
        // Plain text: no hand.
        mouseMove(label, 2, 8)
        tryCompare(label, "hoveredLink", "")
        compare(hover.enabled, false)
        mouseClick(label, point.x, point.y)
        compare(App.openedUrls, [data.link])
        compare(dialog.opened, true)
    }
}
