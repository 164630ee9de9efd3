#include "report_list_win.hpp"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <vector>

#include "dpi_win.hpp"
#include "look_win.hpp"
#include "wide_text.hpp"

namespace kv::ui::win {

namespace {

// The mark of a close match.
const std::wstring& CloseMatchTip() {
  static const std::wstring tip = FromGbk("近似匹配");
  return tip;
}

constexpr int kCopyCommand = 1, kSelectAllCommand = 2;
constexpr UINT_PTR kSubclassId = 1;

// A piece of a cell drawn in one way: UTF-16 units [from, to).
struct Run {
  std::size_t from, to;
  bool hit;
};

}  // namespace

ReportListView::ReportListView(HWND parent, int id, std::span<const ColumnDef> columns, DWORD style)
    : columns_(columns) {
  hwnd_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            style | WS_CHILD | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) return;
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    std::wstring header = FromGbk(columns_[i].header);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = columns_[i].width;
    column.pszText = header.data();
    ::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  ::SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

ReportListView::~ReportListView() {
  if (hwnd_) ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
}

void ReportListView::ApplyDpi(UINT dpi) {
  for (std::size_t i = 0; i < columns_.size(); ++i)
    ListView_SetColumnWidth(hwnd_, static_cast<int>(i), Scale(columns_[i].width, dpi));
}

void ReportListView::SetLookup(const KeywordLookup* lookup) {
  lookup_ = lookup;
  const std::size_t rows = lookup ? lookup->Rows().size() : 0;
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ::SendMessageW(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(std::min<std::size_t>(rows, 100000000)), 0);
  if (rows > 0) ListView_EnsureVisible(hwnd_, 0, FALSE);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

std::wstring ReportListView::CellText(std::size_t row, int column) const {
  if (lookup_ == nullptr || row >= lookup_->Rows().size()) return {};
  const LookupRow& r = lookup_->Rows()[row];
  switch (column) {
    case 0: return std::to_wstring(r.ordinal);
    case 1: return FromGbk(r.question);
    case 2: return FromGbk(r.answer);
    default: return {};
  }
}

std::wstring ReportListView::RowTip(std::size_t row) const {
  if (lookup_ == nullptr || row >= lookup_->Rows().size()) return {};
  std::wstring tip;
  const auto line = [&tip](const std::wstring& text) {
    if (text.empty()) return;
    if (!tip.empty()) tip += L"\r\n";
    tip += text;
  };
  if (lookup_->Close()) line(CloseMatchTip());
  line(CellText(row, 1));
  line(CellText(row, 2));
  return tip;
}

std::wstring ReportListView::SelectedRowsText() const {
  std::wstring text;
  for (int row = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(hwnd_, row, LVNI_SELECTED)) {
    if (!text.empty()) text += L"\r\n";
    for (int c = 0; c < static_cast<int>(columns_.size()); ++c) {
      if (c > 0) text += L'\t';
      text += CellText(static_cast<std::size_t>(row), c);
    }
  }
  return text;
}

bool ReportListView::CopySelectedRows() const {
  const std::wstring text = SelectedRowsText();
  if (text.empty()) return false;
  if (!::OpenClipboard(hwnd_)) return false;
  ::EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  bool ok = false;
  if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = ::GlobalLock(memory)) {
      std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(p));
      ::GlobalUnlock(memory);
      ok = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!ok) ::GlobalFree(memory);
  }
  ::CloseClipboard();
  return ok;
}

void ReportListView::SelectAll() const { ListView_SetItemState(hwnd_, -1, LVIS_SELECTED, LVIS_SELECTED); }

void ReportListView::ShowContextMenu(int x, int y) {
  HMENU menu = ::CreatePopupMenu();
  const bool any = ListView_GetSelectedCount(hwnd_) > 0;
  const bool rows = ListView_GetItemCount(hwnd_) > 0;
  const std::wstring copy = FromGbk("复制"), selectAll = FromGbk("全选");
  ::AppendMenuW(menu, MF_STRING | (any ? 0 : MF_GRAYED), kCopyCommand, copy.c_str());
  ::AppendMenuW(menu, MF_STRING | (rows ? 0 : MF_GRAYED), kSelectAllCommand, selectAll.c_str());
  if (x == -1 && y == -1) {  // from the keyboard: at the list's corner
    RECT r;
    ::GetWindowRect(hwnd_, &r);
    x = r.left + 8;
    y = r.top + 8;
  }
  const int picked = static_cast<int>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, hwnd_, nullptr));
  ::DestroyMenu(menu);
  if (picked == kCopyCommand) CopySelectedRows();
  else if (picked == kSelectAllCommand) SelectAll();
}

LRESULT CALLBACK ReportListView::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) {
  auto* list = reinterpret_cast<ReportListView*>(self);
  switch (msg) {
    case WM_KEYDOWN:
      if (::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0) {
        if (wParam == 'C' || wParam == VK_INSERT) {
          list->CopySelectedRows();
          return 0;
        }
        if (wParam == 'A') {
          list->SelectAll();
          return 0;
        }
      }
      break;
    case WM_CHAR:
      // Ctrl+A and Ctrl+C as characters: no incremental search, no beep.
      if (wParam == 1 || wParam == 3) return 0;
      break;
    case WM_CONTEXTMENU:
      list->ShowContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool ReportListView::OnNotify(NMHDR* header, LRESULT& result) {
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
      if ((info->item.mask & LVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0) {
        buffer_ = CellText(static_cast<std::size_t>(info->item.iItem), info->item.iSubItem);
        const std::size_t n = std::min<std::size_t>(buffer_.size(), static_cast<std::size_t>(info->item.cchTextMax) - 1);
        std::copy_n(buffer_.c_str(), n, info->item.pszText);
        info->item.pszText[n] = L'\0';
      }
      result = 0;
      return true;
    }
    case LVN_GETINFOTIPW: {
      auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
      if (tip->pszText != nullptr && tip->cchTextMax > 0) {
        const std::wstring text = RowTip(static_cast<std::size_t>(tip->iItem));
        const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(tip->cchTextMax) - 1);
        std::copy_n(text.c_str(), n, tip->pszText);
        tip->pszText[n] = L'\0';
      }
      result = 0;
      return true;
    }
    case LVN_ODFINDITEMW:
      result = -1;  // no search by typed text
      return true;
    case NM_CUSTOMDRAW:
      result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
      return true;
    default:
      return false;
  }
}

LRESULT ReportListView::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_SUBITEM | CDDS_ITEMPREPAINT: {
      const auto row = static_cast<std::size_t>(draw->nmcd.dwItemSpec);
      // The state of the item itself: custom draw reports the selection of
      // an owner-data row unreliably.
      const bool selected =
          ListView_GetItemState(hwnd_, static_cast<int>(row), LVIS_SELECTED) & LVIS_SELECTED;
      DrawCell(draw->nmcd.hdc, row, draw->iSubItem, selected);
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void ReportListView::DrawCell(HDC dc, std::size_t row, int column, bool selected) {
  RECT cell;
  if (column == 0) {
    // The first column's bounds are the whole row's: cut to the column.
    ListView_GetItemRect(hwnd_, static_cast<int>(row), &cell, LVIR_BOUNDS);
    cell.right = cell.left + ListView_GetColumnWidth(hwnd_, 0);
  } else {
    ListView_GetSubItemRect(hwnd_, static_cast<int>(row), column, LVIR_BOUNDS, &cell);
  }
  const bool focused = ::GetFocus() == hwnd_;
  const COLORREF background = selected ? (focused ? HighlightColour() : ::GetSysColor(COLOR_BTNFACE)) : BaseColour();
  const COLORREF ink = selected ? (focused ? HighlightedTextColour() : TextColour())
                       : (lookup_ && lookup_->Close()) ? CloseMatchColour()
                                                       : TextColour();
  HBRUSH brush = ::CreateSolidBrush(background);
  ::FillRect(dc, &cell, brush);
  ::DeleteObject(brush);

  const std::wstring text = CellText(row, column);
  if (text.empty()) return;
  const UINT dpi = WindowDpi(hwnd_);
  RECT area = cell;
  area.left += Scale(6, dpi);
  area.right -= Scale(2, dpi);
  if (area.right <= area.left) return;

  // What fits, with an ellipsis when the text is cut.
  const int room = area.right - area.left;
  SIZE whole;
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &whole);
  std::wstring shown = text;
  std::size_t kept = text.size();
  if (whole.cx > room) {
    SIZE dots;
    ::GetTextExtentPoint32W(dc, L"\x2026", 1, &dots);
    int fit = 0;
    SIZE unused;
    ::GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), std::max<int>(0, room - static_cast<int>(dots.cx)), &fit,
                            nullptr, &unused);
    kept = static_cast<std::size_t>(std::max(0, fit));
    shown = text.substr(0, kept) + L"\x2026";
  }

  // The hits of the question and answer cells, as UTF-16 runs.
  std::vector<Run> runs;
  if ((column == 1 || column == 2) && lookup_ != nullptr) {
    const LookupRow& r = lookup_->Rows()[row];
    const RowHighlights& h = lookup_->Highlights(row);
    const std::string_view source = column == 1 ? r.question : r.answer;
    const std::vector<CellSpan>& spans = column == 1 ? h.question : h.answer;
    std::size_t at = 0;
    constexpr std::size_t kBatch = 16;
    std::array<std::uint32_t, 2 * kBatch> offsets;
    std::array<std::size_t, 2 * kBatch> positions;
    for (std::size_t first = 0; first < spans.size(); first += kBatch) {
      const std::size_t n = std::min(kBatch, spans.size() - first);
      for (std::size_t i = 0; i < n; ++i) {
        offsets[2 * i] = spans[first + i].begin;
        offsets[2 * i + 1] = spans[first + i].end;
      }
      Utf16Positions(source, std::span(offsets).first(2 * n), std::span(positions).first(2 * n));
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = std::min(positions[2 * i], kept), to = std::min(positions[2 * i + 1], kept);
        if (to <= from || from < at) continue;
        if (from > at) runs.push_back({at, from, false});
        runs.push_back({from, to, true});
        at = to;
      }
    }
    if (at < shown.size()) runs.push_back({at, shown.size(), false});
  } else {
    runs.push_back({0, shown.size(), false});
  }

  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  ::SetBkMode(dc, TRANSPARENT);
  TEXTMETRICW metrics;
  ::GetTextMetricsW(dc, &metrics);
  const int top = area.top + (area.bottom - area.top - metrics.tmHeight) / 2;
  int x = area.left;
  for (const Run& run : runs) {
    const wchar_t* piece = shown.c_str() + run.from;
    const int length = static_cast<int>(run.to - run.from);
    // In a selected row, whose background is the accent, a hit is underlined
    // in the selection's ink instead of coloured.
    ::SetTextColor(dc, run.hit && !selected ? HitColour() : ink);
    ::ExtTextOutW(dc, x, top, ETO_CLIPPED, &area, piece, static_cast<UINT>(length), nullptr);
    SIZE size;
    ::GetTextExtentPoint32W(dc, piece, length, &size);
    if (run.hit && selected) {
      RECT line{x, top + metrics.tmAscent + 1, x + size.cx, top + metrics.tmAscent + 1 + std::max<LONG>(1, Scale(1, dpi))};
      HBRUSH underline = ::CreateSolidBrush(ink);
      ::FillRect(dc, &line, underline);
      ::DeleteObject(underline);
    }
    x += size.cx;
  }
  ::RestoreDC(dc, saved);
}

}  // namespace kv::ui::win
