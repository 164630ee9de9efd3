// The Update window: archive size, bytes downloaded, the progress bar and the
// button that starts the download.
#include "update_form.hpp"

namespace kv::ui {

namespace {

constexpr ControlDef kControls[] = {
    {.formName = "透明标签1", .kind = ControlKind::TransparentLabel, .caption = "文件大小:",
     .x = 9, .y = 9, .w = 56, .h = 16},
    {.formName = "透明标签3", .kind = ControlKind::TransparentLabel, .caption = "",
     .x = 72, .y = 11, .w = 80, .h = 16},
    {.formName = "透明标签2", .kind = ControlKind::TransparentLabel, .caption = "已经下载:",
     .x = 9, .y = 44, .w = 56, .h = 16},
    {.formName = "透明标签4", .kind = ControlKind::TransparentLabel, .caption = "",
     .x = 72, .y = 43, .w = 80, .h = 16},
    {.formName = "按钮1", .kind = ControlKind::Button, .caption = "立即更新",
     .x = 256, .y = 8, .w = 96, .h = 48, .tabStop = true},
    {.formName = "进度条1", .kind = ControlKind::ProgressBar, .caption = "",
     .x = 8, .y = 72, .w = 352, .h = 16},
};

constexpr WindowDef kUpdateForm = {
    .caption = "自动更新",
    .outerWidth = 380,
    .outerHeight = 122,
    .controls = kControls,
};

}  // namespace

const WindowDef& UpdateForm() { return kUpdateForm; }

}  // namespace kv::ui
