// The two folders an update may write to: the one that holds the program's
// executable, and the user's download folder.
#pragma once

#include <filesystem>

namespace kv {

// The folder of the running executable; empty when the system cannot tell.
std::filesystem::path ProgramFolder();

// The user's download folder (it may not exist yet).
std::filesystem::path DownloadsFolder();

}  // namespace kv
