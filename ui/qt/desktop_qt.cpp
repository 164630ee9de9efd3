// The desktop shell through QDesktopServices (xdg-open on Linux).
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "desktop.hpp"
#include "gbk.hpp"

namespace kv::ui::detail {

bool OpenAddressWithDesktop(std::string_view gbkUrl) {
  const QUrl url(FromGbk(gbkUrl), QUrl::TolerantMode);
  return url.isValid() && QDesktopServices::openUrl(url);
}

bool OpenFileWithDesktop(const std::filesystem::path& file) {
  const QUrl url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(file.native())));
  return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace kv::ui::detail
