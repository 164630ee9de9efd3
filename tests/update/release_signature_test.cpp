// The pieces of release checking that are plain byte work: base64, the
// signature file and the public key's SubjectPublicKeyInfo.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base64.hpp"
#include "release_key.hpp"
#include "release_signature.hpp"

namespace kv {
namespace {

std::vector<std::uint8_t> Hex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits.push_back(c);
  }
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(Base64, DecodesTheRfcVectorsAndWhiteSpaceAnywhere) {
  const struct {
    const char* text;
    const char* bytes;
  } cases[] = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9v", "foo"},
      {"Zm9vYg==", "foob"},
      {"Zm9vYmE=", "fooba"},
      {"Zm9vYmFy", "foobar"},
      {"Zm9v\r\nYmFy\r\n", "foobar"},
      {"  Zm 9v\tYm\nFy  ", "foobar"},
      {"Zm9vYg=\n=\n", "foob"},
      {"\n\n", ""},
  };
  for (const auto& c : cases) {
    const auto got = DecodeBase64(c.text);
    ASSERT_TRUE(got) << c.text;
    EXPECT_EQ(*got, Bytes(c.bytes)) << c.text;
  }
  for (const char* bytes : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) {
    EXPECT_EQ(EncodeBase64Line(Bytes(bytes)), cases[std::string_view(bytes).size()].text) << bytes;
  }
}

TEST(Base64, RefusesEverythingButOneSpellingOfTheBytes) {
  for (const char* text : {
           "Zm9",            // a group cut short
           "Zg",             // padding missing
           "Zg=",            // padding cut short
           "Z===",           // a single sextet
           "====",           // nothing but padding
           "=Zm9",           // padding first
           "Zm=v",           // padding inside
           "Zg==Zg==",       // data after the padding
           "Zg==\n=",        // more padding after the end
           "Zh==",           // bits set in the padding
           "Zm9=",           // bits set in the padding
           "Zm9v!",          // outside the alphabet
           "Zm-_",           // the URL alphabet
           "Zm9v\v",         // a vertical tab is not white space here
           "Zm9v\f",         // nor a form feed
       }) {
    EXPECT_FALSE(DecodeBase64(text)) << text;
  }
  EXPECT_FALSE(DecodeBase64(std::string("Zm9v\0YmFy", 9)));
  EXPECT_FALSE(DecodeBase64("Zm9v\xff"));
}

// The signature file of the DER given in hex.
std::string FileOf(std::string_view derHex) { return EncodeBase64Line(Hex(derHex)) + "\n"; }

std::array<std::uint8_t, 32> Scalar(std::string_view hex) {
  std::array<std::uint8_t, 32> out{};
  const std::vector<std::uint8_t> v = Hex(hex);
  std::copy(v.begin(), v.end(), out.end() - static_cast<std::ptrdiff_t>(v.size()));
  return out;
}

const std::string k32 = "c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdddedfe0";  // high bit set
const std::string k32Low = "0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20";

TEST(SignatureFile, ReadsStrictDerOfP256Size) {
  const struct {
    std::string der;
    std::string r, s;
  } cases[] = {
      {"3006 020101 020102", "01", "02"},
      {"3008 02020080 020200ff", "80", "ff"},  // a sign byte where the top bit is set
      {"3044 0220" + k32Low + " 0220" + k32Low, k32Low, k32Low},
      {"3046 022100" + k32 + " 022100" + k32, k32, k32},  // the largest: 33 bytes each
      {"3026 022100" + k32 + " 020101", k32, "01"},
  };
  for (const auto& c : cases) {
    const SignatureFile f = ReadSignatureFile(FileOf(c.der));
    ASSERT_TRUE(f.ok()) << c.der << " error " << static_cast<int>(f.error);
    EXPECT_EQ(f.signature.r, Scalar(c.r)) << c.der;
    EXPECT_EQ(f.signature.s, Scalar(c.s)) << c.der;
    // Written back, the same DER comes out: it is the only one for the values.
    EXPECT_EQ(SignatureToDer(f.signature), Hex(c.der)) << c.der;
    EXPECT_EQ(WriteSignatureFile(f.signature), FileOf(c.der));
  }
}

TEST(SignatureFile, RefusesWhatIsNotOneStrictSignature) {
  using E = SignatureFileError;
  const std::string big(128 * 2, '1');  // 128 bytes of 0x11
  const struct {
    std::string der;
    E error;
  } cases[] = {
      {"3006 020180 020101", E::kOutOfRange},                   // negative r
      {"3006 020101 0201ff", E::kOutOfRange},                   // negative s
      {"3006 020100 020101", E::kOutOfRange},                   // r = 0
      {"3007 02020000 020101", E::kNotDer},                     // zero spelt long
      {"3007 0202007f 020101", E::kNotDer},                     // a needless leading zero
      {"3026 022101" + k32 + " 020101", E::kOutOfRange},        // 33 bytes of value
      {"3027 02220000" + k32 + " 020101", E::kNotDer},          // two leading zeros
      {"3005 0200 020101", E::kNotDer},                         // an empty integer
      {"3006 020101 020101 00", E::kNotDer},                    // a byte after the sequence
      {"3009 020101 020101 020101", E::kNotDer},                // three integers
      {"3003 020101", E::kNotDer},                              // one integer
      {"3100 ", E::kNotDer},                                    // a set, not a sequence
      {"3106 020101 020101", E::kNotDer},                       // a set, not a sequence
      {"3006 030101 020101", E::kNotDer},                       // a bit string for r
      {"308106 020101 020101", E::kNotDer},                     // a length in long form that fits short
      {"3080 020101 020101 0000", E::kNotDer},                  // indefinite length
      {"3007 020101 020101", E::kNotDer},                       // longer than the bytes
      {"30", E::kNotDer},                                       // cut short
      {"3005 020101 0202ff", E::kNotDer},                       // the inner integer longer than its sequence
      {"308186 028180" + big + " 020101", E::kOutOfRange},      // long form done right, far too large
      {"30820086 028180" + big + " 020101", E::kNotDer},        // two length bytes where one does
  };
  for (const auto& c : cases) {
    const SignatureFile f = ReadSignatureFile(FileOf(c.der));
    EXPECT_EQ(f.error, c.error) << c.der;
    EXPECT_FALSE(f.ok()) << c.der;
  }
}

TEST(SignatureFile, TextAroundTheDer) {
  using E = SignatureFileError;
  const std::string good = EncodeBase64Line(Hex("3006 020101 020102"));
  const struct {
    std::string text;
    E error;
  } cases[] = {
      {good, E::kNone},
      {"\r\n  " + good + " \r\n\r\n", E::kNone},
      {good.substr(0, 4) + "\r\n" + good.substr(4) + "\n", E::kNone},
      {std::string(4096 - good.size(), ' ') + good, E::kNone},      // exactly 4 KiB
      {std::string(4097 - good.size(), ' ') + good, E::kTooLarge},  // one byte more
      {std::string(1 << 20, 'A'), E::kTooLarge},
      {"", E::kEmpty},
      {" \r\n\t", E::kEmpty},
      {good.substr(0, good.size() / 2), E::kNotBase64},  // cut in the middle
      {"-----BEGIN SIGNATURE-----\n" + good + "\n", E::kNotBase64},
      {good + "\x1a", E::kNotBase64},
      {"AAAA", E::kNotDer},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadSignatureFile(c.text).error, c.error) << c.text.substr(0, 80);
  }
}

// 64 bytes of point: 0x01 .. 0x40.
P256PublicKey CountingPoint() {
  P256PublicKey key;
  for (std::size_t i = 0; i < key.xy.size(); ++i) key.xy[i] = static_cast<std::uint8_t>(i + 1);
  return key;
}

TEST(ReleaseKey, SubjectPublicKeyInfoOfAPoint) {
  const P256PublicKey key = CountingPoint();
  const std::vector<std::uint8_t> der = P256PublicKeyToDer(key);
  // What `openssl pkey -pubout -outform DER` writes before the point.
  const std::vector<std::uint8_t> start = Hex("3059 3013 06072a8648ce3d0201 06082a8648ce3d030107 034200 04");
  ASSERT_EQ(der.size(), 91u);
  EXPECT_TRUE(std::equal(start.begin(), start.end(), der.begin()));
  EXPECT_EQ(ParseP256PublicKey(der), key);
  EXPECT_EQ(ReadReleaseKey(EncodeBase64Line(der)), key);
  EXPECT_EQ(ReadReleaseKey(EncodeBase64Line(der).insert(64, "\n")), key);
}

TEST(ReleaseKey, RefusesOtherKeysAndBrokenDer) {
  const std::vector<std::uint8_t> good = P256PublicKeyToDer(CountingPoint());
  const auto changed = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> v = good;
    v[at] = value;
    return v;
  };
  std::vector<std::uint8_t> compressed = Hex("3039 3013 06072a8648ce3d0201 06082a8648ce3d030107 032200 02");
  compressed.insert(compressed.end(), 32, 0x11);
  std::vector<std::uint8_t> rsaAlgorithm = Hex("305c 300d 06092a864886f70d010101 0500 034b00");
  rsaAlgorithm.insert(rsaAlgorithm.end(), 0x4a, 0x30);
  const struct {
    const char* what;
    std::vector<std::uint8_t> der;
  } cases[] = {
      {"another curve", changed(22, 0x08)},
      {"another algorithm", changed(12, 0x03)},
      {"unused bits", changed(25, 0x01)},
      {"a hybrid point", changed(26, 0x06)},
      {"a compressed point", compressed},
      {"an RSA key", rsaAlgorithm},
      {"cut short", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
      {"nothing", {}},
  };
  for (const auto& c : cases) EXPECT_FALSE(ParseP256PublicKey(c.der)) << c.what;
  std::vector<std::uint8_t> trailing = good;
  trailing.push_back(0);
  EXPECT_FALSE(ParseP256PublicKey(trailing));
  EXPECT_FALSE(ReadReleaseKey(""));
  EXPECT_FALSE(ReadReleaseKey("not a key"));
}

}  // namespace
}  // namespace kv
