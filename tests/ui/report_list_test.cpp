// The result list's model and the report list's selection and copying.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QBrush>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "qt/gbk.hpp"
#include "qt/result_list_colours.hpp"
#include "qt/report_list.hpp"
#include "qt/result_list_model.hpp"
#include "ui/qt_app.hpp"

namespace {

const kv::TextArray kBank = {
    "苹果是什么颜色？|红色",
    "没有竖线的题目",
    "香蕉是什么颜色？|黄色",
    "a|b|c",
};

constexpr kv::ui::ColumnDef kColumns[] = {{"编号", 40}, {"提问", 308}, {"答案区", 150}};

struct Fixture {
  explicit Fixture(const kv::TextArray& bank = kBank) : bank(bank) {
    list.SetColumns(kColumns);
    list.setModel(&model);
    list.resize(502, 165);
  }
  // The rows of `keyword`'s hits, shown by the model.
  void Fill(std::string_view keyword) {
    model.SetLookup(nullptr);  // the rows change under no model
    lookup.Run(bank, keyword);
    model.SetLookup(&lookup);
  }
  void Clear() { model.SetLookup(nullptr); }

  QApplication& app = kv::test::App();  // before any widget
  const kv::TextArray& bank;
  kv::KeywordLookup lookup;
  kv::ui::ReportList list;
  kv::ui::ResultListModel model{QStringList({kv::test::Q(u"编号"), kv::test::Q(u"提问"), kv::test::Q(u"答案区")})};
};

QString Cell(const QAbstractItemModel& m, int row, int column) { return m.index(row, column).data().toString(); }

TEST(ResultListModel, HoldsTheHitsWithNumbersAndConvertedCells) {
  Fixture f;
  f.Fill("颜色");
  ASSERT_EQ(f.model.rowCount(), 2);
  EXPECT_EQ(f.model.columnCount(), 3);
  EXPECT_EQ(Cell(f.model, 0, 0), QStringLiteral("1"));
  EXPECT_EQ(Cell(f.model, 0, 1), kv::test::Q(u"苹果是什么颜色？"));
  EXPECT_EQ(Cell(f.model, 0, 2), kv::test::Q(u"红色"));
  EXPECT_EQ(Cell(f.model, 1, 0), QStringLiteral("2"));
  EXPECT_EQ(Cell(f.model, 1, 2), kv::test::Q(u"黄色"));
  EXPECT_EQ(f.model.headerData(2, Qt::Horizontal).toString(), kv::test::Q(u"答案区"));

  f.Fill("题目");  // a line without a bar keeps its number only
  ASSERT_EQ(f.model.rowCount(), 1);
  EXPECT_EQ(Cell(f.model, 0, 0), QStringLiteral("1"));
  EXPECT_EQ(Cell(f.model, 0, 1), QString());
  EXPECT_EQ(Cell(f.model, 0, 2), QString());

  f.Clear();
  EXPECT_EQ(f.model.rowCount(), 0);
  EXPECT_FALSE(f.model.index(0, 0).data().isValid());
}

TEST(ReportList, ColumnWidthsHoldForEveryModel) {
  Fixture f;
  EXPECT_EQ(f.list.columnWidth(0), 40);
  EXPECT_EQ(f.list.columnWidth(1), 308);
  EXPECT_EQ(f.list.columnWidth(2), 150);
  f.Fill("颜色");
  EXPECT_EQ(f.list.columnWidth(1), 308);
}

TEST(ReportList, CtrlASelectsEveryRowAndCtrlCCopiesTabSeparatedLines) {
  Fixture f;
  f.Fill("|");
  f.list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.list));
  QApplication::clipboard()->setText(QStringLiteral("before"));
  QTest::keyClick(&f.list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before")) << "nothing selected, nothing copied";

  QTest::keyClick(&f.list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(f.list.selectionModel()->selectedRows().size(), 3);
  QTest::keyClick(&f.list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            kv::test::Q(u"1\t苹果是什么颜色？\t红色\n2\t香蕉是什么颜色？\t黄色\n3\t\t"));

  // One row picked out of order copies just that row.
  f.list.clearSelection();
  f.list.selectRow(1);
  QTest::keyClick(&f.list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), kv::test::Q(u"2\t香蕉是什么颜色？\t黄色"));
}

// Opens the list's context menu, records its entries ("text+" enabled,
// "text-" disabled) and triggers the entry at `pick`.
QStringList UseContextMenu(kv::ui::ReportList& list, int pick) {
  QStringList entries;
  QTimer::singleShot(50, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    for (QAction* a : menu->actions()) entries.append(a->text() + (a->isEnabled() ? "+" : "-"));
    menu->close();
    menu->actions().at(pick)->trigger();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 30), list.mapToGlobal(QPoint(10, 30)));
  QApplication::sendEvent(list.viewport(), &event);
  return entries;
}

TEST(ReportList, ContextMenuOffersCopyAndSelectAll) {
  Fixture f;
  f.Fill("颜色");
  f.list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.list));
  QApplication::clipboard()->setText(QStringLiteral("before"));
  EXPECT_EQ(UseContextMenu(f.list, 1), QStringList({kv::test::Q(u"复制-"), kv::test::Q(u"全选+")}));
  EXPECT_EQ(f.list.selectionModel()->selectedRows().size(), 2);
  EXPECT_EQ(UseContextMenu(f.list, 0), QStringList({kv::test::Q(u"复制+"), kv::test::Q(u"全选+")}));
  EXPECT_EQ(QApplication::clipboard()->text(),
            kv::test::Q(u"1\t苹果是什么颜色？\t红色\n2\t香蕉是什么颜色？\t黄色"));
  f.Clear();
  EXPECT_EQ(UseContextMenu(f.list, 1), QStringList({kv::test::Q(u"复制-"), kv::test::Q(u"全选-")}));
}

// Lines whose hits lie in one cell, in both, twice, after characters of
// another width, and lines that only the tolerant look finds.
const kv::TextArray kHitBank = {
    "颜色和颜色|颜色",
    "红的颜色|红",
    "问题|答案是颜色",
    "长江有多长？|六千三百公里",
    "Ａｐｐｌｅ是什么|苹果",
};

using kv::ui::HitRange;
using kv::ui::HitRanges;
using kv::ui::ResultListModel;

HitRanges HitsRole(const QAbstractItemModel& m, int row, int column) {
  return m.index(row, column).data(ResultListModel::kHitsRole).value<HitRanges>();
}

TEST(ResultListModel, GivesEachCellsHitsAsPositionsInItsShownText) {
  struct Case {
    const char* keyword;
    bool close;
    int row;
    HitRanges question, answer;
  } cases[] = {
      {"颜色", false, 0, {{0, 2}, {3, 2}}, {{0, 2}}},  // twice in the question, once in the answer
      {"颜色", false, 1, {{2, 2}}, {}},                 // after two characters of two bytes each
      {"颜色", false, 2, {}, {{3, 2}}},                 // in the answer only
      {"cj", true, 0, {{0, 2}}, {}},                    // pinyin: 长江
      {"apple", true, 0, {{0, 5}}, {}},                 // folded: ten bytes of full-width letters
  };
  Fixture f(kHitBank);
  for (const Case& c : cases) {
    f.Fill(c.keyword);
    ASSERT_GT(f.model.rowCount(), c.row) << c.keyword;
    EXPECT_EQ(f.model.Close(), c.close) << c.keyword;
    EXPECT_EQ(HitsRole(f.model, c.row, 1), c.question) << c.keyword << " row " << c.row;
    EXPECT_EQ(HitsRole(f.model, c.row, 2), c.answer) << c.keyword << " row " << c.row;
    EXPECT_FALSE(f.model.index(c.row, 0).data(ResultListModel::kHitsRole).isValid()) << "the number has none";
  }
}

TEST(ResultListModel, MarksEveryCellOfACloseMatchWithItsColourAndTip) {
  Fixture f(kHitBank);
  const QColor closeColour(0x00, 0xA0, 0x00);
  kv::ui::qt::SetResultListColours({QColor(), closeColour});
  f.Fill("颜色");  // exact: no mark; the tip shows the cell's whole text
  EXPECT_FALSE(f.model.index(0, 0).data(Qt::ForegroundRole).isValid());
  EXPECT_FALSE(f.model.index(0, 0).data(Qt::ToolTipRole).isValid());
  EXPECT_EQ(f.model.index(0, 1).data(Qt::ToolTipRole).toString(), kv::test::Q(u"颜色和颜色"));

  f.Fill("cj");
  ASSERT_EQ(f.model.rowCount(), 1);
  const QString mark = kv::test::Q(u"近似匹配");
  const QString tips[] = {mark, mark + kv::test::Q(u"\n长江有多长？"), mark + kv::test::Q(u"\n六千三百公里")};
  for (int column = 0; column < 3; ++column) {
    const QModelIndex cell = f.model.index(0, column);
    EXPECT_EQ(cell.data(Qt::ToolTipRole).toString(), tips[column]) << column;
    EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QBrush>().color(), closeColour) << column;
  }
  EXPECT_EQ(Cell(f.model, 0, 1), kv::test::Q(u"长江有多长？")) << "the text itself stays plain";
  kv::ui::qt::SetResultListColours({});
}

// How many pixels of `image` inside `rect` are within `tolerance` of `rgb`.
int PixelsOf(const QImage& image, const QRect& rect, QRgb rgb, int tolerance = 40) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += std::abs(qRed(p) - qRed(rgb)) <= tolerance && std::abs(qGreen(p) - qGreen(rgb)) <= tolerance &&
           std::abs(qBlue(p) - qBlue(rgb)) <= tolerance;
    }
  return n;
}

TEST(ReportList, DrawsTheHitsInTheHitColourAndCloseRowsInTheirs) {
  Fixture f(kHitBank);
  constexpr QRgb kHit = 0xFF0000, kClose = 0x00A000;
  kv::ui::qt::SetResultListColours({QColor::fromRgb(kHit), QColor::fromRgb(kClose)});
  f.list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.list));
  auto shot = [&] { return f.list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  auto rect = [&](int row, int column) { return f.list.visualRect(f.model.index(row, column)); };

  f.Fill("颜色");
  QImage image = shot();
  struct Expect {
    int row, column;
    bool hit;
  } exact[] = {{0, 0, false}, {0, 1, true}, {0, 2, true}, {1, 1, true}, {1, 2, false}, {2, 1, false}, {2, 2, true}};
  for (const Expect& e : exact) {
    const int hits = PixelsOf(image, rect(e.row, e.column), kHit);
    EXPECT_EQ(hits > 0, e.hit) << "row " << e.row << " column " << e.column << ": " << hits;
    EXPECT_EQ(PixelsOf(image, rect(e.row, e.column), kClose), 0) << "exact rows are not marked";
  }
  // The hit of row 1 is its second half: 红的 in the text colour, 颜色 in the hit's.
  const QRect q1 = rect(1, 1);
  const int half = q1.left() + f.list.fontMetrics().horizontalAdvance(kv::test::Q(u"红的")) + 3;
  EXPECT_EQ(PixelsOf(image, QRect(q1.left(), q1.top(), half - q1.left(), q1.height()), kHit), 0);

  f.Fill("cj");
  image = shot();
  EXPECT_GT(PixelsOf(image, rect(0, 1), kHit), 0) << "长江";
  EXPECT_GT(PixelsOf(image, rect(0, 1), kClose), 0) << "有多长？";
  EXPECT_EQ(PixelsOf(image, rect(0, 2), kHit), 0);
  EXPECT_GT(PixelsOf(image, rect(0, 2), kClose), 0);
  EXPECT_GT(PixelsOf(image, rect(0, 0), kClose), 0) << "the number too";
  kv::ui::qt::SetResultListColours({});
}

TEST(ReportList, CopiesCloseRowsAsPlainText) {
  Fixture f(kHitBank);
  f.Fill("apple");
  ASSERT_TRUE(f.model.Close());
  f.list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.list));
  QTest::keyClick(&f.list, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&f.list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), kv::test::Q(u"1\tＡｐｐｌｅ是什么\t苹果"));
}

}  // namespace
