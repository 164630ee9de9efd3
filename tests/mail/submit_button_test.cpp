// 按钮5 on the program's own main window runs 添加题目.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "main_window.hpp"
#include "message_box.hpp"
#include "window_table.hpp"

namespace {

TEST(SubmitButton, EmptyBoxClickShowsTheMessage) {
  int argc = 1;
  char name[] = "submit_button_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  kv::MainWindow window;
  ASSERT_TRUE(window.Loaded());
  QPushButton* button = kv::ui::FindButton(&window, "按钮5");
  QLineEdit* box = kv::ui::FindEditBox(&window, "编辑框_添加的");
  ASSERT_TRUE(button && box);
  std::vector<std::string> shown;
  kv::ui::SetMessageHookForTesting([&](const kv::ui::MessageRequest& r) {
    shown.push_back(r.gbkText);
    return true;
  });
  box->clear();
  button->click();
  kv::ui::SetMessageHookForTesting({});
  EXPECT_EQ(shown, std::vector<std::string>{"题目不可以空！！"});
}

}  // namespace
