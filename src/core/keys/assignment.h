// Key assignment records and the assignment table: 4 profile slots x 512 records of 16
// bytes after a 64-byte header, 32832 bytes in all, byte for byte the first part of a
// profile file. The key string table holds the program paths and text blocks of kinds 3
// and 6, one slot per record of the whole table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel::keys {

enum AssignmentKind : std::uint16_t {
  kKindFactory = 0,
  kKindDisabled = 1,
  kKindKey = 2,
  kKindLaunch = 3,
  kKindMacro = 4,
  kKindStopMacro = 5,
  kKindText = 6,
  kKindMedia = 7,
  kKindFunction = 8,
};

// 16 bytes, little-endian: u16 kind, u16 aux, i32 code, i32 selection flag, i32 reserved.
struct KeyAssignment {
  std::uint16_t kind = kKindFactory;
  std::uint16_t aux = 0;  // G keys: 0x0300 + n / 0x1300 + n; kind 4 from the key page: cycles
  std::int32_t code = 0;
  std::int32_t selected = 0;
  std::int32_t reserved = 0;

  static constexpr std::size_t kSize = 16;
  static KeyAssignment Load(std::span<const std::uint8_t> bytes);  // kSize bytes or fewer (zeros)
  void Store(std::span<std::uint8_t> bytes) const;
  friend bool operator==(const KeyAssignment&, const KeyAssignment&) = default;
};

inline constexpr std::size_t kTableHeaderSize = 64;  // file header (32) + key section header (32)
inline constexpr std::size_t kProfileSlots = 4;
inline constexpr std::size_t kRecordsPerSlot = 512;
inline constexpr std::size_t kSlotBytes = kRecordsPerSlot * KeyAssignment::kSize;  // 8192
inline constexpr std::size_t kRecordCount = kProfileSlots * kRecordsPerSlot;        // 2048
inline constexpr std::size_t kAssignmentTableSize = kTableHeaderSize + kProfileSlots * kSlotBytes;
static_assert(kAssignmentTableSize == 32832);

class AssignmentTable {
 public:
  // A new table: the key section header, all records kind 0, the G-key aux values of the
  // first slot (0x301-0x309 at records 256-264, 0x1301-0x1309 at 265-273).
  AssignmentTable();

  // Record of (slot, key index); a zero record for anything outside 4 x 512.
  KeyAssignment Record(std::size_t slot, std::size_t index) const;
  // Writes nothing for anything outside 4 x 512; false then.
  bool SetRecord(std::size_t slot, std::size_t index, const KeyAssignment& record);
  // Global record number s = slot x 512 + index, 0..2047.
  KeyAssignment RecordAt(std::size_t s) const { return Record(s / kRecordsPerSlot, s % kRecordsPerSlot); }
  bool SetRecordAt(std::size_t s, const KeyAssignment& r) {
    return SetRecord(s / kRecordsPerSlot, s % kRecordsPerSlot, r);
  }

  // The whole 32832-byte image.
  std::span<std::uint8_t, kAssignmentTableSize> Bytes() { return bytes_; }
  std::span<const std::uint8_t, kAssignmentTableSize> Bytes() const { return bytes_; }

  // Rebuilds the 32-byte file header at offset 0 for a macro count and a string total
  // (magic 0x4446, size 32, version 3.1, total size, 2048 records, flag, checksum last).
  void FillFileHeader(std::uint16_t macroCount, std::uint32_t stringTotal, std::uint8_t flag = 0);

  friend bool operator==(const AssignmentTable&, const AssignmentTable&) = default;

 private:
  std::array<std::uint8_t, kAssignmentTableSize> bytes_{};
};

// The G-key aux value a new table gives record index (0 for records that have none).
std::uint16_t DefaultAux(std::size_t slot, std::size_t index);

inline constexpr std::size_t kMacroRecordSize = 16512;
inline constexpr std::size_t kFileHeaderSize = 32;

// 2048 slots of UTF-16 strings (slot s belongs to record s of the whole table) and the
// total of their sizes in bytes, terminator included.
class KeyStringTable {
 public:
  KeyStringTable() : slots_(kRecordCount) {}

  const std::u16string* Slot(std::size_t s) const;
  // Bytes of slot s including the terminator; 0 when empty.
  std::uint32_t SlotSize(std::size_t s) const;
  void Set(std::size_t s, std::u16string text);
  void Free(std::size_t s);
  void Clear();
  std::int32_t Total() const { return total_; }

  friend bool operator==(const KeyStringTable&, const KeyStringTable&) = default;

 private:
  std::vector<std::u16string> slots_;
  std::vector<bool> used_ = std::vector<bool>(kRecordCount, false);
  std::int32_t total_ = 0;
};

}  // namespace vantrel::keys
