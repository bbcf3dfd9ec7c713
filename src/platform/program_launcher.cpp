#include "platform/program_launcher.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include "platform/updater_file.h"

namespace vantrel::platform {

std::string DetachedLauncher::StartProblem(const std::filesystem::path& program) {
  return ProgramStartProblem(program);
}

bool DetachedLauncher::Launch(const std::filesystem::path& program) {
  return QProcess::startDetached(QString::fromStdString(program.string()), QStringList{});
}

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path(ec) : exe.parent_path();
}

}  // namespace vantrel::platform
