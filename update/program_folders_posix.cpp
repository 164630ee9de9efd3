// Linux: /proc/self/exe, and the download folder of the XDG user directories
// (~/.config/user-dirs.dirs), else ~/Downloads.
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "program_folders.hpp"

namespace kv {

namespace {

std::filesystem::path Home() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::filesystem::path(home) : std::filesystem::path("/tmp");
}

// The value of XDG_DOWNLOAD_DIR in user-dirs.dirs ("$HOME/..." or an
// absolute path, in double quotes), or empty.
std::filesystem::path UserDirsDownload() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::filesystem::path dir = config && *config ? std::filesystem::path(config) : Home() / ".config";
  std::ifstream in(dir / "user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    constexpr std::string_view key = "XDG_DOWNLOAD_DIR=\"";
    if (line.rfind(key, 0) != 0) continue;
    const std::size_t end = line.find('"', key.size());
    if (end == std::string::npos) return {};
    std::string value = line.substr(key.size(), end - key.size());
    if (value.rfind("$HOME", 0) == 0) return Home().string() + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
    return {};
  }
  return {};
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

std::filesystem::path DownloadsFolder() {
  std::filesystem::path dir = UserDirsDownload();
  return dir.empty() ? Home() / "Downloads" : dir;
}

}  // namespace kv
