#include "app/ctl/lighting_common.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "app/ctl/registry.h"
#include "platform/console.h"
#include "platform/user_paths.h"
#include "scripting/keyboard_tasks.h"

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

lighting::KeyColourEditor ColourEditor(Context& ctx) {
  lighting::KeyColourEditor editor(platform::UserDataFolder(), DefaultColourFile());
  editor.SetKeyboardId(scripting::KeyboardId(ctx.Options().simulate, ctx.SimStatePath()));
  return editor;
}

std::filesystem::path WskbIniPath() { return platform::UserDataFolder() / "wskb.ini"; }

CtlLighting::CtlLighting(Context& ctx) : editor(ColourEditor(ctx)), session(editor, WskbIniPath(), &ctx.Texts()) {
  session.SetRecorder(ctx.Recorder());
}

bool LoadProfileLighting(Context& ctx, LightingSession& session, int profile) {
  if (session.Load(ctx.Commands(), profile, LoadOccasion::Other, false).result != kLoadOk) {
    ctx.Err() << "reading the lighting failed: the device state could not be read\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  return true;
}

namespace {

// A number of a bus answer; an unsigned 32-bit value read back as the signed byte value it
// was made from (a record byte above 4 gives a negative speed position).
std::optional<int> NumberOf(const platform::BusScalar& v) {
  const auto* n = std::get_if<long long>(&v);
  if (!n) return std::nullopt;
  return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(*n)));
}

const std::string* TextOf(const platform::BusScalar& v) { return std::get_if<std::string>(&v); }

// "red".."blue", or the byte itself as the program writes a byte no choice has.
int ChoiceByte(const std::string& name) {
  if (const auto choice = scripting::ChoiceValue(name)) return *choice;
  int value = 0;
  std::from_chars(name.data(), name.data() + name.size(), value);
  return value;
}

// The direction byte of a word: the effect's word pair, or "0x00"/"0xff" for effects
// without direction pictures.
int DirectionByte(EffectCode effect, const std::string& word) {
  if (const auto value = DirectionValue(effect, word)) return *value;
  return word == "0x00" ? 0 : 255;
}

}  // namespace

std::optional<int> ResolveProfile(Context& ctx, platform::ProgramBus& program, int given) {
  if (given >= 0) return given;
  const auto answer = program.Property("ActiveProfile");
  if (!ctx.ProgramAnswered(answer)) return std::nullopt;
  const auto* active = answer.values.empty() ? nullptr : std::get_if<long long>(&answer.values[0]);
  // Unknown while no keyboard is there: the lighting call then says so.
  return active && *active >= 0 && *active <= 2 ? static_cast<int>(*active) : 0;
}

bool LoadProfileLighting(Context& ctx, platform::ProgramBus& program, LightingState& state, int profile) {
  state.texts = &ctx.Texts();
  const auto answer = program.Call("GetLighting", {static_cast<long long>(profile)});
  if (!ctx.ProgramAnswered(answer)) return false;
  const auto* fields = answer.values.empty() ? nullptr : std::get_if<platform::BusDict>(&answer.values[0]);
  if (!fields) {
    ctx.Err() << "reading the lighting failed: the running program gave no lighting\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  std::string direction;
  for (const auto& [key, value] : *fields) {
    const auto number = NumberOf(value);
    const auto* text = TextOf(value);
    if (key == "effect" && number) state.effect = *number;
    if (key == "brightness" && number) state.brightness = *number;
    if (key == "speed" && number) {
      state.speedPosition = *number;
      state.speed = 4 - *number;
    }
    if (key == "direction" && text) direction = *text;
    if (key == "colour" && text) state.colour = ParseHexColour(*text).value_or(0);
    if (key == "multicolour") {
      if (const auto* on = std::get_if<bool>(&value)) state.multicolour = *on;
    }
    if (key == "choice" && text) state.colourChoice = ChoiceByte(*text);
    if (key == "report_rate" && number) {
      state.reportRate = scripting::ReportRateButton(static_cast<unsigned>(*number)).value_or(0);
    }
  }
  state.direction = DirectionByte(state.effect, direction);
  // The effects the keyboard offers: the program's property (a list of numbers).
  const auto effects = program.Property("Effects");
  if (!ctx.ProgramAnswered(effects)) return false;
  state.supportedEffects = {};
  if (const auto* codes = effects.values.empty() ? nullptr : std::get_if<std::vector<std::string>>(&effects.values[0])) {
    std::size_t at = 0;
    for (const auto& code : *codes) {
      if (at < state.supportedEffects.size()) state.supportedEffects[at++] = static_cast<std::uint8_t>(std::stoi(code));
    }
  }
  return true;
}

}  // namespace vantrel::ctl
