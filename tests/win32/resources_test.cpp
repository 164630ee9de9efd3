// A program that links the Windows resources gets the icon in every size, the
// version record and what its manifest asks for: common controls 6 and
// per-monitor DPI awareness.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

TEST(Win32Resources, IconHoldsEverySizeOfTheAssets) {
  const HMODULE self = GetModuleHandleW(nullptr);
  const HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* header = static_cast<const GroupIconHeader*>(LockResource(LoadResource(self, group)));
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(header->type, 1);
  ASSERT_EQ(SizeofResource(self, group), sizeof(GroupIconHeader) + header->count * sizeof(GroupIconEntry));
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
  std::vector<int> sizes;
  for (int i = 0; i < header->count; ++i) {
    sizes.push_back(entries[i].width);
    EXPECT_EQ(entries[i].width, entries[i].height);
    EXPECT_NE(FindResourceW(self, MAKEINTRESOURCEW(entries[i].id), MAKEINTRESOURCEW(3)), nullptr);  // RT_ICON
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 64, 128}));

  // And the system makes icons of it.
  for (int size : {16, 32, 48}) {
    auto icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST(Win32Resources, VersionRecordNamesVersion19InChinese) {
  const std::wstring path = OwnPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(9, 1)));  // 1.9
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(9, 1)));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars) || !value) return std::wstring();
    return std::wstring(value);
  };
  EXPECT_EQ(text(L"ProductName"), L"KelvaroOstrin\u7b54\u9898\u5668");  // 答题器
  EXPECT_EQ(text(L"FileDescription"), L"KelvaroOstrin\u7b54\u9898\u5668");
  EXPECT_EQ(text(L"FileVersion"), L"1.9.0.0");
  EXPECT_EQ(text(L"ProductVersion"), L"1.9");
  EXPECT_EQ(text(L"OriginalFilename"), L"kelvaro-answerer.exe");
}

// The manifest's dependency sends comctl32.dll to the side-by-side assembly
// of version 6 (Wine's copy reports 5.80 from DllGetVersion all the same).
TEST(Win32Resources, ManifestBringsCommonControls6) {
  const HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  std::wstring file(MAX_PATH, L'\0');
  file.resize(GetModuleFileNameW(comctl, file.data(), MAX_PATH));
  for (wchar_t& c : file) c = static_cast<wchar_t>(towlower(c));
  EXPECT_NE(file.find(L"\\winsxs\\"), std::wstring::npos) << testing::PrintToString(file);
  EXPECT_NE(file.find(L"_microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
      << testing::PrintToString(file);
  FreeLibrary(comctl);
}

// The settings as the system reads them from the process's manifest, and
// what they make of the process (Wine reports per-monitor awareness even
// without a manifest; Windows does not).
TEST(Win32Resources, ManifestMakesTheProcessDpiAwarePerMonitor) {
  auto setting = [](const wchar_t* ns, const wchar_t* name) {
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, nullptr, ns, name, value, std::size(value), &written)) return std::wstring();
    return std::wstring(value);
  };
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
            L"PerMonitorV2, PerMonitor");
  EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), L"true/pm");

  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using GetContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using GetAwareness = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
  const auto getContext =
      reinterpret_cast<GetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  const auto getAwareness = reinterpret_cast<GetAwareness>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  if (getContext && getAwareness) {
    EXPECT_EQ(getAwareness(getContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
  }
}

}  // namespace
