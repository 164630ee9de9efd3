#include "skin_host.hpp"

#include "byte_block.hpp"
#include "loader_platform.hpp"
#include "skin_engine.hpp"
#include "skin_look.hpp"

extern const unsigned char kSkinBlock[];
extern const std::size_t kSkinBlockSize;

namespace kv::skin {
// The engine image block of this build; empty when it carries none.
std::span<const unsigned char> EmbeddedEngineBlock();
}  // namespace kv::skin

namespace kv {

namespace {

// The engine image, once loaded; kept, like its platform, until the process ends.
skin::LoadedModule* g_engine = nullptr;
bool g_engineAttached = false;
bool g_skinAttached = false;

}  // namespace

void LoadSkinEngine() {
  if (g_engine != nullptr) return;
  const auto block = skin::EmbeddedEngineBlock();
  if (block.empty()) return;  // this build draws its windows with the built-in skin alone
  auto platform = skin::CreateLoaderPlatform();
  g_engine = skin::LoadEngine(block, *platform).release();
  if (g_engine != nullptr) (void)platform.release();  // the module uses it until the process ends
}

void AttachSkin() {
  if (g_skinAttached) return;
  g_skinAttached = true;
  const auto bytes = skin::BuiltInSkin();
  if (bytes.empty()) return;
  ui::ApplySkinLook(bytes);
  if (g_engine != nullptr) g_engineAttached = skin::AttachEngineSkin(*g_engine, bytes);
}

namespace skin {

std::span<const unsigned char> BuiltInSkin() {
  const auto payload = BlockPayload(ByteBlock(kSkinBlock, kSkinBlockSize));
  return payload ? *payload : std::span<const unsigned char>{};
}

const LoadedModule* Engine() { return g_engine; }
bool EngineAttached() { return g_engineAttached; }

}  // namespace skin
}  // namespace kv
