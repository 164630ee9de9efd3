#include "signature_fetch.hpp"

#include "downloader.hpp"
#include "release_signature.hpp"

namespace kv {
namespace {

class SignatureReceiver : public HttpReceiver {
 public:
  explicit SignatureReceiver(std::string& body) : body_(body) {}

  bool OnAnswer(const HttpAnswer& answer) override {
    const bool tooLong = answer.content_length && *answer.content_length > static_cast<std::int64_t>(kMaxSignatureFileSize);
    accepted_ = answer.status >= 200 && answer.status < 300 && !HasContentCoding(answer) && !tooLong;
    return accepted_;
  }

  bool OnBody(const char* data, std::size_t n) override {
    if (n > kMaxSignatureFileSize - body_.size()) {
      accepted_ = false;
      return false;
    }
    body_.append(data, n);
    return true;
  }

  bool accepted() const { return accepted_; }

 private:
  std::string& body_;
  bool accepted_ = false;
};

}  // namespace

Text SignatureUrl(const Text& archiveUrl) {
  const std::size_t fragment = archiveUrl.find('#');
  if (fragment == Text::npos) return archiveUrl + ".sig";
  return archiveUrl.substr(0, fragment) + ".sig" + archiveUrl.substr(fragment);
}

SignatureFetch FetchSignatureFile(const Text& url, const TransferLimits& limits) {
  SignatureFetch fetch{UpdateResult::Failed(kMsgVerifyFailed), {}};
  HttpGet request;
  request.url = url;
  request.headers = DownloadHeaderLines();
  request.limits = limits;
  SignatureReceiver receiver(fetch.body);
  const TransferEnd end = RunHttpGet(request, receiver);
  if (end == TransferEnd::kCancelled) {
    fetch.result = UpdateResult::Cancelled();
  } else if (end == TransferEnd::kEnded && receiver.accepted()) {
    fetch.result = UpdateResult::Done();
  } else {
    fetch.body.clear();
  }
  return fetch;
}

}  // namespace kv
