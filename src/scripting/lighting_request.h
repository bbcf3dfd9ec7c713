// A lighting change asked for by name, as vantrelctl's "lighting set" and the program's
// scripting interface take it: the names of directions, colour choices and report rates,
// the ranges of each value, the check of a whole list of changes against the effect in
// force before anything is sent. The change itself is the lighting session's.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/lighting/effects.h"
#include "core/lighting/lighting.h"
#include "core/profiles/write_recorder.h"
#include "core/text/text_source.h"
#include "scripting/script_outcome.h"

namespace vantrel::scripting {

// The colour choice of effect 17 by name, in the order of its byte (0 red .. 3 blue).
inline constexpr std::array<std::string_view, 4> kChoiceNames = {"red", "yellow", "green", "blue"};
// The USB report rate of each report-rate button (record byte 15), in Hz.
inline constexpr std::array<unsigned, 4> kReportRatesHz = {125, 250, 500, 1000};
inline constexpr int kMaxSliderPosition = 4;  // brightness and speed sliders: 0..4

// "red".."blue", or the number for a byte no choice has.
std::string ChoiceName(int choice);
std::optional<int> ChoiceValue(std::string_view name);
// The rate of a report-rate button; a byte above 3 reads as 3, as the panel shows it.
unsigned ReportRateHz(int button);
std::optional<int> ReportRateButton(unsigned hz);

// "N (name)", or "N" alone when the language file has no name for it.
std::string EffectLabel(const text::TextSource* texts, lighting::EffectCode code);
// The offered codes separated by spaces; "none" for an empty list.
std::string EffectListText(const lighting::EffectList& list);

// The direction word of an effect for a direction byte ("left", "up", "out", ...), or
// "0x00"/"0xff" for effects without direction pictures.
std::string DirectionWord(lighting::EffectCode code, int direction);
// The direction byte a word means for an effect; nothing when the effect does not take it.
std::optional<int> DirectionValue(lighting::EffectCode code, std::string_view word);
// The word pair of an effect's direction ("left or right"), empty for none.
std::string DirectionWords(lighting::EffectCode code);

using lighting::LightingField;

// The argument's name of a field as both sides spell it: "effect", "brightness", "speed",
// "direction", "colour", "multicolour", "choice", "report_rate".
std::string_view FieldName(LightingField field);

// A change as asked for by name: `number` holds the direction byte once the check has
// read `word`.
struct LightingChange : lighting::FieldChange {
  std::string word;  // direction: "left", "right", "up", "down", "out" or "in"; "0x00" or "0xff"
  // A field the effect in force does not use, given as the profile holds it (what
  // GetLighting gave): taken, and nothing is sent for it.
  bool unchanged = false;
};

// Why a list of changes is refused: the argument and what it accepts.
struct LightingRefusal {
  LightingField field = LightingField::Effect;
  std::string reason;  // "effect 4 has no direction", "brightness 7 is outside 0..4", ...
};

// Checks every change in order against the effect in force when it comes (an effect
// change earlier in the list counts), so that a refused change sends nothing at all.
// Fills in the direction byte of direction changes ("0x00" and "0xff" give the byte
// itself). A field the effect does not use is refused, unless its value is the one the
// profile holds: it is then marked unchanged, so that what GetLighting gives is taken back
// whole. Nothing when all are acceptable.
std::optional<LightingRefusal> CheckLightingChanges(const lighting::LightingState& state,
                                                    std::vector<LightingChange>& changes,
                                                    const text::TextSource* texts);

// One named change as a script passed it: a number, a string or a truth value.
using ScriptValue = std::variant<std::monostate, bool, long long, std::string>;
struct NamedValue {
  std::string key;
  ScriptValue value;
};

// Reads named changes into `changes`, effect first and then in the order of the fields,
// whatever order they came in: "effect" (number), "brightness" and "speed" (0..4),
// "direction" (left right up down out in, or the byte "0x00"/"0xff"), "colour" ("RRGGBB"), "multicolour" (truth
// value), "choice" (red yellow green blue) and "report_rate" (125, 250, 500 or 1000 Hz).
// An unknown key, a value of the wrong kind or out of its range is refused, naming it.
ScriptOutcome ReadNamedChanges(const std::vector<NamedValue>& entries, std::vector<LightingChange>& changes);

// A list of changes is one entry of the history: the recorder to hold around it, or none
// when the list changes nothing but the report rate (the keyboard's setting, not part of
// a configuration kept in the history).
profiles::WriteRecorder* RecorderForChanges(profiles::WriteRecorder* recorder,
                                            const std::vector<LightingChange>& changes);

}  // namespace vantrel::scripting
