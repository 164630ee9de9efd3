// Key and input-method filters of the Qt backend.
#pragma once

class QLineEdit;
class QWidget;

namespace kv::ui::qt {

// Typed characters other than the digits and the minus sign are rejected:
// keys (Backspace, arrows and shortcuts pass) and text an input method
// commits alike. Pasted text and the program's own setText are not filtered.
void FilterToDigits(QLineEdit* edit);

// Esc that no control takes closes the top-level `window`, as its close box
// does.
void CloseOnEscape(QWidget* window);

}  // namespace kv::ui::qt
