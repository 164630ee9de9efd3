// Desktop opener, the user-interface thread, always-on-top.
#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <thread>

#include "desktop.hpp"
#include "topmost.hpp"
#include "ui/qt_app.hpp"
#include "ui_thread.hpp"

namespace {

TEST(Desktop, AddressesAndPathsReachTheOpenerAsUrls) {
  kv::test::App();
  std::vector<QUrl> opened;
  kv::ui::SetDesktopOpenerForTesting([&](const QUrl& url) {
    opened.push_back(url);
    return url.scheme() == QStringLiteral("http");
  });
  EXPECT_TRUE(kv::ui::OpenWithDesktop("http://127.0.0.1:18080/item.htm?id=520731946188"));
  EXPECT_FALSE(kv::ui::OpenWithDesktop("/opt/下载/KelvaroOstrin答题器.rar"));
  EXPECT_FALSE(kv::ui::OpenLocalFile("/tmp/a b.rar"));
  EXPECT_FALSE(kv::ui::OpenWithDesktop(""));
  kv::ui::SetDesktopOpenerForTesting({});
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].toString(), QStringLiteral("http://127.0.0.1:18080/item.htm?id=520731946188"));
  EXPECT_TRUE(opened[1].isLocalFile());
  EXPECT_EQ(opened[1].toLocalFile(), kv::test::Q(u"/opt/下载/KelvaroOstrin答题器.rar"));
  EXPECT_EQ(opened[2].toLocalFile(), QStringLiteral("/tmp/a b.rar"));
}

TEST(UiThread, WorkersHandTheirWorkToTheUiThread) {
  kv::test::App();
  QThread* ui = QThread::currentThread();
  EXPECT_TRUE(kv::ui::OnUiThread());

  bool direct = false;
  kv::ui::RunOnUiThreadBlocking([&] { direct = QThread::currentThread() == ui; });
  EXPECT_TRUE(direct) << "on the UI thread the blocking form runs at once";

  int order = 0, queuedAt = 0, blockingAt = 0;
  bool queuedOnUi = false, blockingOnUi = false, workerDone = false, workerSawResult = false;
  std::thread worker([&] {
    kv::ui::RunOnUiThread([&] {
      queuedOnUi = QThread::currentThread() == ui;
      queuedAt = ++order;
    });
    kv::ui::RunOnUiThreadBlocking([&] {
      blockingOnUi = QThread::currentThread() == ui;
      blockingAt = ++order;
    });
    workerSawResult = blockingAt != 0;  // the blocking call returned after the work ran
    workerDone = true;
  });
  while (!workerDone) QTest::qWait(5);
  worker.join();
  EXPECT_TRUE(queuedOnUi);
  EXPECT_TRUE(blockingOnUi);
  EXPECT_TRUE(workerSawResult);
  EXPECT_EQ(queuedAt, 1);
  EXPECT_EQ(blockingAt, 2);
}

TEST(Topmost, TogglesKeepingPositionAndVisibility) {
  kv::test::App();
  QWidget window;
  window.setFixedSize(200, 100);
  window.move(40, 30);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QPoint pos = window.pos();
  for (bool on : {true, false, true, false}) {
    kv::ui::SetTopmost(&window, on);
    EXPECT_EQ(kv::ui::IsTopmost(&window), on);
    EXPECT_EQ(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), on);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.pos(), pos);
  }
  QWidget hidden;  // a window that is not shown yet takes the flag too
  kv::ui::SetTopmost(&hidden, true);
  EXPECT_TRUE(kv::ui::IsTopmost(&hidden));
  EXPECT_FALSE(hidden.isVisible());
}

}  // namespace
