// One QApplication for a GUI test program, created on first use.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <ostream>

// Readable strings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kv::test {

// A display string from a UTF-16 literal.
inline QString Q(const char16_t* s) { return QString::fromUtf16(s); }

// Types `text` into `widget` one character at a time, as a keyboard or input
// method would (QTest::keyClicks handles only Latin-1).
inline void TypeText(QWidget* widget, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString piece = text.mid(i, n);
    i += n - 1;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, piece);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, piece);
    QApplication::sendEvent(widget, &release);
  }
}

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "kelvaro-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    a->setQuitOnLastWindowClosed(false);
    return a;
  }();
  return *app;
}

}  // namespace kv::test
