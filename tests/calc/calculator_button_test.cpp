// 经验计算 on the main window opens the Calculator window over it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "calculator.hpp"
#include "main_window.hpp"
#include "ui/qt_app.hpp"
#include "window_table.hpp"

namespace {

int VisibleDialogs() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += qobject_cast<QDialog*>(w) != nullptr && w->isVisible();
  return n;
}

TEST(CalculatorButton, OpensTheCalculatorModalOverTheMainWindow) {
  kv::test::App();
  kv::MainWindow main;
  ASSERT_TRUE(main.Loaded());
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  QPushButton* button = kv::ui::FindButton(&main, "按钮6");
  ASSERT_NE(button, nullptr);

  bool opened = false;
  QTimer::singleShot(0, [&] {
    QPointer<QWidget> calculator = QApplication::activeModalWidget();
    ASSERT_NE(calculator, nullptr);
    opened = true;
    EXPECT_EQ(calculator->parentWidget(), &main);
    EXPECT_TRUE(calculator->windowTitle().isEmpty());
    EXPECT_EQ(kv::LevelExpTable.size(), 119u);
    // The main window takes no input while the calculator is open: a click on
    // 经验计算 opens nothing more.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(VisibleDialogs(), 1);
    QLineEdit* gold = kv::ui::FindEditBox(calculator, "编辑框18");
    QTest::keyClicks(gold, "120");
    EXPECT_EQ(kv::ui::FindEditBox(calculator, "编辑框19")->text(), "7930000");
    QTest::keyClick(gold, Qt::Key_Escape);
  });
  QTest::mouseClick(button, Qt::LeftButton);  // returns when Esc has closed the calculator
  EXPECT_TRUE(opened);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(VisibleDialogs(), 0);
  EXPECT_TRUE(main.isVisible());
  kv::ReleaseCalculatorTables();
}

}  // namespace
