// Message boxes: a fixed text, no icon, no owner, modal to the whole program
// unless said otherwise. Every function may be called from any thread; from a
// worker the box is shown on the user-interface thread. Ctrl+C copies a box's
// text.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kv::ui {

inline constexpr char kInformationCaption[] = "信息：";

// OK only; Esc and the close box count as OK. Returns once dismissed.
void ShowMessage(std::string_view gbkText, std::string_view gbkCaption = kInformationCaption);

// Yes and No, without a close box; Esc does nothing: the user must choose.
// True for Yes.
bool AskYesNo(std::string_view gbkText, std::string_view gbkCaption);

// An OK box that leaves the program's windows usable (a worker's report while
// its window stays open). Returns at once; `afterOk` runs on the
// user-interface thread once the box was dismissed.
void ShowMessageModeless(std::string_view gbkText, std::string_view gbkCaption, std::function<void()> afterOk = {});

// Closes every modeless box still open, without running its afterOk.
void CloseModelessMessages();

// For tests: while a hook is set, no box is shown; the hook gets what would be
// shown (GBK) on the user-interface thread and gives the answer (ignored but
// for Yes/No; a modeless box counts as dismissed at once). An empty function
// removes the hook.
enum class MessageKind { Ok, YesNo, Modeless };
struct MessageRequest {
  MessageKind kind;
  std::string gbkText;
  std::string gbkCaption;
};
using MessageHook = std::function<bool(const MessageRequest&)>;
void SetMessageHookForTesting(MessageHook hook);

namespace detail {
// The backend's boxes, on the user-interface thread.
bool ShowBox(MessageKind kind, const std::string& gbkText, const std::string& gbkCaption);
void ShowModelessBox(const std::string& gbkText, const std::string& gbkCaption, std::function<void()> afterOk);
void CloseModelessBoxes();
}  // namespace detail

}  // namespace kv::ui
