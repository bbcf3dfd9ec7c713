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
#include "scripting/key_names.h"

namespace vantrel::ctl {

// The key names every command takes (shared with the program's scripting interface).
using scripting::CodeOfKeyIndex;
using scripting::GKeyName;
using scripting::KeyButtonName;
using scripting::KeyName;
using scripting::KeyNameIndex;
using scripting::KeyRef;
using scripting::KeyVocabulary;
using scripting::ParseKeyIndex;

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

// "unknown key 'X'" plus close matches, on stderr; exit code 2.
void UnknownKey(Context& ctx, std::string_view name, const KeyVocabulary& words);
// The key a step or assignment may use: one with a key code of the key name table.
// Otherwise the message of UnknownKey (or that the key cannot be assigned) and nullopt.
std::optional<std::uint16_t> AssignableKeyIndex(Context& ctx, std::string_view name, const KeyVocabulary& words);

// Whether the keyboard read into the session keeps an entry for the key (its factory
// table names it). Otherwise says so on stderr (exit code 2) and gives false: what is
// assigned to such a key would never reach the keyboard.
bool KeyboardKeepsKey(Context& ctx, const KeyboardSession& session, std::uint16_t index);
}  // namespace vantrel::ctl
