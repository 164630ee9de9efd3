// Exit clean-up: what the program releases when it ends, however it ends
// (last window closed, EndProgram, FatalError, return from main).
#pragma once

#include <functional>

namespace kv {

// Adds a step; steps run in the order they were registered, once. Each step
// must cope with state that was never created.
void RegisterExitCleanup(std::function<void()> step);

// Runs the registered steps (only the first call does anything). Also
// registered with std::atexit by InstallExitCleanup.
void RunExitCleanup();

// Registers RunExitCleanup with std::atexit (once).
void InstallExitCleanup();

// Ends the program at once with `exitCode`: runs the exit clean-up, flushes
// the standard streams and ends the process without unwinding.
[[noreturn]] void EndProgram(int exitCode);

}  // namespace kv
