// Hot keys on X11: a passive key grab on every root window, for the
// combination with and without NumLock and CapsLock (the grab matches the
// modifier state exactly), and a native event filter that picks out its key
// presses. Another client's grab of the same combination makes the grab fail
// with BadAccess: the combination is taken. Without an X11 connection (Wayland,
// the offscreen platform) there is no hot key.
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>
#include <QMetaObject>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

#include "application.hpp"

namespace kv::ui {

namespace {

constexpr xcb_keysym_t kAltL = 0xFFE9, kAltR = 0xFFEA, kNumLock = 0xFF7F;

struct Registration {
  HotKey hotKey;
  xcb_keycode_t code;
  std::uint16_t modifiers;  // without the lock bits
  std::function<void()> handler;
};

struct Grabs {
  QObject* application = nullptr;  // the grabs belong to this application's connection
  xcb_connection_t* connection = nullptr;
  std::vector<xcb_window_t> roots;
  std::vector<Registration> registrations;
  std::unique_ptr<QAbstractNativeEventFilter> filter;
};

Grabs& State() {
  static Grabs grabs;
  return grabs;
}

xcb_connection_t* Connection() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (app == nullptr) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

// The keyboard's mapping: keysyms per keycode, from the server.
class KeyMap {
 public:
  explicit KeyMap(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    first_ = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first_, static_cast<uint8_t>(count)), nullptr);
    if (reply == nullptr) return;
    perCode_ = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    syms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
    std::free(reply);
  }
  // The first keycode whose keysyms hold `sym`, preferring the unshifted one; 0 if none.
  xcb_keycode_t CodeOf(xcb_keysym_t sym) const {
    for (int level = 0; level < perCode_; ++level)
      for (std::size_t code = 0; code * perCode_ < syms_.size(); ++code)
        if (syms_[code * perCode_ + level] == sym) return static_cast<xcb_keycode_t>(first_ + code);
    return 0;
  }
  bool Holds(xcb_keycode_t code, xcb_keysym_t sym) const {
    if (code < first_ || perCode_ == 0) return false;
    const std::size_t at = static_cast<std::size_t>(code - first_) * perCode_;
    for (int level = 0; level < perCode_ && at + level < syms_.size(); ++level)
      if (syms_[at + level] == sym) return true;
    return false;
  }

 private:
  xcb_keycode_t first_ = 0;
  int perCode_ = 0;
  std::vector<xcb_keysym_t> syms_;
};

// The modifier bit that holds a key with one of `syms`, or `fallback`.
std::uint16_t ModifierOf(xcb_connection_t* c, const KeyMap& keys, std::initializer_list<xcb_keysym_t> syms,
                         std::uint16_t fallback) {
  xcb_get_modifier_mapping_reply_t* reply =
      xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
  if (reply == nullptr) return fallback;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
  const int per = reply->keycodes_per_modifier;
  std::uint16_t found = 0;
  for (int mod = 0; mod < 8 && found == 0; ++mod)
    for (int i = 0; i < per && found == 0; ++i)
      for (xcb_keysym_t sym : syms)
        if (codes[mod * per + i] != 0 && keys.Holds(codes[mod * per + i], sym)) found = static_cast<std::uint16_t>(1u << mod);
  std::free(reply);
  return found != 0 ? found : fallback;
}

std::uint16_t NumLockMask(xcb_connection_t* c, const KeyMap& keys) {
  return ModifierOf(c, keys, {kNumLock}, XCB_MOD_MASK_2);
}

// The states a grab must cover: the modifiers with every mix of the locks.
std::vector<std::uint16_t> LockVariants(std::uint16_t modifiers, std::uint16_t numLock) {
  return {modifiers, static_cast<std::uint16_t>(modifiers | numLock),
          static_cast<std::uint16_t>(modifiers | XCB_MOD_MASK_LOCK),
          static_cast<std::uint16_t>(modifiers | numLock | XCB_MOD_MASK_LOCK)};
}

class HotKeyFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t kind = event->response_type & 0x7F;
    if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return false;
    // Press and release events have the same layout.
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    Grabs& g = State();
    if (std::find(g.roots.begin(), g.roots.end(), press->event) == g.roots.end()) return false;
    if (kind == XCB_KEY_RELEASE) {
      lastRelease_ = press->time;
      return false;
    }
    // A key held down repeats as a release and a press at the same time:
    // once per press is enough.
    if (press->time == lastRelease_) return false;
    const std::uint16_t locks = XCB_MOD_MASK_LOCK | numLock_;
    for (const Registration& r : g.registrations) {
      if (r.code != press->detail || (press->state & ~locks & 0xFF) != r.modifiers) continue;
      // Run once Qt has taken the key's time as the last user time, so the
      // window manager lets the handler activate a window.
      const HotKey hotKey = r.hotKey;
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [hotKey] {
            for (const Registration& now : State().registrations)
              if (now.hotKey == hotKey) {
                const std::function<void()> handler = now.handler;  // it may unregister itself
                handler();
                return;
              }
          },
          Qt::QueuedConnection);
    }
    return false;  // Qt knows no window of the root's and drops the event
  }
  std::uint16_t numLock_ = XCB_MOD_MASK_2;

 private:
  xcb_timestamp_t lastRelease_ = 0;
};

void Ungrab(xcb_connection_t* c, const std::vector<xcb_window_t>& roots, xcb_keycode_t code,
            const std::vector<std::uint16_t>& states) {
  for (xcb_window_t root : roots)
    for (std::uint16_t s : states) xcb_ungrab_key(c, code, root, s);
  xcb_flush(c);
}

}  // namespace

bool RegisterHotKey(HotKey hotKey, std::function<void()> handler) {
  if (!hotKey.Usable() || !handler) return false;
  xcb_connection_t* c = Connection();
  if (c == nullptr) return false;
  Grabs& g = State();
  if (g.application != QCoreApplication::instance() || g.connection != c) {
    // A new application (tests make more than one): the old grabs went with
    // its connection.
    g.registrations.clear();
    g.filter.reset();
    g.application = QCoreApplication::instance();
    g.connection = c;
    g.roots.clear();
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
      g.roots.push_back(it.data->root);
  }
  for (const Registration& r : g.registrations)
    if (r.hotKey == hotKey) return false;

  const KeyMap keys(c);
  const bool letter = hotKey.key >= 'A' && hotKey.key <= 'Z';
  const xcb_keycode_t code = keys.CodeOf(letter ? static_cast<xcb_keysym_t>(hotKey.key - 'A' + 'a')
                                                : static_cast<xcb_keysym_t>(hotKey.key));
  if (code == 0) return false;
  std::uint16_t modifiers = 0;
  if (hotKey.modifiers & HotKey::kCtrl) modifiers |= XCB_MOD_MASK_CONTROL;
  if (hotKey.modifiers & HotKey::kShift) modifiers |= XCB_MOD_MASK_SHIFT;
  if (hotKey.modifiers & HotKey::kAlt) modifiers |= ModifierOf(c, keys, {kAltL, kAltR}, XCB_MOD_MASK_1);
  const std::uint16_t numLock = NumLockMask(c, keys);

  const std::vector<std::uint16_t> states = LockVariants(modifiers, numLock);
  std::vector<xcb_void_cookie_t> cookies;
  for (xcb_window_t root : g.roots)
    for (std::uint16_t s : states)
      cookies.push_back(xcb_grab_key_checked(c, 1, root, s, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  bool taken = false;
  for (xcb_void_cookie_t cookie : cookies) {
    if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
      taken = true;  // BadAccess: another client holds it
      std::free(error);
    }
  }
  if (taken) {
    // Our own grabs of the variants that did succeed go again; another
    // client's grabs are not touched by an ungrab of ours.
    Ungrab(c, g.roots, code, states);
    return false;
  }
  if (!g.filter) {
    g.filter = std::make_unique<HotKeyFilter>();
    QCoreApplication::instance()->installNativeEventFilter(g.filter.get());
  }
  static_cast<HotKeyFilter*>(g.filter.get())->numLock_ = numLock;
  g.registrations.push_back({hotKey, code, modifiers, std::move(handler)});
  return true;
}

void UnregisterHotKey(HotKey hotKey) {
  Grabs& g = State();
  const auto it = std::find_if(g.registrations.begin(), g.registrations.end(),
                               [&](const Registration& r) { return r.hotKey == hotKey; });
  if (it == g.registrations.end()) return;
  xcb_connection_t* c = Connection();
  if (c != nullptr && c == g.connection && g.application == QCoreApplication::instance()) {
    const std::uint16_t numLock = static_cast<HotKeyFilter*>(g.filter.get())->numLock_;
    Ungrab(c, g.roots, it->code, LockVariants(it->modifiers, numLock));
  }
  g.registrations.erase(it);
}

}  // namespace kv::ui
