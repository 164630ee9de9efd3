// Conversion between the program's GBK texts and the display's strings.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kv::ui {

// GBK bytes to a display string. Every character of GBK is shown as the code
// page maps it; each byte that is part of no character, and each pair that
// stands for none, shows as one U+FFFD (the rule is in gbk_walk.hpp).
QString FromGbk(std::string_view bytes);

// Where byte offsets of `bytes` land in FromGbk(bytes): positions[i] is the
// number of UTF-16 units that the pieces starting before offsets[i] convert
// to. `offsets` must be ascending; an offset past the end counts every piece.
// An offset on a character boundary lands where that character begins.
void Utf16Positions(std::string_view bytes, std::span<const std::uint32_t> offsets, std::span<qsizetype> positions);

// A display string to GBK bytes, or nothing when some character has no GBK form.
std::optional<std::string> ToGbk(const QString& text);

}  // namespace kv::ui
