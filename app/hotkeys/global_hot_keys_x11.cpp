// System-wide hot keys on X11: passive key grabs on the root window.

#include "app/shell/x11_connection.h"
#include "global_hot_keys_platform.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr xcb_keysym_t NUM_LOCK_KEYSYM = 0xff7f;
constexpr uint16_t HOT_KEY_MODIFIERS = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1; // Ctrl+Alt
// Shift, Lock, Control and Mod1..Mod5; the rest of a key event's state are
// pointer buttons.
constexpr uint16_t KEY_MODIFIERS = 0xff;
// Qt enables XKB on its connection, and an XKB client hears of a new keymap
// (setxkbmap, a layout switch) through XKB's own events, in the second byte
// of the event, instead of the core MappingNotify.
constexpr uint8_t XKB_NEW_KEYBOARD_NOTIFY = 0;
constexpr uint8_t XKB_MAP_NOTIFY = 1;

// xcb hands out replies and keycode lists allocated with malloc.
struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

std::vector<xcb_keycode_t> keycodes_of(xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    std::vector<xcb_keycode_t> codes;
    const XcbPtr<xcb_keycode_t> list(xcb_key_symbols_get_keycode(symbols, keysym));
    for (const xcb_keycode_t *code = list.get(); code && *code != XCB_NO_SYMBOL; ++code)
        codes.push_back(*code);
    return codes;
}

class X11HotKeyGrabber final : public HotKeyGrabber, public QAbstractNativeEventFilter
{
public:
    X11HotKeyGrabber(xcb_connection_t *connection, std::function<void(int)> pressed)
        : connection_(connection), pressed_(std::move(pressed)),
          symbols_(xcb_key_symbols_alloc(connection))
    {
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
             xcb_screen_next(&it))
            roots_.push_back(it.data->root);
        const XcbPtr<xcb_query_extension_reply_t> xkb(xcb_query_extension_reply(
            connection, xcb_query_extension(connection, 9, "XKEYBOARD"), nullptr));
        xkb_first_event_ = xkb && xkb->present ? xkb->first_event : 0;
        update_num_lock_mask();
        qGuiApp->installNativeEventFilter(this);
    }

    ~X11HotKeyGrabber() override
    {
        // The connection closes with the application; after that there is
        // nothing left to release.
        if (qGuiApp) {
            for (const Binding &binding : bindings_)
                ungrab(binding);
            xcb_flush(connection_);
        }
        xcb_key_symbols_free(symbols_);
    }

    bool grab(int id, char key) override
    {
        // Letter keysyms are the lower-case ASCII codes.
        Binding binding{id, xcb_keysym_t(key - 'A' + 'a'), {}};
        if (!grab_binding(binding))
            return false;
        bindings_.push_back(binding);
        return true;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t type = event->response_type & ~0x80;
        if (type == XCB_KEY_PRESS)
            return key_pressed(reinterpret_cast<const xcb_key_press_event_t *>(event));
        // Qt needs the keymap events as well: never swallow them.
        if (type == XCB_MAPPING_NOTIFY) {
            const auto *mapping = reinterpret_cast<const xcb_mapping_notify_event_t *>(event);
            if (mapping->request != XCB_MAPPING_POINTER)
                keymap_changed();
        } else if (xkb_first_event_ && type == xkb_first_event_) {
            const uint8_t xkb_type = reinterpret_cast<const uint8_t *>(event)[1];
            if (xkb_type == XKB_NEW_KEYBOARD_NOTIFY || xkb_type == XKB_MAP_NOTIFY)
                keymap_changed();
        }
        return false;
    }

private:
    struct Binding
    {
        int id;
        xcb_keysym_t keysym;
        std::vector<xcb_keycode_t> keycodes; // empty while not grabbed
    };

    // The grab matches the modifier state exactly, so Caps Lock or Num Lock
    // being on would hide the key: grab it under each of their combinations.
    std::vector<uint16_t> modifier_variants() const
    {
        std::vector<uint16_t> variants{0, XCB_MOD_MASK_LOCK};
        if (num_lock_mask_) {
            variants.push_back(num_lock_mask_);
            variants.push_back(num_lock_mask_ | XCB_MOD_MASK_LOCK);
        }
        return variants;
    }

    // All or nothing: a combination that another program holds (BadAccess)
    // in any variant leaves the key ungrabbed.
    bool grab_binding(Binding &binding)
    {
        binding.keycodes = keycodes_of(symbols_, binding.keysym);
        std::vector<xcb_void_cookie_t> cookies;
        for (xcb_window_t root : roots_)
            for (xcb_keycode_t code : binding.keycodes)
                for (uint16_t variant : modifier_variants())
                    // owner_events false: presses are reported on the root
                    // window even while one of our own windows has the focus.
                    cookies.push_back(xcb_grab_key_checked(connection_, false, root,
                                                           HOT_KEY_MODIFIERS | variant, code,
                                                           XCB_GRAB_MODE_ASYNC,
                                                           XCB_GRAB_MODE_ASYNC));
        bool all_taken = !cookies.empty();
        for (xcb_void_cookie_t cookie : cookies) {
            const XcbPtr<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
            all_taken = all_taken && !error;
        }
        if (!all_taken) {
            ungrab(binding);
            binding.keycodes.clear();
        }
        return all_taken;
    }

    // Releases only our own grabs of the key, whatever modifiers they had.
    void ungrab(const Binding &binding)
    {
        for (xcb_window_t root : roots_)
            for (xcb_keycode_t code : binding.keycodes)
                xcb_ungrab_key(connection_, code, root, XCB_MOD_MASK_ANY);
    }

    bool key_pressed(const xcb_key_press_event_t *press) const
    {
        if (std::find(roots_.begin(), roots_.end(), press->event) == roots_.end())
            return false;
        const uint16_t modifiers =
            press->state & KEY_MODIFIERS & ~(XCB_MOD_MASK_LOCK | num_lock_mask_);
        if (modifiers != HOT_KEY_MODIFIERS)
            return false;
        for (const Binding &binding : bindings_) {
            const auto &codes = binding.keycodes;
            if (std::find(codes.begin(), codes.end(), press->detail) != codes.end()) {
                pressed_(binding.id);
                return true;
            }
        }
        return false;
    }

    // A new keyboard layout may move the letters to other keycodes, and a new
    // modifier map may move Num Lock: grab everything afresh.
    void keymap_changed()
    {
        for (const Binding &binding : bindings_)
            ungrab(binding);
        // The table fetches the new keymap when it is next asked.
        xcb_key_symbols_free(symbols_);
        symbols_ = xcb_key_symbols_alloc(connection_);
        update_num_lock_mask();
        for (Binding &binding : bindings_)
            grab_binding(binding);
    }

    // Num Lock is whichever of Mod1..Mod5 the modifier map binds it to.
    void update_num_lock_mask()
    {
        num_lock_mask_ = 0;
        const std::vector<xcb_keycode_t> num_lock = keycodes_of(symbols_, NUM_LOCK_KEYSYM);
        const XcbPtr<xcb_get_modifier_mapping_reply_t> map(xcb_get_modifier_mapping_reply(
            connection_, xcb_get_modifier_mapping(connection_), nullptr));
        if (!map)
            return;
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map.get());
        const int per_modifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int i = 0; i < per_modifier; ++i) {
                const xcb_keycode_t code = codes[modifier * per_modifier + i];
                if (code != XCB_NO_SYMBOL
                    && std::find(num_lock.begin(), num_lock.end(), code) != num_lock.end())
                    num_lock_mask_ = uint16_t(1u << modifier);
            }
    }

    xcb_connection_t *connection_;
    std::function<void(int)> pressed_;
    xcb_key_symbols_t *symbols_;
    std::vector<xcb_window_t> roots_;
    uint8_t xkb_first_event_ = 0;
    uint16_t num_lock_mask_ = 0;
    std::vector<Binding> bindings_;
};

} // namespace

std::unique_ptr<HotKeyGrabber> create_x11_hot_key_grabber(std::function<void(int)> pressed)
{
    // Under Wayland or offscreen there is no X connection.
    xcb_connection_t *connection = x11_connection();
    if (!connection)
        return nullptr;
    return std::make_unique<X11HotKeyGrabber>(connection, std::move(pressed));
}
