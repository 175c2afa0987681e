import QtQuick
import QtQuick.Templates as T
import QtTest
import Velmor.Enums 1.0
import "qrc:/qml/Velmor/Popups"
import "qrc:/qml/Velmor/Items"

TestCase {
    id: testCase
    name: "PopupNotifications"
    width: 1200
    height: 700
    visible: true
    when: windowShown

    // Stands in for App.notificationsMediator: the list of visible rows (what the sort/filter
    // model holds), the count of unseen rows and markAsSeen(). Hiding a row drops it from the
    // list at once, as the filter does; calls are recorded in App.calls.
    Component {
        id: mediatorComponent
        QtObject {
            id: mediator

            property int newNotificationsCount: 0
            readonly property ListModel notificationsModel: ListModel {
                onDataChanged: mediator.dropHiddenRows()
                onCountChanged: mediator.recount()
            }

            function add(row) {
                notificationsModel.append(Object.assign({ typeRole: UINotificationsModel.Text, dataRole: "",
                                                          linkRole: "", dateRole: new Date(2026, 11, 10),
                                                          isSeenRole: false, isHiddenRole: false }, row))
                recount()
            }

            function dropHiddenRows() {
                for (let i = notificationsModel.count - 1; i >= 0; --i) {
                    if (notificationsModel.get(i).isHiddenRole)
                        notificationsModel.remove(i)
                }
                recount()
            }

            function recount() {
                let unseen = 0
                for (let i = 0; i < notificationsModel.count; ++i) {
                    if (!notificationsModel.get(i).isSeenRole)
                        unseen += 1
                }
                newNotificationsCount = unseen
            }

            function markAsSeen() {
                App.record("markAsSeen()")
                for (let i = 0; i < notificationsModel.count; ++i)
                    notificationsModel.setProperty(i, "isSeenRole", true)
                recount()
            }
        }
    }

    Component {
        id: drawerComponent
        PopupNotifications { y: 33; height: 700 - 34 }
    }

    property QtObject mediator: null

    SignalSpy { id: fwSpy; signalName: "fwUpdateClicked" }
    SignalSpy { id: appSpy; signalName: "appUpdateClicked" }
    SignalSpy { id: closedSpy; signalName: "closed" }

    function init() {
        failOnWarning(/.?/)
        mouseMove(testCase, 10, 690)
        mediator = createTemporaryObject(mediatorComponent, testCase)
        App.notificationsMediator = mediator
        App.clearCalls()
    }

    function cleanup() {
        App.notificationsMediator = null
        App.animationsEnabled = true
        App.clearOpenedUrls()
        App.clearCalls()
        for (const spy of [fwSpy, appSpy, closedSpy]) {
            spy.clear()
            spy.target = null
        }
    }

    function part(item, name) {
        const child = findChild(item, name)
        verify(child, name)
        return child
    }

    function openDrawer() {
        const drawer = createTemporaryObject(drawerComponent, testCase)
        verify(drawer)
        fwSpy.target = drawer
        appSpy.target = drawer
        closedSpy.target = drawer
        drawer.open()
        drawer.forceFocus()
        tryCompare(drawer, "opened", true)
        waitForItemPolished(drawer.contentItem)
        return drawer
    }

    function list(drawer) {
        return part(drawer.contentItem, "notificationsListView")
    }

    // The card shown for row `index` of the list.
    function card(drawer, index) {
        const view = list(drawer)
        view.forceLayout()
        const row = view.itemAtIndex(index)
        verify(row, "row " + index)
        verify(row.item, "card of row " + index)
        return row.item
    }

    function addNews(count) {
        for (let i = 0; i < count; ++i)
            mediator.add({ dataRole: "News " + (i + 1), dateRole: new Date(2026, 11, 10 - i) })
    }

    function test_emptyState() {
        const drawer = openDrawer()
        const empty = part(drawer.contentItem, "emptyState")
        compare(empty.visible, true)
        compare(list(drawer).visible, false)
        compare(part(drawer.contentItem, "newNotificationsText").visible, false)
        compare(part(drawer.contentItem, "countSpacer").visible, false)
        compare(part(drawer.contentItem, "listSpacer").visible, false)
        const bell = part(drawer.contentItem, "bell")
        compare(bell.source, App.theme.resourcesPath + "images/other/bell.svg")
        compare(bell.width, 80)
        tryCompare(bell, "status", Image.Ready)
        // The bell and its text stand in the middle of the free space.
        const middle = bell.mapToItem(empty, 0, 0).y
        verify(middle > empty.height / 4 && middle < empty.height * 3 / 4)
        fuzzyCompare(bell.mapToItem(drawer.contentItem, bell.width / 2, 0).x, drawer.contentItem.width / 2, 1)
    }

    function test_widthAndPlacement() {
        const drawer = openDrawer()
        compare(drawer.padding, 16)
        compare(drawer.width, 352, "the header's minimum width and the paddings")
        compare(drawer.x, testCase.width - App.theme.windowBorderWidth - 352)
        compare(drawer.background.color, App.theme.colorPreset)
        compare(drawer.background.bottomRightRadius, 8)
        compare(drawer.background.topRightRadius, 0)
    }

    function test_countLineAndSpacers() {
        addNews(3)
        const drawer = openDrawer()
        const countText = part(drawer.contentItem, "newNotificationsText")
        compare(countText.visible, true)
        compare(countText.text, "3 new notification(s)")
        compare(countText.font.pixelSize, App.theme.fontSizeCaptionSmall)
        compare(countText.Accessible.name, "3 new notification(s)")
        const countSpacer = part(drawer.contentItem, "countSpacer")
        const listSpacer = part(drawer.contentItem, "listSpacer")
        compare(countSpacer.visible, true)
        compare(countSpacer.height, 8)
        compare(listSpacer.visible, true)
        compare(listSpacer.height, 24)
        compare(part(drawer.contentItem, "emptyState").visible, false)
        compare(list(drawer).visible, true)
        compare(list(drawer).count, 3)
        fuzzyCompare(list(drawer).y, countText.y + countText.height + 24, 0.5)
        compare(list(drawer).spacing, 12)
        compare(list(drawer).clip, true)
        // One new row: no plural form.
        mediator.markAsSeen()
        mediator.notificationsModel.setProperty(0, "isSeenRole", false)
        compare(countText.text, "1 new notification(s)")
    }

    function test_allSeenHidesCountLine() {
        mediator.add({ dataRole: "Old news", isSeenRole: true })
        const drawer = openDrawer()
        compare(part(drawer.contentItem, "newNotificationsText").visible, false)
        compare(part(drawer.contentItem, "countSpacer").visible, false)
        compare(part(drawer.contentItem, "listSpacer").visible, true)
        compare(card(drawer, 0).isNew, false)
    }

    function test_textCardBindings() {
        mediator.add({ dataRole: "Firmware 2.1 is out.", linkRole: "https://velmor.example/n/1",
                       dateRole: new Date(2026, 0, 5) })
        const drawer = openDrawer()
        const c = card(drawer, 0)
        verify(c instanceof ItemNotificationText)
        compare(c.text, "Firmware 2.1 is out.")
        compare(c.link, "https://velmor.example/n/1")
        compare(c.isNew, true)
        compare(c.isUpdate, false)
        compare(c.date, "05 Jan 2026")
        compare(c.width, list(drawer).width)
    }

    function test_noticesOfferUpdate_data() {
        return [
            { tag: "firmware", type: UINotificationsModel.FwUpdate, text: "A firmware update is required for your headphones." },
            { tag: "app", type: UINotificationsModel.AppUpdate, text: "A new version of the Velmor App is available." },
        ]
    }

    function test_noticesOfferUpdate(data) {
        mediator.add({ typeRole: data.type, dataRole: data.text })
        const drawer = openDrawer()
        const c = card(drawer, 0)
        compare(c.isUpdate, true)
        compare(c.text, data.text)
        compare(part(c, "updateBtn").visible, true)
    }

    function test_firmwareUpdateClosesThenRequests() {
        mediator.add({ typeRole: UINotificationsModel.FwUpdate, dataRole: "A firmware update is required for your headphones." })
        addNews(1)
        const drawer = openDrawer()
        let openedAtSignal = null
        const record = () => { openedAtSignal = drawer.opened }
        drawer.fwUpdateClicked.connect(record)
        mouseClick(part(card(drawer, 0), "updateBtn"))
        compare(fwSpy.count, 1)
        compare(openedAtSignal, false, "the drawer has begun to close before the request")
        compare(appSpy.count, 0)
        // Marked seen once the drawer has finished closing, not before.
        compare(App.calls, [])
        tryCompare(drawer, "visible", false)
        compare(App.calls, ["markAsSeen()"])
        compare(mediator.newNotificationsCount, 0)
    }

    function test_appUpdateKeepsDrawerOpen() {
        mediator.add({ typeRole: UINotificationsModel.AppUpdate, dataRole: "A new version of the Velmor App is available." })
        const drawer = openDrawer()
        mouseClick(part(card(drawer, 0), "updateBtn"))
        compare(appSpy.count, 1)
        compare(fwSpy.count, 0)
        compare(drawer.opened, true)
        compare(App.calls, [])
    }

    function test_closingMarksSeen_data() {
        return [
            { tag: "close button", how: "button" },
            { tag: "escape", how: "escape" },
            { tag: "click outside", how: "outside" },
        ]
    }

    function test_closingMarksSeen(data) {
        addNews(3)
        const drawer = openDrawer()
        // Nothing is marked while the drawer is open.
        compare(mediator.newNotificationsCount, 3)
        compare(card(drawer, 0).isNew, true)
        if (data.how === "button")
            mouseClick(part(drawer.contentItem, "closeBtn"))
        else if (data.how === "escape")
            keyClick(Qt.Key_Escape)
        else
            mouseClick(T.Overlay.overlay, 100, 300)
        tryCompare(drawer, "visible", false)
        compare(closedSpy.count, 1)
        compare(App.calls, ["markAsSeen()"])
        compare(mediator.newNotificationsCount, 0)
        // Reopened: no "New" marks, no count line.
        drawer.open()
        tryCompare(drawer, "opened", true)
        compare(part(drawer.contentItem, "newNotificationsText").visible, false)
        for (let i = 0; i < 3; ++i)
            compare(card(drawer, i).isNew, false)
    }

    function test_closeButtonHasFocus() {
        const drawer = openDrawer()
        const close = part(drawer.contentItem, "closeBtn")
        compare(close.activeFocus, true)
        compare(close.text, "Close")
        compare(close.source, App.theme.resourcesPath + "images/close_regular.svg")
    }

    function test_hidingACard_data() {
        return [
            { tag: "animated", animations: true },
            { tag: "without animations", animations: false },
        ]
    }

    function test_hidingACard(data) {
        App.animationsEnabled = data.animations
        addNews(3)
        const drawer = openDrawer()
        const view = list(drawer)
        const hidden = card(drawer, 1)
        const hiddenRow = hidden.parent
        mouseClick(part(hidden, "closeBtn"))
        // The row is hidden through the model; the count falls at once.
        compare(mediator.notificationsModel.count, 2)
        compare(mediator.newNotificationsCount, 2)
        compare(part(drawer.contentItem, "newNotificationsText").text, "2 new notification(s)")
        if (data.animations) {
            // The card slides out to the right.
            tryVerify(() => !hiddenRow || hiddenRow.x > 0, 1000)
        }
        tryCompare(view, "count", 2)
        compare(card(drawer, 0).text, "News 1")
        compare(card(drawer, 1).text, "News 3")
        tryVerify(() => card(drawer, 1).parent.y > 0 && card(drawer, 1).parent.x === 0)
        compare(App.calls, [])
    }

    function test_hidingAnImageCard() {
        mediator.add({ typeRole: UINotificationsModel.Image, dataRole: "" })
        const drawer = openDrawer()
        const c = card(drawer, 0)
        mouseMove(c, 100, 40)
        tryCompare(part(c, "overlay"), "visible", true)
        mouseClick(part(c, "closeBtn"))
        compare(mediator.notificationsModel.count, 0)
        tryCompare(part(drawer.contentItem, "emptyState"), "visible", true)
    }

    function test_transitionsFollowAnimationSetting() {
        const drawer = openDrawer()
        const view = list(drawer)
        for (const transition of [view.add, view.remove, view.displaced])
            compare(transition.enabled, true)
        App.animationsEnabled = false
        for (const transition of [view.add, view.remove, view.displaced])
            compare(transition.enabled, false)
    }

    function test_newRowsEnterWhileOpen() {
        const drawer = openDrawer()
        compare(part(drawer.contentItem, "emptyState").visible, true)
        mediator.add({ typeRole: UINotificationsModel.FwUpdate, dataRole: "A firmware update is required for your headphones." })
        tryCompare(list(drawer), "count", 1)
        compare(part(drawer.contentItem, "emptyState").visible, false)
        compare(part(drawer.contentItem, "newNotificationsText").text, "1 new notification(s)")
        tryCompare(card(drawer, 0).parent, "x", 0)
    }

    function test_imageCardsLoadOnlyHttps_data() {
        return [
            // The test network holds every request to another machine: the load is asked for and
            // stays pending.
            { tag: "https", address: "https://velmor.invalid/promo.png", source: "https://velmor.invalid/promo.png" },
            { tag: "plain web", address: "http://velmor.example/promo.png", source: "" },
            { tag: "upper-case scheme", address: "HTTPS://velmor.example/promo.png", source: "" },
            { tag: "local file", address: "file:///etc/hosts", source: "" },
            { tag: "resource", address: "qrc:/dark/images/devices/no_device.png", source: "" },
            { tag: "empty", address: "", source: "" },
        ]
    }

    function test_imageCardsLoadOnlyHttps(data) {
        mediator.add({ typeRole: UINotificationsModel.Image, dataRole: data.address, linkRole: "https://velmor.example/" })
        const drawer = openDrawer()
        const c = card(drawer, 0)
        verify(c instanceof ItemNotificationImage)
        compare(c.tempUrl, data.address)
        compare(c.source.toString(), data.source)
        compare(c.link, "https://velmor.example/")
        compare(c.height, 80)
        // An image card has no "New" mark or date of its own.
        compare(findChild(c, "itemNew"), null)
        // The link, fold and close controls are offered all the same.
        mouseMove(c, 100, 40)
        tryCompare(part(c, "overlay"), "visible", true)
        compare(part(c, "linkBtn").visible, true)
        if (data.source === "")
            compare(part(c, "sourceItem").status, Image.Null)
    }

    function test_openLinkFromTextCard() {
        mediator.add({ dataRole: "Read more", linkRole: "https://velmor.example/n/2" })
        const drawer = openDrawer()
        mouseClick(part(card(drawer, 0), "openBtn"))
        compare(App.openedUrls, ["https://velmor.example/n/2"])
        compare(drawer.opened, true)
    }

    function test_withoutMediatorShowsEmptyState() {
        App.notificationsMediator = null
        const drawer = openDrawer()
        compare(part(drawer.contentItem, "emptyState").visible, true)
        drawer.close()
        tryCompare(drawer, "visible", false)
    }
}
