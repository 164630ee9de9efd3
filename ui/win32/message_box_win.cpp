// Message boxes as MessageBoxW, adjusted by hooks of the thread that shows
// one while it is up:
//   - a CBT hook finds the box when it is created and subclasses it: an OK
//     box takes Esc and its close box as OK; a Yes/No box loses its system
//     menu (so its close box) before it is shown and ignores Esc, Alt+F4 and
//     WM_CLOSE;
//   - a GetMessage hook turns Ctrl+C in a box into a copy of its text in the
//     format Windows itself uses (Wine's boxes copy nothing).
// A modeless box is a MessageBoxW without owner on a thread of its own: it is
// modal to nothing there, so the program's windows stay usable.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "message_box.hpp"
#include "ui_thread.hpp"
#include "wide_text.hpp"

namespace kv::ui {

namespace {

struct BoxRun {
  MessageKind kind;
  std::wstring caption;
  std::wstring text;
  std::function<void(HWND)> found;  // told the box's handle once it is up
  HWND box = nullptr;
  WNDPROC original = nullptr;
};

// The boxes this thread shows, innermost last, and its hooks, set while it
// shows any.
struct ThreadBoxes {
  std::vector<BoxRun*> runs;
  HHOOK cbt = nullptr;
  HHOOK getMessage = nullptr;
};
thread_local ThreadBoxes threadBoxes;

constexpr wchar_t kRunProperty[] = L"KelvaroBoxRun";

BoxRun* RunOf(HWND box) {
  if (box == nullptr) return nullptr;
  for (BoxRun* run : threadBoxes.runs)
    if (run->box == box) return run;
  return nullptr;
}

// Windows' own text of a box for the clipboard: rules, caption, text, and the
// buttons' texts (without their '&' marks), each followed by three spaces.
std::wstring BoxCopyText(const std::wstring& caption, const std::wstring& text,
                         const std::vector<std::wstring>& buttons) {
  const std::wstring rule = L"---------------------------\r\n";
  std::wstring out = rule + caption + L"\r\n" + rule + text + L"\r\n" + rule;
  for (const std::wstring& b : buttons) {
    for (std::size_t i = 0; i < b.size(); ++i) {
      if (b[i] == L'&' && ++i == b.size()) break;  // '&' marks the next character; "&&" is one '&'
      out += b[i];
    }
    out += L"   ";
  }
  return out + L"\r\n" + rule;
}

std::vector<std::wstring> ButtonTexts(HWND box) {
  struct Button {
    LONG left;
    std::wstring text;
  };
  std::vector<Button> buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, 16);
    if (lstrcmpiW(cls, L"Button") != 0 || !IsWindowVisible(child)) continue;
    wchar_t text[64] = {};
    GetWindowTextW(child, text, 64);
    RECT r{};
    GetWindowRect(child, &r);
    buttons.push_back({r.left, text});
  }
  std::stable_sort(buttons.begin(), buttons.end(), [](const Button& a, const Button& b) { return a.left < b.left; });
  std::vector<std::wstring> texts;
  for (Button& b : buttons) texts.push_back(std::move(b.text));
  return texts;
}

bool PutOnClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  bool done = false;
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(memory)) {
      CopyMemory(p, text.c_str(), bytes);
      GlobalUnlock(memory);
      done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!done) GlobalFree(memory);
  }
  CloseClipboard();
  return done;
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* run = static_cast<BoxRun*>(GetPropW(box, kRunProperty));
  if (run == nullptr) return DefWindowProcW(box, message, wParam, lParam);
  const WNDPROC original = run->original;
  const bool mustAnswer = run->kind == MessageKind::YesNo;
  switch (message) {
    case WM_INITDIALOG:
      if (mustAnswer) {
        // Laid out, not shown yet: without a system menu from here on, so
        // that the window manager never offers a close box either.
        const LRESULT result = CallWindowProcW(original, box, message, wParam, lParam);
        SetWindowLongPtrW(box, GWL_STYLE, GetWindowLongPtrW(box, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_SYSMENU));
        SetWindowPos(box, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return result;
      }
      break;
    case WM_COMMAND:
      // Esc, the close box and WM_CLOSE all come as IDCANCEL.
      if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
        if (mustAnswer) return 0;
        wParam = MAKEWPARAM(IDOK, BN_CLICKED);
      }
      break;
    case WM_SYSCOMMAND:
      if (mustAnswer && (wParam & 0xFFF0) == SC_CLOSE) return 0;
      break;
    case WM_CLOSE:
      if (mustAnswer) return 0;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropW(box, kRunProperty);
      run->box = nullptr;
      break;
    default:
      break;
  }
  return CallWindowProcW(original, box, message, wParam, lParam);
}

void Adopt(BoxRun& run, HWND box) {
  run.box = box;
  SetPropW(box, kRunProperty, &run);
  run.original =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxProc)));
  if (run.found) run.found(box);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && !threadBoxes.runs.empty() && threadBoxes.runs.back()->box == nullptr) {
    // The innermost box not yet found is the first dialog created now.
    const auto box = reinterpret_cast<HWND>(wParam);
    wchar_t cls[16] = {};
    GetClassNameW(box, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0) {
      Adopt(*threadBoxes.runs.back(), box);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (msg->message == WM_KEYDOWN && msg->wParam == 'C' && (GetKeyState(VK_CONTROL) & 0x8000) &&
        !(GetKeyState(VK_MENU) & 0x8000) && msg->hwnd != nullptr) {
      if (BoxRun* run = RunOf(GetAncestor(msg->hwnd, GA_ROOT))) {
        PutOnClipboard(run->box, BoxCopyText(run->caption, run->text, ButtonTexts(run->box)));
        msg->message = WM_NULL;  // Windows' own box would copy the same again
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Shows one box on the calling thread and returns MessageBoxW's answer.
int RunBox(MessageKind kind, const std::string& gbkText, const std::string& gbkCaption, UINT flags,
           std::function<void(HWND)> found = {}) {
  BoxRun run{kind, win::FromGbk(gbkCaption), win::FromGbk(gbkText), std::move(found)};
  ThreadBoxes& t = threadBoxes;
  if (t.runs.empty()) {
    t.cbt = SetWindowsHookExW(WH_CBT, &CbtHook, nullptr, GetCurrentThreadId());
    t.getMessage = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, GetCurrentThreadId());
  }
  t.runs.push_back(&run);
  const int answer = MessageBoxW(nullptr, run.text.c_str(), run.caption.c_str(), flags);
  t.runs.pop_back();
  if (t.runs.empty()) {
    UnhookWindowsHookEx(t.cbt);
    UnhookWindowsHookEx(t.getMessage);
    t.cbt = t.getMessage = nullptr;
  }
  return answer;
}

// The open modeless boxes, each on a thread of its own.
struct ModelessBox {
  HWND box = nullptr;
  bool closedByProgram = false;
};
std::mutex modelessMutex;
std::vector<std::shared_ptr<ModelessBox>> modelessBoxes;

void CloseBox(HWND box) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

}  // namespace

namespace detail {

bool ShowBox(MessageKind kind, const std::string& gbkText, const std::string& gbkCaption) {
  // Task-modal without an owner: every window of the user-interface thread is
  // disabled while the box is up.
  const UINT buttons = kind == MessageKind::YesNo ? MB_YESNO | MB_DEFBUTTON1 : MB_OK;
  const int answer = RunBox(kind, gbkText, gbkCaption, buttons | MB_TASKMODAL | MB_SETFOREGROUND);
  return kind != MessageKind::YesNo || answer == IDYES;
}

void ShowModelessBox(const std::string& gbkText, const std::string& gbkCaption, std::function<void()> afterOk) {
  auto entry = std::make_shared<ModelessBox>();
  {
    std::lock_guard lock(modelessMutex);
    modelessBoxes.push_back(entry);
  }
  std::thread([entry, gbkText, gbkCaption, afterOk = std::move(afterOk)] {
    RunBox(MessageKind::Modeless, gbkText, gbkCaption, MB_OK | MB_SETFOREGROUND, [entry](HWND box) {
      std::lock_guard lock(modelessMutex);
      entry->box = box;
      if (entry->closedByProgram) CloseBox(box);
    });
    bool closed = false;
    {
      std::lock_guard lock(modelessMutex);
      closed = entry->closedByProgram;
      std::erase(modelessBoxes, entry);
    }
    if (!closed && afterOk) RunOnUiThread(afterOk);
  }).detach();
}

void CloseModelessBoxes() {
  std::lock_guard lock(modelessMutex);
  for (const std::shared_ptr<ModelessBox>& entry : modelessBoxes) {
    entry->closedByProgram = true;
    if (entry->box != nullptr) CloseBox(entry->box);
  }
}

}  // namespace detail
}  // namespace kv::ui
