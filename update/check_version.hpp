// The version check at start-up, with its prompt.
#pragma once

#include <optional>

#include "update_window.hpp"
#include "window.hpp"

namespace kv {

// Fetches the version page; when it does not publish this copy's version (a
// failed fetch included) asks whether to update. No ends the program at once
// with exit code 0. Yes opens the Update window and closes `mainWindow`. The
// created handler that called this goes on in both other cases.
void CheckVersion(ui::Window& mainWindow);
void CheckVersion(ui::Window& mainWindow, const UpdateSources& sources);

// For tests of the start-up: while set, CheckVersion(mainWindow) uses these
// sources (a local version page) in place of the installed ones; nullopt goes
// back to the installed ones.
void SetUpdateSourcesForTesting(std::optional<UpdateSources> sources);

}  // namespace kv
