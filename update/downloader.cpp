#include "downloader.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <string_view>

namespace kv {
namespace {

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = line[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// One run of DownloadFile.
class Download {
 public:
  Download(const std::filesystem::path& path, const DownloadHandler& handler, std::int32_t start, bool resume,
           const DownloadOptions& options)
      : path_(path), handler_(handler), start_(start), resume_(resume), options_(options), watch_(options.limits) {}

  ~Download() { CloseFile(); }

  int Run(const Text& url);

 private:
  static std::size_t OnHeader(char* data, std::size_t, std::size_t n, void* self);
  static std::size_t OnBody(char* data, std::size_t, std::size_t n, void* self);

  bool HeadersEnded();
  bool WriteChunk(const char* data, std::size_t n);
  bool CloseFile();
  int Fail(const char* message);

  const std::filesystem::path& path_;
  const DownloadHandler& handler_;
  const std::int32_t start_;
  const bool resume_;
  const DownloadOptions& options_;
  detail::TransferWatch watch_;
  CURL* curl_ = nullptr;

  // The answer whose headers are being read (a redirect starts a new one).
  bool has_location_ = false;
  bool chunked_ = false;
  bool coded_ = false;
  long long content_length_ = -1;

  // The accepted answer and the local file.
  bool accepted_ = false;
  bool restart_ = false;
  int fd_ = -1;
  std::uint32_t total_ = 0;
  std::int64_t position_ = 0;
  std::int64_t received_ = 0;
  std::chrono::steady_clock::time_point started_;
  const char* failure_ = nullptr;
};

std::size_t Download::OnHeader(char* data, std::size_t, std::size_t n, void* self) {
  auto* d = static_cast<Download*>(self);
  d->watch_.Touch();
  const std::string_view line(data, n);
  if (StartsWithNoCase(line, "HTTP/")) {
    d->has_location_ = d->chunked_ = d->coded_ = false;
    d->content_length_ = -1;
  } else if (StartsWithNoCase(line, "Location:")) {
    d->has_location_ = !Trim(line.substr(9)).empty();
  } else if (StartsWithNoCase(line, "Content-Length:")) {
    const std::string_view v = Trim(line.substr(15));
    long long value = -1;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    d->content_length_ = (ec == std::errc() && end == v.data() + v.size() && value >= 0) ? value : -1;
  } else if (StartsWithNoCase(line, "Transfer-Encoding:")) {
    d->chunked_ = true;
  } else if (StartsWithNoCase(line, "Content-Encoding:")) {
    // Any coding but identity would land in the file still coded.
    const std::string_view v = Trim(line.substr(17));
    if (!v.empty() && !(v.size() == 8 && StartsWithNoCase(v, "identity"))) d->coded_ = true;
  } else if (Trim(line).empty()) {
    return d->HeadersEnded() ? n : 0;
  }
  return n;
}

// The headers of one answer are complete. Interim answers and redirects that
// libcurl follows pass by; the final answer is accepted or refused here, and
// accepting it opens the local file.
bool Download::HeadersEnded() {
  if (accepted_) return true;
  long status = 0;
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 100 && status < 200) return true;
  if (status >= 300 && status < 400 && has_location_) return true;
  if (status < 200 || status >= 300 || coded_) {
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
  restart_ = resume_ && start_ != 0 && status == 200;
  accepted_ = true;
  position_ = resume_ ? start_ : 0;
  total_ = (content_length_ >= 0 && !chunked_) ? static_cast<std::uint32_t>(content_length_) : 0;
  if (chunked_) content_length_ = -1;
  started_ = std::chrono::steady_clock::now();
  return true;
}

std::size_t Download::OnBody(char* data, std::size_t, std::size_t n, void* self) {
  auto* d = static_cast<Download*>(self);
  d->watch_.Touch();
  // A body without accepted headers is one libcurl did not follow on from.
  if (!d->accepted_ && !d->HeadersEnded()) return CURL_WRITEFUNC_ERROR;
  // One block of received bytes, read in chunks of at most 10240 bytes: each
  // chunk is written once and reported once.
  for (std::size_t done = 0; done < n;) {
    const std::size_t chunk = n - done < kDownloadChunk ? n - done : kDownloadChunk;
    if (!d->WriteChunk(data + done, chunk)) return CURL_WRITEFUNC_ERROR;
    done += chunk;
  }
  return n;
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

int Download::Fail(const char* message) {
  CloseFile();
  if (message && options_.message) options_.message(message);
  return -1;
}

int Download::Run(const Text& url) {
  detail::EnsureCurlReady();
  curl_ = curl_easy_init();
  if (!curl_) return Fail(kMsgInternetError);
  struct Cleanup {
    CURL* c;
    curl_slist* headers = nullptr;
    ~Cleanup() {
      curl_slist_free_all(headers);
      curl_easy_cleanup(c);
    }
  } cleanup{curl_};

  std::string_view text(kDownloadHeaders);
  while (true) {
    const std::size_t cut = text.find("\r\n");
    const std::string line(text.substr(0, cut));
    curl_slist* list = curl_slist_append(cleanup.headers, line.c_str());
    if (!list) return Fail(kMsgInternetError);
    cleanup.headers = list;
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 2);
  }
  std::string extra[2] = {kNoCacheHeader, {}};
  if (resume_) extra[1] = "Range:bytes=" + std::to_string(start_) + "-";
  for (const std::string& line : extra) {
    if (line.empty()) continue;
    curl_slist* list = curl_slist_append(cleanup.headers, line.c_str());
    if (!list) return Fail(kMsgInternetError);
    cleanup.headers = list;
  }

  if (url.find('\0') != Text::npos) return Fail(kMsgCannotOpenUrl);
  curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, cleanup.headers);
  // libcurl takes from the socket in blocks of up to 100 KiB, as an HTTP
  // client buffers; each block is read from in chunks of at most 10240 bytes
  // (OnBody). Socket reads of one chunk each cost a fifth of the throughput.
  curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, 102400L);
  curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &Download::OnHeader);
  curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Download::OnBody);
  curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
  watch_.Apply(curl_);

  const CURLcode rc = curl_easy_perform(curl_);
  if (watch_.Cancelled()) return Fail(nullptr);
  if (failure_) return Fail(failure_);
  if (rc != CURLE_OK) return Fail(accepted_ ? kMsgReadError : kMsgCannotOpenUrl);
  // An empty body: the headers were never judged by a body callback.
  if (!accepted_ && !HeadersEnded()) return Fail(failure_);
  if (!CloseFile()) return Fail(kMsgWriteError);
  return 0;
}

}  // namespace

int DownloadFile(const Text& url, const std::filesystem::path& path, const DownloadHandler& handler,
                 std::int32_t start, bool resume, const DownloadOptions& options) {
  Download run(path, handler, start, resume, options);
  return run.Run(url);
}

}  // namespace kv
