// A build that carries a skin engine image (here the stand-in engine64.dll)
// loads it at initialisation and hands it the built-in skin when the skin is
// attached, besides giving the windows their look.
#include <gtest/gtest.h>

#include <cstring>

#include "image_loader.hpp"
#include "qt_app.hpp"
#include "skin_host.hpp"

namespace kv::skin::test {
namespace {

template <typename T>
T Exported(const LoadedModule& m, const char* name) {
  const std::uintptr_t at = FindExport(m, name);
  EXPECT_NE(at, 0u) << name;
  T v{};
  if (at != 0) std::memcpy(&v, reinterpret_cast<const void*>(at), sizeof v);
  return v;
}

TEST(SkinEngineBuild, LoadsTheEngineAndHandsItTheSkinOnce) {
  App();
  LoadSkinEngine();
#if defined(__x86_64__)
  const LoadedModule* engine = Engine();
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(engine->Initialised());
  EXPECT_EQ(Exported<std::int32_t>(*engine, "AttachCalls"), 0);

  AttachSkin();
  AttachSkin();
  EXPECT_TRUE(EngineAttached());
  const auto skin = BuiltInSkin();
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : skin) hash = (hash ^ c) * 16777619u;
  EXPECT_EQ(Exported<std::int32_t>(*engine, "AttachCalls"), 1);
  EXPECT_EQ(Exported<std::int32_t>(*engine, "ReceivedSize"), static_cast<std::int32_t>(skin.size()));
  EXPECT_EQ(Exported<std::uint32_t>(*engine, "ReceivedHash"), hash);
  EXPECT_EQ(Exported<const char*>(*engine, "ReceivedPassword"), nullptr);
#else
  EXPECT_EQ(Engine(), nullptr);  // an x86-64 engine cannot run here
  AttachSkin();
#endif
  EXPECT_FALSE(App().styleSheet().isEmpty());
}

}  // namespace
}  // namespace kv::skin::test
