#include "platform/updater_file.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "core/util/regular_file.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vantrel::platform {

#ifdef _WIN32
const char* UpdaterFilePattern() { return "*.exe"; }
const char* UpdaterDefaultSuffix() { return "exe"; }
const char* UpdaterInitialName() { return "*.exe"; }
#else
const char* UpdaterFilePattern() { return "*"; }
const char* UpdaterDefaultSuffix() { return ""; }
const char* UpdaterInitialName() { return ""; }
#endif

namespace {

// The kernel reads this much of a file to tell how to start it (the "#!" line included).
constexpr std::size_t kHeadBytes = 256;
// Interpreters of interpreters are followed this far, as the kernel does (it allows 4).
constexpr int kMaxInterpreterDepth = 4;

std::string ReadHead(const std::filesystem::path& path, std::string& out) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return "cannot be read: " + SystemReason(errno);
  std::array<char, kHeadBytes> buffer{};
  const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get());
  if (std::ferror(f.get())) return "cannot be read: " + SystemReason(errno);
  out.assign(buffer.data(), n);
  return {};
}

#ifndef _WIN32
// The ELF machine number of the processor this program was built for; 0 when unknown
// here (the machine is then not checked).
constexpr std::uint16_t HostElfMachine() {
#if defined(__x86_64__)
  return 62;
#elif defined(__i386__)
  return 3;
#elif defined(__aarch64__)
  return 183;
#elif defined(__arm__)
  return 40;
#elif defined(__riscv)
  return 243;
#elif defined(__powerpc64__)
  return 21;
#elif defined(__s390x__)
  return 22;
#elif defined(__loongarch64)
  return 258;
#else
  return 0;
#endif
}

// ELF identification: class at 4 (1: 32-bit, 2: 64-bit), byte order at 5 (1: little,
// 2: big), the u16 type at 16 and machine at 18 in that byte order.
std::string ElfProblem(std::string_view head) {
  if (head.size() < 20) return "is a cut-short ELF file";
  const auto byte = [&head](std::size_t i) { return static_cast<std::uint8_t>(head[i]); };
  const std::uint8_t wordClass = sizeof(void*) == 8 ? 2 : 1;
  const std::uint8_t order = std::endian::native == std::endian::little ? 1 : 2;
  const auto u16 = [&](std::size_t i) {
    return static_cast<std::uint16_t>(order == 1 ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1));
  };
  const std::uint16_t type = u16(16);
  const std::uint16_t machine = u16(18);
  if (byte(4) != wordClass || byte(5) != order || (HostElfMachine() != 0 && machine != HostElfMachine())) {
    return "is a program for another kind of machine";
  }
  if (type != 2 && type != 3) return "is an ELF file but not a program";
  return {};
}

std::string Problem(const std::filesystem::path& path, int depth) {
  if (std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
  if (::access(path.c_str(), X_OK) != 0) return "cannot be executed: " + SystemReason(errno);
  std::string head;
  if (std::string problem = ReadHead(path, head); !problem.empty()) return problem;
  if (head.starts_with("\x7F" "ELF")) return ElfProblem(head);
  if (!head.starts_with("#!")) return "is neither a program nor a script starting with #!";
  // "#!" [blanks] interpreter [blanks argument] end of line; as for the kernel, a
  // carriage return belongs to the name.
  const std::size_t end = head.find('\n');
  std::string_view line = std::string_view(head).substr(2, end == std::string::npos ? std::string::npos : end - 2);
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "is a script that names no interpreter";
  line.remove_prefix(first);
  const std::filesystem::path interpreter(std::string(line.substr(0, line.find_first_of(" \t"))));
  if (depth >= kMaxInterpreterDepth) return "is a script whose interpreters lead too deep";
  const std::string problem = Problem(interpreter, depth + 1);
  if (problem.empty()) return {};
  return "is a script whose interpreter " + interpreter.string() + " " + problem;
}
#endif

}  // namespace

std::string ProgramStartProblem(const std::filesystem::path& path) {
#ifdef _WIN32
  if (std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
  std::string head;
  if (std::string problem = ReadHead(path, head); !problem.empty()) return problem;
  if (!head.starts_with("MZ")) return "is not a Windows program";
  return {};
#else
  return Problem(path, 0);
#endif
}

bool IsStartableProgram(const std::filesystem::path& path) { return ProgramStartProblem(path).empty(); }

}  // namespace vantrel::platform
