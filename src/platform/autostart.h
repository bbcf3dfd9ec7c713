// Starting the program with the desktop session (XDG autostart): the entry
// <config folder>/autostart/vantrel.desktop starts the program with "/Start", so it comes
// up in the tray and does not open its window when the keyboard is found. Off by default:
// nothing is written until the user turns it on.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel::platform {

inline constexpr const char* kAutostartFileName = "vantrel.desktop";

class Autostart {
 public:
  // configFolder: the user's configuration folder ($XDG_CONFIG_HOME or ~/.config);
  // program: the file the entry starts.
  Autostart(std::filesystem::path configFolder, std::filesystem::path program);
  // The current user's folder and the installed program (AutostartProgram()).
  Autostart();

  // Whether the desktop session will start the program: the entry exists and is not
  // hidden or switched off in it.
  bool enabled() const;
  // Writes (atomically) or removes the entry. False when the file cannot be written or
  // removed, or when the program path cannot be written into an Exec line safely.
  bool setEnabled(bool on);

  std::filesystem::path entryPath() const;

 private:
  std::filesystem::path configFolder_;
  std::filesystem::path program_;
};

// $XDG_CONFIG_HOME when it is set and absolute (a relative value is ignored, as the XDG
// rules ask), else $HOME/.config.
std::filesystem::path UserConfigFolder();

// What the entry should start: <prefix>/bin/<name> when the running executable lies in
// <prefix>/lib/vantrel and that link leads to it (the path stays valid across package
// upgrades and reads well in session settings), else the executable itself.
std::filesystem::path AutostartProgram(const std::filesystem::path& executable);

// One argument of a desktop entry's Exec key: quoted when it holds a reserved character,
// with the quoting and string escapes the desktop entry format asks for. Empty when the
// argument cannot be written (a control character, or empty).
std::string DesktopExecArgument(const std::string& argument);

// The whole entry.
std::string AutostartEntry(const std::filesystem::path& program);

}  // namespace vantrel::platform
