// Runs tools/smtp_server.py (aiosmtpd under Debian's own python3) on a free
// loopback port for the length of a test or benchmark. The server stops by
// itself after its time limit; the destructor ends it by its pid.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_platform.hpp"

namespace kv::test {

class SmtpServerProcess {
 public:
  SmtpServerProcess(const std::string& script, std::vector<std::string> extra_args = {}, int time_limit_s = 120) {
    dir_ = MakeTempFolder("kv-smtp");
    if (dir_.empty()) return;
    maildir_ = dir_ / "mail";
    const std::filesystem::path ready = dir_ / "port";
    std::vector<std::string> args = {"/usr/bin/python3", script, "--host", "127.0.0.1", "--port", "0",
                                     "--maildir", NativePath(maildir_), "--timeout", std::to_string(time_limit_s),
                                     "--ready-file", NativePath(ready)};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    pid_ = StartNative(args, dir_ / "server.log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      std::ifstream in(ready);
      if (in >> port_) return;
      if (!NativeRunning(pid_)) {
        pid_ = -1;  // it died before listening; see Log()
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  ~SmtpServerProcess() {
    StopNative(pid_);
    if (!dir_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }

  SmtpServerProcess(const SmtpServerProcess&) = delete;
  SmtpServerProcess& operator=(const SmtpServerProcess&) = delete;

  bool ok() const { return pid_ > 0 && port_ > 0; }
  int port() const { return port_; }
  const std::filesystem::path& maildir() const { return maildir_; }
  std::string Log() const { return Read(dir_ / "server.log"); }

  // The stems ("000001", ...) of the mails received so far, in order.
  std::vector<std::string> Mails() const {
    std::vector<std::string> stems;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(maildir_, ec))
      if (e.path().extension() == ".json") stems.push_back(e.path().stem().string());
    std::sort(stems.begin(), stems.end());
    return stems;
  }
  std::string Raw(const std::string& stem) const { return Read(maildir_ / (stem + ".eml")); }
  std::string Summary(const std::string& stem) const { return Read(maildir_ / (stem + ".json")); }

  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::filesystem::path dir_, maildir_;
  long pid_ = -1;
  int port_ = 0;
};

}  // namespace kv::test
