// lighting: show a profile's lighting; lighting set: change it, one write per option in
// the order given; lighting default: the default lighting record. Showing and changing go
// through the running program when it drives the same keyboard; the default record,
// which its interface has no call for, is written by this process itself.
#include <map>
#include <memory>
#include <optional>
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
  std::optional<int> profile;
  LightingState s;
  if (auto* program = ctx.Program()) {
    profile = ResolveProfile(ctx, *program, profileOption);
    if (!profile || !LoadProfileLighting(ctx, *program, s, *profile)) return;
  } else {
    if (!ctx.OpenWithKeyboard()) return;
    profile = ResolveProfile(ctx, profileOption);
    CtlLighting work(ctx);
    if (!profile || !LoadProfileLighting(ctx, work.session, *profile)) return;
    s = work.session.State();
  }
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
    j["report_rate"] = scripting::ReportRateHz(s.reportRate);  // Hz
    j["report_rate_button"] = s.reportRate;
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
      << "report rate:     " << scripting::ReportRateHz(s.reportRate) << " Hz\n"
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

// The changes of "lighting set" in the order the options were given; nothing (message,
// exit code) when a value cannot be used.
std::optional<std::vector<scripting::LightingChange>> ReadChanges(Context& ctx, CLI::App* sub, const SetOptions& o) {
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
        return std::nullopt;
      }
      change.field = LightingField::Colour;
      change.colour = *rgb;
    } else if (opt == o.multicolour) {
      change.field = LightingField::Multicolour;
      change.on = value == "on";
    } else if (opt == o.choice) {
      change = Numbered(LightingField::Choice, scripting::ChoiceValue(value).value_or(-1));
    } else if (opt == o.reportRate) {
      // In Hz; the button numbers 0-3 that earlier versions took still mean their rate.
      const int number = std::stoi(value);
      const auto button = number >= 0 && number < static_cast<int>(scripting::kReportRatesHz.size())
                              ? std::optional<int>(number)
                              : scripting::ReportRateButton(static_cast<unsigned>(number));
      change = Numbered(LightingField::ReportRate, button.value_or(-1));
    } else {
      continue;
    }
    changes.push_back(std::move(change));
  }
  return changes;
}

// A change that sends nothing says so: effect 19, a slider at the position it has.
void SayNotSent(Context& ctx, const scripting::LightingChange& change) {
  using scripting::LightingField;
  if (change.unchanged) {
    ctx.Out() << scripting::FieldName(change.field) << ": not used by the effect and unchanged; nothing is sent\n";
    return;
  }
  if (change.field == LightingField::Effect) ctx.Out() << "effect 19: nothing is sent\n";
  if (change.field == LightingField::Brightness) ctx.Out() << "brightness is " << change.number << " already\n";
  if (change.field == LightingField::Speed) ctx.Out() << "speed is " << change.number << " already\n";
}

// Whether the keyboard side sends nothing for a change (the rule of SendEffect,
// SendBrightness and SendSpeed), with `s` following the change as those do.
bool SendsNothing(LightingState& s, const scripting::LightingChange& change) {
  using scripting::LightingField;
  if (change.unchanged) return true;
  switch (change.field) {
    case LightingField::Effect:
      s.effect = change.number;
      return change.number == kEffectNone;
    case LightingField::Brightness:
      if (change.number == s.brightness) return true;
      s.brightness = change.number;
      return false;
    case LightingField::Speed:
      if (change.number == s.speedPosition) return true;
      s.speedPosition = change.number;
      return false;
    default:
      return false;
  }
}

// A checked change as the program's SetLighting takes it.
platform::BusScalar BusValueOf(const scripting::LightingChange& change) {
  using scripting::LightingField;
  switch (change.field) {
    case LightingField::Direction: return change.word;
    case LightingField::Colour: return HexColour(change.colour);
    case LightingField::Multicolour: return change.on;
    case LightingField::Choice: return ChoiceName(change.number);
    case LightingField::ReportRate: return static_cast<long long>(scripting::ReportRateHz(change.number));
    default: return static_cast<long long>(change.number);
  }
}

// The checked changes through the running program. Its SetLighting takes a set of named
// changes and sends them in the order of the fields (effect first), so the order of the
// options is kept with one call for each stretch of changes already in that order; a
// repeated option starts a new call. An error of the program ends the list.
void SetThroughProgram(Context& ctx, platform::ProgramBus& program, LightingState& s, int profile,
                       const std::vector<scripting::LightingChange>& changes) {
  std::size_t first = 0;
  while (first < changes.size()) {
    std::size_t end = first + 1;
    while (end < changes.size() && changes[end].field > changes[end - 1].field) ++end;
    platform::BusDict named;
    for (std::size_t i = first; i < end; ++i) {
      named.emplace_back(std::string(scripting::FieldName(changes[i].field)), BusValueOf(changes[i]));
    }
    if (!ctx.ProgramAnswered(program.Call("SetLighting", {static_cast<long long>(profile), named}))) return;
    for (std::size_t i = first; i < end; ++i) {
      if (SendsNothing(s, changes[i])) SayNotSent(ctx, changes[i]);
    }
    first = end;
  }
}

void RunSet(Context& ctx, CLI::App* sub, const SetOptions& o, int profileOption) {
  if (sub->parse_order().empty()) {
    ctx.Err() << "lighting set: give at least one change (see --help)\n";
    ctx.SetExitCode(kExitUsage);
    return;
  }
  auto* program = ctx.Program();
  if (!program && !ctx.OpenWithKeyboard()) return;
  const auto profile = program ? ResolveProfile(ctx, *program, profileOption) : ResolveProfile(ctx, profileOption);
  if (!profile) return;
  // Through the program, the lighting its GetLighting gives; else this run's own session.
  std::unique_ptr<CtlLighting> work = program ? nullptr : std::make_unique<CtlLighting>(ctx);
  LightingState shown;
  if (!(program ? LoadProfileLighting(ctx, *program, shown, *profile) : LoadProfileLighting(ctx, work->session, *profile)))
    return;
  LightingState& s = work ? work->session.State() : shown;

  // Every option is checked first, following the effect through the list, so that a
  // refused option sends nothing at all.
  auto changes = ReadChanges(ctx, sub, o);
  if (!changes) return;
  if (const auto refusal = scripting::CheckLightingChanges(s, *changes, TextsOf(ctx))) {
    Refuse(ctx, refusal->reason);
    return;
  }
  if (program) return SetThroughProgram(ctx, *program, s, *profile, *changes);
  // The whole list is one entry of the history; a refusal leaves it as refused.
  profiles::RecordedWrite recorded(scripting::RecorderForChanges(ctx.Recorder(), *changes), profiles::kLightingPart);
  bool sent = false;
  // A change the keyboard did not take ends the list: the later ones were meant to follow it.
  for (const auto& change : *changes) {
    const auto outcome = change.unchanged ? WriteOutcome::NotSent : work->session.Change(ctx.Commands(), *profile, change);
    if (outcome == WriteOutcome::NotSent) SayNotSent(ctx, change);
    sent = sent || outcome != WriteOutcome::NotSent;
    if (!Written(ctx, s, outcome)) return;
  }
  recorded.Done(sent ? profiles::WriteEnd::Taken : profiles::WriteEnd::NotSent, nullptr, &s.records);
}

void RunDefault(Context& ctx, int profileOption) {
  if (!ctx.OpenWithKeyboard()) return;
  const auto profile = ResolveProfile(ctx, profileOption);
  if (!profile) return;
  CtlLighting work(ctx);
  if (!LoadProfileLighting(ctx, work.session, *profile)) return;
  // The lighting record alone: the key colours have commands of their own.
  const auto written = work.session.RestoreDefault(ctx.Commands(), *profile, false);
  if (!Written(ctx, work.session.State(), written.record)) return;
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
  o->reportRate = set->add_option("--report-rate", "USB report rate in Hz: 125, 250, 500 or 1000")
                      ->check(CLI::Validator(
                          [](std::string& value) -> std::string {
                            for (const char* taken : {"125", "250", "500", "1000", "0", "1", "2", "3"}) {
                              if (value == taken) return {};
                            }
                            return "the report rate is 125, 250, 500 or 1000 (Hz), not " + value;
                          },
                          "HZ"));
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
