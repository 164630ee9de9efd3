// Runs update_gui_driver as a child process: the program ends itself with exit
// codes, so the prompt and the Update window are driven from outside.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace kv::test {

struct Child {
  int exitCode = -1;  // -1 when it had to be killed
  std::string out;    // its standard output
  std::chrono::milliseconds took{0};

  bool Has(const std::string& line) const { return out.find(line + "\n") != std::string::npos; }
};

// Runs the driver for at most `limit`, its files limited to `maxFileBytes`
// bytes (0: no limit), collecting its standard output.
inline Child RunDriver(std::vector<std::string> args, std::chrono::seconds limit = std::chrono::seconds(20),
                       rlim_t maxFileBytes = 0) {
  args.insert(args.begin(), KV_UPDATE_GUI_DRIVER);
  Child child;
  int out[2];
  if (::pipe(out) != 0) return child;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out[0]);
    ::close(out[1]);
    return child;
  }
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (maxFileBytes != 0) {
      // Ignored signals stay ignored across exec: a write past the limit fails
      // with EFBIG instead of ending the driver.
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit fileLimit{maxFileBytes, maxFileBytes};
      if (::setrlimit(RLIMIT_FSIZE, &fileLimit) != 0) ::_exit(126);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  const auto deadline = start + limit;
  char buf[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    child.out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) ::usleep(10000);
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return child;
  }
  child.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  if (WIFEXITED(status)) child.exitCode = WEXITSTATUS(status);
  return child;
}

}  // namespace kv::test
