// Debian's nginx, started for one test on a free loopback port with a
// configuration of ours, every file it writes under its own temporary prefix.
// It runs in the foreground under `timeout`, so it ends by itself after its
// time limit; the destructor ends it earlier by its pid.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kv::test {

// A certificate and its private key, PEM files.
struct TlsFiles {
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// A self-signed certificate for `host` (its subject and only name), made by
// openssl in `dir`; nullopt when openssl failed.
std::optional<TlsFiles> MakeSelfSignedCertificate(const std::filesystem::path& dir, const std::string& host);

class NginxServer {
 public:
  // Serves the files under `root`; over TLS with `tls`.
  explicit NginxServer(const std::filesystem::path& root, std::chrono::seconds limit = std::chrono::seconds(300),
                       std::optional<TlsFiles> tls = std::nullopt);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  bool Running() const { return pid_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path` (https:// with TLS).
  std::string Url(std::string_view path) const;
  // What nginx wrote to its error log (for failure messages).
  std::string ErrorLog() const;

 private:
  bool Start(const std::filesystem::path& root, std::chrono::seconds limit);
  void Stop();

  std::optional<TlsFiles> tls_;
  std::filesystem::path prefix_;
  long pid_ = -1;
  int port_ = 0;
};

}  // namespace kv::test
