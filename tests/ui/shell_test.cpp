// Desktop opener and the user-interface thread.
#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <thread>

#include "desktop.hpp"
#include "ui/qt_app.hpp"
#include "ui_thread.hpp"

namespace {

TEST(Desktop, AddressesAndFilesReachTheOpener) {
  kv::test::App();
  std::vector<kv::ui::DesktopRequest> opened;
  kv::ui::SetDesktopOpenerForTesting([&](const kv::ui::DesktopRequest& r) {
    opened.push_back(r);
    return !r.address.empty();
  });
  EXPECT_TRUE(kv::ui::OpenAddress("http://127.0.0.1:18080/item.htm?id=520731946188"));
  EXPECT_FALSE(kv::ui::OpenFile("/tmp/a b.rar"));
  EXPECT_FALSE(kv::ui::OpenAddress(""));  // nothing to open: the desktop is not asked
  EXPECT_FALSE(kv::ui::OpenFile({}));
  kv::ui::SetDesktopOpenerForTesting({});
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].address, "http://127.0.0.1:18080/item.htm?id=520731946188");
  EXPECT_TRUE(opened[0].file.empty());
  EXPECT_EQ(opened[1].file, std::filesystem::path("/tmp/a b.rar"));
  EXPECT_TRUE(opened[1].address.empty());
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

}  // namespace
