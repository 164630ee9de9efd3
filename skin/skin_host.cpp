#include "skin_host.hpp"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <optional>
#include <string_view>

#include "byte_block.hpp"
#include "loader_platform.hpp"
#include "skin_engine.hpp"
#include "skin_file.hpp"

extern const unsigned char kSkinBlock[];
extern const std::size_t kSkinBlockSize;

namespace kv::skin {
// The engine image block of this build; empty when it carries none.
std::span<const unsigned char> EmbeddedEngineBlock();
}  // namespace kv::skin

namespace kv {

namespace {

struct Role {
  std::string_view name;
  QPalette::ColorRole role;
};

constexpr Role kRoles[] = {
    {"Window", QPalette::Window},
    {"WindowText", QPalette::WindowText},
    {"Base", QPalette::Base},
    {"AlternateBase", QPalette::AlternateBase},
    {"Text", QPalette::Text},
    {"PlaceholderText", QPalette::PlaceholderText},
    {"Button", QPalette::Button},
    {"ButtonText", QPalette::ButtonText},
    {"BrightText", QPalette::BrightText},
    {"Highlight", QPalette::Highlight},
    {"HighlightedText", QPalette::HighlightedText},
    {"ToolTipBase", QPalette::ToolTipBase},
    {"ToolTipText", QPalette::ToolTipText},
    {"Light", QPalette::Light},
    {"Midlight", QPalette::Midlight},
    {"Mid", QPalette::Mid},
    {"Dark", QPalette::Dark},
    {"Shadow", QPalette::Shadow},
    {"Link", QPalette::Link},
    {"LinkVisited", QPalette::LinkVisited},
};

std::optional<QPalette::ColorRole> RoleNamed(std::string_view name) {
  for (const Role& r : kRoles)
    if (r.name == name) return r.role;
  return std::nullopt;
}

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
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) skin::ApplySkin(*app, bytes);
  if (g_engine != nullptr) g_engineAttached = skin::AttachEngineSkin(*g_engine, bytes);
}

namespace skin {

std::span<const unsigned char> BuiltInSkin() {
  const auto payload = BlockPayload(ByteBlock(kSkinBlock, kSkinBlockSize));
  return payload ? *payload : std::span<const unsigned char>{};
}

const LoadedModule* Engine() { return g_engine; }
bool EngineAttached() { return g_engineAttached; }

bool ApplySkin(QApplication& app, std::span<const unsigned char> bytes) {
  const auto skin = ParseSkinFile(bytes);
  if (!skin) return false;

  // Everything is checked before anything changes.
  struct Entry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QColor colour;
  };
  std::vector<Entry> all, disabled;
  for (const auto& [name, rgb] : skin->palette) {
    std::string_view roleName = name;
    const bool forDisabled = roleName.starts_with("Disabled.");
    if (forDisabled) roleName.remove_prefix(9);
    const auto role = RoleNamed(roleName);
    if (!role) return false;
    const QColor colour = QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb));
    (forDisabled ? disabled : all).push_back({QPalette::Disabled, *role, colour});
  }
  QStyle* style = nullptr;
  if (!skin->baseStyle.empty()) {
    style = QStyleFactory::create(QString::fromStdString(skin->baseStyle));
    if (style == nullptr) return false;
  }

  if (style != nullptr) QApplication::setStyle(style);  // the application owns it now
  if (!skin->fontFamilies.empty() || skin->fontPixelSize > 0) {
    QFont font = QApplication::font();
    if (!skin->fontFamilies.empty()) {
      QStringList families;
      for (const std::string& f : skin->fontFamilies) families << QString::fromUtf8(f.data(), static_cast<qsizetype>(f.size()));
      font.setFamilies(families);
    }
    if (skin->fontPixelSize > 0) font.setPixelSize(skin->fontPixelSize);
    QApplication::setFont(font);
  }
  QPalette palette = QApplication::style()->standardPalette();
  for (const Entry& e : all) palette.setColor(e.role, e.colour);
  for (const Entry& e : disabled) palette.setColor(QPalette::Disabled, e.role, e.colour);
  QApplication::setPalette(palette);
  // Windows that exist already take the new font and palette now: once the
  // sheet is in place, a font change that is still queued would not reach them.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationFontChange);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationPaletteChange);
  app.setStyleSheet(QString::fromUtf8(skin->styleSheet.data(), static_cast<qsizetype>(skin->styleSheet.size())));
  return true;
}

}  // namespace skin
}  // namespace kv
