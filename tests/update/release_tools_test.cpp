// The publishing tools as a maintainer runs them: make_release_key.sh,
// sign_release.sh and publish_version.sh, each a child process that is waited
// for, and what they write checked with the program's own signature check.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kelvaro_config.hpp"
#include "signature_check.hpp"
#include "test_files.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

struct ToolRun {
  int exitCode = -1;  // -1: killed after the time limit
  std::string out;
};

// Runs `args` with `env` added to the environment, for at most 60 s.
ToolRun RunTool(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  ToolRun run;
  const fs::path outFile = fs::temp_directory_path() / ("kv-tool-out-" + std::to_string(::getpid()));
  const pid_t pid = ::fork();
  if (pid < 0) return run;
  if (pid == 0) {
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    if (!std::freopen(outFile.c_str(), "w", stdout)) ::_exit(126);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      fs::remove(outFile);
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  run.out = ReadFile(outFile);
  fs::remove(outFile);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

const fs::path kTools = fs::path(KV_SOURCE_DIR) / "tools";

class ReleaseToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kv-release-tools-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Makes (or keeps) the key pair in `keys` and returns the public key it printed.
  std::string MakeKey(const fs::path& keys) {
    const ToolRun r = RunTool({(kTools / "make_release_key.sh").string(), keys.string()});
    EXPECT_EQ(r.exitCode, 0);
    return r.out;
  }

  fs::path dir_;
};

mode_t Mode(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

TEST_F(ReleaseToolsTest, KeyPairIsMadeOnceAndKeptPrivate) {
  const fs::path keys = dir_ / "keys";
  const std::string printed = MakeKey(keys);
  EXPECT_EQ(printed, ReadFile(keys / "release-key.pub.b64"));
  EXPECT_TRUE(ReadReleaseKey(printed)) << printed;
  EXPECT_EQ(Mode(keys), 0700u);
  EXPECT_EQ(Mode(keys / "release-key.pem"), 0600u);
  const std::string privateKey = ReadFile(keys / "release-key.pem");
  EXPECT_NE(privateKey.find("PRIVATE KEY"), std::string::npos);

  // Again: the same pair; a lost public half comes back from the private one.
  EXPECT_EQ(MakeKey(keys), printed);
  fs::remove(keys / "release-key.pub.b64");
  EXPECT_EQ(MakeKey(keys), printed);
  EXPECT_EQ(ReadFile(keys / "release-key.pem"), privateKey);
  // Nothing but the pair is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(keys), fs::directory_iterator()), 2);
}

TEST_F(ReleaseToolsTest, SignedArchiveVerifiesAndOnlyItself) {
  const fs::path keys = dir_ / "keys";
  const std::string key = MakeKey(keys);
  // The archive's name as the web server keeps it: GBK bytes.
  const fs::path archive = dir_ / "KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar";
  WriteFile(archive, test::RandomBytes(1 << 20, 1));
  const std::string sign = (kTools / "sign_release.sh").string();
  ASSERT_EQ(RunTool({sign, archive.string(), (keys / "release-key.pem").string()}).exitCode, 0);
  const fs::path sigFile = archive.string() + ".sig";
  const std::string sig = ReadFile(sigFile);
  EXPECT_GT(std::count(sig.begin(), sig.end(), '\n'), 1) << "base64 wraps its lines: " << sig;
  const SignatureCheck c = CheckFileSignature(archive, sig, key);
  EXPECT_TRUE(c.verified()) << c.reason;

  // Another archive under the old signature, or another key's signature.
  WriteFile(archive, test::RandomBytes(1 << 20, 2));
  EXPECT_EQ(CheckFileSignature(archive, sig, key).verdict, SignatureVerdict::kMismatch);
  const std::string otherKey = MakeKey(dir_ / "other");
  ASSERT_EQ(RunTool({sign, archive.string(), (dir_ / "other" / "release-key.pem").string()}).exitCode, 0);
  EXPECT_EQ(CheckFileSignature(archive, ReadFile(sigFile), key).verdict, SignatureVerdict::kMismatch);
  EXPECT_TRUE(CheckFileSignature(archive, ReadFile(sigFile), otherKey).verified());
}

TEST_F(ReleaseToolsTest, SigningRefusesWhatItCannotSignWell) {
  const fs::path archive = dir_ / "a.rar";
  WriteFile(archive, "archive");
  const fs::path rsa = dir_ / "rsa.pem";
  const fs::path p384 = dir_ / "p384.pem";
  ASSERT_EQ(RunTool({"openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out",
                     rsa.string()}).exitCode, 0);
  ASSERT_EQ(RunTool({"openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-384", "-out",
                     p384.string()}).exitCode, 0);
  const std::string sign = (kTools / "sign_release.sh").string();
  for (const fs::path& key : {rsa, p384, dir_ / "missing.pem"}) {
    EXPECT_NE(RunTool({sign, archive.string(), key.string()}).exitCode, 0) << key;
  }
  MakeKey(dir_ / "keys");
  EXPECT_NE(RunTool({sign, (dir_ / "missing.rar").string(), (dir_ / "keys" / "release-key.pem").string()}).exitCode, 0);
  // Nothing was written beside either archive.
  EXPECT_FALSE(fs::exists(dir_ / "a.rar.sig"));
  EXPECT_FALSE(fs::exists(dir_ / "missing.rar.sig"));
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_EQ(e.path().string().find(".sig"), std::string::npos) << e.path();
  }
}

TEST_F(ReleaseToolsTest, PublishedReleaseIsSignedWithTheLocalKey) {
  const fs::path servers = dir_ / "servers";
  const fs::path keys = dir_ / "keys";
  const std::vector<std::string> env = {"KELVARO_SERVERS_DIR=" + servers.string(),
                                        "KELVARO_RELEASE_KEY_DIR=" + keys.string()};
  const fs::path archive = servers / "site" / "KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar";
  const std::string publish = (kTools / "publish_version.sh").string();
  // The first publication makes the key pair.
  ASSERT_EQ(RunTool({publish, "v2.0"}, env).exitCode, 0);
  const std::string key = ReadFile(keys / "release-key.pub.b64");
  const std::string first = ReadFile(archive);
  SignatureCheck c = CheckFileSignature(archive, ReadFile(archive.string() + ".sig"), key);
  EXPECT_TRUE(c.verified()) << c.reason;

  // A later one, with an archive of the maintainer's, signs that one.
  const fs::path own = dir_ / "own.rar";
  WriteFile(own, "Rar! an archive of our own");
  ASSERT_EQ(RunTool({publish, "v2.1", own.string()}, env).exitCode, 0);
  EXPECT_EQ(ReadFile(archive), ReadFile(own));
  EXPECT_EQ(ReadFile(keys / "release-key.pub.b64"), key);
  c = CheckFileSignature(archive, ReadFile(archive.string() + ".sig"), key);
  EXPECT_TRUE(c.verified()) << c.reason;
  // Nothing half-made is left in the site.
  for (const auto& e : fs::directory_iterator(servers / "site")) {
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
  }
}

#ifdef KV_LOCAL_RELEASE_KEY_FILE
// A default build compiles in the public half of the local servers' pair.
TEST(LocalReleaseKey, IsTheKeyThisBuildChecksWith) {
  std::string key = ReadFile(KV_LOCAL_RELEASE_KEY_FILE);
  while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) key.pop_back();
  EXPECT_TRUE(config::kCheckReleaseSignature);
  EXPECT_EQ(key, config::kReleaseKey);
}
#endif

}  // namespace
}  // namespace kv
