// Start-up in its fixed order, the main window's created handler and the exit
// clean-up.
#pragma once

#include <memory>

#include "main_window.hpp"

namespace kv {

// Steps 2 to 5, with the user-interface environment ready: global state
// empty, exit clean-up registered, skin engine loaded, main window created
// and its created handler run, then the main window shown unless the created
// handler closed it (the Update window then carries on). Failing to build the
// main window is fatal ("载入启动窗口失败"). The main window object lives as
// long as the result.
std::unique_ptr<MainWindow> StartProgram();

// The main window's created handler: AttachSkin, CheckVersion, LoadQuestionBank.
void MainWindowCreated(MainWindow& window);

// The program entry: all of the above, then the message loop until the last
// window is gone, then the exit clean-up.
int RunProgram(int argc, char** argv);

}  // namespace kv
