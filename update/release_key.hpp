// The publisher's public key: an ECDSA P-256 key as a DER
// SubjectPublicKeyInfo (what `openssl pkey -pubout -outform DER` writes),
// compiled in as base64 (kelvaro_config.hpp's kReleaseKey).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kv {

// The curve point, x then y, 32 big-endian bytes each.
struct P256PublicKey {
  std::array<std::uint8_t, 64> xy{};
  bool operator==(const P256PublicKey&) const = default;
};

// The point of a SubjectPublicKeyInfo whose algorithm is id-ecPublicKey on
// prime256v1 and whose point is uncompressed; nothing for any other key or
// anything that is not strict DER. Whether the point lies on the curve is left
// to the platform's import.
std::optional<P256PublicKey> ParseP256PublicKey(std::span<const std::uint8_t> spki);

// The SubjectPublicKeyInfo of a point (91 bytes).
std::vector<std::uint8_t> P256PublicKeyToDer(const P256PublicKey& key);

// ParseP256PublicKey of the base64 text `base64` (white space allowed).
std::optional<P256PublicKey> ReadReleaseKey(std::string_view base64);

}  // namespace kv
