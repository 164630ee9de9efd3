// The main window as a user drives it, through the window API and
// tests/ui/user_input.hpp only: the same tests run on every backend.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "about_form.hpp"
#include "desktop.hpp"
#include "kelvaro_config.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "message_box.hpp"
#include "question_bank.hpp"
#include "ui/user_input.hpp"

namespace {

using kv::ui::MainForm;
using Rows = std::vector<std::vector<kv::Text>>;

class MainWindowInput : public testing::Test {
 protected:
  void SetUp() override {
    kv::test::StartUi();
    kv::QuestionBank = {
        "苹果是什么颜色？|红色", "香蕉是什么颜色？|黄色", "Apple|upper", "apple|lower", "没有竖线的颜色题", "a|b|c",
    };
    // Created without the start-up's created handler: no version check.
    main = kv::MainWindow::Create();
    ASSERT_TRUE(main);
    main->window().OnChanged(MainForm::keywordBox, [this] { ++runs; });
    kv::test::ShowAndWait(main->window());
    kv::test::ActivateByUser(main->window());
  }
  void TearDown() override {
    main.reset();
    kv::QuestionBank.clear();
  }

  kv::ui::Window& W() const { return main->window(); }
  // Tabs away and back: the returning focus empties the box; then types.
  void Type(std::u16string_view keys) {
    kv::test::TabTo(W(), MainForm::resultList.index);
    kv::test::TabTo(W(), MainForm::keywordBox.index);
    kv::test::TypeMore(W(), MainForm::keywordBox, keys);
  }
  Rows Shown() const { return kv::test::Rows(W(), MainForm::resultList); }
  std::vector<kv::Text> Numbers() const {
    std::vector<kv::Text> out;
    for (const auto& row : Shown()) out.push_back(row.at(0));
    return out;
  }
  kv::Text Keyword() const { return W().GetText(MainForm::keywordBox).gbk; }

  std::unique_ptr<kv::MainWindow> main;
  int runs = 0;  // content-changed events of the keyword box: one lookup each
};

const Rows kColourRows = {{"1", "苹果是什么颜色？", "红色"}, {"2", "香蕉是什么颜色？", "黄色"}, {"3", "", ""}};

TEST_F(MainWindowInput, TypingListsHitsNumberedWithQuestionAndAnswer) {
  Type(u"颜色");
  EXPECT_EQ(Shown(), kColourRows);
  // Every keystroke: one more character narrows the list, numbered from 1.
  kv::test::TypeMore(W(), MainForm::keywordBox, u"题");
  EXPECT_EQ(Shown(), Rows({{"1", "", ""}}));
  kv::test::PressBackspace(W(), MainForm::keywordBox);
  EXPECT_EQ(Shown(), kColourRows);
  // Case-sensitive.
  Type(u"apple");
  EXPECT_EQ(Shown(), Rows({{"1", "apple", "lower"}}));
  // Pasted like typed.
  kv::test::Paste(W(), MainForm::keywordBox, u"香蕉");
  EXPECT_EQ(Shown(), Rows({{"1", "香蕉是什么颜色？", "黄色"}}));
}

TEST_F(MainWindowInput, KeywordWithoutAGbkFormListsNothing) {
  Type(u"颜色");
  ASSERT_EQ(Shown().size(), 3u);
  kv::test::TypeMore(W(), MainForm::keywordBox, u"\U0001F34E");  // no GBK form: never "?" or a stray byte
  EXPECT_EQ(Shown(), Rows());
  kv::QuestionBank.push_back("问号?|是");
  kv::test::Paste(W(), MainForm::keywordBox, u"\U0001F34E");
  EXPECT_EQ(Shown(), Rows());
  EXPECT_FALSE(W().GetText(MainForm::keywordBox).exact);
}

TEST_F(MainWindowInput, EveryChangeRunsTheLookupExactlyOnce) {
  runs = 0;
  Type(u"ab");
  EXPECT_EQ(runs, 2);
  runs = 0;
  W().SetText(MainForm::keywordBox, "颜色");  // the program's own change counts too
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Shown().size(), 3u);
  runs = 0;
  W().SetText(MainForm::keywordBox, "颜色");  // no change, no run
  EXPECT_EQ(runs, 0);
  main->ClearLookup();  // empties the box: one run, with an empty keyword
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Shown(), Rows());
  runs = 0;
  main->ClearLookup();  // already empty: nothing runs
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(Keyword(), "");
}

TEST_F(MainWindowInput, ClearButtonEmptiesBoxAndList) {
  Type(u"颜色");
  ASSERT_EQ(Shown().size(), 3u);
  kv::test::Click(W(), MainForm::clearButton);
  EXPECT_EQ(Keyword(), "");
  EXPECT_EQ(Shown(), Rows());
}

TEST_F(MainWindowInput, FocusReturningToTheBoxClearsIt) {
  Type(u"颜色");
  ASSERT_EQ(Shown().size(), 3u);
  kv::test::TabTo(W(), MainForm::resultList.index);
  EXPECT_EQ(Keyword(), "颜色") << "leaving the box keeps the keyword";
  kv::test::TabTo(W(), MainForm::keywordBox.index);
  EXPECT_EQ(Keyword(), "");
  EXPECT_EQ(Shown(), Rows());
  // Clicking into the box.
  kv::test::TypeMore(W(), MainForm::keywordBox, u"颜色");
  kv::test::TabTo(W(), MainForm::resultList.index);
  kv::test::Click(W(), MainForm::keywordBox);
  EXPECT_TRUE(kv::test::HasFocus(W(), MainForm::keywordBox.index));
  EXPECT_EQ(Keyword(), "");
  EXPECT_EQ(Shown(), Rows());
}

TEST_F(MainWindowInput, ActivatingTheWindowAgainClearsTheBox) {
  Type(u"颜色");
  ASSERT_EQ(Shown().size(), 3u);
  auto other = kv::ui::Window::Create(kv::ui::AboutForm::kDef);
  ASSERT_TRUE(other);
  kv::test::ShowAndWait(*other);
  kv::test::ActivateByUser(*other);
  ASSERT_TRUE(kv::test::IsActive(*other));
  EXPECT_EQ(Keyword(), "颜色") << "leaving the window keeps the keyword";
  kv::test::ActivateByUser(W());
  ASSERT_TRUE(kv::test::IsActive(W()));
  EXPECT_TRUE(kv::test::HasFocus(W(), MainForm::keywordBox.index));
  EXPECT_EQ(Keyword(), "");
  EXPECT_EQ(Shown(), Rows());
  other->Close();
}

TEST_F(MainWindowInput, AlwaysOnTopFollowsTheBoxAfterEveryClick) {
  EXPECT_FALSE(W().IsChecked(MainForm::topmostBox));
  EXPECT_FALSE(W().IsTopmost());
  for (bool expected : {true, false, true, false}) {
    kv::test::Click(W(), MainForm::topmostBox);
    EXPECT_EQ(W().IsChecked(MainForm::topmostBox), expected);
    EXPECT_EQ(W().IsTopmost(), expected);
    EXPECT_TRUE(kv::test::IsShown(W()));
  }
  // Set behind the box's back (question submission does): the next click
  // goes by the box again.
  W().SetTopmost(true);
  kv::test::Click(W(), MainForm::topmostBox);
  EXPECT_TRUE(W().IsTopmost());
  kv::test::Click(W(), MainForm::topmostBox);
  EXPECT_FALSE(W().IsTopmost());
}

TEST_F(MainWindowInput, ShopButtonsAskTheDesktopForThreeDifferentAddresses) {
  std::vector<std::string> opened;
  kv::ui::SetDesktopOpenerForTesting([&](const kv::ui::DesktopRequest& r) {
    opened.push_back(r.address);
    return false;  // a failure is ignored
  });
  Type(u"颜色");
  for (kv::ui::ButtonId id : {MainForm::taobaoButton, MainForm::paipaiShopButton, MainForm::vipButton})
    kv::test::Click(W(), id);
  kv::ui::SetDesktopOpenerForTesting({});
  EXPECT_EQ(opened, (std::vector<std::string>{kv::config::kShopUrlTaobao, kv::config::kShopUrlPaipaiShop,
                                              kv::config::kShopUrlPaipaiItem}));
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_NE(opened[0], opened[1]);
  EXPECT_NE(opened[1], opened[2]);
  EXPECT_NE(opened[0], opened[2]);
  EXPECT_EQ(Shown().size(), 3u) << "the links leave the window alone";
  EXPECT_TRUE(kv::test::IsShown(W()));
}

TEST_F(MainWindowInput, SubmittingAnEmptyQuestionIsRefused) {
  std::vector<std::string> shown;
  kv::ui::SetMessageHookForTesting([&](const kv::ui::MessageRequest& r) {
    shown.push_back(r.gbkText);
    return true;
  });
  kv::test::Retype(W(), MainForm::questionBox, u"");
  kv::test::Click(W(), MainForm::submitButton);
  kv::ui::SetMessageHookForTesting({});
  EXPECT_EQ(shown, std::vector<std::string>{"题目不可以空！！"});
  EXPECT_TRUE(W().IsOpen());
}

TEST_F(MainWindowInput, ListsCloseMatchesOnlyWhenNothingMatchesAsTyped) {
  const struct {
    const char16_t* keyword;
    bool close;
    std::vector<kv::Text> numbers;
  } cases[] = {
      {u"颜色", false, {"1", "2", "3"}},
      {u"pg", true, {"1"}},          // 苹果 in pinyin initials
      {u"APPLE", true, {"1", "2"}},  // both cases, numbered from 1
      {u"Apple", false, {"1"}},      // as typed: the exact row alone
      {u"xyz", false, {}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Type(cases[i].keyword);
    EXPECT_EQ(Numbers(), cases[i].numbers) << "case " << i;
    for (std::size_t r = 0; r < cases[i].numbers.size(); ++r)
      EXPECT_EQ(kv::test::ShownAsClose(W(), MainForm::resultList, r), cases[i].close) << "case " << i << " row " << r;
  }
}

TEST_F(MainWindowInput, EscapeClosesTheWindowFromAnyControl) {
  int closed = 0;
  W().OnClosed([&] { ++closed; });
  for (std::size_t index : {MainForm::keywordBox.index, MainForm::submitButton.index, MainForm::topmostBox.index,
                            MainForm::resultList.index}) {
    kv::test::ShowAndWait(W());
    kv::test::ActivateByUser(W());
    ASSERT_TRUE(W().IsOpen());
    kv::test::TabTo(W(), index);
    ASSERT_TRUE(kv::test::HasFocus(W(), index)) << index;
    const int before = closed;
    kv::test::PressEscape(W(), index);
    EXPECT_FALSE(W().IsOpen()) << index;
    EXPECT_FALSE(kv::test::IsShown(W())) << index;
    EXPECT_EQ(closed, before + 1) << index;
  }
}

}  // namespace
