// The window API the program's windows are written against. A window is
// built from its table (window_def.hpp) by the backend of the build (ui/qt on
// Linux, ui/win32 on Windows); feature code reads and writes its controls
// through typed handles and binds its handlers to their events. Every text
// crossing this API is GBK; the backend converts for the display.
//
// Everything here runs on the user-interface thread (see ui_thread.hpp for
// handing work over from a worker).
//
// Events, each raised once per occurrence, after the control has changed:
//   clicked          a button was pressed; a check box was toggled
//   content changed  an edit box's text changed, by the user or by SetText
//   got focus        an edit box received the keyboard focus, also when its
//                    window is activated again and hands the focus back to it
//                    (not when its own context menu closes)
//   item selected    a drop-down list shows another item
//   closed           the window was closed: close box, Esc, Close()
// The "created" event of a window is the return of Create: the feature runs
// its created handler then, before it shows the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "keyword_lookup.hpp"
#include "text.hpp"
#include "window_def.hpp"

namespace kv::ui {

using Handler = std::function<void()>;

// What an edit box holds, as GBK. A character that GBK lacks (only pasted
// text can hold one) reads as "?" and clears `exact`.
struct EditText {
  Text gbk;
  bool exact = true;
};

class Window {
 public:
  // Builds the window and every control of `def`, in table order (which is
  // also the Tab order), hidden. Null when the table is inconsistent or the
  // platform could not create the window. `def` must outlive the window.
  static std::unique_ptr<Window> Create(const WindowDef& def);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const WindowDef& Def() const { return def_; }

  // Shows the window modeless, without owner, centred on the screen.
  void Show();
  // Shows the window centred, modal over `owner`: no other window of the
  // program takes input until it has closed. Returns then.
  void ShowModal(Window& owner);
  // Closes the window as its close box does (also one not shown yet). The
  // window object stays valid; it can be shown again.
  void Close();
  // From Create, and from every Show, until the window is closed.
  bool IsOpen() const;
  // Brings the window to the front, restored when it was minimised, and
  // gives it the keyboard; when a modal window of the program is open over
  // it, that one comes to the front above it and takes the keyboard.
  void Activate();
  void SetTopmost(bool on);
  bool IsTopmost() const;
  // A picture (PNG or JPEG bytes) drawn over the whole client area, behind
  // the controls; transparent labels show it through.
  void SetBackgroundPicture(std::span<const unsigned char> image);

  // Controls.
  EditText GetText(EditBoxId box) const;
  // Sets the text; raises content changed once when the text is different.
  void SetText(EditBoxId box, std::string_view gbk);
  void SetText(LabelId label, std::string_view gbk);
  void SetTextColour(LabelId label, std::uint32_t rgb);
  void SetFocus(EditBoxId box);
  bool IsChecked(CheckBoxId box) const;
  void SetEnabled(ButtonId button, bool on);
  bool IsEnabled(ButtonId button) const;
  // The text the drop-down list shows (GBK).
  Text ShownText(DropDownId list) const;
  // Shows the rows of `lookup` as the list's rows (number, question, answer),
  // replacing what it showed: the hits of each row (lookup.Highlights) drawn
  // in the skin's accent colour, and every row marked as a close match when
  // lookup.Close(). Nothing is copied: the list reads the rows, and asks for a
  // row's highlights only when it draws that row, so `lookup` must stay alive
  // and unchanged (no Run, no Clear) until the next ShowResults or ClearRows
  // of that list.
  void ShowResults(ReportListId list, const KeywordLookup& lookup);
  // Empties the list; it holds on to no lookup any more.
  void ClearRows(ReportListId list);
  void SetProgress(ProgressBarId bar, int maximum, int position);

  // Events. Handlers of one event run in the order they were bound.
  void OnClicked(ButtonId button, Handler handler) { Bind(button.index, Event::Clicked, std::move(handler)); }
  void OnClicked(CheckBoxId box, Handler handler) { Bind(box.index, Event::Clicked, std::move(handler)); }
  void OnChanged(EditBoxId box, Handler handler) { Bind(box.index, Event::Changed, std::move(handler)); }
  void OnFocus(EditBoxId box, Handler handler) { Bind(box.index, Event::Focus, std::move(handler)); }
  void OnSelected(DropDownId list, Handler handler) { Bind(list.index, Event::Selected, std::move(handler)); }
  void OnClosed(Handler handler) { Bind(kWindowItself, Event::Closed, std::move(handler)); }

  // For the backend.
  enum class Event : std::uint8_t { Clicked, Changed, Focus, Selected, Closed };
  static constexpr std::size_t kWindowItself = SIZE_MAX;
  void Raise(std::size_t control, Event event);
  struct Impl;
  Impl& impl() const { return *impl_; }

 private:
  Window(const WindowDef& def, std::unique_ptr<Impl> impl);
  void Bind(std::size_t control, Event event, Handler handler);

  struct Binding {
    std::size_t control;
    Event event;
    Handler handler;
  };

  const WindowDef& def_;
  std::unique_ptr<Impl> impl_;
  std::vector<Binding> bindings_;
};

}  // namespace kv::ui
