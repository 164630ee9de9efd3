// The main window: keyword box and result list, question submission, the
// calculator button, the always-on-top switch, the About box and the shop links.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "application.hpp"
#include "keyword_lookup.hpp"
#include "window.hpp"

namespace kv {

// Brings the main window up from anywhere on the desktop.
inline constexpr ui::HotKey kBringUpHotKey{ui::HotKey::kCtrl | ui::HotKey::kAlt, 'Q'};

class MainWindow {
 public:
  // Builds the window (not yet shown) and binds its handlers. Null when the
  // window's table could not be turned into a window.
  static std::unique_ptr<MainWindow> Create();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  ui::Window& window() const { return *window_; }
  // The lookup the result list shows.
  const KeywordLookup& Lookup() const { return lookups_[shown_]; }

  // Registers kBringUpHotKey for BringUp; false when the combination is
  // taken or the desktop has no hot keys (the program runs without it).
  bool RegisterBringUpHotKey();

  // Handlers.
  void RunLookup();    // keyword box content changed
  void ClearLookup();  // keyword box got focus; 按钮3 clicked
  void ToggleTopmost();
  void OpenAbout();
  void OpenShopLink(std::string_view gbkUrl);
  // kBringUpHotKey: the window raised and active, the focus in the keyword
  // box, which is empty, as after any got-focus.
  void BringUp();

 private:
  explicit MainWindow(std::unique_ptr<ui::Window> window) : window_(std::move(window)) {}
  void BindHandlers();

  // The list shows lookups_[shown_] and reads it while it draws; the next run
  // fills the other one, so the rows never change under the list.
  KeywordLookup lookups_[2];
  std::size_t shown_ = 0;
  std::unique_ptr<ui::Window> window_;  // goes before the lookups it shows
  bool hotKey_ = false;
};

}  // namespace kv
