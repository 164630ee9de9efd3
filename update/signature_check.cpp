#include "signature_check.hpp"

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

SignatureCheck CheckSignature(const ReadChunk& read, std::string_view signatureFile, std::string_view releaseKey) {
  const std::optional<P256PublicKey> key = ReadReleaseKey(releaseKey);
  if (!key) return Verdict(SignatureVerdict::kBadKey, "release key is not a base64 P-256 SubjectPublicKeyInfo");
  const SignatureFile sig = ReadSignatureFile(signatureFile);
  if (!sig.ok()) return Verdict(SignatureVerdict::kBadSignatureFile, Describe(sig.error));
  std::unique_ptr<SignatureVerifier> verifier = SignatureVerifier::Create(*key);
  if (!verifier) return Verdict(SignatureVerdict::kBadKey, "the platform refuses the release key");

  std::vector<std::uint8_t> buffer(kSignatureCheckChunk);
  for (;;) {
    const std::ptrdiff_t n = read(buffer);
    if (n < 0) return Verdict(SignatureVerdict::kUnreadable, "reading the archive failed");
    if (n == 0) break;
    const std::size_t count = static_cast<std::size_t>(n) < buffer.size() ? static_cast<std::size_t>(n) : buffer.size();
    if (!verifier->Update(std::span(buffer).first(count))) {
      return Verdict(SignatureVerdict::kMismatch, "hashing the archive failed");
    }
  }
  if (!verifier->Verify(sig.signature)) {
    return Verdict(SignatureVerdict::kMismatch, "signature does not match the archive and the release key");
  }
  return Verdict(SignatureVerdict::kVerified, "verified");
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
