// Start-up around the version check, for the GUI tests: a main window whose
// created handler runs CheckVersion and then stands for loading the bank, then
// the message loop. Scripted user actions answer the prompt, press 立即更新 and
// acknowledge messages; what the driver sees goes to stdout, one fact a line.
//
//   update_gui_driver <scenario> <version url> <archive url> <program dir> <download dir> [release key]
//
// The archive's signature must verify against the release key given (base64),
// or without one against the key compiled into the program.
// Scenarios: no, yes-close, yes-download, yes-fail, yes-nolength, yes-close-midway.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <iostream>
#include <set>

#include "check_version.hpp"
#include "desktop.hpp"
#include "exit_cleanup.hpp"
#include "main_form.hpp"
#include "qt/gbk.hpp"
#include "qt/qt_window.hpp"
#include "update_form.hpp"

namespace {

void Say(const QString& line) { std::cout << line.toStdString() << std::endl; }

QString OneLine(QString s) { return s.replace(u'\n', QStringLiteral("\\n")); }

using kv::ui::UpdateForm;
namespace qt = kv::ui::qt;

QString State(kv::ui::Window* window) {
  QWidget* w = qt::TopLevel(*window);
  auto* size = qt::Widget(*window, UpdateForm::sizeLabel);
  auto* done = qt::Widget(*window, UpdateForm::doneLabel);
  auto* bar = qt::Widget(*window, UpdateForm::progressBar);
  auto* button = qt::Widget(*window, UpdateForm::updateButton);
  return QStringLiteral("state size=%1 done=%2 bar=%3/%4 button=%5 visible=%6")
      .arg(size->text(), done->text())
      .arg(bar->value())
      .arg(bar->maximum())
      .arg(button->isEnabled() ? 1 : 0)
      .arg(w->isVisible() ? 1 : 0);
}

// Answers the Yes/No prompt: first Esc, which must leave it open, then the button.
void AnswerPrompt(bool yes) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, yes] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    timer->stop();
    timer->deleteLater();
    Say(QStringLiteral("prompt %1 | %2").arg(box->windowTitle(), OneLine(box->text())));
    QTest::keyClick(box, Qt::Key_Escape);
    QTimer::singleShot(100, box, [box, yes] {
      if (box->isVisible()) Say(QStringLiteral("prompt open after esc"));
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
  });
  timer->start(20);
}

// The loop, then the exit clean-up, as the program ends when its last window
// is gone.
int RunLoop(QApplication& app) {
  const int rc = app.exec();
  kv::RunExitCleanup();
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 6 && argc != 7) return 2;
  kv::InstallExitCleanup();
  const QString scenario = QString::fromLocal8Bit(argv[1]);
  kv::UpdateSources sources{argv[2], argv[3], argv[4], argv[5]};
  if (argc == 7) sources.release = {true, argv[6]};
  kv::ui::SetDesktopOpenerForTesting([](const kv::ui::DesktopRequest& r) {
    Say(QStringLiteral("open ") + QString::fromStdString(r.file.string()));
    return true;
  });

  const auto mainWindow = kv::ui::Window::Create(kv::ui::MainForm::kDef);
  if (!mainWindow) return 3;
  mainWindow->OnClosed([] { Say(QStringLiteral("main window closed")); });

  AnswerPrompt(scenario != QStringLiteral("no"));
  kv::CheckVersion(*mainWindow, sources);
  Say(QStringLiteral("bank loaded"));

  kv::ui::Window* updateWindow = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (kv::ui::Window* window = qt::WindowOf(w); window && window->Def().caption == UpdateForm::kDef.caption)
      updateWindow = window;
  }
  if (updateWindow == nullptr) {
    Say(QStringLiteral("no update window"));
    return 0;
  }
  QWidget* update = qt::TopLevel(*updateWindow);
  Say(QStringLiteral("update window %1 %2x%3 visible=%4 modal=%5 owner=%6")
          .arg(update->windowTitle())
          .arg(update->width())
          .arg(update->height())
          .arg(update->isVisible() ? 1 : 0)
          .arg(update->isModal() ? 1 : 0)
          .arg(update->windowHandle() && update->windowHandle()->transientParent() ? 1 : 0));

  if (scenario == QStringLiteral("yes-close")) {
    QTimer::singleShot(200, update, [update] { QTest::keyClick(update, Qt::Key_Escape); });
    return RunLoop(app);
  }

  QTimer::singleShot(50, update, [updateWindow] {
    QTest::mouseClick(qt::Widget(*updateWindow, UpdateForm::updateButton), Qt::LeftButton);
  });

  // Watches the window: acknowledges each message of the download, reports
  // the state, and for some scenarios closes the window.
  auto* watch = new QTimer(update);
  static std::set<QMessageBox*> seenBoxes;
  static int quietTicks = 0;
  static QString lastDone;
  QObject::connect(watch, &QTimer::timeout, [=] {
    auto* seen = &seenBoxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box == nullptr || !box->isVisible() || seen->count(box)) continue;
      seen->insert(box);
      Say(QStringLiteral("message %1 | %2 modal=%3")
              .arg(box->windowTitle(), box->text())
              .arg(box->isModal() ? 1 : 0));
      Say(State(updateWindow));
      box->button(QMessageBox::Ok)->click();
      QTimer::singleShot(100, update, [update, updateWindow] {
        Say(QStringLiteral("after ok ") + State(updateWindow));
        QTest::keyClick(update, Qt::Key_Escape);
      });
      return;
    }
    const QString done = qt::Widget(*updateWindow, UpdateForm::doneLabel)->text();
    if (scenario == QStringLiteral("yes-close-midway") && !done.isEmpty()) {
      watch->stop();
      Say(QStringLiteral("closing during download ") + State(updateWindow));
      QTest::keyClick(update, Qt::Key_Escape);
    }
    if (scenario == QStringLiteral("yes-nolength") && !done.isEmpty()) {
      // Once the label has kept its value for half a second, nothing more comes.
      quietTicks = (done == lastDone) ? quietTicks + 1 : 0;
      lastDone = done;
      if (quietTicks == 25) {
        watch->stop();
        Say(State(updateWindow));
        QTest::keyClick(update, Qt::Key_Escape);
      }
    }
  });
  watch->start(20);
  return RunLoop(app);
}
