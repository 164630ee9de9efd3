#include "startup.hpp"

#include <atomic>

#include "application.hpp"
#include "exit_cleanup.hpp"
#include "fatal.hpp"
#include "question_bank.hpp"

// Parts of the start-up that other parts of the program provide; their call
// sites are below.
#include "check_version.hpp"  // update/: kv::CheckVersion
#include "skin_host.hpp"      // skin/: kv::LoadSkinEngine, kv::AttachSkin

namespace kv {

void MainWindowCreated(MainWindow& window) {
  AttachSkin();  // 1. attach the built-in skin to every window
  // 2. The version check: may end the program, or open the Update window and
  //    close this one (which then stays hidden). A termination request during
  //    its fetch ends start-up here.
  CheckVersion(window.window(), &ui::TerminationRequested());
  if (ui::TerminationRequested()) return;
  // 3. The bank, only once the version check has returned.
  LoadQuestionBank();
}

std::unique_ptr<MainWindow> StartProgram() {
  // 2. Global state: QuestionBank and BankText are empty until the created
  //    handler loads them; the calculator tables stay empty until first used.
  // 3. Exit clean-up, in release order: the bank first; the calculator tables
  //    and the download context register their own steps when they create
  //    their state.
  InstallExitCleanup();
  RegisterExitCleanup([] { ReleaseQuestionBank(); });
  LoadSkinEngine();  // 4. the skin engine, before any window exists
  // 5. The main window, then its created handler.
  std::unique_ptr<MainWindow> main = MainWindow::Create();
  if (!main) ui::FatalError("载入启动窗口失败");
  MainWindowCreated(*main);
  // Not shown when the version check closed it, nor when the program is being
  // ended (it ends before its loop).
  // The hot key comes with the shown window; taken, the program runs without it.
  if (main->window().IsOpen() && !ui::TerminationRequested()) {
    main->window().Show();
    main->RegisterBringUpHotKey();
  }
  return main;
}

int RunProgram(int argc, char** argv) {
  ui::Application app(argc, argv);  // 1. the user-interface environment
  const std::unique_ptr<MainWindow> main = StartProgram();
  // 6. The loop ends when the last window is gone; when the created handler
  //    left no window at all, there is nothing to wait for.
  app.Run();
  RunExitCleanup();
  return 0;
}

}  // namespace kv
