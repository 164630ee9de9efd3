#include "check_version.hpp"

#include "exit_cleanup.hpp"
#include "message_box.hpp"
#include "version_check.hpp"

namespace kv {

namespace {
std::optional<UpdateSources> testSources;  // user-interface thread only
}  // namespace

void SetUpdateSourcesForTesting(std::optional<UpdateSources> sources) { testSources = std::move(sources); }

void CheckVersion(ui::Window& mainWindow, const std::atomic<bool>* ending) {
  CheckVersion(mainWindow, testSources ? *testSources : UpdateSources::Installed(), ending);
}

void CheckVersion(ui::Window& mainWindow, const UpdateSources& sources, const std::atomic<bool>* ending) {
  // A failed fetch says nothing of its own: its page lacks the record, so the
  // prompt follows.
  const FetchResult fetch = FetchUrl(sources.versionUrl, VersionFetchLimits(ending));
  if (fetch.result.cancelled()) return;
  if (IsCurrentVersion(ByteBlock(fetch.body.data(), fetch.body.size()))) return;
  if (!ui::AskYesNo(kUpdatePromptText, kUpdatePromptCaption)) EndProgram(0);
  OpenUpdateWindow(sources);
  mainWindow.Close();
}

}  // namespace kv
