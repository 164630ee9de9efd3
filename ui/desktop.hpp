// The desktop shell: web addresses open in the default browser, files with
// the default program for their type; where the program and the user's
// downloads live.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "text.hpp"

namespace kv::ui {

// Opens a web address (GBK) in the default browser, in a normal window. False
// when the desktop could not open it.
bool OpenAddress(std::string_view gbkUrl);

// Opens a local file with the default program for its type.
bool OpenFile(const std::filesystem::path& file);

// The folder of the running program, and the user's download folder (which
// may not exist yet).
std::filesystem::path ProgramFolder();
std::filesystem::path DownloadsFolder();

// For tests: while set, the opener gets every request instead of the desktop
// and its result is passed on. An empty function restores the desktop.
struct DesktopRequest {
  Text address;                // the web address (GBK), or empty
  std::filesystem::path file;  // the file, or empty
};
void SetDesktopOpenerForTesting(std::function<bool(const DesktopRequest&)> opener);

namespace detail {
bool OpenAddressWithDesktop(std::string_view gbkUrl);
bool OpenFileWithDesktop(const std::filesystem::path& file);
}  // namespace detail

}  // namespace kv::ui
