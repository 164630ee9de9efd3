#include <QApplication>
#include <QCursor>

#include "application.hpp"

namespace kv::ui {

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace kv::ui
