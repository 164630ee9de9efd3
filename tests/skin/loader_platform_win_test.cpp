// The Windows platform of the loader on its own: the pages it hands out as
// VirtualQuery sees them, and which libraries it agrees to open.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "loader_platform_win.hpp"

namespace kv::skin::test {
namespace {

DWORD ProtectionAt(const void* at) {
  MEMORY_BASIC_INFORMATION m;
  if (VirtualQuery(at, &m, sizeof m) != sizeof m) return 0;
  return m.State == MEM_COMMIT ? m.Protect : 0;
}

// Wine takes the no-cache flag and does not keep it.
bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(WinPlatform, PagesGetTheProtectionAsked) {
  const DWORD kept = UnderWine() ? ~static_cast<DWORD>(PAGE_NOCACHE) : ~DWORD{0};
  using P = Protection;
  struct Case {
    PageProtection asked;
    bool allowExecute;
    DWORD want;
  } cases[] = {
      {{P::NoAccess, false}, true, PAGE_NOACCESS},
      {{P::NoAccess, true}, true, PAGE_NOACCESS},  // no-cache is refused on inaccessible pages
      {{P::WriteCopy, false}, true, PAGE_READWRITE},
      {{P::ReadOnly, false}, true, PAGE_READONLY},
      {{P::ReadOnly, true}, true, PAGE_READONLY | PAGE_NOCACHE},
      {{P::ReadWrite, false}, true, PAGE_READWRITE},
      {{P::Execute, false}, true, PAGE_EXECUTE},
      {{P::ExecuteWriteCopy, false}, true, 0},  // never writable and executable at once: refused
      {{P::ExecuteRead, false}, true, PAGE_EXECUTE_READ},
      {{P::ExecuteReadWrite, false}, true, 0},
      {{P::Execute, false}, false, PAGE_NOACCESS},
      {{P::ExecuteRead, false}, false, PAGE_READONLY},
      {{P::ExecuteReadWrite, false}, false, PAGE_READWRITE},
  };
  for (const Case& c : cases) {
    WinPlatform platform(c.allowExecute);
    const std::size_t page = platform.PageSize();
    std::byte* region = platform.Reserve(0, 4 * page, false);
    ASSERT_NE(region, nullptr);
    ASSERT_TRUE(platform.Commit(region, 4 * page));
    // The middle pages, given by a range that starts and ends inside them.
    const bool refused = c.want == 0;
    const DWORD want = refused ? static_cast<DWORD>(PAGE_READWRITE) : c.want & kept;
    ASSERT_EQ(platform.Protect(region + page + 8, page, c.asked), !refused) << static_cast<int>(c.asked.protection);
    EXPECT_EQ(ProtectionAt(region + page), want) << static_cast<int>(c.asked.protection);
    EXPECT_EQ(ProtectionAt(region + 2 * page), want) << static_cast<int>(c.asked.protection);
    EXPECT_EQ(ProtectionAt(region), static_cast<DWORD>(PAGE_READWRITE));
    EXPECT_EQ(ProtectionAt(region + 3 * page), static_cast<DWORD>(PAGE_READWRITE));
    platform.Release(region, 4 * page);
  }
}

TEST(WinPlatform, ReservesWhereAskedOrNowhere) {
  WinPlatform platform;
  const std::size_t page = platform.PageSize();
  // Anywhere below 4 GiB, for 32-bit images.
  std::byte* low = platform.Reserve(0, 0x30000, true);
  ASSERT_NE(low, nullptr);
  EXPECT_LE(reinterpret_cast<std::uintptr_t>(low) + 0x30000, std::uint64_t{1} << 32);
  EXPECT_EQ(ProtectionAt(low), 0u);  // reserved, not committed
  ASSERT_TRUE(platform.Commit(low + 1, 1));  // widened to the whole page
  EXPECT_EQ(ProtectionAt(low), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(static_cast<volatile const unsigned char*>(static_cast<void*>(low))[page - 1], 0);
  EXPECT_TRUE(platform.Decommit(low, 0));  // nothing, not the whole region
  EXPECT_EQ(ProtectionAt(low), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_TRUE(platform.Decommit(low, page));
  EXPECT_EQ(ProtectionAt(low), 0u);

  // A taken base, a base off the allocation granularity, a region that would
  // cross 4 GiB: refused, nothing reserved.
  const auto taken = reinterpret_cast<std::uintptr_t>(low);
  EXPECT_EQ(platform.Reserve(taken, 0x10000, false), nullptr);
  EXPECT_EQ(platform.Reserve(taken + page, page, false), nullptr);
  EXPECT_EQ(platform.Reserve((std::uint64_t{1} << 32) - 0x10000, 0x20000, true), nullptr);
  EXPECT_EQ(platform.Reserve(0, 0, false), nullptr);
  platform.Release(low, 0x30000);
  MEMORY_BASIC_INFORMATION m;
  ASSERT_EQ(VirtualQuery(low, &m, sizeof m), sizeof m);
  EXPECT_EQ(m.State, static_cast<DWORD>(MEM_FREE));

  // The exact base, once it is free again.
  std::byte* again = platform.Reserve(taken, 0x10000, true);
  EXPECT_EQ(again, low);
  platform.Release(again, 0x10000);
}

TEST(WinPlatform, OpensSystemLibrariesByBareNameOnly) {
  WinPlatform platform;
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(kernel32, nullptr);
  for (const char* name : {"kernel32.dll", "KERNEL32.DLL", "Kernel32"}) {
    LibraryHandle h = platform.OpenLibrary(name);
    EXPECT_EQ(h, kernel32) << name;
    EXPECT_EQ(platform.FindProcedure(h, "GetCurrentProcessId"),
              reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel32, "GetCurrentProcessId")));
    platform.CloseLibrary(h);
  }
  EXPECT_EQ(platform.OpenLibraries(), 0);

  const std::string withNul("kernel32.dll\0x", 14);
  for (const std::string& name : {std::string(""), std::string("..\\kernel32.dll"), std::string("sub/kernel32.dll"),
                                  std::string("C:\\windows\\system32\\kernel32.dll"), withNul,
                                  std::string("\xd0.dll"), std::string("no-such-library-here.dll")})
    EXPECT_EQ(platform.OpenLibrary(name), nullptr) << testing::PrintToString(name);
  EXPECT_EQ(platform.OpenLibraries(), 0);

  LibraryHandle h = platform.OpenLibrary("kernel32.dll");
  EXPECT_EQ(platform.OpenLibraries(), 1);
  EXPECT_EQ(platform.FindProcedure(h, ""), 0u);
  EXPECT_EQ(platform.FindProcedure(h, std::string_view("GetCurrentProcessId\0", 20)), 0u);
  EXPECT_EQ(platform.FindProcedure(h, "NoSuchProcedure"), 0u);
  EXPECT_EQ(platform.FindOrdinal(h, 0), 0u);
  platform.CloseLibrary(h);
  platform.CloseLibrary(nullptr);
  EXPECT_EQ(platform.OpenLibraries(), 0);
}

TEST(WinPlatform, FindsProceduresByOrdinal) {
  const std::string folder = KELVARO_TEST_DLLS;  // a path of the build machine, ASCII
  const std::wstring path = std::wstring(folder.begin(), folder.end()) + L"/ordinals.dll";
  const HMODULE library = LoadLibraryW(path.c_str());
  ASSERT_NE(library, nullptr);
  WinPlatform platform;
  EXPECT_EQ(platform.FindOrdinal(library, 1), reinterpret_cast<std::uintptr_t>(GetProcAddress(library, MAKEINTRESOURCEA(1))));
  EXPECT_NE(platform.FindOrdinal(library, 1), 0u);
  EXPECT_NE(platform.FindOrdinal(library, 2), platform.FindOrdinal(library, 1));
  EXPECT_EQ(platform.FindOrdinal(library, 3), 0u);
  EXPECT_EQ(platform.FindProcedure(library, "Hidden"), 0u);
  FreeLibrary(library);
}

}  // namespace
}  // namespace kv::skin::test
