// One QApplication for a Qt test process (the platform is offscreen).
#pragma once

#include <QApplication>

namespace kv::skin::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "skin_test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace kv::skin::test
