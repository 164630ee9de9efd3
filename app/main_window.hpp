// The main window: keyword box and result list, question submission, the
// calculator button, the always-on-top switch, the About box and the shop links.
#pragma once

#include <QWidget>
#include <string_view>

class QCheckBox;
class QLineEdit;

namespace kv::ui {
class ReportList;
class ResultListModel;
}  // namespace kv::ui

namespace kv {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // False when the window's definition could not be turned into controls.
  bool Loaded() const { return loaded_; }
  // True once the window has been closed (it may still exist).
  bool Closed() const { return closed_; }

  // Handlers.
  void RunLookup();    // keyword box content changed
  void ClearLookup();  // keyword box got focus; 按钮3 clicked
  void ToggleTopmost();
  void OpenAbout();
  void OpenShopLink(std::string_view gbkUrl);

  QLineEdit* KeywordBox() const { return keywordBox_; }
  ui::ReportList* ResultList() const { return resultList_; }
  ui::ResultListModel* Results() const { return results_; }
  QCheckBox* TopmostBox() const { return topmostBox_; }

 signals:
  // After every run of RunLookup.
  void LookupRan();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ConnectHandlers();

  bool loaded_ = false;
  bool closed_ = false;
  QLineEdit* keywordBox_ = nullptr;
  ui::ReportList* resultList_ = nullptr;
  ui::ResultListModel* results_ = nullptr;
  QCheckBox* topmostBox_ = nullptr;
};

// The window icon in 128, 64, 48, 32 and 16 pixels.
QIcon ProgramIcon();

}  // namespace kv
