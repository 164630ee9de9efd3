// Windows from their tables, as Qt widgets.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "gbk.hpp"
#include "input_filters.hpp"
#include "lines_label.hpp"
#include "program_icon.hpp"
#include "qt_window.hpp"
#include "report_list.hpp"
#include "result_list_model.hpp"

namespace kv::ui {

namespace {

QString DisplayText(std::string_view gbk) {
  QString s = FromGbk(gbk);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QColor Colour(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb)); }

void SetTextColour(QWidget* w, std::uint32_t rgb) {
  QPalette palette = w->palette();
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(role, Colour(rgb));
  w->setPalette(palette);
}

QLabel* CreateLabel(const QString& caption, bool transparent, QWidget* parent) {
  const bool lines = caption.contains(u'\n');
  QLabel* label = lines ? qt::CreateLinesLabel(parent) : new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(caption);
  if (lines) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (transparent) {
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TranslucentBackground);
  }
  return label;
}

QWidget* CreateControl(const ControlDef& c, QWidget* parent) {
  const QString caption = DisplayText(c.caption);
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::Label:
    case ControlKind::TransparentLabel:
      w = CreateLabel(caption, c.kind == ControlKind::TransparentLabel, parent);
      break;
    case ControlKind::Button:
      w = new QPushButton(caption, parent);
      break;
    case ControlKind::EditBox: {
      auto* edit = new QLineEdit(parent);
      edit->setText(caption);
      if (c.maxLength > 0) edit->setMaxLength(c.maxLength);
      if (c.centred) edit->setAlignment(Qt::AlignCenter);
      if (c.digitsOnly) qt::FilterToDigits(edit);
      w = edit;
      break;
    }
    case ControlKind::CheckBox:
      w = new QCheckBox(caption, parent);
      break;
    case ControlKind::DropDown: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(false);
      for (std::string_view item : c.items) combo->addItem(DisplayText(item));
      if (combo->count() > 0) combo->setCurrentIndex(0);
      w = combo;
      break;
    }
    case ControlKind::GroupBox:
      w = new QGroupBox(caption, parent);
      break;
    case ControlKind::ReportList: {
      auto* list = new ReportList(parent);
      list->SetColumns(c.columns);
      w = list;
      break;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      w = bar;
      break;
    }
  }

  w->setObjectName(FromGbk(c.formName));
  w->setGeometry(c.x, c.y, c.w, c.h);

  const bool focusable = c.kind == ControlKind::Button || c.kind == ControlKind::EditBox ||
                         c.kind == ControlKind::CheckBox || c.kind == ControlKind::DropDown ||
                         c.kind == ControlKind::ReportList;
  if (focusable) w->setFocusPolicy(c.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  else w->setFocusPolicy(Qt::NoFocus);

  if (!c.font.family.empty() || c.font.pixelSize > 0 || c.font.weight > 0) {
    QFont font = w->font();
    if (!c.font.family.empty()) {
      font.setFamilies({FromGbk(c.font.family), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                        QStringLiteral("Droid Sans Fallback")});
    }
    if (c.font.pixelSize > 0) font.setPixelSize(c.font.pixelSize);
    if (c.font.weight > 0) font.setWeight(static_cast<QFont::Weight>(c.font.weight));
    w->setFont(font);
  }
  if (c.textColour) SetTextColour(w, *c.textColour);
  w->setVisible(c.visible);
  return w;
}

// Reports an edit box's keyboard focus as the got-focus event: every time it
// gets the focus, also when its window is activated again and hands it back,
// but not when the box's own context menu closes (right-click and Paste must
// keep the pasted text).
class FocusEvents : public QObject {
 public:
  FocusEvents(Window& window, std::size_t index, QObject* parent) : QObject(parent), window_(window), index_(index) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
      window_.Raise(index_, Window::Event::Focus);
    return QObject::eventFilter(watched, event);
  }

 private:
  Window& window_;
  std::size_t index_;
};

void ConnectEvents(Window& window, std::size_t index, const ControlDef& c, QWidget* w) {
  using E = Window::Event;
  switch (c.kind) {
    case ControlKind::Button:
      QObject::connect(static_cast<QPushButton*>(w), &QPushButton::clicked, w,
                       [&window, index] { window.Raise(index, E::Clicked); });
      break;
    case ControlKind::CheckBox:
      // clicked comes after the box has toggled.
      QObject::connect(static_cast<QCheckBox*>(w), &QCheckBox::clicked, w,
                       [&window, index] { window.Raise(index, E::Clicked); });
      break;
    case ControlKind::EditBox:
      // textChanged comes once for every change, the program's own setText
      // too, and not at all when the text stays the same.
      QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::textChanged, w,
                       [&window, index] { window.Raise(index, E::Changed); });
      w->installEventFilter(new FocusEvents(window, index, w));
      break;
    case ControlKind::DropDown:
      QObject::connect(static_cast<QComboBox*>(w), &QComboBox::currentIndexChanged, w,
                       [&window, index] { window.Raise(index, E::Selected); });
      break;
    default:
      break;
  }
}

template <class T>
T* As(const Window& window, std::size_t index) {
  const auto& controls = window.impl().controls;
  return index < controls.size() ? static_cast<T*>(controls[index]) : nullptr;
}

}  // namespace

namespace qt {

WindowWidget::WindowWidget(Window& window, const WindowDef& def) : window_(window) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | (def.minimizeBox ? Qt::WindowMinimizeButtonHint : Qt::Widget));
  setWindowTitle(FromGbk(def.caption));
  setFixedSize(ClientWidth(def), ClientHeight(def));
  if (def.programIcon) setWindowIcon(qt::ProgramIcon());
  CloseOnEscape(this);
}

void WindowWidget::SetBackground(QPixmap picture) {
  background_ = std::move(picture);
  update();
}

void WindowWidget::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  Window::Impl& impl = window_.impl();
  const bool wasOpen = impl.open;
  impl.open = false;
  if (impl.modalLoop) impl.modalLoop->quit();
  if (wasOpen) window_.Raise(Window::kWindowItself, Window::Event::Closed);
}

void WindowWidget::paintEvent(QPaintEvent* event) {
  if (!background_.isNull()) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
  }
  QWidget::paintEvent(event);
}

QWidget* TopLevel(const Window& window) { return window.impl().widget; }
QWidget* Control(const Window& window, std::size_t index) { return As<QWidget>(window, index); }
QLabel* Widget(const Window& w, LabelId id) { return As<QLabel>(w, id.index); }
QPushButton* Widget(const Window& w, ButtonId id) { return As<QPushButton>(w, id.index); }
QLineEdit* Widget(const Window& w, EditBoxId id) { return As<QLineEdit>(w, id.index); }
QCheckBox* Widget(const Window& w, CheckBoxId id) { return As<QCheckBox>(w, id.index); }
QComboBox* Widget(const Window& w, DropDownId id) { return As<QComboBox>(w, id.index); }
QGroupBox* Widget(const Window& w, GroupBoxId id) { return As<QGroupBox>(w, id.index); }
ReportList* Widget(const Window& w, ReportListId id) { return As<ReportList>(w, id.index); }
QProgressBar* Widget(const Window& w, ProgressBarId id) { return As<QProgressBar>(w, id.index); }
ResultListModel* Model(const Window& w, ReportListId id) {
  const auto& models = w.impl().models;
  return id.index < models.size() ? models[id.index] : nullptr;
}

Window* WindowOf(QWidget* widget) {
  auto* top = qobject_cast<WindowWidget*>(widget);
  return top ? &top->window() : nullptr;
}

}  // namespace qt

Window::Window(const WindowDef& def, std::unique_ptr<Impl> impl) : def_(def), impl_(std::move(impl)) {}

Window::~Window() { delete impl_->widget.data(); }

std::unique_ptr<Window> Window::Create(const WindowDef& def) {
  if (!TableIsConsistent(def)) return nullptr;
  std::unique_ptr<Window> window(new Window(def, std::make_unique<Impl>()));
  Impl& impl = *window->impl_;
  auto* top = new qt::WindowWidget(*window, def);
  impl.widget = top;
  impl.controls.reserve(def.controls.size());
  impl.models.assign(def.controls.size(), nullptr);
  for (std::size_t i = 0; i < def.controls.size(); ++i) {
    const ControlDef& c = def.controls[i];
    const std::optional<std::size_t> parent = ParentIndex(def, i);
    QWidget* w = CreateControl(c, parent ? impl.controls[*parent] : top);
    if (c.kind == ControlKind::ReportList) {
      auto* list = static_cast<ReportList*>(w);
      auto* model = new ResultListModel(list->ColumnHeaders(), list);
      list->setModel(model);
      impl.models[i] = model;
    }
    impl.controls.push_back(w);
    ConnectEvents(*window, i, c, w);
  }
  return window;
}

namespace {

void CentreOnScreen(QWidget* window, const WindowDef& def) {
  QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  window->move(area.x() + (area.width() - def.outerWidth) / 2, area.y() + (area.height() - def.outerHeight) / 2);
}

}  // namespace

void Window::Show() {
  QWidget* w = impl_->widget;
  CentreOnScreen(w, def_);
  impl_->open = true;
  w->show();
}

void Window::ShowModal(Window& owner) {
  QWidget* w = impl_->widget;
  if (!w->isVisible()) {
    // A dialog of its owner's for the window manager: kept above it.
    w->setWindowFlag(Qt::Dialog, true);
    w->setWindowModality(Qt::ApplicationModal);
    w->winId();
    if (QWindow* handle = w->windowHandle()) handle->setTransientParent(owner.impl_->widget->windowHandle());
  }
  CentreOnScreen(w, def_);
  impl_->open = true;
  w->show();
  QEventLoop loop;
  impl_->modalLoop = &loop;
  if (impl_->open) loop.exec(QEventLoop::DialogExec);
  impl_->modalLoop = nullptr;
}

void Window::Close() {
  QWidget* w = impl_->widget;
  if (w->isVisible()) {
    w->close();  // closeEvent raises the closed event
    return;
  }
  // Closed while hidden (the main window on the update path, before it was
  // ever shown).
  const bool wasOpen = impl_->open;
  impl_->open = false;
  if (wasOpen) Raise(kWindowItself, Event::Closed);
}

bool Window::IsOpen() const { return impl_->open; }

void Window::Activate() {
  QWidget* w = impl_->widget;
  if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  w->raise();
  // A modal window over this one keeps the keyboard: it comes up on top.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != w) {
    modal->raise();
    modal->activateWindow();
    return;
  }
  w->activateWindow();
}

void Window::SetTopmost(bool on) {
  QWidget* window = impl_->widget;
  Qt::WindowFlags flags = window->windowFlags();
  if (flags.testFlag(Qt::WindowStaysOnTopHint) == on) return;
  flags.setFlag(Qt::WindowStaysOnTopHint, on);
  if (QWindow* handle = window->windowHandle()) {
    // Changing the flags through the widget would re-create and hide the
    // native window; the native window takes the new flags in place.
    window->overrideWindowFlags(flags);
    handle->setFlags(flags);
  } else {
    window->setWindowFlags(flags);
  }
}

bool Window::IsTopmost() const {
  const QWidget* window = impl_->widget;
  if (const QWindow* handle = window->windowHandle()) return handle->flags().testFlag(Qt::WindowStaysOnTopHint);
  return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void Window::SetBackgroundPicture(std::span<const unsigned char> image) {
  QPixmap picture;
  picture.loadFromData(image.data(), static_cast<uint>(image.size()));
  impl_->widget->SetBackground(std::move(picture));
}

EditText Window::GetText(EditBoxId box) const {
  const QString text = qt::Widget(*this, box)->text();
  if (auto gbk = ToGbk(text)) return {std::move(*gbk), true};
  EditText out{{}, false};
  for (const char32_t cp : text.toUcs4()) {
    const auto gbk = ToGbk(QString::fromUcs4(&cp, 1));
    out.gbk += gbk ? *gbk : Text("?");
  }
  return out;
}

void Window::SetText(EditBoxId box, std::string_view gbk) { qt::Widget(*this, box)->setText(FromGbk(gbk)); }
void Window::SetText(LabelId label, std::string_view gbk) { qt::Widget(*this, label)->setText(DisplayText(gbk)); }
void Window::SetTextColour(LabelId label, std::uint32_t rgb) { ui::SetTextColour(qt::Widget(*this, label), rgb); }
void Window::SetFocus(EditBoxId box) { qt::Widget(*this, box)->setFocus(Qt::OtherFocusReason); }
bool Window::IsChecked(CheckBoxId box) const { return qt::Widget(*this, box)->isChecked(); }
void Window::SetEnabled(ButtonId button, bool on) { qt::Widget(*this, button)->setEnabled(on); }
bool Window::IsEnabled(ButtonId button) const { return qt::Widget(*this, button)->isEnabled(); }

Text Window::ShownText(DropDownId list) const {
  return ToGbk(qt::Widget(*this, list)->currentText()).value_or(Text());
}

void Window::ShowResults(ReportListId list, const KeywordLookup& lookup) {
  qt::Model(*this, list)->SetLookup(&lookup);
  qt::Widget(*this, list)->scrollToTop();
}

void Window::ClearRows(ReportListId list) {
  qt::Model(*this, list)->SetLookup(nullptr);
  qt::Widget(*this, list)->scrollToTop();
}

void Window::SetProgress(ProgressBarId id, int maximum, int position) {
  QProgressBar* bar = qt::Widget(*this, id);
  bar->setMaximum(maximum);
  bar->setValue(position);
}

}  // namespace kv::ui
