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
#include "main_form.hpp"
#include "qt/gbk.hpp"
#include "qt/qt_window.hpp"
#include "qt/report_list.hpp"
#include "ui/qt_app.hpp"

namespace {

using kv::ui::ControlDef;
using kv::ui::ControlKind;
using kv::ui::ControlOf;
using kv::ui::Window;
using kv::ui::WindowDef;
namespace qt = kv::ui::qt;

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

constexpr auto kGroup = ControlOf<kv::ui::GroupBoxId>(kControls, "分组框1");
constexpr auto kEdit = ControlOf<kv::ui::EditBoxId>(kControls, "编辑框1");
constexpr auto kRedLabel = ControlOf<kv::ui::LabelId>(kControls, "标签1");
constexpr auto kButton = ControlOf<kv::ui::ButtonId>(kControls, "按钮1");
constexpr auto kPlainButton = ControlOf<kv::ui::ButtonId>(kControls, "按钮2");
constexpr auto kCombo = ControlOf<kv::ui::DropDownId>(kControls, "组合框1");
constexpr auto kCheck = ControlOf<kv::ui::CheckBoxId>(kControls, "选择框1");
constexpr auto kBar = ControlOf<kv::ui::ProgressBarId>(kControls, "进度条1");
constexpr auto kList = ControlOf<kv::ui::ReportListId>(kControls, "超级列表框1");
constexpr auto kHidden = ControlOf<kv::ui::LabelId>(kControls, "标签2");  // a transparent label is a label

TEST(Window, BuildsEveryControlWithNameGeometryAndKind) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  QWidget& window = *qt::TopLevel(*w);
  EXPECT_EQ(window.windowTitle(), kv::test::Q(u"测试窗口"));
  EXPECT_EQ(window.size(), QSize(294, 235));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

  QGroupBox* group = qt::Widget(*w, kGroup);
  QLineEdit* edit = qt::Widget(*w, kEdit);
  ASSERT_TRUE(group && edit);
  EXPECT_EQ(edit->objectName(), kv::test::Q(u"编辑框1"));
  EXPECT_EQ(edit->parentWidget(), group);
  EXPECT_EQ(edit->geometry(), QRect(5, 6, 50, 20));
  EXPECT_EQ(edit->mapTo(&window, QPoint(0, 0)), QPoint(15, 26));  // relative to the group box
  EXPECT_EQ(edit->maxLength(), 3);
  EXPECT_EQ(edit->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);

  EXPECT_EQ(qt::Widget(*w, kRedLabel)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  QPushButton* button = qt::Widget(*w, kButton);
  ASSERT_TRUE(button);
  EXPECT_EQ(button->font().pixelSize(), 12);
  EXPECT_EQ(button->font().weight(), QFont::Bold);
  EXPECT_EQ(button->font().families().value(0), kv::test::Q(u"宋体"));
  EXPECT_TRUE(button->font().families().contains(QStringLiteral("Noto Sans CJK SC")));
  EXPECT_EQ(qt::Widget(*w, kPlainButton)->focusPolicy(), Qt::ClickFocus);

  QComboBox* combo = qt::Widget(*w, kCombo);
  ASSERT_TRUE(combo);
  EXPECT_FALSE(combo->isEditable());
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(w->ShownText(kCombo), "1");
  EXPECT_FALSE(w->IsChecked(kCheck));
  EXPECT_EQ(qt::Widget(*w, kBar)->value(), 0);
  kv::ui::ReportList* list = qt::Widget(*w, kList);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->ColumnHeaders(), QStringList({kv::test::Q(u"编号"), kv::test::Q(u"提问")}));
  EXPECT_TRUE(qt::Widget(*w, kHidden)->isHidden());
  EXPECT_EQ(qt::WindowOf(&window), w.get());
}

// Every event reaches its handlers once per occurrence, in binding order,
// after the control has changed; the program's own changes count too.
TEST(Window, EventsReachTheirHandlers) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  QStringList seen;
  w->OnChanged(kEdit, [&] { seen << QStringLiteral("changed ") + kv::ui::FromGbk(w->GetText(kEdit).gbk); });
  w->OnChanged(kEdit, [&] { seen << QStringLiteral("second"); });
  w->OnFocus(kEdit, [&] { seen << QStringLiteral("focus"); });
  w->OnClicked(kButton, [&] { seen << QStringLiteral("clicked"); });
  w->OnClicked(kCheck, [&] { seen << (w->IsChecked(kCheck) ? QStringLiteral("checked") : QStringLiteral("unchecked")); });
  w->OnSelected(kCombo, [&] { seen << QStringLiteral("item ") + kv::ui::FromGbk(w->ShownText(kCombo)); });
  w->OnClosed([&] { seen << QStringLiteral("closed"); });
  w->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qt::TopLevel(*w)));
  EXPECT_EQ(seen, QStringList({"focus"})) << "the first tab stop takes the focus when the window opens";
  seen.clear();

  w->SetText(kEdit, "12");
  w->SetText(kEdit, "12");  // no change, no event
  qt::Widget(*w, kEdit)->clearFocus();
  qt::Widget(*w, kEdit)->setFocus(Qt::TabFocusReason);
  qt::Widget(*w, kEdit)->clearFocus();
  qt::Widget(*w, kEdit)->setFocus(Qt::PopupFocusReason);  // its context menu closing: not a new focus
  QTest::mouseClick(qt::Widget(*w, kButton), Qt::LeftButton);
  w->SetEnabled(kButton, false);
  QTest::mouseClick(qt::Widget(*w, kButton), Qt::LeftButton);  // disabled: nothing
  EXPECT_FALSE(w->IsEnabled(kButton));
  QTest::mouseClick(qt::Widget(*w, kCheck), Qt::LeftButton);
  QTest::mouseClick(qt::Widget(*w, kCheck), Qt::LeftButton);
  qt::Widget(*w, kCombo)->setCurrentIndex(2);
  EXPECT_TRUE(w->IsOpen());
  w->Close();
  EXPECT_FALSE(w->IsOpen());
  EXPECT_FALSE(qt::TopLevel(*w)->isVisible());
  EXPECT_EQ(seen, QStringList({"changed 12", "second", "focus", "clicked", "checked", "unchecked", "item 3", "closed"}));
}

TEST(Window, TextsAreGbkBothWaysAndAPastedCharacterGbkLacksReadsAsQuestionMark) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  w->SetText(kEdit, "\xd6\xd0\xce\xc4");  // 中文
  EXPECT_EQ(qt::Widget(*w, kEdit)->text(), kv::test::Q(u"中文"));
  const kv::ui::EditText exact = w->GetText(kEdit);
  EXPECT_EQ(exact.gbk, "\xd6\xd0\xce\xc4");
  EXPECT_TRUE(exact.exact);
  qt::Widget(*w, kEdit)->setText(kv::test::Q(u"\U0001F34E中"));  // three UTF-16 units: the box's most
  const kv::ui::EditText lossy = w->GetText(kEdit);
  EXPECT_EQ(lossy.gbk, "?\xd6\xd0");
  EXPECT_FALSE(lossy.exact);
  w->SetText(kRedLabel, "\xba\xec\r\n\xd7\xd6");
  EXPECT_EQ(qt::Widget(*w, kRedLabel)->text(), kv::test::Q(u"红\n字"));
  w->SetTextColour(kRedLabel, 0x0000FF);
  EXPECT_EQ(qt::Widget(*w, kRedLabel)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  w->SetProgress(kBar, 7, 3);
  EXPECT_EQ(qt::Widget(*w, kBar)->maximum(), 7);
  EXPECT_EQ(qt::Widget(*w, kBar)->value(), 3);
}

TEST(Window, TopmostTogglesKeepingPositionAndVisibility) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  w->SetTopmost(true);  // a window that is not shown yet takes the state too
  EXPECT_TRUE(w->IsTopmost());
  w->SetTopmost(false);
  w->Show();
  QWidget* window = qt::TopLevel(*w);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  const QPoint pos = window->pos();
  for (bool on : {true, false, true, false}) {
    w->SetTopmost(on);
    EXPECT_EQ(w->IsTopmost(), on);
    EXPECT_EQ(window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), on);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), pos);
  }
}

TEST(Window, ModalWindowBlocksTheOthersUntilItCloses) {
  kv::test::App();
  const auto owner = Window::Create(kWindow);
  const auto dialog = Window::Create(kWindow);
  ASSERT_TRUE(owner && dialog);
  owner->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qt::TopLevel(*owner)));
  bool inside = false;
  QTimer::singleShot(0, [&] {
    inside = true;
    EXPECT_EQ(QApplication::activeModalWidget(), qt::TopLevel(*dialog));
    EXPECT_EQ(qt::TopLevel(*dialog)->windowHandle()->transientParent(), qt::TopLevel(*owner)->windowHandle());
    QTest::keyClick(qt::Widget(*dialog, kEdit), Qt::Key_Escape);
  });
  dialog->ShowModal(*owner);  // returns once Esc has closed it
  EXPECT_TRUE(inside);
  EXPECT_FALSE(dialog->IsOpen());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(owner->IsOpen());
}

TEST(Window, InconsistentTablesAreRefused) {
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
    const WindowDef def{.outerWidth = 100, .outerHeight = 100, .controls = controls};
    EXPECT_FALSE(kv::ui::TableIsConsistent(def));
    EXPECT_EQ(Window::Create(def), nullptr);
  }
  EXPECT_TRUE(kv::ui::TableIsConsistent(kWindow));
}

TEST(Window, LevelBoxFiltersTypedCharactersButNotPastedText) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  QLineEdit* edit = qt::Widget(*w, kEdit);
  QTest::keyClicks(edit, "1a-");
  EXPECT_EQ(edit->text(), QStringLiteral("1-"));
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), QStringLiteral("1"));
  QTest::keyClicks(edit, "2345");  // at most three characters
  EXPECT_EQ(edit->text(), QStringLiteral("123"));
  edit->setText(QStringLiteral("x9"));
  EXPECT_EQ(edit->text(), QStringLiteral("x9"));
}

TEST(Window, TabFollowsTableOrderAndSkipsNonTabStops) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  w->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qt::TopLevel(*w)));
  QWidget* edit = qt::Widget(*w, kEdit);
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

TEST(Window, EscapeClosesTheWindowUnlessAControlTakesIt) {
  kv::test::App();
  const auto w = Window::Create(kWindow);
  ASSERT_TRUE(w);
  w->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qt::TopLevel(*w)));
  // An open drop-down list takes Esc for itself.
  QComboBox* combo = qt::Widget(*w, kCombo);
  combo->showPopup();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(w->IsOpen());
  QWidget* button = qt::Widget(*w, kButton);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Escape);
  EXPECT_FALSE(w->IsOpen());
  EXPECT_FALSE(qt::TopLevel(*w)->isVisible());
}

TEST(MainForm, CaptionSizeAndResultColumns) {
  const WindowDef& form = kv::ui::MainForm::kDef;
  EXPECT_EQ(kv::ui::FromGbk(form.caption),
            kv::test::Q(u"KelvaroOstrin答题器   另接Kelvaro代练  QQ：135790      官方群:2468024"));
  EXPECT_EQ(QSize(kv::ui::ClientWidth(form), kv::ui::ClientHeight(form)), QSize(504, 285));
  const ControlDef* list = &form.controls[kv::ui::MainForm::resultList.index];
  EXPECT_EQ(list->formName, "超级列表框2");
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
  EXPECT_EQ(kv::ui::about_form::kText, *bytes);

  const WindowDef& form = kv::ui::AboutForm::kDef;
  EXPECT_EQ(form.caption, "");
  EXPECT_EQ(QSize(kv::ui::ClientWidth(form), kv::ui::ClientHeight(form)), QSize(374, 225));
  ASSERT_EQ(form.controls.size(), 1u);
  EXPECT_EQ(form.controls[0].formName, "标签1");
  EXPECT_EQ(form.controls[0].caption, kv::ui::about_form::kText);
}

TEST(AboutForm, EveryLineIsDrawnInsideTheLabel) {
  kv::test::App();
  const auto about = Window::Create(kv::ui::AboutForm::kDef);
  ASSERT_TRUE(about);
  QLabel* label = qt::Widget(*about, kv::ui::AboutForm::text);
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
