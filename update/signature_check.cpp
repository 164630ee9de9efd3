#include "signature_check.hpp"

#include <algorithm>
#include <fstream>
#include <optional>
#include <vector>

namespace kv {
namespace {

const char* Describe(SignatureFileError e) {
  switch (e) {
    case SignatureFileError::kNone: return "no error";
    case SignatureFileError::kEmpty: return "signature file is empty";
    case SignatureFileError::kTooLarge: return "signature file is larger than 4 KiB";
    case SignatureFileError::kNotBase64: return "signature file is not base64";
    case SignatureFileError::kNotDer: return "signature is not a DER sequence of two integers";
    case SignatureFileError::kOutOfRange: return "signature values are out of range for P-256";
  }
  return "signature file is unusable";
}

SignatureCheck Verdict(SignatureVerdict v, std::string reason) { return SignatureCheck{v, std::move(reason)}; }

}  // namespace

IncrementalSignatureCheck::IncrementalSignatureCheck(std::string_view releaseKey)
    : failure_{SignatureVerdict::kVerified, ""} {
  const std::optional<P256PublicKey> key = ReadReleaseKey(releaseKey);
  if (!key) {
    failure_ = Verdict(SignatureVerdict::kBadKey, "release key is not a base64 P-256 SubjectPublicKeyInfo");
    return;
  }
  verifier_ = SignatureVerifier::Create(*key);
  if (!verifier_) failure_ = Verdict(SignatureVerdict::kBadKey, "the platform refuses the release key");
}

IncrementalSignatureCheck::~IncrementalSignatureCheck() = default;
IncrementalSignatureCheck::IncrementalSignatureCheck(IncrementalSignatureCheck&&) noexcept = default;
IncrementalSignatureCheck& IncrementalSignatureCheck::operator=(IncrementalSignatureCheck&&) noexcept = default;

bool IncrementalSignatureCheck::Add(std::span<const std::uint8_t> bytes) {
  if (!failure_.verified()) return false;
  if (!verifier_->Update(bytes)) failure_ = Verdict(SignatureVerdict::kMismatch, "hashing the archive failed");
  return failure_.verified();
}

void IncrementalSignatureCheck::ReadFailed() {
  if (failure_.verified()) failure_ = Verdict(SignatureVerdict::kUnreadable, "reading the archive failed");
}

SignatureCheck IncrementalSignatureCheck::Finish(std::string_view signatureFile) {
  if (!failure_.verified()) return failure_;
  const SignatureFile sig = ReadSignatureFile(signatureFile);
  if (!sig.ok()) return Verdict(SignatureVerdict::kBadSignatureFile, Describe(sig.error));
  // The verifier's hash is spent by its one check.
  const bool match = verifier_->Verify(sig.signature);
  failure_ = Verdict(SignatureVerdict::kMismatch, "the check was already finished");
  if (!match) return Verdict(SignatureVerdict::kMismatch, "signature does not match the archive and the release key");
  return Verdict(SignatureVerdict::kVerified, "verified");
}

SignatureCheck CheckSignature(const ReadChunk& read, std::string_view signatureFile, std::string_view releaseKey) {
  IncrementalSignatureCheck check(releaseKey);
  if (!check.ok() || !ReadSignatureFile(signatureFile).ok()) return check.Finish(signatureFile);
  std::vector<std::uint8_t> buffer(kSignatureCheckChunk);
  for (;;) {
    const std::ptrdiff_t n = read(buffer);
    if (n < 0) {
      check.ReadFailed();
      break;
    }
    if (n == 0) break;
    if (!check.Add(std::span(buffer).first(std::min(static_cast<std::size_t>(n), buffer.size())))) break;
  }
  return check.Finish(signatureFile);
}

SignatureCheck CheckFileSignature(const std::filesystem::path& path, std::string_view signatureFile,
                                  std::string_view releaseKey) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Verdict(SignatureVerdict::kUnreadable, "cannot open the archive");
  return CheckSignature(
      [&in](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
        if (in.bad()) return -1;
        return static_cast<std::ptrdiff_t>(in.gcount());
      },
      signatureFile, releaseKey);
}

}  // namespace kv
