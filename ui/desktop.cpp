#include "desktop.hpp"

#include <QDesktopServices>
#include <QFile>
#include <mutex>

#include "gbk.hpp"

namespace kv::ui {

namespace {

std::mutex openerMutex;
std::function<bool(const QUrl&)> opener;

bool Open(const QUrl& url) {
  std::function<bool(const QUrl&)> o;
  {
    std::lock_guard lock(openerMutex);
    o = opener;
  }
  if (!url.isValid()) return false;
  if (o) return o(url);
  return QDesktopServices::openUrl(url);
}

}  // namespace

bool OpenWithDesktop(std::string_view gbkUrlOrPath) {
  const QString text = FromGbk(gbkUrlOrPath);
  if (text.isEmpty()) return false;
  if (text.startsWith(u'/')) return Open(QUrl::fromLocalFile(text));
  return Open(QUrl(text, QUrl::TolerantMode));
}

bool OpenLocalFile(const std::string& fsPath) {
  if (fsPath.empty()) return false;
  return Open(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(fsPath))));
}

void SetDesktopOpenerForTesting(std::function<bool(const QUrl&)> o) {
  std::lock_guard lock(openerMutex);
  opener = std::move(o);
}

}  // namespace kv::ui
