// One QApplication for a GUI test program, created on first use.
#pragma once

#include <QApplication>
#include <ostream>

// Readable strings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kv::test {

// A display string from a UTF-16 literal.
inline QString Q(const char16_t* s) { return QString::fromUtf16(s); }

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
