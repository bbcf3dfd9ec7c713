// The one set of key names that vantrelctl and the program's scripting interface take,
// and the names they give keys in what they print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/keys/keyboard_layout.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::scripting {

// A key named by the user: its key index (kNoKeyIndex for Fn, which has no key
// code) and its button on the keyboard picture (nullptr for keys that have none).
struct KeyRef {
  std::uint16_t index = keys::kNoKeyIndex;
  const keys::LayoutKey* button = nullptr;
};

// The one set of key names every command accepts, case-insensitively: the display name
// in the language in force, the key name table's label ("Caps Lock"), the picture's short
// name ("LCtrl", "Num0", "VolUp", "Fn") and its legend where only one key carries it
// ("PrtSc"), "G1".."G18", a key index in decimal, a key code in hexadecimal (0x...) and a
// key button's control id. The names that do not depend on the language are tried first;
// the display names are looked up once, only when those do not match.
class KeyVocabulary {
 public:
  explicit KeyVocabulary(const text::TextSource& texts) : texts_(texts) {}
  std::optional<KeyRef> Find(std::string_view name) const;
  // The names closest to an unknown one, best first, at most eight.
  std::vector<std::string> Closest(std::string_view name) const;

 private:
  struct Name {
    std::string lower;
    std::string shown;
    KeyRef key;
  };
  static const std::vector<Name>& FixedNames();
  const std::vector<Name>& DisplayNames() const;

  const text::TextSource& texts_;
  mutable std::vector<Name> displayNames_;
  friend class KeyNameIndex;
};

// Key index 0..511 of a name; nullopt when it names nothing or names Fn.
std::optional<std::uint16_t> ParseKeyIndex(std::string_view name, const text::TextSource& texts);
// Every name a key answers to, looked up once: ParseKeyIndex's answers without reading
// each key's display text again for every name (an import parses thousands of names).
// Built from the texts as they are now; build a new one to see changed texts.
class KeyNameIndex {
 public:
  explicit KeyNameIndex(const text::TextSource& texts);
  // The same answer as ParseKeyIndex(name, texts).
  std::optional<std::uint16_t> Find(std::string_view name) const;

 private:
  // Lower-case name to key, in the vocabulary's order of precedence (first one wins).
  std::unordered_map<std::string, KeyRef> fixed_;
  std::unordered_map<std::string, KeyRef> shown_;
};

// The key code of an index (G keys 0x200 + n - 1).
std::uint16_t CodeOfKeyIndex(std::uint16_t index);
// "G1".."G18": the device's number of a G key (G10..G18 are the second layer's G1..G9).
std::string GKeyName(const keys::GKeyPlace& g);
// The key's name for output: its display name; the plain label while the language file
// has no text for it; "G1".."G18" for the G keys.
std::string KeyName(std::uint16_t code, const text::TextSource& texts);
// The name of a key button for output: KeyName of its code; "Fn" for Fn.
std::string KeyButtonName(const keys::LayoutKey& button, const text::TextSource& texts);

}  // namespace vantrel::scripting
