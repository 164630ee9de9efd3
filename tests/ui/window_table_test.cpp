#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "about_form.hpp"
#include "gbk.hpp"
#include "main_form.hpp"
#include "report_list.hpp"
#include "ui/qt_app.hpp"
#include "window_table.hpp"

namespace {

using kv::ui::ControlDef;
using kv::ui::ControlKind;
using kv::ui::WindowDef;

constexpr std::string_view kItems[] = {"1", "2", "3"};
constexpr kv::ui::ColumnDef kColumns[] = {{"编号", 40}, {"提问", 100}};

constexpr ControlDef kControls[] = {
    {.formName = "分组框1", .kind = ControlKind::GroupBox, .caption = "组", .x = 10, .y = 20, .w = 200, .h = 100},
    {.formName = "编辑框1", .kind = ControlKind::EditBox, .x = 5, .y = 6, .w = 50, .h = 20,
     .parent = "分组框1", .tabStop = true, .maxLength = 3, .digitsOnly = true, .centred = true},
    {.formName = "标签1", .kind = ControlKind::Label, .caption = "红字", .x = 60, .y = 6, .w = 50, .h = 16,
     .parent = "分组框1", .textColour = 0xFF0000},
    {.formName = "按钮1", .kind = ControlKind::Button, .caption = "按钮", .x = 220, .y = 20, .w = 60, .h = 20,
     .tabStop = true, .font = {.family = "宋体", .pixelSize = 12, .weight = 700}},
    {.formName = "按钮2", .kind = ControlKind::Button, .caption = "无停", .x = 220, .y = 50, .w = 60, .h = 20},
    {.formName = "组合框1", .kind = ControlKind::DropDown, .x = 220, .y = 80, .w = 60, .h = 20,
     .tabStop = true, .items = kItems},
    {.formName = "选择框1", .kind = ControlKind::CheckBox, .caption = "选", .x = 0, .y = 130, .w = 60, .h = 16,
     .tabStop = true},
    {.formName = "进度条1", .kind = ControlKind::ProgressBar, .x = 0, .y = 150, .w = 100, .h = 16},
    {.formName = "超级列表框1", .kind = ControlKind::ReportList, .x = 0, .y = 170, .w = 200, .h = 60,
     .tabStop = true, .columns = kColumns},
    {.formName = "标签2", .kind = ControlKind::TransparentLabel, .caption = "隐", .x = 0, .y = 0, .w = 10, .h = 10,
     .visible = false},
};

constexpr WindowDef kWindow = {.caption = "测试窗口", .outerWidth = 300, .outerHeight = 260, .controls = kControls};

TEST(WindowTable, BuildsEveryControlWithNameGeometryAndKind) {
  kv::test::App();
  QWidget window;
  ASSERT_TRUE(kv::ui::BuildWindow(kWindow, &window));
  EXPECT_EQ(window.windowTitle(), kv::test::Q(u"测试窗口"));
  EXPECT_EQ(window.size(), QSize(294, 235));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

  QGroupBox* group = kv::ui::FindGroupBox(&window, "分组框1");
  QLineEdit* edit = kv::ui::FindEditBox(&window, "编辑框1");
  ASSERT_TRUE(group && edit);
  EXPECT_EQ(edit->objectName(), kv::test::Q(u"编辑框1"));
  EXPECT_EQ(edit->parentWidget(), group);
  EXPECT_EQ(edit->geometry(), QRect(5, 6, 50, 20));
  EXPECT_EQ(edit->mapTo(&window, QPoint(0, 0)), QPoint(15, 26));  // relative to the group box
  EXPECT_EQ(edit->maxLength(), 3);
  EXPECT_EQ(edit->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);

  EXPECT_EQ(kv::ui::FindLabel(&window, "标签1")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  QPushButton* button = kv::ui::FindButton(&window, "按钮1");
  ASSERT_TRUE(button);
  EXPECT_EQ(button->font().pixelSize(), 12);
  EXPECT_EQ(button->font().weight(), QFont::Bold);
  EXPECT_EQ(button->font().families().value(0), kv::test::Q(u"宋体"));
  EXPECT_TRUE(button->font().families().contains(QStringLiteral("Noto Sans CJK SC")));
  EXPECT_EQ(kv::ui::FindButton(&window, "按钮2")->focusPolicy(), Qt::ClickFocus);

  QComboBox* combo = kv::ui::FindDropDown(&window, "组合框1");
  ASSERT_TRUE(combo);
  EXPECT_FALSE(combo->isEditable());
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->currentText(), QStringLiteral("1"));
  EXPECT_FALSE(kv::ui::FindCheckBox(&window, "选择框1")->isChecked());
  EXPECT_EQ(kv::ui::FindProgressBar(&window, "进度条1")->value(), 0);
  kv::ui::ReportList* list = kv::ui::FindReportList(&window, "超级列表框1");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->ColumnHeaders(), QStringList({kv::test::Q(u"编号"), kv::test::Q(u"提问")}));
  EXPECT_TRUE(kv::ui::FindLabel(&window, "标签2")->isHidden());

  // Wrong kind or unknown name: nothing.
  EXPECT_EQ(kv::ui::FindButton(&window, "编辑框1"), nullptr);
  EXPECT_EQ(kv::ui::FindControl(&window, "编辑框9"), nullptr);
}

TEST(WindowTable, ControlsOfAnotherWindowOverItAreNotFound) {
  kv::test::App();
  QWidget window;
  ASSERT_TRUE(kv::ui::BuildWindow(kWindow, &window));
  QDialog dialog(&window);
  constexpr ControlDef other[] = {{.formName = "按钮7", .kind = ControlKind::Button, .w = 10, .h = 10}};
  ASSERT_TRUE(kv::ui::BuildWindow({.caption = "", .outerWidth = 50, .outerHeight = 50, .controls = other}, &dialog));
  EXPECT_EQ(kv::ui::FindButton(&window, "按钮7"), nullptr);
  EXPECT_NE(kv::ui::FindButton(&dialog, "按钮7"), nullptr);
  EXPECT_EQ(dialog.windowType(), Qt::Dialog);
}

TEST(WindowTable, InconsistentTablesAreRefused) {
  kv::test::App();
  constexpr ControlDef repeated[] = {{.formName = "按钮1", .kind = ControlKind::Button},
                                     {.formName = "按钮1", .kind = ControlKind::Button}};
  constexpr ControlDef unknownParent[] = {{.formName = "按钮1", .kind = ControlKind::Button, .parent = "分组框9"}};
  constexpr ControlDef parentNotGroup[] = {{.formName = "按钮1", .kind = ControlKind::Button},
                                           {.formName = "按钮2", .kind = ControlKind::Button, .parent = "按钮1"}};
  constexpr ControlDef parentLater[] = {{.formName = "按钮1", .kind = ControlKind::Button, .parent = "分组框1"},
                                        {.formName = "分组框1", .kind = ControlKind::GroupBox}};
  constexpr ControlDef unnamed[] = {{.formName = "", .kind = ControlKind::Button}};
  for (std::span<const ControlDef> controls :
       {std::span<const ControlDef>(repeated), std::span<const ControlDef>(unknownParent),
        std::span<const ControlDef>(parentNotGroup), std::span<const ControlDef>(parentLater),
        std::span<const ControlDef>(unnamed)}) {
    QWidget window;
    EXPECT_FALSE(kv::ui::BuildWindow({.outerWidth = 100, .outerHeight = 100, .controls = controls}, &window));
    EXPECT_TRUE(window.findChildren<QWidget*>().isEmpty());
  }
}

TEST(WindowTable, LevelBoxFiltersTypedCharactersButNotPastedText) {
  kv::test::App();
  QWidget window;
  ASSERT_TRUE(kv::ui::BuildWindow(kWindow, &window));
  QLineEdit* edit = kv::ui::FindEditBox(&window, "编辑框1");
  QTest::keyClicks(edit, "1a-");
  EXPECT_EQ(edit->text(), QStringLiteral("1-"));
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), QStringLiteral("1"));
  QTest::keyClicks(edit, "2345");  // at most three characters
  EXPECT_EQ(edit->text(), QStringLiteral("123"));
  edit->setText(QStringLiteral("x9"));
  EXPECT_EQ(edit->text(), QStringLiteral("x9"));
}

TEST(WindowTable, TabFollowsTableOrderAndSkipsNonTabStops) {
  kv::test::App();
  QWidget window;
  ASSERT_TRUE(kv::ui::BuildWindow(kWindow, &window));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QWidget* edit = kv::ui::FindControl(&window, "编辑框1");
  edit->setFocus(Qt::TabFocusReason);
  QStringList order;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order.append(QApplication::focusWidget()->objectName());
  }
  EXPECT_EQ(order, QStringList({kv::test::Q(u"按钮1"), kv::test::Q(u"组合框1"), kv::test::Q(u"选择框1"), kv::test::Q(u"超级列表框1"), kv::test::Q(u"编辑框1")}));
  // Enter does not move the focus.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), edit);
}

TEST(WindowTable, EscapeClosesWindowsAndDialogsUnlessAControlTakesIt) {
  kv::test::App();
  QWidget window;
  ASSERT_TRUE(kv::ui::BuildWindow(kWindow, &window));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QWidget* button = kv::ui::FindControl(&window, "按钮1");
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());

  QDialog dialog;
  ASSERT_TRUE(kv::ui::BuildWindow(kWindow, &dialog));
  QTimer::singleShot(0, &dialog, [&] {
    QTest::keyClick(kv::ui::FindControl(&dialog, "编辑框1"), Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(MainForm, CaptionSizeAndResultColumns) {
  const WindowDef& form = kv::ui::MainForm();
  EXPECT_EQ(kv::ui::FromGbk(form.caption),
            kv::test::Q(u"KelvaroOstrin答题器   另接Kelvaro代练  QQ：135790      官方群:2468024"));
  EXPECT_EQ(kv::ui::ClientSize(form), QSize(504, 285));
  const ControlDef* list = nullptr;
  for (const ControlDef& c : form.controls)
    if (c.formName == "超级列表框2") list = &c;
  ASSERT_TRUE(list);
  ASSERT_EQ(list->columns.size(), 3u);
  EXPECT_EQ(list->columns[0].header, "编号");
  EXPECT_EQ(list->columns[0].width, 40);
  EXPECT_EQ(list->columns[1].header, "提问");
  EXPECT_EQ(list->columns[1].width, 308);
  EXPECT_EQ(list->columns[2].header, "答案区");
  EXPECT_EQ(list->columns[2].width, 150);
}

TEST(AboutForm, TextLineByLineWithItsLeadingSpaces) {
  const std::pair<int, const char16_t*> lines[] = {
      {0, u""}, {19, u""}, {20, u"Kelvaro职业代练 联系QQ:135790"}, {0, u""}, {11, u""},
      {11, u"可能 我的软件不是最好的 但是我会努力让功能更多"}, {0, u""}, {0, u""},
      {1, u"由于小Z还是第一次做软件 会有很多做的不好的地方 希望大家多包涵"}, {0, u""}, {0, u""},
      {3, u"答题器已经更新  有很多题目没有 大家可以自己添加或者联系我"}, {0, u""}, {0, u""},
      {23, u"希望可以和大家一起把软件做好 "}, {50, u""}, {35, u"官方群号:2468024"}};
  QString expected;
  for (const auto& [spaces, text] : lines) {
    expected += QString(spaces, u' ') + kv::test::Q(text) + QStringLiteral("\r\n");
  }
  expected.chop(2);  // no break after the last line
  const auto bytes = kv::ui::ToGbk(expected);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(kv::ui::AboutText(), *bytes);

  const WindowDef& form = kv::ui::AboutForm();
  EXPECT_EQ(form.caption, "");
  EXPECT_EQ(kv::ui::ClientSize(form), QSize(374, 225));
  ASSERT_EQ(form.controls.size(), 1u);
  EXPECT_EQ(form.controls[0].formName, "标签1");
  EXPECT_EQ(form.controls[0].caption, kv::ui::AboutText());
}

TEST(AboutForm, EveryLineIsDrawnInsideTheLabel) {
  kv::test::App();
  QDialog dialog;
  ASSERT_TRUE(kv::ui::BuildWindow(kv::ui::AboutForm(), &dialog));
  QLabel* label = kv::ui::FindLabel(&dialog, "标签1");
  ASSERT_TRUE(label);
  // The last line ("官方群号:2468024") must be drawn inside the label: taking
  // it away must change the picture. At the display font's own line spacing
  // it would fall outside the label and nothing would change.
  const QString text = label->text();
  const QImage full = label->grab().toImage();
  label->setText(text.left(text.lastIndexOf(u'\n')));
  const QImage shorter = label->grab().toImage();
  label->setText(text);
  ASSERT_EQ(full.size(), shorter.size());
  int ink = 0;
  for (int y = 0; y < full.height(); ++y)
    for (int x = 0; x < full.width(); ++x) ink += full.pixel(x, y) != shorter.pixel(x, y);
  EXPECT_GT(ink, 20);
}

}  // namespace
