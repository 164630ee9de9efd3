#include "main_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "about_window.hpp"
#include "desktop.hpp"
#include "gbk.hpp"
#include "kelvaro_config.hpp"
#include "main_form.hpp"
#include "question_bank.hpp"
#include "report_list.hpp"
#include "result_list_model.hpp"
#include "topmost.hpp"
#include "window_table.hpp"

// Handlers that other parts of the program provide; their call sites are below.
#include "submit_question.hpp"  // mail/: kv::SubmitQuestion
#include "calculator_window.hpp"  // calc/: kv::OpenCalculatorWindow

namespace kv {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  const ui::WindowDef& form = ui::MainForm();
  if (!ui::BuildWindow(form, this)) return;
  keywordBox_ = ui::FindEditBox(this, "欲查找名称编辑框");
  resultList_ = ui::FindReportList(this, "超级列表框2");
  topmostBox_ = ui::FindCheckBox(this, "选择框1");
  if (keywordBox_ == nullptr || resultList_ == nullptr || topmostBox_ == nullptr) return;

  results_ = new ui::ResultListModel(resultList_->ColumnHeaders(), this);
  resultList_->setModel(results_);
  setWindowIcon(ProgramIcon());
  ConnectHandlers();
  loaded_ = true;
}

void MainWindow::ConnectHandlers() {
  // textChanged comes once for every change, the program's own setText too,
  // and not at all when the text stays the same.
  connect(keywordBox_, &QLineEdit::textChanged, this, [this] { RunLookup(); });
  keywordBox_->installEventFilter(this);

  auto onClick = [this](std::string_view name, auto handler) {
    if (QPushButton* b = ui::FindButton(this, name)) connect(b, &QPushButton::clicked, this, handler);
  };
  onClick("按钮3", [this] { ClearLookup(); });
  connect(topmostBox_, &QCheckBox::clicked, this, [this] { ToggleTopmost(); });
  onClick("按钮7", [this] { OpenAbout(); });
  onClick("按钮1", [this] { OpenShopLink(config::kShopUrlTaobao); });
  onClick("按钮2", [this] { OpenShopLink(config::kShopUrlPaipaiShop); });
  onClick("按钮4", [this] { OpenShopLink(config::kShopUrlPaipaiItem); });
  onClick("按钮5", [this] { SubmitQuestion(this); });  // mail/: 添加题目
  onClick("按钮6", [this] { OpenCalculatorWindow(this); });  // calc/: 经验计算
}

void MainWindow::RunLookup() {
  // A keyword with a character that GBK lacks cannot occur in the bank; it
  // must not be searched in a lossy form ("?" or a stray byte).
  if (const auto keyword = ui::ToGbk(keywordBox_->text())) {
    results_->Fill(QuestionBank, *keyword);
  } else {
    results_->Clear();
  }
  resultList_->scrollToTop();
  emit LookupRan();
}

void MainWindow::ClearLookup() {
  results_->Clear();
  // Raises textChanged, and so one more RunLookup, when the box held text.
  keywordBox_->setText(QString());
}

void MainWindow::ToggleTopmost() { ui::SetTopmost(this, topmostBox_->isChecked()); }

void MainWindow::OpenAbout() { OpenAboutWindow(this); }

void MainWindow::OpenShopLink(std::string_view gbkUrl) { ui::OpenWithDesktop(gbkUrl); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Every return of the focus to the keyword box empties it, also when the
  // window is activated again, except when the box's own context menu closes:
  // right-click and Paste must keep the pasted text.
  if (watched == keywordBox_ && event->type() == QEvent::FocusIn &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    ClearLookup();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  closed_ = true;
  QWidget::closeEvent(event);
}

}  // namespace kv
