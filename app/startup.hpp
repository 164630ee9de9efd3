// Start-up in its fixed order, the main window's created handler and the exit
// clean-up.
#pragma once

#include <QPointer>

#include "main_window.hpp"

namespace kv {

// Step 1, before the QApplication exists: the program runs on X11 (xcb) unless
// QT_QPA_PLATFORM names another platform, since centring and always-on-top
// need it.
void PrepareEnvironment();

// Steps 2 to 5, with the QApplication running: global state empty, exit
// clean-up registered, skin engine loaded, main window created and its
// created handler run. Returns the main window, or null when the created
// handler closed it (the Update window then carries on). Failing to build the
// main window is fatal ("载入启动窗口失败").
QPointer<MainWindow> StartProgram();

// The main window's created handler: AttachSkin, CheckVersion, LoadQuestionBank.
void MainWindowCreated(MainWindow* window);

// The program entry: all of the above, then the message loop until the last
// window is gone, then the exit clean-up.
int RunProgram(int argc, char** argv);

}  // namespace kv
