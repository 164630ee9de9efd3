// Windows from their tables, as Win32 windows and common controls.
#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "dpi_win.hpp"
#include "look_win.hpp"
#include "picture_win.hpp"
#include "report_list_win.hpp"
#include "wide_text.hpp"
#include "win32_window.hpp"

namespace kv::ui {

namespace {

constexpr wchar_t kWindowClass[] = L"KelvaroWindow";
constexpr UINT_PTR kSubclassId = 1;

// Every window of the program that exists, user-interface thread only.
std::vector<Window::Impl*>& AllWindows() {
  static std::vector<Window::Impl*> windows;
  return windows;
}

Window::Impl* ImplOf(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  wchar_t name[32];
  if (::GetClassNameW(hwnd, name, 32) == 0 || std::wstring_view(name) != kWindowClass) return nullptr;
  return reinterpret_cast<Window::Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

DWORD WindowStyle(const WindowDef& def) {
  return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (def.minimizeBox ? WS_MINIMIZEBOX : 0);
}

// A label's text for the display: line breaks as CR LF.
std::wstring LabelText(std::string_view gbk) {
  std::wstring s = win::FromGbk(gbk);
  std::wstring out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\n' && (i == 0 || s[i - 1] != L'\r')) out += L'\r';
    out += s[i];
  }
  return out;
}

bool IsLevelCharacter(WPARAM c) { return (c >= L'0' && c <= L'9') || c == L'-'; }

// The digit filter of an edit box: typed characters other than 0-9 and "-"
// are dropped; control characters (Backspace, Ctrl+V, ...) pass, and so does
// pasted text. An input method's characters arrive as WM_CHAR too.
LRESULT CALLBACK DigitsOnly(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (msg == WM_CHAR && wParam >= 0x20 && wParam != 0x7F && !IsLevelCharacter(wParam)) return 0;
  return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

// A group box draws its frame and caption only: what lies inside it, and
// under its caption, is the window's background (the window's own painting
// leaves its children out).
LRESULT CALLBACK GroupBoxBackground(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (msg == WM_ERASEBKGND) {
    RECT r;
    ::GetClientRect(hwnd, &r);
    ::FillRect(reinterpret_cast<HDC>(wParam), &r, win::WindowBrush());
    return 1;
  }
  if (msg == WM_PAINT) {
    // The button control paints a group box without erasing it first.
    RECT r;
    if (::GetUpdateRect(hwnd, &r, FALSE)) {
      HDC dc = ::GetDC(hwnd);
      ::FillRect(dc, &r, win::WindowBrush());
      ::ReleaseDC(hwnd, dc);
    }
  }
  return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

// A label of several lines keeps a line pitch that fits them all in its
// height (a CJK font's own line spacing would push the last lines out): at
// least the font's size plus one, at most its line spacing.
LRESULT CALLBACK LinesLabel(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (msg != WM_PAINT) return ::DefSubclassProc(hwnd, msg, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd, &ps);
  RECT client;
  ::GetClientRect(hwnd, &client);
  HWND parent = ::GetParent(hwnd);
  auto brush = reinterpret_cast<HBRUSH>(
      ::SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  if (brush) ::FillRect(dc, &client, brush);
  HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), length + 1)));
  std::vector<std::wstring_view> lines;
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find(L'\n', at);
    std::wstring_view line = std::wstring_view(text).substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  TEXTMETRICW tm;
  ::GetTextMetricsW(dc, &tm);
  const int em = tm.tmHeight - tm.tmInternalLeading;
  const int spacing = tm.tmHeight + tm.tmExternalLeading;
  const int pitch = std::max(em + 1, std::min(spacing, static_cast<int>(client.bottom / std::max<std::size_t>(lines.size(), 1))));
  // Ideographs reach from about 0.88 em above the baseline to 0.12 em below
  // it; that box is centred in each line.
  const int baseline = (pitch + em * 76 / 100) / 2;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextAlign(dc, TA_BASELINE | TA_LEFT);
  for (std::size_t i = 0; i < lines.size(); ++i)
    ::TextOutW(dc, 0, static_cast<int>(i) * pitch + baseline, lines[i].data(), static_cast<int>(lines[i].size()));
  ::SelectObject(dc, oldFont);
  ::EndPaint(hwnd, &ps);
  return 0;
}

std::wstring WindowText(HWND hwnd) {
  const int n = ::GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<std::size_t>(std::max(n, 0)) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(std::max(got, 0)));
  return s;
}

bool Focusable(ControlKind k) {
  return k == ControlKind::Button || k == ControlKind::EditBox || k == ControlKind::CheckBox ||
         k == ControlKind::DropDown || k == ControlKind::ReportList;
}

HWND CreateControl(Window::Impl& impl, std::size_t index, const ControlDef& c) {
  const HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(win::kFirstControlId + index));
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  DWORD style = WS_CHILD | (c.visible ? WS_VISIBLE : 0) | (c.tabStop && Focusable(c.kind) ? WS_TABSTOP : 0);
  const wchar_t* cls = L"STATIC";
  DWORD exStyle = 0;
  std::wstring text;
  switch (c.kind) {
    case ControlKind::Label:
    case ControlKind::TransparentLabel:
      text = LabelText(c.caption);
      // One line is centred in the label's height; no label wraps its words.
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX | (text.find(L'\n') == std::wstring::npos ? SS_CENTERIMAGE : 0);
      break;
    case ControlKind::Button:
      cls = L"BUTTON";
      text = win::FromGbk(c.caption);
      style |= BS_PUSHBUTTON;
      break;
    case ControlKind::EditBox:
      cls = L"EDIT";
      text = win::FromGbk(c.caption);
      exStyle = WS_EX_CLIENTEDGE;
      style |= ES_AUTOHSCROLL | (c.centred ? ES_CENTER : ES_LEFT);
      break;
    case ControlKind::CheckBox:
      cls = L"BUTTON";
      text = win::FromGbk(c.caption);
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::DropDown:
      cls = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL;
      break;
    case ControlKind::GroupBox:
      cls = L"BUTTON";
      text = win::FromGbk(c.caption);
      style |= BS_GROUPBOX | WS_CLIPSIBLINGS;
      break;
    case ControlKind::ReportList: {
      auto list = std::make_unique<win::ReportListView>(impl.hwnd, win::kFirstControlId + static_cast<int>(index),
                                                        c.columns, style);
      HWND hwnd = list->Handle();
      impl.lists[index] = std::move(list);
      return hwnd;
    }
    case ControlKind::ProgressBar:
      cls = PROGRESS_CLASSW;
      break;
  }
  HWND hwnd = ::CreateWindowExW(exStyle, cls, text.c_str(), style, 0, 0, 0, 0, impl.hwnd, id, instance, nullptr);
  if (hwnd == nullptr) return nullptr;
  switch (c.kind) {
    case ControlKind::EditBox:
      if (c.maxLength > 0) ::SendMessageW(hwnd, EM_SETLIMITTEXT, static_cast<WPARAM>(c.maxLength), 0);
      if (c.digitsOnly) ::SetWindowSubclass(hwnd, DigitsOnly, kSubclassId, 0);
      impl.editTexts[index] = text;
      break;
    case ControlKind::DropDown:
      for (std::string_view item : c.items) {
        const std::wstring w = win::FromGbk(item);
        ::SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
      }
      if (!c.items.empty()) ::SendMessageW(hwnd, CB_SETCURSEL, 0, 0);
      break;
    case ControlKind::GroupBox:
      ::SetWindowSubclass(hwnd, GroupBoxBackground, kSubclassId, 0);
      break;
    case ControlKind::Label:
    case ControlKind::TransparentLabel:
      if (text.find(L'\n') != std::wstring::npos) ::SetWindowSubclass(hwnd, LinesLabel, kSubclassId, 0);
      break;
    case ControlKind::ProgressBar:
      ::SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
      ::SendMessageW(hwnd, PBM_SETPOS, 0, 0);
      break;
    default:
      break;
  }
  // Themed check boxes, group boxes and drop-down lists draw their text in
  // the theme's colour: a control with a colour of its own goes without.
  if (c.textColour && (c.kind == ControlKind::CheckBox || c.kind == ControlKind::GroupBox ||
                       c.kind == ControlKind::DropDown))
    ::SetWindowTheme(hwnd, L"", L"");
  return hwnd;
}

// The control's rectangle in the window's client area at `dpi`: inside its
// group box when it names one, cut at the group box's edges.
RECT Placement(const WindowDef& def, std::size_t index, UINT dpi) {
  const ControlDef& c = def.controls[index];
  RECT r{c.x, c.y, c.x + c.w, c.y + c.h};
  if (const auto parent = ParentIndex(def, index)) {
    const RECT p = Placement(def, *parent, win::kBaseDpi);
    ::OffsetRect(&r, p.left, p.top);
    r.right = std::min(r.right, p.right);
    r.bottom = std::min(r.bottom, p.bottom);
  }
  return {win::Scale(r.left, dpi), win::Scale(r.top, dpi), win::Scale(r.right, dpi), win::Scale(r.bottom, dpi)};
}

void FitPicture(Window::Impl& impl) {
  if (!impl.picture) return;
  RECT client;
  ::GetClientRect(impl.hwnd, &client);
  impl.picture->Fit(client.right, client.bottom);
}

// Places the window's controls and gives them their fonts at the window's DPI.
void Layout(Window::Impl& impl) {
  const WindowDef& def = impl.window->Def();
  const UINT dpi = impl.dpi;
  // The old fonts go once the controls hold the new ones.
  std::vector<HFONT> old = impl.fonts;
  old.push_back(impl.defaultFont);
  std::fill(impl.fonts.begin(), impl.fonts.end(), nullptr);
  impl.defaultFont = win::CreateDefaultFont(dpi);
  for (std::size_t i = 0; i < def.controls.size(); ++i) {
    const ControlDef& c = def.controls[i];
    HWND hwnd = impl.controls[i];
    if (hwnd == nullptr) continue;
    if (!c.font.family.empty() || c.font.pixelSize > 0 || c.font.weight > 0)
      impl.fonts[i] = win::CreateControlFont(win::FromGbk(c.font.family), c.font.pixelSize, c.font.weight, dpi);
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(impl.fonts[i] ? impl.fonts[i] : impl.defaultFont), FALSE);
    const RECT r = Placement(def, i, dpi);
    int height = r.bottom - r.top;
    if (c.kind == ControlKind::DropDown) {
      // The field as tall as the table says; the list below it for every item.
      const int field = height - 2 * ::GetSystemMetrics(SM_CYEDGE) - 2;
      if (field > 0) ::SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
      const int item = static_cast<int>(::SendMessageW(hwnd, CB_GETITEMHEIGHT, 0, 0));
      height += (std::max<int>(static_cast<int>(c.items.size()), 1) + 1) * std::max(item, 1);
    }
    ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (impl.lists[i]) impl.lists[i]->ApplyDpi(dpi);
  }
  for (HFONT f : old)
    if (f) ::DeleteObject(f);
  FitPicture(impl);
  ::InvalidateRect(impl.hwnd, nullptr, TRUE);
}

SIZE OuterSizeAt(const WindowDef& def, UINT dpi) {
  return win::OuterSize(win::Scale(ClientWidth(def), dpi), win::Scale(ClientHeight(def), dpi), WindowStyle(def), 0,
                        dpi);
}

// Gives the window the client area of its table at its DPI, whatever frame
// the platform drew around it: the frame measured, not assumed.
void FitClientArea(Window::Impl& impl) {
  const WindowDef& def = impl.window->Def();
  const int width = win::Scale(ClientWidth(def), impl.dpi), height = win::Scale(ClientHeight(def), impl.dpi);
  RECT outer, client;
  ::GetWindowRect(impl.hwnd, &outer);
  ::GetClientRect(impl.hwnd, &client);
  if (client.right == width && client.bottom == height) return;
  const int frameWidth = (outer.right - outer.left) - client.right;
  const int frameHeight = (outer.bottom - outer.top) - client.bottom;
  ::SetWindowPos(impl.hwnd, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<std::size_t> IndexOf(const Window::Impl& impl, HWND control) {
  if (control == nullptr) return std::nullopt;
  const auto at = std::find(impl.controls.begin(), impl.controls.end(), control);
  if (at != impl.controls.end()) return static_cast<std::size_t>(at - impl.controls.begin());
  // A drop-down list's own list and field.
  for (std::size_t i = 0; i < impl.controls.size(); ++i) {
    if (impl.window->Def().controls[i].kind != ControlKind::DropDown || impl.controls[i] == nullptr) continue;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(impl.controls[i], &info) && (info.hwndList == control || info.hwndItem == control)) return i;
  }
  return std::nullopt;
}

LRESULT ControlColour(Window::Impl& impl, HDC dc, HWND control) {
  const auto index = IndexOf(impl, control);
  if (!index) {
    ::SetTextColor(dc, win::WindowTextColour());
    ::SetBkColor(dc, win::WindowColour());
    return reinterpret_cast<LRESULT>(win::WindowBrush());
  }
  const ControlDef& c = impl.window->Def().controls[*index];
  const bool field = c.kind == ControlKind::EditBox || c.kind == ControlKind::DropDown;
  COLORREF ink = field ? win::TextColour() : win::WindowTextColour();
  if (impl.colours[*index]) ink = win::ToCOLORREF(*impl.colours[*index]);
  if (!::IsWindowEnabled(impl.controls[*index])) ink = win::DisabledTextColour();
  ::SetTextColor(dc, ink);
  if (field) {
    ::SetBkColor(dc, win::BaseColour());
    return reinterpret_cast<LRESULT>(win::BaseBrush());
  }
  if (c.kind == ControlKind::TransparentLabel) {
    ::SetBkMode(dc, TRANSPARENT);
    if (impl.picture && impl.picture->Brush()) {
      // The part of the picture behind the label.
      POINT origin{0, 0};
      ::MapWindowPoints(control, impl.hwnd, &origin, 1);
      ::SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
      return reinterpret_cast<LRESULT>(impl.picture->Brush());
    }
  }
  ::SetBkColor(dc, win::WindowColour());
  return reinterpret_cast<LRESULT>(win::WindowBrush());
}

// The first tab stop of the window, or null.
HWND FirstTabStop(const Window::Impl& impl) {
  for (HWND h : impl.controls)
    if (h && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_TABSTOP) && ::IsWindowVisible(h) && ::IsWindowEnabled(h))
      return h;
  return nullptr;
}

void HandFocusBack(Window::Impl& impl) {
  HWND target = impl.focus;
  if (target == nullptr || !::IsWindow(target) || !::IsChild(impl.hwnd, target) || !::IsWindowVisible(target) ||
      !::IsWindowEnabled(target))
    target = FirstTabStop(impl);
  if (target) ::SetFocus(target);
}

void EndModal(Window::Impl& impl) {
  if (!impl.modal) return;
  // The others first, so that the owner is the one activated next.
  for (HWND h : impl.disabled)
    if (::IsWindow(h)) ::EnableWindow(h, TRUE);
  impl.disabled.clear();
  impl.modal = false;
}

// Closes as the close box does. Returns without touching the window after
// the closed handlers ran (they may delete it).
void CloseWindow(Window::Impl& impl) {
  const bool wasOpen = impl.open;
  impl.open = false;
  EndModal(impl);
  if (::IsWindowVisible(impl.hwnd)) ::ShowWindow(impl.hwnd, SW_HIDE);
  if (wasOpen) impl.window->Raise(Window::kWindowItself, Window::Event::Closed);
}

void OnCommand(Window::Impl& impl, WPARAM wParam, LPARAM lParam) {
  HWND control = reinterpret_cast<HWND>(lParam);
  const auto index = IndexOf(impl, control);
  if (!index) return;
  Window& window = *impl.window;
  const ControlKind kind = window.Def().controls[*index].kind;
  using E = Window::Event;
  switch (HIWORD(wParam)) {
    case BN_CLICKED:
      if (kind == ControlKind::Button || kind == ControlKind::CheckBox) window.Raise(*index, E::Clicked);
      break;
    case EN_CHANGE: {
      // Once for every change of the text, the program's own too; never for
      // a "change" that leaves it as it was.
      std::wstring now = WindowText(control);
      if (now == impl.editTexts[*index]) break;
      impl.editTexts[*index] = std::move(now);
      window.Raise(*index, E::Changed);
      break;
    }
    case EN_SETFOCUS:
      impl.focus = control;
      window.Raise(*index, E::Focus);
      break;
    case CBN_SELCHANGE:
      window.Raise(*index, E::Selected);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* impl = static_cast<Window::Impl*>(create->lpCreateParams);
    impl->hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  Window::Impl* impl = reinterpret_cast<Window::Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (impl == nullptr || impl->window == nullptr) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_CLOSE:
      CloseWindow(*impl);
      return 0;
    case WM_COMMAND:
      OnCommand(*impl, wParam, lParam);
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (const auto index = IndexOf(*impl, header->hwndFrom); index && impl->lists[*index]) {
        LRESULT result = 0;
        if (impl->lists[*index]->OnNotify(header, result)) return result;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return ControlColour(*impl, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND: {
      RECT client;
      ::GetClientRect(hwnd, &client);
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (impl->picture && impl->picture->Fit(client.right, client.bottom)) impl->picture->Paint(dc);
      else ::FillRect(dc, &client, win::WindowBrush());
      return 1;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd, focus)) impl->focus = focus;
        return 0;
      }
      // Activated: the control that had the keyboard gets it back (an edit
      // box then reports got focus again).
      if (HIWORD(wParam) == 0) HandFocusBack(*impl);
      return 0;
    case WM_DPICHANGED: {
      impl->dpi = HIWORD(wParam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      const SIZE outer = OuterSizeAt(impl->window->Def(), impl->dpi);
      ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      FitClientArea(*impl);
      Layout(*impl);
      return 0;
    }
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc) != 0;
  }();
  return registered;
}

void CentreOnScreen(Window::Impl& impl) {
  RECT r;
  ::GetWindowRect(impl.hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
  ::SetWindowPos(impl.hwnd, nullptr, (sw - w) / 2, (sh - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Window::Impl::~Impl() {
  lists.clear();
  if (hwnd) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd);
  }
  for (HFONT& f : fonts)
    if (f) ::DeleteObject(f);
  if (defaultFont) ::DeleteObject(defaultFont);
}

namespace win {

HWND TopLevel(const Window& window) { return window.impl().hwnd; }

HWND Control(const Window& window, std::size_t index) {
  const auto& controls = window.impl().controls;
  return index < controls.size() ? controls[index] : nullptr;
}

Window* WindowOf(HWND hwnd) {
  Window::Impl* impl = ImplOf(hwnd);
  return impl ? impl->window : nullptr;
}

UINT DpiOf(const Window& window) { return window.impl().dpi; }

bool PreTranslate(MSG& msg) {
  // A modeless dialog of the program (a message box left open while the
  // windows stay usable) gets its own keyboard handling.
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd != nullptr) {
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    wchar_t cls[16] = {};
    if (root && ImplOf(root) == nullptr && ::GetClassNameW(root, cls, 16) && std::wstring_view(cls) == L"#32770" &&
        ::GetWindowThreadProcessId(root, nullptr) == ::GetCurrentThreadId())
      return ::IsDialogMessageW(root, &msg) != FALSE;
  }
  if (msg.message != WM_KEYDOWN || (msg.wParam != VK_TAB && msg.wParam != VK_ESCAPE && msg.wParam != VK_RETURN))
    return false;
  HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
  Window::Impl* impl = ImplOf(root);
  if (impl == nullptr) return false;
  const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, alt = ::GetKeyState(VK_MENU) < 0,
             shift = ::GetKeyState(VK_SHIFT) < 0;
  if (ctrl || alt) return false;
  // A control that takes the key itself keeps it (an open drop-down list
  // takes Esc).
  const LRESULT wants = msg.hwnd != root ? ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)) : 0;
  if (wants & DLGC_WANTMESSAGE) return false;
  if (msg.wParam == VK_RETURN) {
    // Enter moves no focus and presses nothing; an edit box does not beep.
    wchar_t cls[16] = {};
    ::GetClassNameW(msg.hwnd, cls, 16);
    return std::wstring_view(cls) == L"Edit" && !(::GetWindowLongPtrW(msg.hwnd, GWL_STYLE) & ES_MULTILINE);
  }
  if (msg.wParam == VK_ESCAPE) {
    if (shift) return false;
    ::SendMessageW(root, WM_CLOSE, 0, 0);
    return true;
  }
  if (wants & DLGC_WANTTAB) return false;
  HWND next = ::GetNextDlgTabItem(root, msg.hwnd == root ? nullptr : msg.hwnd, shift);
  if (next) {
    ::SetFocus(next);
    // As in a dialog: an edit box reached by Tab has its text selected.
    if (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageW(next, EM_SETSEL, 0, -1);
  }
  return true;
}

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (PreTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void RefreshLookOfAllWindows() {
  for (Window::Impl* impl : AllWindows()) {
    Layout(*impl);
    ::RedrawWindow(impl->hwnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
  }
}

bool AnyOpen() {
  for (Window::Impl* impl : AllWindows())
    if (impl->open && ::IsWindowVisible(impl->hwnd)) return true;
  return false;
}

}  // namespace win

Window::Window(const WindowDef& def, std::unique_ptr<Impl> impl) : def_(def), impl_(std::move(impl)) {}

Window::~Window() {
  auto& all = AllWindows();
  all.erase(std::remove(all.begin(), all.end(), impl_.get()), all.end());
  impl_.reset();
}

std::unique_ptr<Window> Window::Create(const WindowDef& def) {
  if (!TableIsConsistent(def) || !RegisterWindowClass()) return nullptr;
  std::unique_ptr<Window> window(new Window(def, std::make_unique<Impl>()));
  Impl& impl = *window->impl_;
  impl.window = window.get();
  const std::size_t n = def.controls.size();
  impl.controls.assign(n, nullptr);
  impl.lists.resize(n);
  impl.editTexts.assign(n, {});
  impl.colours.assign(n, std::nullopt);
  impl.fonts.assign(n, nullptr);
  impl.dpi = win::SystemDpi();
  const SIZE outer = OuterSizeAt(def, impl.dpi);
  const std::wstring caption = win::FromGbk(def.caption);
  if (::CreateWindowExW(0, kWindowClass, caption.c_str(), WindowStyle(def), CW_USEDEFAULT, CW_USEDEFAULT, outer.cx,
                        outer.cy, nullptr, nullptr, ::GetModuleHandleW(nullptr), &impl) == nullptr)
    return nullptr;
  if (const UINT dpi = win::WindowDpi(impl.hwnd); dpi != impl.dpi) {
    impl.dpi = dpi;
    const SIZE o = OuterSizeAt(def, dpi);
    ::SetWindowPos(impl.hwnd, nullptr, 0, 0, o.cx, o.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (def.programIcon) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto icon = [&](int metric) {
      return reinterpret_cast<LPARAM>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                   ::GetSystemMetrics(metric), ::GetSystemMetrics(metric + 1), 0));
    };
    ::SendMessageW(impl.hwnd, WM_SETICON, ICON_BIG, icon(SM_CXICON));
    ::SendMessageW(impl.hwnd, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON));
  }
  for (std::size_t i = 0; i < n; ++i) {
    impl.colours[i] = def.controls[i].textColour;
    impl.controls[i] = CreateControl(impl, i, def.controls[i]);
    if (impl.controls[i] == nullptr) return nullptr;
  }
  // Group boxes below the controls they hold (the Tab order is unchanged:
  // no group box is a tab stop).
  for (std::size_t i = 0; i < n; ++i)
    if (def.controls[i].kind == ControlKind::GroupBox)
      ::SetWindowPos(impl.controls[i], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  FitClientArea(impl);
  Layout(impl);
  AllWindows().push_back(&impl);
  return window;
}

void Window::Show() {
  CentreOnScreen(*impl_);
  impl_->open = true;
  ::ShowWindow(impl_->hwnd, SW_SHOW);
  ::SetForegroundWindow(impl_->hwnd);
}

void Window::ShowModal(Window& owner) {
  Impl& impl = *impl_;
  if (::IsWindowVisible(impl.hwnd)) return;
  // Owned by its owner (kept above it, no button of its own in the taskbar);
  // every other window of the program takes no input until it has closed.
  ::SetWindowLongPtrW(impl.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner.impl_->hwnd));
  impl.disabled.clear();
  for (Impl* other : AllWindows()) {
    if (other == &impl || !::IsWindowEnabled(other->hwnd)) continue;
    ::EnableWindow(other->hwnd, FALSE);
    impl.disabled.push_back(other->hwnd);
  }
  impl.modal = true;
  CentreOnScreen(impl);
  impl.open = true;
  ::ShowWindow(impl.hwnd, SW_SHOW);
  ::SetForegroundWindow(impl.hwnd);
  HandFocusBack(impl);
  // The window's own loop until it closes; a WM_QUIT is left for the outer one.
  MSG msg;
  while (impl.open) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (win::PreTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (impl.open) CloseWindow(impl);
}

void Window::Close() { ::SendMessageW(impl_->hwnd, WM_CLOSE, 0, 0); }

bool Window::IsOpen() const { return impl_->open; }

namespace {

bool UnderWine() {
  static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// Whether another program has the keyboard.
bool OtherProgramInFront() {
  DWORD process = 0;
  if (HWND front = ::GetForegroundWindow()) ::GetWindowThreadProcessId(front, &process);
  return process != ::GetCurrentProcessId();
}

}  // namespace

void Window::Activate() {
  HWND hwnd = impl_->hwnd;
  if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
  // Windows lets a program that got a hot key or the user's input take the
  // front; Wine asks the X window manager, which refuses a window whose
  // program has seen no input lately, but gives the keyboard to a window that
  // is mapped anew.
  if (UnderWine() && OtherProgramInFront() && ::IsWindowVisible(hwnd)) {
    ::ShowWindow(hwnd, SW_HIDE);
    ::ShowWindow(hwnd, SW_SHOW);
  }
  // A modal window of the program over this one comes up instead.
  HWND target = hwnd;
  for (Impl* other : AllWindows())
    if (other->modal && other != impl_.get() && ::IsWindowVisible(other->hwnd)) target = other->hwnd;
  if (target == hwnd) target = ::GetLastActivePopup(hwnd);
  ::SetForegroundWindow(target);
  ::SetActiveWindow(target);
}

void Window::SetTopmost(bool on) {
  ::SetWindowPos(impl_->hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Window::IsTopmost() const { return (::GetWindowLongPtrW(impl_->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void Window::SetBackgroundPicture(std::span<const unsigned char> image) {
  auto picture = std::make_unique<win::Picture>(image);
  impl_->picture = picture->Valid() ? std::move(picture) : nullptr;
  FitPicture(*impl_);
  ::RedrawWindow(impl_->hwnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

EditText Window::GetText(EditBoxId box) const {
  win::GbkReading r = win::ReadAsGbk(WindowText(win::Handle(*this, box)));
  return {std::move(r.gbk), r.exact};
}

void Window::SetText(EditBoxId box, std::string_view gbk) {
  const std::wstring text = win::FromGbk(gbk);
  HWND hwnd = win::Handle(*this, box);
  if (WindowText(hwnd) == text) return;
  ::SetWindowTextW(hwnd, text.c_str());  // EN_CHANGE raises content changed
}

void Window::SetText(LabelId label, std::string_view gbk) {
  HWND hwnd = win::Handle(*this, label);
  ::SetWindowTextW(hwnd, LabelText(gbk).c_str());
  // A transparent label has no background of its own to cover the old text.
  if (def_.controls[label.index].kind == ControlKind::TransparentLabel) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(nullptr, impl_->hwnd, reinterpret_cast<POINT*>(&r), 2);
    ::RedrawWindow(impl_->hwnd, &r, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
}

void Window::SetTextColour(LabelId label, std::uint32_t rgb) {
  impl_->colours[label.index] = rgb;
  ::InvalidateRect(win::Handle(*this, label), nullptr, TRUE);
}

void Window::SetFocus(EditBoxId box) {
  HWND hwnd = win::Handle(*this, box);
  impl_->focus = hwnd;
  ::SetFocus(hwnd);
}

bool Window::IsChecked(CheckBoxId box) const {
  return ::SendMessageW(win::Handle(*this, box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Window::SetEnabled(ButtonId button, bool on) { ::EnableWindow(win::Handle(*this, button), on ? TRUE : FALSE); }

bool Window::IsEnabled(ButtonId button) const { return ::IsWindowEnabled(win::Handle(*this, button)) != FALSE; }

Text Window::ShownText(DropDownId list) const {
  HWND hwnd = win::Handle(*this, list);
  const LRESULT at = ::SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
  if (at == CB_ERR) return {};
  const LRESULT n = ::SendMessageW(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0);
  if (n == CB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  ::SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(n));
  return win::ToGbk(text).value_or(Text());
}

void Window::ShowResults(ReportListId list, const KeywordLookup& lookup) {
  if (auto& view = impl_->lists[list.index]) view->SetLookup(&lookup);
}

void Window::ClearRows(ReportListId list) {
  if (auto& view = impl_->lists[list.index]) view->SetLookup(nullptr);
}

void Window::SetProgress(ProgressBarId id, int maximum, int position) {
  HWND bar = win::Handle(*this, id);
  ::SendMessageW(bar, PBM_SETRANGE32, 0, maximum);
  ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace kv::ui
