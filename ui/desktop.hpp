// The desktop shell: opening web addresses in the browser and files with their
// default program (QDesktopServices, which runs xdg-open on Linux).
#pragma once

#include <QUrl>
#include <functional>
#include <string>
#include <string_view>

namespace kv::ui {

// Opens a web address, or a local path when the text starts with "/". The text
// is GBK. False when the desktop could not open it.
bool OpenWithDesktop(std::string_view gbkUrlOrPath);

// Opens a local file whose path is given in the file system's own encoding.
bool OpenLocalFile(const std::string& fsPath);

// For tests: while set, the opener gets every address instead of the desktop
// and its result is passed on. An empty function restores the desktop.
void SetDesktopOpenerForTesting(std::function<bool(const QUrl&)> opener);

}  // namespace kv::ui
