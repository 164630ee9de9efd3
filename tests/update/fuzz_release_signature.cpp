// The signature file reader and the public key reader on arbitrary bytes.
// Both accept exactly one spelling of each value: whatever they accept, written
// back, gives the input again (for the signature file, less its white space).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "release_key.hpp"
#include "release_signature.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kv::SignatureFile file = kv::ReadSignatureFile(text);
  if (size > kv::kMaxSignatureFileSize && file.error != kv::SignatureFileError::kTooLarge) std::abort();
  if (file.ok()) {
    std::string bare;
    for (char c : text) {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') bare.push_back(c);
    }
    if (kv::WriteSignatureFile(file.signature) != bare + "\n") std::abort();
    const auto zero = [](const std::array<std::uint8_t, 32>& n) {
      return std::all_of(n.begin(), n.end(), [](std::uint8_t b) { return b == 0; });
    };
    if (zero(file.signature.r) || zero(file.signature.s)) std::abort();
  } else if (file.signature != kv::EcdsaSignature{}) {
    std::abort();
  }

  const auto key = kv::ParseP256PublicKey({data, size});
  if (key) {
    const std::vector<std::uint8_t> der = kv::P256PublicKeyToDer(*key);
    if (!std::equal(der.begin(), der.end(), data, data + size)) std::abort();
  }
  return 0;
}
