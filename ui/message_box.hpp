// Message boxes: a fixed text, no icon, no owner, modal to the whole program.
// Both functions may be called from any thread; from a worker thread the box is
// shown on the user-interface thread and the caller waits for the answer.
#pragma once

#include <QMessageBox>
#include <functional>
#include <string>
#include <string_view>

namespace kv::ui {

// OK only. Esc and the close box count as OK. Ctrl+C copies the text.
// Returns when the user has dismissed the box.
void ShowMessage(std::string_view gbkText, std::string_view gbkCaption = "信息：");

// Yes and No; true for Yes. Esc and the close box do nothing: the user must
// choose. Ctrl+C copies the text.
bool AskYesNo(std::string_view gbkText, std::string_view gbkCaption);

// An OK box of the same kind that is not shown yet, for a caller that shows it
// without waiting (modeless) and reacts to its finished() signal.
QMessageBox* CreateMessageBox(std::string_view gbkText, std::string_view gbkCaption = "信息：");

// For tests: while a hook is set, no box is shown; the hook gets what would be
// shown (GBK) and gives the answer (ignored for ShowMessage). It runs on the
// user-interface thread. An empty function removes the hook.
enum class MessageKind { Ok, YesNo };
struct MessageRequest {
  MessageKind kind;
  std::string gbkText;
  std::string gbkCaption;
};
using MessageHook = std::function<bool(const MessageRequest&)>;
void SetMessageHookForTesting(MessageHook hook);

}  // namespace kv::ui
