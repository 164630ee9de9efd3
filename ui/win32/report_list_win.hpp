// A report list on Win32: an owner-data ListView in report mode with
// full-row selection. It shows the rows of a keyword lookup without copying
// them (a cell is converted from GBK when the ListView asks for it), draws
// each row's hits in the hit colour and close matches in theirs (custom
// draw, asking for a row's highlights only when it is drawn), and copies the
// selected rows with Ctrl+C and its context menu; Ctrl+A selects every row.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <span>
#include <string>

#include "keyword_lookup.hpp"
#include "window_def.hpp"

namespace kv::ui::win {

class ReportListView {
 public:
  // Makes the ListView as a child of `parent`; its columns come from `columns`.
  ReportListView(HWND parent, int id, std::span<const ColumnDef> columns, DWORD style);
  ~ReportListView();
  ReportListView(const ReportListView&) = delete;
  ReportListView& operator=(const ReportListView&) = delete;

  HWND Handle() const { return hwnd_; }
  // Column widths at `dpi`.
  void ApplyDpi(UINT dpi);

  // Shows the rows of `lookup` (none when null), which must stay unchanged
  // until the next SetLookup; scrolls to the top, selects nothing.
  void SetLookup(const KeywordLookup* lookup);
  const KeywordLookup* Lookup() const { return lookup_; }

  // The cell's text as the list shows it.
  std::wstring CellText(std::size_t row, int column) const;
  // The tip of a row (LVN_GETINFOTIP): the close match's mark, the question
  // and the answer, a line each, as far as they are there.
  std::wstring RowTip(std::size_t row) const;

  // The selected rows, top to bottom, as "cell TAB cell TAB cell" lines
  // joined by CR LF (no break after the last); empty when none is selected.
  std::wstring SelectedRowsText() const;
  // Puts SelectedRowsText on the clipboard; false when nothing is selected.
  bool CopySelectedRows() const;
  void SelectAll() const;

  // The parent's WM_NOTIFY from this list; true with `result` when handled.
  bool OnNotify(NMHDR* header, LRESULT& result);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
  void DrawCell(HDC dc, std::size_t row, int column, bool selected);
  void ShowContextMenu(int x, int y);

  HWND hwnd_ = nullptr;
  std::span<const ColumnDef> columns_;
  const KeywordLookup* lookup_ = nullptr;
  std::wstring buffer_;  // the text of the last LVN_GETDISPINFO
};

}  // namespace kv::ui::win
