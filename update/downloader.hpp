// The resumable downloader: copies one HTTP resource into one local file in
// chunks of at most 10240 bytes (each written with one write and reported with
// one handler call) and reports after every chunk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive_file.hpp"
#include "http_transport.hpp"
#include "text.hpp"
#include "update_result.hpp"

namespace kv {

// Request header lines, CR LF between them and none after the last. The body
// is asked for without content coding, since it is stored as it arrives.
inline constexpr char kDownloadHeaders[] =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: identity\r\n"
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)";
// Sent with every download: no cache on the way may answer in the server's place.
inline constexpr char kNoCacheHeader[] = "Pragma: no-cache";
inline constexpr std::size_t kDownloadChunk = 10240;

// The header lines of every download request: kDownloadHeaders, then
// kNoCacheHeader.
std::vector<std::string> DownloadHeaderLines();

// Whether the body of `answer` comes in a content coding other than identity
// (it would be stored still coded).
bool HasContentCoding(const HttpAnswer& answer);

// Called after every chunk written, on the downloading thread, with:
// total (the answer's Content-Length, 0 when it has none), position (the bytes
// the local file should now hold, low 32 bits), elapsed milliseconds since the
// first read (0 is reported as 10) and the bytes received in this run.
using DownloadHandler =
    std::function<void(std::int32_t total, std::int32_t position, std::int32_t elapsed, std::int32_t received)>;

// Copies `url` into the file at `path`.
//  resume off: the file is created anew; positions count from 0.
//  resume on: "Range:bytes=<start>-" is sent; a 206 answer's bytes are
//    appended to the existing file and positions count from `start`. Any
//    other 2xx answer is the whole resource: it replaces the file (also when
//    its body is empty) and positions count from 0.
// Only a 2xx final answer without content coding is written. The result is
// Complete once a body of known length arrived whole and the file is closed,
// Done when a body without length ended, Failed with the message for the
// user, or Cancelled (limits.cancel; nothing to show).
UpdateResult DownloadFile(const Text& url, const std::filesystem::path& path, const DownloadHandler& handler,
                          std::int32_t start, bool resume, const TransferLimits& limits = {});

// Gives the file a download writes to; called once the final answer has been
// accepted, so a refused answer leaves no file. Null when it cannot be had.
using FileOpener = std::function<std::unique_ptr<ArchiveFile>()>;

// DownloadFile into the file `open` gives, which is handed back in `file`
// still open (for the caller to make durable and put in place), or null when
// it was never opened.
UpdateResult DownloadInto(const Text& url, const FileOpener& open, std::unique_ptr<ArchiveFile>& file,
                          const DownloadHandler& handler, std::int32_t start, bool resume,
                          const TransferLimits& limits = {});

}  // namespace kv
