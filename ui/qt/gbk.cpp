#include "gbk.hpp"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kv::ui {

QString FromGbk(std::string_view bytes) {
  QStringDecoder decoder("GBK");
  return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::optional<std::string> ToGbk(const QString& text) {
  QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
  QByteArray out = encoder.encode(text);
  if (encoder.hasError()) return std::nullopt;
  return std::string(out.constData(), static_cast<std::size_t>(out.size()));
}

}  // namespace kv::ui
