// Whole lighting records moved between the keyboard and a profile document: all three
// read in one bracket, and one record written whole. (Defined with the other lighting
// writes in lighting.cpp, whose bracket and read-back they share.)
#pragma once

#include <array>

#include "core/device/commands.h"
#include "core/lighting/lighting.h"
#include "core/lighting/lighting_record.h"

namespace vantrel::lighting {

// The three records in one read bracket (begin, three 0x05 reads, end) into `records`;
// false when any read failed (that record keeps what it held before).
bool ReadLightingRecords(device::CommandSet& commands, std::array<LightingRecord, kProfileCount>& records);

// A whole record, reserved bytes included, as one write of 42 bytes at 42p in a bracket
// of its own, read back like every change. The state keeps the record as the profile's
// last copy.
WriteOutcome SendLightingRecord(device::CommandSet& commands, LightingState& state, int profile,
                                const LightingRecord& record);

}  // namespace vantrel::lighting
