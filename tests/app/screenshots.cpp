// Renders the main window with a keyword typed, and the About window, to PNG
// files for the documentation. Run it on a real display server (Xvfb), see
// take_screenshots.sh.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

#include "about_form.hpp"
#include "gbk.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "question_bank.hpp"
#include "result_list_model.hpp"
#include "skin_host.hpp"
#include "ui/qt_app.hpp"
#include "window_table.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <keyword (UTF-8)> <main.png> <about.png>\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  kv::LoadSkinEngine();
  kv::MainWindow window;
  if (!window.Loaded()) return 1;
  kv::AttachSkin();
  kv::LoadQuestionBank();
  kv::ui::CentreOnScreen(&window, kv::ui::MainForm());
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  window.activateWindow();
  (void)QTest::qWaitForWindowActive(&window);
  window.KeywordBox()->setFocus(Qt::TabFocusReason);
  kv::test::TypeText(window.KeywordBox(), QString::fromUtf8(argv[1]));
  QTest::qWait(300);
  std::printf("%d rows\n", window.Results()->rowCount());
  if (!window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) return 1;

  QDialog about(&window);
  if (!kv::ui::BuildWindow(kv::ui::AboutForm(), &about)) return 1;
  about.show();
  if (!QTest::qWaitForWindowExposed(&about)) return 1;
  QTest::qWait(300);
  if (!about.grab().save(QString::fromLocal8Bit(argv[3]), "PNG")) return 1;
  return 0;
}
