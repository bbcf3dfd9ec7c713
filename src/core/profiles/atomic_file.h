// Writing a file so that readers only ever see the old or the new content: the bytes go
// to a temporary file in the same folder, which is flushed, closed and then renamed over
// the target. A failure at any step removes the temporary file and leaves the target as
// it was (or absent when it did not exist).
//
// Only regular files are replaced. A symbolic link to a regular file has that file
// replaced and stays a link; a link to anything else (a device, a FIFO, nothing), a
// directory, a device or a FIFO is refused. A replaced file keeps its permissions; a new
// one gets 0644 at most (less when the umask takes more).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

namespace vantrel::profiles {

enum class WriteStep { kCreate, kWrite, kFlush, kClose, kRename };

// Called before each step; returning false makes that step fail. Tests use it to fail a
// save at every step in turn.
using WriteFaultHook = std::function<bool(WriteStep)>;

// Writes the parts one after the other as the file's whole content. One kWrite step for
// the content (none when every part is empty). On failure `why`, when given, receives the system's reason ("No space
// left on device", "Permission denied").
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::span<const std::uint8_t>> parts,
                         const WriteFaultHook& hook = {}, std::string* why = nullptr);

// The reason the last WriteFileAtomically on this thread failed; empty after a success.
// For callers whose own callee does not hand the reason on.
const std::string& LastWriteProblem();

}  // namespace vantrel::profiles
