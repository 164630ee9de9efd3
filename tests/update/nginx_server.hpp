// Debian's nginx, started for one test on a free loopback port with a
// configuration of ours, every file it writes under its own temporary prefix.
// It runs in the foreground under `timeout`, so it ends by itself after its
// time limit; the destructor ends it earlier by its pid.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv::test {

class NginxServer {
 public:
  // Serves the files under `root`.
  explicit NginxServer(const std::filesystem::path& root, std::chrono::seconds limit = std::chrono::seconds(300));
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  bool Running() const { return pid_ > 0; }
  int port() const { return port_; }
  std::string Url(std::string_view path) const;
  // What nginx wrote to its error log (for failure messages).
  std::string ErrorLog() const;

 private:
  bool Start(const std::filesystem::path& root, std::chrono::seconds limit);
  void Stop();

  std::filesystem::path prefix_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace kv::test
