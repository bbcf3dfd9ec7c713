#include "sim/virtual_keyboard.h"

#include <algorithm>

#include "core/keys/key_codes.h"
#include "core/keys/key_table.h"
#include "core/util/bytes.h"

namespace vantrel::sim {

using namespace vantrel::device;

namespace {

struct MatrixEntry {
  int position;
  std::uint8_t type, sub, value;
};

// The keyboard's matrix: eight rows per column, positions column x 8 + row. Every key of
// the picture sits at its layout row's matrix position; these are the device's own
// function keys besides Fn (05 xx xx), which have no button. A G key is one key of the
// matrix, so only G1..G9 (06 A2 1..9) have entries: the second G-key layer has none.
constexpr MatrixEntry kDeviceOnlyKeys[] = {
    {0, 5, 0, 0}, {1, 5, 0, 0}, {2, 5, 0, 0}, {3, 5, 0, 0}, {4, 5, 0, 0}, {5, 5, 0, 0},
};

// The entry the keyboard reports for a key of the picture: 02 02 u keyboard usage,
// 02 01 m modifier bit, 03 lo hi consumer usage for the media keys, 06 A2 n G key n,
// 05 02 02 Fn.
keys::KeyEntry FactoryEntryOf(const keys::LayoutKey& key) {
  switch (key.kind) {
    case keys::LayoutKind::GKey:
      return {6, 0xA2, static_cast<std::uint8_t>(key.code - keys::kCodeFirstGKey + 1)};
    case keys::LayoutKind::Fn: return {5, 2, 2};
    case keys::LayoutKind::Ordinary: break;
  }
  for (const keys::MediaKey& m : keys::MediaKeyTable()) {
    if (m.code == key.code) {
      return {3, static_cast<std::uint8_t>(m.consumerUsage & 0xFF), static_cast<std::uint8_t>(m.consumerUsage >> 8)};
    }
  }
  if (const std::uint8_t bit = keys::ModifierBitOfCode(key.code); bit != 0) return {2, 1, bit};
  return {2, 2, static_cast<std::uint8_t>(keys::UsageOfCode(key.code).usage)};
}

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
  for (const auto& e : kDeviceOnlyKeys) keys::SetEntryAt(t, static_cast<std::size_t>(e.position), {e.type, e.sub, e.value});
  for (const auto& key : keys::KeyboardLayout()) {
    keys::SetEntryAt(t, static_cast<std::size_t>(key.matrixPosition), FactoryEntryOf(key));
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
  for (std::size_t t = 0; t < kProfileCount; ++t) {
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
      if (quirks_.stateNoise) {
        // Bytes 0-9 count and flag what the keyboard likes: a read counter and bits of it.
        ++stateReads_;
        StoreU32(deviceState_, 0, stateReads_);
        for (std::size_t i = 4; i < kStateActiveProfile; ++i) {
          deviceState_[i] = static_cast<std::uint8_t>((stateReads_ * 37u + i * 11u) >> (i - 4));
        }
      }
      return ReadArea(deviceState_, 0, out);
    case kCmdWriteDeviceState: {
      // Only the active profile (byte 10, 0..2) may change; anything else is refused. A
      // noisy keyboard keeps its own bytes 0-9, whatever the host sends back there.
      if (offset != 0 || length != kDeviceStateSize) return kStatusFailed;
      for (std::size_t i = 0; i < kDeviceStateSize; ++i) {
        if (quirks_.stateNoise && i < kStateActiveProfile) continue;
        if (i != kStateActiveProfile && bytes[i] != deviceState_[i]) return kStatusFailed;
      }
      if (bytes[kStateActiveProfile] > 2) return kStatusFailed;
      deviceState_[kStateActiveProfile] = bytes[kStateActiveProfile];
      return kOk;
    }
    case kCmdReadParams:
      return ReadArea(lighting_, offset, out);
    case kCmdWriteParams: {
      const std::uint8_t status = WriteArea(lighting_, offset, bytes);
      if (status == kOk && quirks_.lightingNormalised) NormaliseLighting(offset, bytes.size());
      return status;
    }
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

void VirtualKeyboard::NormaliseLighting(std::size_t offset, std::size_t length) {
  const std::size_t first = offset / kLightingRecordSize;
  const std::size_t last = std::min((offset + std::max<std::size_t>(length, 1) - 1) / kLightingRecordSize,
                                    kProfileCount - 1);
  for (std::size_t p = first; p <= last; ++p) {
    const auto record = std::span(lighting_).subspan(p * kLightingRecordSize, kLightingRecordSize);
    for (const std::size_t flag : {4u, 28u, 33u}) {  // multicolour, second and third colour cycling
      if (record[flag] != 0) record[flag] = 0xFF;
    }
    if (record[0] != 7) record[18] = 0xFF;  // the effect-7 flag means nothing to other effects
  }
}

void VirtualKeyboard::CorruptWrite(std::uint8_t command, std::size_t offset) {
  std::span<std::uint8_t> area;
  switch (command) {
    case kCmdWriteDeviceState:
      // The one byte a state write stores is the active profile.
      area = deviceState_;
      offset = kStateActiveProfile;
      break;
    case kCmdWriteParams: area = lighting_; break;
    case kCmdWriteKeyTable: area = keyTables_; break;
    case kCmdWriteMacroArea: area = macroArea_; break;
    case kCmdWriteKeyColours: area = keyColours_; break;
    default: return;  // only writes store anything
  }
  if (offset < area.size()) area[offset] ^= 0x01;
}

std::optional<ConfigReport> VirtualKeyboard::HandleConfigReport(std::span<const std::uint8_t, kReportSize> request,
                                                                bool corrupt) {
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
    if (status == kOk && corrupt) CorruptWrite(command, ReportOffset(request));
    if (status == kOk) {
      if (IsBracketedWrite(command) && !inBracket_) ++unbracketedWrites_;
      std::copy(out.begin(), out.end(), reply.begin() + kPayloadByte);
    }
  }
  reply[kStatusByte] = status;
  if (quirks_.offsetZero) StoreU16(reply, kOffsetByte, 0);
  SetReportChecksum(reply);
  if (quirks_.stateNoise && command == kCmdReadDeviceState) {
    // A checksum that changes on every read and is not the sum: nothing asks a reply for it.
    StoreU16(reply, kChecksumByte, static_cast<std::uint16_t>(ReportChecksum(reply) + stateReads_));
  }
  return reply;
}

}  // namespace vantrel::sim
