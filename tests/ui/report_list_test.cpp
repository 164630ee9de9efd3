// The result list's model and the report list's selection and copying.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "qt/gbk.hpp"
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
  Fixture() {
    list.SetColumns(kColumns);
    list.setModel(&model);
    list.resize(502, 165);
  }
  // The rows of `keyword`'s hits, shown by the model.
  void Fill(std::string_view keyword) {
    kv::RunLookup(kBank, keyword, rows);
    model.SetRows(rows);
  }
  void Clear() { model.SetRows({}); }

  QApplication& app = kv::test::App();  // before any widget
  std::vector<kv::LookupRow> rows;
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

}  // namespace
