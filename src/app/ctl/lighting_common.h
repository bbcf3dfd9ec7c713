// What the lighting, colours and preview commands share: the profile they address, the
// per-user files, effect and direction names.
#pragma once

#include <concepts>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/ctl/context.h"
#include "core/lighting/effects.h"
#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"
#include "core/lighting/lighting_session.h"
#include "core/text/text_source.h"
#include "scripting/lighting_request.h"

namespace vantrel::ctl {

// The names and labels of effects, directions and colour choices (shared with the
// program's scripting interface).
using scripting::ChoiceName;
using scripting::DirectionValue;
using scripting::DirectionWord;
using scripting::DirectionWords;
using scripting::EffectLabel;
using scripting::EffectListText;

// The language texts of the context when it has them.
template <typename C>
const text::TextSource* TextsOf(C& ctx) {
  if constexpr (requires { { ctx.Texts() } -> std::convertible_to<const text::TextSource*>; }) {
    return ctx.Texts();
  } else if constexpr (requires { { &ctx.Texts() } -> std::convertible_to<const text::TextSource*>; }) {
    return &ctx.Texts();
  } else {
    return nullptr;
  }
}


// The profile given on the command line (0..2), or the keyboard's active one when
// given is negative. Prints the failure and returns nothing when it cannot be read.
std::optional<int> ResolveProfile(Context& ctx, int given);

// The program's default ".userd" colour file, copied for a profile that has none.
std::filesystem::path DefaultColourFile();

// The colour files of the per-user folder, for the keyboard this run drives.
lighting::KeyColourEditor ColourEditor(Context& ctx);

// "wskb.ini" in the per-user folder.
std::filesystem::path WskbIniPath();

// The lighting session of a run that drives the keyboard itself: the colour files of the
// per-user folder for this keyboard, "wskb.ini" and the language texts.
struct CtlLighting {
  explicit CtlLighting(Context& ctx);
  CtlLighting(const CtlLighting&) = delete;
  CtlLighting& operator=(const CtlLighting&) = delete;
  lighting::KeyColourEditor editor;
  lighting::LightingSession session;
};

// Loads the lighting of a profile into the session; prints the failure and returns false
// when the device state cannot be read.
bool LoadProfileLighting(Context& ctx, lighting::LightingSession& session, int profile);

// The same through the running program (the commands go through it when it drives this
// keyboard): the profile given, or the program's active one; and the lighting its
// GetLighting answers, with the effects the keyboard offers. The fields the interface
// does not carry keep their defaults; the speed byte follows the speed position as the
// keyboard's record does. Print the failure (exit code as the program's error says) and
// return nothing or false when the program gives no answer.
std::optional<int> ResolveProfile(Context& ctx, platform::ProgramBus& program, int given);
bool LoadProfileLighting(Context& ctx, platform::ProgramBus& program, lighting::LightingState& state, int profile);



}  // namespace vantrel::ctl
