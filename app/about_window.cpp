#include "about_window.hpp"

#include <QDialog>

#include "about_form.hpp"
#include "window_table.hpp"

namespace kv {

void OpenAboutWindow(QWidget* owner) {
  QDialog dialog(owner);
  if (!ui::BuildWindow(ui::AboutForm(), &dialog)) return;
  ui::CentreOnScreen(&dialog, ui::AboutForm());
  dialog.exec();
}

}  // namespace kv
