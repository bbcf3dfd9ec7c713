#include "core/keys/key_table.h"

#include <algorithm>

namespace vantrel::keys {
namespace {

DeviceKeyTable BuildInitial() {
  DeviceKeyTable t{};
  struct Init {
    std::uint8_t pos, type, sub, value;
  };
  static constexpr Init kInit[] = {
      {0, 5, 0, 0},       {1, 5, 0, 0},       {2, 5, 0, 0},       {3, 5, 0, 0},       {4, 5, 0, 0},
      {5, 5, 0, 0},       {8, 2, 2, 0x29},    {9, 2, 2, 0x35},    {10, 2, 2, 0x2B},   {11, 2, 2, 0x39},
      {12, 2, 1, 0x02},   {13, 2, 1, 0x01},   {16, 2, 2, 0x3A},   {17, 2, 2, 0x1E},   {18, 2, 2, 0x14},
      {19, 2, 2, 0x04},   {20, 2, 2, 0x1D},   {21, 2, 1, 0x08},   {24, 2, 2, 0x3B},   {25, 2, 2, 0x1F},
      {26, 2, 2, 0x1A},   {27, 2, 2, 0x16},   {28, 2, 2, 0x1B},   {29, 2, 1, 0x04},   {32, 2, 2, 0x3C},
      {33, 2, 2, 0x20},   {34, 2, 2, 0x08},   {35, 2, 2, 0x07},   {36, 2, 2, 0x06},   {37, 2, 2, 0x2C},
      {38, 2, 2, 0x46},   {40, 2, 2, 0x3D},   {41, 2, 2, 0x21},   {42, 2, 2, 0x15},   {43, 2, 2, 0x09},
      {44, 2, 2, 0x19},   {45, 2, 1, 0x40},   {46, 2, 2, 0x47},   {48, 2, 2, 0x3E},   {49, 2, 2, 0x22},
      {50, 2, 2, 0x17},   {51, 2, 2, 0x0A},   {52, 2, 2, 0x05},   {53, 5, 2, 0x02},   {54, 2, 2, 0x2E},
      {56, 2, 2, 0x3F},   {57, 2, 2, 0x23},   {58, 2, 2, 0x1C},   {59, 2, 2, 0x0B},   {60, 2, 2, 0x11},
      {61, 2, 2, 0x65},   {62, 2, 2, 0x48},
  };
  for (const Init& i : kInit) SetEntryAt(t, i.pos, {i.type, i.sub, i.value});
  return t;
}

}  // namespace

const DeviceKeyTable& InitialFactoryKeyTable() {
  static const DeviceKeyTable kTable = BuildInitial();
  return kTable;
}

KeyEntry EntryAt(KeyTableView t, std::size_t k) {
  if (k >= device::kKeyEntryCount) return {};
  return {t[3 * k], t[3 * k + 1], t[3 * k + 2]};
}

void SetEntryAt(DeviceKeyTable& t, std::size_t k, const KeyEntry& e) {
  if (k >= device::kKeyEntryCount) return;
  t[3 * k] = e.type;
  t[3 * k + 1] = e.sub;
  t[3 * k + 2] = e.value;
}

bool EncodeAssignment(const KeyAssignment& r, std::span<const std::uint16_t> macroIds, KeyEntry& out) {
  switch (r.kind) {
    case kKindDisabled:
    case kKindText:
      out = {0, 0, 0};
      return true;
    case kKindKey: {
      const auto code = static_cast<std::uint16_t>(r.code);
      if (std::uint8_t bit = ModifierBitOfCode(code); bit != 0) {
        out = {0x02, 0x01, bit};
      } else if (code == kCodeWheelUp) {
        out = {0x01, 0x05, 0x01};
      } else if (code == kCodeWheelDown) {
        out = {0x01, 0x05, 0xFF};
      } else if (code == kCodeMouseLeft) {
        out = {0x01, 0x01, 0x01};
      } else if (code == kCodeMouseRight) {
        out = {0x01, 0x01, 0x02};
      } else if (code == kCodeMouseMiddle) {
        out = {0x01, 0x01, 0x04};
      } else {
        const Usage u = UsageOfCode(code);
        out = {0x02, 0x02, static_cast<std::uint8_t>(u.page == kPageKeyboard ? u.usage : 0)};
      }
      return true;
    }
    case kKindMacro: {
      std::uint8_t position = 0;
      for (std::size_t i = 0; i < macroIds.size(); ++i) {
        if (macroIds[i] == r.code) {
          position = static_cast<std::uint8_t>(i);
          break;
        }
      }
      out = {0x05, 0x01, position};
      return true;
    }
    case kKindStopMacro:
      out = {0x05, 0x02, 0x00};
      return true;
    case kKindMedia: {
      // An index outside the media table (only from a damaged file) keeps the factory
      // entry rather than reading past the table.
      if (r.code < 0 || r.code >= static_cast<std::int32_t>(kMediaKeyCount)) return false;
      const std::uint16_t usage = MediaKeyTable()[static_cast<std::size_t>(r.code)].consumerUsage;
      out = {0x03, static_cast<std::uint8_t>(usage), static_cast<std::uint8_t>(usage >> 8)};
      return true;
    }
    case kKindFunction:
      out = {0x05, 0x05, static_cast<std::uint8_t>(r.code)};
      return true;
    default:  // 0 factory function, 3 launch a program (PC side), unknown kinds
      return false;
  }
}

bool FactoryTableHasKey(KeyTableView factory, std::uint16_t index) {
  for (std::size_t k = 0; k < device::kKeyEntryCount; ++k) {
    const std::uint16_t c = CodeOfEntry(EntryAt(factory, k));
    if (c != 0 && KeyIndexOfCode(c) == index) return true;
  }
  return false;
}

DeviceKeyTable EncodeKeyTable(const AssignmentTable& table, std::size_t slot, KeyTableView factory,
                              std::span<const std::uint16_t> macroIds) {
  DeviceKeyTable out;
  std::copy(factory.begin(), factory.end(), out.begin());
  for (std::size_t k = 0; k < device::kKeyEntryCount; ++k) {
    const std::uint16_t c = CodeOfEntry(EntryAt(factory, k));
    if (c == 0) continue;
    KeyEntry e;
    if (EncodeAssignment(table.Record(slot, KeyIndexOfCode(c)), macroIds, e)) SetEntryAt(out, k, e);
  }
  return out;
}

ProfileRecords DecodeKeyTable(KeyTableView t, KeyTableView factory) {
  ProfileRecords records{};
  for (std::size_t i = 0; i < kKeyIndexCount; ++i) records[i].aux = DefaultAux(0, i);
  for (std::size_t k = 0; k < device::kKeyEntryCount; ++k) {
    const KeyEntry e = EntryAt(t, k);
    const KeyEntry f = EntryAt(factory, k);
    if (e == f) continue;
    const std::uint16_t c = CodeOfEntry(f);
    if (c == 0) continue;
    const std::uint16_t index = KeyIndexOfCode(c);
    if (index >= kKeyIndexCount) continue;
    KeyAssignment& r = records[index];
    r.kind = kKindDisabled;
    r.code = 0;
    if (e.type == 0x05 && e.sub == 0x01) {
      r.kind = kKindMacro;
      r.code = e.value + 1;
    } else if (e.type == 0x05 && e.sub == 0x02) {
      r.kind = kKindStopMacro;
    } else if (e.type == 0x05 && e.sub == 0x05) {
      r.kind = kKindFunction;
      r.code = e.value;
    } else if (e.type == 0x03) {
      const int m = MediaIndexOfUsage(static_cast<std::uint16_t>(e.sub | (e.value << 8)));
      if (m >= 0) {
        r.kind = kKindMedia;
        r.code = m;
      }
    } else if (e.type == 0x01) {
      const std::uint16_t code = CodeOfEntry(e);
      if (code != 0) {
        r.kind = kKindKey;
        r.code = code;
      }
    } else if (e.type == 0x02 && e.sub == 0x02) {
      const std::uint16_t code = CodeOfUsage(kPageKeyboard, e.value);
      if (code != 0) {
        r.kind = kKindKey;
        r.code = code;
      }
    } else if (e.type == 0x02 && e.sub == 0x01) {
      const std::uint16_t code = ModifierCodeOfBits(e.value);
      if (code != 0) {
        r.kind = kKindKey;
        r.code = code;
      }
    }
  }
  return records;
}

}  // namespace vantrel::keys
