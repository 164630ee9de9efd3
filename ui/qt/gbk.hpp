// Conversion between the program's GBK texts and the display's strings.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kv::ui {

// GBK bytes to a display string; bytes that are not valid GBK show as U+FFFD.
QString FromGbk(std::string_view bytes);

// A display string to GBK bytes, or nothing when some character has no GBK form.
std::optional<std::string> ToGbk(const QString& text);

}  // namespace kv::ui
