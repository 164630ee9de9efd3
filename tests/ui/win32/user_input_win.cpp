#include "ui/user_input.hpp"

#include <string>

#include "ui/win32/win32_app.hpp"
#include "win32/report_list_win.hpp"
#include "win32/wide_text.hpp"

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

void Click(ui::Window& window, ui::ButtonId button) {
  ::SendMessageW(ui::win::Handle(window, button), BM_CLICK, 0, 0);
}

void Click(ui::Window& window, ui::EditBoxId box) {
  HWND e = ui::win::Handle(window, box);
  ::SendMessageW(e, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(e, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ui::win::PumpMessages();
}

void TabTo(ui::Window& window, std::size_t control) {
  ::SetFocus(ui::win::Control(window, control));
  ui::win::PumpMessages();
}

bool HasFocus(const ui::Window& window, std::size_t control) {
  return ::GetFocus() == ui::win::Control(window, control);
}

void PressEscape(ui::Window& window, std::size_t control) { PressKey(ui::win::Control(window, control), VK_ESCAPE); }

void ActivateByUser(ui::Window& window) {
  // What a click on the title bar does: the window becomes the active one.
  ::SetActiveWindow(ui::win::TopLevel(window));
  ui::win::PumpMessages();
}

bool IsActive(const ui::Window& window) { return ::GetActiveWindow() == ui::win::TopLevel(window); }

bool IsShown(const ui::Window& window) { return ::IsWindowVisible(ui::win::TopLevel(window)); }

std::vector<std::vector<Text>> Rows(const ui::Window& window, ui::ReportListId list) {
  HWND view = ui::win::Handle(window, list);
  HWND header = reinterpret_cast<HWND>(::SendMessageW(view, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  const int count = static_cast<int>(::SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
  std::vector<std::vector<Text>> rows;
  for (int r = 0; r < count; ++r) {
    std::vector<Text>& row = rows.emplace_back();
    for (int c = 0; c < columns; ++c) {
      wchar_t buffer[512] = {};
      LVITEMW item{};
      item.iSubItem = c;
      item.pszText = buffer;
      item.cchTextMax = 512;
      ::SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
      row.push_back(ui::win::ToGbk(buffer).value_or("(no GBK form)"));
    }
  }
  return rows;
}

bool ShownAsClose(const ui::Window& window, ui::ReportListId list, std::size_t row) {
  const auto& view = window.impl().lists[list.index];
  if (!view) return false;
  // The tip's first line is the close match's mark.
  const std::wstring tip = view->RowTip(row);
  return tip.substr(0, tip.find(L"\r\n")) == ui::win::FromGbk("近似匹配");
}

}  // namespace kv::test
