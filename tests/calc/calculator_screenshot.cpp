// Saves a picture of the Calculator window with every group filled in:
//   calc_screenshot <file.png>
// Run it on a real display (for example under xvfb-run).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include <cstdio>
#include <memory>

#include "calculator_window.hpp"
#include "window_table.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: calc_screenshot <file.png>\n");
    return 2;
  }
  QApplication app(argc, argv);
  std::unique_ptr<QDialog> window(kv::CreateCalculatorWindow(nullptr));
  if (!window) return 1;
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get())) return 1;

  auto type = [&](std::string_view box, const char* text) { QTest::keyClicks(kv::ui::FindEditBox(window.get(), box), text); };
  type("编辑框1", "1");
  type("编辑框2", "120");
  QTest::mouseClick(kv::ui::FindCheckBox(window.get(), "选择框1"), Qt::LeftButton);
  type("编辑框6", "1");
  type("编辑框5", "115");
  QComboBox* count = kv::ui::FindDropDown(window.get(), "组合框2");
  count->setFocus();
  for (int i = 0; i < 6; ++i) QTest::keyClick(count, Qt::Key_Down);
  type("编辑框8", "1");
  type("编辑框7", "21");
  type("编辑框18", "60");
  kv::ui::FindEditBox(window.get(), "编辑框18")->setFocus();
  QTest::qWait(200);

  return window->grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
