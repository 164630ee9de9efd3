// The user-interface environment of the program: created once at start,
// before any window, and running the message loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace kv::ui {

class Application {
 public:
  // Prepares the platform's user-interface environment.
  Application(int& argc, char** argv);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the message loop until the last window of the program has closed
  // (at once when none is open) or the program is asked to end from outside.
  void Run();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Whether the user-interface environment exists (an Application was made).
bool UiReady();

// Set when the program is asked to end from outside (SIGINT, SIGTERM or SIGHUP
// on Linux; the end of the session on Windows): Run ends, and a long wait on
// the user-interface thread (the version check's fetch) watches it to stop.
const std::atomic<bool>& TerminationRequested();

// Whether any window of the program is open.
bool AnyWindowOpen();

// A key combination of the whole desktop: one or more modifiers and a letter
// or digit.
struct HotKey {
  static constexpr std::uint8_t kCtrl = 1, kAlt = 2, kShift = 4;
  std::uint8_t modifiers = 0;
  char key = 0;  // 'A'..'Z' or '0'..'9'
  bool operator==(const HotKey&) const = default;
  constexpr bool Usable() const {
    return modifiers != 0 && (modifiers & ~(kCtrl | kAlt | kShift)) == 0 &&
           ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'));
  }
};

// Runs `handler` on the user-interface thread each time `hotKey` is pressed,
// whichever program has the keyboard, until UnregisterHotKey. False, with
// nothing registered, when the combination is taken (by another program, or
// by this one already), is no modifier with a letter or digit, or when the
// platform has no such thing (Wayland, the offscreen platform): the program
// then runs without it. Needs the Application.
bool RegisterHotKey(HotKey hotKey, std::function<void()> handler);
// Gives the combination back; nothing when it is not registered.
void UnregisterHotKey(HotKey hotKey);

// The wait cursor over every window while a handler blocks the user-interface
// thread.
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace kv::ui
