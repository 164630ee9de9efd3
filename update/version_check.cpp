#include "version_check.hpp"

#include <curl/curl.h>

#include <memory>

namespace kv {
namespace {

struct Page {
  std::vector<unsigned char> bytes;
  detail::TransferWatch* watch;
};

std::size_t OnBody(char* data, std::size_t, std::size_t n, void* user) {
  auto* page = static_cast<Page*>(user);
  page->watch->Touch();
  const std::size_t room = kMaxPageBytes - page->bytes.size();
  const std::size_t take = n < room ? n : room;
  page->bytes.insert(page->bytes.end(), data, data + take);
  // Returning less than given ends the transfer; what arrived is kept.
  return take;
}

std::size_t OnHeader(char*, std::size_t, std::size_t n, void* user) {
  static_cast<detail::TransferWatch*>(user)->Touch();
  return n;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

Text CurrentVersion() { return kCurrentVersion; }

std::vector<unsigned char> FetchUrl(std::string_view url, const TransferLimits& limits) {
  if (url.find('\0') != std::string_view::npos) return {};
  detail::EnsureCurlReady();

  std::unique_ptr<CURLU, CurlDeleter> parsed(curl_url());
  if (!parsed) return {};
  const std::string address(url);
  if (curl_url_set(parsed.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) return {};
  curl_url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0);

  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return {};
  std::unique_ptr<curl_slist, CurlDeleter> headers(curl_slist_append(nullptr, "Accept: */*"));
  if (!headers) return {};
  // No cache of any kind between this program and the page's server.
  curl_slist* tail = curl_slist_append(headers.get(), "Pragma: no-cache");
  if (!tail) return {};

  detail::TransferWatch watch(limits);
  Page page{{}, &watch};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_CURLU, parsed.get());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &page);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &watch);
  watch.Apply(c);
  // Whatever the outcome, the bytes gathered so far are the result.
  curl_easy_perform(c);
  return std::move(page.bytes);
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
