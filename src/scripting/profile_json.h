// The keyboard's whole configuration as a readable, diffable JSON document: every
// profile slot's assignments that differ from a new table, by key name, and the macros
// with their steps; from version 2 also, per on-board profile, the lighting record's
// fields, the per-key colours the keyboard shows and the ten user colour modes.
//
// {"format": "vantrel-profile", "version": 2,
//  "profiles": [{"slot": 0, "keys": [{"key": "Caps Lock", "kind": "disabled"}, ...],
//                "lighting": {"effect": {"number": 20, "name": "..."}, "brightness": 4,
//                             "colour": "FFFFFF", ..., "keyboard_bytes": {"8": 0, ...}},
//                "key_colours": ["RRGGBB", ... 126, by LED slot],
//                "user_modes": {"selected": 0, "modes": [{"name": "Ocean", "tool": 0,
//                               "base": "00287A", "brush": "FFFFFF", "keys": [126 x "RRGGBB"],
//                               "follows_base": [0, ...]}, ... 10]}}, ...],
//  "macros": [{"id": 1, "name": "...", "cycles": 1, "repeat": 0,
//              "steps": [{"key": "A", "action": "press", "delay": 10}, ...]}]}
//
// Import reads version 1 (keys and macros only) and version 2.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/keys/stores.h"
#include "core/lighting/user_modes.h"
#include "core/lighting/lighting_record.h"
#include "core/text/text_source.h"

namespace vantrel::scripting {

inline constexpr int kProfileJsonVersion = 2;
inline constexpr int kOldestProfileJsonVersion = 1;

// The lighting part of one on-board profile. Export fills what it could read; import
// fills what the document gives.
struct ProfileLighting {
  std::optional<lighting::LightingFields> fields;
  // The record bytes that are the keyboard's own (not a named field), by offset; import
  // leaves the ones the document does not give as the keyboard holds them.
  std::array<std::optional<std::uint8_t>, lighting::kRecordSize> keyboardBytes{};
  std::optional<std::array<lighting::Rgb, lighting::kLedSlots>> keyColours;
  std::optional<lighting::UserModeSet> userModes;
};
using ProfileLightings = std::array<ProfileLighting, lighting::kProfileCount>;

// Whether a record byte is the keyboard's own rather than a named field.
bool IsKeyboardByte(std::size_t offset);
// The part of a profile taken from its whole record.
void SetRecord(ProfileLighting& part, const lighting::LightingRecord& record);
// The record to write: the keyboard's record with the document's fields and bytes over it.
lighting::LightingRecord MergeRecord(const ProfileLighting& part, const lighting::LightingRecord& held);

// The largest document import reads, from a file or over the bus. A full configuration (3
// profiles of 512 keys, 100 macros of 2000 steps with the longest key names and delays)
// exports to about 22 MB; anything beyond 32 MiB cannot be a configuration and is refused
// before it is read. The bound also stays well below what one bus connection takes in at
// once (libdbus holds back reading beyond 63 MiB of received messages), so that a document
// passed to the running program always fits in one call.
inline constexpr std::size_t kMaxProfileJsonBytes = std::size_t{32} << 20;

// What parsing stops at, whatever the document's size: a configuration document nests
// eight levels (document, profiles, profile, user_modes, modes, mode, keys, colour) and
// holds about 830,000 values (100 macros of 2000 steps of four values each, 1536 keys of
// up to eight, and per profile some 2,800 values of lighting and colours). Without
// these limits 32 million nested brackets or 60 MB of steps take tens of seconds and
// gigabytes before the content is even looked at.
inline constexpr std::size_t kMaxProfileJsonDepth = 16;
inline constexpr std::size_t kMaxProfileJsonValues = 1'000'000;

std::string ExportProfileJson(const keys::StoreImage& image, const text::TextSource& texts,
                              const ProfileLightings& lighting = {});

// Builds a new image from a document. False with a message naming the offending field
// ("profiles[0].keys[2].kind: ...") when anything is missing, unknown or out of range,
// or naming the limit ("document: nested deeper than 16 levels") when the document goes
// beyond one. A key's text is at most kMaxKeyTextChars characters.
bool ImportProfileJson(const std::string& document, const text::TextSource& texts, keys::StoreImage& image,
                       std::string& error);
bool ImportProfileJson(const std::string& document, const text::TextSource& texts, keys::StoreImage& image,
                       ProfileLightings& lighting, std::string& error);

}  // namespace vantrel::scripting
