// preview: the on-screen preview of an effect, drawn as a small keyboard in the terminal
// (24-bit colour), or as hex colours per grid row when the output is not a terminal.
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "app/ctl/context.h"
#include "app/ctl/lighting_common.h"
#include "app/ctl/registry.h"
#include "core/lighting/colour.h"
#include "core/lighting/preview.h"
#include "platform/console.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::lighting;

struct PreviewOptions {
  int effect = 1;
  int frames = 20;
  std::string multicolour = "on";
  std::string direction;
  std::string colour = "FFFFFF";
};

// Each grid cell as two character cells; empty cells stay blank.
void DrawTerminal(std::ostream& out, const PreviewFrame& frame) {
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      const int id = GridCell(r, c);
      const auto colour = id != 0 ? frame.ColourOf(id) : std::nullopt;
      if (!colour) {
        out << "  ";
        continue;
      }
      out << "\x1b[48;2;" << int(RedOf(*colour)) << ';' << int(GreenOf(*colour)) << ';' << int(BlueOf(*colour))
          << "m  \x1b[0m";
    }
    out << '\n';
  }
}

void DrawPlain(std::ostream& out, const PreviewFrame& frame) {
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      const int id = GridCell(r, c);
      const auto colour = id != 0 ? frame.ColourOf(id) : std::nullopt;
      out << (c ? " " : "") << (colour ? HexColour(*colour) : "------");
    }
    out << '\n';
  }
}

void RunPreview(Context& ctx, const PreviewOptions& o) {
  PreviewInput in;
  in.effect = o.effect;
  in.multicolour = o.multicolour == "on";
  const auto colour = ParseHexColour(o.colour);
  if (!colour) {
    ctx.Err() << "preview: --colour wants RRGGBB in hex, not \"" << o.colour << "\"\n";
    ctx.SetExitCode(kExitUsage);
    return;
  }
  in.colour = *colour;
  in.direction = 255;
  if (!o.direction.empty()) {
    const auto d = DirectionValue(o.effect, o.direction);
    if (!d) {
      const auto words = DirectionWords(o.effect);
      ctx.Err() << "preview: effect " << o.effect
                << (words.empty() ? std::string(" has no direction") : " takes the direction " + words) << '\n';
      ctx.SetExitCode(kExitUsage);
      return;
    }
    in.direction = *d;
  }

  const bool terminal = platform::StdoutIsTerminal();
  PreviewEngine engine;
  PreviewFrame frame;
  auto& out = ctx.Out();
  for (int f = 0; f < o.frames; ++f) {
    engine.Step(in, frame);
    if (frame.showCaptions || (frame.count == 0 && o.effect == kEffectUserColours)) {
      out << "effect " << o.effect
          << (frame.showCaptions ? " has no preview: the keys show their captions\n"
                                 : " shows each key in its own colour (see colours)\n");
      return;
    }
    if (terminal) {
      if (f > 0) out << "\x1b[" << kGridRows << 'A';
      DrawTerminal(out, frame);
      out.flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else {
      out << "frame " << f + 1 << '\n';
      DrawPlain(out, frame);
    }
  }
}

const CommandGroup kPreviewCommands(32, [](CLI::App& app, Context& ctx) {
  auto* preview = app.add_subcommand("preview", "Play the on-screen preview of a lighting effect in the terminal");
  auto o = std::make_shared<PreviewOptions>();
  preview->add_option("--effect", o->effect, "Effect code 1-20")->required()->check(CLI::Range(1, 20));
  preview->add_option("--frames", o->frames, "Number of 50 ms frames (default 20)")->check(CLI::Range(1, 100000));
  preview->add_option("--multicolour", o->multicolour, "on|off (default on)")->check(CLI::IsMember({"on", "off"}));
  preview->add_option("--direction", o->direction, "left|right, up|down or out|in, as the effect takes");
  preview->add_option("--colour", o->colour, "Single colour RRGGBB (default FFFFFF)");
  preview->callback([&ctx, o] { RunPreview(ctx, *o); });
});

}  // namespace
}  // namespace vantrel::ctl
