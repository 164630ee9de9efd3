// One whole question submission (connect, login, send, quit) against the
// local aiosmtpd server, next to Python's smtplib sending the same message to
// the same server in the same run.
//
//   build/bench/mail/mail_bench
//
// Both report the median of 10 repetitions (the *_median rows). The
// repetitions of the two are interleaved at random, so that a change in the
// machine's load falls on both alike.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "mail_client.hpp"
#include "smtp_server_process.hpp"

namespace {

constexpr char kLogin[] = "135790";
constexpr char kPassword[] = "mintcloudsR7";
constexpr char kBox[] = "maintainer@kelvaro.localhost";
constexpr char kSubject[] = "添加的题目";
constexpr char kQuestion[] = "王者之剑的主人是谁？";

kv::test::SmtpServerProcess* g_server = nullptr;

void SubmitWithKv(benchmark::State& state) {
  kv::MailConnection conn;
  for (auto _ : state) {
    if (!kv::ConnectMailServer(conn, "127.0.0.1", g_server->port(), kLogin, kPassword)) {
      state.SkipWithError("connect failed");
      break;
    }
    if (!kv::SendMail(conn, kSubject, kQuestion, kBox, "", "", kBox).ok()) {
      state.SkipWithError("send failed");
      break;
    }
    kv::DisconnectMailServer(conn);
  }
}

// A Python process that sends the message once per line it reads and writes
// back how long that took.
class SmtplibSender {
 public:
  explicit SmtplibSender(const std::string& message_file) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    std::string port = std::to_string(g_server->port());
    std::vector<std::string> args = {"/usr/bin/python3", KELVARO_SMTPLIB_SCRIPT, "127.0.0.1", port, kLogin,
                                     kPassword, kBox, message_file};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_child[0], 0);
      dup2(from_child[1], 1);
      close(to_child[1]);
      close(from_child[0]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    in_ = fdopen(to_child[1], "w");
    out_ = fdopen(from_child[0], "r");
  }
  ~SmtplibSender() {
    if (in_) fclose(in_);  // end of input ends the loop
    if (out_) fclose(out_);
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  // Seconds one submission took, or a negative value when it failed.
  double SendOnce() {
    if (!in_ || !out_) return -1;
    std::fputs("go\n", in_);
    std::fflush(in_);
    double seconds = -1;
    if (std::fscanf(out_, "%lf", &seconds) != 1) return -1;
    return seconds;
  }

 private:
  pid_t pid_ = -1;
  FILE* in_ = nullptr;
  FILE* out_ = nullptr;
};

std::string g_message_file;

void SubmitWithSmtplib(benchmark::State& state) {
  SmtplibSender sender(g_message_file);
  for (auto _ : state) {
    const double seconds = sender.SendOnce();
    if (seconds < 0) {
      state.SkipWithError("smtplib submission failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
}

BENCHMARK(SubmitWithKv)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(SubmitWithSmtplib)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("BENCHMARK_ENABLE_RANDOM_INTERLEAVING", "true", 0);  // a default the command line can override
  benchmark::Initialize(&argc, argv);
  signal(SIGPIPE, SIG_IGN);  // a sender that died shows as a failed write, not a dead run
  kv::test::SmtpServerProcess server(KELVARO_SMTP_SERVER_SCRIPT, {}, 600);
  if (!server.ok()) {
    std::fprintf(stderr, "the SMTP server did not start:\n%s\n", server.Log().c_str());
    return 1;
  }
  g_server = &server;

  // The message exactly as the client writes it after DATA, for smtplib.
  kv::MailMessage m;
  m.sender = m.reply_to = {"", kBox};
  m.to = {{"", kBox}};
  m.subject = kSubject;
  m.body = kQuestion;
  g_message_file = (server.maildir().parent_path() / "message.txt").string();
  {
    std::FILE* f = std::fopen(g_message_file.c_str(), "wb");
    const std::string text = kv::BuildHeader(m) + kv::EncodeBase64(m.body, true);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
