// The HTTP transport on libcurl. Each hop of a redirect chain is one transfer
// of one easy handle, driven by a loop of our own that looks at the cancel
// flag, the stall clock and the deadline every 100 ms at the latest.
#include <curl/curl.h>

#include <charconv>
#include <memory>
#include <mutex>
#include <string_view>

#include "http_transport.hpp"

namespace kv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 10;
constexpr int kPollMs = 100;
// libcurl takes from the socket in blocks of up to 100 KiB, as an HTTP client
// buffers; reading it in smaller blocks costs a fifth of the throughput.
constexpr long kReceiveBlock = 102400;

std::mutex trustMutex;
std::string trustedCertificates;  // guarded by trustMutex

void EnsureCurlReady() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// CURL and CURLM are both void, so each handle kind has a deleter of its own.
template <typename T, auto Cleanup>
struct Deleter {
  void operator()(T* p) const { Cleanup(p); }
};
using Easy = std::unique_ptr<CURL, Deleter<CURL, curl_easy_cleanup>>;
using Multi = std::unique_ptr<CURLM, Deleter<CURLM, curl_multi_cleanup>>;
using Url = std::unique_ptr<CURLU, Deleter<CURLU, curl_url_cleanup>>;
using Headers = std::unique_ptr<curl_slist, Deleter<curl_slist, curl_slist_free_all>>;

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

// The value of `line` when it is the header `name`, else nullopt.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':' || !StartsWithNoCase(line, name)) return std::nullopt;
  return Trim(line.substr(name.size() + 1));
}

// One hop of a transfer: reads the heads of the answers as they come and
// passes the final one, then its body, to the receiver.
class Hop {
 public:
  Hop(HttpReceiver& receiver, Clock::time_point& last) : receiver_(receiver), last_(last) {}

  static std::size_t OnHeader(char* data, std::size_t, std::size_t n, void* self) {
    return static_cast<Hop*>(self)->Header(std::string_view(data, n)) ? n : 0;
  }
  static std::size_t OnBody(char* data, std::size_t, std::size_t n, void* self) {
    auto* hop = static_cast<Hop*>(self);
    hop->last_ = Clock::now();
    if (!hop->answered_ || !hop->receiver_.OnBody(data, n)) {
      hop->stopped_ = true;
      return CURL_WRITEFUNC_ERROR;
    }
    return n;
  }
  static int OnPrereq(void* self, char*, char*, int, int) {
    // The connect time-out covers the time up to here; the stall clock
    // covers the wait for the answer.
    static_cast<Hop*>(self)->last_ = Clock::now();
    return CURL_PREREQFUNC_OK;
  }

  void Begin(CURL* curl, CURLU* url) {
    curl_ = curl;
    url_ = url;
    answer_ = {};
    location_.clear();
    redirect_.reset();
  }

  bool answered() const { return answered_; }
  bool stopped() const { return stopped_; }
  // Where the hop's redirect leads; null when it was the final answer.
  Url TakeRedirect() { return std::move(redirect_); }

 private:
  bool Header(std::string_view line) {
    last_ = Clock::now();
    if (StartsWithNoCase(line, "HTTP/")) {
      answer_ = {};
      location_.clear();
    } else if (auto v = HeaderValue(line, "Location")) {
      location_ = std::string(*v);
    } else if (auto v = HeaderValue(line, "Content-Length")) {
      std::int64_t value = -1;
      const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), value);
      if (ec == std::errc() && end == v->data() + v->size() && value >= 0) answer_.content_length = value;
    } else if (auto v = HeaderValue(line, "Content-Range")) {
      answer_.content_range = std::string(*v);
    } else if (auto v = HeaderValue(line, "Content-Type")) {
      answer_.content_type = std::string(*v);
    } else if (auto v = HeaderValue(line, "Content-Encoding")) {
      answer_.content_encoding = std::string(*v);
    } else if (auto v = HeaderValue(line, "Transfer-Encoding")) {
      answer_.transfer_encoding = std::string(*v);
    } else if (Trim(line).empty()) {
      return HeadEnded();
    }
    return true;
  }

  // False ends the hop: a redirect to follow, or a receiver that stops.
  bool HeadEnded() {
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200) return true;  // interim: the real answer follows
    if (status >= 300 && status < 400 && !location_.empty()) {
      // A Location that is no URL leaves the redirect as the final answer.
      Url next(curl_url_dup(url_));
      // Blanks and high bytes are encoded, as libcurl does for the redirects it follows.
      if (next && curl_url_set(next.get(), CURLUPART_URL, location_.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) ==
                      CURLUE_OK) {
        char* scheme = nullptr;
        const bool web = curl_url_get(next.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                         (std::string_view(scheme) == "http" || std::string_view(scheme) == "https");
        curl_free(scheme);
        curl_url_set(next.get(), CURLUPART_FRAGMENT, nullptr, 0);
        // Another scheme is refused: the hop ends without an answer.
        if (web) redirect_ = std::move(next);
        return false;
      }
    }
    answer_.status = static_cast<int>(status);
    answered_ = true;
    if (!receiver_.OnAnswer(answer_)) {
      stopped_ = true;
      return false;
    }
    return true;
  }

  HttpReceiver& receiver_;
  Clock::time_point& last_;
  CURL* curl_ = nullptr;
  CURLU* url_ = nullptr;
  HttpAnswer answer_;
  std::string location_;
  Url redirect_;
  bool answered_ = false;
  bool stopped_ = false;
};

}  // namespace

void SetTrustedCertificatesForTesting(std::string pemFile) {
  std::lock_guard lock(trustMutex);
  trustedCertificates = std::move(pemFile);
}

TransferEnd RunHttpGet(const HttpGet& request, HttpReceiver& receiver) {
  if (request.url.find('\0') != Text::npos) return TransferEnd::kNoAnswer;
  EnsureCurlReady();
  Url url(curl_url());
  Easy curl(curl_easy_init());
  Multi multi(curl_multi_init());
  if (!url || !curl || !multi) return TransferEnd::kNoClient;
  if (curl_url_set(url.get(), CURLUPART_URL, request.url.c_str(), 0) != CURLUE_OK) return TransferEnd::kNoAnswer;
  curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
  Headers headers;
  for (const std::string& line : request.headers) {
    // Appending returns the list's head, which `headers` already owns.
    curl_slist* head = curl_slist_append(headers.get(), line.c_str());
    if (!head) return TransferEnd::kNoClient;
    if (!headers) headers.reset(head);
  }

  const TransferLimits& limits = request.limits;
  const Clock::time_point started = Clock::now();
  Clock::time_point last = started;
  Hop hop(receiver, last);
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION,
                   static_cast<long>(request.version == HttpVersion::k10 ? CURL_HTTP_VERSION_1_0
                                                                         : CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect_timeout.count()));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // The proxy comes from the environment (http_proxy, https_proxy, no_proxy),
  // which is libcurl's default. Its answer to CONNECT is not the server's.
  curl_easy_setopt(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kReceiveBlock);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Hop::OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &hop);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Hop::OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &hop);
  curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, &Hop::OnPrereq);
  curl_easy_setopt(c, CURLOPT_PREREQDATA, &hop);
  {
    std::lock_guard lock(trustMutex);
    if (!trustedCertificates.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, trustedCertificates.c_str());
  }

  for (int redirects = 0;; ++redirects) {
    hop.Begin(c, url.get());
    curl_easy_setopt(c, CURLOPT_CURLU, url.get());
    if (curl_multi_add_handle(multi.get(), c) != CURLM_OK) return TransferEnd::kNoClient;
    bool cancelled = false, overdue = false;
    CURLcode result = CURLE_OK;
    for (int running = 1; running;) {
      if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
        result = CURLE_RECV_ERROR;
        break;
      }
      if (!running) break;
      const Clock::time_point now = Clock::now();
      if (limits.cancel && limits.cancel->load(std::memory_order_relaxed)) {
        cancelled = true;
        break;
      }
      if (now - last > limits.stall_timeout || (limits.total && now - started > *limits.total)) {
        overdue = true;
        break;
      }
      curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr);
    }
    if (!cancelled && !overdue) {
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
        if (msg->msg == CURLMSG_DONE) result = msg->data.result;
      }
    }
    curl_multi_remove_handle(multi.get(), c);

    if (cancelled) return TransferEnd::kCancelled;
    if (hop.stopped()) return TransferEnd::kStopped;
    if (overdue) return hop.answered() ? TransferEnd::kBroken : TransferEnd::kNoAnswer;
    if (hop.answered()) return result == CURLE_OK ? TransferEnd::kEnded : TransferEnd::kBroken;
    Url next = hop.TakeRedirect();
    if (!next || redirects == kMaxRedirects) return TransferEnd::kNoAnswer;
    url = std::move(next);
  }
}

}  // namespace kv
