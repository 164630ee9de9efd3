// The Calculator window: level and skill experience across the top, the skill
// count beside the cultivation group below them, and the gold-cap lookup in
// the bottom right corner. Table order is the Tab order: each group's inputs,
// then its outputs, group by group from top to bottom.
#pragma once

#include "window_def.hpp"

namespace kv::ui {

// The tables name only the fields a control sets; the rest keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
namespace calculator_form {

using K = ControlKind;

inline constexpr std::uint32_t kRed = 0xFF0000;
inline constexpr std::uint32_t kBlue = 0x0000FF;
inline constexpr std::uint32_t kGoldCapColour = 0xFF5080;

inline constexpr std::string_view kSkillCounts[] = {"1", "2", "3", "4", "5", "6", "7"};

// A level box: centred, at most three characters, digits and "-" only when typed.
constexpr ControlDef LevelBox(std::string_view name, int x, int y, std::string_view group) {
  return {.formName = name, .kind = K::EditBox, .caption = "", .x = x, .y = y, .w = 39, .h = 20,
          .parent = group, .tabStop = true, .maxLength = 3, .digitsOnly = true, .centred = true};
}

// An output box: centred and, like every edit box here, editable.
constexpr ControlDef OutputBox(std::string_view name, int x, int y, int w, std::string_view group,
                               std::optional<std::uint32_t> colour = {}) {
  return {.formName = name, .kind = K::EditBox, .caption = "", .x = x, .y = y, .w = w, .h = 20,
          .parent = group, .tabStop = true, .textColour = colour, .centred = true};
}

constexpr ControlDef Label(std::string_view name, std::string_view caption, int x, int y, int w,
                           std::string_view group, std::optional<std::uint32_t> colour = {}) {
  return {.formName = name, .kind = K::Label, .caption = caption, .x = x, .y = y, .w = w, .h = 16,
          .parent = group, .textColour = colour};
}

inline constexpr ControlDef kControls[] = {
    // Level experience.
    {.formName = "分组框1", .kind = K::GroupBox, .caption = "等级经验计算", .x = 8, .y = 8, .w = 440, .h = 56},
    Label("标签1", "当前等级：", 8, 24, 56, "分组框1"),
    LevelBox("编辑框1", 65, 23, "分组框1"),
    Label("标签2", "目标等级：", 120, 24, 56, "分组框1"),
    LevelBox("编辑框2", 177, 23, "分组框1"),
    Label("标签3", "所需经验：", 224, 25, 56, "分组框1"),
    OutputBox("编辑框3", 281, 24, 79, "分组框1"),
    {.formName = "选择框1", .kind = K::CheckBox, .caption = "1.5倍", .x = 376, .y = 26, .w = 56, .h = 16,
     .parent = "分组框1", .tabStop = true, .textColour = kRed},

    // Skill experience.
    {.formName = "分组框2", .kind = K::GroupBox, .caption = "技能经验计算", .x = 8, .y = 73, .w = 440, .h = 56},
    Label("标签6", "当前等级：", 8, 24, 56, "分组框2"),
    LevelBox("编辑框6", 65, 23, "分组框2"),
    Label("标签5", "目标等级：", 120, 24, 56, "分组框2"),
    LevelBox("编辑框5", 177, 23, "分组框2"),
    Label("标签4", "所需经验：", 224, 25, 56, "分组框2"),
    OutputBox("编辑框4", 281, 24, 79, "分组框2"),
    {.formName = "选择框2", .kind = K::CheckBox, .caption = "1.5倍", .x = 376, .y = 26, .w = 56, .h = 16,
     .parent = "分组框2", .tabStop = true, .textColour = kRed},

    // The skill count (part of the skill calculation).
    {.formName = "分组框6", .kind = K::GroupBox, .caption = "", .x = 305, .y = 122, .w = 144, .h = 46},
    Label("标签25", "技能个数：", 11, 14, 64, "分组框6", kRed),
    {.formName = "组合框2", .kind = K::DropDown, .caption = "", .x = 73, .y = 12, .w = 50, .h = 20,
     .parent = "分组框6", .tabStop = true, .textColour = kRed, .items = kSkillCounts},

    // Cultivation experience.
    {.formName = "分组框3", .kind = K::GroupBox, .caption = "修炼经验计算", .x = 9, .y = 139, .w = 296, .h = 145},
    Label("标签8", "当前等级：", 8, 21, 56, "分组框3"),
    LevelBox("编辑框8", 65, 20, "分组框3"),
    Label("标签7", "目标等级：", 120, 21, 56, "分组框3"),
    LevelBox("编辑框7", 177, 20, "分组框3"),
    Label("标签9", "功法修炼：", 8, 50, 56, "分组框3", kBlue),
    OutputBox("编辑框9", 65, 48, 79, "分组框3"),
    Label("标签16", "防御修炼：", 152, 51, 56, "分组框3", kBlue),
    OutputBox("编辑框16", 209, 48, 79, "分组框3"),
    Label("标签10", "法抗修炼：", 8, 72, 56, "分组框3", kBlue),
    OutputBox("编辑框10", 65, 70, 79, "分组框3"),
    Label("标签15", "攻击指挥：", 152, 73, 56, "分组框3", kBlue),
    OutputBox("编辑框15", 209, 70, 79, "分组框3"),
    Label("标签12", "防御指挥：", 8, 94, 56, "分组框3", kBlue),
    OutputBox("编辑框12", 65, 92, 79, "分组框3"),
    Label("标签14", "法术指挥：", 152, 95, 56, "分组框3", kBlue),
    OutputBox("编辑框14", 209, 92, 79, "分组框3"),
    Label("标签11", "法抗指挥：", 8, 117, 56, "分组框3", kBlue),
    OutputBox("编辑框11", 65, 115, 79, "分组框3"),
    Label("标签13", "总修经验：", 152, 118, 56, "分组框3", kRed),
    OutputBox("编辑框13", 209, 115, 79, "分组框3", kRed),

    // Gold cap.
    {.formName = "分组框4", .kind = K::GroupBox, .caption = "金币上限查询", .x = 307, .y = 178, .w = 141, .h = 92},
    Label("标签17", "任务等级：", 4, 28, 56, "分组框4"),
    {.formName = "编辑框18", .kind = K::EditBox, .caption = "", .x = 64, .y = 26, .w = 48, .h = 20,
     .parent = "分组框4", .tabStop = true, .digitsOnly = true, .centred = true},
    Label("标签18", "金币上限：", 7, 59, 56, "分组框4"),
    OutputBox("编辑框19", 64, 56, 70, "分组框4", kGoldCapColour),
};

}  // namespace calculator_form

struct CalculatorForm {
  static constexpr WindowDef kDef = {
      .caption = "",
      .outerWidth = 459,
      .outerHeight = 309,
      .controls = calculator_form::kControls,
  };
  static constexpr auto& c = calculator_form::kControls;

  // Level experience.
  static constexpr EditBoxId levelCurrent = ControlOf<EditBoxId>(c, "编辑框1");
  static constexpr EditBoxId levelTarget = ControlOf<EditBoxId>(c, "编辑框2");
  static constexpr EditBoxId levelResult = ControlOf<EditBoxId>(c, "编辑框3");
  static constexpr CheckBoxId levelTimes15 = ControlOf<CheckBoxId>(c, "选择框1");
  // Skill experience.
  static constexpr EditBoxId skillCurrent = ControlOf<EditBoxId>(c, "编辑框6");
  static constexpr EditBoxId skillTarget = ControlOf<EditBoxId>(c, "编辑框5");
  static constexpr EditBoxId skillResult = ControlOf<EditBoxId>(c, "编辑框4");
  static constexpr CheckBoxId skillTimes15 = ControlOf<CheckBoxId>(c, "选择框2");
  static constexpr DropDownId skillCount = ControlOf<DropDownId>(c, "组合框2");
  // Cultivation experience: the technique box, the six others in the order
  // they are written, and the total.
  static constexpr EditBoxId cultivationCurrent = ControlOf<EditBoxId>(c, "编辑框8");
  static constexpr EditBoxId cultivationTarget = ControlOf<EditBoxId>(c, "编辑框7");
  static constexpr EditBoxId technique = ControlOf<EditBoxId>(c, "编辑框9");
  static constexpr EditBoxId cultivationOthers[6] = {
      ControlOf<EditBoxId>(c, "编辑框10"), ControlOf<EditBoxId>(c, "编辑框11"), ControlOf<EditBoxId>(c, "编辑框12"),
      ControlOf<EditBoxId>(c, "编辑框14"), ControlOf<EditBoxId>(c, "编辑框15"), ControlOf<EditBoxId>(c, "编辑框16")};
  static constexpr EditBoxId cultivationTotal = ControlOf<EditBoxId>(c, "编辑框13");
  // Gold cap.
  static constexpr EditBoxId questLevel = ControlOf<EditBoxId>(c, "编辑框18");
  static constexpr EditBoxId goldCap = ControlOf<EditBoxId>(c, "编辑框19");
};

#pragma GCC diagnostic pop

}  // namespace kv::ui
