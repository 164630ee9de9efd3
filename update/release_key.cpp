#include "release_key.hpp"

#include <algorithm>

#include "base64.hpp"
#include "der_reader.hpp"

namespace kv {
namespace {

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kObjectId = 0x06;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kUncompressedPoint = 0x04;

// 1.2.840.10045.2.1 and 1.2.840.10045.3.1.7.
constexpr std::uint8_t kEcPublicKey[] = {0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01};
constexpr std::uint8_t kPrime256v1[] = {0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};

bool Equal(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

std::optional<P256PublicKey> ParseP256PublicKey(std::span<const std::uint8_t> spki) {
  DerReader outer(spki);
  const auto info = outer.Next(kSequence);
  if (!info || !outer.AtEnd()) return std::nullopt;
  DerReader fields(*info);
  const auto algorithm = fields.Next(kSequence);
  const auto bits = fields.Next(kBitString);
  if (!algorithm || !bits || !fields.AtEnd()) return std::nullopt;
  DerReader ids(*algorithm);
  const auto type = ids.Next(kObjectId);
  const auto curve = ids.Next(kObjectId);
  if (!type || !curve || !ids.AtEnd() || !Equal(*type, kEcPublicKey) || !Equal(*curve, kPrime256v1)) {
    return std::nullopt;
  }
  // No unused bits, then the point: 0x04, x, y.
  P256PublicKey key;
  if (bits->size() != 2 + key.xy.size() || (*bits)[0] != 0 || (*bits)[1] != kUncompressedPoint) return std::nullopt;
  std::copy(bits->begin() + 2, bits->end(), key.xy.begin());
  return key;
}

std::vector<std::uint8_t> P256PublicKeyToDer(const P256PublicKey& key) {
  std::vector<std::uint8_t> out{kSequence, 0x59, kSequence, 0x13, kObjectId, sizeof kEcPublicKey};
  out.insert(out.end(), std::begin(kEcPublicKey), std::end(kEcPublicKey));
  out.push_back(kObjectId);
  out.push_back(sizeof kPrime256v1);
  out.insert(out.end(), std::begin(kPrime256v1), std::end(kPrime256v1));
  out.insert(out.end(), {kBitString, 0x42, 0x00, kUncompressedPoint});
  out.insert(out.end(), key.xy.begin(), key.xy.end());
  return out;
}

std::optional<P256PublicKey> ReadReleaseKey(std::string_view base64) {
  const auto der = DecodeBase64(base64);
  if (!der) return std::nullopt;
  return ParseP256PublicKey(*der);
}

}  // namespace kv
