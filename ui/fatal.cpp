#include "fatal.hpp"

#include <cstdio>

#include "application.hpp"
#include "exit_cleanup.hpp"
#include "message_box.hpp"

namespace kv::ui {

std::string FatalText(std::string_view gbkMessage) {
  std::string text = "运行时出错!\r\n\r\n错误信息：";
  text.append(gbkMessage);
  return text;
}

void FatalError(std::string_view gbkMessage) {
  const std::string text = FatalText(gbkMessage);
  if (UiReady()) {
    ShowMessage(text);
  } else {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
  }
  EndProgram(-1);
}

}  // namespace kv::ui
