// 按钮5 on the program's own main window runs 添加题目.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "main_form.hpp"
#include "main_window.hpp"
#include "message_box.hpp"
#include "qt/qt_window.hpp"

namespace {

TEST(SubmitButton, EmptyBoxClickShowsTheMessage) {
  int argc = 1;
  char name[] = "submit_button_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const auto window = kv::MainWindow::Create();
  ASSERT_TRUE(window);
  QPushButton* button = kv::ui::qt::Widget(window->window(), kv::ui::MainForm::submitButton);
  QLineEdit* box = kv::ui::qt::Widget(window->window(), kv::ui::MainForm::questionBox);
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
