// The desktop shell on Windows: ShellExecuteW for addresses and files, the
// program's folder from its own module, the downloads folder from the shell.
#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "desktop.hpp"
#include "wide_text.hpp"

namespace kv::ui {

namespace {

// The shell may hand a request to a COM handler on the calling thread, which
// wants COM there (single-threaded, without OLE 1 DDE). Once per thread; a
// thread that has COM in another mode keeps it.
void PrepareCom() {
  thread_local bool prepared = false;
  if (prepared) return;
  prepared = true;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

// ShellExecuteW's result is an error code up to 32, success above.
bool Execute(const wchar_t* verb, const std::wstring& target) {
  if (target.empty()) return false;
  PrepareCom();
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // cut short: a longer path
  }
  return std::filesystem::path(path).parent_path();
}

std::filesystem::path DownloadsFolder() {
  PWSTR known = nullptr;
  // The folder's path even when it does not exist yet.
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_DONT_VERIFY, nullptr, &known)) && known) {
    std::filesystem::path folder(known);
    CoTaskMemFree(known);
    return folder;
  }
  CoTaskMemFree(known);
  wchar_t profile[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::filesystem::path(profile) / L"Downloads";
}

namespace detail {

bool OpenAddressWithDesktop(std::string_view gbkUrl) { return Execute(L"open", win::FromGbk(gbkUrl)); }

// The default verb of the file's type (null verb), no parameters, no working
// folder.
bool OpenFileWithDesktop(const std::filesystem::path& file) { return Execute(nullptr, file.native()); }

}  // namespace detail
}  // namespace kv::ui
