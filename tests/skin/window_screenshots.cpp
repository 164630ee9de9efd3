// Takes pictures of the program's four windows with the skin attached, as the
// program shows them, for the documentation:
//   kelvaro-window-screenshots <output dir> [--plain] [--message-box]
// writes main-window.png, about-window.png, calculator-window.png and
// update-window.png, and two lookups: lookup-highlight.png (exact rows, their
// hits in the accent, one row selected) and lookup-close.png (close matches
// of a pinyin keyword, with the tip of one of them). With --plain the skin is left off, to compare; with
// --message-box a message box is pictured too (message-box.png).
// tools/screenshots.sh runs it on a virtual X display.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QCursor>
#include <QToolTip>
#include <cstdio>
#include <cstring>

#include "about_window.hpp"
#include "application.hpp"
#include "calculator_form.hpp"
#include "calculator_window.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "message_box.hpp"
#include "qt/qt_window.hpp"
#include "qt/report_list.hpp"
#include "qt/result_list_model.hpp"
#include "question_bank.hpp"
#include "skin_host.hpp"
#include "update_window.hpp"

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

// Pictures the main window with `keyword` looked up; with `tipRow` >= 0 the
// tip of that row's question is shown and pictured with it.
void SaveLookup(kv::MainWindow& main, const char* keyword, int selectRow, int tipRow, const char* name) {
  namespace qt = kv::ui::qt;
  using kv::ui::MainForm;
  main.window().SetText(MainForm::keywordBox, keyword);
  kv::ui::ReportList* list = qt::Widget(main.window(), MainForm::resultList);
  if (selectRow >= 0) list->selectRow(selectRow);
  if (tipRow < 0) {
    Save(qt::TopLevel(main.window()), name);
    list->clearSelection();
    return;
  }
  QWidget* window = qt::TopLevel(main.window());
  const QModelIndex cell = list->model()->index(tipRow, 1);
  const QRect rect = list->visualRect(cell);
  const QPoint at = list->viewport()->mapToGlobal(rect.center());
  // The pointer rests on the cell until the list shows its tip.
  QCursor::setPos(at);
  QWidget* tip = nullptr;
  for (int i = 0; i < 50 && tip == nullptr; ++i) {
    QTest::qWait(100);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->inherits("QTipLabel")) tip = w;
  }
  if (tip == nullptr) {
    std::fprintf(stderr, "%s: the tip did not show\n", name);
    ++g_failures;
    return;
  }
  QTest::qWait(300);
  // The tip is a window of its own: picture the screen around both.
  const QRect area = window->frameGeometry().united(tip->frameGeometry());
  const QString path = g_dir + "/" + name;
  if (!window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path, "PNG")) {
    std::fprintf(stderr, "%s: cannot write\n", qPrintable(path));
    ++g_failures;
  } else {
    std::printf("%s\n", qPrintable(path));
  }
  QToolTip::hideText();
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
  kv::ui::Application app(argc, argv);
  g_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_dir);

  // As at start-up: engine, main window, then the skin from its created handler.
  kv::LoadSkinEngine();
  const std::unique_ptr<kv::MainWindow> main = kv::MainWindow::Create();
  if (!main) return 1;
  if (!plain) kv::AttachSkin();
  kv::LoadQuestionBank();
  main->window().Show();
  QWidget* mainWidget = kv::ui::qt::TopLevel(main->window());
  mainWidget->activateWindow();
  if (!QTest::qWaitForWindowExposed(mainWidget, 5000)) return 1;
  QTest::qWait(300);
  // A lookup with a few rows, as a player would see it: the box empties
  // itself when it gets the focus, so the keyword comes after.
  main->window().SetFocus(kv::ui::MainForm::keywordBox);
  QTest::qWait(100);
  main->window().SetText(kv::ui::MainForm::keywordBox, "首都");
  Save(mainWidget, "main-window.png");
  SaveLookup(*main, "长江", 1, -1, "lookup-highlight.png");
  SaveLookup(*main, "changj", -1, 2, "lookup-close.png");
  main->window().SetText(kv::ui::MainForm::keywordBox, "首都");

  // The About window is modal and runs its own loop: picture it from inside.
  SaveModal("about-window.png");
  kv::OpenAboutWindow(main->window());
  if (messageBox) {
    SaveModal("message-box.png");
    kv::ui::ShowMessage("下载完成!");
  }

  if (const std::unique_ptr<kv::ui::Window> calc = kv::CreateCalculatorWindow()) {
    calc->Show();
    // A few inputs, so that every kind of output shows its colour.
    using F = kv::ui::CalculatorForm;
    const std::pair<kv::ui::EditBoxId, const char*> inputs[] = {
        {F::levelCurrent, "10"}, {F::levelTarget, "60"}, {F::skillCurrent, "20"}, {F::skillTarget, "40"},
        {F::cultivationCurrent, "5"}, {F::cultivationTarget, "15"}, {F::questLevel, "50"}};
    for (const auto& [box, text] : inputs) calc->SetText(box, text);
    Save(kv::ui::qt::TopLevel(*calc), "calculator-window.png");
    calc->Close();
  } else {
    std::fprintf(stderr, "calculator-window.png: no Calculator window\n");
    ++g_failures;
  }

  kv::UpdateSources sources;
  sources.programDir = sources.downloadDir = QDir::tempPath().toStdString();
  kv::ui::Window* update = kv::OpenUpdateWindow(sources);
  if (update == nullptr) return 1;
  Save(kv::ui::qt::TopLevel(*update), "update-window.png");
  update->Close();
  main->window().Close();
  kv::ReleaseQuestionBank();
  return g_failures == 0 ? 0 : 1;
}
