// Windows as data: every window is a fixed list of controls, each with its
// form name, kind, caption, placement, tab stop, font and colour. A backend
// (ui/qt, ui/win32) turns such a table into native controls; feature code
// reaches a control through a typed handle made from the table at compile
// time (ControlOf below), so a misspelt form name or a control of another
// kind does not compile.
//
// Placement is relative to the parent group box when one is named, else to
// the window's client area. Window sizes in the tables are outer sizes of a
// classic frame; the client area is the outer size less kFrameWidth x
// kFrameHeight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kv::ui {

enum class ControlKind : std::uint8_t {
  Label,
  TransparentLabel,  // drawn without a background of its own, over the window's picture
  Button,
  EditBox,
  CheckBox,     // starts unchecked
  DropDown,     // not editable, first item selected
  GroupBox,     // later controls may name it as their parent
  ReportList,   // a read-only table of rows with fixed columns
  ProgressBar,  // range 0..100, position 0, no text
};

// A control's own font. An empty family keeps the default font; backends add
// a CJK fallback after the family.
struct FontDef {
  std::string_view family;  // GBK, e.g. "宋体"
  int pixelSize = 0;        // 0 keeps the default size
  int weight = 0;           // CSS weight (700 = bold); 0 keeps the default
};

// One column of a report list: header text (GBK) and width in pixels.
struct ColumnDef {
  std::string_view header;
  int width = 0;
};

struct ControlDef {
  std::string_view formName;  // GBK; unique within its window
  ControlKind kind = ControlKind::Label;
  std::string_view caption;  // GBK; CR LF or LF breaks lines of a label
  int x = 0, y = 0, w = 0, h = 0;
  std::string_view parent;  // form name of an earlier group box, or empty for the client area
  bool tabStop = false;
  bool visible = true;
  FontDef font = {};
  std::optional<std::uint32_t> textColour = {};  // 0xRRGGBB; none keeps the default
  int maxLength = 0;                             // edit box: most characters, 0 = no limit
  bool digitsOnly = false;  // edit box: typed characters other than 0-9 and '-' are rejected
                            // (control keys pass; pasted text is not filtered)
  bool centred = false;     // edit box: text centred
  std::span<const std::string_view> items = {};  // drop-down list items (GBK)
  std::span<const ColumnDef> columns = {};       // report list columns
};

struct WindowDef {
  std::string_view caption;  // GBK; may be empty
  int outerWidth = 0, outerHeight = 0;
  bool minimizeBox = false;  // every window has a close box and no maximise box
  bool programIcon = false;  // carries the program's icon in its caption bar
  std::span<const ControlDef> controls = {};
};

inline constexpr int kFrameWidth = 6;
inline constexpr int kFrameHeight = 25;

constexpr int ClientWidth(const WindowDef& def) { return def.outerWidth - kFrameWidth; }
constexpr int ClientHeight(const WindowDef& def) { return def.outerHeight - kFrameHeight; }

// Whether a backend can build the table: every form name present and unique,
// every parent an earlier group box.
bool TableIsConsistent(const WindowDef& def);

// The control's parent group box as an index into the table, or nothing for
// the client area. Only for consistent tables.
std::optional<std::size_t> ParentIndex(const WindowDef& def, std::size_t control);

// ---------------------------------------------------------------------------
// Typed handles. A handle is the index of a control in its window's table,
// tagged with what the control is; the window API takes only handles of the
// right tag for each operation.

struct LabelTag {
  static constexpr bool Accepts(ControlKind k) {
    return k == ControlKind::Label || k == ControlKind::TransparentLabel;
  }
};
template <ControlKind K>
struct KindTag {
  static constexpr bool Accepts(ControlKind k) { return k == K; }
};

template <class T>
struct ControlId {
  using Tag = T;
  std::uint16_t index;
  constexpr bool operator==(const ControlId&) const = default;
};

using LabelId = ControlId<LabelTag>;
using ButtonId = ControlId<KindTag<ControlKind::Button>>;
using EditBoxId = ControlId<KindTag<ControlKind::EditBox>>;
using CheckBoxId = ControlId<KindTag<ControlKind::CheckBox>>;
using DropDownId = ControlId<KindTag<ControlKind::DropDown>>;
using GroupBoxId = ControlId<KindTag<ControlKind::GroupBox>>;
using ReportListId = ControlId<KindTag<ControlKind::ReportList>>;
using ProgressBarId = ControlId<KindTag<ControlKind::ProgressBar>>;

namespace detail {
// Reaching one of these in a constant expression stops the compilation with
// its name in the message.
void NoControlWithThatFormName();
void ControlIsOfAnotherKind();
}  // namespace detail

// The handle of the control `formName` of `controls`, found while compiling:
//   static constexpr EditBoxId keywordBox = ControlOf<EditBoxId>(kControls, "欲查找名称编辑框");
// A name the table lacks, or a control of another kind, is a compile error.
template <class Id, std::size_t N>
consteval Id ControlOf(const ControlDef (&controls)[N], std::string_view formName) {
  for (std::size_t i = 0; i < N; ++i) {
    if (controls[i].formName != formName) continue;
    if (!Id::Tag::Accepts(controls[i].kind)) detail::ControlIsOfAnotherKind();
    return Id{static_cast<std::uint16_t>(i)};
  }
  detail::NoControlWithThatFormName();
  return Id{0};
}

}  // namespace kv::ui
