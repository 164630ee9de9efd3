// The skin engine image this build carries, if any (CMake option
// KELVARO_SKIN_ENGINE).
#include <cstddef>
#include <span>

#if defined(KELVARO_HAS_SKIN_ENGINE)
extern const unsigned char kSkinEngineBlock[];
extern const std::size_t kSkinEngineBlockSize;
#endif

namespace kv::skin {

std::span<const unsigned char> EmbeddedEngineBlock() {
#if defined(KELVARO_HAS_SKIN_ENGINE)
  return {kSkinEngineBlock, kSkinEngineBlockSize};
#else
  return {};
#endif
}

}  // namespace kv::skin
