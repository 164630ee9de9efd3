// The skin on Qt: widget style, default font, palette and style sheet of the
// application, which reach every window, open or opened later; and the result
// list's colours of hits (the colour named "accent") and close matches
// ("closeMatch").
#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <optional>
#include <string_view>
#include <vector>

#include "result_list_colours.hpp"
#include "skin_file.hpp"
#include "skin_look.hpp"

namespace kv::ui {

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

// The colour the skin names `name`, invalid when it names none.
QColor NamedColour(const skin::SkinFile& skin, std::string_view name) {
  for (const auto& [n, rgb] : skin.colours)
    if (n == name) return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb));
  return {};
}

std::optional<QPalette::ColorRole> RoleNamed(std::string_view name) {
  for (const Role& r : kRoles)
    if (r.name == name) return r.role;
  return std::nullopt;
}

}  // namespace

bool ApplySkinLook(std::span<const unsigned char> bytes) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr) return false;
  const auto skin = skin::ParseSkinFile(bytes);
  if (!skin) return false;

  // Everything is checked before anything changes.
  struct Entry {
    bool disabledOnly;
    QPalette::ColorRole role;
    QColor colour;
  };
  std::vector<Entry> entries;
  for (const auto& [name, rgb] : skin->palette) {
    std::string_view roleName = name;
    const bool forDisabled = roleName.starts_with("Disabled.");
    if (forDisabled) roleName.remove_prefix(9);
    const auto role = RoleNamed(roleName);
    if (!role) return false;
    entries.push_back({forDisabled, *role, QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb))});
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
      for (const std::string& f : skin->fontFamilies)
        families << QString::fromUtf8(f.data(), static_cast<qsizetype>(f.size()));
      font.setFamilies(families);
    }
    if (skin->fontPixelSize > 0) font.setPixelSize(skin->fontPixelSize);
    QApplication::setFont(font);
  }
  QPalette palette = QApplication::style()->standardPalette();
  for (const Entry& e : entries)
    if (!e.disabledOnly) palette.setColor(e.role, e.colour);
  for (const Entry& e : entries)
    if (e.disabledOnly) palette.setColor(QPalette::Disabled, e.role, e.colour);
  QApplication::setPalette(palette);
  // Windows that exist already take the new font and palette now: once the
  // sheet is in place, a font change that is still queued would not reach them.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationFontChange);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationPaletteChange);
  // The result list's own colours: hits in the accent, close matches in theirs.
  qt::SetResultListColours({NamedColour(*skin, "accent"), NamedColour(*skin, "closeMatch")});
  app->setStyleSheet(QString::fromUtf8(skin->styleSheet.data(), static_cast<qsizetype>(skin->styleSheet.size())));
  return true;
}

}  // namespace kv::ui
