// What vantrelctl, the bus and the History window do with the history alike: an entry
// read back as a configuration, what differs between an entry and the keyboard now, and
// an entry written back to the keyboard (recorded itself, so that it can be undone).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/device/commands.h"
#include "core/lighting/key_colours.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/history_store.h"
#include "core/text/text_source.h"
#include "scripting/configuration_history.h"
#include "scripting/script_outcome.h"

namespace vantrel::scripting {

// Entry `number` (1 the newest) read whole into `configuration`. InvalidArgument naming
// `argument` when there is no such entry; Device when it cannot be read (why in words).
ScriptOutcome LoadHistoryEntry(const profiles::HistoryStore& store, int number, const text::TextSource& texts,
                               KeyboardConfiguration& configuration, std::string_view argument = "number");

// What differs between entry `number` and the keyboard now, one line each, in the words
// verify uses: the keyboard's keys, macros and lighting records are read, the key
// colours and user modes taken from the colour files.
ScriptOutcome CompareWithHistoryEntry(device::CommandSet& commands, const lighting::KeyColourEditor& colourFiles,
                                      const profiles::HistoryStore& store, int number, const text::TextSource& texts,
                                      std::vector<std::string>& differences);

// Writes all of entry `number` to the keyboard as an import does (keys and macros read
// back, lighting records, key colours, colour files), `operation` naming the failure.
ScriptOutcome RestoreHistoryEntry(profiles::EditSession& session, const lighting::KeyColourEditor& colourFiles,
                                  const profiles::HistoryStore& store, int number, const text::TextSource& texts,
                                  std::string_view operation);

}  // namespace vantrel::scripting
