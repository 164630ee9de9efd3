#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <cstring>
#include <stdexcept>

#include "base64.hpp"
#include "release_key.hpp"
#include "release_signature.hpp"
#include "test_signer.hpp"

namespace kv::test {

struct TestSigner::Impl {
  BCRYPT_ALG_HANDLE ecdsa = nullptr;
  BCRYPT_ALG_HANDLE sha256 = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;
  ~Impl() {
    if (key) BCryptDestroyKey(key);
    if (sha256) BCryptCloseAlgorithmProvider(sha256, 0);
    if (ecdsa) BCryptCloseAlgorithmProvider(ecdsa, 0);
  }
};

TestSigner::TestSigner() : impl_(std::make_unique<Impl>()) {
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&impl_->ecdsa, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) ||
      !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&impl_->sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !BCRYPT_SUCCESS(BCryptGenerateKeyPair(impl_->ecdsa, &impl_->key, 256, 0)) ||
      !BCRYPT_SUCCESS(BCryptFinalizeKeyPair(impl_->key, 0))) {
    throw std::runtime_error("making a P-256 key with CNG failed");
  }
}

TestSigner::~TestSigner() = default;

std::vector<std::uint8_t> TestSigner::PublicKeyDer() const {
  UCHAR blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  ULONG length = 0;
  if (!BCRYPT_SUCCESS(BCryptExportKey(impl_->key, nullptr, BCRYPT_ECCPUBLIC_BLOB, blob, sizeof blob, &length, 0)) ||
      length != sizeof blob) {
    throw std::runtime_error("BCryptExportKey failed");
  }
  P256PublicKey key;
  std::memcpy(key.xy.data(), blob + sizeof(BCRYPT_ECCKEY_BLOB), key.xy.size());
  return P256PublicKeyToDer(key);
}

std::string TestSigner::PublicKey() const { return EncodeBase64Line(PublicKeyDer()); }

std::string TestSigner::Sign(std::string_view bytes) const {
  BCRYPT_HASH_HANDLE hash = nullptr;
  UCHAR digest[32];
  const bool hashed =
      BCRYPT_SUCCESS(BCryptCreateHash(impl_->sha256, &hash, nullptr, 0, nullptr, 0, 0)) &&
      BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                    static_cast<ULONG>(bytes.size()), 0)) &&
      BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
  if (hash) BCryptDestroyHash(hash);
  UCHAR rs[64];
  ULONG length = 0;
  if (!hashed || !BCRYPT_SUCCESS(BCryptSignHash(impl_->key, nullptr, digest, sizeof digest, rs, sizeof rs, &length, 0)) ||
      length != sizeof rs) {
    throw std::runtime_error("signing with CNG failed");
  }
  EcdsaSignature sig;
  std::memcpy(sig.r.data(), rs, 32);
  std::memcpy(sig.s.data(), rs + 32, 32);
  return WriteSignatureFile(sig);
}

}  // namespace kv::test
