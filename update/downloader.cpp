#include "downloader.hpp"

#include <chrono>
#include <optional>
#include <string_view>

#include "content_range.hpp"

namespace kv {
namespace {

bool StartsWithNoCase(std::string_view a, std::string_view b) {
  if (a.size() < b.size()) return false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One run of a download: the rules for the final answer and its body, above
// the transport.
class Download : public HttpReceiver {
 public:
  Download(const FileOpener& open, std::unique_ptr<ArchiveFile>& file, const DownloadHandler& handler,
           std::int32_t start, bool resume)
      : open_(open), file_(file), handler_(handler), start_(start), resume_(resume) {}

  UpdateResult Run(const Text& url, const TransferLimits& limits);

 private:
  bool OnAnswer(const HttpAnswer& answer) override;
  bool OnBody(const char* data, std::size_t n) override;
  bool WriteChunk(const char* data, std::size_t n);

  const FileOpener& open_;
  std::unique_ptr<ArchiveFile>& file_;
  const DownloadHandler& handler_;
  const std::int32_t start_;
  const bool resume_;

  std::optional<std::int64_t> body_length_;    // what the body holds, when known
  std::optional<std::int64_t> resource_size_;  // what the whole resource holds, when known
  std::uint32_t total_ = 0;
  std::int64_t position_ = 0;
  std::int64_t received_ = 0;
  std::chrono::steady_clock::time_point started_;
  const char* failure_ = nullptr;
};

// The final answer is accepted or refused here; accepting it opens the local
// file, so a refused answer leaves no file.
bool Download::OnAnswer(const HttpAnswer& answer) {
  // Several ranges in one body are no archive.
  const bool multipart = StartsWithNoCase(answer.content_type, "multipart/byteranges");
  if (answer.status < 200 || answer.status >= 300 || HasContentCoding(answer) || multipart) {
    failure_ = kMsgCannotOpenUrl;
    return false;
  }
  const bool chunked = !answer.transfer_encoding.empty();
  const std::optional<std::int64_t> length = chunked ? std::nullopt : answer.content_length;
  // Any answer but 206 carries the whole resource (a server that ignores the
  // range, an empty resource): added to the bytes already there it would
  // corrupt the file, so it starts the file anew.
  const bool whole = answer.status != 206;
  if (whole) {
    body_length_ = length;
    resource_size_ = length;
  } else {
    // A part must begin with the byte asked for and say how long the
    // resource is; its body is as long as the range.
    const std::int64_t wanted = resume_ ? start_ : 0;
    const std::optional<ContentRange> range = ParseContentRange(answer.content_range);
    if (!range || range->first != wanted || (length && *length != range->length())) {
      failure_ = kMsgCannotOpenUrl;
      return false;
    }
    body_length_ = range->length();
    resource_size_ = range->complete;
  }
  file_ = open_();
  if (!file_) {
    failure_ = kMsgCannotOpenFile;
    return false;
  }
  // The part goes right behind the bytes before `start`, which the file must hold.
  const std::optional<std::int64_t> held = file_->Size();
  const std::int64_t at = whole ? 0 : (resume_ ? start_ : 0);
  if (!held || *held < at || !file_->Resize(at)) {
    failure_ = kMsgCannotOpenFile;
    return false;
  }
  position_ = at;
  total_ = length ? static_cast<std::uint32_t>(*length) : 0;
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
  if (body_length_ && received_ + static_cast<std::int64_t>(n) > *body_length_) {
    // More bytes than the announced length.
    failure_ = kMsgReadError;
    return false;
  }
  if (!file_->Write(data, n)) {
    failure_ = kMsgWriteError;
    return false;
  }
  position_ += static_cast<std::int64_t>(n);
  received_ += static_cast<std::int64_t>(n);
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_)
                     .count();
  const auto elapsed32 = static_cast<std::int32_t>(elapsed);
  if (handler_) {
    handler_(static_cast<std::int32_t>(total_), static_cast<std::int32_t>(position_),
             elapsed32 == 0 ? 10 : elapsed32, static_cast<std::int32_t>(received_));
  }
  return true;
}

UpdateResult Download::Run(const Text& url, const TransferLimits& limits) {
  HttpGet request;
  request.url = url;
  request.headers = DownloadHeaderLines();
  if (resume_) request.headers.push_back("Range:bytes=" + std::to_string(start_) + "-");
  request.limits = limits;

  switch (RunHttpGet(request, *this)) {
    case TransferEnd::kCancelled:
      return UpdateResult::Cancelled();
    case TransferEnd::kNoClient:
      return UpdateResult::Failed(kMsgInternetError);
    case TransferEnd::kNoAnswer:
      return UpdateResult::Failed(kMsgCannotOpenUrl);
    case TransferEnd::kBroken:
    case TransferEnd::kStopped:
      return UpdateResult::Failed(failure_ ? failure_ : kMsgReadError);
    case TransferEnd::kEnded:
      break;
  }
  // Complete means the bytes on disk are the whole resource; an answer that
  // ended cleanly with fewer leaves what it brought and completes nothing.
  if (!resource_size_) return UpdateResult::Done();
  const std::optional<std::int64_t> held = file_ ? file_->Size() : std::nullopt;
  if (!held || *held != *resource_size_) return UpdateResult::Failed(kMsgReadError);
  return UpdateResult::Complete();
}

}  // namespace

std::vector<std::string> DownloadHeaderLines() {
  std::vector<std::string> lines;
  std::string_view text(kDownloadHeaders);
  while (true) {
    const std::size_t cut = text.find("\r\n");
    lines.emplace_back(text.substr(0, cut));
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 2);
  }
  lines.emplace_back(kNoCacheHeader);
  return lines;
}

bool HasContentCoding(const HttpAnswer& answer) {
  // Any coding but identity would land in the file still coded.
  return !answer.content_encoding.empty() &&
         !(answer.content_encoding.size() == 8 && StartsWithNoCase(answer.content_encoding, "identity"));
}

UpdateResult DownloadInto(const Text& url, const FileOpener& open, std::unique_ptr<ArchiveFile>& file,
                          const DownloadHandler& handler, std::int32_t start, bool resume,
                          const TransferLimits& limits) {
  file.reset();
  Download run(open, file, handler, start, resume);
  return run.Run(url, limits);
}

UpdateResult DownloadFile(const Text& url, const std::filesystem::path& path, const DownloadHandler& handler,
                          std::int32_t start, bool resume, const TransferLimits& limits) {
  std::unique_ptr<ArchiveFile> file;
  UpdateResult result = DownloadInto(url, [&] { return ArchiveFile::Open(path, !resume); }, file, handler, start, resume, limits);
  // The bytes are in the file once it is closed; a close that fails lost some.
  if (file && !file->Close() && result.ended()) return UpdateResult::Failed(kMsgWriteError);
  return result;
}

}  // namespace kv
