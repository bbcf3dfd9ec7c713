// Reading the keyboard's whole key and macro configuration: the three key tables, the
// macro block (its 16-byte header first, the rest only when the magic is right), the
// factory key table and the device state (active profile, macro capacity).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/device/commands.h"
#include "core/keys/key_table.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

struct DeviceConfiguration {
  std::array<DeviceKeyTable, device::kProfileCount> tables{};
  std::vector<std::uint8_t> macroBlock;  // empty when the header's magic is wrong
  DeviceKeyTable factory = InitialFactoryKeyTable();
  bool factoryRead = false;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  int activeProfile = -1;
  std::size_t macroCapacity = 0;
};

// 1 when every read succeeded; else the first failure (what was read stays). A failed
// factory-table read keeps the built-in image.
// `knownFactory`: the factory key table read from this keyboard already (on its
// arrival); it is taken instead of being read again.
device::DeviceResult ReadDeviceConfiguration(device::CommandSet& commands, DeviceConfiguration& out,
                                             const DeviceKeyTable* knownFactory = nullptr);

// The macro header, then the block of the size it gives (at least the header) when its
// magic is 0x55AA. An empty block means no macros.
device::DeviceResult ReadMacroArea(device::CommandSet& commands, std::vector<std::uint8_t>& block);

// The configuration decoded into an image: profiles 0..2 from their key tables, slot 3
// as a new table has it, the macros of the block.
void DecodeIntoImage(const DeviceConfiguration& config, const text::TextSource& texts, StoreImage& image);

}  // namespace vantrel::keys
