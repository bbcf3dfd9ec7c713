#include "scripting/configuration_history.h"

#include <algorithm>

#include "core/device/read_back.h"
#include "core/keys/keyboard_layout.h"
#include "core/keys/verify.h"
#include "core/lighting/colour.h"
#include "core/profiles/undo_history.h"
#include "core/text/utf16.h"
#include "scripting/key_names.h"

namespace vantrel::scripting {
namespace {

using device::Phrase;

// At most this many names in a summary part; the rest are counted.
constexpr std::size_t kNamesShown = 3;

std::string NameList(const std::vector<std::string>& names, const text::TextSource& texts) {
  std::string list;
  for (std::size_t i = 0; i < std::min(names.size(), kNamesShown); ++i) {
    if (i > 0) list += ", ";
    list += names[i];
  }
  if (names.size() > kNamesShown) {
    return Phrase(texts, "HISTORY_MORE", {list, std::to_string(names.size() - kNamesShown)});
  }
  return list;
}

std::string KeyIndexName(std::size_t index, const text::TextSource& texts) {
  const std::uint16_t code = CodeOfKeyIndex(static_cast<std::uint16_t>(index));
  return code != 0 ? KeyName(code, texts) : std::to_string(index);
}

// The keys of `slot` whose record or text differs.
std::vector<std::string> ChangedKeys(const keys::StoreImage& a, const keys::StoreImage& b, std::size_t slot,
                                     const text::TextSource& texts) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < keys::kRecordsPerSlot; ++i) {
    const std::size_t s = slot * keys::kRecordsPerSlot + i;
    const std::u16string* ta = a.strings.Slot(s);
    const std::u16string* tb = b.strings.Slot(s);
    const bool textDiffers = (ta == nullptr) != (tb == nullptr) || (ta && *ta != *tb);
    if (a.table.Record(slot, i) != b.table.Record(slot, i) || textDiffers) names.push_back(KeyIndexName(i, texts));
  }
  return names;
}

const keys::MacroRecord* MacroWithId(const std::vector<keys::MacroRecord>& macros, std::uint16_t id) {
  for (const auto& m : macros) {
    if (m.Id() == id) return &m;
  }
  return nullptr;
}

void SummariseMacros(const std::vector<keys::MacroRecord>& before, const std::vector<keys::MacroRecord>& after,
                     const text::TextSource& texts, std::vector<std::string>& parts) {
  std::vector<std::string> added, removed, changed;
  for (const auto& m : after) {
    const keys::MacroRecord* old = MacroWithId(before, m.Id());
    if (!old) {
      added.push_back(text::Utf16ToUtf8(m.Name()));
    } else if (!(*old == m)) {
      changed.push_back(text::Utf16ToUtf8(m.Name()));
    }
  }
  for (const auto& m : before) {
    if (!MacroWithId(after, m.Id())) removed.push_back(text::Utf16ToUtf8(m.Name()));
  }
  if (!added.empty()) parts.push_back(Phrase(texts, "HISTORY_MACROS_ADDED", {NameList(added, texts)}));
  if (!removed.empty()) parts.push_back(Phrase(texts, "HISTORY_MACROS_REMOVED", {NameList(removed, texts)}));
  if (!changed.empty()) parts.push_back(Phrase(texts, "HISTORY_MACROS_CHANGED", {NameList(changed, texts)}));
  // The key tables refer to macros by their place in the list: a new order is a change.
  if (added.empty() && removed.empty() && changed.empty() && !(before == after)) {
    parts.push_back(texts.Text("HISTORY_MACRO_ORDER"));
  }
}

bool SameModes(const std::optional<lighting::UserModeSet>& a, const std::optional<lighting::UserModeSet>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (a->selected != b->selected) return false;
  for (std::size_t m = 0; m < a->modes.size(); ++m) {
    const auto& x = a->modes[m];
    const auto& y = b->modes[m];
    if (x.name != y.name || x.tool != y.tool || x.base != y.base || x.brush != y.brush) return false;
    for (std::size_t s = 0; s < x.ledSlots.size(); ++s) {
      if (x.ledSlots[s].colour != y.ledSlots[s].colour || x.ledSlots[s].followsBase != y.ledSlots[s].followsBase) {
        return false;
      }
    }
  }
  return true;
}

// A profile's lighting record as a part gives it (over a zero record), or nullopt.
std::optional<lighting::LightingRecord> RecordOf(const ProfileLighting& part) {
  if (!part.fields) return std::nullopt;
  return MergeRecord(part, lighting::LightingRecord{});
}

// The name of the key whose light an LED slot is; its number when no key has it.
std::string LedSlotName(int slot, const text::TextSource& texts) {
  for (const keys::LayoutKey& key : keys::KeyboardLayout()) {
    if (key.ledSlot == slot) return KeyButtonName(key, texts);
  }
  return std::to_string(slot);
}

}  // namespace

std::string HistoryDocument(const KeyboardConfiguration& configuration, const text::TextSource& texts) {
  return ExportProfileJson(configuration.image, texts, configuration.lighting);
}

bool ReadHistoryDocument(const std::string& document, const text::TextSource& texts,
                         KeyboardConfiguration& configuration, std::string& error) {
  configuration = {};
  return ImportProfileJson(document, texts, configuration.image, configuration.lighting, error);
}

std::string SummariseChange(const KeyboardConfiguration& before, const KeyboardConfiguration& after,
                            const text::TextSource& texts) {
  std::vector<std::string> parts;
  for (std::size_t p = 0; p < lighting::kProfileCount; ++p) {
    const auto keys = ChangedKeys(before.image, after.image, p, texts);
    if (!keys.empty()) {
      parts.push_back(
          Phrase(texts, "HISTORY_KEYS", {profiles::ProfileName(texts, static_cast<int>(p)), NameList(keys, texts)}));
    }
  }
  SummariseMacros(before.image.macros, after.image.macros, texts, parts);
  for (std::size_t p = 0; p < lighting::kProfileCount; ++p) {
    const ProfileLighting& a = before.lighting[p];
    const ProfileLighting& b = after.lighting[p];
    const std::string profile = profiles::ProfileName(texts, static_cast<int>(p));
    if (RecordOf(a) != RecordOf(b)) parts.push_back(Phrase(texts, "HISTORY_LIGHTING", {profile}));
    if (a.keyColours != b.keyColours || !SameModes(a.userModes, b.userModes)) {
      parts.push_back(Phrase(texts, "HISTORY_KEY_COLOURS", {profile}));
    }
  }
  if (parts.empty()) return texts.Text("HISTORY_NO_CHANGE");
  std::string line = parts.front();
  for (std::size_t i = 1; i < parts.size(); ++i) line = Phrase(texts, "HISTORY_JOIN", {line, parts[i]});
  return profiles::OneLineSummary(line);
}

std::vector<std::string> HistoryDifferences(const KeyboardConfiguration& entry, const keys::DeviceConfiguration& keyboard,
                                            const ProfileLightings& keyboardLighting, const text::TextSource& texts) {
  std::vector<std::string> lines = keys::CompareImageWithKeyboard(entry.image, keyboard, texts);
  for (std::size_t p = 0; p < lighting::kProfileCount; ++p) {
    const ProfileLighting& kept = entry.lighting[p];
    const ProfileLighting& now = keyboardLighting[p];
    if (kept.fields && now.fields) {
      const lighting::LightingRecord held = MergeRecord(now, {});
      const lighting::LightingRecord written = MergeRecord(kept, held);
      for (auto& line : lighting::CompareLightingRecords(static_cast<int>(p), written, held, texts)) {
        lines.push_back(std::move(line));
      }
    }
    if (kept.keyColours && now.keyColours) {
      for (int s = 0; s < keys::kLedSlots; ++s) {
        const auto i = static_cast<std::size_t>(s);
        if ((*kept.keyColours)[i] == (*now.keyColours)[i]) continue;
        lines.push_back(device::DifferenceLine(
            texts, Phrase(texts, "READBACK_KEY_COLOUR", {std::to_string(p), LedSlotName(s, texts)}),
            lighting::HexColour((*kept.keyColours)[i]), lighting::HexColour((*now.keyColours)[i])));
      }
    }
  }
  return lines;
}

profiles::RecordResult RecordBeforeWrite(profiles::HistoryStore& store, profiles::HistorySource source,
                                         const KeyboardConfiguration& before, const KeyboardConfiguration& after,
                                         const text::TextSource& texts, std::string* why) {
  profiles::HistoryEntry entry;
  entry.time = profiles::HistoryNow();
  entry.source = source;
  entry.summary = SummariseChange(before, after, texts);
  entry.document = HistoryDocument(before, texts);
  return store.Record(entry, why);
}

}  // namespace vantrel::scripting
