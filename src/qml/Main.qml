import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Velmor.Enums 1.0

import "Controls"
import "Items"

// The application window: a rounded, dark window with its own title bar and resize areas. It
// shows one screen at a time, chosen by the consent setting and the current UI model; it owns
// the two drawers, the app-update and licences dialogs and the permission box; it owns the tray
// icon and decides what closing and quitting mean: hide to the tray while that option is on,
// refuse while closing is blocked (a firmware update runs), quit otherwise.
Window {
    id: root

    width: 1200
    height: 656 + App.theme.titleBarSize
    minimumWidth: 1200
    minimumHeight: 688
    visible: true
    title: App.applicationName
    color: App.theme.colorTransparent
    flags: internal.flags

    onClosing: (close) => {
        if (internal.minimizeToTray && !internal.quitting) {
            root.hide()
            close.accepted = false
        } else if (internal.isClosingBlocked()) {
            close.accepted = false
        } else {
            // The last window closes, so the application ends.
            internal.quitting = true
        }
    }

    QtObject {
        id: internal

        // True while one of the two drawers is shown.
        property bool popupOpened: false
        // True once the application has committed to ending; never reset.
        property bool quitting: false
        readonly property bool legalTermsAccepted: App.appMediator ? App.appMediator.eulaAccepted : false
        // Without a system tray the window would hide with nothing to bring it back: closing
        // then quits, as with the option off (also in the moment before the tray is loaded).
        readonly property bool trayAvailable: trayLoader.tray?.available ?? false
        readonly property bool minimizeToTray: trayAvailable && (App.appMediator ? App.appMediator.minimizeToTray : false)
        // Square where nothing composites the window: its transparent corners would show black.
        readonly property int radius: App.windowCompositing ? 8 : 0
        // The resize areas keep their width when the corners are square.
        readonly property int frameBorderSize: 4
        readonly property int contentMargin: isWindows && root.visibility === Window.Maximized ? frameBorderSize : 0
        readonly property bool isMacOS: Qt.platform.os === "osx"
        readonly property bool isWindows: Qt.platform.os === "windows"
        readonly property int titleBarSize: App.theme.titleBarSize
        // Windows removes the system frame with a native hook and macOS keeps its own; elsewhere
        // the window manager would draw a second title bar above ours, so the window asks for
        // none and moves and resizes itself through the window manager.
        readonly property bool isFrameless: !isWindows && !isMacOS
        readonly property int flags: isFrameless ? Qt.Window | Qt.FramelessWindowHint : Qt.Window
        readonly property Component titleBarComponent: isMacOS ? titleBarMacOSComponent.get() : titleBarWindowsComponent.get()

        // True once the title bar with its buttons and the first screen are whole: until then
        // the window shows only its background, so the first frame with text in it has them
        // both. Never reset.
        property bool contentShown: false

        // False while `item`, or a part of it on view, is still being built or laid out: a
        // loader still loading, a picture still decoding.
        function isWhole(item) {
            if (!item)
                return false
            if (!item.visible)
                return true
            if (item instanceof Loader && item.status === Loader.Loading)
                return false
            if (item instanceof Image && item.status === Image.Loading)
                return false
            for (let i = 0; i < item.children.length; ++i) {
                if (!isWhole(item.children[i]))
                    return false
            }
            return true
        }

        // The first screen counts once the device search is over (or the legal terms are
        // asked): an empty content area before that is no screen.
        function showContentWhenWhole(framed) {
            if (contentShown || !(framed || !root.visible))
                return
            if (titleBarLoader.status !== Loader.Ready || !isWhole(titleBarLoader.item))
                return
            if (mainLoader.status !== Loader.Ready || !isWhole(mainLoader.item))
                return
            if (mainLoader.wanted === emptyComponent && !App.deviceSearchDone)
                return
            contentShown = true
            App.windowContentShown()
        }

        function showAppWindow() {
            root.show()
            root.requestActivate()
            root.raise()
        }

        // The quit comes first: the application then closes the window, and the closing
        // handler, finding `quitting` set, lets it close instead of hiding it to the tray.
        function quitApp() {
            if (quitting)
                return
            if (isClosingBlocked())
                return
            quitting = true
            Qt.quit()
        }

        function isClosingBlocked() {
            return App.appMediator ? App.appMediator.isClosingBlocked() : false
        }

        function titleBarEventHandler(id) {
            switch (id) {
            case ZelTitleBar.Close:
                root.close()
                break
            case ZelTitleBar.Maximize:
                frame.toggleMaximized()
                break
            case ZelTitleBar.Minimize:
                root.showMinimized()
                break
            case ZelTitleBar.Settings:
                if (!isClosingBlocked())
                    popupLoader.open(appSettingsComponent.get())
                break
            case ZelTitleBar.Notifications:
                if (!isClosingBlocked())
                    popupLoader.open(notificationsComponent.get())
                break
            case ZelTitleBar.Move:
                frame.startMove()
                break
            }
        }
    }

    Connections {
        target: App

        function onShowAppWindow() {
            internal.showAppWindow()
        }

        function onQuitApp() {
            internal.quitApp()
        }

        function onRequestInputMonitoring() {
            permissionsMessageLoader.open(dlgPermissions.get())
        }
    }

    // The application's first-frame event: what would cost the first frame waits for it.
    Component.onCompleted: App.watchFirstFrame(root)

    // The tray icon and its menu come once the window is on screen (the application's
    // first-frame event, which also comes should the window start hidden), and are built apart
    // from the frame that triggers them: loading the platform's tray took about 17 of the 130 ms
    // before the first frame, and building its menu in that frame's own handler another 5.
    Loader {
        id: trayLoader

        // The tray icon, read through its own members (a Loader declares `item` a plain object).
        readonly property var tray: item

        objectName: "trayLoader"
        active: App.firstFrameShown
        asynchronous: true
        source: "Items/ItemTray.qml"
        onLoaded: item.shown = Qt.binding(() => internal.minimizeToTray)
    }

    Connections {
        target: trayLoader.item

        function onActivateRequested() {
            root.requestActivate()
        }

        function onShowRequested() {
            internal.showAppWindow()
        }

        function onQuitRequested() {
            internal.quitApp()
        }
    }

    Rectangle {
        id: mainRect

        objectName: "mainRect"
        anchors.fill: parent
        radius: internal.radius
        color: App.theme.colorPreset
        border.color: App.theme.colorPresetHovered
        border.width: App.theme.windowBorderWidth

        ColumnLayout {
            id: mainLayout

            // Laid out from the start, drawn and used once whole.
            objectName: "mainLayout"
            opacity: internal.contentShown ? 1 : 0
            enabled: internal.contentShown
            anchors.fill: parent
            anchors.margins: mainRect.border.width
            spacing: 0

            Loader {
                id: titleBarLoader

                objectName: "titleBarLoader"
                // Built after the first frame (which holds no text), with the controls library it
                // needs (about 9 ms), and shown with the first screen once both are whole.
                asynchronous: true
                sourceComponent: internal.titleBarComponent
                Layout.fillWidth: true
                Layout.preferredHeight: internal.titleBarSize

                // Bound here, where the title bar's type is loaded: the window's own creation
                // reads nothing of it, so it never waits for the title bar's loading.
                onLoaded: {
                    item.enabledButtons = Qt.binding(() => ZelTitleBar.SystemButtons
                                                           | (internal.popupOpened ? 0 : ZelTitleBar.CustomButtons))
                    item.visibleButtons = Qt.binding(() => ZelTitleBar.SystemButtons
                                                           | (internal.legalTermsAccepted ? ZelTitleBar.CustomButtons : 0))
                    item.action.connect(internal.titleBarEventHandler)
                }
            }

            // The current screen, which holds the keyboard focus with its own first control
            // focused. A new screen is built apart, unseen (opacity 0: laid out, and its pictures
            // loading, as if shown), while the one before stays on view; once it is whole (built,
            // the pages and pictures it shows loaded, laid out) it takes the old one's place in
            // one frame. Read like a Loader: `item` is the screen on view, and `status` is
            // Loader.Ready once that is the screen wanted.
            FocusScope {
                id: mainLoader

                focus: true

                readonly property var uiModel: App.uiModel
                readonly property int modelType: uiModel ? uiModel.type : UIModel.Unknown
                readonly property Component wanted: !internal.legalTermsAccepted ? legalTermsComponent.get()
                                                  : !uiModel ? emptyComponent
                                                  : modelType === UIModel.Kestrin ? kestrinComponent.get()
                                                  : modelType === UIModel.Solvarine ? solvarineComponent.get()
                                                  : App.deviceSearchDone ? noDeviceComponent.get()
                                                  : emptyComponent
                // The screen of a device whose set-up is under way: built unseen meanwhile, so
                // that once the device is ready it only takes in the device's values.
                readonly property Component prepared: !internal.legalTermsAccepted ? null
                                                    : App.settingUpModelType === UIModel.Kestrin ? kestrinComponent.get()
                                                    : App.settingUpModelType === UIModel.Solvarine ? solvarineComponent.get()
                                                    : null
                // The loader whose screen is on view (null before the first), and the one that
                // builds the next.
                property ScreenLoader shown: null
                property ScreenLoader pending: null
                readonly property var item: shown ? shown.item : null
                readonly property int status: shown && !shown.retired && shown.sourceComponent === wanted ? Loader.Ready
                                                                                                          : Loader.Loading

                // `framed`: called in a frame, after its layout pass and before it is drawn, so
                // that the new screen is whole as drawn and comes in that very frame. A window
                // that draws nothing (hidden) switches at once.
                function update(framed) {
                    if (shown && !shown.retired && shown.sourceComponent === wanted) {
                        pending = null
                        prepareIn(other(shown))
                        return
                    }
                    // Once another screen is wanted, the one on view goes, even should its kind
                    // be wanted again before the other is whole: a screen starts afresh each time.
                    if (shown && shown.sourceComponent !== wanted)
                        shown.retired = true
                    // A place not on view: at the start (none on view), the one that has the
                    // wanted screen already (prepared), if one has.
                    const next = shown ? other(shown) : screenB.sourceComponent === wanted ? screenB : screenA
                    if (next.sourceComponent !== wanted)
                        next.sourceComponent = wanted
                    pending = next
                    // Nothing on view yet (the start): the other place prepares meanwhile.
                    if (!shown)
                        prepareIn(other(next))
                    if (next.status !== Loader.Ready || !(framed || !root.visible) || !internal.isWhole(next.item))
                        return
                    shown = next
                    pending = null
                    prepareIn(other(shown))
                }

                function other(loader) {
                    return loader === screenA ? screenB : screenA
                }

                // Gives `loader` (not on view) the prepared screen, or empties it. A screen that
                // has been on view is never prepared again: the next of its kind is a new one.
                function prepareIn(loader) {
                    if (loader.retired) {
                        loader.sourceComponent = null
                        loader.retired = false
                    }
                    const screen = prepared !== wanted ? prepared : null
                    if (loader.sourceComponent !== screen)
                        loader.sourceComponent = screen
                }

                objectName: "mainLoader"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.leftMargin: internal.contentMargin
                Layout.rightMargin: internal.contentMargin
                Layout.bottomMargin: internal.contentMargin

                onWantedChanged: update(false)
                onPreparedChanged: update(false)
                Component.onCompleted: update(false)

                ScreenLoader { id: screenA }
                ScreenLoader { id: screenB }
            }
        }
    }

    // One of the two places of a screen: on view, or building the next one unseen.
    component ScreenLoader: Loader {
        // Set once another screen is wanted while this one is on view: it is replaced, never
        // shown again.
        property bool retired: false

        // A screen, above all the headset screen, is built a piece per frame: the window keeps
        // drawing (and answering) while it comes up.
        asynchronous: true
        anchors.fill: parent
        // Laid out, and its pictures loading, as if on view: the screen on view, the next one,
        // or the one prepared.
        visible: status !== Loader.Null
        opacity: mainLoader.shown === this ? 1 : 0
        enabled: mainLoader.shown === this
        focus: mainLoader.shown === this

        // The screens' bottom corners follow the window's rounding.
        onLoaded: {
            const screen = item
            if (screen.bottomLeftRadius === undefined)
                return
            screen.bottomLeftRadius = Qt.binding(() => internal.radius)
            screen.bottomRightRadius = Qt.binding(() => internal.radius)
            if (screen.accepted)
                screen.accepted.connect(() => App.appMediator.eulaAccepted = true)
            if (screen.alertRequested)
                screen.alertRequested.connect(() => root.alert(0))
        }
        onStatusChanged: {
            if (mainLoader.pending === this)
                mainLoader.update(false)
        }
    }

    // Each frame while a screen is being switched in or the window's content is not yet shown,
    // after the frame's layout pass and before it is drawn.
    Connections {
        target: root
        enabled: mainLoader.pending !== null || !internal.contentShown

        function onAfterAnimating() {
            if (mainLoader.pending)
                mainLoader.update(true)
            internal.showContentWhenWhole(true)
        }
    }

    // The window's own frame: the move by the title bar, maximizing, and the resize areas over
    // the outer pixels of the window while it is windowed.
    ItemWindowChrome {
        id: frame

        objectName: "windowChrome"
        anchors.fill: mainRect
        window: root
        frameless: internal.isFrameless
        borderSize: internal.frameBorderSize
        titleBar: titleBarLoader
    }

    // The drawers and dialogs open through their loaders, each taking the keyboard focus from
    // what lies below it: a dialog opened over a drawer takes it from the drawer.

    // One drawer at a time.
    ItemPopupLoader {
        id: popupLoader

        objectName: "popupLoader"

        // Both drawers lie just below the title bar and reach down to the bottom border.
        onLoaded: {
            const drawer = item
            drawer.y = Qt.binding(() => titleBarLoader.height + mainRect.border.width)
            drawer.height = Qt.binding(() => root.height - drawer.y - mainRect.border.width)
            drawer.aboutToShow.connect(() => internal.popupOpened = true)
            // A drawer open as the window ends hides once the window's own objects are gone.
            drawer.aboutToHide.connect(() => {
                if (internal)
                    internal.popupOpened = false
            })
            drawer.appUpdateClicked.connect(() => popup2Loader.open(appUpdateDialog.get()))
            if (drawer.popupOpen) {
                // The application settings.
                drawer.width = 450
                drawer.trayAvailable = Qt.binding(() => internal.trayAvailable)
                drawer.popupOpen.connect((dlg) => popup2Loader.open(dlg))
            }
            if (drawer.fwUpdateClicked) {
                // The notifications: only the headset screen offers a firmware update;
                // elsewhere the request is ignored.
                drawer.fwUpdateClicked.connect(() => {
                    if (mainLoader.item && typeof mainLoader.item.startFwUpdate === "function")
                        mainLoader.item.startFwUpdate()
                })
            }
        }
    }

    // One dialog at a time, above the drawers: app update or licences.
    ItemPopupLoader {
        id: popup2Loader

        objectName: "popup2Loader"
    }

    // The permission box; a second request while it is open shows no second box.
    ItemPopupLoader {
        id: permissionsMessageLoader

        objectName: "permissionsMessageLoader"

        onLoaded: {
            item.title = qsTr("Grant Permissions")
            item.text = qsTr("Please grant Input Monitoring permission for your Velmor product")
            item.positiveText = qsTr("Open Permissions")
            item.positiveClicked.connect(() => App.openPermissions())
        }
    }

    // A component of one of the module's files, made when it is first needed and kept: the
    // window's first frame does not wait for screens, drawers and dialogs (and the modules that
    // they import) that it does not show.
    component LazyComponent: QtObject {
        required property string file
        // Compiled on the engine's loader thread rather than here: for the screens, whose
        // loader waits for the component anyway, so that a first screen's dozens of files never
        // hold up a frame. Popups stay synchronous: whoever opens one uses it at once.
        property bool asynchronous: false
        // Holds the component without notifying anyone, so that get() may run in a binding.
        readonly property var store: ({})

        function get() {
            if (!store.component)
                store.component = Qt.createComponent(Qt.resolvedUrl(file),
                    asynchronous ? Component.Asynchronous : Component.PreferSynchronous)
            return store.component
        }
    }

    LazyComponent { id: titleBarWindowsComponent; file: "Widgets/WidgetTitleBarWindows.qml"; asynchronous: true }
    LazyComponent { id: titleBarMacOSComponent; file: "Widgets/WidgetTitleBarMacOS.qml"; asynchronous: true }
    LazyComponent { id: appSettingsComponent; file: "Popups/PopupAppSettings.qml" }
    LazyComponent { id: notificationsComponent; file: "Popups/PopupNotifications.qml" }
    LazyComponent { id: noDeviceComponent; file: "Widgets/WidgetNoDevice.qml"; asynchronous: true }
    LazyComponent { id: kestrinComponent; file: "Widgets/WidgetKesMain.qml"; asynchronous: true }
    LazyComponent { id: solvarineComponent; file: "Widgets/WidgetSlvMain.qml"; asynchronous: true }
    LazyComponent { id: legalTermsComponent; file: "Widgets/WidgetLegalTerms.qml"; asynchronous: true }
    LazyComponent { id: appUpdateDialog; file: "Dialogs/DlgAppUpdate.qml" }
    LazyComponent { id: dlgPermissions; file: "Dialogs/DlgConfirmBox.qml" }

    Component {
        id: emptyComponent

        Item {}
    }
}
