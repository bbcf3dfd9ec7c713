#include "core/util/regular_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace vantrel {

std::string RegularFileProblem(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(st)) return "does not exist";
  if (std::filesystem::is_directory(st)) return "is a directory";
  if (!std::filesystem::is_regular_file(st)) return "is not a regular file";
  return {};
}

std::string SystemReason(int error) { return std::generic_category().message(error); }

bool ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out, std::string& why) {
  why = RegularFileProblem(path);
  if (!why.empty()) return false;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    why = "cannot be read: " + ec.message();
    return false;
  }
  if (size > maxBytes) {
    why = "is larger than " + std::to_string(maxBytes) + " bytes (" + std::to_string(size) + " bytes)";
    return false;
  }
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    why = "cannot be opened: " + SystemReason(errno);
    return false;
  }
  out.clear();
  out.reserve(static_cast<std::size_t>(size));
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
    if (out.size() + n > maxBytes) {
      why = "is larger than " + std::to_string(maxBytes) + " bytes";
      out.clear();
      return false;
    }
    out.append(buffer, n);
  }
  if (std::ferror(f.get())) {
    why = "cannot be read: " + SystemReason(errno);
    out.clear();
    return false;
  }
  return true;
}

}  // namespace vantrel
