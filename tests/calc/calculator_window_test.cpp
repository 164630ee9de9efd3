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
#include "calculator_form.hpp"
#include "calculator_window.hpp"
#include "exit_cleanup.hpp"
#include "qt/gbk.hpp"
#include "qt/qt_window.hpp"
#include "ui/qt_app.hpp"

namespace {

namespace qt = kv::ui::qt;
using kv::ui::CalculatorForm;

// Controls of the Calculator window by form name, found while compiling.
consteval kv::ui::EditBoxId E(std::string_view name) {
  return kv::ui::ControlOf<kv::ui::EditBoxId>(kv::ui::calculator_form::kControls, name);
}
consteval kv::ui::CheckBoxId C(std::string_view name) {
  return kv::ui::ControlOf<kv::ui::CheckBoxId>(kv::ui::calculator_form::kControls, name);
}
consteval kv::ui::GroupBoxId G(std::string_view name) {
  return kv::ui::ControlOf<kv::ui::GroupBoxId>(kv::ui::calculator_form::kControls, name);
}
consteval std::size_t Any(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kv::ui::calculator_form::kControls); ++i)
    if (kv::ui::calculator_form::kControls[i].formName == name) return i;
  throw "no such control";
}

class CalculatorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::test::App();
    window_ = kv::CreateCalculatorWindow();
    ASSERT_NE(window_, nullptr);
    window_->Show();
    top_ = qt::TopLevel(*window_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(top_));
  }
  void TearDown() override {
    window_.reset();
    kv::ReleaseCalculatorTables();
  }

  QLineEdit* Edit(kv::ui::EditBoxId box) { return qt::Widget(*window_, box); }
  QCheckBox* Check(kv::ui::CheckBoxId box) { return qt::Widget(*window_, box); }
  QComboBox* Count() { return qt::Widget(*window_, CalculatorForm::skillCount); }

  // Replaces the box's text the way a user does: select all, then type.
  void Type(kv::ui::EditBoxId box, const QString& keys) {
    QLineEdit* e = Edit(box);
    e->setFocus();
    e->selectAll();
    if (keys.isEmpty()) QTest::keyClick(e, Qt::Key_Delete);
    else QTest::keyClicks(e, keys);
  }
  QString Out(kv::ui::EditBoxId box) { return Edit(box)->text(); }

  // Chooses a skill count with the keyboard, as a user does on the closed list.
  void ChooseCount(int count) {
    QComboBox* box = Count();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 1; i < count; ++i) QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentText(), QString::number(count));
  }

  void Paste(kv::ui::EditBoxId box, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QLineEdit* e = Edit(box);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
  }

  std::unique_ptr<kv::ui::Window> window_;
  QWidget* top_ = nullptr;
};

constexpr kv::ui::EditBoxId kAllEditBoxes[] = {
    E("编辑框1"),  E("编辑框2"),  E("编辑框3"),  E("编辑框4"),  E("编辑框5"),  E("编辑框6"),
    E("编辑框7"),  E("编辑框8"),  E("编辑框9"),  E("编辑框10"), E("编辑框11"), E("编辑框12"),
    E("编辑框13"), E("编辑框14"), E("编辑框15"), E("编辑框16"), E("编辑框18"), E("编辑框19")};
constexpr kv::ui::EditBoxId kLevelBoxes[] = {E("编辑框1"), E("编辑框2"), E("编辑框6"),
                                             E("编辑框5"), E("编辑框8"), E("编辑框7")};
constexpr kv::ui::EditBoxId kOtherCultivation[] = {E("编辑框10"), E("编辑框11"), E("编辑框12"),
                                                   E("编辑框14"), E("编辑框15"), E("编辑框16")};

// ------------------------------------------------------------------- shape

TEST_F(CalculatorWindow, FrameAndBoxes) {
  EXPECT_TRUE(top_->windowTitle().isEmpty());
  EXPECT_EQ(top_->size(), QSize(453, 284));
  EXPECT_EQ(top_->minimumSize(), top_->maximumSize());
  const Qt::WindowFlags flags = top_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

  for (kv::ui::EditBoxId name : kAllEditBoxes) {
    QLineEdit* e = Edit(name);
    EXPECT_EQ(e->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << name.index;
    EXPECT_FALSE(e->isReadOnly()) << name.index;
    EXPECT_TRUE(e->text().isEmpty()) << name.index;  // nothing is calculated at opening
  }
  for (kv::ui::EditBoxId name : kLevelBoxes) EXPECT_EQ(Edit(name)->maxLength(), 3) << name.index;
  EXPECT_GT(Edit(E("编辑框18"))->maxLength(), 1000);

  EXPECT_FALSE(Count()->isEditable());
  ASSERT_EQ(Count()->count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Count()->itemText(i), QString::number(i + 1));
  EXPECT_EQ(Count()->currentText(), "1");
  EXPECT_FALSE(Check(C("选择框1"))->isChecked());
  EXPECT_FALSE(Check(C("选择框2"))->isChecked());

  EXPECT_EQ(qt::Widget(*window_, G("分组框1"))->title(), QString::fromUtf16(u"等级经验计算"));
  EXPECT_EQ(qt::Widget(*window_, G("分组框4"))->title(), QString::fromUtf16(u"金币上限查询"));
  EXPECT_TRUE(qt::Widget(*window_, G("分组框6"))->title().isEmpty());
  // Placement is relative to the group box.
  EXPECT_EQ(Edit(E("编辑框19"))->parentWidget(), qt::Widget(*window_, G("分组框4")));
  EXPECT_EQ(Edit(E("编辑框19"))->geometry(), QRect(64, 56, 70, 20));
}

TEST_F(CalculatorWindow, Colours) {
  auto text = [&](std::size_t name, QPalette::ColorRole role) {
    return qt::Control(*window_, name)->palette().color(role).name();
  };
  EXPECT_EQ(text(Any("选择框1"), QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text(Any("选择框2"), QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text(Any("标签25"), QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text(Any("组合框2"), QPalette::ButtonText), "#ff0000");
  EXPECT_EQ(text(Any("标签13"), QPalette::WindowText), "#ff0000");
  EXPECT_EQ(text(Any("编辑框13"), QPalette::Text), "#ff0000");
  for (std::size_t blue : {Any("标签9"), Any("标签10"), Any("标签11"), Any("标签12"), Any("标签14"), Any("标签15"),
                           Any("标签16")})
    EXPECT_EQ(text(blue, QPalette::WindowText), "#0000ff") << blue;
  EXPECT_EQ(text(Any("编辑框19"), QPalette::Text), "#ff5080");
  const QString black = QApplication::palette().color(QPalette::WindowText).name();
  EXPECT_EQ(text(Any("标签1"), QPalette::WindowText), black);
  EXPECT_EQ(text(Any("标签17"), QPalette::WindowText), black);
}

// The groups as a user drives them: calculator_groups_test.cpp, on every backend.

// ------------------------------------------------------------- key filter

TEST_F(CalculatorWindow, InputMethodCommitsAreFiltered) {
  QLineEdit* box = Edit(E("编辑框1"));
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
  QCoreApplication::sendEvent(Edit(E("编辑框18")), &letters);
  EXPECT_EQ(Out(E("编辑框18")), "");
}

// ------------------------------------------------------------- lifecycle

TEST(CalculatorWindowLifecycle, EveryOpeningRebuildsTablesAndStartsEmpty) {
  kv::test::App();
  kv::ReleaseCalculatorTables();
  std::unique_ptr<kv::ui::Window> first = kv::CreateCalculatorWindow();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(kv::LevelExpTable.size(), 119u);
  EXPECT_EQ(kv::GoldCapTable.size(), 120u);
  first->SetText(CalculatorForm::levelCurrent, "5");
  qt::Widget(*first, CalculatorForm::skillTimes15)->setChecked(true);
  qt::Widget(*first, CalculatorForm::skillCount)->setCurrentIndex(4);
  first.reset();

  kv::LevelExpTable.push_back("stale");
  std::unique_ptr<kv::ui::Window> second = kv::CreateCalculatorWindow();
  EXPECT_EQ(kv::LevelExpTable.size(), 119u);
  EXPECT_TRUE(second->GetText(CalculatorForm::levelCurrent).gbk.empty());
  EXPECT_FALSE(second->IsChecked(CalculatorForm::skillTimes15));
  EXPECT_EQ(second->ShownText(CalculatorForm::skillCount), "1");
  kv::ReleaseCalculatorTables();
}

TEST(CalculatorWindowLifecycle, ExitCleanupReleasesTheTables) {
  kv::test::App();
  std::unique_ptr<kv::ui::Window> window = kv::CreateCalculatorWindow();
  window.reset();
  EXPECT_EQ(kv::SkillExpTable.size(), 114u);  // closing the window keeps them
  kv::RunExitCleanup();
  EXPECT_TRUE(kv::LevelExpTable.empty() && kv::SkillExpTable.empty() && kv::TechniqueExpTable.empty() &&
              kv::CultivationExpTable.empty() && kv::GoldCapTable.empty());
}

TEST(CalculatorWindowLifecycle, OpensModalOnceAndEscCloses) {
  kv::test::App();
  const auto mainWindow = kv::ui::Window::Create(CalculatorForm::kDef);  // any window will do as the owner
  ASSERT_TRUE(mainWindow);
  mainWindow->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qt::TopLevel(*mainWindow)));
  const auto visibleWindows = [] {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += qt::WindowOf(w) != nullptr && w->isVisible();
    return n;
  };

  bool checked = false;
  QTimer::singleShot(0, [&] {
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    kv::ui::Window* calculator = qt::WindowOf(modal);
    ASSERT_NE(calculator, nullptr);
    EXPECT_EQ(modal->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(modal->windowHandle()->transientParent(), qt::TopLevel(*mainWindow)->windowHandle());
    // A second opening while one is open adds no window: it returns at once.
    EXPECT_EQ(visibleWindows(), 2);
    kv::OpenCalculatorWindow(*mainWindow);
    EXPECT_EQ(visibleWindows(), 2);
    QTest::keyClicks(qt::Widget(*calculator, CalculatorForm::levelCurrent), "9");
    QTest::keyClick(qt::Widget(*calculator, CalculatorForm::levelCurrent), Qt::Key_Escape);
    checked = true;
  });
  kv::OpenCalculatorWindow(*mainWindow);  // returns once Esc has closed it
  EXPECT_TRUE(checked);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(visibleWindows(), 1);
  kv::ReleaseCalculatorTables();
}

}  // namespace
