#include "update_window.hpp"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "archive.hpp"
#include "message_box.hpp"
#include "byte_block.hpp"
#include "desktop.hpp"
#include "exit_cleanup.hpp"
#include "gbk.hpp"
#include "kelvaro_config.hpp"
#include "ui_thread.hpp"
#include "update_form.hpp"

extern const unsigned char kUpdateBackground[];
extern const std::size_t kUpdateBackgroundSize;

namespace kv {

// Program-wide state of the one download of a run. Written by StartUpdate
// before the worker starts; afterwards the worker reads the texts and the
// target, and the user-interface thread alone touches the controls and the
// message boxes. The mutex guards the hand-over between the two threads.
struct DownloadContext {
  QPointer<QLabel> sizeLabel;
  QPointer<QLabel> doneLabel;
  QPointer<QProgressBar> bar;
  Text sourceUrl;
  ArchiveTarget target;

  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<bool> cancel{false};  // the program is ending: stop and touch no widget
  bool workerDone = false;
  int messagesPosted = 0;  // worker's message boxes, numbered from 1
  int messagesAnswered = 0;
  std::vector<QPointer<QMessageBox>> boxes;  // user-interface thread only
};

namespace {

std::shared_ptr<DownloadContext> downloadContext;  // user-interface thread only

// Queues `fn` for the user-interface thread unless the program is ending.
// Under the mutex, so the clean-up cannot pass while a hand-over is under way.
bool PostToUi(DownloadContext& context, std::function<void()> fn) {
  std::lock_guard lock(context.mutex);
  if (context.cancel) return false;
  ui::RunOnUiThread(std::move(fn));
  return true;
}

// Shows a message from the worker: an OK box without owner that leaves the
// Update window usable, and waits for its OK (or for the end of the program).
// `afterOk` runs on the user-interface thread once OK was pressed.
void ShowAndWait(const std::shared_ptr<DownloadContext>& context, const Text& message,
                 std::function<void()> afterOk = {}) {
  std::unique_lock lock(context->mutex);
  if (context->cancel) return;
  const int number = ++context->messagesPosted;
  ui::RunOnUiThread([context, message, number, afterOk = std::move(afterOk)] {
    QMessageBox* box = ui::CreateMessageBox(message, kMessageCaption);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, [context, number, afterOk] {
      {
        std::lock_guard inner(context->mutex);
        if (context->cancel) return;
        context->messagesAnswered = number;
      }
      context->changed.notify_all();
      if (afterOk) afterOk();
    });
    context->boxes.emplace_back(box);
    box->show();
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
      limits);
  // The update is done only when the archive is complete and in place; a
  // failure is told before the worker ends.
  if (result.complete()) {
    ShowAndWait(context, kMsgDownloadComplete, [context] {
      ui::OpenLocalFile(context->target.archive.string());
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

std::filesystem::path FsPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

UpdateSources UpdateSources::Installed() {
  QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (downloads.isEmpty()) downloads = QDir::homePath() + QStringLiteral("/Downloads");
  return {config::kVersionUrl, config::kArchiveUrl, FsPath(QCoreApplication::applicationDirPath()),
          FsPath(downloads)};
}

UpdateWindow::UpdateWindow(UpdateSources sources, QWidget* parent)
    : QWidget(parent), sources_(std::move(sources)) {
  if (const auto block = BlockPayload(ByteBlock(kUpdateBackground, kUpdateBackgroundSize))) {
    background_.loadFromData(block->data(), static_cast<uint>(block->size()));
  }
  if (!ui::BuildWindow(ui::UpdateForm(), this)) return;
  QPushButton* button = ui::FindButton(this, "按钮1");
  if (button == nullptr || ui::FindLabel(this, "透明标签3") == nullptr ||
      ui::FindLabel(this, "透明标签4") == nullptr || ui::FindProgressBar(this, "进度条1") == nullptr)
    return;
  connect(button, &QPushButton::clicked, this, [this] { StartUpdate(); });
  loaded_ = true;
}

void UpdateWindow::StartUpdate() {
  QPushButton* button = ui::FindButton(this, "按钮1");
  if (!loaded_ || !button->isEnabled() || downloadContext) return;
  button->setEnabled(false);

  auto context = std::make_shared<DownloadContext>();
  context->target = LocateArchive(sources_.programDir, sources_.downloadDir);
  context->sizeLabel = ui::FindLabel(this, "透明标签3");
  context->doneLabel = ui::FindLabel(this, "透明标签4");
  context->bar = ui::FindProgressBar(this, "进度条1");
  context->sourceUrl = sources_.archiveUrl;
  downloadContext = context;
  RegisterExitCleanup([] { ReleaseDownloadContext(); });

  std::thread(RunDownload, std::move(context)).detach();
}

void UpdateWindow::paintEvent(QPaintEvent* event) {
  if (!background_.isNull()) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
  }
  QWidget::paintEvent(event);
}

void UpdateWindow::closeEvent(QCloseEvent* event) {
  // This is the program's last window: closing it ends the program, so a
  // running download stops and the worker's open messages go with the window.
  if (std::shared_ptr<DownloadContext> context = downloadContext) {
    {
      std::lock_guard lock(context->mutex);
      context->cancel = true;
    }
    context->changed.notify_all();
    for (const QPointer<QMessageBox>& box : context->boxes) {
      if (box) box->close();
    }
  }
  QWidget::closeEvent(event);
}

UpdateWindow* OpenUpdateWindow(const UpdateSources& sources) {
  auto* window = new UpdateWindow(sources);
  window->setAttribute(Qt::WA_DeleteOnClose);
  ui::CentreOnScreen(window, ui::UpdateForm());
  window->show();
  return window;
}

void ProgressHandler(const std::shared_ptr<DownloadContext>& context, std::int32_t total, std::int32_t position,
                     std::int32_t, std::int32_t) {
  PostToUi(*context, [context, total, position] {
    const auto units = [](std::int32_t bytes) { return static_cast<int>(static_cast<std::uint32_t>(bytes) / 10000); };
    if (context->bar) context->bar->setMaximum(units(total));
    if (context->sizeLabel) context->sizeLabel->setText(ui::FromGbk(ByteCount(total)));
    if (context->bar) context->bar->setValue(units(position));
    if (context->doneLabel) context->doneLabel->setText(ui::FromGbk(ByteCount(position)));
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
