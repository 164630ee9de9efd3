#include "downloader.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string_view>

namespace kv {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One run of DownloadFile: the rules for the final answer and its body, above
// the transport.
class Download : public HttpReceiver {
 public:
  Download(const std::filesystem::path& path, const DownloadHandler& handler, std::int32_t start, bool resume,
           const TransferLimits& limits)
      : path_(path), handler_(handler), start_(start), resume_(resume), limits_(limits) {}

  ~Download() override { CloseFile(); }

  UpdateResult Run(const Text& url);

 private:
  bool OnAnswer(const HttpAnswer& answer) override;
  bool OnBody(const char* data, std::size_t n) override;

  bool WriteChunk(const char* data, std::size_t n);
  bool CloseFile();
  UpdateResult Fail(const char* message);

  const std::filesystem::path& path_;
  const DownloadHandler& handler_;
  const std::int32_t start_;
  const bool resume_;
  const TransferLimits& limits_;

  // The accepted answer and the local file.
  bool accepted_ = false;
  bool restart_ = false;
  int fd_ = -1;
  long long content_length_ = -1;
  std::uint32_t total_ = 0;
  std::int64_t position_ = 0;
  std::int64_t received_ = 0;
  std::chrono::steady_clock::time_point started_;
  const char* failure_ = nullptr;
};

// The final answer is accepted or refused here; accepting it opens the local
// file, so a refused answer leaves no file.
bool Download::OnAnswer(const HttpAnswer& answer) {
  // Any coding but identity would land in the file still coded.
  const bool coded = !answer.content_encoding.empty() && !EqualsNoCase(answer.content_encoding, "identity");
  if (answer.status < 200 || answer.status >= 300 || coded) {
    failure_ = kMsgCannotOpenUrl;
    return false;
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (resume_ ? 0 : O_TRUNC);
  fd_ = ::open(path_.c_str(), flags, 0644);
  if (fd_ < 0) {
    failure_ = kMsgCannotOpenFile;
    return false;
  }
  if (resume_ && ::lseek(fd_, 0, SEEK_END) < 0) {
    CloseFile();
    failure_ = kMsgCannotOpenFile;
    return false;
  }
  // A server that ignores the range sends the whole resource with 200; added
  // to the bytes already there it would corrupt the file, so its first byte
  // starts the file anew.
  restart_ = resume_ && start_ != 0 && answer.status == 200;
  accepted_ = true;
  position_ = resume_ ? start_ : 0;
  const bool chunked = !answer.transfer_encoding.empty();
  if (answer.content_length && !chunked) content_length_ = *answer.content_length;
  total_ = content_length_ >= 0 ? static_cast<std::uint32_t>(content_length_) : 0;
  started_ = std::chrono::steady_clock::now();
  return true;
}

bool Download::OnBody(const char* data, std::size_t n) {
  // One block of received bytes, read in chunks of at most 10240 bytes: each
  // chunk is written once and reported once.
  for (std::size_t done = 0; done < n;) {
    const std::size_t chunk = n - done < kDownloadChunk ? n - done : kDownloadChunk;
    if (!WriteChunk(data + done, chunk)) return false;
    done += chunk;
  }
  return true;
}

bool Download::WriteChunk(const char* data, std::size_t n) {
  if (fd_ < 0) {
    // More bytes than the announced length, after the file was closed.
    failure_ = kMsgReadError;
    return false;
  }
  if (restart_) {
    restart_ = false;
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
      CloseFile();
      failure_ = kMsgWriteError;
      return false;
    }
    position_ = 0;
  }
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(fd_, data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      CloseFile();
      failure_ = kMsgWriteError;
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  position_ += static_cast<std::int64_t>(n);
  received_ += static_cast<std::int64_t>(n);
  // The whole body is here: the file is complete on disk and closed before
  // anybody is told, so the handler may hand it on at once.
  if (content_length_ >= 0 && received_ == content_length_ && !CloseFile()) {
    failure_ = kMsgWriteError;
    return false;
  }
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_)
                     .count();
  const auto elapsed32 = static_cast<std::int32_t>(elapsed);
  if (handler_) {
    handler_(static_cast<std::int32_t>(total_), static_cast<std::int32_t>(position_),
             elapsed32 == 0 ? 10 : elapsed32, static_cast<std::int32_t>(received_));
  }
  return true;
}

bool Download::CloseFile() {
  if (fd_ < 0) return true;
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0;
}

UpdateResult Download::Fail(const char* message) {
  CloseFile();
  return UpdateResult::Failed(message);
}

UpdateResult Download::Run(const Text& url) {
  HttpGet request;
  request.url = url;
  std::string_view text(kDownloadHeaders);
  while (true) {
    const std::size_t cut = text.find("\r\n");
    request.headers.emplace_back(text.substr(0, cut));
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 2);
  }
  request.headers.emplace_back(kNoCacheHeader);
  if (resume_) request.headers.push_back("Range:bytes=" + std::to_string(start_) + "-");
  request.limits = limits_;

  switch (RunHttpGet(request, *this)) {
    case TransferEnd::kCancelled:
      CloseFile();
      return UpdateResult::Cancelled();
    case TransferEnd::kNoClient:
      return Fail(kMsgInternetError);
    case TransferEnd::kNoAnswer:
      return Fail(kMsgCannotOpenUrl);
    case TransferEnd::kBroken:
      return Fail(failure_ ? failure_ : kMsgReadError);
    case TransferEnd::kStopped:
      return Fail(failure_ ? failure_ : kMsgReadError);
    case TransferEnd::kEnded:
      break;
  }
  const bool whole = content_length_ >= 0 && received_ == content_length_;
  if (!CloseFile()) return Fail(kMsgWriteError);
  return whole ? UpdateResult::Complete() : UpdateResult::Done();
}

}  // namespace

UpdateResult DownloadFile(const Text& url, const std::filesystem::path& path, const DownloadHandler& handler,
                          std::int32_t start, bool resume, const TransferLimits& limits) {
  Download run(path, handler, start, resume, limits);
  return run.Run(url);
}

}  // namespace kv
