// The per-user folder for files that live only while the user is logged in: sockets of
// the single-instance channel, the lock and generation files of a keyboard.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantrel::platform {

// $XDG_RUNTIME_DIR when it is what it should be (the user's own folder, closed to others
// and writable); otherwise a private folder "<home>/.cache/<name>-<uid>", created with
// mode 0700 and taken only when it is ours and closed; only when the home holds no such
// folder and none can be made there, "<temp>/<name>-<uid>" under the same rule. Empty with
// `error` set when none can be had. (Not on Unix: the temp folder.)
std::filesystem::path RuntimeFolder(std::string_view name, std::string* error = nullptr);

// Empty when `folder` is a folder (not a link) of this user with mode 0700; else why not,
// in words ("is a symbolic link", "has mode 0755, not 0700", ...).
std::string FolderNotPrivate(const std::filesystem::path& folder);

}  // namespace vantrel::platform
