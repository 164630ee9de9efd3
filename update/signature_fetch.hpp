// The signature file published beside a release archive, at the archive's
// address with ".sig" added: fetched with the download's rules (its request
// header lines, the transport's limits and cancel flag) and kept in memory,
// since it is small.
#pragma once

#include <string>

#include "http_transport.hpp"
#include "text.hpp"
#include "update_result.hpp"

namespace kv {

// `archiveUrl` with ".sig" added (before a fragment, which is never sent).
Text SignatureUrl(const Text& archiveUrl);

struct SignatureFetch {
  UpdateResult result;  // Done with the body, Failed(kMsgVerifyFailed) or Cancelled
  std::string body;
};

// Done only for a 2xx final answer without content coding whose body ended
// as announced within kMaxSignatureFileSize bytes; a longer body is not read
// on. Any other answer, or none, fails with "文件校验失败!": without its
// signature the archive cannot be used.
SignatureFetch FetchSignatureFile(const Text& url, const TransferLimits& limits = {});

}  // namespace kv
