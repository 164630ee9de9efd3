// The Calculator window's groups as a user drives them, through the window
// API and tests/ui/user_input.hpp only: the same tests run on every backend.
#include <gtest/gtest.h>

#include <memory>

#include "calculator.hpp"
#include "calculator_form.hpp"
#include "calculator_window.hpp"
#include "ui/user_input.hpp"

namespace {

using kv::ui::CalculatorForm;

consteval kv::ui::EditBoxId E(std::string_view name) {
  return kv::ui::ControlOf<kv::ui::EditBoxId>(kv::ui::calculator_form::kControls, name);
}
consteval kv::ui::CheckBoxId C(std::string_view name) {
  return kv::ui::ControlOf<kv::ui::CheckBoxId>(kv::ui::calculator_form::kControls, name);
}

class CalculatorWindowInput : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::test::StartUi();
    window_ = kv::CreateCalculatorWindow();
    ASSERT_NE(window_, nullptr);
    kv::test::ShowAndWait(*window_);
  }
  void TearDown() override {
    window_.reset();
    kv::ReleaseCalculatorTables();
  }

  void Type(kv::ui::EditBoxId box, std::u16string_view keys) { kv::test::Retype(*window_, box, keys); }
  kv::Text Out(kv::ui::EditBoxId box) { return window_->GetText(box).gbk; }
  void Click(kv::ui::CheckBoxId box) { kv::test::Click(*window_, box); }
  void ChooseCount(int count) {
    kv::test::ChooseWithKeys(*window_, CalculatorForm::skillCount, count - 1);
    ASSERT_EQ(window_->ShownText(CalculatorForm::skillCount), std::to_string(count));
  }
  void Paste(kv::ui::EditBoxId box, std::u16string_view text) { kv::test::Paste(*window_, box, text); }

  std::unique_ptr<kv::ui::Window> window_;
};

constexpr kv::ui::EditBoxId kLevelBoxes[] = {E("编辑框1"), E("编辑框2"), E("编辑框6"),
                                             E("编辑框5"), E("编辑框8"), E("编辑框7")};
constexpr kv::ui::EditBoxId kOtherCultivation[] = {E("编辑框10"), E("编辑框11"), E("编辑框12"),
                                                   E("编辑框14"), E("编辑框15"), E("编辑框16")};

// ------------------------------------------------------------ level group

TEST_F(CalculatorWindowInput, LevelGroupFollowsItsInputsAndCheckBox) {
  Type(E("编辑框1"), u"1");
  EXPECT_EQ(Out(E("编辑框3")), "");  // target still empty
  Type(E("编辑框2"), u"2");
  EXPECT_EQ(Out(E("编辑框3")), "140");
  Type(E("编辑框2"), u"120");
  EXPECT_EQ(Out(E("编辑框3")), "183385630");

  Click(C("选择框1"));
  EXPECT_TRUE(window_->IsChecked(C("选择框1")));
  EXPECT_EQ(Out(E("编辑框3")), "275078445");
  Click(C("选择框1"));
  EXPECT_EQ(Out(E("编辑框3")), "183385630");

  Type(E("编辑框2"), u"121");
  EXPECT_EQ(Out(E("编辑框3")), "");
  kv::test::PressSpace(*window_, C("选择框1"));  // the keyboard's click
  EXPECT_EQ(Out(E("编辑框3")), "0");

  // Deleting one character at a time recomputes at every change.
  Type(E("编辑框2"), u"3");
  Type(E("编辑框1"), u"2");
  EXPECT_EQ(Out(E("编辑框3")), "322");
  kv::test::PressBackspace(*window_, E("编辑框1"));
  EXPECT_EQ(Out(E("编辑框3")), "0");

  // Groups are independent.
  EXPECT_EQ(Out(E("编辑框4")), "");
  EXPECT_EQ(Out(E("编辑框13")), "");
  EXPECT_EQ(Out(E("编辑框19")), "");
}

TEST_F(CalculatorWindowInput, OutputBoxesAreEditableAndOverwritten) {
  Type(E("编辑框1"), u"1");
  Type(E("编辑框2"), u"2");
  Type(E("编辑框3"), u"abc");
  EXPECT_EQ(Out(E("编辑框3")), "abc");
  EXPECT_EQ(Out(E("编辑框1")), "1");
  Type(E("编辑框2"), u"3");
  EXPECT_EQ(Out(E("编辑框3")), "355");
}

// ------------------------------------------------------------ skill group

TEST_F(CalculatorWindowInput, SkillGroupFollowsCountAndCheckBox) {
  Type(E("编辑框6"), u"1");
  Type(E("编辑框5"), u"2");
  EXPECT_EQ(Out(E("编辑框4")), "20");
  ChooseCount(7);
  EXPECT_EQ(Out(E("编辑框4")), "140");
  ChooseCount(3);
  EXPECT_EQ(Out(E("编辑框4")), "60");
  Click(C("选择框2"));
  EXPECT_EQ(Out(E("编辑框4")), "90");
  Type(E("编辑框6"), u"3");
  Type(E("编辑框5"), u"4");
  EXPECT_EQ(Out(E("编辑框4")), "174");  // 39 * 1.5 cut to 58, then three skills
  Click(C("选择框2"));
  EXPECT_EQ(Out(E("编辑框4")), "117");
  Type(E("编辑框5"), u"116");
  EXPECT_EQ(Out(E("编辑框4")), "0");
}

TEST_F(CalculatorWindowInput, SkillCountRecomputesOnlyTheSkillGroup) {
  Type(E("编辑框1"), u"1");
  Type(E("编辑框2"), u"2");
  Type(E("编辑框8"), u"1");
  Type(E("编辑框7"), u"2");
  Type(E("编辑框3"), u"x");  // marks in output boxes of the other groups
  Type(E("编辑框13"), u"y");
  ChooseCount(2);
  EXPECT_EQ(Out(E("编辑框3")), "x");
  EXPECT_EQ(Out(E("编辑框13")), "y");
  EXPECT_EQ(Out(E("编辑框4")), "0");  // no usable skill pair yet
}

// ------------------------------------------------------ cultivation group

TEST_F(CalculatorWindowInput, CultivationGroupFillsEightBoxes) {
  Type(E("编辑框8"), u"1");
  Type(E("编辑框7"), u"21");
  EXPECT_EQ(Out(E("编辑框9")), "374698");
  for (kv::ui::EditBoxId box : kOtherCultivation) EXPECT_EQ(Out(box), "187349") << box.index;
  EXPECT_EQ(Out(E("编辑框13")), "1498792");

  Type(E("编辑框7"), u"22");
  EXPECT_EQ(Out(E("编辑框9")), "");
  for (kv::ui::EditBoxId box : kOtherCultivation) EXPECT_EQ(Out(box), "") << box.index;
  EXPECT_EQ(Out(E("编辑框13")), "0");

  Type(E("编辑框8"), u"7");
  Type(E("编辑框7"), u"2");
  EXPECT_EQ(Out(E("编辑框9")), "0");
  EXPECT_EQ(Out(E("编辑框13")), "0");
  EXPECT_EQ(Out(E("编辑框3")), "");
}

// --------------------------------------------------------------- gold cap

TEST_F(CalculatorWindowInput, GoldCapLookup) {
  Type(E("编辑框18"), u"60");
  EXPECT_EQ(Out(E("编辑框19")), "1990000");
  Type(E("编辑框18"), u"0001");  // no length limit here
  EXPECT_EQ(Out(E("编辑框18")), "0001");
  EXPECT_EQ(Out(E("编辑框19")), "10550");
  Type(E("编辑框18"), u"4294967297");
  EXPECT_EQ(Out(E("编辑框19")), "10550");
  Type(E("编辑框18"), u"121");
  EXPECT_EQ(Out(E("编辑框19")), "");
  Type(E("编辑框18"), u"-5");
  EXPECT_EQ(Out(E("编辑框19")), "");
  Type(E("编辑框18"), u"");
  EXPECT_EQ(Out(E("编辑框19")), "");
}

// ------------------------------------------------------------- key filter

TEST_F(CalculatorWindowInput, LevelBoxesTakeThreeDigitsOrMinusWhenTyped) {
  for (kv::ui::EditBoxId box : kLevelBoxes) {
    Type(box, u"a");
    EXPECT_EQ(Out(box), "") << box.index;
    Type(box, u"1a2b3");
    EXPECT_EQ(Out(box), "123") << box.index;
    kv::test::TypeMore(*window_, box, u"4");  // a fourth character
    EXPECT_EQ(Out(box), "123") << box.index;
    Type(box, u"-1");
    EXPECT_EQ(Out(box), "-1") << box.index;
    Type(box, u"");
    kv::test::TypeMore(*window_, box, u"１ 。");  // full-width digit, space, CJK punctuation
    EXPECT_EQ(Out(box), "") << box.index;
  }
  Type(E("编辑框18"), u"x6y0");
  EXPECT_EQ(Out(E("编辑框18")), "60");
  EXPECT_EQ(Out(E("编辑框19")), "1990000");
}

TEST_F(CalculatorWindowInput, PastedTextPassesTheFilterButNotTheLimit) {
  Paste(E("编辑框1"), u"１ab");  // full-width 1, then letters
  EXPECT_EQ(Out(E("编辑框1")), "１ab");
  Type(E("编辑框2"), u"3");
  EXPECT_EQ(Out(E("编辑框3")), "355");
  Paste(E("编辑框2"), u"12345");
  EXPECT_EQ(Out(E("编辑框2")), "123");
  Paste(E("编辑框18"), u"4294967297");
  EXPECT_EQ(Out(E("编辑框19")), "10550");
  Paste(E("编辑框18"), u"６０级");
  EXPECT_EQ(Out(E("编辑框19")), "1990000");
  // A character GBK lacks cannot be a digit: reading stops there.
  Paste(E("编辑框18"), u"6\U0001F600");
  EXPECT_EQ(Out(E("编辑框19")), "29800");
}

}  // namespace
