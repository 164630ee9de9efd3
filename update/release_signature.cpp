#include "release_signature.hpp"

#include <algorithm>
#include <optional>
#include <span>

#include "base64.hpp"
#include "der_reader.hpp"

namespace kv {
namespace {

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;

// A positive INTEGER's contents into 32 big-endian bytes.
SignatureFileError ReadScalar(std::span<const std::uint8_t> v, std::array<std::uint8_t, 32>& out) {
  if (v.empty()) return SignatureFileError::kNotDer;
  if (v[0] & 0x80) return SignatureFileError::kOutOfRange;  // negative
  if (v[0] == 0 && v.size() > 1) {
    // A leading zero only where the next byte would read as a sign.
    if ((v[1] & 0x80) == 0) return SignatureFileError::kNotDer;
    v = v.subspan(1);
  }
  if (v.size() > out.size()) return SignatureFileError::kOutOfRange;
  out.fill(0);
  std::copy(v.begin(), v.end(), out.end() - static_cast<std::ptrdiff_t>(v.size()));
  if (std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0; })) return SignatureFileError::kOutOfRange;
  return SignatureFileError::kNone;
}

// A 32-byte number as the contents of a DER INTEGER.
std::vector<std::uint8_t> ScalarToInteger(const std::array<std::uint8_t, 32>& n) {
  auto first = std::find_if(n.begin(), n.end(), [](std::uint8_t b) { return b != 0; });
  if (first == n.end()) first = n.end() - 1;  // zero is one zero byte
  std::vector<std::uint8_t> out;
  out.push_back(kInteger);
  const bool sign = (*first & 0x80) != 0;
  out.push_back(static_cast<std::uint8_t>((n.end() - first) + (sign ? 1 : 0)));
  if (sign) out.push_back(0);
  out.insert(out.end(), first, n.end());
  return out;
}

}  // namespace

SignatureFile ReadSignatureFile(std::string_view text) {
  SignatureFile file;
  if (text.size() > kMaxSignatureFileSize) {
    file.error = SignatureFileError::kTooLarge;
    return file;
  }
  const std::optional<std::vector<std::uint8_t>> der = DecodeBase64(text);
  if (!der) {
    file.error = SignatureFileError::kNotBase64;
    return file;
  }
  if (der->empty()) {
    file.error = SignatureFileError::kEmpty;
    return file;
  }
  DerReader outer(*der);
  const auto body = outer.Next(kSequence);
  if (!body || !outer.AtEnd()) {
    file.error = SignatureFileError::kNotDer;
    return file;
  }
  DerReader inner(*body);
  const auto r = inner.Next(kInteger);
  const auto s = inner.Next(kInteger);
  if (!r || !s || !inner.AtEnd()) {
    file.error = SignatureFileError::kNotDer;
    return file;
  }
  file.error = ReadScalar(*r, file.signature.r);
  if (file.ok()) file.error = ReadScalar(*s, file.signature.s);
  if (!file.ok()) file.signature = {};
  return file;
}

std::vector<std::uint8_t> SignatureToDer(const EcdsaSignature& signature) {
  const std::vector<std::uint8_t> r = ScalarToInteger(signature.r);
  const std::vector<std::uint8_t> s = ScalarToInteger(signature.s);
  std::vector<std::uint8_t> out{kSequence, static_cast<std::uint8_t>(r.size() + s.size())};  // at most 70
  out.insert(out.end(), r.begin(), r.end());
  out.insert(out.end(), s.begin(), s.end());
  return out;
}

std::string WriteSignatureFile(const EcdsaSignature& signature) {
  return EncodeBase64Line(SignatureToDer(signature)) + "\n";
}

}  // namespace kv
