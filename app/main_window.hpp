// The main window: keyword box and result list, question submission, the
// calculator button, the always-on-top switch, the About box and the shop links.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "lookup.hpp"
#include "window.hpp"

namespace kv {

class MainWindow {
 public:
  // Builds the window (not yet shown) and binds its handlers. Null when the
  // window's table could not be turned into a window.
  static std::unique_ptr<MainWindow> Create();

  ui::Window& window() const { return *window_; }
  // The rows the result list shows.
  const std::vector<LookupRow>& Rows() const { return rows_; }

  // Handlers.
  void RunLookup();    // keyword box content changed
  void ClearLookup();  // keyword box got focus; 按钮3 clicked
  void ToggleTopmost();
  void OpenAbout();
  void OpenShopLink(std::string_view gbkUrl);

 private:
  explicit MainWindow(std::unique_ptr<ui::Window> window) : window_(std::move(window)) {}
  void BindHandlers();

  std::unique_ptr<ui::Window> window_;
  std::vector<LookupRow> rows_;   // shown by the result list
  std::vector<LookupRow> spare_;  // the next run's rows are built here
};

}  // namespace kv
