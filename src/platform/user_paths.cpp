#include "platform/user_paths.h"

#include <QStandardPaths>

namespace vantrel::platform {

std::filesystem::path LocalAppDataFolder() {
  return std::filesystem::path(
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString());
}

std::filesystem::path UserDataFolder() { return LocalAppDataFolder() / "PX204-1127"; }

std::filesystem::path DefaultSimStatePath() { return UserDataFolder() / "virtual-keyboard.json"; }

}  // namespace vantrel::platform
