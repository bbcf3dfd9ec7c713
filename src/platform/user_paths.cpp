#include "platform/user_paths.h"

#include <QStandardPaths>

#include <cstdlib>

#include "core/profiles/history_store.h"

namespace vantrel::platform {

std::filesystem::path LocalAppDataFolder() {
  return std::filesystem::path(
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString());
}

std::filesystem::path UserDataFolder() { return LocalAppDataFolder() / "PX204-1127"; }

std::filesystem::path DefaultSimStatePath() { return UserDataFolder() / "virtual-keyboard.json"; }

std::filesystem::path HistoryFolderPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  return profiles::HistoryFolder(state != nullptr ? state : "", home != nullptr ? home : "");
}

}  // namespace vantrel::platform
