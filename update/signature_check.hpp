// Checks a release archive against its signature file and the publisher's
// public key: ECDSA P-256 over the SHA-256 of the archive's bytes. The bytes
// are read in chunks, never whole. The hashing and the curve arithmetic are
// the platform's (signature_check_posix.cpp: OpenSSL; signature_check_win.cpp:
// CNG); reading the key, the signature file and the bytes is shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "release_key.hpp"
#include "release_signature.hpp"

namespace kv {

enum class SignatureVerdict {
  kVerified,
  kBadKey,            // the public key is not a P-256 key the platform takes
  kBadSignatureFile,  // see ReadSignatureFile
  kUnreadable,        // the archive could not be opened or read to its end
  kMismatch,          // the signature is not the key's over these bytes
};

struct SignatureCheck {
  SignatureVerdict verdict = SignatureVerdict::kMismatch;
  std::string reason;  // in words, for logs and test failures
  bool verified() const { return verdict == SignatureVerdict::kVerified; }
};

// The bytes handed to the platform at a time.
inline constexpr std::size_t kSignatureCheckChunk = 256 * 1024;

// Fills the front of `buffer` with the next bytes of what is checked and
// returns their count: 0 at the end, negative after a read error.
using ReadChunk = std::function<std::ptrdiff_t(std::span<std::uint8_t> buffer)>;

class SignatureVerifier;

// The check taken in steps: the bytes in order as they become available (say,
// read back from the archive's file while the download writes it, so that
// little is left to do once it is complete), then the signature file.
// `releaseKey` is the public key as base64 SubjectPublicKeyInfo.
class IncrementalSignatureCheck {
 public:
  explicit IncrementalSignatureCheck(std::string_view releaseKey);
  ~IncrementalSignatureCheck();
  IncrementalSignatureCheck(IncrementalSignatureCheck&&) noexcept;
  IncrementalSignatureCheck& operator=(IncrementalSignatureCheck&&) noexcept;

  // The next bytes. False once the check has failed (the key refused, the
  // hashing failed): Finish then says why, and further bytes are ignored.
  bool Add(std::span<const std::uint8_t> bytes);
  // Whether nothing has failed so far.
  bool ok() const { return failure_.verified(); }
  // The bytes could not be read to their end: Finish will refuse.
  void ReadFailed();
  // The verdict over everything added; call once.
  SignatureCheck Finish(std::string_view signatureFile);

 private:
  std::unique_ptr<SignatureVerifier> verifier_;
  SignatureCheck failure_;  // verdict kVerified while nothing has failed
};

// `signatureFile` is the signature file's bytes, `releaseKey` the public key
// as base64 SubjectPublicKeyInfo. A key or signature file that is no good is
// refused before anything is read.
SignatureCheck CheckSignature(const ReadChunk& read, std::string_view signatureFile, std::string_view releaseKey);

// CheckSignature over the bytes of the file at `path`.
SignatureCheck CheckFileSignature(const std::filesystem::path& path, std::string_view signatureFile,
                                  std::string_view releaseKey);

// The platform's part: SHA-256 over the bytes handed in, then one ECDSA check.
class SignatureVerifier {
 public:
  // Nothing when the platform refuses the key (a point off the curve, say).
  static std::unique_ptr<SignatureVerifier> Create(const P256PublicKey& key);
  virtual ~SignatureVerifier() = default;
  virtual bool Update(std::span<const std::uint8_t> bytes) = 0;
  // Whether `signature` is the key's over everything handed in; call once.
  virtual bool Verify(const EcdsaSignature& signature) = 0;
};

}  // namespace kv
