#include "platform/window/WindowRoles.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kerrion {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* X11Connection()
{
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto length = static_cast<uint16_t>(std::strlen(name));
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, length, name), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

struct SkipAtoms {
    xcb_atom_t state = XCB_ATOM_NONE;
    std::array<xcb_atom_t, 2> skip {}; // task bar, pager
    bool Valid() const
    {
        return state != XCB_ATOM_NONE && skip[0] != XCB_ATOM_NONE && skip[1] != XCB_ATOM_NONE;
    }
};

SkipAtoms LookUpAtoms(xcb_connection_t* connection)
{
    return { Atom(connection, "_NET_WM_STATE"),
        { Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
            Atom(connection, "_NET_WM_STATE_SKIP_PAGER") } };
}

std::vector<xcb_atom_t> ReadStates(
    xcb_connection_t* connection, xcb_window_t window, xcb_atom_t state)
{
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection,
        xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM)
        return {};
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return { atoms, atoms + xcb_get_property_value_length(reply.get()) / 4 };
}

bool Contains(const std::vector<xcb_atom_t>& atoms, xcb_atom_t atom)
{
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

// A mapped window's state belongs to the window manager: ask it (action 1 adds).
void RequestStates(xcb_connection_t* connection, xcb_window_t window, const SkipAtoms& atoms)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atoms.state;
    event.data.data32[0] = 1;
    event.data.data32[1] = atoms.skip[0];
    event.data.data32[2] = atoms.skip[1];
    event.data.data32[3] = 1; // a normal application
    xcb_send_event(connection, 0, screen->root,
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&event));
}

bool IsMapped(xcb_connection_t* connection, xcb_window_t window)
{
    XcbReply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    return reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
}

} // namespace

bool KeepOutOfTaskbar(QWidget& window)
{
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || !window.isWindow())
        return false;
    const SkipAtoms atoms = LookUpAtoms(connection);
    if (!atoms.Valid())
        return false;
    const auto native = static_cast<xcb_window_t>(window.winId());
    if (IsMapped(connection, native)) {
        RequestStates(connection, native, atoms);
    } else {
        std::vector<xcb_atom_t> states = ReadStates(connection, native, atoms.state);
        for (xcb_atom_t skip : atoms.skip)
            if (!Contains(states, skip))
                states.push_back(skip);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, native, atoms.state, XCB_ATOM_ATOM,
            32, static_cast<uint32_t>(states.size()), states.data());
    }
    xcb_flush(connection);
    return true;
}

bool IsKeptOutOfTaskbar(const QWidget& window)
{
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || !window.isWindow() || !window.testAttribute(Qt::WA_WState_Created))
        return false;
    const SkipAtoms atoms = LookUpAtoms(connection);
    const std::vector<xcb_atom_t> states
        = ReadStates(connection, static_cast<xcb_window_t>(window.winId()), atoms.state);
    return atoms.Valid() && Contains(states, atoms.skip[0]) && Contains(states, atoms.skip[1]);
}

} // namespace kerrion
