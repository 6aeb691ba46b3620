#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace ulmaro {
namespace {

template <class Reply>
struct Freed {
    Reply* reply;
    ~Freed() { std::free(reply); }
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace

std::optional<X11Desktop> X11Desktop::current() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem) return std::nullopt;
    return X11Desktop(connection, screens.data->root, screens.data->root_visual,
                      screens.data->default_colormap);
}

std::uint32_t X11Desktop::atom(const char* name) const {
    Freed<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr)};
    return reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
}

namespace {

// A 32-bit property's first item, when the property holds one of `type`.
std::optional<std::uint32_t> cardinalProperty(xcb_connection_t* c, std::uint32_t window,
                                              std::uint32_t property, std::uint32_t type) {
    if (property == XCB_ATOM_NONE) return std::nullopt;
    Freed<xcb_get_property_reply_t> reply{
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1), nullptr)};
    if (!reply || reply->format != 32 || reply->type != type ||
        xcb_get_property_value_length(reply.reply) < 4)
        return std::nullopt;
    std::uint32_t value;
    std::memcpy(&value, xcb_get_property_value(reply.reply), sizeof value);
    return value;
}

} // namespace

bool X11Desktop::hasCompositingManager() const {
    const std::uint32_t selection = atom("_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE) return false;
    Freed<xcb_get_selection_owner_reply_t> reply{xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, selection), nullptr)};
    return reply && reply->owner != XCB_WINDOW_NONE;
}

std::optional<std::uint32_t> X11Desktop::activeWindow() const {
    auto window = cardinalProperty(connection_, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!window || *window == XCB_WINDOW_NONE) return std::nullopt;
    return window;
}

std::optional<std::int32_t> X11Desktop::processIdentifier(std::uint32_t window) const {
    auto pid = cardinalProperty(connection_, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (!pid || *pid == 0 || *pid > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*pid);
}

bool X11Desktop::windowExists(std::uint32_t window) const {
    Freed<xcb_get_window_attributes_reply_t> reply{xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr)};
    return static_cast<bool>(reply);
}

std::optional<std::pair<int, int>> X11Desktop::shownTopLeft(std::uint32_t window) const {
    Freed<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr)};
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) return std::nullopt;
    Freed<xcb_translate_coordinates_reply_t> at{xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr)};
    if (!at) return std::nullopt;
    return std::pair{int(at->dst_x), int(at->dst_y)};
}

void X11Desktop::requestActivation(std::uint32_t window, Source source,
                                   std::uint32_t timestamp) const {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = static_cast<std::uint32_t>(source);
    event.data.data32[1] = timestamp;
    event.data.data32[2] = activeWindow().value_or(XCB_WINDOW_NONE);
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

void X11Desktop::keepOffTaskBar(std::uint32_t window) const {
    // Qt merges the states it sets on mapping with those already there.
    const std::uint32_t states[] = {atom("_NET_WM_STATE_SKIP_TASKBAR"),
                                    atom("_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window, atom("_NET_WM_STATE"),
                        XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(connection_);
}

void X11Desktop::useDefaultColormap(std::uint32_t window) const {
    Freed<xcb_get_window_attributes_reply_t> reply{xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr)};
    if (!reply || reply->visual != rootVisual_ || reply->colormap == defaultColormap_) return;
    const std::uint32_t colormap = defaultColormap_;
    xcb_change_window_attributes(connection_, window, XCB_CW_COLORMAP, &colormap);
    xcb_flush(connection_);
}

} // namespace ulmaro
