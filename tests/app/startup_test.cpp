#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <thread>

#include "check_version.hpp"
#include "exit_cleanup.hpp"
#include "http_peer.hpp"
#include "qt/qt_window.hpp"
#include "question_bank.hpp"
#include "startup.hpp"
#include "ui/qt_app.hpp"

namespace {

TEST(StartupDeathTest, LoadsTheBankShowsTheWindowCentredAndReleasesTheBankAtExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        kv::test::App();
        if (!kv::QuestionBank.empty()) std::_Exit(10);  // empty until the created handler
        // The version page publishes this version: the check lets start-up go on.
        kv::test::HttpPeer page([](const kv::test::HttpRequest&, kv::test::PeerConnection& c) {
          c.Send(kv::test::Answer(200, "最新版本:v1.9!!!!!!"));
        });
        kv::SetUpdateSourcesForTesting(kv::UpdateSources{page.Url("/version.htm"), "", "", ""});
        const std::unique_ptr<kv::MainWindow> main = kv::StartProgram();
        QWidget* window = main ? kv::ui::qt::TopLevel(main->window()) : nullptr;
        if (window == nullptr || !window->isVisible()) std::_Exit(11);
        kv::TextArray expected;
        kv::Text text;
        kv::LoadQuestionBank(kv::EmbeddedBankBlock(), text, expected);
        if (expected.empty() || kv::QuestionBank != expected) std::_Exit(12);
        const QRect screen = window->screen()->geometry();
        if (window->pos() != QPoint((screen.width() - 510) / 2, (screen.height() - 310) / 2)) std::_Exit(13);
        kv::RegisterExitCleanup([] {
          std::fprintf(stderr, "after: %zu %zu\n", kv::QuestionBank.size(), kv::BankText.size());
        });
        main->window().Close();  // the last window: the program ends through the clean-up
        kv::EndProgram(0);
      },
      testing::ExitedWithCode(0), "after: 0 0");
}

TEST(StartupDeathTest, CleanUpCopesWithABankThatWasNeverLoaded) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        kv::InstallExitCleanup();
        kv::RegisterExitCleanup([] { kv::ReleaseQuestionBank(); });
        kv::RegisterExitCleanup([] { std::fputs("released\n", stderr); });
        std::exit(0);  // a plain exit runs the clean-up too
      },
      testing::ExitedWithCode(0), "released");
}

#ifdef KELVARO_ANSWERER_PATH
// The program itself: it comes up, and a termination request ends it through
// the message loop with exit code 0.
TEST(Program, StartsAndEndsCleanlyOnRequest) {
  kv::test::App();
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(KELVARO_ANSWERER_PATH, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  EXPECT_FALSE(program.waitForFinished(1500)) << "the program ended on its own";
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}
#endif

// A termination signal ends the program within a second even while the
// version page is still arriving, and the exit clean-up runs.
TEST(Program, TerminationSignalEndsAFetchThatNeverFinishes) {
  kv::test::App();
  // One byte every 200 ms, for longer than the test waits.
  kv::test::HttpPeer page(
      [](const kv::test::HttpRequest&, kv::test::PeerConnection& c) {
        c.Send("HTTP/1.0 200 OK\r\n\r\n");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(12);
        while (std::chrono::steady_clock::now() < end && c.SendOnce("x") == 1)
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
      },
      std::chrono::seconds(60), true);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const std::size_t before = page.Requests().size();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(KV_STARTUP_DRIVER, {QString::fromStdString(page.Url("/version.htm"))});
    ASSERT_TRUE(program.waitForStarted(10000));
    for (int i = 0; i < 500 && page.Requests().size() == before; ++i) QTest::qWait(20);
    ASSERT_GT(page.Requests().size(), before);
    QTest::qWait(300);  // well into the fetch
    ::kill(static_cast<pid_t>(program.processId()), sig);
    QElapsedTimer took;
    took.start();
    const bool ended = program.waitForFinished(1000);
    if (!ended) {
      program.kill();
      program.waitForFinished(5000);
    }
    EXPECT_TRUE(ended) << "still running a second after the signal";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().contains("clean-up ran"));
  }
}

}  // namespace
