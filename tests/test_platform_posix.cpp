#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "test_platform.hpp"

namespace kv::test {
namespace {

int Fd(SocketId s) { return static_cast<int>(s); }

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  return addr;
}

}  // namespace

SocketId LoopbackListen(int backlog, int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocketId;
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return kNoSocketId;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

SocketId LoopbackAccept(SocketId listener, int ms) {
  if (SocketReadable(listener, ms) <= 0) return kNoSocketId;
  const int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocketId : fd;
}

SocketId LoopbackConnect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocketId;
  const sockaddr_in addr = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return kNoSocketId;
  }
  return fd;
}

int SocketReadable(SocketId s, int ms) {
  for (;;) {
    pollfd p{Fd(s), POLLIN, 0};
    const int ready = ::poll(&p, 1, ms);
    if (ready < 0 && errno == EINTR) continue;
    return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
  }
}

int SocketsReadable(SocketId a, SocketId b, int ms, bool ready[2]) {
  pollfd p[2] = {{Fd(a), POLLIN, 0}, {Fd(b), POLLIN, 0}};
  const int n = ::poll(p, 2, ms);
  for (int i = 0; i < 2; ++i) ready[i] = n > 0 && (p[i].revents & (POLLIN | POLLHUP | POLLERR));
  return n < 0 ? (errno == EINTR ? 0 : -1) : (n > 0 ? 1 : 0);
}

long SocketSend(SocketId s, const char* data, std::size_t n) {
  for (;;) {
    const ssize_t sent = ::send(Fd(s), data, n, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    return static_cast<long>(sent);
  }
}

long SocketRecv(SocketId s, char* data, std::size_t n) {
  for (;;) {
    const ssize_t got = ::recv(Fd(s), data, n, 0);
    if (got < 0 && errno == EINTR) continue;
    return static_cast<long>(got);
  }
}

void SocketShutdownSend(SocketId s) { ::shutdown(Fd(s), SHUT_WR); }
void SocketClose(SocketId s) { ::close(Fd(s)); }

void SocketReset(SocketId s) {
  linger l{1, 0};
  ::setsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(Fd(s));
}

bool SocketNoDelay(SocketId s) {
  int nodelay = 0;
  socklen_t len = sizeof nodelay;
  return ::getsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &nodelay, &len) == 0 && nodelay != 0;
}

std::filesystem::path MakeTempFolder(std::string_view stem) {
  std::string tmpl = "/tmp/" + std::string(stem) + "-XXXXXX";
  if (!::mkdtemp(tmpl.data())) return {};
  return tmpl;
}

bool HeldOpen(const std::filesystem::path& file) {
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(e.path(), ec) == file) return true;
  }
  return false;
}

void SetEnvironment(const char* name, const char* value) {
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace kv::test

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kv::test {
namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::string& log) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&files, 1, 2);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  return rc == 0 ? pid : -1;
}

}  // namespace

std::string NativePath(const std::filesystem::path& path) { return path.string(); }

long StartNative(const std::vector<std::string>& args, const std::filesystem::path& log) {
  return Spawn(args, log.string());
}

bool NativeRunning(long pid) {
  if (pid <= 0) return false;
  int status = 0;
  return ::waitpid(static_cast<pid_t>(pid), &status, WNOHANG) == 0;
}

void StopNative(long pid, std::chrono::milliseconds grace) {
  if (pid <= 0) return;
  const auto p = static_cast<pid_t>(pid);
  int status = 0;
  if (::waitpid(p, &status, WNOHANG) != 0) return;
  ::kill(p, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + grace;
  while (std::chrono::steady_clock::now() < end) {
    if (::waitpid(p, &status, WNOHANG) != 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(p, SIGKILL);
  ::waitpid(p, &status, 0);
}

std::optional<std::string> RunNative(const std::vector<std::string>& args) {
  const std::filesystem::path dir = MakeTempFolder("kv-native");
  if (dir.empty()) return std::nullopt;
  const std::string log = (dir / "log").string();
  std::optional<std::string> out;
  const pid_t pid = Spawn(args, log);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    std::ifstream in(log, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return out;
}

}  // namespace kv::test
