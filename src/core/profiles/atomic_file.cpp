#include "core/profiles/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

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

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::span<const std::uint8_t>> parts,
                         const WriteFaultHook& hook, std::string* why) {
  auto allowed = [&hook](WriteStep step) { return !hook || hook(step); };
  // The reason of the first failure; a step refused by the hook has no errno of its own.
  int error = 0;
  auto fail = [&error](int e) {
    if (error == 0) error = e != 0 ? e : EIO;
  };
  const std::filesystem::path tmp = TemporaryName(path);
  std::error_code ec;
  // A file nobody may write is not replaced (opening it for writing would fail too); an
  // existing file keeps its permissions.
  const std::filesystem::file_status old = std::filesystem::status(path, ec);
  const bool replacing = !ec && std::filesystem::exists(old);
  constexpr auto kWriteBits = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                              std::filesystem::perms::others_write;
  auto report = [&]() {
    if (why) *why = std::generic_category().message(error);
    return false;
  };
  if (replacing && (old.permissions() & kWriteBits) == std::filesystem::perms::none) {
    fail(EACCES);
    return report();
  }
  if (replacing && std::filesystem::is_directory(old)) {
    fail(EISDIR);
    return report();
  }

  errno = 0;
  std::FILE* f = allowed(WriteStep::kCreate) ? std::fopen(tmp.c_str(), "wb") : nullptr;
  if (f == nullptr) {
    fail(errno);
    return report();
  }
  bool ok = true;
  for (const auto& part : parts) {
    if (part.empty()) continue;
    errno = 0;
    if (!allowed(WriteStep::kWrite) || std::fwrite(part.data(), 1, part.size(), f) != part.size()) {
      fail(errno);
      ok = false;
      break;
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
  if (ok && replacing) std::filesystem::permissions(tmp, old.permissions(), ec);
  if (ok) {
    if (allowed(WriteStep::kRename)) {
      std::filesystem::rename(tmp, path, ec);
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
