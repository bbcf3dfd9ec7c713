#include "platform/runtime_folder.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

namespace vantrel::platform {

#ifdef Q_OS_UNIX

namespace {

std::string ErrnoText() { return std::strerror(errno); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// $XDG_RUNTIME_DIR is taken only when it is the user's own folder, closed to others and
// writable.
bool UsableRuntimeFolder(const char* path) {
  if (path == nullptr || path[0] != '/') return false;
  struct stat st {};
  if (::stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (st.st_uid != ::getuid() || (st.st_mode & 0777) != 0700) return false;
  return ::access(path, W_OK | X_OK) == 0;
}

}  // namespace

std::string FolderNotPrivate(const std::filesystem::path& folder) {
  struct stat st {};
  // lstat: a link is refused, not followed.
  if (::lstat(folder.c_str(), &st) != 0) return Lower(ErrnoText());
  if (S_ISLNK(st.st_mode)) return "is a symbolic link";
  if (!S_ISDIR(st.st_mode)) return "is not a folder";
  if (st.st_uid != ::getuid()) return "belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  if ((st.st_mode & 07777) != 0700) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("has mode ") + mode + ", not 0700";
  }
  return {};
}

namespace {

enum class Made { Private, Refused, Unavailable };

// A private folder made with mode 0700 (or found made), and taken only when it is ours and
// closed. Refused (with `error`) when it is there but not private; Unavailable when it
// cannot be made at all.
Made PrivateFolder(const std::filesystem::path& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) == 0) {
    ::chmod(folder.c_str(), 0700);  // whatever the umask took away
  } else if (errno != EEXIST) {
    if (error) *error = "cannot create the folder " + folder.string() + ": " + ErrnoText();
    return Made::Unavailable;
  }
  if (const std::string why = FolderNotPrivate(folder); !why.empty()) {
    if (error) *error = "the folder " + folder.string() + " " + why + "; remove it or set XDG_RUNTIME_DIR to a private folder";
    return Made::Refused;
  }
  return Made::Private;
}

}  // namespace

std::filesystem::path RuntimeFolder(std::string_view name, std::string* error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (UsableRuntimeFolder(runtime)) return runtime;
  // No usable runtime folder: a private folder of our own under the user's home, where no
  // other user can make the name first (in the shared temp folder anyone could, and a file
  // of that name would stop the start).
  const std::string own = std::string(name) + "-" + std::to_string(::getuid());
  const std::filesystem::path home = QDir::homePath().toStdString();
  if (home.is_absolute() && home != "/") {
    const std::filesystem::path cache = home / ".cache";
    if (::mkdir(cache.c_str(), 0700) == 0 || errno == EEXIST) {
      const std::filesystem::path folder = cache / own;
      switch (PrivateFolder(folder, error)) {
        case Made::Private: return folder;
        case Made::Refused: return {};
        case Made::Unavailable: break;
      }
    }
  }
  // No home to write in (a system user): the shared temp folder, where the name is taken
  // only when it is ours and closed.
  const std::filesystem::path folder = std::filesystem::path(QDir::tempPath().toStdString()) / own;
  return PrivateFolder(folder, error) == Made::Private ? folder : std::filesystem::path();
}

#else

std::string FolderNotPrivate(const std::filesystem::path&) { return {}; }

std::filesystem::path RuntimeFolder(std::string_view, std::string*) { return QDir::tempPath().toStdString(); }

#endif

}  // namespace vantrel::platform
