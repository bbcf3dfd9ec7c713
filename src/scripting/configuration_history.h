// The history entries' content: the keyboard's whole configuration as the JSON export
// carries it (key tables, macros, lighting records, key colours and user colour modes),
// the one-line summary of what a write changes, and what differs between an entry and the
// keyboard now, in the words vantrelctl verify uses.
//
// Callers record before every write that changes the keyboard's configuration:
//
//   KeyboardConfiguration before = ...;  // what the keyboard holds now
//   KeyboardConfiguration after = before; // with the write's change laid over it
//   RecordBeforeWrite(store, HistorySource::Ctl, before, after, texts, &why);
//   ... the write ...
#pragma once

#include <string>
#include <vector>

#include "core/keys/device_config.h"
#include "core/keys/stores.h"
#include "core/profiles/history_store.h"
#include "core/text/text_source.h"
#include "scripting/profile_json.h"

namespace vantrel::scripting {

// What the keyboard holds: its keys and macros as the editing store holds them, and each
// profile's lighting as export reads it.
struct KeyboardConfiguration {
  keys::StoreImage image;
  ProfileLightings lighting;
};

// The document an entry keeps: the JSON export.
std::string HistoryDocument(const KeyboardConfiguration& configuration, const text::TextSource& texts);
// An entry's document read back. False with the reason (naming the field) otherwise.
bool ReadHistoryDocument(const std::string& document, const text::TextSource& texts,
                         KeyboardConfiguration& configuration, std::string& error);

// One line of what going from `before` to `after` changes, in the language in force:
// "keys of Profile 2: Caps Lock, A; macros added: Fire; lighting of Profile 1". Keys and
// macros are named (three at most, then how many more); "no change" when nothing differs.
std::string SummariseChange(const KeyboardConfiguration& before, const KeyboardConfiguration& after,
                            const text::TextSource& texts);

// What differs between an entry and the keyboard now, one line each, as verify words it
// ("profile 1, key Esc: written 02 02 29, the keyboard holds 02 02 28"; here "written" is
// the entry): keys and macros against the keyboard's configuration as read, then each
// profile's lighting record and key colours the entry holds. Empty when the keyboard holds
// the entry.
std::vector<std::string> HistoryDifferences(const KeyboardConfiguration& entry, const keys::DeviceConfiguration& keyboard,
                                            const ProfileLightings& keyboardLighting, const text::TextSource& texts);

// Keeps `before` in the history, summarised as the change to `after`. Unchanged when the
// newest entry holds `before` already. A failure is the caller's to report; it never stops
// the write.
profiles::RecordResult RecordBeforeWrite(profiles::HistoryStore& store, profiles::HistorySource source,
                                         const KeyboardConfiguration& before, const KeyboardConfiguration& after,
                                         const text::TextSource& texts, std::string* why = nullptr);

}  // namespace vantrel::scripting
