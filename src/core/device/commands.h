// The command set: the only way feature code reaches the keyboard. Each operation frames
// one or more configuration reports, runs each through the transaction, checks the
// reply's status byte and copies read data out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "core/device/config_report.h"
#include "core/device/device_link.h"
#include "core/device/device_result.h"

namespace vantrel::device {

// Command codes.
inline constexpr std::uint8_t kCmdBegin = 0x01;
inline constexpr std::uint8_t kCmdEnd = 0x02;
inline constexpr std::uint8_t kCmdReadDeviceState = 0x03;
inline constexpr std::uint8_t kCmdWriteDeviceState = 0x04;
inline constexpr std::uint8_t kCmdReadParams = 0x05;
inline constexpr std::uint8_t kCmdWriteParams = 0x06;
inline constexpr std::uint8_t kCmdReadKeyTable = 0x07;
inline constexpr std::uint8_t kCmdWriteKeyTable = 0x08;
inline constexpr std::uint8_t kCmdReadMacroArea = 0x09;
inline constexpr std::uint8_t kCmdWriteMacroArea = 0x0A;
inline constexpr std::uint8_t kCmdTest = 0x0D;
inline constexpr std::uint8_t kCmdReadFactoryKeyTable = 0x0F;
inline constexpr std::uint8_t kCmdWriteKeyColours = 0x11;
inline constexpr std::uint8_t kCmdEnterBoot = 0xEE;
// Reserved for the keyboard; no feature issues them.
inline constexpr std::uint8_t kCmdReserved0B = 0x0B;
inline constexpr std::uint8_t kCmdReserved0C = 0x0C;
inline constexpr std::uint8_t kCmdReserved0E = 0x0E;
inline constexpr std::uint8_t kCmdReserved10 = 0x10;

// The keyboard's on-board profiles (0, 1, 2); each has a lighting record, a key table and
// a key-colour page.
inline constexpr std::size_t kProfileCount = 3;

// Device area sizes.
inline constexpr std::size_t kDeviceStateSize = 44;
inline constexpr std::size_t kLightingRecordSize = 42;
inline constexpr std::size_t kLightingAreaSize = kProfileCount * kLightingRecordSize;  // 126
// A key table: one 3-byte entry (type, sub, value) per position of the key matrix.
inline constexpr std::size_t kKeyEntryCount = 126;
inline constexpr std::size_t kKeyTableSize = kKeyEntryCount * 3;  // 378
inline constexpr std::size_t kKeyColourPageSize = 512;
inline constexpr std::size_t kMacroHeaderSize = 16;

// Offsets in the device state record.
inline constexpr std::size_t kStateActiveProfile = 10;
inline constexpr std::size_t kStateMacroCapacity = 11;  // units of 128 bytes
inline constexpr std::size_t kStateEffectList = 12;     // 32 effect-code slots
inline constexpr std::size_t kEffectSlots = 32;

// The last command the keyboard did not carry out, and how many failures there were so
// far: an operation that only returns true or false (a switch, an Apply) can still be
// told apart from a refusal found by reading back, and reported with its command.
struct CommandFailure {
  std::uint64_t count = 0;  // failures since the command set was made
  std::uint8_t command = 0;
  DeviceResult result = kDeviceOk;
};

class CommandSet {
 public:
  explicit CommandSet(DeviceLink& link) : link_(link) {}

  DeviceResult CmdBegin();
  DeviceResult CmdEnd();  // preceded by a 10 ms pause
  DeviceResult CmdReadDeviceState(std::span<std::uint8_t, kDeviceStateSize> destination);
  DeviceResult CmdWriteDeviceState(std::span<const std::uint8_t, kDeviceStateSize> source);
  // Copies all 56 reply payload bytes, whatever the length.
  DeviceResult CmdReadParams(std::span<std::uint8_t, kPayloadSize> destination, int length, std::uint16_t offset);
  // At most 56 bytes of source; a length of 0 or less sends no payload.
  DeviceResult CmdWriteParams(std::span<const std::uint8_t> source, int length, std::uint16_t offset);
  DeviceResult CmdReadKeyTable(std::span<std::uint8_t, kKeyTableSize> destination, unsigned tableIndex);
  DeviceResult CmdWriteKeyTable(std::span<const std::uint8_t, kKeyTableSize> source, unsigned tableIndex);
  DeviceResult CmdReadMacroArea(std::span<std::uint8_t> destination);
  DeviceResult CmdWriteMacroArea(std::span<const std::uint8_t> source);
  DeviceResult CmdTest();
  DeviceResult CmdReadFactoryKeyTable(std::span<std::uint8_t, kKeyTableSize> destination);
  // Offset = key index x 3 + profile x 512.
  DeviceResult CmdWriteKeyColours(std::span<const std::uint8_t> source, int length, unsigned keyIndex,
                                  unsigned profile);
  // One-way; the result of the service's write (the caller requires exactly 1).
  int CmdEnterBoot();

  DeviceLink& Link() { return link_; }

  // The last failed command (any thread may ask; the record is copied under its lock).
  CommandFailure LastFailure() const;

 private:
  // Notes a failed result of `command`; passes the result on.
  DeviceResult Noted(std::uint8_t command, DeviceResult result);

  DeviceResult Single(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                      std::span<const std::uint8_t> payload, std::span<std::uint8_t> readInto);
  DeviceResult Chunked(std::uint8_t command, std::uint16_t baseOffset, std::size_t count,
                       std::span<const std::uint8_t> source, std::span<std::uint8_t> destination);

  DeviceLink& link_;
  mutable std::mutex failureMutex_;
  CommandFailure failure_;
};

// The command's name in words ("write device state"), for messages; "command 0xNN"
// for codes no operation uses.
std::string CommandName(std::uint8_t command);

// Maps a reply's status byte to a result: 0xFF -> -102, 0xFE -> -103, else 1.
DeviceResult StatusResult(std::uint8_t status);

}  // namespace vantrel::device
