#include "base64.hpp"

#include <array>

namespace kv {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::int8_t kSkip = -2;
constexpr std::int8_t kBad = -1;

constexpr std::array<std::int8_t, 256> MakeTable() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = kBad;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  for (char c : {' ', '\t', '\r', '\n'}) t[static_cast<unsigned char>(c)] = kSkip;
  return t;
}
constexpr std::array<std::int8_t, 256> kTable = MakeTable();

}  // namespace

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t group = 0;  // the sextets of the group so far
  int inGroup = 0;          // how many sextets (or pads) of the group have been seen
  int pads = 0;
  for (unsigned char c : text) {
    const std::int8_t v = kTable[c];
    if (v == kSkip) continue;
    if (c == '=') {
      // Padding fills the last one or two places of the final group.
      if (inGroup < 2) return std::nullopt;
      ++pads;
      ++inGroup;
    } else {
      if (v == kBad || pads != 0) return std::nullopt;
      group = (group << 6) | static_cast<std::uint32_t>(v);
      ++inGroup;
    }
    if (inGroup == 4) {
      if (pads == 0) {
        out.push_back(static_cast<std::uint8_t>(group >> 16));
        out.push_back(static_cast<std::uint8_t>(group >> 8));
        out.push_back(static_cast<std::uint8_t>(group));
      } else if (pads == 1) {
        if ((group & 0x3) != 0) return std::nullopt;  // 18 bits, two bytes and 2 spare
        out.push_back(static_cast<std::uint8_t>(group >> 10));
        out.push_back(static_cast<std::uint8_t>(group >> 2));
      } else {
        if ((group & 0xf) != 0) return std::nullopt;  // 12 bits, one byte and 4 spare
        out.push_back(static_cast<std::uint8_t>(group >> 4));
      }
      group = 0;
      inGroup = 0;
      if (pads != 0) pads = 3;  // the end: nothing but white space may follow
    }
  }
  if (inGroup != 0) return std::nullopt;
  return out;
}

std::string EncodeBase64Line(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t g = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kAlphabet[(g >> shift) & 0x3f]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest != 0) {
    std::uint32_t g = std::uint32_t{bytes[i]} << 16;
    if (rest == 2) g |= std::uint32_t{bytes[i + 1]} << 8;
    out.push_back(kAlphabet[(g >> 18) & 0x3f]);
    out.push_back(kAlphabet[(g >> 12) & 0x3f]);
    out.push_back(rest == 2 ? kAlphabet[(g >> 6) & 0x3f] : '=');
    out.push_back('=');
  }
  return out;
}

}  // namespace kv
