#include "core/profiles/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace vantrel::profiles {
namespace {

// A name no other writer in this or another process picks: the target's name, a random
// 64-bit value and a per-process counter.
std::filesystem::path TemporaryName(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  static const std::uint64_t salt = [] {
    std::random_device rd;
    return (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
  }();
  std::filesystem::path tmp = target;
  tmp += ".";
  tmp += std::to_string(salt) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
  return tmp;
}

// The file the write replaces: the path itself, or, when the path is a symbolic link, the
// regular file it leads to (the link stays a link). False with `error` or `why` set when
// the target must not be written: a directory, a device, a FIFO, or a link leading
// nowhere or to anything but a regular file.
struct Target {
  std::filesystem::path path;
  bool exists = false;
  std::filesystem::perms permissions = std::filesystem::perms::none;
};

bool ResolveTarget(const std::filesystem::path& path, Target& target, int& error, std::string& why) {
  std::error_code ec;
  const std::filesystem::file_status own = std::filesystem::symlink_status(path, ec);
  target.path = path;
  if (std::filesystem::is_symlink(own)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    const std::filesystem::file_status st =
        ec ? std::filesystem::file_status{} : std::filesystem::status(resolved, ec);
    if (ec || !std::filesystem::is_regular_file(st)) {
      const std::string where = ec ? std::filesystem::read_symlink(path, ec).string() : resolved.string();
      why = "is a link to " + where + ", which is not a regular file";
      return false;
    }
    target.path = resolved;
    target.exists = true;
    target.permissions = st.permissions();
    return true;
  }
  if (!std::filesystem::exists(own)) return true;
  if (std::filesystem::is_directory(own)) {
    error = EISDIR;
    return false;
  }
  if (!std::filesystem::is_regular_file(own)) {
    why = "is not a regular file";
    return false;
  }
  target.exists = true;
  target.permissions = own.permissions();
  return true;
}

thread_local std::string lastProblem;

constexpr std::size_t kWriteBuffer = 64 * 1024;

}  // namespace

const std::string& LastWriteProblem() { return lastProblem; }

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::span<const std::uint8_t>> parts,
                         const WriteFaultHook& hook, std::string* why) {
  auto allowed = [&hook](WriteStep step) { return !hook || hook(step); };
  // The reason of the first failure; a step refused by the hook has no errno of its own.
  int error = 0;
  std::string problem;
  auto fail = [&error](int e) {
    if (error == 0) error = e != 0 ? e : EIO;
  };
  auto report = [&]() {
    lastProblem = problem.empty() ? std::generic_category().message(error) : problem;
    if (why) *why = lastProblem;
    return false;
  };
  lastProblem.clear();
  Target target;
  if (!ResolveTarget(path, target, error, problem)) return report();
  using std::filesystem::perms;
  constexpr auto kWriteBits = perms::owner_write | perms::group_write | perms::others_write;
  // A file nobody may write is not replaced (opening it for writing would fail too).
  if (target.exists && (target.permissions & kWriteBits) == perms::none) {
    fail(EACCES);
    return report();
  }
  const std::filesystem::path tmp = TemporaryName(target.path);
  std::error_code ec;

  // Many parts (a profile file gives one per macro record) are gathered into few large
  // writes; the stream's default buffer of one block would need two per part.
  std::vector<char> buffer(kWriteBuffer);
  errno = 0;
  std::FILE* f = allowed(WriteStep::kCreate) ? std::fopen(tmp.c_str(), "wb") : nullptr;
  if (f == nullptr) {
    fail(errno);
    return report();
  }
  std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
  bool ok = true;
  const bool hasContent = std::any_of(parts.begin(), parts.end(), [](const auto& p) { return !p.empty(); });
  if (hasContent && !allowed(WriteStep::kWrite)) {
    fail(0);
    ok = false;
  }
  for (const auto& part : parts) {
    if (!ok) break;
    if (part.empty()) continue;
    errno = 0;
    if (std::fwrite(part.data(), 1, part.size(), f) != part.size()) {
      fail(errno);
      ok = false;
    }
  }
  errno = 0;
  if (ok && (!allowed(WriteStep::kFlush) || std::fflush(f) != 0)) {
    fail(errno);
    ok = false;
  }
  // The file is closed in every case; a failed close counts as a failed write.
  const bool closeAllowed = allowed(WriteStep::kClose);
  errno = 0;
  if (std::fclose(f) != 0 || !closeAllowed) {
    if (ok) fail(errno);
    ok = false;
  }
  if (ok) {
    // A replaced file keeps its permission bits (never set-id bits). A new file gets what
    // the umask leaves of 0666, without the group and others write bits: 0644 at most.
    if (target.exists) {
      std::filesystem::permissions(tmp, target.permissions & perms::all, ec);
    } else {
      std::filesystem::permissions(tmp, perms::group_write | perms::others_write, std::filesystem::perm_options::remove,
                                   ec);
    }
  }
  if (ok) {
    if (allowed(WriteStep::kRename)) {
      std::filesystem::rename(tmp, target.path, ec);
      if (!ec) return true;
      fail(ec.value());
    } else {
      fail(0);
    }
  }
  std::filesystem::remove(tmp, ec);
  return report();
}

}  // namespace vantrel::profiles
