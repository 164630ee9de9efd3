// The platform's part of the signature check on Windows: CNG (bcrypt.dll),
// which every supported Windows carries. The key is imported from the point
// as a BCRYPT_ECCPUBLIC_BLOB; the signature is handed over as r followed by s.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "signature_check.hpp"

namespace kv {
namespace {

class CngVerifier final : public SignatureVerifier {
 public:
  ~CngVerifier() override {
    if (hash_) BCryptDestroyHash(hash_);
    if (key_) BCryptDestroyKey(key_);
    if (hashAlgorithm_) BCryptCloseAlgorithmProvider(hashAlgorithm_, 0);
    if (ecdsaAlgorithm_) BCryptCloseAlgorithmProvider(ecdsaAlgorithm_, 0);
  }

  bool Open(const P256PublicKey& key) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&ecdsaAlgorithm_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
      return false;
    }
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.xy.size());
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = static_cast<ULONG>(key.xy.size() / 2);
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.xy.data(), key.xy.size());
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsaAlgorithm_, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key_, blob.data(),
                                            static_cast<ULONG>(blob.size()), 0))) {
      return false;
    }
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&hashAlgorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      return false;
    }
    // No object buffer: CNG keeps the hash state itself.
    return BCRYPT_SUCCESS(BCryptCreateHash(hashAlgorithm_, &hash_, nullptr, 0, nullptr, 0, 0));
  }

  bool Update(std::span<const std::uint8_t> bytes) override {
    // One call takes at most 4 GiB; the chunks are far smaller.
    return BCRYPT_SUCCESS(
        BCryptHashData(hash_, const_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(bytes.size()), 0));
  }

  bool Verify(const EcdsaSignature& signature) override {
    UCHAR digest[32];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest, sizeof digest, 0))) return false;
    UCHAR rs[64];
    std::memcpy(rs, signature.r.data(), signature.r.size());
    std::memcpy(rs + signature.r.size(), signature.s.data(), signature.s.size());
    // STATUS_SUCCESS only for a match (STATUS_INVALID_SIGNATURE otherwise).
    return BCryptVerifySignature(key_, nullptr, digest, sizeof digest, rs, sizeof rs, 0) == 0;
  }

 private:
  BCRYPT_ALG_HANDLE ecdsaAlgorithm_ = nullptr;
  BCRYPT_ALG_HANDLE hashAlgorithm_ = nullptr;
  BCRYPT_KEY_HANDLE key_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::unique_ptr<SignatureVerifier> SignatureVerifier::Create(const P256PublicKey& key) {
  auto verifier = std::make_unique<CngVerifier>();
  if (!verifier->Open(key)) return nullptr;
  return verifier;
}

}  // namespace kv
