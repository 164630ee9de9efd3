// A fresh ECDSA P-256 key pair for one test, made with the platform's own
// library (test_signer_openssl.cpp, test_signer_win.cpp), so the checks are
// tried against signatures that the code under test did not make.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

class TestSigner {
 public:
  TestSigner();
  ~TestSigner();
  TestSigner(const TestSigner&) = delete;
  TestSigner& operator=(const TestSigner&) = delete;

  // The public key as DER SubjectPublicKeyInfo, and in base64 as the build
  // compiles it in.
  std::vector<std::uint8_t> PublicKeyDer() const;
  std::string PublicKey() const;
  // The signature file for `bytes`: base64 of the DER signature, one line.
  std::string Sign(std::string_view bytes) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kv::test
