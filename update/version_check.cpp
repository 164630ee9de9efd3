#include "version_check.hpp"

namespace kv {
namespace {

// Gathers the body of whatever answer came back, up to the cap.
class Page : public HttpReceiver {
 public:
  std::vector<unsigned char> bytes;

 private:
  bool OnAnswer(const HttpAnswer&) override { return true; }
  bool OnBody(const char* data, std::size_t n) override {
    const std::size_t room = kMaxPageBytes - bytes.size();
    const std::size_t take = n < room ? n : room;
    bytes.insert(bytes.end(), data, data + take);
    // Stopping early ends the transfer; what arrived is kept.
    return take == n;
  }
};

}  // namespace

Text CurrentVersion() { return kCurrentVersion; }

FetchResult FetchUrl(std::string_view url, const TransferLimits& limits) {
  HttpGet request;
  request.url = Text(url);
  request.version = HttpVersion::k10;
  // No cache of any kind between this program and the page's server.
  request.headers = {"User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", "Accept: */*",
                     "Pragma: no-cache"};
  request.limits = limits;
  Page page;
  FetchResult fetch;
  switch (RunHttpGet(request, page)) {
    case TransferEnd::kEnded:
    case TransferEnd::kStopped:  // the cap: the page is what arrived up to it
      break;
    case TransferEnd::kNoClient:
      fetch.result = UpdateResult::Failed(kMsgInternetError);
      break;
    case TransferEnd::kNoAnswer:
      fetch.result = UpdateResult::Failed(kMsgCannotOpenUrl);
      break;
    case TransferEnd::kBroken:
      fetch.result = UpdateResult::Failed(kMsgReadError);
      break;
    case TransferEnd::kCancelled:
      fetch.result = UpdateResult::Cancelled();
      break;
  }
  fetch.body = std::move(page.bytes);
  return fetch;
}

Text ExtractField(std::string_view text, std::string_view label, std::string_view marker) {
  const int p = FindText(text, label);
  if (p == -1) return {};
  const std::size_t from = static_cast<std::size_t>(p - 1) + label.size();
  const std::string_view tail = from < text.size() ? text.substr(from) : std::string_view{};
  const int q = FindText(tail, marker);
  if (q <= 1) return {};
  return Text(tail.substr(0, static_cast<std::size_t>(q - 1)));
}

Text LatestVersion(ByteBlock page) {
  return ExtractField(ToText(page), kLatestVersionLabel, kLatestVersionMarker);
}

bool IsCurrentVersion(ByteBlock page) { return CompareText(LatestVersion(page), CurrentVersion()) == 0; }

}  // namespace kv
