#include "app/ctl/lighting_common.h"

#include <array>
#include <ostream>

#include "app/ctl/registry.h"
#include "platform/console.h"
#include "platform/user_paths.h"

namespace vantrel::ctl {

using namespace vantrel::lighting;

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
  state.texts = &ctx.Texts();
  if (LoadLighting(ctx.Commands(), state, profile, LoadOccasion::Other, WskbIniPath()) != kLoadOk) {
    ctx.Err() << "reading the lighting failed: the device state could not be read\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  return true;
}

}  // namespace vantrel::ctl
