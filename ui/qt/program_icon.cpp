#include <QIcon>
#include <QPixmap>

#include "byte_block.hpp"
#include "program_icon.hpp"

extern const unsigned char kIcon128[];
extern const std::size_t kIcon128Size;
extern const unsigned char kIcon64[];
extern const std::size_t kIcon64Size;
extern const unsigned char kIcon48[];
extern const std::size_t kIcon48Size;
extern const unsigned char kIcon32[];
extern const std::size_t kIcon32Size;
extern const unsigned char kIcon16[];
extern const std::size_t kIcon16Size;

namespace kv::ui::qt {

QIcon ProgramIcon() {
  const ByteBlock blocks[] = {{kIcon128, kIcon128Size}, {kIcon64, kIcon64Size}, {kIcon48, kIcon48Size},
                              {kIcon32, kIcon32Size},   {kIcon16, kIcon16Size}};
  QIcon icon;
  for (ByteBlock block : blocks) {
    const auto png = BlockPayload(block);
    if (!png) continue;
    QPixmap pixmap;
    if (pixmap.loadFromData(png->data(), static_cast<uint>(png->size()), "PNG")) icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace kv::ui::qt
