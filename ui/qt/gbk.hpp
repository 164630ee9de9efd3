// Conversion between the program's GBK texts and the display's strings.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kv::ui {

// GBK bytes to a display string. Every character of GBK is shown as the code
// page maps it; each byte that is part of no character, and each pair that
// stands for none, shows as one U+FFFD (the rule is in gbk_walk.hpp).
QString FromGbk(std::string_view bytes);

// A display string to GBK bytes, or nothing when some character has no GBK form.
std::optional<std::string> ToGbk(const QString& text);

}  // namespace kv::ui
