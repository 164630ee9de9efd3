// The skin engine as a library image: loading it from its embedded block and
// handing it the skin.
//
// An engine image exports
//   int SkinH_AttachRes(const unsigned char* skin, int size, const char* password,
//                       int hue, int saturation, int brightness);
// with the Windows calling convention. It receives the skin file's bytes, no
// password (null) and no colour adjustment (0, 0, 0); its result is not used.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "image_loader.hpp"

namespace kv::skin {

inline constexpr std::string_view kAttachExport = "SkinH_AttachRes";

using AttachResProc = int(KV_WINAPI*)(const unsigned char* skin, int size, const char* password, int hue,
                                      int saturation, int brightness);

// Loads the engine image held in `block` (an embedded byte block: word 1, byte
// count, bytes). Null when the block or the image cannot be used.
std::unique_ptr<LoadedModule> LoadEngine(std::span<const unsigned char> block, LoaderPlatform& platform,
                                         const LoadOptions& options = {});

// Calls the engine's SkinH_AttachRes once with `skin`. False, calling
// nothing, when the engine lacks the export, cannot run on this machine, or
// the skin is too large for its byte count.
bool AttachEngineSkin(const LoadedModule& engine, std::span<const unsigned char> skin);

}  // namespace kv::skin
