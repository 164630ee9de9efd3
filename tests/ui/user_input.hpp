// What a user does to a window's controls, as each backend's tests send it:
// the feature tests that use only these run on the Qt and the Win32 backend
// alike. Texts are UTF-16 (u"..." literals), as a keyboard types them.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "text.hpp"
#include "window.hpp"

namespace kv::test {

// The user-interface environment of the test program, made on first use.
void StartUi();
// Shows the window and waits until it is on the screen.
void ShowAndWait(ui::Window& window);

// Selects the box's text and types `keys` over it (Delete when empty).
void Retype(ui::Window& window, ui::EditBoxId box, std::u16string_view keys);
// Types `keys` at the caret.
void TypeMore(ui::Window& window, ui::EditBoxId box, std::u16string_view keys);
void PressBackspace(ui::Window& window, ui::EditBoxId box);
// Selects the box's text and pastes `text` over it from the clipboard.
void Paste(ui::Window& window, ui::EditBoxId box, std::u16string_view text);
// A mouse click on the box, and the Space key with the focus on it.
void Click(ui::Window& window, ui::CheckBoxId box);
void PressSpace(ui::Window& window, ui::CheckBoxId box);
// Picks the item at `index` on the closed list with the keyboard (Home, then
// Down), as a user does.
void ChooseWithKeys(ui::Window& window, ui::DropDownId list, int index);

// A mouse click on the button; on the edit box (which takes the focus).
void Click(ui::Window& window, ui::ButtonId button);
void Click(ui::Window& window, ui::EditBoxId box);
// Tabs the keyboard focus to the control (a table row's index), and whether
// the control has it.
void TabTo(ui::Window& window, std::size_t control);
bool HasFocus(const ui::Window& window, std::size_t control);
// Esc on the control with the focus, handled as the message loop handles it.
void PressEscape(ui::Window& window, std::size_t control);
// The user brings the window to the front (its title bar clicked), and
// whether it is the active window; whether it is on the screen.
void ActivateByUser(ui::Window& window);
bool IsActive(const ui::Window& window);
bool IsShown(const ui::Window& window);

// The rows the list shows, each its cells as GBK; and whether a row is shown
// as a close match.
std::vector<std::vector<Text>> Rows(const ui::Window& window, ui::ReportListId list);
bool ShownAsClose(const ui::Window& window, ui::ReportListId list, std::size_t row);

}  // namespace kv::test
