// The start-up version check without its prompt: fetching the version page,
// reading the Version record and deciding whether this copy is current.
#pragma once

#include <atomic>
#include <chrono>
#include <string_view>
#include <vector>

#include "http_transport.hpp"
#include "text.hpp"
#include "update_result.hpp"

namespace kv {

// The version built into this program.
inline constexpr char kCurrentVersion[] = "v1.9";
Text CurrentVersion();

// Labels and closing markers of the Version record, as GBK bytes spelt out,
// so every compiler (the fuzz build's clang keeps literals in UTF-8) agrees.
inline constexpr char kFileNameLabel[] = "\xce\xc4\xbc\xfe\xc3\xfb:";                // 文件名:
inline constexpr char kFileNameMarker[] = "$$$$$$";
inline constexpr char kLatestVersionLabel[] = "\xd7\xee\xd0\xc2\xb0\xe6\xb1\xbe:";      // 最新版本:
inline constexpr char kLatestVersionMarker[] = "!!!!!!";
inline constexpr char kDownloadAddressLabel[] = "\xcf\xc2\xd4\xd8\xb5\xd8\xd6\xb7:";    // 下载地址:
inline constexpr char kDownloadAddressMarker[] = "@@@@@@";

// The prompt shown when this copy is not the published version.
inline constexpr char kUpdatePromptText[] = "发现最新版本！\r\n当前版本已停用!\r\n是否需要更新？\r\n官方群号:2468024";
inline constexpr char kUpdatePromptCaption[] = "提示";

// Bodies longer than this are cut here: the record sits near the start of a
// small page, and an endless body must not fill the memory.
inline constexpr std::size_t kMaxPageBytes = 1u << 20;
// The longest the version fetch may hold start-up, however slowly the page
// arrives; a fetch that runs out of time leads to the prompt.
inline constexpr std::chrono::seconds kVersionFetchDeadline{20};

// The limits of the version fetch: the transport's time-outs and the deadline.
inline TransferLimits VersionFetchLimits(const std::atomic<bool>* cancel = nullptr) {
  TransferLimits limits;
  limits.total = kVersionFetchDeadline;
  limits.cancel = cancel;
  return limits;
}

// The body of a fetch and how the fetch ended. A failed fetch keeps the
// bytes that arrived before it broke off.
struct FetchResult {
  std::vector<unsigned char> body;
  UpdateResult result = UpdateResult::Done();
};

// One GET of `url` (HTTP/1.0, "Accept: */*", no cache, the fragment dropped)
// and the body of whatever answer came back, whatever its status. The result
// fails when the URL cannot be used, nothing could be fetched or the transfer
// broke off.
FetchResult FetchUrl(std::string_view url, const TransferLimits& limits = VersionFetchLimits());

// The bytes between the first `label` of `text` and the first `marker` after
// it; empty when the label is missing, the marker is missing, or the marker
// follows the label directly. Both searches are double-byte aware.
Text ExtractField(std::string_view text, std::string_view label, std::string_view marker);

// The latest version published in a version page body (up to its first NUL).
Text LatestVersion(ByteBlock page);

// Whether the page publishes exactly CurrentVersion(): same bytes, same length.
bool IsCurrentVersion(ByteBlock page);

}  // namespace kv
