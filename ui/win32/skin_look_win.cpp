// The skin on Win32: the palette's colours on the controls (WM_CTLCOLOR* and
// the result list's own drawing), the first of the skin's font families that
// this system has with Chinese characters as the default font, and the result
// list's colours of hits ("accent") and close matches ("closeMatch").
#include <string_view>

#include "dpi_win.hpp"
#include "look_win.hpp"
#include "skin_file.hpp"
#include "skin_look.hpp"

namespace kv::ui {

namespace win {

namespace {

Look look;
HBRUSH windowBrush = nullptr;
HBRUSH baseBrush = nullptr;

void ReleaseBrushes() {
  if (windowBrush) ::DeleteObject(windowBrush);
  if (baseBrush) ::DeleteObject(baseBrush);
  windowBrush = baseBrush = nullptr;
}

COLORREF Or(const std::optional<std::uint32_t>& rgb, int system) {
  return rgb ? ToCOLORREF(*rgb) : ::GetSysColor(system);
}

std::wstring FromUtf8(std::string_view s) {
  if (s.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

int CALLBACK FoundFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Whether the system has `family` with the Chinese (GB2312) character set.
bool HasChineseFont(const std::wstring& family) {
  if (family.empty() || family.size() >= LF_FACESIZE) return false;
  LOGFONTW wanted{};
  wanted.lfCharSet = GB2312_CHARSET;
  family.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &wanted, FoundFont, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

COLORREF ToCOLORREF(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

const Look& CurrentLook() { return look; }

void SetLook(Look l) {
  look = std::move(l);
  ReleaseBrushes();
}

COLORREF WindowColour() { return Or(look.window, COLOR_BTNFACE); }
COLORREF WindowTextColour() { return Or(look.windowText, COLOR_BTNTEXT); }
COLORREF BaseColour() { return Or(look.base, COLOR_WINDOW); }
COLORREF TextColour() { return Or(look.text, COLOR_WINDOWTEXT); }
COLORREF HighlightColour() { return Or(look.highlight, COLOR_HIGHLIGHT); }
COLORREF HighlightedTextColour() { return Or(look.highlightedText, COLOR_HIGHLIGHTTEXT); }
COLORREF DisabledTextColour() { return Or(look.disabledText, COLOR_GRAYTEXT); }
COLORREF HitColour() { return Or(look.hit, COLOR_HOTLIGHT); }
COLORREF CloseMatchColour() { return Or(look.closeMatch, COLOR_GRAYTEXT); }

HBRUSH WindowBrush() {
  if (windowBrush == nullptr) windowBrush = ::CreateSolidBrush(WindowColour());
  return windowBrush;
}

HBRUSH BaseBrush() {
  if (baseBrush == nullptr) baseBrush = ::CreateSolidBrush(BaseColour());
  return baseBrush;
}

HFONT CreateControlFont(const std::wstring& family, int pixelSize, int weight, UINT dpi) {
  const std::wstring face = !family.empty()            ? family
                            : !look.fontFamily.empty() ? look.fontFamily
                                                       : std::wstring(L"\x5B8B\x4F53");  // 宋体
  const int px = pixelSize > 0 ? pixelSize : look.fontPixelSize > 0 ? look.fontPixelSize : 12;
  return ::CreateFontW(-Scale(px, dpi), 0, 0, 0, weight > 0 ? weight : FW_NORMAL, FALSE, FALSE, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

HFONT CreateDefaultFont(UINT dpi) { return CreateControlFont({}, 0, 0, dpi); }

}  // namespace win

namespace {

struct Role {
  std::string_view name;
  std::optional<std::uint32_t> win::Look::*field;
};

// The palette roles the Win32 controls have a place for; the others are
// valid names that this backend leaves alone.
constexpr Role kRoles[] = {
    {"Window", &win::Look::window},
    {"WindowText", &win::Look::windowText},
    {"Base", &win::Look::base},
    {"Text", &win::Look::text},
    {"Button", nullptr},  // push buttons keep the theme's colours
    {"ButtonText", nullptr},
    {"Highlight", &win::Look::highlight},
    {"HighlightedText", &win::Look::highlightedText},
    {"ToolTipBase", nullptr},
    {"ToolTipText", nullptr},
    {"AlternateBase", nullptr},
    {"PlaceholderText", nullptr},
    {"BrightText", nullptr},
    {"Light", nullptr},
    {"Midlight", nullptr},
    {"Mid", nullptr},
    {"Dark", nullptr},
    {"Shadow", nullptr},
    {"Link", nullptr},
    {"LinkVisited", nullptr},
};

const Role* RoleNamed(std::string_view name) {
  for (const Role& r : kRoles)
    if (r.name == name) return &r;
  return nullptr;
}

std::optional<std::uint32_t> NamedColour(const skin::SkinFile& skin, std::string_view name) {
  for (const auto& [n, rgb] : skin.colours)
    if (n == name) return rgb;
  return std::nullopt;
}

}  // namespace

bool ApplySkinLook(std::span<const unsigned char> bytes) {
  const auto skin = skin::ParseSkinFile(bytes);
  if (!skin) return false;
  // Everything is checked before anything changes.
  win::Look look;
  for (const auto& [name, rgb] : skin->palette) {
    std::string_view roleName = name;
    const bool forDisabled = roleName.starts_with("Disabled.");
    if (forDisabled) roleName.remove_prefix(9);
    const Role* role = RoleNamed(roleName);
    if (role == nullptr) return false;
    if (forDisabled) {
      if (roleName == "Text" || roleName == "WindowText" || roleName == "ButtonText") look.disabledText = rgb;
    } else if (role->field != nullptr) {
      look.*(role->field) = rgb;
    }
  }
  for (const std::string& family : skin->fontFamilies) {
    const std::wstring wide = win::FromUtf8(family);
    if (win::HasChineseFont(wide)) {
      look.fontFamily = wide;
      break;
    }
  }
  look.fontPixelSize = skin->fontPixelSize;
  look.hit = NamedColour(*skin, "accent");
  look.closeMatch = NamedColour(*skin, "closeMatch");
  win::SetLook(std::move(look));
  win::RefreshLookOfAllWindows();
  return true;
}

}  // namespace kv::ui
