// The Qt application: QApplication, the program's icon, and the termination
// signals, which end the message loop like closing the last window so that
// the exit clean-up runs for them too.
#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "application.hpp"
#include "program_icon.hpp"

namespace kv::ui {

namespace {

int signalPipe[2] = {-1, -1};
std::atomic<bool> terminationRequested{false};

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
    QCoreApplication::exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace

struct Application::Impl {
  Impl(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
};

Application::Application(int& argc, char** argv) {
  // The program runs on X11 (xcb) unless QT_QPA_PLATFORM names another
  // platform: centring and always-on-top need it.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  impl_ = std::make_unique<Impl>(argc, argv);
  impl_->app.setWindowIcon(qt::ProgramIcon());
  QuitOnSignals(impl_->app);
}

Application::~Application() = default;

void Application::Run() {
  if (!AnyWindowOpen() || terminationRequested) return;
  QApplication::exec();
}

bool UiReady() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

const std::atomic<bool>& TerminationRequested() { return terminationRequested; }

bool AnyWindowOpen() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) return true;
  return false;
}

}  // namespace kv::ui
