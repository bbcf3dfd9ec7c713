// Macros: the 16512-byte macro record (the same image in memory and in profile files)
// and the macro block, the keyboard's image of all macros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/keys/assignment.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

inline constexpr std::size_t kMaxMacros = 100;
inline constexpr std::size_t kMaxActions = 2000;
inline constexpr std::size_t kMaxNameChars = 249;
inline constexpr std::int32_t kMaxDelayMs = 40000;
inline constexpr std::size_t kActionSize = 8;

enum Direction : std::uint16_t { kPress = 0, kRelease = 1 };

// 8 bytes: i32 delay in ms (the wait after the step), u16 key code, u16 direction.
struct MacroAction {
  std::int32_t delay = 0;
  std::uint16_t code = 0;
  std::uint16_t direction = kPress;
  friend bool operator==(const MacroAction&, const MacroAction&) = default;
};

// Record layout (little-endian): 0 name (500 bytes UTF-16 with terminator), 500 u8 cycles,
// 501 reserved, 502 u16 new-macro flag, 504 u16 repeat mode (PC side only), 506 u16 id,
// 508 u16 action count, 510 reserved, 512 2000 actions of 8 bytes.
class MacroRecord {
 public:
  static constexpr std::size_t kSize = kMacroRecordSize;
  static constexpr std::size_t kNameBytes = 500;
  static constexpr std::size_t kCyclesOffset = 500;
  static constexpr std::size_t kNewFlagOffset = 502;
  static constexpr std::size_t kRepeatOffset = 504;
  static constexpr std::size_t kIdOffset = 506;
  static constexpr std::size_t kCountOffset = 508;
  static constexpr std::size_t kActionsOffset = 512;
  static_assert(kActionsOffset + kMaxActions * kActionSize == kSize);

  MacroRecord() : bytes_(kSize, 0) {}
  // A record from a file image: exactly kSize bytes are taken, missing ones are zero.
  static MacroRecord FromBytes(std::span<const std::uint8_t> bytes);

  // The name up to its terminator, at most 249 characters.
  std::u16string Name() const;
  // Cut to 249 characters; the rest of the field is cleared.
  void SetName(std::u16string_view name);
  std::uint8_t Cycles() const { return bytes_[kCyclesOffset]; }
  void SetCycles(std::uint8_t c) { bytes_[kCyclesOffset] = c; }
  std::uint16_t NewFlag() const;
  void SetNewFlag(std::uint16_t flag);
  std::uint16_t RepeatMode() const;
  std::uint16_t Id() const;
  void SetId(std::uint16_t id);
  // The stored count, never more than 2000.
  std::size_t ActionCount() const;
  MacroAction Action(std::size_t i) const;
  std::vector<MacroAction> Actions() const;
  // At most 2000 actions are kept; directions above 1 are stored as press.
  void SetActions(std::span<const MacroAction> actions);

  std::span<const std::uint8_t, kSize> Bytes() const { return std::span<const std::uint8_t, kSize>(bytes_.data(), kSize); }
  friend bool operator==(const MacroRecord&, const MacroRecord&) = default;

 private:
  std::vector<std::uint8_t> bytes_;
};

// A new macro: the name, cycles 1, new-macro flag 1 (a 32-bit 1 at offset 502, so the
// repeat mode is 0), the id, no actions.
MacroRecord NewMacro(std::u16string_view name, std::uint16_t id);

// Macro block: u16 magic 0x55AA, u16 total size, u16 count n, u16 names flag, 8 zero
// bytes, n u16 entry offsets, then the entries (u16 actions a, u8 cycles, u8 name length,
// a device actions of 4 bytes, the name in UTF-16 without terminator when included).
inline constexpr std::uint16_t kMacroMagic = 0x55AA;
inline constexpr std::size_t kMacroBlockHeader = 16;
// Largest block the 16-bit size field can describe.
inline constexpr std::size_t kMaxMacroBlock = 0xFFFF;

struct MacroBlockSizes {
  std::size_t full = kMacroBlockHeader;  // with names
  std::size_t bare = kMacroBlockHeader;  // without names
};
MacroBlockSizes ComputeMacroBlockSizes(std::span<const MacroRecord> macros);

// Device action: word 0 bits 0-11 delay / 10, bits 12-14 type, bit 15 press; bytes 2-3
// the key entry bytes of the type.
std::uint32_t EncodeDeviceAction(const MacroAction& action);
MacroAction DecodeDeviceAction(std::span<const std::uint8_t> fourBytes);

// The block of the macros with or without names; empty when it would exceed 65535 bytes.
std::vector<std::uint8_t> BuildMacroBlock(std::span<const MacroRecord> macros, bool withNames);

// Macro records from a block read from the keyboard. Every count, size and offset is
// checked against the bytes present: at most 100 macros, entries that do not fit are
// cut (an entry whose offset lies outside gives an empty macro, so positions keep their
// meaning for the key tables). Ids are positions + 1; a macro without a stored name is
// named "MACRO_NEW_PREFIX" text + (position + 1).
std::vector<MacroRecord> ReadMacroBlock(std::span<const std::uint8_t> block, const text::TextSource& texts);

}  // namespace vantrel::keys
