// A second program that takes an archive folder, for the tests of two
// processes downloading into one folder on Windows (POSIX forks instead):
//   folder_lock_holder FOLDER READY_FILE
// Writes "y" (held) or "n" to READY_FILE, then holds the folder until it is
// ended, or for 30 s at most.
#include <windows.h>

#include <fstream>

#include "archive_file.hpp"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const auto lock = kv::FolderLock::TryTake(argv[1]);
  {
    std::ofstream ready(std::string(argv[2]) + ".tmp", std::ios::binary);
    ready << (lock ? "y" : "n");
  }
  MoveFileExA((std::string(argv[2]) + ".tmp").c_str(), argv[2], MOVEFILE_REPLACE_EXISTING);
  Sleep(30000);
  return 0;
}
