#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "about_form.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "qt/gbk.hpp"
#include "qt/qt_window.hpp"
#include "qt/report_list.hpp"
#include "qt/result_list_model.hpp"
#include "question_bank.hpp"
#include "ui/qt_app.hpp"

namespace {

using kv::test::Q;
using kv::ui::MainForm;
namespace qt = kv::ui::qt;

// Records the reasons of the focus-in events a widget gets.
struct FocusReasons : QObject {
  explicit FocusReasons(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::FocusIn) seen.append(static_cast<QFocusEvent*>(e)->reason());
    return false;
  }
  QList<Qt::FocusReason> seen;
};

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    kv::test::App();
    kv::QuestionBank = {
        "苹果是什么颜色？|红色",
        "香蕉是什么颜色？|黄色",
        "Apple|upper",
        "apple|lower",
        "没有竖线的颜色题",
        "a|b|c",
    };
    main = kv::MainWindow::Create();
    ASSERT_TRUE(main);
    main->window().OnChanged(MainForm::keywordBox, [this] { ++runs; });
    main->window().Show();
    window = qt::TopLevel(main->window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    box = qt::Widget(main->window(), MainForm::keywordBox);
    list = qt::Widget(main->window(), MainForm::resultList);
    model = qt::Model(main->window(), MainForm::resultList);
    check = qt::Widget(main->window(), MainForm::topmostBox);
  }
  void TearDown() override {
    main.reset();
    kv::QuestionBank.clear();
  }
  QPushButton* Button(kv::ui::ButtonId id) const { return qt::Widget(main->window(), id); }

  QString Cell(int row, int column) const { return model->index(row, column).data().toString(); }
  QStringList Column(int column) const {
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r) out.append(Cell(r, column));
    return out;
  }
  void Type(const QString& text) {
    list->setFocus(Qt::TabFocusReason);
    box->setFocus(Qt::TabFocusReason);  // the returning focus empties the box
    kv::test::TypeText(box, text);
  }

  std::unique_ptr<kv::MainWindow> main;
  QWidget* window = nullptr;
  QLineEdit* box = nullptr;
  kv::ui::ReportList* list = nullptr;
  kv::ui::ResultListModel* model = nullptr;
  QCheckBox* check = nullptr;
  int runs = 0;  // content-changed events of the keyword box: one lookup each
};

TEST_F(MainWindowTest, TheListViewShowsTheModelsRows) {
  Type("apple");
  EXPECT_EQ(Column(2), QStringList({"lower"}));
  EXPECT_EQ(list->model(), model);
  EXPECT_EQ(list->columnWidth(1), 308);
}

TEST_F(MainWindowTest, TheBoxKeepsWhatItsContextMenuPasted) {
  // The box's context menu (right-click, Paste) hands the focus back with
  // PopupFocusReason; the pasted keyword stays.
  Type(Q(u"颜色"));
  FocusReasons reasons(box);
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(box, &menu);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_TRUE(popup);
  box->insert(Q(u"？"));  // what Paste does
  popup->close();
  QApplication::processEvents();
  EXPECT_EQ(reasons.seen, QList<Qt::FocusReason>({Qt::PopupFocusReason}));
  EXPECT_EQ(box->text(), Q(u"颜色？"));
  EXPECT_EQ(model->rowCount(), 2);
}

TEST_F(MainWindowTest, CopyingRowsWithCtrlAAndCtrlC) {
  Type(Q(u"颜色"));
  list->setFocus(Qt::TabFocusReason);
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            Q(u"1\t苹果是什么颜色？\t红色\n2\t香蕉是什么颜色？\t黄色\n3\t\t"));
  EXPECT_EQ(box->text(), Q(u"颜色")) << "copying keeps the keyword";
}

TEST_F(MainWindowTest, AboutWindowIsModalAndShowsItsTextEachTime) {
  Type(Q(u"颜色"));
  for (int i = 0; i < 2; ++i) {
    QString text, caption;
    bool modal = false;
    QRect labelGeometry;
    QSize size;
    QTimer::singleShot(50, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      kv::ui::Window* about = qt::WindowOf(dialog);
      ASSERT_TRUE(about);
      modal = dialog->windowModality() == Qt::ApplicationModal;
      caption = dialog->windowTitle();
      size = dialog->size();
      QLabel* label = qt::Widget(*about, kv::ui::AboutForm::text);
      ASSERT_TRUE(label);
      text = label->text();
      labelGeometry = label->geometry();
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(Button(MainForm::aboutButton), Qt::LeftButton);
    EXPECT_TRUE(modal);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(size, QSize(374, 225));
    EXPECT_EQ(labelGeometry, QRect(0, 0, 376, 224));
    // The label shows the About text; the window's own line breaks are CR LF.
    ASSERT_FALSE(text.isEmpty());
    const auto bytes = kv::ui::ToGbk(text.replace("\n", "\r\n"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, kv::ui::about_form::kText);
  }
  // The About window returns to the main window; the keyword box had the
  // focus, so the returning focus empties it, as every re-activation does.
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, WindowLayoutAndLook) {
  EXPECT_EQ(window->windowTitle(), Q(u"KelvaroOstrin答题器   另接Kelvaro代练  QQ：135790      官方群:2468024"));
  EXPECT_EQ(window->size(), QSize(504, 285));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  const QList<QSize> sizes = window->windowIcon().availableSizes();
  for (int s : {128, 64, 48, 32, 16}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
  QPushButton* calc = Button(MainForm::calculatorButton);
  EXPECT_EQ(calc->font().pixelSize(), 12);
  EXPECT_EQ(calc->font().weight(), QFont::Bold);
  EXPECT_FALSE(check->isChecked());
  // Controls that sit in a group box are placed relative to it.
  QWidget* label3 = qt::Control(main->window(), kv::ui::ControlOf<kv::ui::LabelId>(kv::ui::main_form::kControls, "透明标签3").index);
  EXPECT_EQ(label3->mapTo(window, QPoint(0, 0)), QPoint(2 + 382, 240 + 16));
  // Enter in the keyword box does not move the focus.
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), box);
}

TEST_F(MainWindowTest, EscapeEndsTheProgram) {
  QApplication& app = kv::test::App();
  app.setQuitOnLastWindowClosed(true);
  list->setFocus(Qt::TabFocusReason);
  QTimer::singleShot(0, [this] { QTest::keyClick(list, Qt::Key_Escape); });
  QTimer watchdog;  // a window that does not close must not hang the test
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(5000);
  EXPECT_EQ(app.exec(), 0);
  EXPECT_FALSE(main->window().IsOpen());
  app.setQuitOnLastWindowClosed(false);
}

TEST_F(MainWindowTest, CloseMatchesCarryTheirHitsAndTipAndCopyAsPlainText) {
  using kv::ui::HitRanges;
  using kv::ui::ResultListModel;
  struct Case {
    const char16_t* keyword;
    bool close;
    QStringList numbers;
    HitRanges firstQuestionHits;
  } cases[] = {
      {u"颜色", false, {"1", "2", "3"}, {{5, 2}}},
      {u"pg", true, {"1"}, {{0, 2}}},              // 苹果 in pinyin initials
      {u"APPLE", true, {"1", "2"}, {{0, 5}}},      // both cases, numbered from 1
      {u"Apple", false, {"1"}, {{0, 5}}},          // as typed: the exact row alone
      {u"xyz", false, {}, {}},
  };
  for (const Case& c : cases) {
    Type(Q(c.keyword));
    const std::string what = QString::fromUtf16(c.keyword).toStdString();
    EXPECT_EQ(model->Close(), c.close) << what;
    EXPECT_EQ(Column(0), c.numbers) << what;
    if (c.numbers.isEmpty()) continue;
    EXPECT_EQ(model->index(0, 1).data(ResultListModel::kHitsRole).value<HitRanges>(), c.firstQuestionHits) << what;
    EXPECT_EQ(model->index(0, 0).data(Qt::ToolTipRole).toString(), c.close ? Q(u"近似匹配") : QString()) << what;
  }
  // Copying a close row copies its plain text.
  Type(Q(u"pg"));
  list->setFocus(Qt::TabFocusReason);
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), Q(u"1\t苹果是什么颜色？\t红色"));
}

TEST_F(MainWindowTest, BringingTheWindowUpLeavesTheFocusInAnEmptyBox) {
  // The offscreen platform has no hot keys: the window runs without one.
  EXPECT_FALSE(main->RegisterBringUpHotKey());
  // From another window.
  Type(Q(u"颜色"));
  QWidget other;
  other.resize(100, 100);
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  main->BringUp();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->isActiveWindow(); }));
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_EQ(box->text(), "");
  EXPECT_EQ(model->rowCount(), 0);
  // With the focus in the box already: emptied all the same.
  kv::test::TypeText(box, Q(u"颜色"));
  ASSERT_EQ(QApplication::focusWidget(), box);
  main->BringUp();
  EXPECT_EQ(box->text(), "");
  EXPECT_EQ(model->rowCount(), 0);
  // With the focus on the list.
  kv::test::TypeText(box, Q(u"颜色"));
  list->setFocus(Qt::TabFocusReason);
  main->BringUp();
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_EQ(box->text(), "");
  // Under the modal About window, the About window keeps the keyboard.
  bool aboutKeptIt = false;
  QTimer::singleShot(50, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_TRUE(dialog);
    other.activateWindow();
    (void)QTest::qWaitForWindowActive(&other);
    main->BringUp();
    aboutKeptIt = QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; });
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  QTest::mouseClick(Button(MainForm::aboutButton), Qt::LeftButton);
  EXPECT_TRUE(aboutKeptIt);
}

}  // namespace
