#include "window_table.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QHash>
#include <QPainter>
#include <algorithm>

#include "gbk.hpp"
#include "report_list.hpp"

namespace kv::ui {

namespace {

// Rejects typed characters other than the digits and the minus sign. Keys that
// produce no text (Backspace, arrows, shortcuts) pass.
class DigitKeyFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      const QString text = key->text();
      const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
      if (!command && !text.isEmpty() && text.at(0).isPrint()) {
        for (QChar c : text) {
          if (!(c >= u'0' && c <= u'9') && c != u'-') return true;
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// Esc that no control took closes the window, as its close box does.
class EscapeCloses : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
      if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow()) {
        w->close();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// A label of several lines. The lines keep the pitch a classic 12-pixel
// dialog font has, so a label sized for that font holds all of its lines even
// where the display font (a CJK font with generous line spacing) is taller.
class LinesLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override {
    const QStringList lines = text().split(u'\n');
    if (lines.size() < 2) {
      QLabel::paintEvent(event);
      return;
    }
    const QFontMetrics metrics(font());
    const int em = QFontInfo(font()).pixelSize();
    const int pitch = std::max(em + 1, std::min(metrics.lineSpacing(), height() / static_cast<int>(lines.size())));
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.setFont(font());
    // Ideographs reach from about 0.88 em above the baseline to 0.12 em below
    // it; centre that box in each line.
    const int baseline = (pitch + em * 76 / 100) / 2;
    for (int i = 0; i < lines.size(); ++i) painter.drawText(QPoint(0, i * pitch + baseline), lines[i]);
  }
};

QString DisplayText(std::string_view gbk) {
  QString s = FromGbk(gbk);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QWidget* CreateControl(const ControlDef& c, QWidget* parent) {
  const QString caption = DisplayText(c.caption);
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::Label:
    case ControlKind::TransparentLabel: {
      auto* label = caption.contains(u'\n') ? new LinesLabel(parent) : new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setText(caption);
      if (caption.contains(u'\n')) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      if (c.kind == ControlKind::TransparentLabel) {
        label->setAutoFillBackground(false);
        label->setAttribute(Qt::WA_TranslucentBackground);
      }
      w = label;
      break;
    }
    case ControlKind::Button:
      w = new QPushButton(caption, parent);
      break;
    case ControlKind::EditBox: {
      auto* edit = new QLineEdit(parent);
      edit->setText(caption);
      if (c.maxLength > 0) edit->setMaxLength(c.maxLength);
      if (c.centred) edit->setAlignment(Qt::AlignCenter);
      if (c.digitsOnly) edit->installEventFilter(new DigitKeyFilter(edit));
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
      font.setFamilies({FromGbk(c.font.family), QStringLiteral("SimSun"),
                        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
    }
    if (c.font.pixelSize > 0) font.setPixelSize(c.font.pixelSize);
    if (c.font.weight > 0) font.setWeight(static_cast<QFont::Weight>(c.font.weight));
    w->setFont(font);
  }

  if (c.textColour) {
    const QColor colour = QColor::fromRgb(static_cast<QRgb>(0xFF000000u | *c.textColour));
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    w->setPalette(palette);
  }

  w->setVisible(c.visible);
  return w;
}

bool TableIsConsistent(const WindowDef& def) {
  QSet<QByteArray> names;
  QSet<QByteArray> groups;
  for (const ControlDef& c : def.controls) {
    const QByteArray name(c.formName.data(), static_cast<qsizetype>(c.formName.size()));
    if (name.isEmpty() || names.contains(name)) return false;
    if (!c.parent.empty() &&
        !groups.contains(QByteArray(c.parent.data(), static_cast<qsizetype>(c.parent.size()))))
      return false;
    names.insert(name);
    if (c.kind == ControlKind::GroupBox) groups.insert(name);
  }
  return true;
}

}  // namespace

QSize ClientSize(const WindowDef& def) {
  return QSize(def.outerWidth - kFrameWidth, def.outerHeight - kFrameHeight);
}

bool BuildWindow(const WindowDef& def, QWidget* window) {
  if (window == nullptr || !TableIsConsistent(def)) return false;

  Qt::WindowFlags flags = window->windowType() == Qt::Dialog ? Qt::Dialog : Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
  if (def.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  window->setWindowFlags(flags);
  window->setWindowTitle(FromGbk(def.caption));
  window->setFixedSize(ClientSize(def));

  window->installEventFilter(new EscapeCloses(window));

  QHash<QByteArray, QWidget*> groups;
  for (const ControlDef& c : def.controls) {
    QWidget* parent = window;
    if (!c.parent.empty())
      parent = groups.value(QByteArray(c.parent.data(), static_cast<qsizetype>(c.parent.size())));
    QWidget* w = CreateControl(c, parent);
    if (c.kind == ControlKind::GroupBox)
      groups.insert(QByteArray(c.formName.data(), static_cast<qsizetype>(c.formName.size())), w);
  }
  return true;
}

void CentreOnScreen(QWidget* window, const WindowDef& def) {
  QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  window->move(area.x() + (area.width() - def.outerWidth) / 2,
               area.y() + (area.height() - def.outerHeight) / 2);
}

QWidget* FindControl(QWidget* window, std::string_view gbkFormName) {
  if (window == nullptr) return nullptr;
  const QString name = FromGbk(gbkFormName);
  for (QWidget* w : window->findChildren<QWidget*>(name)) {
    if (w->window() == window) return w;
  }
  return nullptr;
}

QLabel* FindLabel(QWidget* window, std::string_view n) { return qobject_cast<QLabel*>(FindControl(window, n)); }
QPushButton* FindButton(QWidget* window, std::string_view n) {
  return qobject_cast<QPushButton*>(FindControl(window, n));
}
QLineEdit* FindEditBox(QWidget* window, std::string_view n) {
  return qobject_cast<QLineEdit*>(FindControl(window, n));
}
QCheckBox* FindCheckBox(QWidget* window, std::string_view n) {
  return qobject_cast<QCheckBox*>(FindControl(window, n));
}
QComboBox* FindDropDown(QWidget* window, std::string_view n) {
  return qobject_cast<QComboBox*>(FindControl(window, n));
}
QGroupBox* FindGroupBox(QWidget* window, std::string_view n) {
  return qobject_cast<QGroupBox*>(FindControl(window, n));
}
ReportList* FindReportList(QWidget* window, std::string_view n) {
  return qobject_cast<ReportList*>(FindControl(window, n));
}
QProgressBar* FindProgressBar(QWidget* window, std::string_view n) {
  return qobject_cast<QProgressBar*>(FindControl(window, n));
}

}  // namespace kv::ui
