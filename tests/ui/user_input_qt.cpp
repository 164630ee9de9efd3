#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "qt/gbk.hpp"
#include "qt/qt_window.hpp"
#include "qt/result_list_model.hpp"
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

void Click(ui::Window& window, ui::ButtonId button) {
  QTest::mouseClick(ui::qt::Widget(window, button), Qt::LeftButton);
}

void Click(ui::Window& window, ui::EditBoxId box) { QTest::mouseClick(ui::qt::Widget(window, box), Qt::LeftButton); }

void TabTo(ui::Window& window, std::size_t control) { ui::qt::Control(window, control)->setFocus(Qt::TabFocusReason); }

bool HasFocus(const ui::Window& window, std::size_t control) {
  return QApplication::focusWidget() == ui::qt::Control(window, control);
}

void PressEscape(ui::Window& window, std::size_t control) {
  QTest::keyClick(ui::qt::Control(window, control), Qt::Key_Escape);
}

void ActivateByUser(ui::Window& window) {
  QWidget* top = ui::qt::TopLevel(window);
  top->activateWindow();
  [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(top);
}

bool IsActive(const ui::Window& window) { return ui::qt::TopLevel(window)->isActiveWindow(); }

bool IsShown(const ui::Window& window) { return ui::qt::TopLevel(window)->isVisible(); }

std::vector<std::vector<Text>> Rows(const ui::Window& window, ui::ReportListId list) {
  const ui::ResultListModel* model = ui::qt::Model(window, list);
  std::vector<std::vector<Text>> rows;
  for (int r = 0; r < model->rowCount(); ++r) {
    std::vector<Text>& row = rows.emplace_back();
    for (int c = 0; c < model->columnCount(); ++c)
      row.push_back(ui::ToGbk(model->index(r, c).data().toString()).value_or("(no GBK form)"));
  }
  return rows;
}

bool ShownAsClose(const ui::Window& window, ui::ReportListId list, std::size_t row) {
  const QString tip = ui::qt::Model(window, list)->index(static_cast<int>(row), 0).data(Qt::ToolTipRole).toString();
  return tip == ui::FromGbk("近似匹配");
}

}  // namespace kv::test
