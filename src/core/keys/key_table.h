// The device key table of one profile: 126 entries of 3 bytes (type, sub, value), 378
// bytes. Which key sits at an entry position is learnt only from the factory key table,
// so encoding and decoding both walk the factory entries.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/device/commands.h"
#include "core/keys/assignment.h"
#include "core/keys/key_codes.h"

namespace vantrel::keys {


using DeviceKeyTable = std::array<std::uint8_t, device::kKeyTableSize>;
using KeyTableView = std::span<const std::uint8_t, device::kKeyTableSize>;

// The image used until the factory key table has been read from the keyboard.
const DeviceKeyTable& InitialFactoryKeyTable();

KeyEntry EntryAt(KeyTableView table, std::size_t position);
void SetEntryAt(DeviceKeyTable& table, std::size_t position, const KeyEntry& entry);

// The entry a key assignment becomes; nullopt-like: returns false to keep the factory entry.
// macroIds: the ids of the macro list in list order (kind 4 refers to a macro by id, the
// keyboard by position).
bool EncodeAssignment(const KeyAssignment& record, std::span<const std::uint16_t> macroIds, KeyEntry& out);

// Whether the keyboard whose factory table this is keeps an entry for key index `index`:
// some position's factory entry names the key. A record of a key without one is never
// written to the keyboard.
bool FactoryTableHasKey(KeyTableView factory, std::uint16_t index);

// Profile `slot` of the table encoded over the factory table. Positions whose factory
// entry yields no key code are never changed.
DeviceKeyTable EncodeKeyTable(const AssignmentTable& table, std::size_t slot, KeyTableView factory,
                              std::span<const std::uint16_t> macroIds);

using ProfileRecords = std::array<KeyAssignment, kKeyIndexCount>;
// A table read from the keyboard back into 512 records (kind 4 codes are macro positions
// + 1, the ids a macro block read gives).
ProfileRecords DecodeKeyTable(KeyTableView table, KeyTableView factory);

}  // namespace vantrel::keys
