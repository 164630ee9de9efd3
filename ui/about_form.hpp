// The About window: one label with the maintainer's notice.
#pragma once

#include <string_view>

#include "window_def.hpp"

namespace kv::ui {

// The tables name only the fields a control sets; the rest keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
namespace about_form {

// Line by line; the leading spaces are part of the text.
inline constexpr std::string_view kText =
    "\r\n"
    "                   \r\n"
    "                    Kelvaro职业代练 联系QQ:135790\r\n"
    "\r\n"
    "           \r\n"
    "           可能 我的软件不是最好的 但是我会努力让功能更多\r\n"
    "\r\n"
    "\r\n"
    " 由于小Z还是第一次做软件 会有很多做的不好的地方 希望大家多包涵\r\n"
    "\r\n"
    "\r\n"
    "   答题器已经更新  有很多题目没有 大家可以自己添加或者联系我\r\n"
    "\r\n"
    "\r\n"
    "                       希望可以和大家一起把软件做好 \r\n"
    "                                                  \r\n"
    "                                   官方群号:2468024";

inline constexpr ControlDef kControls[] = {
    {.formName = "标签1", .kind = ControlKind::Label, .caption = kText, .x = 0, .y = 0, .w = 376, .h = 224},
};

}  // namespace about_form

struct AboutForm {
  static constexpr WindowDef kDef = {
      .caption = "",
      .outerWidth = 380,
      .outerHeight = 250,
      .controls = about_form::kControls,
  };
  static constexpr LabelId text = ControlOf<LabelId>(about_form::kControls, "标签1");
};

#pragma GCC diagnostic pop

}  // namespace kv::ui
