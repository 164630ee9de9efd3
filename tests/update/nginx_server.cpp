#include "nginx_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "http_peer.hpp"

extern char** environ;

namespace kv::test {
namespace {

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

// Runs a program that ends by itself (under `timeout`) and waits for it by its
// pid; true when it exited with 0.
bool RunToEnd(std::vector<std::string> args) {
  args.insert(args.begin(), {"timeout", "-s", "KILL", "60"});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Its chatter goes nowhere.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, "timeout", &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return false;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Config(const std::filesystem::path& prefix, const std::filesystem::path& root, int port,
                   const std::optional<TlsFiles>& tls) {
  const std::string p = prefix.string();
  std::ostringstream c;
  c << "daemon off;\n"
    << "worker_processes 1;\n"
    << "pid " << p << "/nginx.pid;\n"
    << "lock_file " << p << "/nginx.lock;\n"
    << "error_log " << p << "/error.log;\n";
  // A master started by root hands its workers to "nobody", which may not read
  // our temporary folders; they stay with the user who runs the test.
  if (::geteuid() == 0) {
    const passwd* pw = ::getpwuid(::geteuid());
    const group* gr = ::getgrgid(::getegid());
    if (pw && gr) c << "user " << pw->pw_name << " " << gr->gr_name << ";\n";
  }
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
    c << "    ssl_certificate " << tls->certificate.string() << ";\n"
      << "    ssl_certificate_key " << tls->key.string() << ";\n";
  }
  c << "    server_name _;\n"
    << "    root " << root.string() << ";\n"
    << "    location / { }\n"
    << "  }\n"
    << "}\n";
  return c.str();
}

}  // namespace

std::optional<TlsFiles> MakeSelfSignedCertificate(const std::filesystem::path& dir, const std::string& host) {
  TlsFiles files{dir / "server.crt", dir / "server.key"};
  const bool made = RunToEnd({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes", "-days", "2", "-subj", "/CN=" + host, "-addext", "subjectAltName=DNS:" + host,
                              "-keyout", files.key.string(), "-out", files.certificate.string()});
  if (!made || !std::filesystem::exists(files.certificate)) return std::nullopt;
  return files;
}

NginxServer::NginxServer(const std::filesystem::path& root, std::chrono::seconds limit, std::optional<TlsFiles> tls)
    : tls_(std::move(tls)) {
  char tmpl[] = "/tmp/kv-nginx-XXXXXX";
  if (!::mkdtemp(tmpl)) return;
  prefix_ = tmpl;
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
  std::ofstream(conf) << Config(prefix_, root, port_, tls_);
  const std::string seconds = std::to_string(limit.count());
  std::vector<std::string> args = {"timeout", "-s", "TERM", "-k", "5", seconds, "/usr/sbin/nginx",
                                   "-c",      conf.string(), "-p", prefix_.string() + "/",
                                   "-e",      (prefix_ / "error.log").string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, "timeout", nullptr, nullptr, argv.data(), environ) != 0) return false;
  pid_ = pid;
  for (int i = 0; i < 200; ++i) {
    if (Accepts(port_)) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  Stop();
  return false;
}

void NginxServer::Stop() {
  if (pid_ <= 0) return;
  // `timeout` passes the signal on to nginx, whose master stops its worker.
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 200 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (::waitpid(pid_, &status, WNOHANG) == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
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
