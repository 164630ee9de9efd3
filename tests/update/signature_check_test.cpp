// The signature check against keys and signatures made by the platform's own
// library for each test. No POSIX or Windows calls here: the same cases run
// on both platforms.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "base64.hpp"
#include "kelvaro_config.hpp"
#include "signature_check.hpp"
#include "test_files.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::RandomBytes;
using test::TestSigner;
using test::WriteFile;

class SignatureCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("kv-signature-" + std::to_string(seed()) + std::to_string(seed()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes `bytes` to a file and checks it against `sig` and `key`.
  SignatureCheck Check(const std::string& bytes, const std::string& sig, const std::string& key) {
    const fs::path file = dir_ / "archive.rar";
    WriteFile(file, bytes);
    return CheckFileSignature(file, sig, key);
  }

  static const TestSigner& Signer() {
    static const TestSigner signer;
    return signer;
  }

  fs::path dir_;
};

std::string Describe(const SignatureCheck& c) {
  return std::to_string(static_cast<int>(c.verdict)) + " (" + c.reason + ")";
}

TEST_F(SignatureCheckTest, GoodSignatureVerifiesAtEverySize) {
  constexpr std::size_t kChunk = kSignatureCheckChunk;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{10240}, kChunk - 1, kChunk, kChunk + 1,
                           3 * kChunk, std::size_t{3 << 20} + 7}) {
    const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    const SignatureCheck c = Check(bytes, Signer().Sign(bytes), Signer().PublicKey());
    EXPECT_TRUE(c.verified()) << size << ": " << Describe(c);
  }
}

TEST_F(SignatureCheckTest, AnyChangeToTheBytesIsRefused) {
  const std::string bytes = RandomBytes(kSignatureCheckChunk * 2 + 100, 7);
  const std::string sig = Signer().Sign(bytes);
  const auto flipped = [&](std::size_t at) {
    std::string b = bytes;
    b[at] = static_cast<char>(b[at] ^ 0x01);
    return b;
  };
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"first byte flipped", flipped(0)},
      {"byte at a chunk's end flipped", flipped(kSignatureCheckChunk - 1)},
      {"last byte flipped", flipped(bytes.size() - 1)},
      {"one byte more", bytes + "x"},
      {"one byte less", bytes.substr(0, bytes.size() - 1)},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    const SignatureCheck r = Check(c.bytes, sig, Signer().PublicKey());
    EXPECT_EQ(r.verdict, SignatureVerdict::kMismatch) << c.what << ": " << Describe(r);
  }
}

TEST_F(SignatureCheckTest, SignatureByAnotherKeyOrForOtherBytesIsRefused) {
  const std::string bytes = RandomBytes(5000, 3);
  const TestSigner other;
  EXPECT_EQ(Check(bytes, other.Sign(bytes), Signer().PublicKey()).verdict, SignatureVerdict::kMismatch);
  EXPECT_EQ(Check(bytes, Signer().Sign(bytes), other.PublicKey()).verdict, SignatureVerdict::kMismatch);
  EXPECT_EQ(Check(bytes, Signer().Sign(bytes + "!"), Signer().PublicKey()).verdict, SignatureVerdict::kMismatch);
  // r and s swapped: still a well-formed file, not a signature.
  SignatureFile f = ReadSignatureFile(Signer().Sign(bytes));
  ASSERT_TRUE(f.ok());
  const EcdsaSignature good = f.signature;
  std::swap(f.signature.r, f.signature.s);
  EXPECT_EQ(Check(bytes, WriteSignatureFile(f.signature), Signer().PublicKey()).verdict, SignatureVerdict::kMismatch);
  // Values of 32 bytes that are not below the group order n are no signature.
  const std::array<std::uint8_t, 32> order = {
      0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
      0xbc, 0xe6, 0xfa, 0xad, 0xa7, 0x17, 0x9e, 0x84, 0xf3, 0xb9, 0xca, 0xc2, 0xfc, 0x63, 0x25, 0x51};
  std::array<std::uint8_t, 32> allOnes;
  allOnes.fill(0xff);
  for (const EcdsaSignature& bad : {EcdsaSignature{order, good.s}, EcdsaSignature{good.r, order},
                                    EcdsaSignature{allOnes, good.s}, EcdsaSignature{good.r, allOnes}}) {
    EXPECT_EQ(Check(bytes, WriteSignatureFile(bad), Signer().PublicKey()).verdict, SignatureVerdict::kMismatch);
  }
}

TEST_F(SignatureCheckTest, SignatureFileAsToolsWriteItOrBroken) {
  const std::string bytes = RandomBytes(20000, 11);
  std::string sig = Signer().Sign(bytes);
  const std::string line = sig.substr(0, sig.find('\n'));
  const auto wrapped = [&](std::size_t columns, const char* lineBreak) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); i += columns) out += line.substr(i, columns) + lineBreak;
    return out;
  };
  const struct {
    const char* what;
    std::string sig;
    SignatureVerdict verdict;
  } cases[] = {
      {"one line", line, SignatureVerdict::kVerified},
      {"wrapped at 64, CR LF", wrapped(64, "\r\n"), SignatureVerdict::kVerified},
      {"wrapped at 76, LF", wrapped(76, "\n"), SignatureVerdict::kVerified},
      {"blank around", "\n\n  " + line + "  \n\n", SignatureVerdict::kVerified},
      {"truncated", line.substr(0, line.size() / 2), SignatureVerdict::kBadSignatureFile},
      {"truncated by a group", line.substr(0, line.size() - 4), SignatureVerdict::kBadSignatureFile},
      {"garbage", "<html><body>404 Not Found</body></html>", SignatureVerdict::kBadSignatureFile},
      {"empty", "", SignatureVerdict::kBadSignatureFile},
      {"larger than 4 KiB", line + std::string(4097, '\n'), SignatureVerdict::kBadSignatureFile},
      {"a large valid-looking base64 body", EncodeBase64Line(std::vector<std::uint8_t>(4000, 0x30)),
       SignatureVerdict::kBadSignatureFile},
  };
  for (const auto& c : cases) {
    const SignatureCheck r = Check(bytes, c.sig, Signer().PublicKey());
    EXPECT_EQ(r.verdict, c.verdict) << c.what << ": " << Describe(r);
  }
}

TEST_F(SignatureCheckTest, KeysThatAreNotUsableP256Keys) {
  const std::string bytes = "archive";
  const std::string sig = Signer().Sign(bytes);
  std::vector<std::uint8_t> der = Signer().PublicKeyDer();
  ASSERT_EQ(der.size(), 91u);
  // The platform's own key, read and written back, is byte for byte the same.
  const auto key = ParseP256PublicKey(der);
  ASSERT_TRUE(key);
  EXPECT_EQ(P256PublicKeyToDer(*key), der);

  std::vector<std::uint8_t> offCurve = der;
  offCurve.back() ^= 0x01;  // y changed: the point leaves the curve
  std::vector<std::uint8_t> otherCurve = der;
  otherCurve[22] = 0x08;
  P256PublicKey zero;
  const struct {
    const char* what;
    std::string key;
  } cases[] = {
      {"empty", ""},
      {"not base64", "not a key!"},
      {"a signature, not a key", sig},
      {"another curve", EncodeBase64Line(otherCurve)},
      {"the zero point", EncodeBase64Line(P256PublicKeyToDer(zero))},
  };
  for (const auto& c : cases) {
    const SignatureCheck r = Check(bytes, sig, c.key);
    EXPECT_EQ(r.verdict, SignatureVerdict::kBadKey) << c.what << ": " << Describe(r);
  }
  // A point off the curve: OpenSSL refuses it on import, Wine's CNG only when
  // verifying. Either way nothing verifies against it.
  const SignatureCheck off = Check(bytes, sig, EncodeBase64Line(offCurve));
  EXPECT_TRUE(off.verdict == SignatureVerdict::kBadKey || off.verdict == SignatureVerdict::kMismatch) << Describe(off);
  EXPECT_TRUE(Check(bytes, sig, EncodeBase64Line(der)).verified());
}

TEST_F(SignatureCheckTest, ArchiveThatCannotBeRead) {
  const std::string sig = Signer().Sign("");
  const std::string key = Signer().PublicKey();
  EXPECT_EQ(CheckFileSignature(dir_ / "missing.rar", sig, key).verdict, SignatureVerdict::kUnreadable);
  EXPECT_EQ(CheckFileSignature(dir_, sig, key).verdict, SignatureVerdict::kUnreadable);  // a folder
  const SignatureCheck empty = CheckSignature([](std::span<std::uint8_t>) -> std::ptrdiff_t { return 0; }, sig, key);
  EXPECT_TRUE(empty.verified()) << Describe(empty);
  // A read that fails half-way does not count as the end of the bytes.
  int calls = 0;
  const SignatureCheck broken = CheckSignature(
      [&](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        if (++calls > 1) return -1;
        buffer[0] = 'x';
        return 1;
      },
      Signer().Sign("x"), key);
  EXPECT_EQ(broken.verdict, SignatureVerdict::kUnreadable) << Describe(broken);
}

TEST_F(SignatureCheckTest, BytesArriveInChunksNeverWhole) {
  const std::string bytes = RandomBytes(3 * kSignatureCheckChunk + 12345, 5);
  const std::string sig = Signer().Sign(bytes);
  // Short reads of odd sizes: the hash goes on where the last read stopped.
  std::size_t at = 0;
  std::size_t reads = 0;
  std::size_t largestAsk = 0;
  const SignatureCheck r = CheckSignature(
      [&](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        largestAsk = std::max(largestAsk, buffer.size());
        const std::size_t n = std::min({buffer.size(), bytes.size() - at, std::size_t{1} + (reads++ * 7919) % 100000});
        std::copy_n(bytes.data() + at, n, buffer.data());
        at += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      sig, Signer().PublicKey());
  EXPECT_TRUE(r.verified()) << Describe(r);
  EXPECT_EQ(at, bytes.size());
  EXPECT_GT(reads, 3u);
  EXPECT_LE(largestAsk, kSignatureCheckChunk);
}

TEST_F(SignatureCheckTest, InStepsAsTheBytesArrive) {
  const std::string bytes = RandomBytes(100000, 9);
  const std::string sig = Signer().Sign(bytes);
  const auto span = [&](std::size_t from, std::size_t n) {
    return std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()) + from, n);
  };
  // In the download's chunks of 10240 bytes, the last one short.
  IncrementalSignatureCheck check(Signer().PublicKey());
  for (std::size_t at = 0; at < bytes.size(); at += 10240) {
    EXPECT_TRUE(check.Add(span(at, std::min<std::size_t>(10240, bytes.size() - at))));
  }
  EXPECT_TRUE(check.Finish(sig).verified());
  // The hash is spent: a second verdict is a refusal, never a second "verified".
  EXPECT_EQ(check.Finish(sig).verdict, SignatureVerdict::kMismatch);

  IncrementalSignatureCheck missing(Signer().PublicKey());
  missing.Add(span(0, bytes.size() - 1));
  EXPECT_EQ(missing.Finish(sig).verdict, SignatureVerdict::kMismatch);

  IncrementalSignatureCheck unread(Signer().PublicKey());
  unread.Add(span(0, bytes.size()));
  unread.ReadFailed();
  EXPECT_FALSE(unread.ok());
  EXPECT_EQ(unread.Finish(sig).verdict, SignatureVerdict::kUnreadable);

  IncrementalSignatureCheck badFile(Signer().PublicKey());
  badFile.Add(span(0, bytes.size()));
  EXPECT_EQ(badFile.Finish(sig.substr(0, 20)).verdict, SignatureVerdict::kBadSignatureFile);

  IncrementalSignatureCheck badKey("MFkw");
  EXPECT_FALSE(badKey.Add(span(0, bytes.size())));
  EXPECT_EQ(badKey.Finish(sig).verdict, SignatureVerdict::kBadKey);
}

TEST(CompiledReleaseKey, IsAKeyThePlatformTakes) {
  if (!config::kCheckReleaseSignature) {
    EXPECT_STREQ(config::kReleaseKey, "");
    GTEST_SKIP() << "a build configured with KELVARO_UNSIGNED_RELEASES=ON";
  }
  const auto key = ReadReleaseKey(config::kReleaseKey);
  ASSERT_TRUE(key) << config::kReleaseKey;
  EXPECT_TRUE(SignatureVerifier::Create(*key));
}

}  // namespace
}  // namespace kv
