#include "platform/lock_keys.h"

#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A brightness file holds a decimal number; anything else counts as off.
bool Lit(const std::filesystem::path& led) {
  std::ifstream in(led / "brightness");
  long value = 0;
  return in >> value && value > 0;
}

}  // namespace

std::optional<LockKeys> ReadLockLeds(const std::filesystem::path& ledsFolder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(ledsFolder, ec);
  if (ec) return std::nullopt;
  LockKeys keys;
  bool any = false;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    bool* state = nullptr;
    if (EndsWith(name, "::capslock")) state = &keys.caps;
    else if (EndsWith(name, "::numlock")) state = &keys.num;
    else if (EndsWith(name, "::scrolllock")) state = &keys.scroll;
    if (!state) continue;
    any = true;
    if (Lit(it->path())) *state = true;
  }
  if (!any) return std::nullopt;
  return keys;
}

std::optional<LockKeys> ReadHostLockKeys() {
#ifdef _WIN32
  // Bit 0 of the key state is the toggle state of a lock key.
  return LockKeys{(GetKeyState(VK_CAPITAL) & 1) != 0, (GetKeyState(VK_NUMLOCK) & 1) != 0,
                  (GetKeyState(VK_SCROLL) & 1) != 0};
#elif defined(__linux__)
  return ReadLockLeds("/sys/class/leds");
#else
  return std::nullopt;
#endif
}

}  // namespace vantrel::platform
