#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>

#include "test_platform.hpp"

namespace kv::test {
namespace {

SOCKET Sock(SocketId s) { return static_cast<SOCKET>(s); }

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<u_short>(port));
  return addr;
}

SOCKET NewSocket() {
  StartWinsock();
  return WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
}

timeval Limit(int ms) {
  timeval t{};
  if (ms > 0) {
    t.tv_sec = ms / 1000;
    t.tv_usec = (ms % 1000) * 1000;
  }
  return t;
}

}  // namespace

SocketId LoopbackListen(int backlog, int& port) {
  const SOCKET s = NewSocket();
  if (s == INVALID_SOCKET) return kNoSocketId;
  sockaddr_in addr = Loopback(0);
  int len = sizeof addr;
  // Nobody else may take the same port while it is ours.
  const BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, backlog) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::closesocket(s);
    return kNoSocketId;
  }
  port = ntohs(addr.sin_port);
  return static_cast<SocketId>(s);
}

SocketId LoopbackAccept(SocketId listener, int ms) {
  if (SocketReadable(listener, ms) <= 0) return kNoSocketId;
  const SOCKET s = ::accept(Sock(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoSocketId : static_cast<SocketId>(s);
}

SocketId LoopbackConnect(int port) {
  const SOCKET s = NewSocket();
  if (s == INVALID_SOCKET) return kNoSocketId;
  const sockaddr_in addr = Loopback(port);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    ::closesocket(s);
    return kNoSocketId;
  }
  return static_cast<SocketId>(s);
}

int SocketReadable(SocketId s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Sock(s), &set);
  timeval limit = Limit(ms);
  const int n = ::select(0, &set, nullptr, nullptr, ms < 0 ? nullptr : &limit);
  return n == SOCKET_ERROR ? -1 : (n > 0 ? 1 : 0);
}

int SocketsReadable(SocketId a, SocketId b, int ms, bool ready[2]) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Sock(a), &set);
  FD_SET(Sock(b), &set);
  timeval limit = Limit(ms);
  const int n = ::select(0, &set, nullptr, nullptr, &limit);
  ready[0] = n > 0 && FD_ISSET(Sock(a), &set);
  ready[1] = n > 0 && FD_ISSET(Sock(b), &set);
  return n == SOCKET_ERROR ? -1 : (n > 0 ? 1 : 0);
}

long SocketSend(SocketId s, const char* data, std::size_t n) {
  const int want = n > 0x40000000 ? 0x40000000 : static_cast<int>(n);
  const int sent = ::send(Sock(s), data, want, 0);
  return sent == SOCKET_ERROR ? -1 : sent;
}

long SocketRecv(SocketId s, char* data, std::size_t n) {
  const int want = n > 0x40000000 ? 0x40000000 : static_cast<int>(n);
  const int got = ::recv(Sock(s), data, want, 0);
  return got == SOCKET_ERROR ? -1 : got;
}

void SocketShutdownSend(SocketId s) { ::shutdown(Sock(s), SD_SEND); }
void SocketClose(SocketId s) { ::closesocket(Sock(s)); }

void SocketReset(SocketId s) {
  linger l{1, 0};
  ::setsockopt(Sock(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  ::closesocket(Sock(s));
}

bool SocketNoDelay(SocketId s) {
  BOOL nodelay = FALSE;
  int len = sizeof nodelay;
  return ::getsockopt(Sock(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&nodelay), &len) == 0 &&
         nodelay != FALSE;
}

std::filesystem::path MakeTempFolder(std::string_view stem) {
  wchar_t base[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH, base) == 0) return {};
  static std::atomic<unsigned> serial{0};
  const std::wstring stemWide(stem.begin(), stem.end());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir =
        std::filesystem::path(base) / (stemWide + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(GetTickCount64() % 100000) + L"-" + std::to_wstring(serial++));
    if (CreateDirectoryW(dir.c_str(), nullptr)) return dir;
  }
  return {};
}

bool HeldOpen(const std::filesystem::path& file) {
  // A handle of ours that shares nothing less than everything keeps an
  // exclusive open out.
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

void SetEnvironment(const char* name, const char* value) {
  // Both the C library's copy and the process's own.
  _putenv_s(name, value ? value : "");
  SetEnvironmentVariableA(name, value);
}

}  // namespace kv::test

// The programs around a Windows test run under Wine are Linux ones: Wine's
// CreateProcessW hands an ELF program to the system and returns neither a
// handle nor its pid, so tests/native_launch.sh passes those through files.
#include <fstream>
#include <sstream>
#include <thread>

namespace kv::test {
namespace {

std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::wstring FromUtf8(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// Hands `args` to bash running the launcher; true when Wine passed it on.
bool Launch(std::vector<std::string> args) {
  args.insert(args.begin(), {"/bin/bash", KV_NATIVE_LAUNCHER});
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + Quote(a);
  std::wstring command = FromUtf8(line);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(L"Z:\\bin\\bash", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &info))
    return false;
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  return true;
}

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Waits up to `limit` for `file` to appear; its contents, or nullopt.
std::optional<std::string> AwaitFile(const std::filesystem::path& file, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) return ReadAll(file);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace

std::string NativePath(const std::filesystem::path& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  static const auto toUnix =
      reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* unix = toUnix(std::filesystem::absolute(path).c_str());
  if (!unix) return {};
  std::string out(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

long StartNative(const std::vector<std::string>& args, const std::filesystem::path& log) {
  const std::filesystem::path dir = MakeTempFolder("kv-native");
  if (dir.empty()) return -1;
  std::vector<std::string> launch = {"start", NativePath(dir / "pid"), NativePath(log)};
  launch.insert(launch.end(), args.begin(), args.end());
  long pid = -1;
  if (Launch(launch)) {
    if (const auto text = AwaitFile(dir / "pid", std::chrono::seconds(30))) pid = std::atol(text->c_str());
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return pid > 0 ? pid : -1;
}

bool NativeRunning(long pid) {
  if (pid <= 0) return false;
  // Wine's drive Z: is the root of the file system, /proc included.
  const std::string stat = ReadAll("Z:\\proc\\" + std::to_string(pid) + "\\stat");
  const std::size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

void StopNative(long pid, std::chrono::milliseconds grace) {
  if (pid <= 0) return;
  RunNative({"/bin/bash", KV_NATIVE_LAUNCHER, "stop", std::to_string(pid), std::to_string(grace.count())});
}

std::optional<std::string> RunNative(const std::vector<std::string>& args) {
  const std::filesystem::path dir = MakeTempFolder("kv-native");
  if (dir.empty()) return std::nullopt;
  std::vector<std::string> launch = {"run", NativePath(dir / "status"), NativePath(dir / "log")};
  launch.insert(launch.end(), args.begin(), args.end());
  std::optional<std::string> out;
  if (Launch(launch)) {
    const auto status = AwaitFile(dir / "status", std::chrono::seconds(90));
    if (status && std::atoi(status->c_str()) == 0) out = ReadAll(dir / "log");
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return out;
}

}  // namespace kv::test
