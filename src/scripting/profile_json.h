// The keyboard's whole configuration as a readable, diffable JSON document: every
// profile slot's assignments that differ from a new table, by key name, and the macros
// with their steps.
//
// {"format": "vantrel-profile", "version": 1,
//  "profiles": [{"slot": 0, "keys": [{"key": "Caps Lock", "kind": "disabled"}, ...]}, ...],
//  "macros": [{"id": 1, "name": "...", "cycles": 1, "repeat": 0,
//              "steps": [{"key": "A", "action": "press", "delay": 10}, ...]}]}
#pragma once

#include <cstddef>
#include <string>

#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::scripting {

inline constexpr int kProfileJsonVersion = 1;

// The largest document import reads. A full configuration (3 profiles of 512 keys, 100
// macros of 2000 steps with the longest key names and delays) exports to about 22 MB;
// anything beyond 64 MiB cannot be a configuration and is refused before it is read.
inline constexpr std::size_t kMaxProfileJsonBytes = std::size_t{64} << 20;

// What parsing stops at, whatever the document's size: a configuration document nests
// five levels (document, profiles, profile, keys, key) and holds about 820,000 values
// (100 macros of 2000 steps of four values each, 1536 keys of up to eight). Without
// these limits 32 million nested brackets or 60 MB of steps take tens of seconds and
// gigabytes before the content is even looked at.
inline constexpr std::size_t kMaxProfileJsonDepth = 16;
inline constexpr std::size_t kMaxProfileJsonValues = 1'000'000;

std::string ExportProfileJson(const keys::StoreImage& image, const text::TextSource& texts);

// Builds a new image from a document. False with a message naming the offending field
// ("profiles[0].keys[2].kind: ...") when anything is missing, unknown or out of range,
// or naming the limit ("document: nested deeper than 16 levels") when the document goes
// beyond one. A key's text is at most kMaxKeyTextChars characters.
bool ImportProfileJson(const std::string& document, const text::TextSource& texts, keys::StoreImage& image,
                       std::string& error);

}  // namespace vantrel::scripting
