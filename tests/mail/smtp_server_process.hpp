// Runs tools/smtp_server.py (aiosmtpd under Debian's own python3) on a free
// loopback port for the length of a test or benchmark. The server stops by
// itself after its time limit; the destructor ends it by its pid.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kv::test {

class SmtpServerProcess {
 public:
  SmtpServerProcess(const std::string& script, std::vector<std::string> extra_args = {}, int time_limit_s = 120) {
    char dir_template[] = "/tmp/kv-smtp-XXXXXX";
    if (!mkdtemp(dir_template)) return;
    dir_ = dir_template;
    maildir_ = dir_ + "/mail";
    const std::string ready = dir_ + "/port";
    std::vector<std::string> args = {"/usr/bin/python3", script, "--host", "127.0.0.1", "--port", "0",
                                     "--maildir", maildir_, "--timeout", std::to_string(time_limit_s),
                                     "--ready-file", ready};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    // Everything the child needs is made before fork: it only redirects and execs.
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string log = dir_ + "/server.log";
    pid_ = fork();
    if (pid_ == 0) {
      const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;  // it died before listening; see Log()
        return;
      }
      std::ifstream in(ready);
      if (in >> port_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  ~SmtpServerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (!dir_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }

  SmtpServerProcess(const SmtpServerProcess&) = delete;
  SmtpServerProcess& operator=(const SmtpServerProcess&) = delete;

  bool ok() const { return pid_ > 0 && port_ > 0; }
  int port() const { return port_; }
  const std::string& maildir() const { return maildir_; }
  std::string Log() const { return Read(dir_ + "/server.log"); }

  // The stems ("000001", ...) of the mails received so far, in order.
  std::vector<std::string> Mails() const {
    std::vector<std::string> stems;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(maildir_, ec))
      if (e.path().extension() == ".json") stems.push_back(e.path().stem().string());
    std::sort(stems.begin(), stems.end());
    return stems;
  }
  std::string Raw(const std::string& stem) const { return Read(maildir_ + "/" + stem + ".eml"); }
  std::string Summary(const std::string& stem) const { return Read(maildir_ + "/" + stem + ".json"); }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string dir_, maildir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace kv::test
