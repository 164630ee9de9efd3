// Message boxes as QMessageBox.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWindow>
#include <vector>

#include "gbk.hpp"
#include "message_box.hpp"

namespace kv::ui {

namespace {

QString DisplayText(std::string_view gbk) {
  QString s = FromGbk(gbk);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

// QMessageBox copies its text with Ctrl+C only on Windows, and lets Esc pick
// the No button; these boxes copy everywhere, and a Yes/No box insists on an
// answer.
class Box : public QMessageBox {
 public:
  Box(const QString& text, const QString& caption, bool mustAnswer)
      : QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, nullptr,
                    mustAnswer ? (Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) : Qt::Dialog),
        mustAnswer_(mustAnswer) {
    setTextFormat(Qt::PlainText);
    setWindowModality(Qt::ApplicationModal);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Copy)) {
      QApplication::clipboard()->setText(text());
      event->accept();
      return;
    }
    if (mustAnswer_ && event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }

  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    // QMessageBox gives a box with an escape button (here No) a close box.
    if (mustAnswer_ && windowFlags().testFlag(Qt::WindowCloseButtonHint)) {
      Qt::WindowFlags flags = windowFlags();
      flags.setFlag(Qt::WindowCloseButtonHint, false);
      flags.setFlag(Qt::WindowSystemMenuHint, false);
      flags |= Qt::CustomizeWindowHint;
      overrideWindowFlags(flags);
      if (QWindow* handle = windowHandle()) handle->setFlags(flags);
    }
  }

  void closeEvent(QCloseEvent* event) override {
    if (mustAnswer_ && clickedButton() == nullptr) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }

 private:
  bool mustAnswer_;
};

std::vector<QPointer<QMessageBox>> modelessBoxes;  // user-interface thread only

}  // namespace

namespace detail {

bool ShowBox(MessageKind kind, const std::string& gbkText, const std::string& gbkCaption) {
  Box box(DisplayText(gbkText), FromGbk(gbkCaption), kind == MessageKind::YesNo);
  if (kind == MessageKind::YesNo) {
    QAbstractButton* yes = box.addButton(QMessageBox::Yes);
    box.addButton(QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.exec();
    return box.clickedButton() == yes;
  }
  box.addButton(QMessageBox::Ok);
  box.exec();
  return true;
}

void ShowModelessBox(const std::string& gbkText, const std::string& gbkCaption, std::function<void()> afterOk) {
  auto* box = new Box(DisplayText(gbkText), FromGbk(gbkCaption), false);
  box->addButton(QMessageBox::Ok);
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Closing the boxes from the program (CloseModelessBoxes) sets this first,
  // so that only the user's OK runs afterOk.
  box->setProperty("kvClosedByProgram", false);
  QObject::connect(box, &QMessageBox::finished, box, [box, afterOk = std::move(afterOk)] {
    if (!box->property("kvClosedByProgram").toBool() && afterOk) afterOk();
  });
  modelessBoxes.emplace_back(box);
  box->show();
}

void CloseModelessBoxes() {
  std::vector<QPointer<QMessageBox>> boxes;
  boxes.swap(modelessBoxes);
  for (const QPointer<QMessageBox>& box : boxes) {
    if (!box) continue;
    box->setProperty("kvClosedByProgram", true);
    box->close();
  }
}

}  // namespace detail
}  // namespace kv::ui
