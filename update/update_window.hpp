// The Update window: shows the archive's size, the bytes downloaded so far and
// a progress bar, and its button 立即更新 downloads the release archive on a
// worker thread. The window's controls are touched only on the
// user-interface thread; the worker hands every change and every message over
// to it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "archive.hpp"
#include "kelvaro_config.hpp"
#include "text.hpp"
#include "window.hpp"

namespace kv {

// Where an update comes from and where it may go.
struct UpdateSources {
  Text versionUrl;                    // the version page (GBK)
  Text archiveUrl;                    // the release archive (GBK)
  std::filesystem::path programDir;   // the executable's folder: the archive's place
  std::filesystem::path downloadDir;  // the user's download folder: the fallback
  // What the archive must pass before it is opened: the compiled-in key
  // unless a test gives its own.
  ReleaseCheck release{config::kCheckReleaseSignature, config::kReleaseKey};

  // The built-in addresses and release key, the executable's folder and the
  // desktop's download folder.
  static UpdateSources Installed();
};

// Opens the Update window modeless, without owner, centred on the screen. It
// lives until the program ends; closing it ends the program (it is the last
// window) and stops a running download. Null when it cannot be built.
ui::Window* OpenUpdateWindow(const UpdateSources& sources);

// 按钮1 clicked: disables the button and starts the one download of this run.
void StartUpdate();

struct DownloadContext;

// The download's handler, on the worker thread after every chunk: bar maximum
// and size label from total, bar position and done label from position (the
// bar in units of 10000 bytes). It only shows the numbers: the update is
// finished (下载完成!, the desktop opens the archive, the program ends with
// exit code 0) once the download says the archive is complete and in place.
void ProgressHandler(const std::shared_ptr<DownloadContext>& context, std::int32_t total, std::int32_t position,
                     std::int32_t elapsed, std::int32_t received);

// Exit clean-up step: stops a running download (waiting briefly for the worker
// to leave it) and releases the download context. Does nothing when no
// download was started.
void ReleaseDownloadContext();

}  // namespace kv
