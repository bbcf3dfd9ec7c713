#include "core/keys/assignment.h"

#include "core/util/bytes.h"

namespace vantrel::keys {

KeyAssignment KeyAssignment::Load(std::span<const std::uint8_t> b) {
  KeyAssignment r;
  r.kind = LoadU16(b, 0);
  r.aux = LoadU16(b, 2);
  r.code = LoadI32(b, 4);
  r.selected = LoadI32(b, 8);
  r.reserved = LoadI32(b, 12);
  return r;
}

void KeyAssignment::Store(std::span<std::uint8_t> b) const {
  if (b.size() < kSize) return;
  StoreU16(b, 0, kind);
  StoreU16(b, 2, aux);
  StoreI32(b, 4, code);
  StoreI32(b, 8, selected);
  StoreI32(b, 12, reserved);
}

std::uint16_t DefaultAux(std::size_t slot, std::size_t index) {
  if (slot != 0) return 0;
  if (index >= 256 && index <= 264) return static_cast<std::uint16_t>(0x301 + (index - 256));
  if (index >= 265 && index <= 273) return static_cast<std::uint16_t>(0x1301 + (index - 265));
  return 0;
}

AssignmentTable::AssignmentTable() {
  // Key section header at offset 32: magic 0x484B, size 32, 32800 bytes, 4 tables of 512,
  // the keyboard's vendor and product ids and two fixed words.
  std::span<std::uint8_t> h = std::span<std::uint8_t>(bytes_).subspan(kFileHeaderSize, 32);
  StoreU16(h, 0, 0x484B);
  StoreU16(h, 2, 32);
  StoreU32(h, 4, 32800);
  StoreU16(h, 8, 4);
  StoreU16(h, 10, 512);
  StoreU16(h, 16, 0x0C45);
  StoreU16(h, 18, 0x7666);
  StoreU16(h, 20, 0x1C4F);
  StoreU16(h, 22, 0x000E);
  for (std::size_t i = 256; i <= 273; ++i) {
    KeyAssignment r;
    r.aux = DefaultAux(0, i);
    SetRecord(0, i, r);
  }
  FillFileHeader(0, 0);
}

KeyAssignment AssignmentTable::Record(std::size_t slot, std::size_t index) const {
  if (slot >= kProfileSlots || index >= kRecordsPerSlot) return {};
  const std::size_t off = kTableHeaderSize + slot * kSlotBytes + index * KeyAssignment::kSize;
  return KeyAssignment::Load(std::span<const std::uint8_t>(bytes_).subspan(off, KeyAssignment::kSize));
}

bool AssignmentTable::SetRecord(std::size_t slot, std::size_t index, const KeyAssignment& record) {
  if (slot >= kProfileSlots || index >= kRecordsPerSlot) return false;
  const std::size_t off = kTableHeaderSize + slot * kSlotBytes + index * KeyAssignment::kSize;
  record.Store(std::span<std::uint8_t>(bytes_).subspan(off, KeyAssignment::kSize));
  return true;
}

void AssignmentTable::FillFileHeader(std::uint16_t macroCount, std::uint32_t stringTotal, std::uint8_t flag) {
  std::span<std::uint8_t> h = std::span<std::uint8_t>(bytes_).first(kFileHeaderSize);
  for (auto& b : h) b = 0;
  StoreU16(h, 0, 0x4446);
  StoreU16(h, 2, 32);
  StoreU16(h, 4, 3);
  StoreU16(h, 6, 1);
  StoreU32(h, 8, static_cast<std::uint32_t>(kAssignmentTableSize + macroCount * kMacroRecordSize + stringTotal));
  StoreU16(h, 12, static_cast<std::uint16_t>(kRecordCount));
  StoreU16(h, 14, macroCount);
  StoreU32(h, 16, stringTotal);
  h[30] = flag;
  unsigned sum = 0;
  for (std::size_t i = 0; i < 31; ++i) sum += h[i];
  h[31] = static_cast<std::uint8_t>(sum);
}

const std::u16string* KeyStringTable::Slot(std::size_t s) const {
  if (s >= kRecordCount || !used_[s]) return nullptr;
  return &slots_[s];
}

std::uint32_t KeyStringTable::SlotSize(std::size_t s) const {
  if (s >= kRecordCount || !used_[s]) return 0;
  return static_cast<std::uint32_t>(2 * slots_[s].size() + 2);
}

void KeyStringTable::Set(std::size_t s, std::u16string text) {
  if (s >= kRecordCount) return;
  Free(s);
  // The string is stored with one terminator; anything after an embedded zero is dropped.
  if (auto z = text.find(u'\0'); z != std::u16string::npos) text.resize(z);
  slots_[s] = std::move(text);
  used_[s] = true;
  total_ += static_cast<std::int32_t>(SlotSize(s));
}

void KeyStringTable::Free(std::size_t s) {
  if (s >= kRecordCount || !used_[s]) return;
  total_ -= static_cast<std::int32_t>(SlotSize(s));
  slots_[s].clear();
  used_[s] = false;
}

void KeyStringTable::Clear() {
  for (std::size_t s = 0; s < kRecordCount; ++s) Free(s);
  total_ = 0;
}

}  // namespace vantrel::keys
