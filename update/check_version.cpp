#include "check_version.hpp"

#include "exit_cleanup.hpp"
#include "message_box.hpp"
#include "version_check.hpp"

namespace kv {

namespace {
std::optional<UpdateSources> testSources;  // user-interface thread only
}  // namespace

void SetUpdateSourcesForTesting(std::optional<UpdateSources> sources) { testSources = std::move(sources); }

void CheckVersion(ui::Window& mainWindow) {
  CheckVersion(mainWindow, testSources ? *testSources : UpdateSources::Installed());
}

void CheckVersion(ui::Window& mainWindow, const UpdateSources& sources) {
  const std::vector<unsigned char> page = FetchUrl(sources.versionUrl);
  if (IsCurrentVersion(ByteBlock(page.data(), page.size()))) return;
  if (!ui::AskYesNo(kUpdatePromptText, kUpdatePromptCaption)) EndProgram(0);
  OpenUpdateWindow(sources);
  mainWindow.Close();
}

}  // namespace kv
