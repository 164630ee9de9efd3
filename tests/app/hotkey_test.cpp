// The hot key on a real X server with a window manager (with_openbox.sh runs
// this): pressed over another program it brings the main window up with an
// empty keyword box, NumLock or not; taken by another program, the program
// runs without it. The other programs are xmessage and this binary started
// with --hold, which holds the combination until its stdin closes.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProcess>
#include <QSocketNotifier>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "application.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "qt/qt_window.hpp"
#include "qt/result_list_model.hpp"
#include "question_bank.hpp"
#include "ui/qt_app.hpp"

namespace {

using kv::test::Q;
using kv::ui::MainForm;
namespace qt = kv::ui::qt;

const char* g_self = nullptr;
constexpr int kWait = 10000;  // ms for the X server and the window manager

// Runs a tool to its end; its exit code.
int RunTool(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  if (!p.waitForFinished(kWait)) {
    p.kill();
    p.waitForFinished();
    return -1;
  }
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int PressHotKey() { return RunTool("xdotool", {"key", "--clearmodifiers", "ctrl+alt+q"}); }

// Another program holding the combination for as long as it runs.
class Holder {
 public:
  Holder() {
    process_.start(QString::fromLocal8Bit(g_self), {"--hold"});
    if (process_.waitForStarted(kWait)) {
      (void)QTest::qWaitFor([&] { return process_.canReadLine() || process_.state() != QProcess::Running; }, kWait);
      answer_ = QString::fromLatin1(process_.readLine()).trimmed();
    }
  }
  ~Holder() {
    process_.closeWriteChannel();  // it ends at the end of its input
    if (!process_.waitForFinished(kWait)) process_.kill();
    process_.waitForFinished();
  }
  // "held" or "taken".
  const QString& Answer() const { return answer_; }
  // How many presses it has counted, once it has counted at least `least`.
  int WaitForPresses(int least) {
    (void)QTest::qWaitFor(
        [&] {
          while (process_.canReadLine()) presses_ = QString::fromLatin1(process_.readLine()).section(' ', 1).toInt();
          return presses_ >= least;
        },
        kWait);
    return presses_;
  }

 private:
  QProcess process_;
  QString answer_;
  int presses_ = 0;
};

class HotKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    kv::test::App();
    kv::QuestionBank = {"苹果是什么颜色？|红色", "香蕉是什么颜色？|黄色"};
    main = kv::MainWindow::Create();
    ASSERT_TRUE(main);
    main->window().Show();
    window = qt::TopLevel(main->window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window, kWait));
    box = qt::Widget(main->window(), MainForm::keywordBox);
    model = qt::Model(main->window(), MainForm::resultList);
  }
  void TearDown() override {
    if (other.state() != QProcess::NotRunning) {
      other.kill();
      other.waitForFinished();
    }
    main.reset();
    kv::QuestionBank.clear();
  }
  void TypeKeyword() {
    box->setFocus(Qt::OtherFocusReason);
    kv::test::TypeText(box, Q(u"颜色"));
  }
  // Another program's window takes the keyboard: the main window keeps its keyword.
  void ActivateOtherProgram() {
    if (other.state() == QProcess::NotRunning) {
      other.start("xmessage", {"-title", "kelvaro-hotkey-test-game", "-geometry", "300x100+0+0", "game"});
      ASSERT_TRUE(other.waitForStarted(kWait));
    }
    ASSERT_EQ(RunTool("xdotool", {"search", "--sync", "--name", "kelvaro-hotkey-test-game", "windowactivate", "--sync"}), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isActiveWindow(); }, kWait));
    ASSERT_EQ(box->text(), Q(u"颜色"));
  }
  bool BroughtUp() {
    return QTest::qWaitFor(
        [&] {
          return window->isActiveWindow() && QApplication::focusWidget() == box && box->text().isEmpty() &&
                 model->rowCount() == 0;
        },
        kWait);
  }

  std::unique_ptr<kv::MainWindow> main;
  QWidget* window = nullptr;
  QLineEdit* box = nullptr;
  kv::ui::ResultListModel* model = nullptr;
  QProcess other;
};

TEST_F(HotKeyTest, BringsTheMainWindowUpOverAnotherProgramWithAnEmptyKeywordBox) {
  ASSERT_TRUE(main->RegisterBringUpHotKey());
  for (const bool numLock : {false, true}) {
    TypeKeyword();
    ASSERT_EQ(model->rowCount(), 2);
    ActivateOtherProgram();
    if (numLock) {
      ASSERT_EQ(RunTool("xdotool", {"key", "Num_Lock"}), 0);  // the grab must not mind the lock
    }
    ASSERT_EQ(PressHotKey(), 0);
    EXPECT_TRUE(BroughtUp()) << "NumLock " << numLock << ": active " << window->isActiveWindow() << ", box \""
                             << box->text().toStdString() << "\"";
    if (numLock) {
      ASSERT_EQ(RunTool("xdotool", {"key", "Num_Lock"}), 0);
    }
  }
  // A minimised window comes back.
  TypeKeyword();
  window->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isActiveWindow(); }, kWait));
  ASSERT_EQ(PressHotKey(), 0);
  EXPECT_TRUE(BroughtUp());
  EXPECT_FALSE(window->isMinimized());

  // While the program holds it, nobody else gets it; once it lets go, they do.
  {
    Holder holder;
    EXPECT_EQ(holder.Answer(), "taken");
  }
  main.reset();
  Holder holder;
  EXPECT_EQ(holder.Answer(), "held");
}

TEST_F(HotKeyTest, TakenByAnotherProgramTheProgramRunsWithoutIt) {
  Holder holder;
  ASSERT_EQ(holder.Answer(), "held");
  EXPECT_FALSE(main->RegisterBringUpHotKey());
  // The window works as before; the combination goes to its holder.
  TypeKeyword();
  EXPECT_EQ(model->rowCount(), 2);
  ActivateOtherProgram();
  ASSERT_EQ(PressHotKey(), 0);
  EXPECT_EQ(holder.WaitForPresses(1), 1);
  EXPECT_FALSE(window->isActiveWindow());
  EXPECT_EQ(box->text(), Q(u"颜色"));
  // Held down past the keyboard's repeat, it still counts once; the next
  // press counts again.
  ASSERT_EQ(RunTool("xdotool", {"keydown", "ctrl+alt+q", "sleep", "1.5", "keyup", "ctrl+alt+q"}), 0);
  ASSERT_EQ(PressHotKey(), 0);
  EXPECT_EQ(holder.WaitForPresses(3), 3);
}

// --hold: holds the combination, prints "held" (or "taken" and ends), then
// "pressed N" on the Nth press, until stdin ends.
int Hold(int argc, char** argv) {
  QApplication app(argc, argv);
  int presses = 0;
  const bool held = kv::ui::RegisterHotKey(kv::kBringUpHotKey, [&presses] {
    std::printf("pressed %d\n", ++presses);
    std::fflush(stdout);
  });
  std::puts(held ? "held" : "taken");
  std::fflush(stdout);
  if (!held) return 0;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [] {
    char buffer[64];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) QCoreApplication::quit();
  });
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  g_self = argv[0];
  if (argc > 1 && std::strcmp(argv[1], "--hold") == 0) return Hold(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
