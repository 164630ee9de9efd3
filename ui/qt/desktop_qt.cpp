// The desktop shell through QDesktopServices (xdg-open on Linux).
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

#include "desktop.hpp"
#include "gbk.hpp"

namespace kv::ui {

namespace {
std::filesystem::path FsPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
}  // namespace

std::filesystem::path ProgramFolder() { return FsPath(QCoreApplication::applicationDirPath()); }

std::filesystem::path DownloadsFolder() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  return FsPath(dir.isEmpty() ? QDir::homePath() + QStringLiteral("/Downloads") : dir);
}

namespace detail {

bool OpenAddressWithDesktop(std::string_view gbkUrl) {
  const QUrl url(FromGbk(gbkUrl), QUrl::TolerantMode);
  return url.isValid() && QDesktopServices::openUrl(url);
}

bool OpenFileWithDesktop(const std::filesystem::path& file) {
  const QUrl url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(file.native())));
  return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace detail
}  // namespace kv::ui
