#include "app/ctl/lighting_common.h"

#include <array>
#include <ostream>

#include "app/ctl/registry.h"
#include "platform/console.h"
#include "platform/user_paths.h"

namespace vantrel::ctl {

using namespace vantrel::lighting;

std::string EffectLabel(const text::TextSource* texts, EffectCode code) {
  const auto name = EffectName(texts, code);
  if (name.empty() || name == "#Error") return std::to_string(code);
  return std::to_string(code) + " (" + name + ")";
}

std::optional<int> ResolveProfile(Context& ctx, int given) {
  if (given >= 0) return given;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  const auto result = ctx.Commands().CmdReadDeviceState(state);
  if (result != device::kDeviceOk) {
    ctx.DeviceFailure("reading the active profile", result);
    return std::nullopt;
  }
  const int active = state[device::kStateActiveProfile];
  return active <= 2 ? active : 0;
}

std::filesystem::path DefaultColourFile() {
  return platform::ExecutableFolder() / "Skins" / "UserDengColor_3.userd";
}

std::filesystem::path WskbIniPath() { return platform::UserDataFolder() / "wskb.ini"; }

bool LoadProfileLighting(Context& ctx, LightingState& state, int profile) {
  if (LoadLighting(ctx.Commands(), state, profile, LoadOccasion::Other, WskbIniPath()) != kLoadOk) {
    ctx.Err() << "reading the lighting failed: the device state could not be read\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  return true;
}

namespace {
struct Words {
  const char* forward;   // byte 0xFF
  const char* backward;  // byte 0x00
};
std::optional<Words> WordsOf(EffectCode code) {
  switch (ParamsOf(code).direction) {
    case DirectionPictures::LeftRight:
      return Words{"left", "right"};
    case DirectionPictures::UpDown:
      return Words{"up", "down"};
    case DirectionPictures::SpreadConverge:
      return Words{"out", "in"};
    default:
      return std::nullopt;
  }
}
}  // namespace

std::string DirectionWord(EffectCode code, int direction) {
  const auto w = WordsOf(code);
  if (!w) return direction != 0 ? "0xff" : "0x00";
  return direction != 0 ? w->forward : w->backward;
}

std::optional<int> DirectionValue(EffectCode code, std::string_view word) {
  const auto w = WordsOf(code);
  if (!w) return std::nullopt;
  if (word == w->forward) return 255;
  if (word == w->backward) return 0;
  return std::nullopt;
}

std::string DirectionWords(EffectCode code) {
  const auto w = WordsOf(code);
  return w ? std::string(w->forward) + " or " + w->backward : std::string();
}

std::string EffectListText(const EffectList& list) {
  std::string s;
  for (auto c : list) {
    if (c == 0) continue;
    if (!s.empty()) s += ' ';
    s += std::to_string(c);
  }
  return s.empty() ? "none" : s;
}

}  // namespace vantrel::ctl
