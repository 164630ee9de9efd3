// The HTTP transport on WinINet. WinINet's calls block, so each transfer runs
// them on a worker thread of its own, which hands the answer's head and body
// blocks over to the calling thread one at a time. The calling thread gives
// them to the receiver and looks at the cancel flag, the stall clock and the
// deadline every 100 ms at the latest; when it gives up, it closes the
// worker's handles (which ends a blocked call on Windows) and leaves the
// worker to end by itself once that call returns.
#include <windows.h>
#include <wininet.h>

#include <charconv>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "http_transport.hpp"
#include "http_url.hpp"

namespace kv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 10;
constexpr std::chrono::milliseconds kPoll{100};
// Read in blocks of up to 100 KiB, as on the other platforms.
constexpr DWORD kReceiveBlock = 102400;

std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// A header of the answer as its bytes came, without the blanks around it;
// nullopt when it is absent. The A function: WinINet keeps header lines in
// the system's code page, which gives the wire's bytes back unchanged, where
// the W one would widen each high byte to a character of that code page.
std::optional<std::string> Header(HINTERNET request, DWORD which) {
  std::string value(256, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD bytes = static_cast<DWORD>(value.size());
    DWORD index = 0;
    if (HttpQueryInfoA(request, which, value.data(), &bytes, &index)) {
      value.resize(bytes);
      return std::string(Trim(value));
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    value.assign(bytes + 1, '\0');
  }
  return std::nullopt;
}

struct Event {
  enum Kind { kAnswer, kBody, kEnd } kind;
  HttpAnswer answer;
  std::string bytes;
  TransferEnd end = TransferEnd::kEnded;
};

// What the calling thread and the worker share; the worker holds it until it
// has ended, however long after the calling thread has gone.
struct Transfer {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Event> events;  // to the calling thread, at most two at a time
  bool abandoned = false;    // the calling thread has gone, or wants no more
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  std::atomic<Clock::rep> last_progress{0};  // when the worker last got something

  void Touch() { last_progress.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }
  Clock::time_point LastProgress() const {
    return Clock::time_point(Clock::duration(last_progress.load(std::memory_order_relaxed)));
  }

  // Closes the handles still open; called with the mutex held.
  void CloseHandles() {
    for (HINTERNET* h : {&request, &connection, &session}) {
      if (*h) InternetCloseHandle(*h);
      *h = nullptr;
    }
  }
  // Hands an event over, waiting while two are pending; false once abandoned.
  bool Post(Event e) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return abandoned || events.size() < 2; });
    if (abandoned) return false;
    events.push_back(std::move(e));
    changed.notify_all();
    return true;
  }
  bool Abandoned() {
    std::lock_guard lock(mutex);
    return abandoned;
  }
  void Abandon() {
    std::lock_guard lock(mutex);
    abandoned = true;
    CloseHandles();
    changed.notify_all();
  }
};

void SetTimeout(HINTERNET h, DWORD option, std::chrono::milliseconds ms) {
  DWORD value = ms.count() <= 0 ? 1 : (ms.count() > 0x7fffffff ? 0x7fffffff : static_cast<DWORD>(ms.count()));
  InternetSetOptionW(h, option, &value, sizeof value);
}

// One hop: a request to `url` on the transfer's session. Sets `next` when the
// answer is a redirect to follow; otherwise posts the answer and its body.
// The result is the end of the transfer, or nullopt to follow `next`.
std::optional<TransferEnd> Hop(Transfer& t, const HttpGet& get, const ParsedUrl& url, ParsedUrl& next) {
  HINTERNET connection = InternetConnectW(t.session, Wide(url.host).c_str(), static_cast<INTERNET_PORT>(url.port),
                                          nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  {
    std::lock_guard lock(t.mutex);
    if (t.abandoned) {
      if (connection) InternetCloseHandle(connection);
      return TransferEnd::kCancelled;
    }
    t.connection = connection;
  }
  if (!connection) return TransferEnd::kNoAnswer;
  DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_AUTH;
  if (url.secure) flags |= INTERNET_FLAG_SECURE;
  const wchar_t* accept[] = {nullptr};
  HINTERNET request = HttpOpenRequestW(connection, L"GET", Wide(url.target()).c_str(),
                                       get.version == HttpVersion::k10 ? L"HTTP/1.0" : L"HTTP/1.1", nullptr, accept,
                                       flags, 0);
  {
    std::lock_guard lock(t.mutex);
    if (t.abandoned) {
      if (request) InternetCloseHandle(request);
      return TransferEnd::kCancelled;
    }
    t.request = request;
  }
  if (!request) return TransferEnd::kNoAnswer;

  std::wstring headers;
  for (const std::string& line : get.headers) {
    // Header lines are ASCII; anything else goes as the code page 936 text it is.
    const int n = MultiByteToWideChar(936, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(936, 0, line.data(), static_cast<int>(line.size()), w.data(), n);
    headers += w + L"\r\n";
  }
  t.Touch();
  if (!HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                        nullptr, 0))
    return t.Abandoned() ? TransferEnd::kCancelled : TransferEnd::kNoAnswer;
  t.Touch();

  DWORD status = 0, size = sizeof status, index = 0;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index))
    return TransferEnd::kNoAnswer;
  if (status >= 300 && status < 400) {
    const std::optional<std::string> location = Header(request, HTTP_QUERY_LOCATION);
    // A Location that is no URL leaves the redirect as the final answer.
    if (location && !location->empty()) {
      if (std::optional<ParsedUrl> target = ResolveUrl(url, *location)) {
        // Another scheme is refused: no answer.
        if (!target->web) return TransferEnd::kNoAnswer;
        next = *target;
        return std::nullopt;
      }
    }
  }

  Event head{Event::kAnswer, {}, {}, TransferEnd::kEnded};
  head.answer.status = static_cast<int>(status);
  if (const std::optional<std::string> v = Header(request, HTTP_QUERY_CONTENT_LENGTH)) {
    std::int64_t value = -1;
    const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), value);
    if (ec == std::errc() && end == v->data() + v->size() && value >= 0) head.answer.content_length = value;
  }
  head.answer.content_range = Header(request, HTTP_QUERY_CONTENT_RANGE).value_or("");
  head.answer.content_type = Header(request, HTTP_QUERY_CONTENT_TYPE).value_or("");
  head.answer.content_encoding = Header(request, HTTP_QUERY_CONTENT_ENCODING).value_or("");
  head.answer.transfer_encoding = Header(request, HTTP_QUERY_TRANSFER_ENCODING).value_or("");
  // The length a body must reach to have ended as announced.
  const bool bodiless = status == 204 || status == 304;
  const std::int64_t announced =
      head.answer.transfer_encoding.empty() && !bodiless ? head.answer.content_length.value_or(-1) : -1;
  if (!t.Post(std::move(head))) return TransferEnd::kCancelled;

  std::int64_t received = 0;
  for (;;) {
    // A read asks only for what has arrived: InternetReadFile waits to fill
    // its buffer, and bytes it holds when the connection breaks are lost.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0))
      return t.Abandoned() ? TransferEnd::kCancelled : TransferEnd::kBroken;
    const DWORD want = available == 0 ? 1 : (available < kReceiveBlock ? available : kReceiveBlock);
    std::string block(want, '\0');
    DWORD got = 0;
    if (!InternetReadFile(request, block.data(), want, &got))
      return t.Abandoned() ? TransferEnd::kCancelled : TransferEnd::kBroken;
    if (got == 0) break;
    t.Touch();
    block.resize(got);
    received += got;
    if (!t.Post({Event::kBody, {}, std::move(block), TransferEnd::kEnded})) return TransferEnd::kCancelled;
  }
  if (received < announced) return TransferEnd::kBroken;
  return TransferEnd::kEnded;
}

void Work(const std::shared_ptr<Transfer>& t, const HttpGet& get, ParsedUrl url) {
  TransferEnd end = TransferEnd::kNoAnswer;
  for (int redirects = 0;; ++redirects) {
    ParsedUrl next;
    const std::optional<TransferEnd> hop = Hop(*t, get, url, next);
    {
      std::lock_guard lock(t->mutex);
      for (HINTERNET* h : {&t->request, &t->connection}) {
        if (*h) InternetCloseHandle(*h);
        *h = nullptr;
      }
    }
    if (hop) {
      end = *hop;
      break;
    }
    if (redirects == kMaxRedirects) break;
    url = next;
  }
  t->Post({Event::kEnd, {}, {}, end});
  std::lock_guard lock(t->mutex);
  t->CloseHandles();
}

}  // namespace

void SetTrustedCertificatesForTesting(std::string) {
  // WinINet checks TLS peers against the system's store only.
}

TransferEnd RunHttpGet(const HttpGet& request, HttpReceiver& receiver) {
  const std::optional<ParsedUrl> url = ParseUrl(request.url);
  if (!url || !url->web) return TransferEnd::kNoAnswer;

  auto t = std::make_shared<Transfer>();
  // The system's proxy settings (those of Internet Options), as every
  // program on the machine uses them.
  t->session = InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!t->session) return TransferEnd::kNoClient;
  const TransferLimits& limits = request.limits;
  SetTimeout(t->session, INTERNET_OPTION_CONNECT_TIMEOUT, limits.connect_timeout);
  SetTimeout(t->session, INTERNET_OPTION_RECEIVE_TIMEOUT, limits.stall_timeout);
  SetTimeout(t->session, INTERNET_OPTION_SEND_TIMEOUT, limits.stall_timeout);
  t->Touch();

  const Clock::time_point started = Clock::now();
  std::thread worker;
  try {
    worker = std::thread([t, get = request, first = *url] { Work(t, get, first); });
  } catch (const std::system_error&) {
    std::lock_guard lock(t->mutex);
    t->CloseHandles();
    return TransferEnd::kNoClient;
  }
  worker.detach();

  bool answered = false;
  Clock::time_point last_body = started;
  const auto giveUp = [&](TransferEnd end) {
    t->Abandon();
    return end;
  };
  for (;;) {
    std::optional<Event> e;
    {
      std::unique_lock lock(t->mutex);
      t->changed.wait_for(lock, kPoll, [&] { return !t->events.empty(); });
      if (!t->events.empty()) {
        e = std::move(t->events.front());
        t->events.pop_front();
        t->changed.notify_all();
      }
    }
    if (limits.cancel && limits.cancel->load(std::memory_order_relaxed)) return giveUp(TransferEnd::kCancelled);
    const Clock::time_point now = Clock::now();
    if (e) {
      switch (e->kind) {
        case Event::kAnswer:
          answered = true;
          last_body = now;
          if (!receiver.OnAnswer(e->answer)) return giveUp(TransferEnd::kStopped);
          break;
        case Event::kBody:
          last_body = now;
          if (!receiver.OnBody(e->bytes.data(), e->bytes.size())) return giveUp(TransferEnd::kStopped);
          break;
        case Event::kEnd:
          return giveUp(e->end == TransferEnd::kNoAnswer && answered ? TransferEnd::kBroken : e->end);
      }
    }
    // Silence: before the answer the worker's last progress counts (a
    // redirect is progress), after it the last body block.
    const Clock::time_point quiet_since = answered ? last_body : t->LastProgress();
    const std::chrono::milliseconds allowed =
        answered ? limits.stall_timeout : limits.connect_timeout + limits.stall_timeout;
    if (now - quiet_since > allowed || (limits.total && now - started > *limits.total))
      return giveUp(answered ? TransferEnd::kBroken : TransferEnd::kNoAnswer);
  }
}

}  // namespace kv
