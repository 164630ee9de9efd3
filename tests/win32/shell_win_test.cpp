// The Win32 side of the window layer's desktop pieces, under Wine on a
// virtual display: message boxes as the user meets them (keys, close box,
// the copy with Ctrl+C, what they leave usable), the shell opening files and
// addresses, the program's folders, and hot keys. Keys go in with SendInput,
// so they take the same road as the user's.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "application.hpp"
#include "desktop.hpp"
#include "exit_cleanup.hpp"
#include "fatal.hpp"
#include "message_box.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

kv::ui::Application& App() {
  static int argc = 1;
  static char name[] = "win32_shell_test";
  static char* argv[] = {name, nullptr};
  static kv::ui::Application app(argc, argv);
  return app;
}

// Runs the calling thread's messages until `done` holds or `ms` have passed.
bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
  return true;
}

HWND FindBox(const wchar_t* caption) {
  for (int i = 0; i < 500; ++i) {
    HWND box = FindWindowW(L"#32770", caption);
    if (box != nullptr && IsWindowVisible(box)) return box;
    Sleep(10);
  }
  return nullptr;
}

void Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

// Presses the keys together, releases them in reverse, lets them arrive.
void Press(std::initializer_list<WORD> keys) {
  for (WORD k : keys) Key(k, false);
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) Key(*it, true);
  Sleep(150);
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(clipboard not open)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) text = p;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

void ClearClipboard() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// Waits for the clipboard to hold something, up to 2 s.
std::wstring CopiedText() {
  std::wstring text;
  for (int i = 0; i < 100 && (text = ClipboardText()).empty(); ++i) Sleep(20);
  return text;
}

std::wstring Framed(const std::wstring& caption, const std::wstring& text, const std::wstring& buttons) {
  const std::wstring rule = L"---------------------------\r\n";
  return rule + caption + L"\r\n" + rule + text + L"\r\n" + rule + buttons + L"\r\n" + rule;
}

int VisibleButtons(HWND box) {
  int n = 0;
  for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    GetClassNameW(c, cls, 16);
    if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(c)) ++n;
  }
  return n;
}

bool HasIcon(HWND box) {
  for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    if (IsWindowVisible(c) && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(c, STM_GETICON, 0, 0) != 0)
      return true;
  return false;
}

// A plain window of the calling thread, standing for one of the program's.
HWND ProgramWindow() {
  return CreateWindowExW(0, L"STATIC", L"program window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

const std::wstring kInfo = L"\u4fe1\u606f\uff1a";           // 信息：
const std::wstring kPrompt = L"\u63d0\u793a";                // 提示
const std::wstring kTwoLines = L"\u7b2c\u4e00\u884c\r\n\u7b2c\u4e8c\u884c";  // 第一行 CR LF 第二行
const std::wstring kAsk = L"\u8981\u66f4\u65b0\u5417\uff1f";  // 要更新吗？
const std::wstring kDone = L"\u4e0b\u8f7d\u5b8c\u6210!";      // 下载完成!

// One modal box: `drive` works it from another thread while the test's
// thread (the user-interface thread) is inside the box; it returns what went
// wrong, or nothing.
struct ModalCase {
  const char* what;
  bool yesNo;
  std::function<std::string(HWND box, HWND programWindow)> drive;
  bool answer;
};

std::string Expect(bool ok, const char* what) { return ok ? "" : std::string(what) + "; "; }

TEST(Win32MessageBox, ModalBoxesTakeTheirKeysAndCopyTheirText) {
  App();
  const ModalCase cases[] = {
      {"OK box: no icon, one button, the program's windows disabled, Ctrl+C copies, Esc is OK", false,
       [](HWND box, HWND window) {
         std::string e = Expect(!HasIcon(box), "an icon") + Expect(VisibleButtons(box) == 1, "not one button") +
                         Expect(!IsWindowEnabled(window), "the program's window takes input") +
                         Expect(GetWindow(box, GW_OWNER) == nullptr, "an owner");
         ClearClipboard();
         Press({VK_CONTROL, 'C'});
         const std::wstring copied = CopiedText();
         e += Expect(copied == Framed(kInfo, kTwoLines, L"OK   "), "the copy differs");
         Press({VK_ESCAPE});
         return e;
       },
       true},
      {"OK box: the close box is OK", false,
       [](HWND box, HWND) {
         PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
         return std::string();
       },
       true},
      {"Yes/No: no close box; Esc, close, WM_CLOSE and Alt+F4 leave it up; Enter is Yes", true,
       [](HWND box, HWND) {
         std::string e = Expect(!(GetWindowLongW(box, GWL_STYLE) & WS_SYSMENU), "a system menu") +
                         Expect(VisibleButtons(box) == 2, "not two buttons") + Expect(!HasIcon(box), "an icon");
         Press({VK_ESCAPE});
         PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
         PostMessageW(box, WM_CLOSE, 0, 0);
         Press({VK_MENU, VK_F4});
         Sleep(200);
         e += Expect(IsWindowVisible(box), "the prompt went away unanswered");
         ClearClipboard();
         Press({VK_CONTROL, 'C'});
         e += Expect(CopiedText() == Framed(kPrompt, kAsk, L"Yes   No   "), "the copy differs");
         Press({VK_RETURN});
         return e;
       },
       true},
      {"Yes/No: No", true,
       [](HWND box, HWND) {
         SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
         return std::string();
       },
       false},
  };
  for (const ModalCase& c : cases) {
    SCOPED_TRACE(c.what);
    const HWND window = ProgramWindow();
    std::string problems = "the box never showed";
    std::thread driver([&] {
      if (HWND box = FindBox(c.yesNo ? kPrompt.c_str() : kInfo.c_str())) problems = c.drive(box, window);
    });
    const bool answer = c.yesNo ? kv::ui::AskYesNo("要更新吗？", "提示") : (kv::ui::ShowMessage("第一行\r\n第二行"), true);
    driver.join();
    EXPECT_EQ(problems, "");
    EXPECT_EQ(answer, c.answer);
    EXPECT_TRUE(IsWindowEnabled(window)) << "the program's window stayed disabled";
    DestroyWindow(window);
  }
}

// A worker's report: the box runs beside the program's windows, which stay
// usable; OK runs the follow-up once, on the user-interface thread; a box
// the program closes runs nothing.
TEST(Win32MessageBox, ModelessBoxLeavesTheWindowsUsable) {
  App();
  const HWND window = ProgramWindow();
  int followUps = 0;
  bool onUiThread = false;
  const DWORD uiThread = GetCurrentThreadId();
  kv::ui::ShowMessageModeless("下载完成!", "信息：", [&] {
    ++followUps;
    onUiThread = GetCurrentThreadId() == uiThread;
  });
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = FindWindowW(L"#32770", kInfo.c_str())) && IsWindowVisible(box); }));
  EXPECT_TRUE(IsWindowEnabled(window));
  EXPECT_NE(GetWindowThreadProcessId(box, nullptr), uiThread);
  // The user's Ctrl+C, on the box in front.
  SetForegroundWindow(box);
  Sleep(100);
  ClearClipboard();
  Press({VK_CONTROL, 'C'});
  EXPECT_EQ(CopiedText(), Framed(kInfo, kDone, L"OK   "));
  SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return followUps == 1; }));
  EXPECT_TRUE(onUiThread);

  kv::ui::ShowMessageModeless("读文件出错!", "信息：", [&] { ++followUps; });
  ASSERT_TRUE(PumpUntil([&] { return (box = FindWindowW(L"#32770", kInfo.c_str())) && IsWindowVisible(box); }));
  kv::ui::CloseModelessMessages();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(followUps, 1);
  DestroyWindow(window);
}

TEST(Win32MessageBoxDeathTest, FatalErrorShowsItsBoxAndEndsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        App();
        kv::RegisterExitCleanup([] { std::fputs("clean-up ran\n", stderr); });
        std::thread([] {
          if (FindBox(kInfo.c_str()) != nullptr) {
            ClearClipboard();
            Press({VK_CONTROL, 'C'});
            const std::wstring want =
                Framed(kInfo, L"\u8fd0\u884c\u65f6\u51fa\u9519!\r\n\r\n\u9519\u8bef\u4fe1\u606f\uff1a"
                              L"\u8f7d\u5165\u542f\u52a8\u7a97\u53e3\u5931\u8d25",
                       L"OK   ");
            std::fputs(CopiedText() == want ? "box text ok\n" : "box text differs\n", stderr);
            Press({VK_RETURN});
          }
        }).detach();
        kv::ui::FatalError("载入启动窗口失败");
      },
      testing::ExitedWithCode(-1), "box text ok\r?\nclean-up ran");
}

// Associations of the test's own, in the prefix's classes, gone afterwards.
class Associations {
 public:
  explicit Associations(const fs::path& marker) {
    // The file type copies the file it opens to the marker; the address
    // scheme writes its address there.
    const std::wstring copy = L"\"C:\\windows\\system32\\cmd.exe\" /c copy /y \"%1\" \"" + marker.wstring() + L"\"";
    const std::wstring echo = L"\"C:\\windows\\system32\\cmd.exe\" /c echo %1>\"" + marker.wstring() + L"\"";
    Set(L".kvtest", nullptr, L"KvTest.File");
    Set(L"KvTest.File\\shell\\open\\command", nullptr, copy);
    Set(L"kvtest", nullptr, L"URL:kvtest");
    Set(L"kvtest", L"URL Protocol", L"");
    Set(L"kvtest\\shell\\open\\command", nullptr, echo);
  }
  ~Associations() {
    for (const wchar_t* key : {L".kvtest", L"KvTest.File", L"kvtest"}) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
  }

 private:
  static void Set(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CLASSES_ROOT, key, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
};

std::string ReadWhenThere(const fs::path& file) {
  for (int i = 0; i < 500; ++i) {
    std::error_code ec;
    if (fs::exists(file, ec) && fs::file_size(file, ec) > 0) {
      Sleep(100);  // written to the end
      std::ifstream in(file, std::ios::binary);
      return {std::istreambuf_iterator<char>(in), {}};
    }
    Sleep(20);
  }
  return {};
}

TEST(Win32Desktop, OpensFilesAndAddressesWithTheirRegisteredPrograms) {
  const fs::path dir = fs::temp_directory_path() / L"kv-desktop-\u7b54\u9898\u5668";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path marker = dir / L"opened.txt";
  Associations associations(marker);

  // A file whose name needs the wide road: Chinese and a blank.
  const fs::path file = dir / L"\u7b54\u9898\u5668 archive.kvtest";
  std::ofstream(file, std::ios::binary) << "archive bytes 0123";
  EXPECT_TRUE(kv::ui::OpenFile(file));
  EXPECT_EQ(ReadWhenThere(marker), "archive bytes 0123");
  fs::remove(marker);

  EXPECT_TRUE(kv::ui::OpenAddress("kvtest://127.0.0.1/item.htm?id=520731946188"));
  EXPECT_EQ(ReadWhenThere(marker).substr(0, 43), "kvtest://127.0.0.1/item.htm?id=520731946188");

  // Nothing registered: the shell says no.
  std::ofstream(dir / L"lonely.kvnone") << "x";
  EXPECT_FALSE(kv::ui::OpenFile(dir / L"lonely.kvnone"));
  EXPECT_FALSE(kv::ui::OpenFile(dir / L"missing.kvtest"));
  EXPECT_FALSE(kv::ui::OpenAddress("kvnone://127.0.0.1/"));
  fs::remove_all(dir);
}

TEST(Win32Desktop, KnowsTheProgramFolderAndTheDownloads) {
  EXPECT_TRUE(fs::exists(kv::ui::ProgramFolder() / L"win32_shell_test.exe")) << kv::ui::ProgramFolder();
  const fs::path downloads = kv::ui::DownloadsFolder();
  EXPECT_TRUE(downloads.is_absolute()) << downloads;
  EXPECT_EQ(downloads.filename(), L"Downloads");
}

// Another program's hold on a combination: a window of a thread of its own.
class ForeignHotKey {
 public:
  ForeignHotKey(UINT modifiers, UINT key) {
    thread_ = std::thread([=, this] {
      HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
      threadId_ = GetCurrentThreadId();
      held_ = ::RegisterHotKey(window, 7, modifiers, key) ? 1 : 2;
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      ::UnregisterHotKey(window, 7);
      DestroyWindow(window);
    });
    while (held_ == 0) Sleep(5);
  }
  ~ForeignHotKey() {
    while (!PostThreadMessageW(threadId_, WM_QUIT, 0, 0)) Sleep(5);
    thread_.join();
  }
  bool Held() const { return held_ == 1; }

 private:
  std::atomic<int> held_{0};
  std::atomic<DWORD> threadId_{0};
  std::thread thread_;
};

TEST(Win32HotKey, FiresOncePerPressAndIsRefusedWhenTaken) {
  App();
  using kv::ui::HotKey;
  const HotKey ctrlAltQ{HotKey::kCtrl | HotKey::kAlt, 'Q'};
  int fired = 0;
  ASSERT_TRUE(kv::ui::RegisterHotKey(ctrlAltQ, [&] { ++fired; }));
  EXPECT_FALSE(kv::ui::RegisterHotKey(ctrlAltQ, [] {})) << "registered twice";

  Press({VK_CONTROL, VK_MENU, 'Q'});
  EXPECT_TRUE(PumpUntil([&] { return fired == 1; }, 2000)) << fired;
  const auto pause = [](int ms) { PumpUntil([] { return false; }, ms); };
  pause(100);
  // Held down: the keyboard repeats Q every 33 ms, the hot key fires once;
  // pressed again after the release, once more.
  for (int press = 0; press < 2; ++press) {
    Key(VK_CONTROL, false);
    Key(VK_MENU, false);
    for (int i = 0; i < 8; ++i) {
      Key('Q', false);
      pause(33);
    }
    Key('Q', true);
    Key(VK_MENU, true);
    Key(VK_CONTROL, true);
    pause(150);
  }
  EXPECT_EQ(fired, 3);
  // Q alone, or with Ctrl only, is no hot key.
  Press({'Q'});
  Press({VK_CONTROL, 'Q'});
  pause(200);
  EXPECT_EQ(fired, 3);

  kv::ui::UnregisterHotKey(ctrlAltQ);
  {
    ForeignHotKey other(MOD_CONTROL | MOD_ALT, 'Q');
    EXPECT_TRUE(other.Held()) << "the combination was not given back";
    EXPECT_FALSE(kv::ui::RegisterHotKey(ctrlAltQ, [] {})) << "registered over another program's";
  }
  // Free again once the other program let go.
  EXPECT_TRUE(kv::ui::RegisterHotKey(ctrlAltQ, [] {}));
  kv::ui::UnregisterHotKey(ctrlAltQ);
  EXPECT_FALSE(kv::ui::RegisterHotKey({0, 'Q'}, [] {}));
}

}  // namespace
