// The platform's part of the signature check on Linux: OpenSSL 3's EVP
// interface, the key imported from its SubjectPublicKeyInfo.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstring>

#include "signature_check.hpp"

namespace kv {
namespace {

// OpenSSL tears itself down in an atexit handler, which may run while a
// download's threads still use it (libcurl's TLS, the archive's check) and
// crash them on the way out. Told before anything else initialises it, it
// leaves its state to the end of the process instead.
[[maybe_unused]] const bool kNoTeardownAtExit = [] {
  return OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
}();

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

class OpensslVerifier final : public SignatureVerifier {
 public:
  OpensslVerifier(std::unique_ptr<EVP_PKEY, PkeyFree> key, std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx)
      : key_(std::move(key)), ctx_(std::move(ctx)) {}

  bool Update(std::span<const std::uint8_t> bytes) override {
    return EVP_DigestVerifyUpdate(ctx_.get(), bytes.data(), bytes.size()) == 1;
  }

  bool Verify(const EcdsaSignature& signature) override {
    const std::vector<std::uint8_t> der = SignatureToDer(signature);
    // 1 is a match; 0 a mismatch, anything else an error: neither verifies.
    return EVP_DigestVerifyFinal(ctx_.get(), der.data(), der.size()) == 1;
  }

 private:
  std::unique_ptr<EVP_PKEY, PkeyFree> key_;
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx_;
};

}  // namespace

std::unique_ptr<SignatureVerifier> SignatureVerifier::Create(const P256PublicKey& key) {
  const std::vector<std::uint8_t> spki = P256PublicKeyToDer(key);
  const unsigned char* p = spki.data();
  std::unique_ptr<EVP_PKEY, PkeyFree> pkey(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
  if (!pkey || p != spki.data() + spki.size() || !EVP_PKEY_is_a(pkey.get(), "EC")) return nullptr;
  char group[32] = {};
  std::size_t groupLength = 0;
  if (EVP_PKEY_get_utf8_string_param(pkey.get(), "group", group, sizeof group, &groupLength) != 1 ||
      std::strcmp(group, "prime256v1") != 0) {
    return nullptr;
  }
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) != 1) return nullptr;
  return std::make_unique<OpensslVerifier>(std::move(pkey), std::move(ctx));
}

}  // namespace kv
