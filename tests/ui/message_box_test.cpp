#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <thread>

#include "exit_cleanup.hpp"
#include "fatal.hpp"
#include "qt/gbk.hpp"
#include "message_box.hpp"
#include "ui/qt_app.hpp"

namespace {

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  return nullptr;
}

// Runs `inspect` on the box once it is shown; it must dismiss the box.
void WhenShown(std::function<void(QMessageBox*)> inspect) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
    if (QMessageBox* box = OpenBox()) {
      timer->stop();
      timer->deleteLater();
      inspect(box);
    }
  });
  timer->start();
}

TEST(MessageBox, OkBoxHasDefaultCaptionNoIconOneButtonAndCopiesItsText) {
  kv::test::App();
  bool seen = false;
  WhenShown([&](QMessageBox* box) {
    seen = true;
    EXPECT_EQ(box->windowTitle(), kv::test::Q(u"信息："));
    EXPECT_EQ(box->text(), kv::test::Q(u"第一行\n第二行"));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box->parentWidget(), nullptr);
    QApplication::clipboard()->clear();
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), kv::test::Q(u"第一行\n第二行"));
    QTest::keyClick(box, Qt::Key_Escape);  // Esc dismisses an OK box
  });
  kv::ui::ShowMessage("第一行\r\n第二行");
  EXPECT_TRUE(seen);
}

TEST(MessageBox, YesNoBoxWaitsForAnAnswerAndReportsIt) {
  kv::test::App();
  for (bool yes : {true, false}) {
    WhenShown([yes](QMessageBox* box) {
      EXPECT_EQ(box->windowTitle(), kv::test::Q(u"提示"));
      EXPECT_EQ(box->buttons().size(), 2);
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_FALSE(box->windowFlags() & Qt::WindowCloseButtonHint);
      QTest::keyClick(box, Qt::Key_Escape);
      EXPECT_FALSE(box->close());
      QApplication::processEvents();
      ASSERT_TRUE(box->isVisible()) << "Esc or the close box ended the prompt";
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    EXPECT_EQ(kv::ui::AskYesNo("要更新吗？", "提示"), yes);
  }
}

TEST(MessageBox, WorkerThreadWaitsWhileTheBoxRunsOnTheUiThread) {
  kv::test::App();
  std::vector<kv::ui::MessageRequest> seen;
  QThread* uiThread = QThread::currentThread();
  bool onUiThread = true;
  kv::ui::SetMessageHookForTesting([&](const kv::ui::MessageRequest& r) {
    onUiThread = onUiThread && QThread::currentThread() == uiThread;
    seen.push_back(r);
    return r.kind == kv::ui::MessageKind::YesNo;
  });
  bool answer = false;
  bool done = false;
  std::thread worker([&] {
    kv::ui::ShowMessage("下载完成!");
    answer = kv::ui::AskYesNo("问", "题");
    done = true;
  });
  while (!done) QTest::qWait(5);
  worker.join();
  kv::ui::SetMessageHookForTesting({});
  EXPECT_TRUE(onUiThread);
  EXPECT_TRUE(answer);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].gbkText, "下载完成!");
  EXPECT_EQ(seen[0].gbkCaption, "信息：");
  EXPECT_EQ(seen[1].kind, kv::ui::MessageKind::YesNo);
}

// A worker's report leaves the windows usable: the box is not modal, OK runs
// its follow-up on the user-interface thread, and a box the program closes
// runs nothing.
TEST(MessageBox, ModelessBoxRunsItsFollowUpOnlyAfterOk) {
  kv::test::App();
  int followUps = 0;
  kv::ui::ShowMessageModeless("下载完成!", "信息：", [&] { ++followUps; });
  QMessageBox* box = nullptr;
  for (int i = 0; i < 100 && !(box = OpenBox()); ++i) QTest::qWait(10);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  EXPECT_EQ(box->text(), kv::test::Q(u"下载完成!"));
  box->button(QMessageBox::Ok)->click();
  QTest::qWait(20);
  EXPECT_EQ(followUps, 1);

  kv::ui::ShowMessageModeless("读文件出错!", "信息：", [&] { ++followUps; });
  for (int i = 0; i < 100 && !OpenBox(); ++i) QTest::qWait(10);
  ASSERT_TRUE(OpenBox());
  kv::ui::CloseModelessMessages();
  QTest::qWait(20);
  EXPECT_EQ(OpenBox(), nullptr);
  EXPECT_EQ(followUps, 1);
}

TEST(FatalErrorDeathTest, ShowsTheRuntimeErrorTextAndExitsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EQ(kv::ui::FatalText("载入启动窗口失败"),
            "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n"
            "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba"
            "\xd4\xd8\xc8\xeb\xc6\xf4\xb6\xaf\xb4\xb0\xbf\xda\xca\xa7\xb0\xdc");
  EXPECT_EXIT(
      {
        kv::test::App();
        kv::RegisterExitCleanup([] { std::fputs("clean-up ran\n", stderr); });
        kv::ui::SetMessageHookForTesting([](const kv::ui::MessageRequest& r) {
          std::fprintf(stderr, "box:%s\n", r.gbkCaption == "信息：" ? "caption ok" : "bad caption");
          return true;
        });
        kv::ui::FatalError("载入启动窗口失败");
      },
      testing::ExitedWithCode(255), "box:caption ok\nclean-up ran");
}

TEST(ExitCleanupDeathTest, EndProgramRunsEachStepOnceInOrder) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        kv::InstallExitCleanup();
        kv::RegisterExitCleanup([] { std::fputs("first\n", stderr); });
        kv::RegisterExitCleanup({});  // an empty step is skipped
        kv::RegisterExitCleanup([] { std::fputs("second\n", stderr); });
        kv::RunExitCleanup();
        kv::EndProgram(3);  // the steps do not run again
      },
      testing::ExitedWithCode(3), "^first\nsecond\n$");
}

}  // namespace
