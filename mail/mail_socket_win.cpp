// The mail client's socket on Winsock 2: a non-blocking TCP socket once the
// connect is made, select() for the waits.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <string>

#include "mail_socket.hpp"

namespace kv {

namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

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

SocketWait Wait(SocketHandle s, bool forWriting, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Sock(s), &set);
  // A connection that failed shows in the exception set.
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(Sock(s), &failed);
  timeval limit{};
  if (ms > 0) {
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
  }
  const int ready = ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, &failed, &limit);
  if (ready == SOCKET_ERROR) return WSAGetLastError() == WSAEINTR ? SocketWait::kNotYet : SocketWait::kFailed;
  if (ready == 0) return SocketWait::kNotYet;
  // An error or a hang-up is "ready": the next read or send tells which.
  return SocketWait::kReady;
}

bool Busy(int error) { return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS; }

}  // namespace

bool StartSockets() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

SocketOpen OpenSocket(std::string_view host, int port, SocketHandle& out) {
  if (!StartSockets()) return SocketOpen::kNoSocket;
  const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return SocketOpen::kNoSocket;
  // Commands go out as they are written: no send buffering to speak of, and
  // no waiting for the peer's acknowledgement of the previous small write.
  const int zero = 0;
  const BOOL one = TRUE;
  setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&zero), sizeof zero);
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(port));
  u_long nonBlocking = 1;
  if (!ResolveIpv4(host, addr.sin_addr) ||
      ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == SOCKET_ERROR ||
      ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    ::closesocket(s);
    return SocketOpen::kNotConnected;
  }
  out = static_cast<SocketHandle>(s);
  return SocketOpen::kOk;
}

SocketWait WaitReadable(SocketHandle s, int ms) { return Wait(s, false, ms); }
SocketWait WaitWritable(SocketHandle s, int ms) { return Wait(s, true, ms); }

SocketIo SendSome(SocketHandle s, std::string_view data) {
  if (data.empty()) return {SocketIo::kMoved, 0};
  // Winsock raises no signal for a peer that has gone.
  const int want = data.size() > 0x40000000 ? 0x40000000 : static_cast<int>(data.size());
  const int n = ::send(Sock(s), data.data(), want, 0);
  if (n > 0) return {SocketIo::kMoved, static_cast<std::size_t>(n)};
  if (n == SOCKET_ERROR && Busy(WSAGetLastError())) return {SocketIo::kNotYet};
  return {SocketIo::kFailed};
}

SocketIo RecvSome(SocketHandle s, char* buffer, std::size_t size) {
  const int want = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
  const int n = ::recv(Sock(s), buffer, want, 0);
  if (n > 0) return {SocketIo::kMoved, static_cast<std::size_t>(n)};
  if (n == 0) return {SocketIo::kClosed};
  if (Busy(WSAGetLastError())) return {SocketIo::kNotYet};
  return {SocketIo::kFailed};
}

void CloseSocket(SocketHandle& s) {
  if (s != kNoSocket) ::closesocket(Sock(s));
  s = kNoSocket;
}

Text LocalHostName() {
  if (!StartSockets()) return Text();
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return Text();
  name[100] = '\0';
  return name;
}

}  // namespace kv
