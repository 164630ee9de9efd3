// The program's start-up against a version page of the test's choosing, so a
// test can watch how start-up ends:
//   startup_driver <version url>
// Prints "clean-up ran" when the exit clean-up runs.
#include <cstdio>

#include "check_version.hpp"
#include "exit_cleanup.hpp"
#include "startup.hpp"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  kv::SetUpdateSourcesForTesting(kv::UpdateSources{argv[1], "", "", ""});
  kv::RegisterExitCleanup([] {
    std::puts("clean-up ran");
    std::fflush(stdout);
  });
  int programArgs = 1;
  return kv::RunProgram(programArgs, argv);
}
