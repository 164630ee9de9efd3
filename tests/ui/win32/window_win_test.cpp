// The windows built from their tables through the Win32 backend, driven with
// the messages a user's input sends.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <atomic>
#include <iterator>
#include <thread>
#include <memory>
#include <vector>

#include "about_form.hpp"
#include "calculator.hpp"
#include "calculator_form.hpp"
#include "application.hpp"
#include "calculator_window.hpp"
#include "exit_cleanup.hpp"
#include "main_form.hpp"
#include "ui/win32/win32_app.hpp"
#include "ui_thread.hpp"
#include "update_form.hpp"
#include "win32/dpi_win.hpp"
#include "win32/look_win.hpp"
#include "win32/picture_win.hpp"
#include "win32/wide_text.hpp"

namespace {

namespace win = kv::ui::win;
using kv::test::ClassOf;
using kv::test::TextOf;
using kv::ui::ControlKind;
using kv::ui::MainForm;
using kv::ui::Window;

std::unique_ptr<Window> Make(const kv::ui::WindowDef& def) {
  kv::test::App();
  auto w = Window::Create(def);
  EXPECT_NE(w, nullptr);
  return w;
}

// The class and button type each kind of control is made of.
struct KindClass {
  ControlKind kind;
  const wchar_t* cls;
  LONG buttonType;  // -1: not a button
};
constexpr KindClass kKinds[] = {
    {ControlKind::Label, L"Static", -1},          {ControlKind::TransparentLabel, L"Static", -1},
    {ControlKind::Button, L"Button", BS_PUSHBUTTON}, {ControlKind::EditBox, L"Edit", -1},
    {ControlKind::CheckBox, L"Button", BS_AUTOCHECKBOX}, {ControlKind::DropDown, L"ComboBox", -1},
    {ControlKind::GroupBox, L"Button", BS_GROUPBOX}, {ControlKind::ReportList, L"SysListView32", -1},
    {ControlKind::ProgressBar, L"msctls_progress32", -1},
};

TEST(Win32Window, BuildsEveryFormFromItsTable) {
  const kv::ui::WindowDef* forms[] = {&MainForm::kDef, &kv::ui::AboutForm::kDef, &kv::ui::CalculatorForm::kDef,
                                      &kv::ui::UpdateForm::kDef};
  for (const kv::ui::WindowDef* def : forms) {
    auto w = Make(*def);
    ASSERT_TRUE(w);
    HWND top = win::TopLevel(*w);
    EXPECT_EQ(TextOf(top), win::FromGbk(def->caption));
    EXPECT_FALSE(::IsWindowVisible(top)) << "hidden until shown";
    const UINT dpi = win::DpiOf(*w);
    RECT client;
    ::GetClientRect(top, &client);
    EXPECT_EQ(client.right, win::Scale(kv::ui::ClientWidth(*def), dpi));
    EXPECT_EQ(client.bottom, win::Scale(kv::ui::ClientHeight(*def), dpi));
    const LONG_PTR style = ::GetWindowLongPtrW(top, GWL_STYLE);
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, def->minimizeBox);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    for (std::size_t i = 0; i < def->controls.size(); ++i) {
      const kv::ui::ControlDef& c = def->controls[i];
      HWND h = win::Control(*w, i);
      ASSERT_TRUE(h) << c.formName;
      EXPECT_EQ(::GetParent(h), top);
      for (const KindClass& k : kKinds) {
        if (k.kind != c.kind) continue;
        EXPECT_EQ(ClassOf(h), k.cls) << c.formName;
        if (k.buttonType >= 0) {
          EXPECT_EQ(::GetWindowLongPtrW(h, GWL_STYLE) & BS_TYPEMASK, k.buttonType) << c.formName;
        }
      }
      const bool tab = (::GetWindowLongPtrW(h, GWL_STYLE) & WS_TABSTOP) != 0;
      EXPECT_EQ(tab, c.tabStop) << c.formName;
      if (c.kind == ControlKind::Button || c.kind == ControlKind::CheckBox || c.kind == ControlKind::GroupBox) {
        EXPECT_EQ(TextOf(h), win::FromGbk(c.caption)) << c.formName;
      }
    }
  }
}

TEST(Win32Window, PlacesControlsInTheirGroupBoxAndCutsThemAtItsEdge) {
  auto w = Make(MainForm::kDef);
  const UINT dpi = win::DpiOf(*w);
  const auto at = [&](std::size_t index) {
    RECT r;
    ::GetWindowRect(win::Control(*w, index), &r);
    ::MapWindowPoints(nullptr, win::TopLevel(*w), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  // 按钮3 at 283, 13 in 分组框1 at 1, 0.
  const RECT clear = at(MainForm::clearButton.index);
  EXPECT_EQ(clear.left, win::Scale(284, dpi));
  EXPECT_EQ(clear.top, win::Scale(13, dpi));
  EXPECT_EQ(clear.right - clear.left, win::Scale(64, dpi));
  // 透明标签3 (382 + 192 in a box 500 wide at 2) ends at the box's edge.
  constexpr auto services = kv::ui::ControlOf<kv::ui::LabelId>(kv::ui::main_form::kControls, "透明标签3");
  EXPECT_EQ(at(services.index).right, win::Scale(502, dpi));
  // The calculator button's own font: 宋体, 12 pixels, bold.
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(win::Handle(*w, MainForm::calculatorButton), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_TRUE(::GetObjectW(font, sizeof lf, &lf));
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"宋体");
  EXPECT_EQ(lf.lfHeight, -win::Scale(12, dpi));
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfCharSet, GB2312_CHARSET);
}

TEST(Win32Window, LaysItselfOutAgainAtANewDpi) {
  auto w = Make(MainForm::kDef);
  HWND top = win::TopLevel(*w);
  RECT suggested{0, 0, 800, 600};
  ::SendMessageW(top, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(win::DpiOf(*w), 144u);
  RECT client;
  ::GetClientRect(top, &client);
  EXPECT_EQ(client.right, 756);   // 504 * 1.5
  EXPECT_EQ(client.bottom, 428);  // 285 * 1.5, rounded
  RECT list;
  ::GetWindowRect(win::Handle(*w, MainForm::resultList), &list);
  EXPECT_EQ(list.right - list.left, 753);  // 502 * 1.5
  EXPECT_EQ(ListView_GetColumnWidth(win::Handle(*w, MainForm::resultList), 1), 462);  // 308 * 1.5
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(win::Handle(*w, MainForm::calculatorButton), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_TRUE(::GetObjectW(font, sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -18) << "12 pixels at 144 DPI";
}

TEST(Win32Window, ControlsTakeTheirOwnTextColours) {
  kv::test::App();
  auto w = kv::CreateCalculatorWindow();
  ASSERT_TRUE(w);
  HWND top = win::TopLevel(*w);
  const auto ink = [&](std::size_t index, UINT message) {
    HWND h = win::Control(*w, index);
    HDC dc = ::GetDC(h);
    ::SendMessageW(top, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h));
    const COLORREF c = ::GetTextColor(dc);
    ::ReleaseDC(h, dc);
    return c;
  };
  const auto at = [](std::string_view name) {
    for (std::size_t i = 0; i < std::size(kv::ui::calculator_form::kControls); ++i)
      if (kv::ui::calculator_form::kControls[i].formName == name) return i;
    return SIZE_MAX;
  };
  const struct {
    std::string_view name;
    UINT message;
    COLORREF colour;
  } cases[] = {
      {"选择框1", WM_CTLCOLORSTATIC, RGB(255, 0, 0)}, {"标签25", WM_CTLCOLORSTATIC, RGB(255, 0, 0)},
      {"标签9", WM_CTLCOLORSTATIC, RGB(0, 0, 255)},   {"编辑框13", WM_CTLCOLOREDIT, RGB(255, 0, 0)},
      {"编辑框19", WM_CTLCOLOREDIT, RGB(255, 0x50, 0x80)}, {"组合框2", WM_CTLCOLOREDIT, RGB(255, 0, 0)},
      {"标签1", WM_CTLCOLORSTATIC, win::WindowTextColour()}, {"编辑框1", WM_CTLCOLOREDIT, win::TextColour()},
  };
  for (const auto& c : cases) EXPECT_EQ(ink(at(c.name), c.message), c.colour) << std::string(c.name);
  constexpr auto label = kv::ui::ControlOf<kv::ui::LabelId>(kv::ui::calculator_form::kControls, "标签1");
  w->SetTextColour(label, 0x00A000);
  EXPECT_EQ(ink(label.index, WM_CTLCOLORSTATIC), RGB(0, 0xA0, 0));
  w.reset();
  kv::ReleaseCalculatorTables();
}

TEST(Win32Window, RaisesTheEventsOfTypingClickingAndPicking) {
  auto w = Make(MainForm::kDef);
  int changed = 0, clicked = 0, toggledOn = 0;
  w->OnChanged(MainForm::keywordBox, [&] { ++changed; });
  w->OnClicked(MainForm::clearButton, [&] { ++clicked; });
  w->OnClicked(MainForm::topmostBox, [&] { toggledOn += w->IsChecked(MainForm::topmostBox) ? 1 : -1; });
  HWND box = win::Handle(*w, MainForm::keywordBox);

  kv::test::Type(box, L"ab");
  EXPECT_EQ(changed, 2);
  ::SendMessageW(box, EM_SETSEL, 0, -1);
  ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"苹果"));  // an input method's commit
  EXPECT_EQ(changed, 3);
  EXPECT_EQ(w->GetText(MainForm::keywordBox).gbk, "苹果");
  EXPECT_TRUE(w->GetText(MainForm::keywordBox).exact);
  ::SendMessageW(box, EM_SETSEL, 0, -1);
  ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"苹果"));  // the same text again
  EXPECT_EQ(changed, 3) << "no change, no event";
  ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\x0E01"));  // pasted, not in GBK
  EXPECT_EQ(w->GetText(MainForm::keywordBox).gbk, "苹果?");
  EXPECT_FALSE(w->GetText(MainForm::keywordBox).exact);

  w->SetText(MainForm::keywordBox, "长江");
  EXPECT_EQ(changed, 5);
  EXPECT_EQ(TextOf(box), L"长江");
  w->SetText(MainForm::keywordBox, "长江");
  EXPECT_EQ(changed, 5) << "the same text raises nothing";

  ::SendMessageW(win::Handle(*w, MainForm::clearButton), BM_CLICK, 0, 0);
  EXPECT_EQ(clicked, 1);
  HWND check = win::Handle(*w, MainForm::topmostBox);
  ::SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(toggledOn, 1) << "clicked comes after the box has toggled";
  ::SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(toggledOn, 0);

  w->SetEnabled(MainForm::submitButton, false);
  EXPECT_FALSE(w->IsEnabled(MainForm::submitButton));
  EXPECT_FALSE(::IsWindowEnabled(win::Handle(*w, MainForm::submitButton)));
}

TEST(Win32Window, TopmostFollowsTheSetting) {
  auto w = Make(MainForm::kDef);
  w->Show();
  for (bool on : {true, false, true, false}) {
    w->SetTopmost(on);
    EXPECT_EQ(w->IsTopmost(), on);
    EXPECT_EQ((::GetWindowLongPtrW(win::TopLevel(*w), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
  }
  w->Close();
}

TEST(Win32Window, TheCalculatorTakesOnlyDigitsAndMinusWhenTyped) {
  kv::test::App();
  auto w = kv::CreateCalculatorWindow();
  ASSERT_TRUE(w);
  using F = kv::ui::CalculatorForm;
  const struct {
    kv::ui::EditBoxId box;
    std::wstring typed;
    std::wstring shown;
  } cases[] = {
      {F::levelCurrent, L"1a2", L"12"},
      {F::levelCurrent, L"-x5", L"-5"},
      {F::levelCurrent, L"12345", L"123"},            // three characters at most
      {F::levelCurrent, L"12\b3", L"13"},             // Backspace passes
      {F::questLevel, L"６ 0.5，", L"05"},            // full-width digits, space, point, comma: dropped
      {F::technique, L"ab", L"ab"},                    // an output box takes everything
  };
  for (const auto& c : cases) {
    HWND box = win::Handle(*w, c.box);
    ::SetWindowTextW(box, L"");
    kv::test::Type(box, c.typed);
    EXPECT_EQ(TextOf(box), c.shown) << std::string(kv::ui::CalculatorForm::kDef.controls[c.box.index].formName);
  }
  // Pasted text is not filtered.
  HWND level = win::Handle(*w, F::levelTarget);
  ::SendMessageW(level, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"ab"));
  EXPECT_EQ(TextOf(level), L"ab");

  // The level group computes as the boxes change; the skill count is picked.
  ::SetWindowTextW(level, L"");
  ::SetWindowTextW(win::Handle(*w, F::levelCurrent), L"");
  kv::test::Type(win::Handle(*w, F::levelCurrent), L"10");
  kv::test::Type(level, L"20");
  EXPECT_FALSE(w->GetText(F::levelResult).gbk.empty());
  HWND count = win::Handle(*w, F::skillCount);
  EXPECT_EQ(w->ShownText(F::skillCount), "1");
  int picked = 0;
  w->OnSelected(F::skillCount, [&] { ++picked; });
  ::SendMessageW(count, CB_SETCURSEL, 2, 0);
  ::SendMessageW(win::TopLevel(*w), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(count), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(count));
  EXPECT_EQ(picked, 1);
  EXPECT_EQ(w->ShownText(F::skillCount), "3");
  w.reset();
  kv::ReleaseCalculatorTables();
}

TEST(Win32Window, AnActivatedWindowHandsTheFocusBackAndTheBoxReportsIt) {
  auto main = Make(MainForm::kDef);
  auto other = Make(kv::ui::AboutForm::kDef);
  int focused = 0;
  main->OnFocus(MainForm::keywordBox, [&] { ++focused; });
  main->Show();
  HWND top = win::TopLevel(*main);
  ::SetActiveWindow(top);
  main->SetFocus(MainForm::keywordBox);
  HWND box = win::Handle(*main, MainForm::keywordBox);
  ASSERT_EQ(::GetFocus(), box);
  const int before = focused;
  EXPECT_GE(before, 1);

  other->Show();
  ::SetActiveWindow(win::TopLevel(*other));
  EXPECT_NE(::GetFocus(), box);
  ::SetActiveWindow(top);
  EXPECT_EQ(::GetFocus(), box);
  EXPECT_EQ(focused, before + 1) << "got focus again with the activation";

  other->Close();
  main->Close();
}

TEST(Win32Window, EscClosesTheWindowUnlessTheFocusedControlTakesIt) {
  auto w = Make(MainForm::kDef);
  int closed = 0;
  w->OnClosed([&] { ++closed; });
  w->Show();
  ::SetActiveWindow(win::TopLevel(*w));
  HWND button = win::Handle(*w, MainForm::aboutButton);
  ::SetFocus(button);
  kv::test::PressKey(button, VK_TAB);
  EXPECT_EQ(::GetFocus(), win::Handle(*w, MainForm::keywordBox)) << "from the last tab stop to the first";
  kv::test::PressKey(::GetFocus(), VK_ESCAPE);
  EXPECT_FALSE(w->IsOpen());
  EXPECT_FALSE(::IsWindowVisible(win::TopLevel(*w)));
  EXPECT_EQ(closed, 1);

  // The Calculator's drop-down list, open, takes Esc itself.
  kv::test::App();
  auto calc = kv::CreateCalculatorWindow();
  ASSERT_TRUE(calc);
  calc->Show();
  ::SetActiveWindow(win::TopLevel(*calc));
  HWND count = win::Handle(*calc, kv::ui::CalculatorForm::skillCount);
  ::SetFocus(count);
  ::SendMessageW(count, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(::SendMessageW(count, CB_GETDROPPEDSTATE, 0, 0));
  kv::test::PressKey(count, VK_ESCAPE);
  EXPECT_TRUE(calc->IsOpen());
  EXPECT_FALSE(::SendMessageW(count, CB_GETDROPPEDSTATE, 0, 0));
  kv::test::PressKey(count, VK_ESCAPE);
  EXPECT_FALSE(calc->IsOpen());
  calc.reset();
  kv::ReleaseCalculatorTables();
}

TEST(Win32Window, TabFollowsTheTableOrder) {
  auto w = Make(MainForm::kDef);
  w->Show();
  ::SetActiveWindow(win::TopLevel(*w));
  w->SetFocus(MainForm::keywordBox);
  kv::test::PressKey(::GetFocus(), VK_TAB);
  EXPECT_EQ(::GetFocus(), win::Handle(*w, MainForm::clearButton));
  kv::test::PressKey(::GetFocus(), VK_TAB);
  EXPECT_EQ(::GetFocus(), win::Handle(*w, MainForm::topmostBox));
  kv::test::PressKey(::GetFocus(), VK_TAB);
  EXPECT_EQ(::GetFocus(), win::Handle(*w, MainForm::resultList));
  w->Close();
}

TEST(Win32Window, AModalWindowHoldsTheOthersUntilItCloses) {
  auto main = Make(MainForm::kDef);
  auto about = Make(kv::ui::AboutForm::kDef);
  main->Show();
  bool mainDisabled = false;
  kv::ui::RunOnUiThread([&] {
    mainDisabled = !::IsWindowEnabled(win::TopLevel(*main));
    about->Close();
  });
  about->ShowModal(*main);  // returns once closed
  EXPECT_TRUE(mainDisabled);
  EXPECT_FALSE(about->IsOpen());
  EXPECT_TRUE(::IsWindowEnabled(win::TopLevel(*main)));
  EXPECT_EQ(::GetWindow(win::TopLevel(*about), GW_OWNER), win::TopLevel(*main));
  // The about text keeps its lines.
  const std::wstring text = TextOf(win::Handle(*about, kv::ui::AboutForm::text));
  EXPECT_NE(text.find(L"\r\n           可能 我的软件不是最好的"), std::wstring::npos);
  main->Close();
}

std::vector<unsigned char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Win32Window, TransparentLabelsShowThePictureBehindThem) {
  auto w = Make(kv::ui::UpdateForm::kDef);
  HWND top = win::TopLevel(*w);
  HWND label = win::Handle(*w, kv::ui::UpdateForm::sizeLabel);
  HDC dc = ::GetDC(label);
  const auto brush = [&] { return ::SendMessageW(top, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label)); };
  const LRESULT plain = brush();

  const std::vector<unsigned char> png = ReadFile(KV_UPDATE_PICTURE);
  ASSERT_GT(png.size(), 100u);
  const std::vector<unsigned char> junk(png.begin(), png.begin() + 40);
  w->SetBackgroundPicture(junk);
  EXPECT_EQ(brush(), plain) << "no picture from a broken file";
  w->SetBackgroundPicture(png);
  const win::Picture* picture = w->impl().picture.get();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->SourceSize().cx, 374);
  EXPECT_EQ(picture->SourceSize().cy, 97);
  EXPECT_EQ(brush(), reinterpret_cast<LRESULT>(picture->Brush()));
  POINT origin;
  ::GetBrushOrgEx(dc, &origin);
  RECT r;
  ::GetWindowRect(label, &r);
  ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(origin.x, -r.left) << "aligned with the picture under the label";
  EXPECT_EQ(origin.y, -r.top);
  ::ReleaseDC(label, dc);
  w->SetText(kv::ui::UpdateForm::sizeLabel, "123字节");
  EXPECT_EQ(TextOf(label), L"123字节");
}

}  // namespace

namespace {

// Pixels of `hwnd` in rows [top, bottom) that are not the window's background
// (as far as the label lies inside its window).
int InkPixels(HWND hwnd, int top, int bottom) {
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT r, parent;
  ::GetWindowRect(hwnd, &r);
  ::GetClientRect(::GetParent(hwnd), &parent);
  ::MapWindowPoints(::GetParent(hwnd), nullptr, reinterpret_cast<POINT*>(&parent), 2);
  ::IntersectRect(&r, &r, &parent);
  ::OffsetRect(&r, -r.left, -r.top);
  HDC dc = ::GetDC(hwnd);
  const COLORREF paper = win::WindowColour();
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < r.right; ++x) n += ::GetPixel(dc, x, y) != paper;
  ::ReleaseDC(hwnd, dc);
  return n;
}

TEST(Win32Window, TheAboutTextKeepsAllItsLinesInsideItsLabel) {
  auto w = Make(kv::ui::AboutForm::kDef);
  w->Show();
  HWND label = win::Handle(*w, kv::ui::AboutForm::text);
  RECT r;
  ::GetClientRect(label, &r);
  // The last line, "官方群号:2468024", in the label's last fifteenth.
  EXPECT_GT(InkPixels(label, r.bottom - r.bottom / 15, r.bottom), 0);
  EXPECT_EQ(InkPixels(label, 0, r.bottom / 17), 0) << "the first line is empty";
  w->Close();
}

}  // namespace

namespace {

TEST(Win32UiThread, WorkersHandTheirCallsToTheUserInterfaceThread) {
  kv::test::App();
  EXPECT_TRUE(kv::ui::OnUiThread());
  EXPECT_TRUE(kv::ui::UiReady());
  bool onUi = false, queuedRan = false, workerWasOnUi = true;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    workerWasOnUi = kv::ui::OnUiThread();
    kv::ui::RunOnUiThreadBlocking([&] { onUi = kv::ui::OnUiThread(); });  // waits for it
    kv::ui::RunOnUiThread([&] { queuedRan = true; });
    done = true;
  });
  while (!done) {
    win::PumpMessages();
    ::Sleep(1);
  }
  worker.join();
  win::PumpMessages();
  EXPECT_FALSE(workerWasOnUi);
  EXPECT_TRUE(onUi);
  EXPECT_TRUE(queuedRan);
}

TEST(Win32UiThread, TheEndOfTheSessionEndsTheLoopAfterTheCleanUp) {
  kv::test::App();
  static bool cleaned = false;
  kv::RegisterExitCleanup([] { cleaned = true; });
  HWND ui = ::FindWindowW(L"KelvaroUiThread", nullptr);
  ASSERT_TRUE(ui);
  EXPECT_TRUE(::SendMessageW(ui, WM_QUERYENDSESSION, 0, 0));
  EXPECT_FALSE(kv::ui::TerminationRequested());
  ::SendMessageW(ui, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(kv::ui::TerminationRequested());
  EXPECT_TRUE(cleaned) << "before Windows ends the process";
  MSG msg;
  EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(Win32Window, EnterInAnEditBoxMovesNothing) {
  auto w = Make(MainForm::kDef);
  w->Show();
  ::SetActiveWindow(win::TopLevel(*w));
  w->SetFocus(MainForm::keywordBox);
  int changed = 0;
  w->OnChanged(MainForm::keywordBox, [&] { ++changed; });
  kv::test::PressKey(::GetFocus(), VK_RETURN);
  EXPECT_EQ(::GetFocus(), win::Handle(*w, MainForm::keywordBox));
  EXPECT_EQ(changed, 0);
  EXPECT_TRUE(w->IsOpen());
  w->Close();
}

}  // namespace
