#include "calculator_window.hpp"

#include "calculator.hpp"
#include "calculator_form.hpp"
#include "exit_cleanup.hpp"

namespace kv {

namespace {

using ui::CalculatorForm;

// The box's text as GBK; a character GBK lacks (only pasted text can hold
// one) reads as "?", which no number rule takes for a digit or a space.
Text BoxText(const ui::Window& w, ui::EditBoxId box) { return w.GetText(box).gbk; }

void BindHandlers(ui::Window& w) {
  using F = CalculatorForm;
  auto level = [&w] {
    w.SetText(F::levelResult,
              RecalcLevelGroup(BoxText(w, F::levelCurrent), BoxText(w, F::levelTarget), w.IsChecked(F::levelTimes15)));
  };
  auto skill = [&w] {
    w.SetText(F::skillResult, RecalcSkillGroup(BoxText(w, F::skillCurrent), BoxText(w, F::skillTarget),
                                               w.IsChecked(F::skillTimes15), w.ShownText(F::skillCount)));
  };
  auto cultivation = [&w] {
    const CultivationResult r = RecalcCultivationGroup(BoxText(w, F::cultivationCurrent), BoxText(w, F::cultivationTarget));
    w.SetText(F::technique, r.technique);
    for (ui::EditBoxId box : F::cultivationOthers) w.SetText(box, r.other);
    w.SetText(F::cultivationTotal, r.total);
  };
  auto goldCap = [&w] { w.SetText(F::goldCap, LookupGoldCap(BoxText(w, F::questLevel))); };

  w.OnChanged(F::levelCurrent, level);
  w.OnChanged(F::levelTarget, level);
  w.OnClicked(F::levelTimes15, level);  // after the box has toggled
  w.OnChanged(F::skillCurrent, skill);
  w.OnChanged(F::skillTarget, skill);
  w.OnClicked(F::skillTimes15, skill);
  w.OnSelected(F::skillCount, skill);
  w.OnChanged(F::cultivationCurrent, cultivation);
  w.OnChanged(F::cultivationTarget, cultivation);
  w.OnChanged(F::questLevel, goldCap);
}

ui::Window* openWindow = nullptr;  // user-interface thread only

}  // namespace

std::unique_ptr<ui::Window> CreateCalculatorWindow() {
  std::unique_ptr<ui::Window> window = ui::Window::Create(CalculatorForm::kDef);
  if (!window) return nullptr;
  // The window's created event: fresh tables, no calculation. The tables live
  // on after the window; the exit clean-up releases them.
  LoadCalculatorTables();
  static const bool releaseAtExit = [] {
    RegisterExitCleanup(ReleaseCalculatorTables);
    return true;
  }();
  (void)releaseAtExit;
  BindHandlers(*window);
  return window;
}

void OpenCalculatorWindow(ui::Window& mainWindow) {
  if (openWindow != nullptr) {
    openWindow->Activate();
    return;
  }
  const std::unique_ptr<ui::Window> window = CreateCalculatorWindow();
  if (!window) return;
  openWindow = window.get();
  window->ShowModal(mainWindow);
  openWindow = nullptr;
}

}  // namespace kv
