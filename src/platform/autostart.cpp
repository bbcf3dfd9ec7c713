#include "platform/autostart.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <span>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/profiles/atomic_file.h"
#include "core/util/regular_file.h"
#include "platform/executable_path.h"

namespace vantrel::platform {
namespace {

constexpr std::string_view kStartSwitch = "/Start";
// Far more than any desktop entry holds.
constexpr std::size_t kMaxEntryBytes = 64 * 1024;

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return std::string(s.substr(first, last - first + 1));
}

// Whether the file is a desktop entry (it has the [Desktop Entry] group) that none of the
// keys that switch an autostart entry off switches off.
bool EntrySwitchedOn(std::istream& in) {
  std::string line;
  bool inEntryGroup = false;
  bool sawEntryGroup = false;
  bool on = true;
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (t.empty() || t.front() == '#') continue;
    if (t.front() == '[') {
      inEntryGroup = t == "[Desktop Entry]";
      sawEntryGroup = sawEntryGroup || inEntryGroup;
      continue;
    }
    if (!inEntryGroup) continue;
    const auto eq = t.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(std::string_view(t).substr(0, eq));
    const std::string value = Trim(std::string_view(t).substr(eq + 1));
    if (key == "Hidden" && value == "true") on = false;
    if (key == "X-GNOME-Autostart-enabled" && value == "false") on = false;
  }
  return sawEntryGroup && on;
}

}  // namespace

Autostart::Autostart(std::filesystem::path configFolder, std::filesystem::path program)
    : configFolder_(std::move(configFolder)), program_(std::move(program)) {}

Autostart::Autostart() : Autostart(UserConfigFolder(), AutostartProgram(ExecutableFilePath())) {}

std::filesystem::path Autostart::entryPath() const { return configFolder_ / "autostart" / kAutostartFileName; }

bool Autostart::enabled() const {
  // Read only when it is a regular file of a sensible size: a FIFO in its place used to
  // block the program at start, and every later start behind it.
  std::string text, why;
  if (!ReadRegularFile(entryPath(), kMaxEntryBytes, text, why)) return false;
  std::istringstream in(text);
  return EntrySwitchedOn(in);
}

bool Autostart::setEnabled(bool on) {
  std::error_code ec;
  const auto path = entryPath();
  if (!on) {
    std::filesystem::remove(path, ec);
    return !ec;
  }
  if (configFolder_.empty() || program_.empty()) return false;
  const std::string entry = AutostartEntry(program_);
  if (entry.empty()) return false;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) return false;
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(entry.data()), entry.size());
  const std::span<const std::uint8_t> parts[] = {bytes};
  return profiles::WriteFileAtomically(path, parts);
}

std::filesystem::path UserConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    const std::filesystem::path p(xdg);
    if (p.is_absolute()) return p;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::filesystem::path(home) / ".config";
  }
  return {};
}

std::filesystem::path AutostartProgram(const std::filesystem::path& executable) {
  const auto folder = executable.parent_path();
  if (folder.filename() == "vantrel" && folder.parent_path().filename() == "lib") {
    const auto link = folder.parent_path().parent_path() / "bin" / executable.filename();
    std::error_code ec;
    if (std::filesystem::equivalent(link, executable, ec) && !ec) return link;
  }
  return executable;
}

std::string DesktopExecArgument(const std::string& argument) {
  if (argument.empty()) return {};
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = false;
  for (const char c : argument) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return {};  // would break the line or the entry
    if (kReserved.find(c) != std::string_view::npos) quote = true;
  }
  // Quoting first: inside double quotes ", `, $ and \ take a backslash; % is always doubled
  // because it starts a field code.
  std::string quoted;
  if (quote) quoted += '"';
  for (const char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  if (quote) quoted += '"';
  // Then the string escape of every desktop entry value, which readers undo first.
  std::string out;
  for (const char c : quoted) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string AutostartEntry(const std::filesystem::path& program) {
  const std::string exec = DesktopExecArgument(program.string());
  if (exec.empty()) return {};
  std::string e;
  e += "[Desktop Entry]\n";
  e += "Type=Application\n";
  e += "Name=Vantrel\n";
  e += "Comment=Keyboard configuration, started into the tray\n";
  e += "Exec=" + exec + " " + std::string(kStartSwitch) + "\n";
  e += "Icon=vantrel\n";
  e += "Terminal=false\n";
  e += "X-GNOME-Autostart-enabled=true\n";
  return e;
}

}  // namespace vantrel::platform
