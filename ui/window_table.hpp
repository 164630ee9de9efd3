// Table-driven windows: every window is a fixed list of controls, each with its
// form name, kind, caption, placement, tab stop, font and colour. BuildWindow
// turns such a table into Qt widgets on a given top-level widget.
//
// Placement is relative to the parent group box when one is named, else to the
// window's client area. Window sizes in the tables are outer sizes of a classic
// frame; the client area is the outer size less kFrameWidth x kFrameHeight, and
// the window manager adds its own frame around that.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include <QSize>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace kv::ui {

class ReportList;

enum class ControlKind {
  Label,             // QLabel
  TransparentLabel,  // QLabel drawn without a background of its own
  Button,            // QPushButton
  EditBox,           // QLineEdit
  CheckBox,          // QCheckBox, starts unchecked
  DropDown,          // QComboBox, not editable, first item selected
  GroupBox,          // QGroupBox; later controls may name it as their parent
  ReportList,        // kv::ui::ReportList (a QTableView)
  ProgressBar,       // QProgressBar, range 0..100, position 0, no text
};

// A control's own font. An empty family keeps the default font. The layer adds
// a CJK fallback after the family, so "宋体" still draws where SimSun is missing.
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
  std::string_view formName;  // GBK; becomes the widget's objectName
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
  std::span<const ControlDef> controls = {};
};

inline constexpr int kFrameWidth = 6;
inline constexpr int kFrameHeight = 25;

// The client size of a window of the given outer size.
QSize ClientSize(const WindowDef& def);

// Sets caption, fixed client size and caption-bar buttons of the top-level
// `window` and creates every control of `def` on it, in table order (which is
// also the tab order). Esc that no control takes closes the window. The
// widget keeps its window type (Qt::Window or
// Qt::Dialog). False, with no controls created, when the table is inconsistent:
// an empty or repeated form name, or a parent that is not an earlier group box.
bool BuildWindow(const WindowDef& def, QWidget* window);

// Moves a top-level window so that its outer rectangle is centred on its screen.
void CentreOnScreen(QWidget* window, const WindowDef& def);

// The control of `window` with that form name (GBK), or nullptr. Controls of
// other windows that happen to be children of `window` (a modal dialog opened
// over it) are not found.
QWidget* FindControl(QWidget* window, std::string_view gbkFormName);

QLabel* FindLabel(QWidget* window, std::string_view gbkFormName);
QPushButton* FindButton(QWidget* window, std::string_view gbkFormName);
QLineEdit* FindEditBox(QWidget* window, std::string_view gbkFormName);
QCheckBox* FindCheckBox(QWidget* window, std::string_view gbkFormName);
QComboBox* FindDropDown(QWidget* window, std::string_view gbkFormName);
QGroupBox* FindGroupBox(QWidget* window, std::string_view gbkFormName);
ReportList* FindReportList(QWidget* window, std::string_view gbkFormName);
QProgressBar* FindProgressBar(QWidget* window, std::string_view gbkFormName);

}  // namespace kv::ui
