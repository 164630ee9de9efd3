#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "mail_socket.hpp"

namespace kv {

namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

bool ResolveIpv4(std::string_view host, in_addr& out) {
  const std::string name(host);
  if (inet_pton(AF_INET, name.c_str(), &out) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

bool Connect(int fd, const sockaddr_in& addr) {
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return true;
  if (errno != EINTR) return false;
  // Interrupted: the connect goes on in the background; wait for its outcome.
  pollfd p{fd, POLLOUT, 0};
  while (::poll(&p, 1, -1) < 0)
    if (errno != EINTR) return false;
  int error = 0;
  socklen_t len = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

SocketWait Wait(SocketHandle s, short events, int ms) {
  pollfd p{Fd(s), events, 0};
  const int ready = ::poll(&p, 1, ms < 0 ? 0 : ms);
  if (ready < 0) return errno == EINTR ? SocketWait::kNotYet : SocketWait::kFailed;
  if (ready == 0) return SocketWait::kNotYet;
  // An error or a hang-up is "ready": the next read or send tells which.
  return (p.revents & POLLNVAL) ? SocketWait::kFailed : SocketWait::kReady;
}

bool Busy(int error) { return error == EINTR || error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

bool StartSockets() { return true; }

SocketOpen OpenSocket(std::string_view host, int port, SocketHandle& out) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketOpen::kNoSocket;
  // Commands go out as they are written: no send buffering to speak of, and
  // no waiting for the peer's acknowledgement of the previous small write.
  const int zero = 0, one = 1;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &zero, sizeof zero);
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  const int flags = fcntl(fd, F_GETFL);
  if (!ResolveIpv4(host, addr.sin_addr) || !Connect(fd, addr) || flags < 0 ||
      fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    ::close(fd);
    return SocketOpen::kNotConnected;
  }
  out = fd;
  return SocketOpen::kOk;
}

SocketWait WaitReadable(SocketHandle s, int ms) { return Wait(s, POLLIN, ms); }
SocketWait WaitWritable(SocketHandle s, int ms) { return Wait(s, POLLOUT, ms); }

SocketIo SendSome(SocketHandle s, std::string_view data) {
  if (data.empty()) return {SocketIo::kMoved, 0};
  const ssize_t n = ::send(Fd(s), data.data(), data.size(), MSG_NOSIGNAL);
  if (n > 0) return {SocketIo::kMoved, static_cast<std::size_t>(n)};
  if (n < 0 && Busy(errno)) return {SocketIo::kNotYet};
  return {SocketIo::kFailed};
}

SocketIo RecvSome(SocketHandle s, char* buffer, std::size_t size) {
  const ssize_t n = ::recv(Fd(s), buffer, size, 0);
  if (n > 0) return {SocketIo::kMoved, static_cast<std::size_t>(n)};
  if (n == 0) return {SocketIo::kClosed};
  if (Busy(errno)) return {SocketIo::kNotYet};
  return {SocketIo::kFailed};
}

void CloseSocket(SocketHandle& s) {
  if (s != kNoSocket) ::close(Fd(s));
  s = kNoSocket;
}

Text LocalHostName() {
  char name[101] = {};
  if (gethostname(name, 100) != 0) return Text();
  name[100] = '\0';
  return name;
}

}  // namespace kv
