#include "skin_file.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kv::skin {

namespace {

constexpr std::string_view kMagic{".SHE\0", 5};
constexpr std::string_view kFirstLine = "kelvaro-skin 1";

bool ValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      if (c == 0) return false;
      ++i;
      continue;
    }
    if ((c & 0xE0) == 0xC0) n = 1, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 2, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 3, cp = c & 0x07;
    else return false;
    if (s.size() - i <= n) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.';
}

bool IsName(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), IsNameChar); }

std::optional<std::uint32_t> ParseColour(std::string_view s) {
  if (s.size() != 7 || s[0] != '#') return std::nullopt;
  std::uint32_t v = 0;
  for (char c : s.substr(1)) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return v;
}

std::string Hex(std::uint32_t rgb) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s = "#";
  for (int shift = 20; shift >= 0; shift -= 4) s += kDigits[(rgb >> shift) & 0xF];
  return s;
}

// Splits "key = value"; nothing when the line is not of that form.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const auto key = Trim(line.substr(0, eq));
  const auto value = Trim(line.substr(eq + 1));
  if (!IsName(key) || value.empty()) return std::nullopt;
  return std::pair{key, value};
}

}  // namespace

std::optional<SkinFile> ParseSkinFile(std::span<const unsigned char> bytes) {
  if (bytes.size() < kMagic.size() || bytes.size() > kMaxSkinFileSize) return std::nullopt;
  const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (all.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  const std::string_view text = all.substr(kMagic.size());
  if (!ValidUtf8(text)) return std::nullopt;

  SkinFile skin;
  enum class Section { Start, Colours, Palette, Style, Sheet } section = Section::Start;
  bool sawFirstLine = false;
  std::size_t pos = 0;
  std::string_view sheet;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    const std::size_t next = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    pos = next;
    if (!sawFirstLine) {
      if (line != kFirstLine) return std::nullopt;
      sawFirstLine = true;
      continue;
    }
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      Section wanted;
      if (line == "[colours]") wanted = Section::Colours;
      else if (line == "[palette]") wanted = Section::Palette;
      else if (line == "[style]") wanted = Section::Style;
      else if (line == "[style sheet]") wanted = Section::Sheet;
      else return std::nullopt;
      if (wanted <= section) return std::nullopt;  // each once, in this order
      section = wanted;
      if (section == Section::Sheet) {
        sheet = pos < text.size() ? text.substr(pos) : std::string_view{};
        break;
      }
      continue;
    }
    const auto kv = KeyValue(line);
    if (!kv) return std::nullopt;
    const auto [key, value] = *kv;
    auto colourNamed = [&](std::string_view name) -> std::optional<std::uint32_t> {
      for (const auto& [n, rgb] : skin.colours)
        if (n == name) return rgb;
      return std::nullopt;
    };
    switch (section) {
      case Section::Colours: {
        const auto rgb = ParseColour(value);
        if (!rgb || key.find('.') != std::string_view::npos || colourNamed(key)) return std::nullopt;
        skin.colours.emplace_back(std::string(key), *rgb);
        break;
      }
      case Section::Palette: {
        const auto rgb = colourNamed(value);
        if (!rgb) return std::nullopt;
        skin.palette.emplace_back(std::string(key), *rgb);
        break;
      }
      case Section::Style:
        if (key == "base") {
          if (!IsName(value)) return std::nullopt;
          skin.baseStyle = std::string(value);
        } else if (key == "font") {
          skin.fontFamilies.clear();
          for (std::size_t from = 0; from <= value.size();) {
            std::size_t comma = value.find(',', from);
            if (comma == std::string_view::npos) comma = value.size();
            const auto family = Trim(value.substr(from, comma - from));
            if (family.empty()) return std::nullopt;
            skin.fontFamilies.emplace_back(family);
            from = comma + 1;
          }
        } else if (key == "font-size") {
          int px = 0;
          for (char c : value) {
            if (c < '0' || c > '9' || px > 100) return std::nullopt;
            px = px * 10 + (c - '0');
          }
          if (px < 6 || px > 72) return std::nullopt;
          skin.fontPixelSize = px;
        } else {
          return std::nullopt;
        }
        break;
      default:
        return std::nullopt;
    }
  }
  if (!sawFirstLine) return std::nullopt;

  // The sheet with every @name replaced by its colour.
  std::string out;
  out.reserve(sheet.size());
  for (std::size_t i = 0; i < sheet.size();) {
    if (sheet[i] != '@') {
      out += sheet[i++];
      continue;
    }
    std::size_t j = i + 1;
    while (j < sheet.size() && IsNameChar(sheet[j]) && sheet[j] != '.') ++j;
    const std::string_view name = sheet.substr(i + 1, j - i - 1);
    std::optional<std::uint32_t> rgb;
    for (const auto& [n, c] : skin.colours)
      if (n == name) rgb = c;
    if (!rgb) return std::nullopt;
    out += Hex(*rgb);
    i = j;
  }
  skin.styleSheet = std::move(out);
  return skin;
}

}  // namespace kv::skin
