// The signature file published beside a release archive (the archive's name
// with ".sig" added): a text file holding the base64 of a DER ECDSA-Sig-Value,
// SEQUENCE { r INTEGER, s INTEGER }, over the SHA-256 of the archive with the
// publisher's P-256 key. tools/sign_release.sh writes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A signature file is small (about 100 bytes); anything larger is not one.
inline constexpr std::size_t kMaxSignatureFileSize = 4096;

// r and s as 32-byte big-endian numbers, the form of a P-256 signature that
// CNG takes (r followed by s).
struct EcdsaSignature {
  std::array<std::uint8_t, 32> r{};
  std::array<std::uint8_t, 32> s{};
  bool operator==(const EcdsaSignature&) const = default;
};

enum class SignatureFileError {
  kNone,
  kEmpty,       // nothing but white space
  kTooLarge,    // more than kMaxSignatureFileSize bytes
  kNotBase64,   // a byte outside the alphabet and white space, or broken padding
  kNotDer,      // not a strict DER SEQUENCE of two INTEGERs and nothing else
  kOutOfRange,  // r or s negative, zero, or longer than 32 bytes
};

struct SignatureFile {
  EcdsaSignature signature;
  SignatureFileError error = SignatureFileError::kNone;
  bool ok() const { return error == SignatureFileError::kNone; }
};

// Reads a signature file's bytes. White space around and inside the base64 is
// allowed (line breaks of any kind); anything else that does not decode to a
// strict DER signature of P-256's size is refused.
SignatureFile ReadSignatureFile(std::string_view text);

// The DER of a signature, in its shortest form.
std::vector<std::uint8_t> SignatureToDer(const EcdsaSignature& signature);

// The signature file of a signature: its DER in base64 on one line, with a
// line break after it.
std::string WriteSignatureFile(const EcdsaSignature& signature);

}  // namespace kv
