// The main window: the lookup on top, question submission and the calculator
// button below it, then the strip with the shop buttons.
#pragma once

#include "window_def.hpp"

namespace kv::ui {

// The tables name only the fields a control sets; the rest keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
namespace main_form {

using K = ControlKind;

inline constexpr ColumnDef kResultColumns[] = {
    {"编号", 40},
    {"提问", 308},
    {"答案区", 150},
};

inline constexpr ControlDef kControls[] = {
    {.formName = "分组框1", .kind = K::GroupBox, .caption = "", .x = 1, .y = 0, .w = 503, .h = 48},
    {.formName = "透明标签1", .kind = K::TransparentLabel, .caption = "输入关键字:",
     .x = 6, .y = 15, .w = 74, .h = 20, .parent = "分组框1"},
    {.formName = "欲查找名称编辑框", .kind = K::EditBox, .caption = "",
     .x = 80, .y = 15, .w = 192, .h = 20, .tabStop = true},
    {.formName = "按钮3", .kind = K::Button, .caption = "清空",
     .x = 283, .y = 13, .w = 64, .h = 24, .parent = "分组框1", .tabStop = true},
    {.formName = "选择框1", .kind = K::CheckBox, .caption = "窗口总在最前",
     .x = 363, .y = 19, .w = 120, .h = 16, .parent = "分组框1", .tabStop = true},
    {.formName = "超级列表框2", .kind = K::ReportList, .caption = "",
     .x = 2, .y = 43, .w = 502, .h = 165, .tabStop = true, .columns = kResultColumns},
    {.formName = "标签1", .kind = K::Label, .caption = "题目：", .x = 0, .y = 208, .w = 56, .h = 32},
    {.formName = "编辑框_添加的", .kind = K::EditBox, .caption = "",
     .x = 32, .y = 216, .w = 296, .h = 24, .tabStop = true},
    {.formName = "按钮5", .kind = K::Button, .caption = "添加题目",
     .x = 336, .y = 216, .w = 72, .h = 20, .tabStop = true},
    {.formName = "按钮6", .kind = K::Button, .caption = "经验计算",
     .x = 416, .y = 216, .w = 72, .h = 20, .tabStop = true,
     .font = {.family = "宋体", .pixelSize = 12, .weight = 700}},
    {.formName = "分组框2", .kind = K::GroupBox, .caption = "代练联系", .x = 2, .y = 240, .w = 500, .h = 46},
    {.formName = "按钮2", .kind = K::Button, .caption = "拍拍地址",
     .x = 14, .y = 17, .w = 70, .h = 20, .parent = "分组框2", .tabStop = true},
    {.formName = "按钮1", .kind = K::Button, .caption = "淘宝地址",
     .x = 98, .y = 17, .w = 72, .h = 20, .parent = "分组框2", .tabStop = true},
    {.formName = "透明标签2", .kind = K::TransparentLabel, .caption = "承接:",
     .x = 338, .y = 20, .w = 36, .h = 16, .parent = "分组框2"},
    {.formName = "透明标签3", .kind = K::TransparentLabel, .caption = "修炼,活动,抓鬼,宝图,神行,青龙",
     .x = 382, .y = 16, .w = 192, .h = 24, .parent = "分组框2"},
    {.formName = "按钮4", .kind = K::Button, .caption = "购买VIP",
     .x = 184, .y = 257, .w = 72, .h = 20, .tabStop = true},
    {.formName = "按钮7", .kind = K::Button, .caption = "关于软件",
     .x = 264, .y = 256, .w = 72, .h = 20, .tabStop = true},
};

}  // namespace main_form

struct MainForm {
  static constexpr WindowDef kDef = {
      .caption = "KelvaroOstrin答题器   另接Kelvaro代练  QQ：135790      官方群:2468024",
      .outerWidth = 510,
      .outerHeight = 310,
      .minimizeBox = true,
      .programIcon = true,
      .controls = main_form::kControls,
  };
  static constexpr auto& c = main_form::kControls;

  static constexpr EditBoxId keywordBox = ControlOf<EditBoxId>(c, "欲查找名称编辑框");
  static constexpr ButtonId clearButton = ControlOf<ButtonId>(c, "按钮3");       // 清空
  static constexpr CheckBoxId topmostBox = ControlOf<CheckBoxId>(c, "选择框1");  // 窗口总在最前
  static constexpr ReportListId resultList = ControlOf<ReportListId>(c, "超级列表框2");
  static constexpr EditBoxId questionBox = ControlOf<EditBoxId>(c, "编辑框_添加的");
  static constexpr ButtonId submitButton = ControlOf<ButtonId>(c, "按钮5");      // 添加题目
  static constexpr ButtonId calculatorButton = ControlOf<ButtonId>(c, "按钮6");  // 经验计算
  static constexpr ButtonId paipaiShopButton = ControlOf<ButtonId>(c, "按钮2");  // 拍拍地址
  static constexpr ButtonId taobaoButton = ControlOf<ButtonId>(c, "按钮1");      // 淘宝地址
  static constexpr ButtonId vipButton = ControlOf<ButtonId>(c, "按钮4");         // 购买VIP
  static constexpr ButtonId aboutButton = ControlOf<ButtonId>(c, "按钮7");       // 关于软件
};

#pragma GCC diagnostic pop

}  // namespace kv::ui
