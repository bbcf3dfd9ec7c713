#include "core/profiles/undo_history.h"

#include <algorithm>
#include <set>

#include "core/device/read_back.h"
#include "core/keys/key_tooltip.h"

namespace vantrel::profiles {
namespace {

using keys::kRecordsPerSlot;
using keys::kSlotBytes;

constexpr std::size_t kSlotOffset(std::size_t slot) { return keys::kTableHeaderSize + slot * kSlotBytes; }

bool SameSlotValues(const lighting::UserMode& a, const lighting::UserMode& b) {
  for (std::size_t i = 0; i < a.ledSlots.size(); ++i) {
    if (a.ledSlots[i].colour != b.ledSlots[i].colour || a.ledSlots[i].followsBase != b.ledSlots[i].followsBase) {
      return false;
    }
  }
  return true;
}

bool SameModes(const lighting::UserModeSet& a, const lighting::UserModeSet& b) {
  if (a.selected != b.selected) return false;
  for (std::size_t m = 0; m < a.modes.size(); ++m) {
    const auto& x = a.modes[m];
    const auto& y = b.modes[m];
    if (x.name != y.name || x.tool != y.tool || x.base != y.base || x.brush != y.brush || !SameSlotValues(x, y)) {
      return false;
    }
  }
  return true;
}

bool SameLighting(const LightingValue& a, const LightingValue& b) {
  if (a.record != b.record || a.userModes.has_value() != b.userModes.has_value()) return false;
  return !a.userModes || SameModes(*a.userModes, *b.userModes);
}

std::size_t LightingBytes(const LightingValue& v) {
  return sizeof v + (v.userModes ? sizeof(lighting::UserModeSet) : 0);
}

}  // namespace

StoreSnapshot StoreSnapshot::Take(const keys::StoreImage& image, StoreParts parts) {
  StoreSnapshot s;
  s.parts_ = parts;
  const auto table = image.table.Bytes();
  for (std::size_t slot = 0; slot < keys::kProfileSlots; ++slot) {
    if (!(parts.slotBits & (1u << slot))) continue;
    Slot& copy = s.slots_[slot].emplace();
    const auto bytes = table.subspan(kSlotOffset(slot), kSlotBytes);
    copy.records.assign(bytes.begin(), bytes.end());
    copy.strings.resize(kRecordsPerSlot);
    for (std::size_t i = 0; i < kRecordsPerSlot; ++i) {
      if (const std::u16string* text = image.strings.Slot(slot * kRecordsPerSlot + i)) copy.strings[i] = *text;
    }
  }
  if (parts.macros) s.macros_ = std::make_shared<const std::vector<keys::MacroRecord>>(image.macros);
  return s;
}

void StoreSnapshot::PutBack(keys::StoreImage& image) const {
  const auto table = image.table.Bytes();
  for (std::size_t slot = 0; slot < keys::kProfileSlots; ++slot) {
    if (!slots_[slot]) continue;
    std::copy(slots_[slot]->records.begin(), slots_[slot]->records.end(), table.begin() + kSlotOffset(slot));
    for (std::size_t i = 0; i < kRecordsPerSlot; ++i) {
      const std::size_t s = slot * kRecordsPerSlot + i;
      if (const auto& text = slots_[slot]->strings[i]) {
        image.strings.Set(s, *text);
      } else {
        image.strings.Free(s);
      }
    }
  }
  if (macros_) image.macros = *macros_;
}

bool StoreSnapshot::Matches(const keys::StoreImage& image) const {
  const auto table = image.table.Bytes();
  for (std::size_t slot = 0; slot < keys::kProfileSlots; ++slot) {
    if (!slots_[slot]) continue;
    const auto bytes = table.subspan(kSlotOffset(slot), kSlotBytes);
    if (!std::equal(bytes.begin(), bytes.end(), slots_[slot]->records.begin(), slots_[slot]->records.end())) {
      return false;
    }
    for (std::size_t i = 0; i < kRecordsPerSlot; ++i) {
      const std::u16string* text = image.strings.Slot(slot * kRecordsPerSlot + i);
      const auto& kept = slots_[slot]->strings[i];
      if (kept.has_value() != (text != nullptr) || (kept && *kept != *text)) return false;
    }
  }
  return !macros_ || *macros_ == image.macros;
}

std::size_t StoreSnapshot::SlotBytes() const {
  std::size_t n = sizeof *this;
  for (const auto& slot : slots_) {
    if (!slot) continue;
    n += slot->records.size() + slot->strings.size() * sizeof(std::optional<std::u16string>);
    for (const auto& text : slot->strings) n += text ? text->size() * sizeof(char16_t) : 0;
  }
  return n;
}

std::size_t StoreSnapshot::MacroBytes() const {
  return macros_ ? macros_->size() * (keys::MacroRecord::kSize + sizeof(keys::MacroRecord)) : 0;
}

void StoreSnapshot::ShareMacros(const StoreSnapshot& other) {
  if (macros_ && other.macros_ && macros_ != other.macros_ && *macros_ == *other.macros_) macros_ = other.macros_;
}

bool operator==(const StoreSnapshot& a, const StoreSnapshot& b) {
  if (a.parts_ != b.parts_ || a.slots_ != b.slots_) return false;
  if (a.macros_ == b.macros_) return true;
  return a.macros_ && b.macros_ && *a.macros_ == *b.macros_;
}

UndoHistory::UndoHistory(std::size_t maxSteps, std::size_t maxBytes)
    : maxSteps_(std::max<std::size_t>(maxSteps, 1)), maxBytes_(maxBytes) {}

bool UndoHistory::PushStore(std::string name, int profile, StoreSnapshot before, StoreSnapshot after) {
  if (before == after) return false;
  // Consecutive macro edits mostly start from the list the previous step left: hold it once.
  if (!undo_.empty() && undo_.back().kind == StepKind::Store) before.ShareMacros(undo_.back().after);
  after.ShareMacros(before);
  Step step;
  step.name = std::move(name);
  step.profile = profile;
  step.kind = StepKind::Store;
  step.before = std::move(before);
  step.after = std::move(after);
  Push(std::move(step));
  return true;
}

bool UndoHistory::PushLighting(std::string name, int profile, LightingValue before, LightingValue after) {
  if (SameLighting(before, after)) return false;
  Step step;
  step.name = std::move(name);
  step.profile = profile;
  step.kind = StepKind::Lighting;
  step.lightingBefore = std::move(before);
  step.lightingAfter = std::move(after);
  Push(std::move(step));
  return true;
}

bool UndoHistory::ExtendLighting(int profile, LightingValue after) {
  if (undo_.empty() || !redo_.empty()) return false;
  Step& step = undo_.back();
  if (step.kind != StepKind::Lighting || step.profile != profile) return false;
  if (SameLighting(step.lightingBefore, after)) {
    undo_.pop_back();
    return true;
  }
  step.ownBytes += LightingBytes(after) - LightingBytes(step.lightingAfter);
  step.lightingAfter = std::move(after);
  lastLighting_ = Last::None;
  return true;
}

void UndoHistory::Push(Step step) {
  step.ownBytes = sizeof step + step.name.size() + LightingBytes(step.lightingBefore) +
                  LightingBytes(step.lightingAfter) + step.before.SlotBytes() + step.after.SlotBytes();
  redo_.clear();
  lastLighting_ = Last::None;
  undo_.push_back(std::move(step));
  Trim();
}

std::size_t UndoHistory::Bytes() const {
  // A macro list shared by several snapshots is counted once.
  std::set<const void*> lists;
  std::size_t n = 0;
  for (const auto* stack : {&undo_, &redo_}) {
    for (const Step& step : *stack) {
      n += step.ownBytes;
      for (const StoreSnapshot* s : {&step.before, &step.after}) {
        if (const void* list = s->MacroList(); list && lists.insert(list).second) n += s->MacroBytes();
      }
    }
  }
  return n;
}

void UndoHistory::Trim() {
  while (undo_.size() > maxSteps_) undo_.pop_front();
  // The newest step always stays: it is what the user just did.
  while (undo_.size() > 1 && Bytes() > maxBytes_) undo_.pop_front();
}

StepOutcome UndoHistory::Take(std::deque<Step>& from, std::deque<Step>& to, bool undo, keys::StoreImage& image) {
  StepOutcome out;
  if (from.empty()) return out;
  Step& step = from.back();
  out.name = step.name;
  out.profile = step.profile;
  if (step.kind == StepKind::Lighting) {
    out.result = StepOutcome::Result::Lighting;
    out.lighting = undo ? step.lightingBefore : step.lightingAfter;
    lastLighting_ = undo ? Last::Undo : Last::Redo;
  } else {
    const StoreSnapshot& expected = undo ? step.after : step.before;
    if (!expected.Matches(image)) {
      out.result = StepOutcome::Result::Stale;
      Clear();
      return out;
    }
    (undo ? step.before : step.after).PutBack(image);
    out.result = StepOutcome::Result::Store;
    out.parts = step.before.Parts();
    lastLighting_ = Last::None;
  }
  to.push_back(std::move(step));
  from.pop_back();
  return out;
}

StepOutcome UndoHistory::Undo(keys::StoreImage& image) { return Take(undo_, redo_, true, image); }

StepOutcome UndoHistory::Redo(keys::StoreImage& image) { return Take(redo_, undo_, false, image); }

void UndoHistory::LightingWriteFailed() {
  if (lastLighting_ == Last::Undo && !redo_.empty()) {
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
  } else if (lastLighting_ == Last::Redo && !undo_.empty()) {
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
  }
  lastLighting_ = Last::None;
}

void UndoHistory::Clear() {
  undo_.clear();
  redo_.clear();
  lastLighting_ = Last::None;
}

std::string UndoHistory::UndoName() const { return undo_.empty() ? std::string() : undo_.back().name; }

std::string UndoHistory::RedoName() const { return redo_.empty() ? std::string() : redo_.back().name; }

int UndoHistory::UndoProfile() const { return undo_.empty() ? -1 : undo_.back().profile; }

std::string ProfileName(const text::TextSource& texts, int profile) {
  return texts.Text("PROFILE_" + std::to_string(std::clamp(profile, 0, 2) + 1));
}

std::string KeyStepName(const text::TextSource& texts, std::string_view key, std::string_view assignment, int profile) {
  return device::Phrase(texts, "UNDO_STEP_KEY", {key, assignment, ProfileName(texts, profile)});
}

std::string KeyStepName(const text::TextSource& texts, std::string_view key, const keys::StoreImage& image,
                        int profile, std::size_t index) {
  const auto slot = static_cast<std::size_t>(std::clamp(profile, 0, 2));
  std::string words = keys::AssignmentWords(image.table.Record(slot, index), slot * kRecordsPerSlot + index, image, texts);
  if (words.empty()) words = key;
  return KeyStepName(texts, key, words, profile);
}

std::string StepName(const text::TextSource& texts, StepWhat what, int profile, std::string_view detail) {
  switch (what) {
    case StepWhat::Macros: return texts.Text("UNDO_STEP_MACROS");
    case StepWhat::RestoreDefault: return device::Phrase(texts, "UNDO_STEP_DEFAULT", {ProfileName(texts, profile)});
    case StepWhat::Import: return device::Phrase(texts, "UNDO_STEP_IMPORT", {detail});
    case StepWhat::Lighting: return device::Phrase(texts, "UNDO_STEP_LIGHTING", {ProfileName(texts, profile)});
    case StepWhat::KeyColours: return device::Phrase(texts, "UNDO_STEP_KEY_COLOURS", {ProfileName(texts, profile)});
    case StepWhat::Selection: return device::Phrase(texts, "UNDO_STEP_SELECTION", {ProfileName(texts, profile)});
  }
  return {};
}

}  // namespace vantrel::profiles
