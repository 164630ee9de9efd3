// The version check at start-up, with its prompt.
#pragma once

#include <atomic>
#include <optional>

#include "update_window.hpp"
#include "window.hpp"

namespace kv {

// Fetches the version page; when it does not publish this copy's version (a
// failed or timed-out fetch included) asks whether to update. No ends the
// program at once with exit code 0. Yes opens the Update window and closes
// `mainWindow`; the created handler that called this goes on. Returns
// normally otherwise, and at once, without a prompt, when `ending` is set
// during the fetch: the program is being ended (a termination request), and
// its caller ends it.
void CheckVersion(ui::Window& mainWindow, const std::atomic<bool>* ending = nullptr);
void CheckVersion(ui::Window& mainWindow, const UpdateSources& sources, const std::atomic<bool>* ending = nullptr);

// For tests of the start-up: while set, CheckVersion(mainWindow) uses these
// sources (a local version page) in place of the installed ones; nullopt goes
// back to the installed ones.
void SetUpdateSourcesForTesting(std::optional<UpdateSources> sources);

}  // namespace kv
