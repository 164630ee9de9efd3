// The user-interface environment of the program: created once at start,
// before any window, and running the message loop.
#pragma once

#include <atomic>
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
