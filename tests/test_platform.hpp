// What the tests' peers and fixtures need of the system, one implementation
// per platform (test_platform_posix.cpp, test_platform_win.cpp): loopback
// sockets, temporary folders, environment variables, open-file checks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace kv::test {

// A socket of the platform, wide enough for every platform's handle.
using SocketId = std::intptr_t;
inline constexpr SocketId kNoSocketId = -1;

// A TCP socket listening on 127.0.0.1 at a port the system picks (`port`).
SocketId LoopbackListen(int backlog, int& port);
// The next connection to `listener`, waiting at most `ms`; kNoSocketId after
// the wait or on failure.
SocketId LoopbackAccept(SocketId listener, int ms);
// A blocking connection to 127.0.0.1:`port`; kNoSocketId when refused.
SocketId LoopbackConnect(int port);
// 1 when `s` can be read (or the peer closed), 0 after `ms`, -1 on failure.
int SocketReadable(SocketId s, int ms);
// The same for two sockets at once; `ready` says which.
int SocketsReadable(SocketId a, SocketId b, int ms, bool ready[2]);
// One send or receive call: the count moved, 0 when the peer closed (receive),
// -1 on failure. A peer that has gone never raises a signal.
long SocketSend(SocketId s, const char* data, std::size_t n);
long SocketRecv(SocketId s, char* data, std::size_t n);
void SocketShutdownSend(SocketId s);
void SocketClose(SocketId s);
// Ends the connection with a TCP reset instead of an orderly close.
void SocketReset(SocketId s);
// Whether TCP_NODELAY is set on `s`.
bool SocketNoDelay(SocketId s);

// A new empty folder under the system's temporary folder, its name starting
// with `stem`; empty on failure.
std::filesystem::path MakeTempFolder(std::string_view stem);
// Whether this process holds `file` open.
bool HeldOpen(const std::filesystem::path& file);
// Sets an environment variable; a null `value` removes it.
void SetEnvironment(const char* name, const char* value);

}  // namespace kv::test

#include <optional>
#include <string>
#include <vector>

namespace kv::test {

// Programs of the machine under the tests (for a Windows build run under
// Wine, the Linux programs around it, started through Wine). `args[0]` is
// the program's full path there.

// Starts a program with its output going to `log`; its pid, or -1.
long StartNative(const std::vector<std::string>& args, const std::filesystem::path& log);
// Whether the program started as `pid` still runs.
bool NativeRunning(long pid);
// Ends it by its pid: SIGTERM, SIGKILL after `grace`; waits until it has gone.
void StopNative(long pid, std::chrono::milliseconds grace = std::chrono::milliseconds(5000));
// Runs a program that ends by itself and waits for it; its output when it
// exited with 0, else nullopt.
std::optional<std::string> RunNative(const std::vector<std::string>& args);
// A path of this process's as those programs name it.
std::string NativePath(const std::filesystem::path& path);

}  // namespace kv::test
