#include "platform/WindowCompositing.h"

#include "core/GlobalLogger.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>

#include <cstdlib>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace Platform {

namespace {

// On X11 a compositing manager announces itself by owning the selection "_NET_WM_CM_S<screen>":
// the window is composited while that selection has an owner. Changes are followed through
// XFixes' selection notifications, delivered on Qt's own connection, so that a compositor that
// starts or stops brings the corners back or squares them at once, with no polling.
class X11WindowCompositing final : public WindowCompositing, public QAbstractNativeEventFilter {
public:
    explicit X11WindowCompositing(xcb_connection_t* connection)
        : m_connection(connection)
    {
        int screenNumber = 0;
        char* host = nullptr;
        int display = 0;
        if (xcb_parse_display(nullptr, &host, &display, &screenNumber) == 0)
            screenNumber = 0;
        std::free(host);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
            xcb_screen_next(&screens);
        m_root = screens.data ? screens.data->root : XCB_NONE;

        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
        m_selection = atom ? atom->atom : xcb_atom_t(XCB_NONE);
        std::free(atom);
        if (m_selection == XCB_NONE || m_root == XCB_NONE) {
            GlobalLogger::Instance()->message(QtWarningMsg,
                                              "The X server's compositing manager cannot be asked for (%s); "
                                              "the window keeps its rounded corners",
                                              name.constData());
            return;
        }

        followChanges();
        setComposited(hasOwner());
        GlobalLogger::Instance()->message(QtInfoMsg, "The X server %s a compositing manager (%s): %s window corners.",
                                          isComposited() ? "has" : "has no", name.constData(),
                                          isComposited() ? "rounded" : "square");
    }

    ~X11WindowCompositing() override
    {
        if (m_xfixesEvent != 0 && QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY)
            return false;
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection != m_selection)
            return false;
        // The server is asked again rather than the event believed: a notification may have
        // waited in the queue while the owner changed once more.
        const bool composited = hasOwner();
        if (composited != isComposited())
            GlobalLogger::Instance()->message(QtInfoMsg, "A compositing manager %s: %s window corners.",
                                              composited ? "started" : "stopped", composited ? "rounded" : "square");
        setComposited(composited);
        return false; // Qt's own handlers may want it too.
    }

private:
    bool hasOwner() const
    {
        xcb_get_selection_owner_reply_t* reply =
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
        const bool owned = reply && reply->owner != XCB_NONE;
        std::free(reply);
        return owned;
    }

    // Asks for XFixes' notifications on the selection. Selected before the first look at the
    // owner, so that a change between the two is not lost.
    void followChanges()
    {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        xcb_xfixes_query_version_reply_t* version = nullptr;
        if (extension && extension->present)
            version = xcb_xfixes_query_version_reply(
                m_connection,
                xcb_xfixes_query_version(m_connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr);
        if (!version) {
            GlobalLogger::Instance()->message(QtWarningMsg,
                                              "The X server has no XFixes extension: a compositing manager that "
                                              "starts or stops later is not seen, the window corners stay as at start");
            return;
        }
        std::free(version);
        m_xfixesEvent = extension->first_event;
        QCoreApplication::instance()->installNativeEventFilter(this);
        xcb_xfixes_select_selection_input(m_connection, m_root, m_selection,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(m_connection);
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_selection = XCB_NONE;
    // The number of XFixes' first event on this connection; 0 while changes are not followed.
    uint8_t m_xfixesEvent = 0;
};

} // namespace

std::unique_ptr<WindowCompositing> CreateWindowCompositing()
{
    // Wayland always composites; the off-screen platform shows transparency in its grabs.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::make_unique<WindowCompositing>();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "No X connection to ask for a compositing manager; the "
                                                        "window keeps its rounded corners");
        return std::make_unique<WindowCompositing>();
    }
    return std::make_unique<X11WindowCompositing>(x11->connection());
}

} // namespace Platform
