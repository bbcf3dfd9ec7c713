// What the keys and macros commands share: the texts and messages of the command line,
// reading the keyboard's configuration into an editing store and writing it back with
// the apply order, and the parsing of key names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/ctl/context.h"
#include "core/keys/apply.h"
#include "core/keys/device_config.h"
#include "core/keys/stores.h"
#include "core/text/cached_ini.h"
#include "core/text/text_source.h"

namespace vantrel::ctl {

// Texts of section "TEXT" of Lang0409.ini beside the program; "#Error" when missing.
class CtlTextSource final : public text::TextSource {
 public:
  CtlTextSource();
  std::string Text(std::string_view key) const override;
  std::string LightText(std::string_view key) const override;
  std::string ModeText(std::string_view key) const override;

 private:
  std::string Read(std::string_view section, std::string_view key) const;
  // Parsed once, again only when the file changes: import and export look up the names
  // of thousands of keys.
  text::CachedIniFile file_;
};

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

// The keyboard's configuration, read and decoded into an editing store.
struct KeyboardSession {
  keys::DeviceConfiguration config;
  keys::EditingStore editing;
  keys::AppliedStore applied;
  CtlTextSource texts;
};

// Reads everything; false (message, exit code) when a read fails, so nothing is ever
// written back from a partial picture.
bool LoadKeyboard(Context& ctx, KeyboardSession& session);
// Applies the editing store: all three profiles or only `profile`. False (exit code 1)
// when nothing or not everything was written.
bool WriteKeyboard(Context& ctx, KeyboardSession& session, keys::EditingStore::Lock& lock, bool allProfiles,
                   std::size_t profile, bool yes = false);

// Key index 0..511 of a name ("Esc", "Caps Lock", "G3"), a key index in decimal or a key
// code in hexadecimal (0x...). nullopt when it names nothing.
std::optional<std::uint16_t> ParseKeyIndex(std::string_view name, const text::TextSource& texts);
// The names closest to an unknown one, for the error message.
std::vector<std::string> CloseKeyNames(std::string_view name, const text::TextSource& texts);
// "unknown key 'X'" plus close matches, on stderr; exit code 2.
void UnknownKey(Context& ctx, std::string_view name, const text::TextSource& texts);

// Every name a key answers to, looked up once: ParseKeyIndex's answers without reading
// each key's display text again for every name (an import parses thousands of names).
// Built from the texts as they are now; build a new one to see changed texts.
class KeyNameIndex {
 public:
  explicit KeyNameIndex(const text::TextSource& texts);
  // The same answer as ParseKeyIndex(name, texts).
  std::optional<std::uint16_t> Find(std::string_view name) const;

 private:
  std::unordered_map<std::string, std::uint16_t> byLowerName_;
};

// The key code of an index (G keys 0x200 + n - 1).
std::uint16_t CodeOfKeyIndex(std::uint16_t index);
// The key's name for output: its display name; the plain label while the language file
// has no text for it; "G1".."G18" for the G keys.
std::string KeyName(std::uint16_t code, const text::TextSource& texts);

}  // namespace vantrel::ctl
