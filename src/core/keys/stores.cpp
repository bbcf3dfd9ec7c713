#include "core/keys/stores.h"

#include <algorithm>

#include "core/keys/key_codes.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"

namespace vantrel::keys {
namespace {

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

// A combo box's string search: an entry whose text begins with the name, case ignored.
bool AnyNameBeginsWith(const StoreImage& image, std::u16string_view prefix) {
  for (const MacroRecord& m : image.macros) {
    const std::u16string name = m.Name();
    if (name.size() < prefix.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < prefix.size() && same; ++i) same = Fold(name[i]) == Fold(prefix[i]);
    if (same) return true;
  }
  return false;
}

}  // namespace

MacroIdList MacroIdsOf(const std::vector<MacroRecord>& macros) {
  MacroIdList ids;
  ids.reserve(macros.size());
  for (const MacroRecord& m : macros) ids.push_back(m.Id());
  return ids;
}

std::size_t MacroPositionOfId(const StoreImage& image, std::uint16_t id) {
  for (std::size_t i = 0; i < image.macros.size(); ++i) {
    if (image.macros[i].Id() == id) return i;
  }
  return 0;
}

std::uint16_t MacroIdAtPosition(const StoreImage& image, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= image.macros.size()) return 0;
  return image.macros[static_cast<std::size_t>(position)].Id();
}

std::uint16_t SmallestFreeMacroId(const StoreImage& image) {
  for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
    const bool used = std::any_of(image.macros.begin(), image.macros.end(),
                                  [id](const MacroRecord& m) { return m.Id() == id; });
    if (!used) return id;
  }
  return 0;
}

std::optional<std::size_t> AddMacro(StoreImage& image, MacroNaming& naming, const text::TextSource& texts,
                                    text::MessageSink& sink) {
  if (image.macros.size() >= kMaxMacros) {
    sink.ShowMessage(text::FormatWithNumber(texts.Text("MACRO_ERR_MAX"), static_cast<std::int64_t>(kMaxMacros)));
    return std::nullopt;
  }
  if (image.macros.empty()) naming.counter = 1;
  const std::u16string prefix = text::Utf8ToUtf16(texts.Text("MACRO_NEW_PREFIX"));
  std::u16string name;
  // At most 100 names can be taken, so this ends within 101 attempts.
  for (;;) {
    name = prefix + text::Utf8ToUtf16(std::to_string(naming.counter++));
    if (!AnyNameBeginsWith(image, name)) break;
  }
  image.macros.push_back(NewMacro(name, SmallestFreeMacroId(image)));
  return image.macros.size() - 1;
}

bool MacroUsedByKeys(const StoreImage& image, std::uint16_t id) {
  for (std::size_t s = 0; s < kRecordCount; ++s) {
    const KeyAssignment r = image.table.RecordAt(s);
    if (r.kind == kKindMacro && r.code == id) return true;
  }
  return false;
}

MacroDeleteCheck CheckMacroDelete(const StoreImage& image, std::size_t position) {
  MacroDeleteCheck check;
  if (position >= image.macros.size()) return check;
  const MacroRecord& m = image.macros[position];
  check.exists = true;
  check.id = m.Id();
  check.needsConfirm = m.NewFlag() != 1 && MacroUsedByKeys(image, m.Id());
  return check;
}

bool EraseMacro(StoreImage& image, std::size_t position, std::uint16_t checkedId) {
  if (position >= image.macros.size() || image.macros[position].Id() != checkedId) return false;
  image.macros.erase(image.macros.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

bool DeleteMacro(StoreImage& image, std::size_t position, const text::TextSource& texts, text::MessageSink& sink) {
  const MacroDeleteCheck check = CheckMacroDelete(image, position);
  if (!check.exists) return false;
  if (check.needsConfirm && !sink.AskYesNo(texts.Text("MACRO_DELETE_CONFIRM_OF_KEYS"), false)) return false;
  return EraseMacro(image, position, check.id);
}

bool RenameMacro(StoreImage& image, std::size_t position, std::u16string_view name) {
  if (image.macros.empty()) {
    image.macros.push_back(NewMacro(name, SmallestFreeMacroId(image)));
    return true;
  }
  if (position >= image.macros.size()) return false;
  image.macros[position].SetName(name);
  return true;
}

std::vector<std::size_t> SaveMacros(StoreImage& image) {
  std::vector<std::size_t> changed;
  for (std::size_t s = 0; s < kRecordCount; ++s) {
    KeyAssignment r = image.table.RecordAt(s);
    if (r.kind != kKindMacro) continue;
    if (r.code != 0) {
      auto it = std::find_if(image.macros.begin(), image.macros.end(),
                             [&](const MacroRecord& m) { return m.Id() == r.code; });
      if (it == image.macros.end() || it->NewFlag() == 1) {
        r.kind = kKindFactory;
        r.code = 0;
        image.table.SetRecordAt(s, r);
        changed.push_back(s);
      }
    } else if (!image.macros.empty()) {
      r.code = image.macros.front().Id();
      image.table.SetRecordAt(s, r);
      changed.push_back(s);
    }
  }
  for (MacroRecord& m : image.macros) m.SetNewFlag(0);
  return changed;
}

bool StoreKeyAssignment(StoreImage& image, std::size_t slot, std::size_t index, KeyAssignment record,
                        std::optional<std::u16string> text) {
  if (slot >= kProfileSlots || index >= kRecordsPerSlot) return false;
  const std::size_t s = slot * kRecordsPerSlot + index;
  image.strings.Free(s);
  if (record.kind == kKindKey &&
      (record.code == 0 || KeyIndexOfCode(static_cast<std::uint16_t>(record.code)) == index)) {
    record.kind = kKindFactory;
    record.code = 0;
  }
  if (record.kind == kKindMacro && image.macros.empty()) {
    record.kind = kKindFactory;
    record.code = 0;
  }
  if ((record.kind == kKindLaunch || record.kind == kKindText) && text) {
    image.strings.Set(s, std::move(*text));
    record.code = 0;
  }
  return image.table.SetRecord(slot, index, record);
}

}  // namespace vantrel::keys
