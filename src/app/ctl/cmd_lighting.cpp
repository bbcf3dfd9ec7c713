// lighting: show a profile's lighting; lighting set: change it, one write per option in
// the order given; lighting default: the default lighting record.
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "app/ctl/context.h"
#include "app/ctl/lighting_common.h"
#include "app/ctl/registry.h"
#include "core/lighting/colour.h"
#include "core/lighting/lighting.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::lighting;

void RunShow(Context& ctx, int profileOption, bool asJson) {
  if (!ctx.OpenWithKeyboard()) return;
  const auto profile = ResolveProfile(ctx, profileOption);
  if (!profile) return;
  LightingState s;
  if (!LoadProfileLighting(ctx, s, *profile)) return;
  const auto* texts = TextsOf(ctx);
  const auto params = ParamsOf(s.effect);
  if (asJson) {
    nlohmann::json j;
    j["profile"] = *profile;
    j["effect"] = s.effect;
    j["effect_name"] = EffectName(texts, s.effect);
    j["brightness"] = s.brightness;
    j["speed"] = s.speedPosition;
    j["speed_byte"] = s.speed;
    j["direction"] = DirectionWord(s.effect, s.direction);
    j["direction_byte"] = s.direction;
    j["colour"] = HexColour(s.colour);
    j["multicolour"] = s.multicolour;
    j["colour_choice"] = ChoiceName(s.colourChoice);
    j["report_rate"] = s.reportRate;
    std::vector<int> offered;
    for (auto c : s.supportedEffects) {
      if (c != 0) offered.push_back(c);
    }
    j["effects_offered"] = offered;
    j["uses"] = {{"brightness", params.brightness},
                 {"speed", params.speed},
                 {"direction", params.direction != DirectionPictures::None},
                 {"colour", params.colourGroup != ColourGroup::None},
                 {"colour_choice", params.colourChoice},
                 {"user_colours", params.userColours}};
    ctx.Out() << j.dump(2) << '\n';
    return;
  }
  auto& out = ctx.Out();
  out << "profile:         " << *profile << '\n'
      << "effect:          " << EffectLabel(texts, s.effect) << '\n'
      << "brightness:      " << s.brightness << '\n'
      << "speed:           " << s.speedPosition << " (record byte " << s.speed << ")\n"
      << "direction:       " << DirectionWord(s.effect, s.direction) << '\n'
      << "colour:          " << HexColour(s.colour) << '\n'
      << "multicolour:     " << (s.multicolour ? "on" : "off") << '\n'
      << "colour choice:   " << ChoiceName(s.colourChoice) << '\n'
      << "report rate:     " << s.reportRate << '\n'
      << "effects offered: " << EffectListText(s.supportedEffects) << '\n';
}

struct SetOptions {
  CLI::Option* effect = nullptr;
  CLI::Option* brightness = nullptr;
  CLI::Option* speed = nullptr;
  CLI::Option* direction = nullptr;
  CLI::Option* colour = nullptr;
  CLI::Option* multicolour = nullptr;
  CLI::Option* choice = nullptr;
  CLI::Option* reportRate = nullptr;
};

// A write the keyboard refused or read back differently: the differences (or the
// refusal) on stderr, exit code 1. False then.
bool Written(Context& ctx, const LightingState& s, WriteOutcome outcome) {
  if (outcome != WriteOutcome::Refused) return true;
  if (s.readBack.Failed()) {
    ctx.ReadBackFailure(s.readBack.differences);
  } else {
    ctx.Err() << "the keyboard did not take the lighting write\n";
    ctx.SetExitCode(kExitFailed);
  }
  return false;
}

bool Refuse(Context& ctx, const std::string& message) {
  ctx.Err() << "lighting set: " << message << "; nothing was sent\n";
  ctx.SetExitCode(kExitUsage);
  return false;
}

void RunSet(Context& ctx, CLI::App* sub, const SetOptions& o, int profileOption) {
  if (sub->parse_order().empty()) {
    ctx.Err() << "lighting set: give at least one change (see --help)\n";
    ctx.SetExitCode(kExitUsage);
    return;
  }
  if (!ctx.OpenWithKeyboard()) return;
  const auto profile = ResolveProfile(ctx, profileOption);
  if (!profile) return;
  LightingState s;
  if (!LoadProfileLighting(ctx, s, *profile)) return;

  // Every option is checked first, following the effect through the list, so that a
  // refused option sends nothing at all.
  std::map<const CLI::Option*, std::size_t> seen;
  std::vector<scripting::LightingChange> changes;
  using scripting::LightingField;
  auto Numbered = [](LightingField field, int number) {
    scripting::LightingChange c;
    c.field = field;
    c.number = number;
    return c;
  };
  for (const CLI::Option* opt : sub->parse_order()) {
    const std::string value = opt->results().at(seen[opt]++);
    scripting::LightingChange change;
    if (opt == o.effect) {
      change = Numbered(LightingField::Effect, std::stoi(value));
    } else if (opt == o.brightness) {
      change = Numbered(LightingField::Brightness, std::stoi(value));
    } else if (opt == o.speed) {
      change = Numbered(LightingField::Speed, std::stoi(value));
    } else if (opt == o.direction) {
      change.field = LightingField::Direction;
      change.word = value;
    } else if (opt == o.colour) {
      const auto rgb = ParseHexColour(value);
      if (!rgb) {
        Refuse(ctx, "--colour wants RRGGBB in hex, not \"" + value + "\"");
        return;
      }
      change.field = LightingField::Colour;
      change.colour = *rgb;
    } else if (opt == o.multicolour) {
      change.field = LightingField::Multicolour;
      change.on = value == "on";
    } else if (opt == o.choice) {
      change = Numbered(LightingField::Choice, scripting::ChoiceValue(value).value_or(-1));
    } else if (opt == o.reportRate) {
      change = Numbered(LightingField::ReportRate, std::stoi(value));
    } else {
      continue;
    }
    changes.push_back(std::move(change));
  }
  if (const auto refusal = scripting::CheckLightingChanges(s, changes, TextsOf(ctx))) {
    Refuse(ctx, refusal->reason);
    return;
  }
  // A change the keyboard did not take ends the list: the later ones were meant to follow it.
  for (const auto& change : changes) {
    const auto outcome = scripting::SendLightingChange(ctx.Commands(), s, *profile, change);
    if (outcome == WriteOutcome::NotSent) {
      if (change.field == LightingField::Effect) ctx.Out() << "effect 19: nothing is sent\n";
      if (change.field == LightingField::Brightness) ctx.Out() << "brightness is " << change.number << " already\n";
      if (change.field == LightingField::Speed) ctx.Out() << "speed is " << change.number << " already\n";
    }
    if (!Written(ctx, s, outcome)) return;
  }
}

void RunDefault(Context& ctx, int profileOption) {
  if (!ctx.OpenWithKeyboard()) return;
  const auto profile = ResolveProfile(ctx, profileOption);
  if (!profile) return;
  LightingState s;
  if (!LoadProfileLighting(ctx, s, *profile)) return;
  if (!Written(ctx, s, SendDefaultLighting(ctx.Commands(), s, *profile))) return;
  ctx.Out() << "profile " << *profile << ": default lighting written\n";
}

const CommandGroup kLightingCommands(30, [](CLI::App& app, Context& ctx) {
  auto* lighting = app.add_subcommand("lighting", "Show or change the lighting of an on-board profile");
  auto profile = std::make_shared<int>(-1);
  lighting->add_option("--profile", *profile, "On-board profile 0-2 (default: the active one)")
      ->check(CLI::Range(0, 2));
  auto* json = lighting->add_flag("--json")->description("Print a JSON object");
  lighting->callback([&ctx, lighting, profile, json] {
    if (lighting->get_subcommands().empty()) RunShow(ctx, *profile, json->count() > 0);
  });

  auto* set = lighting->add_subcommand("set", "Change lighting parameters; each option is one write, in order");
  set->add_option("--profile", *profile, "On-board profile 0-2 (default: the active one)")->check(CLI::Range(0, 2));
  auto o = std::make_shared<SetOptions>();
  o->effect = set->add_option("--effect", "Effect code (one the keyboard offers)")->check(CLI::Range(1, 255));
  o->brightness = set->add_option("--brightness", "Brightness 0-4")->check(CLI::Range(0, 4));
  o->speed = set->add_option("--speed", "Speed slider position 0-4 (4 = right end)")->check(CLI::Range(0, 4));
  o->direction = set->add_option("--direction", "left|right (effects 1-3), up|down (12), out|in (18)")
                     ->check(CLI::IsMember({"left", "right", "up", "down", "out", "in"}));
  o->colour = set->add_option("--colour", "Single colour RRGGBB (turns multicolour off)");
  o->multicolour = set->add_option("--multicolour", "on|off")->check(CLI::IsMember({"on", "off"}));
  o->choice = set->add_option("--choice", "Colour choice of effect 17: red|yellow|green|blue")
                  ->check(CLI::IsMember({"red", "yellow", "green", "blue"}));
  o->reportRate = set->add_option("--report-rate", "USB report rate button 0-3")->check(CLI::Range(0, 3));
  for (auto* opt : {o->effect, o->brightness, o->speed, o->direction, o->colour, o->multicolour, o->choice,
                    o->reportRate}) {
    opt->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
  set->callback([&ctx, set, o, profile] { RunSet(ctx, set, *o, *profile); });

  auto* def = lighting->add_subcommand("default", "Write the default lighting record");
  def->add_option("--profile", *profile, "On-board profile 0-2 (default: the active one)")->check(CLI::Range(0, 2));
  def->callback([&ctx, profile] { RunDefault(ctx, *profile); });
});

}  // namespace
}  // namespace vantrel::ctl
