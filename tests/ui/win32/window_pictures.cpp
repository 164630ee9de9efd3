// Shows one window of the program through the Win32 backend, with the skin
// and sample content, for pictures of it (tools/screenshots-windows.sh):
//   window_pictures main|calculator|about|update [keyword]
// The window stays up for six seconds; its outer rectangle is written to
// standard output first.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "about_form.hpp"
#include "calculator_form.hpp"
#include "application.hpp"
#include "calculator_window.hpp"
#include "keyword_lookup.hpp"
#include "main_form.hpp"
#include "skin_look.hpp"
#include "update_form.hpp"
#include "win32/win32_window.hpp"

namespace {

std::vector<unsigned char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

kv::TextArray ReadBank(const char* path) {
  std::ifstream in(path, std::ios::binary);
  kv::TextArray lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

void Type(HWND box, const wchar_t* text) {
  for (const wchar_t* p = text; *p; ++p) ::SendMessageW(box, WM_CHAR, *p, 1);
}

}  // namespace

int main(int argc, char** argv) {
  kv::ui::Application app(argc, argv);
  const std::vector<unsigned char> skin = ReadFile(KV_SKIN_FILE);
  if (!kv::ui::ApplySkinLook(skin)) std::fprintf(stderr, "the skin was not applied\n");
  const std::string which = argc > 1 ? argv[1] : "main";
  namespace win = kv::ui::win;

  static const kv::TextArray bank = ReadBank(KV_BANK_FILE);
  kv::KeywordLookup lookup;
  std::unique_ptr<kv::ui::Window> window;
  if (which == "main") {
    using F = kv::ui::MainForm;
    window = kv::ui::Window::Create(F::kDef);
    const std::string keyword = argc > 2 ? argv[2] : "首都";
    window->SetText(F::keywordBox, keyword);
    lookup.Run(bank, keyword);
    window->ShowResults(F::resultList, lookup);
    window->SetText(F::questionBox, "");
    ListView_SetItemState(win::Handle(*window, F::resultList), 1, LVIS_SELECTED, LVIS_SELECTED);
  } else if (which == "calculator") {
    using F = kv::ui::CalculatorForm;
    window = kv::CreateCalculatorWindow();
    Type(win::Handle(*window, F::levelCurrent), L"60");
    Type(win::Handle(*window, F::levelTarget), L"69");
    Type(win::Handle(*window, F::skillCurrent), L"100");
    Type(win::Handle(*window, F::skillTarget), L"120");
    Type(win::Handle(*window, F::cultivationCurrent), L"5");
    Type(win::Handle(*window, F::cultivationTarget), L"15");
    Type(win::Handle(*window, F::questLevel), L"65");
  } else if (which == "about") {
    window = kv::ui::Window::Create(kv::ui::AboutForm::kDef);
  } else {
    using F = kv::ui::UpdateForm;
    window = kv::ui::Window::Create(F::kDef);
    window->SetBackgroundPicture(ReadFile(KV_UPDATE_PICTURE));
    window->SetText(F::sizeLabel, "3456789字节");
    window->SetText(F::doneLabel, "1234567字节");
    window->SetProgress(F::progressBar, 345, 123);
  }
  if (!window) return 1;
  window->Show();
  if (which == "main") ::SetFocus(win::Handle(*window, kv::ui::MainForm::resultList));
  RECT r;
  ::GetWindowRect(win::TopLevel(*window), &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fflush(stdout);
  ::SetTimer(nullptr, 0, 6000, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER) break;
    if (win::PreTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
