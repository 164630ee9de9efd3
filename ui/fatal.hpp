// Fatal failures: a message box, then the program ends with exit code -1.
#pragma once

#include <string>
#include <string_view>

namespace kv::ui {

// The box reads "运行时出错!", a blank line, then "错误信息：" and the message.
// The exit clean-up runs before the process ends.
[[noreturn]] void FatalError(std::string_view gbkMessage);

// The full text of the fatal message box for a message (GBK, CR LF breaks).
std::string FatalText(std::string_view gbkMessage);

}  // namespace kv::ui
