#include "UlmaroAppKit/UI/X11/X11HotKeyBackend.h"

#include "UlmaroAppKit/Shell/WaylandHotKeyBackend.h"
#include "UlmaroAppKit/Shell/X11KeyMap.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <map>
#include <set>
#include <utility>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

// xkb.h names a field `explicit`.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace ulmaro {
namespace {

constexpr xcb_keysym_t numLockKeysym = 0xff7f;

struct KeyGrab {
    xcb_keycode_t keycode;
    std::uint16_t modifiers;
    auto operator<=>(const KeyGrab&) const = default;
};

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbPointer = std::unique_ptr<T, FreeDeleter>;

} // namespace

struct X11HotKeyBackend::Connection {
    struct Registration {
        xcb_keysym_t keysym = 0;
        std::uint16_t modifiers = 0;
        /// Grabbed on these; empty once a new keyboard mapping left the key to another client.
        std::vector<xcb_keycode_t> keycodes;
    };

    X11HotKeyBackend& owner;
    MainQueue& mainQueue;
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_key_symbols_t* symbols = nullptr;
    std::uint8_t xkbFirstEvent = 0; // 0 without XKB
    std::uint16_t numLock = 0;
    bool lost = true;
    PressHandler handler;
    std::uint32_t lastPressTime = XCB_CURRENT_TIME;
    std::map<std::uint32_t, Registration> registrations;
    std::set<xcb_keycode_t> held;
    /// Events read while waiting for a reply: the descriptor will not wake anyone for them.
    std::deque<XcbPointer<xcb_generic_event_t>> waiting;
    bool processingPosted = false;
    std::shared_ptr<char> alive = std::make_shared<char>();

    Connection(X11HotKeyBackend& backend, MainQueue& queue, const char* display)
        : owner(backend), mainQueue(queue) {
        int screenNumber = 0;
        c = xcb_connect(display, &screenNumber);
        if (xcb_connection_has_error(c)) return;
        auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; screens.rem > 0 && i < screenNumber; ++i)
            xcb_screen_next(&screens);
        if (screens.rem == 0) return;
        root = screens.data->root;
        symbols = xcb_key_symbols_alloc(c);
        if (symbols == nullptr) return;
        useXkb();
        numLock = readNumLockMask();
        lost = xcb_connection_has_error(c) != 0;
    }

    ~Connection() {
        if (symbols != nullptr) xcb_key_symbols_free(symbols);
        xcb_disconnect(c); // the server drops our grabs with the connection
    }

    // Detectable auto-repeat: a held key sends presses without releases in between, so a
    // held key can be told from a new press. And a new layout arrives as XKB events: a client
    // that uses XKB no longer gets the core MappingNotify for it.
    void useXkb() {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xkb_id);
        if (extension == nullptr || !extension->present) return;
        XcbPointer<xcb_xkb_use_extension_reply_t> use(
            xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
        if (!use || !use->supported) return;
        xkbFirstEvent = extension->first_event;
        XcbPointer<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
            c,
            xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
            nullptr));
        constexpr std::uint16_t events =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr std::uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
        xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, parts, parts, nullptr);
    }

    std::vector<xcb_keycode_t> keycodesOf(xcb_keysym_t keysym) const {
        std::vector<xcb_keycode_t> keycodes;
        XcbPointer<xcb_keycode_t> found(xcb_key_symbols_get_keycode(symbols, keysym));
        for (auto* code = found.get(); code != nullptr && *code != XCB_NO_SYMBOL; ++code)
            keycodes.push_back(*code);
        std::sort(keycodes.begin(), keycodes.end());
        keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
        return keycodes;
    }

    // NumLock's modifier is whichever the server's modifier map gives a Num_Lock key
    // (usually Mod2).
    std::uint16_t readNumLockMask() const {
        XcbPointer<xcb_get_modifier_mapping_reply_t> map(
            xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
        if (!map) return 0;
        auto numLockKeys = keycodesOf(numLockKeysym);
        const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(map.get());
        int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int i = 0; i < perModifier; ++i)
                if (std::ranges::binary_search(numLockKeys, keys[modifier * perModifier + i]))
                    return static_cast<std::uint16_t>(1 << modifier);
        return 0;
    }

    /// The grabs that stand for `registration` while NumLock is `numLockMask`: each key code
    /// with each state of CapsLock and NumLock.
    static std::set<KeyGrab> grabsOf(const Registration& registration, std::uint16_t numLockMask) {
        std::vector<std::uint16_t> locks{0, X11KeyMap::lockMask};
        if (numLockMask != 0 && numLockMask != X11KeyMap::lockMask)
            locks.insert(locks.end(),
                         {numLockMask, std::uint16_t(numLockMask | X11KeyMap::lockMask)});
        std::set<KeyGrab> grabs;
        for (auto keycode : registration.keycodes)
            for (auto lock : locks)
                grabs.insert({keycode, std::uint16_t(registration.modifiers | lock)});
        return grabs;
    }

    /// All or nothing: any refusal gives back those taken.
    bool grabAll(const std::set<KeyGrab>& grabs) {
        std::vector<xcb_void_cookie_t> cookies;
        for (auto [keycode, modifiers] : grabs)
            cookies.push_back(xcb_grab_key_checked(c, 1, root, modifiers, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        bool refused = cookies.empty();
        for (auto cookie : cookies) {
            XcbPointer<xcb_generic_error_t> error(xcb_request_check(c, cookie));
            if (error || xcb_connection_has_error(c)) refused = true;
        }
        if (refused) ungrabAll(grabs);
        return !refused;
    }

    /// Returns once the server has let them go, so the keys are free for others then.
    void ungrabAll(const std::set<KeyGrab>& grabs) {
        if (grabs.empty()) return;
        for (auto [keycode, modifiers] : grabs)
            xcb_ungrab_key(c, keycode, root, modifiers);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    bool collides(std::uint32_t id, const Registration& candidate) const {
        for (const auto& [otherID, other] : registrations) {
            if (otherID == id || other.modifiers != candidate.modifiers) continue;
            for (auto keycode : candidate.keycodes)
                if (std::ranges::binary_search(other.keycodes, keycode)) return true;
        }
        return false;
    }

    bool grab(std::uint32_t id, const KeyCombo& combo) {
        if (lost) return false;
        auto keysym = X11KeyMap::keysym(combo.keyCode);
        if (!keysym) return false;
        release(id);
        Registration registration{*keysym, X11KeyMap::modifierMask(combo.modifiers),
                                  keycodesOf(*keysym)};
        bool granted = !registration.keycodes.empty() && !collides(id, registration) &&
                       grabAll(grabsOf(registration, numLock));
        if (granted) registrations[id] = std::move(registration);
        keepWaitingEvents();
        noticeLoss();
        return granted && !lost;
    }

    void release(std::uint32_t id) {
        auto found = registrations.find(id);
        if (found == registrations.end()) return;
        if (!lost) ungrabAll(grabsOf(found->second, numLock));
        for (auto keycode : found->second.keycodes)
            held.erase(keycode);
        registrations.erase(found);
    }

    void keepWaitingEvents() {
        while (auto* event = xcb_poll_for_queued_event(c))
            waiting.emplace_back(event);
        if (waiting.empty() || processingPosted) return;
        processingPosted = true;
        mainQueue.post([&backend = owner, weak = std::weak_ptr<char>(alive)] {
            if (weak.lock()) backend.processEvents();
        });
    }

    XcbPointer<xcb_generic_event_t> nextEvent() {
        if (!waiting.empty()) {
            auto event = std::move(waiting.front());
            waiting.pop_front();
            return event;
        }
        return XcbPointer<xcb_generic_event_t>(xcb_poll_for_event(c));
    }

    bool processEvents() {
        processingPosted = false;
        if (lost) return false;
        bool remapDue = false;
        for (;;) {
            auto event = nextEvent();
            if (!event) {
                if (!remapDue) break;
                remapDue = false;
                remap();
                continue;
            }
            handle(*event, remapDue);
        }
        noticeLoss();
        return !lost;
    }

    void handle(const xcb_generic_event_t& event, bool& remapDue) {
        auto type = event.response_type & 0x7f;
        if (type == XCB_KEY_PRESS) {
            pressed(reinterpret_cast<const xcb_key_press_event_t&>(event));
        } else if (type == XCB_KEY_RELEASE) {
            held.erase(reinterpret_cast<const xcb_key_release_event_t&>(event).detail);
        } else if (type == XCB_MAPPING_NOTIFY) {
            const auto& mapping = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
            if (mapping.request != XCB_MAPPING_POINTER) remapDue = true;
        } else if (xkbFirstEvent != 0 && type == xkbFirstEvent) {
            auto xkbType = reinterpret_cast<const std::uint8_t*>(&event)[1];
            if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
                remapDue = true;
        }
    }

    void pressed(const xcb_key_press_event_t& press) {
        auto state = static_cast<std::uint16_t>(press.state & X11KeyMap::allModifiers &
                                                ~(X11KeyMap::lockMask | numLock));
        for (const auto& [id, registration] : registrations) {
            if (registration.modifiers != state ||
                !std::ranges::binary_search(registration.keycodes, press.detail))
                continue;
            // With detectable auto-repeat a held key repeats its press without a release.
            if (!held.insert(press.detail).second) return;
            lastPressTime = press.time;
            auto pressedID = id;
            if (handler) handler(pressedID);
            return;
        }
    }

    // The keys that produce a keysym, or NumLock's modifier, may have changed. Switching
    // between two keyboards announces a new keymap too, mostly an identical one: touch only
    // the grabs that differ, taking the new ones before giving back the old, so that a press
    // in flight meanwhile is not lost.
    void remap() {
        xcb_key_symbols_free(symbols);
        symbols = xcb_key_symbols_alloc(c);
        auto oldNumLock = std::exchange(numLock, readNumLockMask());
        for (auto& [id, registration] : registrations) {
            auto before = grabsOf(registration, oldNumLock);
            registration.keycodes = keycodesOf(registration.keysym);
            auto after = grabsOf(registration, numLock);
            if (before == after) continue;
            for (const auto& grabs : {before, after})
                for (auto grab : grabs)
                    held.erase(grab.keycode);
            std::set<KeyGrab> added, removed;
            std::ranges::set_difference(after, before, std::inserter(added, added.end()));
            std::ranges::set_difference(before, after, std::inserter(removed, removed.end()));
            if (!after.empty() && !collides(id, registration) &&
                (added.empty() || grabAll(added))) {
                ungrabAll(removed);
                continue;
            }
            ungrabAll(before);
            // The key is gone from the layout or another client holds it: silent until a later
            // keymap gives it back.
            registration.keycodes.clear();
        }
    }

    void noticeLoss() {
        if (lost || !xcb_connection_has_error(c)) return;
        lost = true;
        registrations.clear();
        held.clear();
        waiting.clear();
    }
};

X11HotKeyBackend::X11HotKeyBackend(MainQueue& mainQueue, const char* display)
    : connection_(std::make_unique<Connection>(*this, mainQueue, display)) {}

X11HotKeyBackend::~X11HotKeyBackend() = default;

std::shared_ptr<HotKeyBackend> X11HotKeyBackend::forSession(MainQueue& mainQueue) {
    if (WaylandHotKeyBackend::isWaylandSession()) return std::make_shared<WaylandHotKeyBackend>();
    return std::make_shared<X11HotKeyBackend>(mainQueue);
}

bool X11HotKeyBackend::isConnected() const {
    return !connection_->lost;
}

int X11HotKeyBackend::fileDescriptor() const {
    return connection_->lost ? -1 : xcb_get_file_descriptor(connection_->c);
}

bool X11HotKeyBackend::processEvents() {
    return connection_->processEvents();
}

std::uint32_t X11HotKeyBackend::lastPressTime() const {
    return connection_->lastPressTime;
}

void X11HotKeyBackend::setPressHandler(PressHandler handler) {
    connection_->handler = std::move(handler);
}

bool X11HotKeyBackend::grab(std::uint32_t id, const KeyCombo& combo) {
    return connection_->grab(id, combo);
}

void X11HotKeyBackend::release(std::uint32_t id) {
    connection_->release(id);
}

} // namespace ulmaro
