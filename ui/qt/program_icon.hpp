// The program's icon in 128, 64, 48, 32 and 16 pixels, from the embedded images.
#pragma once

#include <QIcon>

namespace kv::ui::qt {

QIcon ProgramIcon();

}  // namespace kv::ui::qt
