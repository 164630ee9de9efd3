#include "nginx_server.hpp"

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "http_peer.hpp"
#include "test_platform.hpp"

namespace kv::test {
namespace {

bool Accepts(int port) {
  const SocketId s = LoopbackConnect(port);
  if (s == kNoSocketId) return false;
  SocketClose(s);
  return true;
}

// Runs a program that ends by itself (under `timeout`); true when it exited with 0.
bool RunToEnd(std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/timeout", "-s", "KILL", "60"});
  return RunNative(args).has_value();
}

// "user group" when the tests run as root, else "".
const std::string& RootUser() {
  static const std::string user = [] {
    const auto out = RunNative({"/bin/sh", "-c", "[ \"$(id -u)\" != 0 ] || echo \"$(id -un) $(id -gn)\""});
    std::string line = out.value_or("");
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
  }();
  return user;
}

std::string Config(const std::filesystem::path& prefix, const std::filesystem::path& root, int port,
                   const std::optional<TlsFiles>& tls) {
  const std::string p = NativePath(prefix);
  std::ostringstream c;
  c << "daemon off;\n"
    << "worker_processes 1;\n"
    << "pid " << p << "/nginx.pid;\n"
    << "lock_file " << p << "/nginx.lock;\n"
    << "error_log " << p << "/error.log;\n";
  // A master started by root hands its workers to "nobody", which may not read
  // our temporary folders; they stay with the user who runs the test.
  if (!RootUser().empty()) c << "user " << RootUser() << ";\n";
  c << "events { worker_connections 64; }\n"
    << "http {\n"
    << "  access_log off;\n"
    << "  client_body_temp_path " << p << "/body;\n"
    << "  proxy_temp_path " << p << "/proxy;\n"
    << "  fastcgi_temp_path " << p << "/fastcgi;\n"
    << "  uwsgi_temp_path " << p << "/uwsgi;\n"
    << "  scgi_temp_path " << p << "/scgi;\n"
    << "  types { text/html htm html; application/octet-stream rar; }\n"
    << "  default_type application/octet-stream;\n"
    // Compression is offered for everything; a client must not get it unasked.
    << "  gzip on; gzip_min_length 1; gzip_types application/octet-stream;\n"
    << "  server {\n"
    << "    listen 127.0.0.1:" << port << (tls ? " ssl" : "") << ";\n";
  if (tls) {
    c << "    ssl_certificate " << NativePath(tls->certificate) << ";\n"
      << "    ssl_certificate_key " << NativePath(tls->key) << ";\n";
  }
  c << "    server_name _;\n"
    << "    root " << NativePath(root) << ";\n"
    << "    location / { }\n"
    << "  }\n"
    << "}\n";
  return c.str();
}

}  // namespace

std::optional<TlsFiles> MakeSelfSignedCertificate(const std::filesystem::path& dir, const std::string& host) {
  TlsFiles files{dir / "server.crt", dir / "server.key"};
  const bool made = RunToEnd({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes", "-days", "2", "-subj", "/CN=" + host, "-addext", "subjectAltName=DNS:" + host,
                              "-keyout", NativePath(files.key), "-out", NativePath(files.certificate)});
  if (!made || !std::filesystem::exists(files.certificate)) return std::nullopt;
  return files;
}

NginxServer::NginxServer(const std::filesystem::path& root, std::chrono::seconds limit, std::optional<TlsFiles> tls)
    : tls_(std::move(tls)) {
  prefix_ = MakeTempFolder("kv-nginx");
  if (prefix_.empty()) return;
  // The port is free when chosen but may be taken before nginx binds it.
  for (int attempt = 0; attempt < 3 && !Start(root, limit); ++attempt) {
  }
}

NginxServer::~NginxServer() {
  Stop();
  std::error_code ec;
  if (!prefix_.empty()) std::filesystem::remove_all(prefix_, ec);
}

bool NginxServer::Start(const std::filesystem::path& root, std::chrono::seconds limit) {
  port_ = UnusedPort();
  const std::filesystem::path conf = prefix_ / "nginx.conf";
  std::ofstream(conf, std::ios::binary) << Config(prefix_, root, port_, tls_);
  const std::string seconds = std::to_string(limit.count());
  const std::string p = NativePath(prefix_);
  pid_ = StartNative({"/usr/bin/timeout", "-s", "TERM", "-k", "5", seconds, "/usr/sbin/nginx", "-c",
                      NativePath(conf), "-p", p + "/", "-e", p + "/error.log"},
                     prefix_ / "nginx.out");
  for (int i = 0; pid_ > 0 && i < 200; ++i) {
    if (Accepts(port_)) return true;
    if (!NativeRunning(pid_)) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  Stop();
  return false;
}

void NginxServer::Stop() {
  // `timeout` passes the signal on to nginx, whose master stops its worker.
  StopNative(pid_);
  pid_ = -1;
}

std::string NginxServer::Url(std::string_view path) const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + std::string(path);
}

std::string NginxServer::ErrorLog() const {
  std::ifstream in(prefix_ / "error.log");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kv::test
