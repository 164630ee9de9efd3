#include "main_window.hpp"

#include "desktop.hpp"
#include "kelvaro_config.hpp"
#include "main_form.hpp"
#include "question_bank.hpp"

// Handlers that other parts of the program provide; their call sites are below.
#include "about_window.hpp"       // app/: kv::OpenAboutWindow
#include "calculator_window.hpp"  // calc/: kv::OpenCalculatorWindow
#include "submit_question.hpp"    // mail/: kv::SubmitQuestion

namespace kv {

using ui::MainForm;

std::unique_ptr<MainWindow> MainWindow::Create() {
  std::unique_ptr<ui::Window> window = ui::Window::Create(MainForm::kDef);
  if (!window) return nullptr;
  std::unique_ptr<MainWindow> main(new MainWindow(std::move(window)));
  main->BindHandlers();
  return main;
}

void MainWindow::BindHandlers() {
  ui::Window& w = *window_;
  w.OnChanged(MainForm::keywordBox, [this] { RunLookup(); });
  w.OnFocus(MainForm::keywordBox, [this] { ClearLookup(); });
  w.OnClicked(MainForm::clearButton, [this] { ClearLookup(); });
  w.OnClicked(MainForm::topmostBox, [this] { ToggleTopmost(); });
  w.OnClicked(MainForm::aboutButton, [this] { OpenAbout(); });
  w.OnClicked(MainForm::taobaoButton, [this] { OpenShopLink(config::kShopUrlTaobao); });
  w.OnClicked(MainForm::paipaiShopButton, [this] { OpenShopLink(config::kShopUrlPaipaiShop); });
  w.OnClicked(MainForm::vipButton, [this] { OpenShopLink(config::kShopUrlPaipaiItem); });
  w.OnClicked(MainForm::submitButton, [&w] {  // mail/: 添加题目
    SubmitQuestion({w, MainForm::questionBox, MainForm::topmostBox});
  });
  w.OnClicked(MainForm::calculatorButton, [&w] { OpenCalculatorWindow(w); });  // calc/: 经验计算
}

MainWindow::~MainWindow() {
  if (hotKey_) ui::UnregisterHotKey(kBringUpHotKey);
}

void MainWindow::RunLookup() {
  // A keyword with a character that GBK lacks cannot occur in the bank; it
  // must not be searched in a lossy form ("?" or a stray byte).
  const ui::EditText keyword = window_->GetText(MainForm::keywordBox);
  KeywordLookup& next = lookups_[1 - shown_];
  if (keyword.exact) {
    next.Run(QuestionBank, keyword.gbk);
  } else {
    next.Clear();
  }
  window_->ShowResults(MainForm::resultList, next);
  shown_ = 1 - shown_;
}

void MainWindow::ClearLookup() {
  window_->ClearRows(MainForm::resultList);
  for (KeywordLookup& l : lookups_) l.Clear();
  // Raises content changed, and so one more RunLookup, when the box held text.
  window_->SetText(MainForm::keywordBox, "");
}

bool MainWindow::RegisterBringUpHotKey() {
  if (!hotKey_) hotKey_ = ui::RegisterHotKey(kBringUpHotKey, [this] { BringUp(); });
  return hotKey_;
}

void MainWindow::BringUp() {
  if (!window_->IsOpen()) return;
  window_->Activate();
  // The focus coming to the box empties it (now, or when the activation
  // arrives); a box that had it already in the active window is emptied here.
  window_->SetFocus(MainForm::keywordBox);
  ClearLookup();
}

void MainWindow::ToggleTopmost() { window_->SetTopmost(window_->IsChecked(MainForm::topmostBox)); }

void MainWindow::OpenAbout() { OpenAboutWindow(*window_); }

void MainWindow::OpenShopLink(std::string_view gbkUrl) { ui::OpenAddress(gbkUrl); }

}  // namespace kv
