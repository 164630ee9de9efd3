// The skin's look on the platform's own controls.
#pragma once

#include <span>

namespace kv::ui {

// Gives every window of the program, open or opened later, the look of the
// skin file `bytes` (colours, default font, and what else the backend can
// draw). The result list draws its hits in the skin's colour named "accent"
// and the rows of a close match in "closeMatch" (the palette's link and
// placeholder colours when the skin names none). False, changing nothing,
// when the bytes are not a skin file this backend can use.
bool ApplySkinLook(std::span<const unsigned char> bytes);

}  // namespace kv::ui
