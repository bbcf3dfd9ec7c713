// colours: the per-key colours of effect 20. User colour modes, painting keys, the base
// and brush colours, with the same file and keyboard effects as the lighting panel. The
// ".userd" files live in the per-user folder and are made from the program's default
// file when missing. Painting goes through the running program when it drives the same
// keyboard.
#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/lighting_common.h"
#include "app/ctl/registry.h"
#include "scripting/keyboard_tasks.h"
#include "core/lighting/colour.h"
#include "core/lighting/key_buttons.h"
#include "core/lighting/key_colours.h"
#include "platform/console.h"
#include "platform/user_paths.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::lighting;

// Everything a colours command starts from: the keyboard, the profile, and the run's
// lighting session with the profile's lighting and its colour file read.
struct Session {
  int profile = 0;
  std::unique_ptr<CtlLighting> work;
  LightingSession& lighting() { return work->session; }
  const KeyColourEditor& editor() const { return work->editor; }
};

std::optional<Session> OpenSession(Context& ctx, int profileOption) {
  if (!ctx.OpenWithKeyboard()) return std::nullopt;
  const auto profile = ResolveProfile(ctx, profileOption);
  if (!profile) return std::nullopt;
  Session s;
  s.profile = *profile;
  s.work = std::make_unique<CtlLighting>(ctx);
  if (!LoadProfileLighting(ctx, s.lighting(), s.profile)) return std::nullopt;
  if (!EffectListHolds(s.lighting().State().supportedEffects, kEffectUserColours)) {
    ctx.Err() << "the keyboard does not offer per-key colours (effect 20)\n";
    ctx.SetExitCode(kExitFailed);
    return std::nullopt;
  }
  if (!s.lighting().PrepareToPaint(s.profile)) {
    ctx.Err() << "cannot create the colour files in " << platform::UserDataFolder().string() << " from "
              << DefaultColourFile().string() << '\n';
    ctx.SetExitCode(kExitFailed);
    return std::nullopt;
  }
  return s;
}

void PrintModes(Context& ctx, const Session& s) {
  // The shipped names in the user's language; a name the user gave stays as typed.
  const auto names = s.editor().ShownModeNames(s.profile, ctx.Texts());
  auto& out = ctx.Out();
  out << "profile " << s.profile << " user colour modes (" << s.editor().UserFile(s.profile).string() << "):\n";
  for (int m = 0; m < kUserModeCount; ++m) {
    out << (m == s.editor().SelectedMode() ? " * " : "   ") << m << "  " << names[static_cast<std::size_t>(m)] << '\n';
  }
  out << "tool:  " << (s.editor().Tool() == 1 ? "1 (base colour)" : "0 (brush colour)") << '\n'
      << "base:  " << HexColour(s.editor().BaseColour()) << '\n'
      << "brush: " << HexColour(s.editor().BrushColour()) << '\n';
}

std::optional<Rgb> ColourArgument(Context& ctx, const std::string& text) {
  const auto rgb = ParseHexColour(text);
  if (!rgb) {
    ctx.Err() << "colour wanted as RRGGBB in hex, not \"" << text << "\"\n";
    ctx.SetExitCode(kExitUsage);
  }
  return rgb;
}

// A key-colour write the keyboard refused: what was refused on stderr, exit code 1. The
// colour file keeps the new colours (the keyboard gets them with its next write of them).
// `what` names the refused write ("key colours of profile 1 (user mode 3)").
void KeyColoursRefused(Context& ctx, const std::string& what) {
  ctx.Err() << "the keyboard did not take the " << what << "; the colour file holds the new colours\n";
  ctx.SetExitCode(kExitFailed);
}

// After a command that sent key colours: every profile whose colours the keyboard is not
// known to show gets its selected mode whole, so that the keyboard and the colour files
// agree (a fresh keyboard shows its own factory colours). False, with the refusal told,
// when the keyboard refused them.
void InStepRefused(Context& ctx) {
  KeyColoursRefused(ctx, "key colours of the other profiles (their selected user modes)");
}

bool KeepInStep(Context& ctx, Session& s) {
  if (s.lighting().BringInStep(ctx.Commands()) != KeyColourWrite::Refused) return true;
  InStepRefused(ctx);
  return false;
}

std::string ProfileColours(int profile, const std::string& which) {
  std::string out = "key colours of profile " + std::to_string(profile);
  out += " (";
  out += which;
  out += ')';
  return out;
}

void RunMode(Context& ctx, int profileOption, int mode, const std::optional<std::string>& name) {
  auto s = OpenSession(ctx, profileOption);
  if (!s) return;
  if (mode >= 0 && s->lighting().ChooseUserMode(ctx.Commands(), s->profile, mode) == KeyColourWrite::Refused) {
    // The rename, meant to follow the choice, is not made.
    KeyColoursRefused(ctx, ProfileColours(s->profile, "user mode " + std::to_string(s->editor().SelectedMode())));
    return;
  }
  if (mode >= 0 && !KeepInStep(ctx, *s)) return;
  if (name) s->lighting().RenameUserMode(s->profile, *name);
  PrintModes(ctx, *s);
}

// Keys are painted only in effect 20, on a keyboard that offers it: false (message, exit
// code) otherwise.
bool Paintable(Context& ctx, const LightingState& lighting, int profile) {
  if (!EffectListHolds(lighting.supportedEffects, kEffectUserColours)) {
    ctx.Err() << "the keyboard does not offer per-key colours (effect 20)\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  if (lighting.effect != kEffectUserColours) {
    ctx.Err() << "colours paint: profile " << profile << " shows effect " << lighting.effect
              << "; keys are painted only in effect 20 (lighting set --effect 20)\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  return true;
}

// Painting through the running program: its PaintKeys makes the colour it is given the
// brush and paints with the brush tool. Without --colour that is the profile's brush
// colour from its colour file, as long as the brush is the profile's tool; painting with
// the base colour tool is not something the program can be asked for, and is refused.
void PaintThroughProgram(Context& ctx, platform::ProgramBus& program, int profileOption,
                         const std::vector<const keys::LayoutKey*>& buttons, std::optional<Rgb> colour) {
  const auto profile = ResolveProfile(ctx, program, profileOption);
  if (!profile) return;
  if (!colour) {
    // The brush of the profile's colour file, read as a paint of this run would read it.
    CtlLighting work(ctx);
    (void)work.session.PrepareToPaint(*profile);
    const KeyColourEditor& files = work.editor;
    if (files.Tool() != 0) {
      ctx.Err() << "colours paint: the running program paints with the brush only, and profile " << *profile
                << " has the base colour tool; give --colour RRGGBB, or choose the brush (colours tool 0)\n";
      ctx.SetExitCode(kExitUsage);
      return;
    }
    colour = files.BrushColour();
  }
  LightingState lighting;
  if (!LoadProfileLighting(ctx, program, lighting, *profile) || !Paintable(ctx, lighting, *profile)) return;
  // The keys by their short names, which mean the same key in every language.
  std::vector<std::string> names;
  for (const keys::LayoutKey* b : buttons) names.emplace_back(b->name);
  const auto answer = program.Call("PaintKeys", {static_cast<long long>(*profile), names, HexColour(*colour)});
  if (!ctx.ProgramAnswered(answer)) return;
  for (const keys::LayoutKey* b : buttons) {
    ctx.Out() << KeyButtonName(*b, ctx.Texts()) << " (slot " << b->ledSlot << "): " << HexColour(*colour) << '\n';
  }
}

void RunPaint(Context& ctx, int profileOption, const std::vector<std::string>& keys,
              const std::optional<std::string>& colourText) {
  std::optional<Rgb> colour;
  if (colourText && !(colour = ColourArgument(ctx, *colourText))) return;
  // The same key names as every other command; the key must have a light of its own.
  const ctl::KeyVocabulary words(ctx.Texts());
  std::vector<const keys::LayoutKey*> buttons;
  for (const auto& k : keys) {
    const auto named = words.Find(k);
    if (!named) {
      ctl::UnknownKey(ctx, k, words);
      return;
    }
    if (named->button == nullptr) {
      ctx.Err() << "colours paint: \"" << k << "\" is not a key of the keyboard picture; nothing was painted\n";
      ctx.SetExitCode(kExitUsage);
      return;
    }
    buttons.push_back(named->button);
  }
  if (auto* program = ctx.Program()) return PaintThroughProgram(ctx, *program, profileOption, buttons, colour);
  auto s = OpenSession(ctx, profileOption);
  if (!s || !Paintable(ctx, s->lighting().State(), s->profile)) return;
  std::vector<int> controls;
  for (const keys::LayoutKey* b : buttons) controls.push_back(b->controlId);
  const auto painting = s->lighting().PaintKeys(
      ctx.Commands(), s->profile, s->lighting().State().effect, controls, colour, [&](int controlId) {
        const keys::LayoutKey* b = *std::find_if(buttons.begin(), buttons.end(),
                                                 [&](const keys::LayoutKey* k) { return k->controlId == controlId; });
        ctx.Out() << KeyButtonName(*b, ctx.Texts()) << " (slot " << b->ledSlot
                  << "): " << HexColour(s->editor().Table().Get(s->profile, b->ledSlot)) << '\n';
      });
  if (painting.step == LightingSession::Painting::Step::Key) {
    const keys::LayoutKey* b = *std::find_if(buttons.begin(), buttons.end(),
                                             [&](const keys::LayoutKey* k) { return k->controlId == painting.controlId; });
    KeyColoursRefused(ctx, "colour of " + KeyButtonName(*b, ctx.Texts()) + " in profile " + std::to_string(s->profile));
  } else if (painting.step == LightingSession::Painting::Step::InStep) {
    InStepRefused(ctx);
  }
}

void RunBase(Context& ctx, int profileOption, const std::string& text) {
  const auto colour = ColourArgument(ctx, text);
  if (!colour) return;
  auto s = OpenSession(ctx, profileOption);
  if (!s) return;
  switch (s->lighting().ChangeBaseColour(ctx.Commands(), s->profile, *colour)) {
    case KeyColourWrite::NotSent:
      ctx.Out() << "base colour is " << HexColour(*colour) << " already\n";
      return;
    case KeyColourWrite::Refused:
      KeyColoursRefused(ctx, ProfileColours(s->profile, "base colour " + HexColour(*colour)));
      return;
    case KeyColourWrite::Taken:
      break;
  }
  if (!KeepInStep(ctx, *s)) return;
  ctx.Out() << "base colour: " << HexColour(*colour) << '\n';
}

void RunBrush(Context& ctx, int profileOption, const std::string& text) {
  const auto colour = ColourArgument(ctx, text);
  if (!colour) return;
  auto s = OpenSession(ctx, profileOption);
  if (!s) return;
  s->lighting().ChangeBrushColour(s->profile, *colour);
  ctx.Out() << "brush colour: " << HexColour(*colour) << '\n';
}

void RunTool(Context& ctx, int profileOption, int tool) {
  auto s = OpenSession(ctx, profileOption);
  if (!s) return;
  s->lighting().ChooseTool(s->profile, tool);
  ctx.Out() << "tool: " << tool << '\n';
}

void RunRestore(Context& ctx, int profileOption) {
  auto s = OpenSession(ctx, profileOption);
  if (!s) return;
  switch (s->lighting().RestoreDefaultColours(ctx.Commands(), s->profile)) {
    case KeyColourWrite::NotSent:
      ctx.Err() << "cannot copy " << DefaultColourFile().string() << '\n';
      ctx.SetExitCode(kExitFailed);
      return;
    case KeyColourWrite::Refused:
      KeyColoursRefused(ctx, ProfileColours(s->profile, "the default colours"));
      return;
    case KeyColourWrite::Taken:
      break;
  }
  if (!KeepInStep(ctx, *s)) return;
  PrintModes(ctx, *s);
}

const CommandGroup kColourCommands(31, [](CLI::App& app, Context& ctx) {
  auto* colours = app.add_subcommand("colours", "Per-key colours (effect 20): user colour modes and painting");
  colours->require_subcommand(1);
  auto profile = std::make_shared<int>(-1);
  colours->add_option("--profile", *profile, "On-board profile 0-2 (default: the active one)")
      ->check(CLI::Range(0, 2));

  auto* mode = colours->add_subcommand("mode", "List the user colour modes, or choose mode N and send its colours");
  auto modeN = std::make_shared<int>(-1);
  auto name = std::make_shared<std::string>();
  mode->add_option("N", *modeN, "User mode 0-9")->check(CLI::Range(0, 9));
  auto* nameOpt = mode->add_option("--name", *name, "New name of the (chosen) user mode");
  mode->callback([&ctx, profile, modeN, name, nameOpt] {
    RunMode(ctx, *profile, *modeN, nameOpt->count() ? std::optional<std::string>(*name) : std::nullopt);
  });

  auto* paint = colours->add_subcommand("paint", "Paint keys with the brush (or --colour) and send them");
  auto keys = std::make_shared<std::vector<std::string>>();
  auto colour = std::make_shared<std::string>();
  paint->add_option("KEY", *keys, "Keys, named as in keys set (e.g. Esc, \"Left Ctrl\", LCtrl, G1, Fn)")->required();
  auto* colourOpt = paint->add_option("--colour", *colour, "Colour RRGGBB; becomes the brush colour");
  paint->callback([&ctx, profile, keys, colour, colourOpt] {
    RunPaint(ctx, *profile, *keys, colourOpt->count() ? std::optional<std::string>(*colour) : std::nullopt);
  });

  auto* base = colours->add_subcommand("base", "Change the base colour: keys that follow it take it");
  auto baseText = std::make_shared<std::string>();
  base->add_option("RRGGBB", *baseText, "Colour")->required();
  base->callback([&ctx, profile, baseText] { RunBase(ctx, *profile, *baseText); });

  auto* brush = colours->add_subcommand("brush", "Change the brush colour (nothing is sent)");
  auto brushText = std::make_shared<std::string>();
  brush->add_option("RRGGBB", *brushText, "Colour")->required();
  brush->callback([&ctx, profile, brushText] { RunBrush(ctx, *profile, *brushText); });

  auto* tool = colours->add_subcommand("tool", "Choose the tool: 0 paints the brush colour, 1 the base colour");
  auto toolN = std::make_shared<int>(0);
  tool->add_option("N", *toolN, "0 or 1")->required()->check(CLI::Range(0, 1));
  tool->callback([&ctx, profile, toolN] { RunTool(ctx, *profile, *toolN); });

  auto* restore = colours->add_subcommand("default", "Copy the default colour file over the profile's and send it");
  restore->callback([&ctx, profile] { RunRestore(ctx, *profile); });
});

}  // namespace
}  // namespace vantrel::ctl
