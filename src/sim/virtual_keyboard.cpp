#include "sim/virtual_keyboard.h"

#include <algorithm>

#include "core/util/bytes.h"

namespace vantrel::sim {

using namespace vantrel::device;

namespace {

struct MatrixEntry {
  int position;
  std::uint8_t type, sub, value;
};

// The keyboard's matrix: eight rows per column, positions column x 8 + row. The first
// 63 positions follow the keyboard's own default image; the rest of the board (right
// half, navigation block, number pad, media keys) fills positions 63..125.
// Entries: 02 02 u keyboard usage, 02 01 m modifier bit, 03 lo hi consumer usage,
// 05 xx xx device-only function keys (Fn among them), 06 A2 n G key n.
constexpr MatrixEntry kMatrix[] = {
    {0, 5, 0, 0}, {1, 5, 0, 0}, {2, 5, 0, 0}, {3, 5, 0, 0}, {4, 5, 0, 0}, {5, 5, 0, 0},
    {6, 6, 0xA2, 1}, {7, 6, 0xA2, 2},
    {8, 2, 2, 0x29}, {9, 2, 2, 0x35}, {10, 2, 2, 0x2B}, {11, 2, 2, 0x39}, {12, 2, 1, 0x02}, {13, 2, 1, 0x01},
    {14, 6, 0xA2, 3}, {15, 6, 0xA2, 4},
    {16, 2, 2, 0x3A}, {17, 2, 2, 0x1E}, {18, 2, 2, 0x14}, {19, 2, 2, 0x04}, {20, 2, 2, 0x1D}, {21, 2, 1, 0x08},
    {22, 6, 0xA2, 5}, {23, 6, 0xA2, 6},
    {24, 2, 2, 0x3B}, {25, 2, 2, 0x1F}, {26, 2, 2, 0x1A}, {27, 2, 2, 0x16}, {28, 2, 2, 0x1B}, {29, 2, 1, 0x04},
    {30, 6, 0xA2, 7}, {31, 6, 0xA2, 8},
    {32, 2, 2, 0x3C}, {33, 2, 2, 0x20}, {34, 2, 2, 0x08}, {35, 2, 2, 0x07}, {36, 2, 2, 0x06}, {37, 2, 2, 0x2C},
    {38, 2, 2, 0x46}, {39, 6, 0xA2, 9},
    {40, 2, 2, 0x3D}, {41, 2, 2, 0x21}, {42, 2, 2, 0x15}, {43, 2, 2, 0x09}, {44, 2, 2, 0x19}, {45, 2, 1, 0x40},
    {46, 2, 2, 0x47},
    {48, 2, 2, 0x3E}, {49, 2, 2, 0x22}, {50, 2, 2, 0x17}, {51, 2, 2, 0x0A}, {52, 2, 2, 0x05}, {53, 5, 2, 2},
    {54, 2, 2, 0x2E},
    {56, 2, 2, 0x3F}, {57, 2, 2, 0x23}, {58, 2, 2, 0x1C}, {59, 2, 2, 0x0B}, {60, 2, 2, 0x11}, {61, 2, 2, 0x65},
    {62, 2, 2, 0x48},
    // F7..F12, 7 8 9 0 -, Backspace
    {63, 2, 2, 0x40}, {64, 2, 2, 0x41}, {65, 2, 2, 0x42}, {66, 2, 2, 0x43}, {67, 2, 2, 0x44}, {68, 2, 2, 0x45},
    {69, 2, 2, 0x24}, {70, 2, 2, 0x25}, {71, 2, 2, 0x26}, {72, 2, 2, 0x27}, {73, 2, 2, 0x2D}, {74, 2, 2, 0x2A},
    // U I O P [ ] \   J K L ; ' Enter   M , . / right Shift
    {75, 2, 2, 0x18}, {76, 2, 2, 0x0C}, {77, 2, 2, 0x12}, {78, 2, 2, 0x13}, {79, 2, 2, 0x2F}, {80, 2, 2, 0x30},
    {81, 2, 2, 0x31}, {82, 2, 2, 0x0D}, {83, 2, 2, 0x0E}, {84, 2, 2, 0x0F}, {85, 2, 2, 0x33}, {86, 2, 2, 0x34},
    {87, 2, 2, 0x28}, {88, 2, 2, 0x10}, {89, 2, 2, 0x36}, {90, 2, 2, 0x37}, {91, 2, 2, 0x38}, {92, 2, 1, 0x20},
    // right Ctrl, right Win
    {93, 2, 1, 0x10}, {94, 2, 1, 0x80},
    // Insert Home Page Up Delete End Page Down, Right Left Down Up
    {95, 2, 2, 0x49}, {96, 2, 2, 0x4A}, {97, 2, 2, 0x4B}, {98, 2, 2, 0x4C}, {99, 2, 2, 0x4D}, {100, 2, 2, 0x4E},
    {101, 2, 2, 0x4F}, {102, 2, 2, 0x50}, {103, 2, 2, 0x51}, {104, 2, 2, 0x52},
    // Num Lock, Num / * - +, Num Enter, Num 1..9, Num 0, Num .
    {105, 2, 2, 0x53}, {106, 2, 2, 0x54}, {107, 2, 2, 0x55}, {108, 2, 2, 0x56}, {109, 2, 2, 0x57},
    {110, 2, 2, 0x58}, {111, 2, 2, 0x59}, {112, 2, 2, 0x5A}, {113, 2, 2, 0x5B}, {114, 2, 2, 0x5C},
    {115, 2, 2, 0x5D}, {116, 2, 2, 0x5E}, {117, 2, 2, 0x5F}, {118, 2, 2, 0x60}, {119, 2, 2, 0x61},
    {120, 2, 2, 0x62}, {121, 2, 2, 0x63},
    // Volume up, volume down, mute, calculator (consumer usages 0x0E9, 0x0EA, 0x0E2, 0x192)
    {122, 3, 0xE9, 0x00}, {123, 3, 0xEA, 0x00}, {124, 3, 0xE2, 0x00}, {125, 3, 0x92, 0x01},
};

// Default lighting per profile: a colour wave, a spectrum cycle and the per-key colours.
void PutRecord(std::array<std::uint8_t, kLightingAreaSize>& area, int profile, std::uint8_t effect,
               std::uint8_t multicolour, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const std::size_t base = static_cast<std::size_t>(profile) * kLightingRecordSize;
  area[base + 0] = effect;
  area[base + 1] = 4;     // brightness
  area[base + 2] = 2;     // speed
  area[base + 3] = 0x00;  // direction
  area[base + 4] = multicolour;
  area[base + 5] = r;
  area[base + 6] = g;
  area[base + 7] = b;
  area[base + 15] = 0;  // report rate button 0
}

bool IsBracketedWrite(std::uint8_t command) {
  return command == kCmdWriteParams || command == kCmdWriteKeyTable || command == kCmdWriteMacroArea ||
         command == kCmdWriteKeyColours;
}

constexpr std::uint8_t kOk = 0x00;

// Copies from an area into the reply payload: the area's bytes from offset, zeros past
// its end. A start outside the area is refused.
std::uint8_t ReadArea(std::span<const std::uint8_t> area, std::size_t offset,
                      std::span<std::uint8_t, kPayloadSize> out) {
  if (offset >= area.size()) return kStatusFailed;
  const std::size_t n = std::min(kPayloadSize, area.size() - offset);
  std::copy_n(area.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
  return kOk;
}

// A write must lie wholly inside the area.
std::uint8_t WriteArea(std::span<std::uint8_t> area, std::size_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > area.size() || area.size() - offset < bytes.size()) return kStatusFailed;
  std::copy(bytes.begin(), bytes.end(), area.begin() + static_cast<std::ptrdiff_t>(offset));
  return kOk;
}

}  // namespace

std::array<std::uint8_t, kDeviceStateSize> FactoryDeviceState() {
  std::array<std::uint8_t, kDeviceStateSize> s{};
  s[kStateActiveProfile] = 0;
  s[kStateMacroCapacity] = kDefaultMacroCapacityUnits;
  std::size_t slot = kStateEffectList;
  for (std::uint8_t code = 1; code <= 18; ++code) s[slot++] = code;
  s[slot] = 20;
  return s;
}

std::array<std::uint8_t, kKeyTableSize> FactoryKeyTable() {
  std::array<std::uint8_t, kKeyTableSize> t{};
  for (const auto& e : kMatrix) {
    t[e.position * 3 + 0] = e.type;
    t[e.position * 3 + 1] = e.sub;
    t[e.position * 3 + 2] = e.value;
  }
  return t;
}

std::array<std::uint8_t, kLightingAreaSize> FactoryLighting() {
  std::array<std::uint8_t, kLightingAreaSize> area{};
  PutRecord(area, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF);
  PutRecord(area, 1, 4, 0x00, 0x00, 0x80, 0xFF);
  PutRecord(area, 2, 20, 0x00, 0xFF, 0x40, 0x00);
  return area;
}

std::vector<std::uint8_t> EmptyMacroArea(std::size_t capacity) {
  std::vector<std::uint8_t> area(capacity, 0);
  if (capacity >= kMacroHeaderSize) {
    StoreU16(area, 0, 0x55AA);
    StoreU16(area, 2, static_cast<std::uint16_t>(kMacroHeaderSize));
    StoreU16(area, 4, 0);
    StoreU16(area, 6, 1);
  }
  return area;
}

VirtualKeyboard::VirtualKeyboard() { ResetToFactory(); }

void VirtualKeyboard::ResetToFactory() {
  present_ = true;
  bootMode_ = false;
  ledStatus_ = {0x05, 0x02};
  deviceState_ = FactoryDeviceState();
  lighting_ = FactoryLighting();
  factoryTable_ = FactoryKeyTable();
  for (std::size_t t = 0; t < kKeyTableCount; ++t) {
    std::copy(factoryTable_.begin(), factoryTable_.end(), keyTables_.begin() + static_cast<std::ptrdiff_t>(t * kKeyTableSize));
  }
  macroArea_ = EmptyMacroArea(MacroCapacity());
  keyColours_.fill(0);
  for (std::size_t p = 0; p < 3; ++p) {
    // A warm white on every slot of every page.
    for (std::size_t s = 0; s < 126; ++s) {
      keyColours_[p * kKeyColourPageSize + s * 3 + 0] = 0xFF;
      keyColours_[p * kKeyColourPageSize + s * 3 + 1] = 0xE0;
      keyColours_[p * kKeyColourPageSize + s * 3 + 2] = 0xC0;
    }
  }
  inBracket_ = false;
  unbracketedWrites_ = 0;
}

void VirtualKeyboard::StoreLedStatus(std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < ledStatus_.size(); ++i) ledStatus_[i] = i < bytes.size() ? bytes[i] : 0;
}

std::uint8_t VirtualKeyboard::Handle(std::uint8_t command, std::size_t length, std::size_t offset,
                                     std::span<const std::uint8_t> payload,
                                     std::span<std::uint8_t, kPayloadSize> out) {
  const auto bytes = payload.first(std::min(length, kPayloadSize));
  switch (command) {
    case kCmdBegin:
      inBracket_ = true;
      return kOk;
    case kCmdEnd:
      inBracket_ = false;
      return kOk;
    case kCmdTest:
    case kCmdReserved0B:
    case kCmdReserved0C:
    case kCmdReserved0E:
      return kOk;
    case kCmdReadDeviceState:
      if (offset != 0) return kStatusFailed;
      return ReadArea(deviceState_, 0, out);
    case kCmdWriteDeviceState: {
      // Only the active profile (byte 10, 0..2) may change; anything else is refused.
      if (offset != 0 || length != kDeviceStateSize) return kStatusFailed;
      for (std::size_t i = 0; i < kDeviceStateSize; ++i) {
        if (i != kStateActiveProfile && bytes[i] != deviceState_[i]) return kStatusFailed;
      }
      if (bytes[kStateActiveProfile] > 2) return kStatusFailed;
      deviceState_[kStateActiveProfile] = bytes[kStateActiveProfile];
      return kOk;
    }
    case kCmdReadParams:
      return ReadArea(lighting_, offset, out);
    case kCmdWriteParams:
      return WriteArea(lighting_, offset, bytes);
    case kCmdReadKeyTable:
      return ReadArea(keyTables_, offset, out);
    case kCmdWriteKeyTable:
      return WriteArea(keyTables_, offset, bytes);
    case kCmdReadMacroArea:
      return ReadArea(macroArea_, offset, out);
    case kCmdWriteMacroArea:
      return WriteArea(macroArea_, offset, bytes);
    case kCmdReadFactoryKeyTable:
      return ReadArea(factoryTable_, offset, out);
    case kCmdReserved10:
      return ReadArea(keyColours_, offset, out);
    case kCmdWriteKeyColours:
      return WriteArea(keyColours_, offset, bytes);
    default:
      return kStatusFailed;  // unknown command
  }
}

std::optional<ConfigReport> VirtualKeyboard::HandleConfigReport(std::span<const std::uint8_t, kReportSize> request) {
  ++requests_;
  const std::uint8_t command = request[kCommandByte];
  if (command == kCmdEnterBoot && request[kLengthByte] == kCmdEnterBoot) {
    bootMode_ = true;
    inBracket_ = false;
    return std::nullopt;
  }

  // The reply echoes report id, command, length and offset.
  ConfigReport reply{};
  std::copy_n(request.begin(), kStatusByte, reply.begin());
  std::uint8_t status;
  const std::size_t length = request[kLengthByte];
  if (!ReportChecksumValid(request)) {
    status = kStatusRejected;
  } else if (length > kPayloadSize) {
    status = kStatusFailed;
  } else {
    std::array<std::uint8_t, kPayloadSize> out{};
    status = Handle(command, length, ReportOffset(request), request.subspan<kPayloadByte, kPayloadSize>(), out);
    if (status == kOk) {
      if (IsBracketedWrite(command) && !inBracket_) ++unbracketedWrites_;
      std::copy(out.begin(), out.end(), reply.begin() + kPayloadByte);
    }
  }
  reply[kStatusByte] = status;
  SetReportChecksum(reply);
  return reply;
}

}  // namespace vantrel::sim
