#include <openssl/evp.h>
#include <openssl/x509.h>

#include <stdexcept>

#include "test_signer.hpp"

namespace kv::test {

struct TestSigner::Impl {
  EVP_PKEY* key = nullptr;
  ~Impl() { EVP_PKEY_free(key); }
};

namespace {

// OpenSSL's own base64, not the one under test.
std::string Base64(const std::vector<std::uint8_t>& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace

TestSigner::TestSigner() : impl_(std::make_unique<Impl>()) {
  impl_->key = EVP_EC_gen("P-256");
  if (!impl_->key) throw std::runtime_error("EVP_EC_gen failed");
}

TestSigner::~TestSigner() = default;

std::vector<std::uint8_t> TestSigner::PublicKeyDer() const {
  unsigned char* der = nullptr;
  const int n = i2d_PUBKEY(impl_->key, &der);
  if (n <= 0) throw std::runtime_error("i2d_PUBKEY failed");
  std::vector<std::uint8_t> out(der, der + n);
  OPENSSL_free(der);
  return out;
}

std::string TestSigner::PublicKey() const { return Base64(PublicKeyDer()); }

std::string TestSigner::Sign(std::string_view bytes) const {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  std::size_t length = 0;
  std::vector<std::uint8_t> sig;
  bool ok = ctx && EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, impl_->key) == 1 &&
            EVP_DigestSign(ctx, nullptr, &length, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) == 1;
  if (ok) {
    sig.resize(length);
    ok = EVP_DigestSign(ctx, sig.data(), &length, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) == 1;
    sig.resize(length);
  }
  EVP_MD_CTX_free(ctx);
  if (!ok) throw std::runtime_error("EVP_DigestSign failed");
  return Base64(sig) + "\n";
}

}  // namespace kv::test
