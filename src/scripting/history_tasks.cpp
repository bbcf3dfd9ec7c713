#include "scripting/history_tasks.h"

#include <utility>

#include "core/keys/device_config.h"
#include "scripting/keyboard_tasks.h"

namespace vantrel::scripting {

ScriptOutcome LoadHistoryEntry(const profiles::HistoryStore& store, int number, const text::TextSource& texts,
                               KeyboardConfiguration& configuration, std::string_view argument) {
  const auto listing = store.List();
  const int count = static_cast<int>(listing.entries.size());
  if (count == 0) return InvalidArgument(argument, "the history holds no entry");
  if (number < 1 || number > count) return OutOfRange(argument, number, 1, count);
  profiles::HistoryEntry entry;
  std::string why;
  if (!store.Load(number, entry, why)) return {ScriptError::Device, "history entry " + std::to_string(number) + ": " + why};
  if (!ReadHistoryDocument(entry.document, texts, configuration, why)) {
    return {ScriptError::Device, "history entry " + std::to_string(number) + ": " + why};
  }
  return {};
}

ScriptOutcome CompareWithHistoryEntry(device::CommandSet& commands, const lighting::KeyColourEditor& colourFiles,
                                      const profiles::HistoryStore& store, int number, const text::TextSource& texts,
                                      std::vector<std::string>& differences) {
  KeyboardConfiguration entry;
  if (auto loaded = LoadHistoryEntry(store, number, texts, entry); !loaded.Ok()) return loaded;
  const auto before = commands.LastFailure().count;
  keys::DeviceConfiguration keyboard;
  if (keys::ReadDeviceConfiguration(commands, keyboard) != device::kDeviceOk) {
    return DeviceOutcome("reading the keyboard's configuration", before, commands.LastFailure(), {});
  }
  ProfileLightings lighting;
  if (!ReadLightingRecordParts(commands, lighting)) {
    return DeviceOutcome("reading the keyboard's lighting", before, commands.LastFailure(), {});
  }
  ReadColourParts(colourFiles, lighting);
  differences = HistoryDifferences(entry, keyboard, lighting, texts);
  return {};
}

ScriptOutcome RestoreHistoryEntry(profiles::EditSession& session, const lighting::KeyColourEditor& colourFiles,
                                  const profiles::HistoryStore& store, int number, const text::TextSource& texts,
                                  std::string_view operation) {
  KeyboardConfiguration entry;
  if (auto loaded = LoadHistoryEntry(store, number, texts, entry); !loaded.Ok()) return loaded;
  return InstallDocument(session, colourFiles, std::move(entry.image), entry.lighting, operation);
}

}  // namespace vantrel::scripting
