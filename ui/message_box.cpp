#include "message_box.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <mutex>

#include "gbk.hpp"
#include "ui_thread.hpp"

namespace kv::ui {

namespace {

std::mutex hookMutex;
MessageHook hook;

MessageHook CurrentHook() {
  std::lock_guard lock(hookMutex);
  return hook;
}

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
                    mustAnswer ? (Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
                               : Qt::Dialog),
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

bool Show(MessageKind kind, std::string_view gbkText, std::string_view gbkCaption) {
  bool answer = false;
  MessageRequest request{kind, std::string(gbkText), std::string(gbkCaption)};
  RunOnUiThreadBlocking([&] {
    if (MessageHook h = CurrentHook()) {
      answer = h(request);
      return;
    }
    Box box(DisplayText(request.gbkText), FromGbk(request.gbkCaption), kind == MessageKind::YesNo);
    if (kind == MessageKind::YesNo) {
      QAbstractButton* yes = box.addButton(QMessageBox::Yes);
      box.addButton(QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.exec();
      answer = box.clickedButton() == yes;
    } else {
      box.addButton(QMessageBox::Ok);
      box.exec();
      answer = true;
    }
  });
  return answer;
}

}  // namespace

QMessageBox* CreateMessageBox(std::string_view gbkText, std::string_view gbkCaption) {
  auto* box = new Box(DisplayText(gbkText), FromGbk(gbkCaption), false);
  box->addButton(QMessageBox::Ok);
  return box;
}

void ShowMessage(std::string_view gbkText, std::string_view gbkCaption) {
  Show(MessageKind::Ok, gbkText, gbkCaption);
}

bool AskYesNo(std::string_view gbkText, std::string_view gbkCaption) {
  return Show(MessageKind::YesNo, gbkText, gbkCaption);
}

void SetMessageHookForTesting(MessageHook h) {
  std::lock_guard lock(hookMutex);
  hook = std::move(h);
}

}  // namespace kv::ui
