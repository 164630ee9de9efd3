#include "desktop.hpp"

#include <mutex>

namespace kv::ui {

namespace {

std::mutex openerMutex;
std::function<bool(const DesktopRequest&)> opener;

std::function<bool(const DesktopRequest&)> CurrentOpener() {
  std::lock_guard lock(openerMutex);
  return opener;
}

}  // namespace

bool OpenAddress(std::string_view gbkUrl) {
  if (gbkUrl.empty()) return false;
  if (auto o = CurrentOpener()) return o({Text(gbkUrl), {}});
  return detail::OpenAddressWithDesktop(gbkUrl);
}

bool OpenFile(const std::filesystem::path& file) {
  if (file.empty()) return false;
  if (auto o = CurrentOpener()) return o({{}, file});
  return detail::OpenFileWithDesktop(file);
}

void SetDesktopOpenerForTesting(std::function<bool(const DesktopRequest&)> o) {
  std::lock_guard lock(openerMutex);
  opener = std::move(o);
}

}  // namespace kv::ui
