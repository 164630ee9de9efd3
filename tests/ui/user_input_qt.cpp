#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "qt/qt_window.hpp"
#include "ui/qt_app.hpp"
#include "ui/user_input.hpp"

namespace kv::test {

namespace {
QString Q(std::u16string_view s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

void StartUi() { App(); }

void ShowAndWait(ui::Window& window) {
  window.Show();
  [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(ui::qt::TopLevel(window));
}

void Retype(ui::Window& window, ui::EditBoxId box, std::u16string_view keys) {
  QLineEdit* e = ui::qt::Widget(window, box);
  e->setFocus();
  e->selectAll();
  if (keys.empty()) QTest::keyClick(e, Qt::Key_Delete);
  else TypeText(e, Q(keys));
}

void TypeMore(ui::Window& window, ui::EditBoxId box, std::u16string_view keys) {
  TypeText(ui::qt::Widget(window, box), Q(keys));
}

void PressBackspace(ui::Window& window, ui::EditBoxId box) {
  QTest::keyClick(ui::qt::Widget(window, box), Qt::Key_Backspace);
}

void Paste(ui::Window& window, ui::EditBoxId box, std::u16string_view text) {
  QGuiApplication::clipboard()->setText(Q(text));
  QLineEdit* e = ui::qt::Widget(window, box);
  e->setFocus();
  e->selectAll();
  QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
}

void Click(ui::Window& window, ui::CheckBoxId box) { QTest::mouseClick(ui::qt::Widget(window, box), Qt::LeftButton); }

void PressSpace(ui::Window& window, ui::CheckBoxId box) {
  QCheckBox* c = ui::qt::Widget(window, box);
  c->setFocus();
  QTest::keyClick(c, Qt::Key_Space);
}

void ChooseWithKeys(ui::Window& window, ui::DropDownId list, int index) {
  QComboBox* c = ui::qt::Widget(window, list);
  c->setFocus();
  QTest::keyClick(c, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(c, Qt::Key_Down);
}

}  // namespace kv::test
