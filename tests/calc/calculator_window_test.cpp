#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

#include "calculator.hpp"
#include "calculator_window.hpp"
#include "exit_cleanup.hpp"
#include "gbk.hpp"
#include "ui/qt_app.hpp"
#include "window_table.hpp"

namespace {

class CalculatorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::test::App();
    window_.reset(kv::CreateCalculatorWindow(nullptr));
    ASSERT_NE(window_, nullptr);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    window_.reset();
    kv::ReleaseCalculatorTables();
  }

  QLineEdit* Edit(std::string_view name) {
    QLineEdit* e = kv::ui::FindEditBox(window_.get(), name);
    EXPECT_NE(e, nullptr) << name;
    return e;
  }
  QCheckBox* Check(std::string_view name) { return kv::ui::FindCheckBox(window_.get(), name); }
  QComboBox* Count() { return kv::ui::FindDropDown(window_.get(), "组合框2"); }

  // Replaces the box's text the way a user does: select all, then type.
  void Type(std::string_view box, const QString& keys) {
    QLineEdit* e = Edit(box);
    e->setFocus();
    e->selectAll();
    if (keys.isEmpty()) QTest::keyClick(e, Qt::Key_Delete);
    else QTest::keyClicks(e, keys);
  }
  QString Out(std::string_view box) { return Edit(box)->text(); }

  // Chooses a skill count with the keyboard, as a user does on the closed list.
  void ChooseCount(int count) {
    QComboBox* box = Count();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 1; i < count; ++i) QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentText(), QString::number(count));
  }

  void Paste(std::string_view box, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QLineEdit* e = Edit(box);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
  }

  std::unique_ptr<QDialog> window_;
};

constexpr std::string_view kAllEditBoxes[] = {"编辑框1", "编辑框2", "编辑框3", "编辑框4", "编辑框5", "编辑框6",
                                              "编辑框7", "编辑框8", "编辑框9", "编辑框10", "编辑框11", "编辑框12",
                                              "编辑框13", "编辑框14", "编辑框15", "编辑框16", "编辑框18", "编辑框19"};
constexpr std::string_view kLevelBoxes[] = {"编辑框1", "编辑框2", "编辑框6", "编辑框5", "编辑框8", "编辑框7"};
constexpr std::string_view kOtherCultivation[] = {"编辑框10", "编辑框11", "编辑框12", "编辑框14", "编辑框15", "编辑框16"};

// ------------------------------------------------------------------- shape

TEST_F(CalculatorWindow, FrameAndBoxes) {
  EXPECT_TRUE(window_->windowTitle().isEmpty());
  EXPECT_EQ(window_->size(), QSize(453, 284));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

  for (std::string_view name : kAllEditBoxes) {
    QLineEdit* e = Edit(name);
    EXPECT_EQ(e->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << name;
    EXPECT_FALSE(e->isReadOnly()) << name;
    EXPECT_TRUE(e->text().isEmpty()) << name;  // nothing is calculated at opening
  }
  for (std::string_view name : kLevelBoxes) EXPECT_EQ(Edit(name)->maxLength(), 3) << name;
  EXPECT_GT(Edit("编辑框18")->maxLength(), 1000);

  EXPECT_FALSE(Count()->isEditable());
  ASSERT_EQ(Count()->count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Count()->itemText(i), QString::number(i + 1));
  EXPECT_EQ(Count()->currentText(), "1");
  EXPECT_FALSE(Check("选择框1")->isChecked());
  EXPECT_FALSE(Check("选择框2")->isChecked());

  EXPECT_EQ(kv::ui::FindGroupBox(window_.get(), "分组框1")->title(), QString::fromUtf16(u"等级经验计算"));
  EXPECT_EQ(kv::ui::FindGroupBox(window_.get(), "分组框4")->title(), QString::fromUtf16(u"金币上限查询"));
  EXPECT_TRUE(kv::ui::FindGroupBox(window_.get(), "分组框6")->title().isEmpty());
  // Placement is relative to the group box.
  EXPECT_EQ(Edit("编辑框19")->parentWidget(), kv::ui::FindGroupBox(window_.get(), "分组框4"));
  EXPECT_EQ(Edit("编辑框19")->geometry(), QRect(64, 56, 70, 20));
}

TEST_F(CalculatorWindow, Colours) {
  auto text = [&](std::string_view name, QPalette::ColorRole role) {
    return kv::ui::FindControl(window_.get(), name)->palette().color(role).name();
  };
  EXPECT_EQ(text("选择框1", QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text("选择框2", QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text("标签25", QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text("组合框2", QPalette::ButtonText), "#ff0000");
  EXPECT_EQ(text("标签13", QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text("编辑框13", QPalette::Text), "#ff0000");
  for (std::string_view blue : {"标签9", "标签10", "标签11", "标签12", "标签14", "标签15", "标签16"})
    EXPECT_EQ(text(blue, QPalette::WindowText), "#0000ff") << blue;
  EXPECT_EQ(text("编辑框19", QPalette::Text), "#ff5080");
  const QString black = QApplication::palette().color(QPalette::WindowText).name();
  EXPECT_EQ(text("标签1", QPalette::WindowText), black);
  EXPECT_EQ(text("标签17", QPalette::WindowText), black);
}

// ------------------------------------------------------------ level group

TEST_F(CalculatorWindow, LevelGroupFollowsItsInputsAndCheckBox) {
  Type("编辑框1", "1");
  EXPECT_EQ(Out("编辑框3"), "");  // target still empty
  Type("编辑框2", "2");
  EXPECT_EQ(Out("编辑框3"), "140");
  Type("编辑框2", "120");
  EXPECT_EQ(Out("编辑框3"), "183385630");

  QTest::mouseClick(Check("选择框1"), Qt::LeftButton);
  EXPECT_TRUE(Check("选择框1")->isChecked());
  EXPECT_EQ(Out("编辑框3"), "275078445");
  QTest::mouseClick(Check("选择框1"), Qt::LeftButton);
  EXPECT_EQ(Out("编辑框3"), "183385630");

  Type("编辑框2", "121");
  EXPECT_EQ(Out("编辑框3"), "");
  Check("选择框1")->setFocus();
  QTest::keyClick(Check("选择框1"), Qt::Key_Space);  // the keyboard's click
  EXPECT_EQ(Out("编辑框3"), "0");

  // Deleting one character at a time recomputes at every change.
  Type("编辑框2", "3");
  Type("编辑框1", "2");
  EXPECT_EQ(Out("编辑框3"), "322");
  QTest::keyClick(Edit("编辑框1"), Qt::Key_Backspace);
  EXPECT_EQ(Out("编辑框3"), "0");

  // Groups are independent.
  EXPECT_EQ(Out("编辑框4"), "");
  EXPECT_EQ(Out("编辑框13"), "");
  EXPECT_EQ(Out("编辑框19"), "");
}

TEST_F(CalculatorWindow, OutputBoxesAreEditableAndOverwritten) {
  Type("编辑框1", "1");
  Type("编辑框2", "2");
  Type("编辑框3", "abc");
  EXPECT_EQ(Out("编辑框3"), "abc");
  EXPECT_EQ(Out("编辑框1"), "1");
  Type("编辑框2", "3");
  EXPECT_EQ(Out("编辑框3"), "355");
}

// ------------------------------------------------------------ skill group

TEST_F(CalculatorWindow, SkillGroupFollowsCountAndCheckBox) {
  Type("编辑框6", "1");
  Type("编辑框5", "2");
  EXPECT_EQ(Out("编辑框4"), "20");
  ChooseCount(7);
  EXPECT_EQ(Out("编辑框4"), "140");
  ChooseCount(3);
  EXPECT_EQ(Out("编辑框4"), "60");
  QTest::mouseClick(Check("选择框2"), Qt::LeftButton);
  EXPECT_EQ(Out("编辑框4"), "90");
  Type("编辑框6", "3");
  Type("编辑框5", "4");
  EXPECT_EQ(Out("编辑框4"), "174");  // 39 * 1.5 cut to 58, then three skills
  QTest::mouseClick(Check("选择框2"), Qt::LeftButton);
  EXPECT_EQ(Out("编辑框4"), "117");
  Type("编辑框5", "116");
  EXPECT_EQ(Out("编辑框4"), "0");
}

TEST_F(CalculatorWindow, SkillCountRecomputesOnlyTheSkillGroup) {
  Type("编辑框1", "1");
  Type("编辑框2", "2");
  Type("编辑框8", "1");
  Type("编辑框7", "2");
  Type("编辑框3", "x");   // marks in output boxes of the other groups
  Type("编辑框13", "y");
  ChooseCount(2);
  EXPECT_EQ(Out("编辑框3"), "x");
  EXPECT_EQ(Out("编辑框13"), "y");
  EXPECT_EQ(Out("编辑框4"), "0");  // no usable skill pair yet
}

// ------------------------------------------------------ cultivation group

TEST_F(CalculatorWindow, CultivationGroupFillsEightBoxes) {
  Type("编辑框8", "1");
  Type("编辑框7", "21");
  EXPECT_EQ(Out("编辑框9"), "374698");
  for (std::string_view box : kOtherCultivation) EXPECT_EQ(Out(box), "187349") << box;
  EXPECT_EQ(Out("编辑框13"), "1498792");

  Type("编辑框7", "22");
  EXPECT_EQ(Out("编辑框9"), "");
  for (std::string_view box : kOtherCultivation) EXPECT_EQ(Out(box), "") << box;
  EXPECT_EQ(Out("编辑框13"), "0");

  Type("编辑框8", "7");
  Type("编辑框7", "2");
  EXPECT_EQ(Out("编辑框9"), "0");
  EXPECT_EQ(Out("编辑框13"), "0");
  EXPECT_EQ(Out("编辑框3"), "");
}

// --------------------------------------------------------------- gold cap

TEST_F(CalculatorWindow, GoldCapLookup) {
  Type("编辑框18", "60");
  EXPECT_EQ(Out("编辑框19"), "1990000");
  Type("编辑框18", "0001");  // no length limit here
  EXPECT_EQ(Out("编辑框18"), "0001");
  EXPECT_EQ(Out("编辑框19"), "10550");
  Type("编辑框18", "4294967297");
  EXPECT_EQ(Out("编辑框19"), "10550");
  Type("编辑框18", "121");
  EXPECT_EQ(Out("编辑框19"), "");
  Type("编辑框18", "-5");
  EXPECT_EQ(Out("编辑框19"), "");
  Type("编辑框18", "");
  EXPECT_EQ(Out("编辑框19"), "");
}

// ------------------------------------------------------------- key filter

TEST_F(CalculatorWindow, LevelBoxesTakeThreeDigitsOrMinusWhenTyped) {
  for (std::string_view box : kLevelBoxes) {
    Type(box, "a");
    EXPECT_EQ(Out(box), "") << box;
    Type(box, "1a2b3");
    EXPECT_EQ(Out(box), "123") << box;
    QTest::keyClicks(Edit(box), "4");  // a fourth character
    EXPECT_EQ(Out(box), "123") << box;
    Type(box, "-1");
    EXPECT_EQ(Out(box), "-1") << box;
    Type(box, "");
    for (QChar c : QString::fromUtf16(u"１ 。"))  // full-width digit, space, CJK punctuation
      QTest::sendKeyEvent(QTest::Click, Edit(box), Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(Out(box), "") << box;
  }
  Type("编辑框18", "x6y0");
  EXPECT_EQ(Out("编辑框18"), "60");
  EXPECT_EQ(Out("编辑框19"), "1990000");
}

TEST_F(CalculatorWindow, PastedTextPassesTheFilterButNotTheLimit) {
  Paste("编辑框1", QString::fromUtf16(u"１ab"));  // full-width 1, then letters
  EXPECT_EQ(Out("编辑框1"), QString::fromUtf16(u"１ab"));
  Type("编辑框2", "3");
  EXPECT_EQ(Out("编辑框3"), "355");
  Paste("编辑框2", "12345");
  EXPECT_EQ(Out("编辑框2"), "123");
  Paste("编辑框18", "4294967297");
  EXPECT_EQ(Out("编辑框19"), "10550");
  Paste("编辑框18", QString::fromUtf16(u"６０级"));
  EXPECT_EQ(Out("编辑框19"), "1990000");
  // A character GBK lacks cannot be a digit: reading stops there.
  Paste("编辑框18", QString::fromUtf16(u"6\U0001F600"));
  EXPECT_EQ(Out("编辑框19"), "29800");
}

TEST_F(CalculatorWindow, InputMethodCommitsAreFiltered) {
  QLineEdit* box = Edit("编辑框1");
  box->setFocus();
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf16(u"4级a5"));
  QCoreApplication::sendEvent(box, &commit);
  EXPECT_EQ(box->text(), "45");
  QInputMethodEvent more;
  more.setCommitString("-67");
  QCoreApplication::sendEvent(box, &more);
  EXPECT_EQ(box->text(), "45-");  // three characters at most
  QInputMethodEvent letters;
  letters.setCommitString(QString::fromUtf16(u"经验"));
  QCoreApplication::sendEvent(Edit("编辑框18"), &letters);
  EXPECT_EQ(Out("编辑框18"), "");
}

// ------------------------------------------------------------- lifecycle

TEST(CalculatorWindowLifecycle, EveryOpeningRebuildsTablesAndStartsEmpty) {
  kv::test::App();
  kv::ReleaseCalculatorTables();
  std::unique_ptr<QDialog> first(kv::CreateCalculatorWindow(nullptr));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(kv::LevelExpTable.size(), 119u);
  EXPECT_EQ(kv::GoldCapTable.size(), 120u);
  kv::ui::FindEditBox(first.get(), "编辑框1")->setText("5");
  kv::ui::FindCheckBox(first.get(), "选择框2")->setChecked(true);
  kv::ui::FindDropDown(first.get(), "组合框2")->setCurrentIndex(4);
  first.reset();

  kv::LevelExpTable.push_back("stale");
  std::unique_ptr<QDialog> second(kv::CreateCalculatorWindow(nullptr));
  EXPECT_EQ(kv::LevelExpTable.size(), 119u);
  EXPECT_TRUE(kv::ui::FindEditBox(second.get(), "编辑框1")->text().isEmpty());
  EXPECT_FALSE(kv::ui::FindCheckBox(second.get(), "选择框2")->isChecked());
  EXPECT_EQ(kv::ui::FindDropDown(second.get(), "组合框2")->currentText(), "1");
  kv::ReleaseCalculatorTables();
}

TEST(CalculatorWindowLifecycle, ExitCleanupReleasesTheTables) {
  kv::test::App();
  std::unique_ptr<QDialog> window(kv::CreateCalculatorWindow(nullptr));
  window.reset();
  EXPECT_EQ(kv::SkillExpTable.size(), 114u);  // closing the window keeps them
  kv::RunExitCleanup();
  EXPECT_TRUE(kv::LevelExpTable.empty() && kv::SkillExpTable.empty() && kv::TechniqueExpTable.empty() &&
              kv::CultivationExpTable.empty() && kv::GoldCapTable.empty());
}

TEST(CalculatorWindowLifecycle, OpensModalOnceAndEscCloses) {
  kv::test::App();
  QWidget mainWindow;
  mainWindow.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));

  bool checked = false;
  // Closes a second window, should one open, so that a fault fails the test
  // instead of hanging it in the second window's loop.
  QTimer closeSecond;
  closeSecond.setSingleShot(true);
  QObject::connect(&closeSecond, &QTimer::timeout, [&] {
    QWidget* active = QApplication::activeModalWidget();
    if (active != nullptr && active->parentWidget() == &mainWindow && active != closeSecond.property("first").value<QObject*>()) {
      ADD_FAILURE() << "a second Calculator window opened";
      active->close();
    }
  });
  QTimer::singleShot(0, [&] {
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(modal->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(modal->parentWidget(), &mainWindow);
    // A second opening while one is open adds no window.
    const auto dialogs = [] {
      int n = 0;
      for (QWidget* w : QApplication::topLevelWidgets()) n += qobject_cast<QDialog*>(w) && w->isVisible();
      return n;
    };
    EXPECT_EQ(dialogs(), 1);
    closeSecond.setProperty("first", QVariant::fromValue<QObject*>(modal.data()));
    closeSecond.start(0);
    kv::OpenCalculatorWindow(&mainWindow);
    EXPECT_EQ(dialogs(), 1);
    QTest::keyClicks(kv::ui::FindEditBox(modal, "编辑框1"), "9");
    QTest::keyClick(kv::ui::FindEditBox(modal, "编辑框1"), Qt::Key_Escape);
    checked = true;
  });
  kv::OpenCalculatorWindow(&mainWindow);  // returns once Esc has closed it
  EXPECT_TRUE(checked);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<QDialog*>(w), nullptr);
  kv::ReleaseCalculatorTables();
}

}  // namespace
