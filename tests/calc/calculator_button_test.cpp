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
#include "calculator_form.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "qt/qt_window.hpp"
#include "ui/qt_app.hpp"

namespace {

namespace qt = kv::ui::qt;

int VisibleWindows() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += qt::WindowOf(w) != nullptr && w->isVisible();
  return n;
}

TEST(CalculatorButton, OpensTheCalculatorModalOverTheMainWindow) {
  kv::test::App();
  const auto main = kv::MainWindow::Create();
  ASSERT_TRUE(main);
  main->window().Show();
  QWidget* mainWidget = qt::TopLevel(main->window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(mainWidget));
  QPushButton* button = qt::Widget(main->window(), kv::ui::MainForm::calculatorButton);

  bool opened = false;
  QTimer::singleShot(0, [&] {
    QPointer<QWidget> calculator = QApplication::activeModalWidget();
    ASSERT_NE(calculator, nullptr);
    opened = true;
    EXPECT_EQ(calculator->windowHandle()->transientParent(), mainWidget->windowHandle());
    EXPECT_TRUE(calculator->windowTitle().isEmpty());
    EXPECT_EQ(kv::LevelExpTable.size(), 119u);
    // The main window takes no input while the calculator is open: a click on
    // 经验计算 opens nothing more.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(VisibleWindows(), 2);
    kv::ui::Window* window = qt::WindowOf(calculator);
    ASSERT_NE(window, nullptr);
    QLineEdit* gold = qt::Widget(*window, kv::ui::CalculatorForm::questLevel);
    QTest::keyClicks(gold, "120");
    EXPECT_EQ(qt::Widget(*window, kv::ui::CalculatorForm::goldCap)->text(), "7930000");
    QTest::keyClick(gold, Qt::Key_Escape);
  });
  QTest::mouseClick(button, Qt::LeftButton);  // returns when Esc has closed the calculator
  EXPECT_TRUE(opened);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(VisibleWindows(), 1);
  EXPECT_TRUE(mainWidget->isVisible());
  kv::ReleaseCalculatorTables();
}

}  // namespace
