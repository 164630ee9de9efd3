// The Update window: archive size, bytes downloaded, the progress bar and the
// button that starts the download, over the window's picture.
#pragma once

#include "window_def.hpp"

namespace kv::ui {

// The tables name only the fields a control sets; the rest keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
namespace update_form {

using K = ControlKind;

inline constexpr ControlDef kControls[] = {
    {.formName = "透明标签1", .kind = K::TransparentLabel, .caption = "文件大小:", .x = 9, .y = 9, .w = 56, .h = 16},
    {.formName = "透明标签3", .kind = K::TransparentLabel, .caption = "", .x = 72, .y = 11, .w = 80, .h = 16},
    {.formName = "透明标签2", .kind = K::TransparentLabel, .caption = "已经下载:", .x = 9, .y = 44, .w = 56, .h = 16},
    {.formName = "透明标签4", .kind = K::TransparentLabel, .caption = "", .x = 72, .y = 43, .w = 80, .h = 16},
    {.formName = "按钮1", .kind = K::Button, .caption = "立即更新", .x = 256, .y = 8, .w = 96, .h = 48, .tabStop = true},
    {.formName = "进度条1", .kind = K::ProgressBar, .caption = "", .x = 8, .y = 72, .w = 352, .h = 16},
};

}  // namespace update_form

struct UpdateForm {
  static constexpr WindowDef kDef = {
      .caption = "自动更新",
      .outerWidth = 380,
      .outerHeight = 122,
      .controls = update_form::kControls,
  };
  static constexpr auto& c = update_form::kControls;

  static constexpr LabelId sizeLabel = ControlOf<LabelId>(c, "透明标签3");  // the archive's size
  static constexpr LabelId doneLabel = ControlOf<LabelId>(c, "透明标签4");  // bytes downloaded
  static constexpr ButtonId updateButton = ControlOf<ButtonId>(c, "按钮1");  // 立即更新
  static constexpr ProgressBarId progressBar = ControlOf<ProgressBarId>(c, "进度条1");
};

#pragma GCC diagnostic pop

}  // namespace kv::ui
