// The skin of the program: one look for every window, attached once.
//
// LoadSkinEngine runs at initialisation, before any window exists; it loads
// the skin engine image when the build carries one (CMake option
// KELVARO_SKIN_ENGINE) and does nothing otherwise. AttachSkin runs once, from
// the main window's created handler: it gives the window layer the built-in
// skin (ui::ApplySkinLook: it reaches every window, open or opened later) and
// hands the same skin bytes to the engine image, when one was loaded. Neither
// ever reports anything: a skin that cannot be read leaves the plain look.
#pragma once

#include <span>

namespace kv::skin {
class LoadedModule;
}

namespace kv {

void LoadSkinEngine();
void AttachSkin();

namespace skin {

// The built-in skin file (the payload of the embedded skin block); empty when
// the block is damaged.
std::span<const unsigned char> BuiltInSkin();

// The engine image LoadSkinEngine loaded (null for none), and whether
// AttachSkin handed it the skin.
const LoadedModule* Engine();
bool EngineAttached();

}  // namespace skin
}  // namespace kv
