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
#include "core/lighting/lighting.h"
#include "core/text/text_source.h"

namespace vantrel::ctl {

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

// "N (name)", or "N" alone when the language file has no name for it.
std::string EffectLabel(const text::TextSource* texts, lighting::EffectCode code);

// The profile given on the command line (0..2), or the keyboard's active one when
// given is negative. Prints the failure and returns nothing when it cannot be read.
std::optional<int> ResolveProfile(Context& ctx, int given);

// The program's default ".userd" colour file, copied for a profile that has none.
std::filesystem::path DefaultColourFile();

// "wskb.ini" in the per-user folder.
std::filesystem::path WskbIniPath();

// Loads the lighting of a profile; prints the failure and returns false when the device
// state cannot be read.
bool LoadProfileLighting(Context& ctx, lighting::LightingState& state, int profile);

// The direction word of an effect for a direction byte ("left", "up", "out", ...), or
// "0x00"/"0xff" for effects without direction pictures.
std::string DirectionWord(lighting::EffectCode code, int direction);
// The direction byte a word means for an effect; nothing when the effect does not take it.
std::optional<int> DirectionValue(lighting::EffectCode code, std::string_view word);

// The word list of an effect's direction ("left|right", ...), empty for none.
std::string DirectionWords(lighting::EffectCode code);

std::string EffectListText(const lighting::EffectList& list);

}  // namespace vantrel::ctl
