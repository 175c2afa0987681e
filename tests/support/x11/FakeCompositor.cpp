// A stand-in compositing manager for tests on a virtual X server: it opens its own X connection
// and takes the selection "_NET_WM_CM_S<screen>" with a window of its own, as a compositor does
// to announce itself, then follows one command per line on its standard input:
//   release   gives the selection up (its owner becomes none)
//   destroy   destroys the owning window (the server drops the ownership)
//   quit      (or the end of the input) ends the program: its connection closes
// It answers "owned", "released" and "destroyed" on its standard output once the server has
// done each step.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <xcb/xcb.h>

namespace {

xcb_window_t Owner(xcb_connection_t* connection, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_NONE);
    std::free(reply);
    return owner;
}

void Say(const char* word)
{
    std::printf("%s\n", word);
    std::fflush(stdout);
}

} // namespace

int main()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "fake compositor: no X server\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);

    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);

    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str()), nullptr);
    if (!atom) {
        std::fprintf(stderr, "fake compositor: cannot name %s\n", name.c_str());
        return 1;
    }
    const xcb_atom_t selection = atom->atom;
    std::free(atom);

    xcb_set_selection_owner(connection, window, selection, XCB_CURRENT_TIME);
    if (Owner(connection, selection) != window) {
        std::fprintf(stderr, "fake compositor: %s is owned by another client\n", name.c_str());
        return 1;
    }
    Say("owned");

    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::strncmp(line, "release", 7) == 0) {
            xcb_set_selection_owner(connection, XCB_NONE, selection, XCB_CURRENT_TIME);
            if (Owner(connection, selection) == XCB_NONE)
                Say("released");
        } else if (std::strncmp(line, "destroy", 7) == 0) {
            xcb_destroy_window(connection, window);
            if (Owner(connection, selection) == XCB_NONE)
                Say("destroyed");
        } else if (std::strncmp(line, "quit", 4) == 0) {
            break;
        } else {
            std::fprintf(stderr, "fake compositor: unknown command %s", line);
        }
    }
    xcb_disconnect(connection);
    return 0;
}
