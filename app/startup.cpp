#include "startup.hpp"

#include <QApplication>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "exit_cleanup.hpp"
#include "fatal.hpp"
#include "question_bank.hpp"
#include "window_table.hpp"
#include "main_form.hpp"

// Parts of the start-up that other parts of the program provide; their call
// sites are below.
#include "skin_host.hpp"  // skin/: kv::LoadSkinEngine, kv::AttachSkin
#include "check_version.hpp"  // update/: kv::CheckVersion

namespace kv {

namespace {

// SIGINT, SIGTERM and SIGHUP end the message loop like closing the last
// window, so the exit clean-up runs for them too. Before the loop runs (the
// version fetch of the created handler) the flag stops the fetch, and
// start-up ends without showing anything.
int signalPipe[2] = {-1, -1};
std::atomic<bool> terminationRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnSignal(int) {
  terminationRequested.store(true);
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void QuitOnSignals(QApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    terminationRequested = true;  // also when it arrives in a nested loop before the main one
    QCoreApplication::exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace

void PrepareEnvironment() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
}

void MainWindowCreated(MainWindow* window) {
  AttachSkin();  // 1. attach the built-in skin to every window
  // 2. The version check: may end the program, or open the Update window and
  //    close this one (which then stays hidden). A termination signal during
  //    its fetch ends start-up here.
  CheckVersion(window, &terminationRequested);
  if (terminationRequested) return;
  // 3. The bank, only once the version check has returned.
  LoadQuestionBank();
}

QPointer<MainWindow> StartProgram() {
  // 2. Global state: QuestionBank and BankText are empty until the created
  //    handler loads them; the calculator tables stay empty until first used.
  // 3. Exit clean-up, in release order: the bank first; the calculator tables
  //    and the download context register their own steps when they create
  //    their state.
  InstallExitCleanup();
  RegisterExitCleanup([] { ReleaseQuestionBank(); });
  LoadSkinEngine();  // 4. the skin engine, before any window exists
  // 5. The main window, then its created handler.
  QPointer<MainWindow> window = new MainWindow;
  if (!window->Loaded()) ui::FatalError("载入启动窗口失败");
  window->setAttribute(Qt::WA_DeleteOnClose);
  MainWindowCreated(window);
  if (terminationRequested) {
    delete window.data();  // never shown: the program ends before its loop
    return nullptr;
  }
  if (window.isNull() || window->Closed()) return nullptr;
  ui::CentreOnScreen(window, ui::MainForm());
  window->show();
  return window;
}

int RunProgram(int argc, char** argv) {
  PrepareEnvironment();
  QApplication app(argc, argv);
  app.setWindowIcon(ProgramIcon());
  QuitOnSignals(app);
  StartProgram();
  // 6. The loop ends when the last window is gone. If the created handler left
  //    no window at all, there is nothing to wait for.
  int rc = 0;
  bool anyWindow = false;
  for (QWidget* w : QApplication::topLevelWidgets()) anyWindow = anyWindow || w->isVisible();
  if (anyWindow && !terminationRequested) rc = app.exec();
  RunExitCleanup();
  return rc;
}

}  // namespace kv
