#include "skin_engine.hpp"

#include <climits>

#include "byte_block.hpp"

namespace kv::skin {

std::unique_ptr<LoadedModule> LoadEngine(std::span<const unsigned char> block, LoaderPlatform& platform,
                                         const LoadOptions& options) {
  const auto image = BlockPayload(block);
  if (!image) return nullptr;
  return LoadImage(*image, platform, options).module;
}

bool AttachEngineSkin(const LoadedModule& engine, std::span<const unsigned char> skin) {
  if (!engine.Runnable() || skin.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const std::uintptr_t address = FindExport(engine, kAttachExport);
  if (address == 0 || !IsExecutable(engine.ProtectionAt(address - reinterpret_cast<std::uintptr_t>(engine.ImageBase())).protection))
    return false;
  const auto attach = reinterpret_cast<AttachResProc>(address);
  attach(skin.data(), static_cast<int>(skin.size()), nullptr, 0, 0, 0);
  return true;
}

}  // namespace kv::skin
