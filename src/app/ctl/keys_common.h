// What the keys and macros commands share: the texts and messages of the command line,
// reading the keyboard's configuration into an editing store and writing it back through
// the editing session (the apply routine the windows use), and the parsing of key names.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/ctl/context.h"
#include "core/keys/apply.h"
#include "core/keys/device_config.h"
#include "core/keys/keyboard_layout.h"
#include "core/keys/stores.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/profile_service.h"
#include "core/text/cached_ini.h"
#include "core/text/text_source.h"

namespace vantrel::ctl {

// Messages go to stderr; questions are answered with the --yes choice.
class CtlMessageSink final : public text::MessageSink {
 public:
  CtlMessageSink(std::ostream& err, bool yes) : err_(err), yes_(yes) {}
  void ShowMessage(std::string_view text) override;
  bool AskYesNo(std::string_view text, bool defaultYes) override;

 private:
  std::ostream& err_;
  bool yes_;
};

// The per-user folders of the working file and the colour files, and the program's folder.
profiles::ProfilePaths UserProfilePaths();

// The editing session over a KeyboardSession's stores, with the facts vantrelctl read from
// the keyboard (factory key table, macro capacity).
struct CtlEditSession;

// The keyboard's configuration, read and decoded into an editing store; texts are the
// language in force (--language or the stored choice).
struct KeyboardSession {
  explicit KeyboardSession(Context& ctx);
  ~KeyboardSession();
  keys::DeviceConfiguration config;
  keys::EditingStore editing;
  keys::AppliedStore applied;
  const text::TextSource& texts;
  std::unique_ptr<CtlEditSession> edits;  // set by LoadKeyboard
};

// Reads everything; false (message, exit code) when a read fails, so nothing is ever
// written back from a partial picture.
bool LoadKeyboard(Context& ctx, KeyboardSession& session);
// Marks the edits made in the editing store (all three profiles or only `profile`) and
// applies them through the editing session, which also keeps the working file in step.
// Call it without holding the store's lock. False (exit code 1) when nothing or not
// everything was written.
bool WriteKeyboard(Context& ctx, KeyboardSession& session, bool allProfiles, std::size_t profile);

// A key named on the command line: its key index (kNoKeyIndex for Fn, which has no key
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
// "unknown key 'X'" plus close matches, on stderr; exit code 2.
void UnknownKey(Context& ctx, std::string_view name, const KeyVocabulary& words);
// The key a step or assignment may use: one with a key code of the key name table.
// Otherwise the message of UnknownKey (or that the key cannot be assigned) and nullopt.
std::optional<std::uint16_t> AssignableKeyIndex(Context& ctx, std::string_view name, const KeyVocabulary& words);

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
// Whether the keyboard read into the session keeps an entry for the key (its factory
// table names it). Otherwise says so on stderr (exit code 2) and gives false: what is
// assigned to such a key would never reach the keyboard.
bool KeyboardKeepsKey(Context& ctx, const KeyboardSession& session, std::uint16_t index);
// The key's name for output: its display name; the plain label while the language file
// has no text for it; "G1".."G18" for the G keys.
std::string KeyName(std::uint16_t code, const text::TextSource& texts);
// The name of a key button for output: KeyName of its code; "Fn" for Fn.
std::string KeyButtonName(const keys::LayoutKey& button, const text::TextSource& texts);

}  // namespace vantrel::ctl
