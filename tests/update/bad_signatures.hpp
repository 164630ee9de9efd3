// The ways a release can fail its signature check, as the update tests serve
// them: for an archive and the signer whose key the program carries, what is
// served as the archive and what answers the request for its ".sig".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "test_signer.hpp"

namespace kv::test {

struct ServedRelease {
  const char* name;
  std::string archive;    // the archive's bytes as served
  int signatureStatus;    // the status of the answer for the .sig (404: none published)
  std::string signature;  // its body
};

// Each is to be refused with "文件校验失败!".
inline std::vector<ServedRelease> BadSignatures(const std::string& archive, const TestSigner& signer) {
  static const TestSigner stranger;
  const std::string good = signer.Sign(archive);
  std::string flipped = archive;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x01);
  return {
      {"one flipped byte in the archive", flipped, 200, good},
      {"signed by another key", archive, 200, stranger.Sign(archive)},
      {"truncated signature file", archive, 200, good.substr(0, good.size() / 2)},
      {"garbage signature file", archive, 200, "this is not a signature at all\n"},
      // A good signature as the body of an error page counts for nothing.
      {"signature answered 404", archive, 404, good},
      // White space the reader would skip, past the size a signature file may have.
      {"signature file over 4 KiB", archive, 200, good + std::string(5000, '\n')},
  };
}

// Whether a request asks for a signature file.
inline bool AsksForSignature(std::string_view target) {
  return target.size() > 4 && target.substr(target.size() - 4) == ".sig";
}

}  // namespace kv::test
