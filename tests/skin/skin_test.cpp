// The skin on Qt widgets: attached once, it reaches every window, open and
// later ones, and leaves the windows' own text colours alone; a skin that
// cannot be read changes nothing.
#include <gtest/gtest.h>

#include <cstring>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "qt/result_list_colours.hpp"
#include "qt_app.hpp"
#include "skin_host.hpp"
#include "skin_look.hpp"

namespace kv::skin::test {
namespace {

// Whether `image` holds a pixel within `tolerance` of `rgb` in every channel.
bool HasColour(const QImage& image, QRgb rgb, int tolerance = 24) {
  const QImage img = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (std::abs(qRed(p) - qRed(rgb)) <= tolerance && std::abs(qGreen(p) - qGreen(rgb)) <= tolerance &&
          std::abs(qBlue(p) - qBlue(rgb)) <= tolerance)
        return true;
    }
  return false;
}

std::vector<unsigned char> Skin(std::string_view text) {
  std::vector<unsigned char> b(5 + text.size());
  std::memcpy(b.data(), ".SHE", 5);  // with its NUL
  std::memcpy(b.data() + 5, text.data(), text.size());
  return b;
}

constexpr QRgb kPaper = 0xE9EEF5;   // the skin's window colour
constexpr QRgb kAccent = 0x2B5A8A;  // its accent (progress, selection)

TEST(Skin, AttachedOnceItReachesOpenAndLaterWindows) {
  App();
  QWidget before;
  auto* label = new QLabel(QStringLiteral(u"已经下载:"), &before);
  before.resize(200, 100);
  before.show();
  ASSERT_NE(before.palette().color(QPalette::Window).rgb() & 0xFFFFFF, kPaper);

  AttachSkin();
  EXPECT_FALSE(App().styleSheet().isEmpty());
  // The default font has the size the windows' fixed layouts are made for.
  EXPECT_EQ(QApplication::font().pixelSize(), 12);
  EXPECT_EQ(before.font().pixelSize(), 12);
  EXPECT_EQ(label->font().pixelSize(), 12);
  EXPECT_EQ(before.palette().color(QPalette::Window).rgb() & 0xFFFFFF, kPaper);

  QWidget after;
  auto* layout = new QVBoxLayout(&after);
  auto* bar = new QProgressBar;
  bar->setRange(0, 100);
  bar->setValue(100);
  bar->setTextVisible(false);
  layout->addWidget(bar);
  layout->addWidget(new QPushButton(QStringLiteral(u"确定")));
  after.resize(200, 80);
  after.show();
  EXPECT_EQ(after.palette().color(QPalette::Window).rgb() & 0xFFFFFF, kPaper);
  const QImage shot = after.grab().toImage();
  EXPECT_TRUE(HasColour(shot, kAccent, 4)) << "the progress chunk is drawn by the skin";
  EXPECT_TRUE(HasColour(shot, kPaper, 2));

  QMessageBox box(QMessageBox::NoIcon, QStringLiteral(u"信息："), QStringLiteral(u"下载完成!"), QMessageBox::Ok);
  EXPECT_EQ(box.palette().color(QPalette::Window).rgb() & 0xFFFFFF, kPaper);

  // Exactly once: a second call does not put it back.
  App().setStyleSheet(QString());
  AttachSkin();
  EXPECT_TRUE(App().styleSheet().isEmpty());
  // Under its sheet the skin draws with the style it names.
  EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
  // The default build carries no engine image.
  LoadSkinEngine();
  EXPECT_EQ(Engine(), nullptr);
  EXPECT_FALSE(EngineAttached());
}

TEST(Skin, KeepsTheWindowsOwnTextColours) {
  App();
  ASSERT_TRUE(ui::ApplySkinLook(BuiltInSkin()));
  // The result list takes its colours from the skin's names.
  EXPECT_EQ(ui::qt::HitColour().rgb() & 0xFFFFFF, kAccent);
  EXPECT_EQ(ui::qt::CloseMatchColour().rgb() & 0xFFFFFF, 0x955000u);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  QFont big;
  big.setPixelSize(28);
  big.setBold(true);
  auto coloured = [&](QWidget* w, QRgb rgb) {
    QPalette p = w->palette();  // as the window tables colour their controls
    const QColor c = QColor::fromRgb(0xFF000000u | rgb);
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
    w->setFont(big);
    layout->addWidget(w);
  };
  coloured(new QLabel(QStringLiteral(u"红色标签 IIII")), 0xFF0000);
  coloured(new QLabel(QStringLiteral(u"蓝色标签 IIII")), 0x0000FF);
  coloured(new QLineEdit(QStringLiteral(u"1234 IIII")), 0xFF5080);
  window.resize(320, 160);
  window.show();
  const QImage shot = window.grab().toImage();
  EXPECT_TRUE(HasColour(shot, 0xFF0000, 8));
  EXPECT_TRUE(HasColour(shot, 0x0000FF, 8));
  EXPECT_TRUE(HasColour(shot, 0xFF5080, 8));
}

TEST(Skin, ASkinThatCannotBeReadChangesNothing) {
  App();
  App().setStyleSheet(QStringLiteral("QWidget { background: #123456; }"));
  const QStyle* style = QApplication::style();
  const QPalette palette = QApplication::palette();
  const QFont font = QApplication::font();
  const std::vector<std::vector<unsigned char>> bad = {
      {},
      {'M', 'Z', 0, 0},
      Skin("kelvaro-skin 9\n"),
      Skin("kelvaro-skin 1\n[colours]\na = #000000\n[palette]\nNoSuchRole = a\n"),
      Skin("kelvaro-skin 1\n[style]\nfont-size = 30\nbase = NoSuchStyle\n"),
      Skin("kelvaro-skin 1\n[style sheet]\nQLabel { background: @nothing; }"),
  };
  for (const auto& bytes : bad) {
    EXPECT_FALSE(ui::ApplySkinLook(bytes));
    EXPECT_EQ(QApplication::style(), style);
    EXPECT_EQ(QApplication::palette(), palette);
    EXPECT_EQ(QApplication::font(), font);
    EXPECT_EQ(App().styleSheet(), QStringLiteral("QWidget { background: #123456; }"));
  }
}

TEST(Skin, TheBuiltInSkinIsEmbeddedWhole) {
  std::ifstream in(KELVARO_SKIN_FILE, std::ios::binary);
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto embedded = BuiltInSkin();
  ASSERT_EQ(embedded.size(), file.size());
  EXPECT_TRUE(std::equal(embedded.begin(), embedded.end(), file.begin()));
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(embedded.data()), 5), std::string_view(".SHE\0", 5));
}

}  // namespace
}  // namespace kv::skin::test
