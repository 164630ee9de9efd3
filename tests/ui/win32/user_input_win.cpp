#include "ui/user_input.hpp"

#include <string>

#include "ui/win32/win32_app.hpp"

namespace kv::test {

namespace {

std::wstring W(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

void Key(HWND hwnd, WPARAM key) {
  ::SendMessageW(hwnd, WM_KEYDOWN, key, 1);
  ::SendMessageW(hwnd, WM_KEYUP, key, 1 | (3u << 30));
}

}  // namespace

void StartUi() { App(); }

void ShowAndWait(ui::Window& window) {
  window.Show();
  ::UpdateWindow(ui::win::TopLevel(window));
  ui::win::PumpMessages();
}

void Retype(ui::Window& window, ui::EditBoxId box, std::u16string_view keys) {
  HWND e = ui::win::Handle(window, box);
  ::SetFocus(e);
  ::SendMessageW(e, EM_SETSEL, 0, -1);
  if (keys.empty()) Key(e, VK_DELETE);
  else Type(e, W(keys));
}

void TypeMore(ui::Window& window, ui::EditBoxId box, std::u16string_view keys) {
  Type(ui::win::Handle(window, box), W(keys));
}

void PressBackspace(ui::Window& window, ui::EditBoxId box) {
  ::SendMessageW(ui::win::Handle(window, box), WM_CHAR, VK_BACK, 1);
}

void Paste(ui::Window& window, ui::EditBoxId box, std::u16string_view text) {
  SetClipboardText(W(text));
  HWND e = ui::win::Handle(window, box);
  ::SetFocus(e);
  ::SendMessageW(e, EM_SETSEL, 0, -1);
  ::SendMessageW(e, WM_PASTE, 0, 0);  // what Ctrl+V does
}

void Click(ui::Window& window, ui::CheckBoxId box) { ::SendMessageW(ui::win::Handle(window, box), BM_CLICK, 0, 0); }

void PressSpace(ui::Window& window, ui::CheckBoxId box) {
  HWND b = ui::win::Handle(window, box);
  ::SetFocus(b);
  Key(b, VK_SPACE);
}

void ChooseWithKeys(ui::Window& window, ui::DropDownId list, int index) {
  HWND c = ui::win::Handle(window, list);
  ::SetFocus(c);
  Key(c, VK_HOME);
  for (int i = 0; i < index; ++i) Key(c, VK_DOWN);
}

}  // namespace kv::test
