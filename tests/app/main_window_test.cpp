#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "about_form.hpp"
#include "gbk.hpp"
#include "kelvaro_config.hpp"
#include "desktop.hpp"
#include "main_window.hpp"
#include "question_bank.hpp"
#include "report_list.hpp"
#include "result_list_model.hpp"
#include "topmost.hpp"
#include "ui/qt_app.hpp"
#include "window_table.hpp"

namespace {

using kv::test::Q;

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
    window = std::make_unique<kv::MainWindow>();
    ASSERT_TRUE(window->Loaded());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    box = window->KeywordBox();
    model = window->Results();
  }
  void TearDown() override {
    window.reset();
    kv::QuestionBank.clear();
  }

  QString Cell(int row, int column) const { return model->index(row, column).data().toString(); }
  QStringList Column(int column) const {
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r) out.append(Cell(r, column));
    return out;
  }
  void Type(const QString& text) {
    window->ResultList()->setFocus(Qt::TabFocusReason);
    box->setFocus(Qt::TabFocusReason);  // the returning focus empties the box
    kv::test::TypeText(box, text);
  }

  std::unique_ptr<kv::MainWindow> window;
  QLineEdit* box = nullptr;
  kv::ui::ResultListModel* model = nullptr;
};

TEST_F(MainWindowTest, TypingListsHitsNumberedWithQuestionAndAnswer) {
  Type(Q(u"颜色"));
  EXPECT_EQ(Column(0), QStringList({"1", "2", "3"}));
  EXPECT_EQ(Column(1), QStringList({Q(u"苹果是什么颜色？"), Q(u"香蕉是什么颜色？"), ""}));
  EXPECT_EQ(Column(2), QStringList({Q(u"红色"), Q(u"黄色"), ""}));
  // The list follows every keystroke: one more character narrows it, and the
  // numbers start again at 1.
  kv::test::TypeText(box, Q(u"题"));
  EXPECT_EQ(Column(0), QStringList({"1"}));
  EXPECT_EQ(Cell(0, 1), "");
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(model->rowCount(), 3);
  // Case-sensitive, and the view shows what the model holds.
  Type("apple");
  EXPECT_EQ(Column(2), QStringList({"lower"}));
  EXPECT_EQ(window->ResultList()->model(), model);
  EXPECT_EQ(window->ResultList()->columnWidth(1), 308);
}

TEST_F(MainWindowTest, KeywordWithoutAGbkFormListsNothing) {
  Type(Q(u"颜色"));
  ASSERT_EQ(model->rowCount(), 3);
  kv::test::TypeText(box, Q(u"\U0001F34E"));  // an emoji: no GBK form, never "?" or a stray byte
  EXPECT_EQ(model->rowCount(), 0);
  kv::QuestionBank.push_back("问号?|是");
  box->setText(Q(u"\U0001F34E"));
  EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(MainWindowTest, EveryChangeRunsTheLookupExactlyOnce) {
  QSignalSpy runs(window.get(), &kv::MainWindow::LookupRan);
  Type("ab");
  EXPECT_EQ(runs.count(), 2);
  runs.clear();
  box->setText(Q(u"颜色"));  // the program's own change counts too
  EXPECT_EQ(runs.count(), 1);
  EXPECT_EQ(model->rowCount(), 3);
  runs.clear();
  box->setText(Q(u"颜色"));  // no change, no run
  EXPECT_EQ(runs.count(), 0);
  window->ClearLookup();  // empties the box: one run, with an empty keyword
  EXPECT_EQ(runs.count(), 1);
  EXPECT_EQ(model->rowCount(), 0);
  runs.clear();
  window->ClearLookup();  // already empty: the list stays empty and nothing runs
  EXPECT_EQ(runs.count(), 0);
  EXPECT_EQ(box->text(), "");
}

TEST_F(MainWindowTest, ClearButtonEmptiesBoxAndList) {
  Type(Q(u"颜色"));
  ASSERT_EQ(model->rowCount(), 3);
  QPushButton* clear = kv::ui::FindButton(window.get(), "按钮3");
  ASSERT_TRUE(clear);
  QTest::mouseClick(clear, Qt::LeftButton);
  EXPECT_EQ(box->text(), "");
  EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(MainWindowTest, FocusReturningToTheBoxClearsItButNotAfterItsContextMenu) {
  Type(Q(u"颜色"));
  ASSERT_EQ(model->rowCount(), 3);
  // Tabbing away and back.
  window->ResultList()->setFocus(Qt::TabFocusReason);
  box->setFocus(Qt::BacktabFocusReason);
  EXPECT_EQ(box->text(), "");
  EXPECT_EQ(model->rowCount(), 0);

  // Clicking into the box.
  kv::test::TypeText(box, Q(u"颜色"));
  window->ResultList()->setFocus(Qt::TabFocusReason);
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(box->text(), "");

  // The box's context menu (right-click, Paste) hands the focus back with
  // PopupFocusReason; the pasted keyword stays.
  kv::test::TypeText(box, Q(u"颜色"));
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

TEST_F(MainWindowTest, ActivatingTheWindowAgainClearsTheBox) {
  Type(Q(u"颜色"));
  ASSERT_EQ(model->rowCount(), 3);
  QWidget other;
  other.resize(100, 100);
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(box->text(), Q(u"颜色")) << "leaving the window keeps the keyword";
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_EQ(box->text(), "");
  EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(MainWindowTest, CopyingRowsWithCtrlAAndCtrlC) {
  Type(Q(u"颜色"));
  kv::ui::ReportList* list = window->ResultList();
  list->setFocus(Qt::TabFocusReason);
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            Q(u"1\t苹果是什么颜色？\t红色\n2\t香蕉是什么颜色？\t黄色\n3\t\t"));
  EXPECT_EQ(box->text(), Q(u"颜色")) << "copying keeps the keyword";
}

TEST_F(MainWindowTest, AlwaysOnTopFollowsTheBoxAfterEveryClick) {
  QCheckBox* check = window->TopmostBox();
  EXPECT_FALSE(check->isChecked());
  EXPECT_FALSE(kv::ui::IsTopmost(window.get()));
  for (bool expected : {true, false, true, false}) {
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(check->isChecked(), expected);
    EXPECT_EQ(kv::ui::IsTopmost(window.get()), expected);
    EXPECT_TRUE(window->isVisible());
  }
  // The state can be set behind the box's back (question submission does);
  // the next click goes by the box again.
  kv::ui::SetTopmost(window.get(), true);
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_TRUE(kv::ui::IsTopmost(window.get()));
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_FALSE(kv::ui::IsTopmost(window.get()));
}

TEST_F(MainWindowTest, ShopButtonsAskTheDesktopForThreeDifferentAddresses) {
  std::vector<QUrl> opened;
  kv::ui::SetDesktopOpenerForTesting([&](const QUrl& url) {
    opened.push_back(url);
    return false;  // a failure is ignored
  });
  Type(Q(u"颜色"));
  for (const char* name : {"按钮1", "按钮2", "按钮4"})
    QTest::mouseClick(kv::ui::FindButton(window.get(), name), Qt::LeftButton);
  kv::ui::SetDesktopOpenerForTesting({});
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0], QUrl(kv::ui::FromGbk(kv::config::kShopUrlTaobao)));
  EXPECT_EQ(opened[1], QUrl(kv::ui::FromGbk(kv::config::kShopUrlPaipaiShop)));
  EXPECT_EQ(opened[2], QUrl(kv::ui::FromGbk(kv::config::kShopUrlPaipaiItem)));
  EXPECT_NE(opened[0], opened[1]);
  EXPECT_NE(opened[1], opened[2]);
  EXPECT_NE(opened[0], opened[2]);
  EXPECT_EQ(model->rowCount(), 3) << "the links leave the window alone";
  EXPECT_TRUE(QApplication::topLevelWidgets().contains(window.get()));
}

TEST_F(MainWindowTest, AboutWindowIsModalAndShowsItsTextEachTime) {
  Type(Q(u"颜色"));
  for (int i = 0; i < 2; ++i) {
    QString text, caption;
    bool modal = false;
    QRect labelGeometry;
    QSize size;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog);
      modal = dialog->isModal();
      caption = dialog->windowTitle();
      size = dialog->size();
      QLabel* label = kv::ui::FindLabel(dialog, "标签1");
      ASSERT_TRUE(label);
      text = label->text();
      labelGeometry = label->geometry();
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(kv::ui::FindButton(window.get(), "按钮7"), Qt::LeftButton);
    EXPECT_TRUE(modal);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(size, QSize(374, 225));
    EXPECT_EQ(labelGeometry, QRect(0, 0, 376, 224));
    // The label shows the About text; the window's own line breaks are CR LF.
    ASSERT_FALSE(text.isEmpty());
    const auto bytes = kv::ui::ToGbk(text.replace("\n", "\r\n"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, kv::ui::AboutText());
  }
  // The About window returns to the main window; the keyword box had the
  // focus, so the returning focus empties it, as every re-activation does.
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(QApplication::topLevelWidgets().contains(window.get()));
}

TEST_F(MainWindowTest, WindowLayoutAndLook) {
  EXPECT_EQ(window->windowTitle(), Q(u"KelvaroOstrin答题器   另接Kelvaro代练  QQ：135790      官方群:2468024"));
  EXPECT_EQ(window->size(), QSize(504, 285));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  const QList<QSize> sizes = window->windowIcon().availableSizes();
  for (int s : {128, 64, 48, 32, 16}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
  QPushButton* calc = kv::ui::FindButton(window.get(), "按钮6");
  EXPECT_EQ(calc->font().pixelSize(), 12);
  EXPECT_EQ(calc->font().weight(), QFont::Bold);
  EXPECT_FALSE(window->TopmostBox()->isChecked());
  // Controls that sit in a group box are placed relative to it.
  QWidget* label3 = kv::ui::FindControl(window.get(), "透明标签3");
  EXPECT_EQ(label3->mapTo(window.get(), QPoint(0, 0)), QPoint(2 + 382, 240 + 16));
  // Enter in the keyword box does not move the focus.
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), box);
}

TEST_F(MainWindowTest, EscapeClosesTheWindowFromAnyControlAndEndsTheProgram) {
  QApplication& app = kv::test::App();
  app.setQuitOnLastWindowClosed(true);
  for (const char* name : {"欲查找名称编辑框", "按钮5", "选择框1", "超级列表框2"}) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget* control = kv::ui::FindControl(window.get(), name);
    ASSERT_TRUE(control) << name;
    control->setFocus(Qt::TabFocusReason);
    QTimer::singleShot(0, [control] { QTest::keyClick(control, Qt::Key_Escape); });
    QTimer watchdog;  // a window that does not close must not hang the test
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    EXPECT_EQ(app.exec(), 0) << name;
    EXPECT_FALSE(window->isVisible()) << name;
    EXPECT_TRUE(window->Closed());
  }
  app.setQuitOnLastWindowClosed(false);
}

}  // namespace
