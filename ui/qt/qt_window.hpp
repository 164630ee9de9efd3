// The Qt backend of the window API: each window is a top-level QWidget with
// one child widget per row of its table. This header is for the backend's own
// files and for tests that drive the widgets as a user would.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "window.hpp"

class QCheckBox;
class QComboBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kv::ui {

class ReportList;
class ResultListModel;

namespace qt {

// The top-level widget of a window.
class WindowWidget : public QWidget {
  Q_OBJECT

 public:
  WindowWidget(Window& window, const WindowDef& def);

  Window& window() const { return window_; }
  void SetBackground(QPixmap picture);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  Window& window_;
  QPixmap background_;
};

}  // namespace qt

struct Window::Impl {
  QPointer<qt::WindowWidget> widget;
  std::vector<QWidget*> controls;        // one per table row, owned by the widget
  std::vector<ResultListModel*> models;  // per table row; null but for report lists
  QEventLoop* modalLoop = nullptr;       // while ShowModal waits
  bool open = true;  // from Create until closed
};

namespace qt {

// The widgets behind a window and its controls.
QWidget* TopLevel(const Window& window);
QWidget* Control(const Window& window, std::size_t index);
QLabel* Widget(const Window& window, LabelId id);
QPushButton* Widget(const Window& window, ButtonId id);
QLineEdit* Widget(const Window& window, EditBoxId id);
QCheckBox* Widget(const Window& window, CheckBoxId id);
QComboBox* Widget(const Window& window, DropDownId id);
QGroupBox* Widget(const Window& window, GroupBoxId id);
ReportList* Widget(const Window& window, ReportListId id);
QProgressBar* Widget(const Window& window, ProgressBarId id);
ResultListModel* Model(const Window& window, ReportListId id);

// The window whose top-level widget is `widget`, or null.
Window* WindowOf(QWidget* widget);

}  // namespace qt
}  // namespace kv::ui
