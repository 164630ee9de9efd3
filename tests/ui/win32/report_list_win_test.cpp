// The result list on Win32: the lookup's rows read through the owner-data
// ListView, the hits and close matches drawn, Ctrl+A and Ctrl+C.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "keyword_lookup.hpp"
#include "main_form.hpp"
#include "skin_look.hpp"
#include "ui/win32/win32_app.hpp"
#include "win32/look_win.hpp"
#include "win32/report_list_win.hpp"

namespace {

namespace win = kv::ui::win;
using kv::ui::MainForm;

const kv::TextArray kBank = {
    "颜色和颜色|颜色",
    "红的颜色|红",
    "问题|答案是颜色",
    "长江有多长？|六千三百公里",
    "Ａｐｐｌｅ是什么|苹果",
    "没有竖线的题目",
};

struct Fixture {
  Fixture() : window((kv::test::App(), kv::ui::Window::Create(MainForm::kDef))) {
    list = win::Handle(*window, MainForm::resultList);
  }
  void Fill(std::string_view keyword) {
    window->ClearRows(MainForm::resultList);
    lookup.Run(kBank, keyword);
    window->ShowResults(MainForm::resultList, lookup);
  }
  std::wstring Cell(int row, int column) const {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  int Rows() const { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
  void Key(WPARAM key) {
    kv::test::HoldCtrl(true);
    ::SendMessageW(list, WM_KEYDOWN, key, 1);
    kv::test::HoldCtrl(false);
  }
  std::wstring Tip(int row) {
    wchar_t buffer[256] = {};
    NMLVGETINFOTIPW tip{};
    tip.hdr.hwndFrom = list;
    tip.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(list));
    tip.hdr.code = LVN_GETINFOTIPW;
    tip.pszText = buffer;
    tip.cchTextMax = 256;
    tip.iItem = row;
    ::SendMessageW(win::TopLevel(*window), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    return buffer;
  }

  kv::KeywordLookup lookup;
  std::unique_ptr<kv::ui::Window> window;
  HWND list = nullptr;
};

TEST(Win32ReportList, IsAFullRowOwnerDataReportWithTheTablesColumns) {
  Fixture f;
  const LONG_PTR style = ::GetWindowLongPtrW(f.list, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_OWNERDATA);
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(f.list) & LVS_EX_FULLROWSELECT);
  HWND header = ListView_GetHeader(f.list);
  ASSERT_EQ(Header_GetItemCount(header), 3);
  const wchar_t* titles[] = {L"编号", L"提问", L"答案区"};
  for (int i = 0; i < 3; ++i) {
    wchar_t buffer[32] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 32;
    Header_GetItem(header, i, &item);
    EXPECT_EQ(std::wstring(buffer), titles[i]);
  }
}

TEST(Win32ReportList, ShowsTheLookupsRowsAndEmptiesOnClear) {
  Fixture f;
  f.Fill("颜色");
  ASSERT_EQ(f.Rows(), 3);
  const wchar_t* expected[3][3] = {
      {L"1", L"颜色和颜色", L"颜色"}, {L"2", L"红的颜色", L"红"}, {L"3", L"问题", L"答案是颜色"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(f.Cell(r, c), expected[r][c]) << r << "," << c;
  f.Fill("题目");  // a line without a bar keeps its number only
  ASSERT_EQ(f.Rows(), 1);
  EXPECT_EQ(f.Cell(0, 1), L"");
  f.window->ClearRows(MainForm::resultList);
  EXPECT_EQ(f.Rows(), 0);
  EXPECT_EQ(win::TopLevel(*f.window) != nullptr, true);
}

TEST(Win32ReportList, CtrlASelectsEveryRowAndCtrlCCopiesTabSeparatedLines) {
  Fixture f;
  f.Fill("颜色");
  kv::test::SetClipboardText(L"before");
  f.Key('C');
  EXPECT_EQ(kv::test::ClipboardText(), L"before") << "nothing selected, nothing copied";
  f.Key('A');
  EXPECT_EQ(ListView_GetSelectedCount(f.list), 3u);
  f.Key('C');
  EXPECT_EQ(kv::test::ClipboardText(), L"1\t颜色和颜色\t颜色\r\n2\t红的颜色\t红\r\n3\t问题\t答案是颜色");
  // One row picked copies just that row; a new lookup selects nothing.
  ListView_SetItemState(f.list, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(f.list, 1, LVIS_SELECTED, LVIS_SELECTED);
  f.Key('C');
  EXPECT_EQ(kv::test::ClipboardText(), L"2\t红的颜色\t红");
  f.Fill("apple");
  EXPECT_EQ(ListView_GetSelectedCount(f.list), 0u);
  f.Key('A');
  f.Key('C');
  EXPECT_EQ(kv::test::ClipboardText(), L"1\tＡｐｐｌｅ是什么\t苹果") << "a close row copies as plain text";
}

TEST(Win32ReportList, TipsMarkCloseMatches) {
  Fixture f;
  f.Fill("颜色");
  EXPECT_EQ(f.Tip(0), L"颜色和颜色\r\n颜色");
  f.Fill("cj");
  ASSERT_TRUE(f.lookup.Close());
  EXPECT_EQ(f.Tip(0), L"近似匹配\r\n长江有多长？\r\n六千三百公里");
}

// How many pixels of the list inside `r` are within 40 of `rgb`.
int PixelsOf(HDC dc, const RECT& r, COLORREF rgb) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF p = ::GetPixel(dc, x, y);
      n += std::abs(GetRValue(p) - GetRValue(rgb)) <= 40 && std::abs(GetGValue(p) - GetGValue(rgb)) <= 40 &&
           std::abs(GetBValue(p) - GetBValue(rgb)) <= 40;
    }
  return n;
}

std::vector<unsigned char> Skin(const char* colours) {
  std::string s = std::string(".SHE", 4) + '\0' + "kelvaro-skin 1\n[colours]\n" + colours;
  return {s.begin(), s.end()};
}

TEST(Win32ReportList, DrawsTheHitsInTheAccentAndCloseRowsInTheirColour) {
  const auto skin = Skin("accent = #FF0000\ncloseMatch = #00A000\n");
  kv::test::App();
  ASSERT_TRUE(kv::ui::ApplySkinLook(skin));
  ASSERT_FALSE(kv::ui::ApplySkinLook(Skin("accent = red\n"))) << "not a skin: nothing changes";
  EXPECT_EQ(win::HitColour(), RGB(0xFF, 0, 0));
  Fixture f;
  f.window->Show();
  const auto cell = [&](int row, int column) {
    RECT r;
    ListView_GetSubItemRect(f.list, row, column, LVIR_BOUNDS, &r);
    if (column == 0) r.right = r.left + ListView_GetColumnWidth(f.list, 0);
    return r;
  };
  const auto shot = [&](int row, int column, COLORREF rgb) {
    ::RedrawWindow(f.list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    HDC dc = ::GetDC(f.list);
    const int n = PixelsOf(dc, cell(row, column), rgb);
    ::ReleaseDC(f.list, dc);
    return n;
  };
  const COLORREF hit = RGB(0xFF, 0, 0), close = RGB(0, 0xA0, 0);
  f.Fill("颜色");
  const struct {
    int row, column;
    bool hit;
  } exact[] = {{0, 0, false}, {0, 1, true}, {0, 2, true}, {1, 1, true}, {1, 2, false}, {2, 1, false}, {2, 2, true}};
  for (const auto& e : exact) {
    EXPECT_EQ(shot(e.row, e.column, hit) > 0, e.hit) << "row " << e.row << " column " << e.column;
    EXPECT_EQ(shot(e.row, e.column, close), 0) << "exact rows are not marked";
  }
  f.Fill("cj");
  EXPECT_GT(shot(0, 1, hit), 0) << "长江";
  EXPECT_GT(shot(0, 1, close), 0) << "有多长？";
  EXPECT_EQ(shot(0, 2, hit), 0);
  EXPECT_GT(shot(0, 0, close), 0) << "the number too";
  f.window->Close();
  kv::ui::win::SetLook({});
}

}  // namespace
