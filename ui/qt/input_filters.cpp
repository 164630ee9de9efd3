#include "input_filters.hpp"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace kv::ui::qt {

namespace {

bool IsLevelCharacter(QChar c) { return (c >= u'0' && c <= u'9') || c == u'-'; }

class DigitFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      const QString text = key->text();
      const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
      if (!command && !text.isEmpty() && text.at(0).isPrint()) {
        for (QChar c : text)
          if (!IsLevelCharacter(c)) return true;
      }
    } else if (event->type() == QEvent::InputMethod) {
      // Text that an input method commits arrives as one event: its
      // characters are filtered the same way, one by one.
      auto* im = static_cast<QInputMethodEvent*>(event);
      const QString commit = im->commitString();
      QString kept;
      for (QChar c : commit)
        if (IsLevelCharacter(c)) kept.append(c);
      if (kept.size() != commit.size()) {
        QInputMethodEvent filtered(im->preeditString(), im->attributes());
        filtered.setCommitString(kept, im->replacementStart(), im->replacementLength());
        QCoreApplication::sendEvent(watched, &filtered);
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

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

}  // namespace

void FilterToDigits(QLineEdit* edit) { edit->installEventFilter(new DigitFilter(edit)); }

void CloseOnEscape(QWidget* window) { window->installEventFilter(new EscapeCloses(window)); }

}  // namespace kv::ui::qt
