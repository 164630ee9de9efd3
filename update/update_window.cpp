#include "update_window.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "archive.hpp"
#include "byte_block.hpp"
#include "desktop.hpp"
#include "exit_cleanup.hpp"
#include "kelvaro_config.hpp"
#include "message_box.hpp"
#include "ui_thread.hpp"
#include "update_form.hpp"

extern const unsigned char kUpdateBackground[];
extern const std::size_t kUpdateBackgroundSize;

namespace kv {

using ui::UpdateForm;

// Program-wide state of the one download of a run. Written by StartUpdate
// before the worker starts; afterwards the worker reads the texts and the
// target, and the user-interface thread alone touches the window and the
// message boxes. The mutex guards the hand-over between the two threads.
struct DownloadContext {
  ui::Window* window = nullptr;
  Text sourceUrl;
  ArchiveTarget target;
  ReleaseCheck release;

  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<bool> cancel{false};  // the program is ending: stop and touch no control
  bool workerDone = false;
  int messagesPosted = 0;  // worker's message boxes, numbered from 1
  int messagesAnswered = 0;
};

namespace {

std::unique_ptr<ui::Window> updateWindow;         // lives until the program ends
std::shared_ptr<DownloadContext> downloadContext;  // user-interface thread only
UpdateSources updateSources;

// Queues `fn` for the user-interface thread unless the program is ending.
// Under the mutex, so the clean-up cannot pass while a hand-over is under way.
bool PostToUi(DownloadContext& context, std::function<void()> fn) {
  std::lock_guard lock(context.mutex);
  if (context.cancel) return false;
  ui::RunOnUiThread(std::move(fn));
  return true;
}

// Shows a message from the worker: an OK box that leaves the Update window
// usable, and waits for its OK (or for the end of the program). `afterOk`
// runs on the user-interface thread once OK was pressed.
void ShowAndWait(const std::shared_ptr<DownloadContext>& context, const Text& message,
                 std::function<void()> afterOk = {}) {
  std::unique_lock lock(context->mutex);
  if (context->cancel) return;
  const int number = ++context->messagesPosted;
  ui::ShowMessageModeless(message, kMessageCaption, [context, number, afterOk = std::move(afterOk)] {
    {
      std::lock_guard inner(context->mutex);
      if (context->cancel) return;
      context->messagesAnswered = number;
    }
    context->changed.notify_all();
    if (afterOk) afterOk();
  });
  context->changed.wait(lock, [&] { return context->messagesAnswered >= number || context->cancel; });
}

void RunDownload(std::shared_ptr<DownloadContext> context) {
  TransferLimits limits;
  limits.cancel = &context->cancel;
  const UpdateResult result = DownloadArchive(
      context->sourceUrl, context->target,
      [context](std::int32_t total, std::int32_t position, std::int32_t elapsed, std::int32_t received) {
        ProgressHandler(context, total, position, elapsed, received);
      },
      context->release, limits);
  // The update is done only when the archive is complete, verified and in
  // place; a failure (a signature that does not verify included) is told
  // before the worker ends, and nothing is opened.
  if (result.complete()) {
    ShowAndWait(context, kMsgDownloadComplete, [context] {
      ui::OpenFile(context->target.archive);
      EndProgram(0);
    });
  } else if (result.failed()) {
    ShowAndWait(context, result.message());
  }
  {
    std::lock_guard lock(context->mutex);
    context->workerDone = true;
  }
  context->changed.notify_all();
}

Text ByteCount(std::int32_t n) { return ToText(n) + "字节"; }

// This is the program's last window: closing it ends the program, so a
// running download stops and the worker's open messages go with the window.
void OnUpdateWindowClosed() {
  if (std::shared_ptr<DownloadContext> context = downloadContext) {
    {
      std::lock_guard lock(context->mutex);
      context->cancel = true;
    }
    context->changed.notify_all();
    ui::CloseModelessMessages();
  }
}

}  // namespace

UpdateSources UpdateSources::Installed() {
  return {config::kVersionUrl, config::kArchiveUrl, ui::ProgramFolder(), ui::DownloadsFolder(),
          {config::kCheckReleaseSignature, config::kReleaseKey}};
}

ui::Window* OpenUpdateWindow(const UpdateSources& sources) {
  if (updateWindow) return updateWindow.get();
  updateWindow = ui::Window::Create(UpdateForm::kDef);
  if (!updateWindow) return nullptr;
  updateSources = sources;
  if (const auto picture = BlockPayload(ByteBlock(kUpdateBackground, kUpdateBackgroundSize)))
    updateWindow->SetBackgroundPicture(*picture);
  updateWindow->OnClicked(UpdateForm::updateButton, [] { StartUpdate(); });
  updateWindow->OnClosed(OnUpdateWindowClosed);
  updateWindow->Show();
  return updateWindow.get();
}

void StartUpdate() {
  ui::Window* window = updateWindow.get();
  if (window == nullptr || !window->IsEnabled(UpdateForm::updateButton) || downloadContext) return;
  window->SetEnabled(UpdateForm::updateButton, false);

  auto context = std::make_shared<DownloadContext>();
  context->target = LocateArchive(updateSources.programDir, updateSources.downloadDir);
  context->window = window;
  context->sourceUrl = updateSources.archiveUrl;
  context->release = updateSources.release;
  downloadContext = context;
  RegisterExitCleanup([] { ReleaseDownloadContext(); });

  std::thread(RunDownload, std::move(context)).detach();
}

void ProgressHandler(const std::shared_ptr<DownloadContext>& context, std::int32_t total, std::int32_t position,
                     std::int32_t, std::int32_t) {
  PostToUi(*context, [context, total, position] {
    const auto units = [](std::int32_t bytes) { return static_cast<int>(static_cast<std::uint32_t>(bytes) / 10000); };
    ui::Window& w = *context->window;
    w.SetProgress(UpdateForm::progressBar, units(total), units(position));
    w.SetText(UpdateForm::sizeLabel, ByteCount(total));
    w.SetText(UpdateForm::doneLabel, ByteCount(position));
  });
}

void ReleaseDownloadContext() {
  std::shared_ptr<DownloadContext> context = std::move(downloadContext);
  downloadContext.reset();
  if (!context) return;
  std::unique_lock lock(context->mutex);
  context->cancel = true;
  context->changed.notify_all();
  // The transport looks at the flag every 100 ms, also while it waits.
  context->changed.wait_for(lock, std::chrono::seconds(5), [&] { return context->workerDone; });
}

}  // namespace kv
