// Start-up around the version check, for the GUI tests: a main window whose
// created handler runs CheckVersion and then stands for loading the bank, then
// the message loop. Scripted user actions answer the prompt, press 立即更新 and
// acknowledge messages; what the driver sees goes to stdout, one fact a line.
//
//   update_gui_driver <scenario> <version url> <archive url> <program dir> <download dir>
//
// Scenarios: no, yes-close, yes-download, yes-fail, yes-nolength, yes-close-midway.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <iostream>
#include <set>

#include "check_version.hpp"
#include "desktop.hpp"
#include "exit_cleanup.hpp"
#include "gbk.hpp"
#include "window_table.hpp"

namespace {

void Say(const QString& line) { std::cout << line.toStdString() << std::endl; }

QString OneLine(QString s) { return s.replace(u'\n', QStringLiteral("\\n")); }

QString State(QWidget* w) {
  auto* size = kv::ui::FindLabel(w, "透明标签3");
  auto* done = kv::ui::FindLabel(w, "透明标签4");
  auto* bar = kv::ui::FindProgressBar(w, "进度条1");
  auto* button = kv::ui::FindButton(w, "按钮1");
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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 6) return 2;
  kv::InstallExitCleanup();
  const QString scenario = QString::fromLocal8Bit(argv[1]);
  const kv::UpdateSources sources{argv[2], argv[3], argv[4], argv[5]};
  kv::ui::SetDesktopOpenerForTesting([](const QUrl& url) {
    Say(QStringLiteral("open ") + url.toLocalFile());
    return true;
  });

  auto* main = new QWidget;
  main->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(main, &QObject::destroyed, [] { Say(QStringLiteral("main window gone")); });

  AnswerPrompt(scenario != QStringLiteral("no"));
  kv::CheckVersion(main, sources);
  Say(QStringLiteral("bank loaded"));

  QPointer<kv::UpdateWindow> update;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* u = qobject_cast<kv::UpdateWindow*>(w)) update = u;
  }
  if (update.isNull()) {
    Say(QStringLiteral("no update window"));
    delete main;
    return 0;
  }
  Say(QStringLiteral("update window %1 %2x%3 visible=%4 modal=%5 owner=%6")
          .arg(update->windowTitle())
          .arg(update->width())
          .arg(update->height())
          .arg(update->isVisible() ? 1 : 0)
          .arg(update->isModal() ? 1 : 0)
          .arg(update->parentWidget() ? 1 : 0));

  if (scenario == QStringLiteral("yes-close")) {
    QTimer::singleShot(200, update, [update] { QTest::keyClick(update, Qt::Key_Escape); });
    return app.exec();
  }

  QTimer::singleShot(50, update, [update] { QTest::mouseClick(kv::ui::FindButton(update, "按钮1"), Qt::LeftButton); });

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
      Say(State(update));
      box->button(QMessageBox::Ok)->click();
      QTimer::singleShot(100, update, [update] {
        Say(QStringLiteral("after ok ") + State(update));
        QTest::keyClick(update, Qt::Key_Escape);
      });
      return;
    }
    const QString done = kv::ui::FindLabel(update, "透明标签4")->text();
    if (scenario == QStringLiteral("yes-close-midway") && !done.isEmpty()) {
      watch->stop();
      Say(QStringLiteral("closing during download ") + State(update));
      QTest::keyClick(update, Qt::Key_Escape);
    }
    if (scenario == QStringLiteral("yes-nolength") && !done.isEmpty()) {
      // Once the label has kept its value for half a second, nothing more comes.
      quietTicks = (done == lastDone) ? quietTicks + 1 : 0;
      lastDone = done;
      if (quietTicks == 25) {
        watch->stop();
        Say(State(update));
        QTest::keyClick(update, Qt::Key_Escape);
      }
    }
  });
  watch->start(20);
  return app.exec();
}
