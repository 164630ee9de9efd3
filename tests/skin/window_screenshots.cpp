// Takes pictures of the program's four windows with the skin attached, as the
// program shows them, for the documentation:
//   kelvaro-window-screenshots <output dir> [--plain] [--message-box]
// writes main-window.png, about-window.png, calculator-window.png and
// update-window.png. With --plain the skin is left off, to compare; with
// --message-box a message box is pictured too (message-box.png).
// tools/screenshots.sh runs it on a virtual X display.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "about_window.hpp"
#include "calculator_window.hpp"
#include "gbk.hpp"
#include "main_window.hpp"
#include "message_box.hpp"
#include "question_bank.hpp"
#include "skin_host.hpp"
#include "update_window.hpp"
#include "window_table.hpp"

namespace {

QString g_dir;
int g_failures = 0;

// Lets the window be mapped and painted, then saves what it shows.
void Save(QWidget* window, const char* name) {
  window->raise();
  window->activateWindow();
  if (!QTest::qWaitForWindowExposed(window, 5000)) {
    std::fprintf(stderr, "%s: window never shown\n", name);
    ++g_failures;
    return;
  }
  QTest::qWait(300);
  const QString path = g_dir + "/" + name;
  if (!window->grab().save(path, "PNG")) {
    std::fprintf(stderr, "%s: cannot write\n", qPrintable(path));
    ++g_failures;
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

// Pictures the next modal window once it is open, then closes it.
void SaveModal(const char* name) {
  QTimer::singleShot(0, [name] {
    QWidget* modal = QApplication::activeModalWidget();
    for (int i = 0; i < 50 && modal == nullptr; ++i) {
      QTest::qWait(100);
      modal = QApplication::activeModalWidget();
    }
    if (modal == nullptr) {
      std::fprintf(stderr, "%s: no window opened\n", name);
      ++g_failures;
      return;
    }
    Save(modal, name);
    modal->close();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output dir> [--plain]\n", argv[0]);
    return 2;
  }
  bool plain = false, messageBox = false;
  for (int i = 2; i < argc; ++i) {
    plain = plain || std::strcmp(argv[i], "--plain") == 0;
    messageBox = messageBox || std::strcmp(argv[i], "--message-box") == 0;
  }
  QApplication app(argc, argv);
  g_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_dir);

  // As at start-up: engine, main window, then the skin from its created handler.
  kv::LoadSkinEngine();
  kv::MainWindow main;
  if (!main.Loaded()) return 1;
  if (!plain) kv::AttachSkin();
  kv::LoadQuestionBank();
  main.show();
  main.activateWindow();
  if (!QTest::qWaitForWindowExposed(&main, 5000)) return 1;
  QTest::qWait(300);
  // A lookup with a few rows, as a player would see it: the box empties
  // itself when it gets the focus, so the keyword comes after.
  main.KeywordBox()->setFocus();
  QTest::qWait(100);
  main.KeywordBox()->setText(kv::ui::FromGbk("首都"));
  Save(&main, "main-window.png");

  // The About window is modal and runs its own loop: picture it from inside.
  SaveModal("about-window.png");
  kv::OpenAboutWindow(&main);
  if (messageBox) {
    SaveModal("message-box.png");
    kv::ui::ShowMessage("下载完成!");
  }

  if (QDialog* calc = kv::CreateCalculatorWindow(&main)) {
    calc->show();
    // A few inputs, so that every kind of output shows its colour.
    const std::pair<const char*, const char*> inputs[] = {
        {"编辑框1", "10"}, {"编辑框2", "60"}, {"编辑框6", "20"}, {"编辑框5", "40"},
        {"编辑框8", "5"},  {"编辑框7", "15"}, {"编辑框18", "50"}};
    for (const auto& [box, text] : inputs)
      if (QLineEdit* edit = kv::ui::FindEditBox(calc, box)) edit->setText(QString::fromLatin1(text));
    Save(calc, "calculator-window.png");
    calc->close();
    delete calc;
  } else {
    std::fprintf(stderr, "calculator-window.png: no Calculator window\n");
    ++g_failures;
  }

  kv::UpdateSources sources;
  sources.programDir = sources.downloadDir = QDir::tempPath().toStdString();
  kv::UpdateWindow update(sources);
  update.show();
  Save(&update, "update-window.png");
  update.close();
  main.close();
  kv::ReleaseQuestionBank();
  return g_failures == 0 ? 0 : 1;
}
