#include "message_box.hpp"

#include <mutex>

#include "ui_thread.hpp"

namespace kv::ui {

namespace {

std::mutex hookMutex;
MessageHook hook;

MessageHook CurrentHook() {
  std::lock_guard lock(hookMutex);
  return hook;
}

bool Show(MessageKind kind, std::string_view gbkText, std::string_view gbkCaption) {
  bool answer = false;
  const std::string text(gbkText), caption(gbkCaption);
  RunOnUiThreadBlocking([&] {
    if (MessageHook h = CurrentHook()) {
      answer = h({kind, text, caption});
      return;
    }
    answer = detail::ShowBox(kind, text, caption);
  });
  return answer;
}

}  // namespace

void ShowMessage(std::string_view gbkText, std::string_view gbkCaption) {
  Show(MessageKind::Ok, gbkText, gbkCaption);
}

bool AskYesNo(std::string_view gbkText, std::string_view gbkCaption) {
  return Show(MessageKind::YesNo, gbkText, gbkCaption);
}

void ShowMessageModeless(std::string_view gbkText, std::string_view gbkCaption, std::function<void()> afterOk) {
  RunOnUiThread([text = std::string(gbkText), caption = std::string(gbkCaption), afterOk = std::move(afterOk)] {
    if (MessageHook h = CurrentHook()) {
      h({MessageKind::Modeless, text, caption});
      if (afterOk) afterOk();
      return;
    }
    detail::ShowModelessBox(text, caption, afterOk);
  });
}

void CloseModelessMessages() {
  RunOnUiThreadBlocking([] { detail::CloseModelessBoxes(); });
}

void SetMessageHookForTesting(MessageHook h) {
  std::lock_guard lock(hookMutex);
  hook = std::move(h);
}

}  // namespace kv::ui
