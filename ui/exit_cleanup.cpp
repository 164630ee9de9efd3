#include "exit_cleanup.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

namespace kv {

namespace {

std::mutex cleanupMutex;
std::vector<std::function<void()>>& Steps() {
  static auto* steps = new std::vector<std::function<void()>>();  // outlives static destructors
  return *steps;
}
bool ran = false;

}  // namespace

void RegisterExitCleanup(std::function<void()> step) {
  std::lock_guard lock(cleanupMutex);
  Steps().push_back(std::move(step));
}

void RunExitCleanup() {
  std::vector<std::function<void()>> steps;
  {
    std::lock_guard lock(cleanupMutex);
    if (ran) return;
    ran = true;
    steps.swap(Steps());
  }
  for (auto& step : steps) {
    if (step) step();
  }
}

void InstallExitCleanup() {
  static const bool installed = [] { return std::atexit([] { RunExitCleanup(); }) == 0; }();
  (void)installed;
}

void EndProgram(int exitCode) {
  RunExitCleanup();
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

}  // namespace kv
