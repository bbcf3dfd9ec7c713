#include "core/keys/device_config.h"

#include "core/util/bytes.h"

namespace vantrel::keys {

device::DeviceResult ReadMacroArea(device::CommandSet& commands, std::vector<std::uint8_t>& block) {
  block.clear();
  std::vector<std::uint8_t> header(kMacroBlockHeader, 0);
  const device::DeviceResult r = commands.CmdReadMacroArea(header);
  if (r != device::kDeviceOk) return r;
  if (LoadU16(header, 0) != kMacroMagic) return device::kDeviceOk;
  const std::size_t total = std::max<std::size_t>(LoadU16(header, 2), kMacroBlockHeader);
  block.assign(total, 0);
  const device::DeviceResult r2 = commands.CmdReadMacroArea(block);
  if (r2 != device::kDeviceOk) block.clear();
  return r2;
}

device::DeviceResult ReadDeviceConfiguration(device::CommandSet& commands, DeviceConfiguration& out,
                                             const DeviceKeyTable* knownFactory) {
  device::DeviceResult first = device::kDeviceOk;
  auto note = [&first](device::DeviceResult r) {
    if (first == device::kDeviceOk && r != device::kDeviceOk) first = r;
    return r;
  };
  if (note(commands.CmdReadDeviceState(out.state)) == device::kDeviceOk) {
    out.activeProfile = out.state[device::kStateActiveProfile];
    out.macroCapacity = static_cast<std::size_t>(out.state[device::kStateMacroCapacity]) * 128;
  }
  DeviceKeyTable factory{};
  if (knownFactory != nullptr) {
    out.factory = *knownFactory;
    out.factoryRead = true;
  } else if (note(commands.CmdReadFactoryKeyTable(factory)) == device::kDeviceOk) {
    out.factory = factory;
    out.factoryRead = true;
  }
  for (unsigned p = 0; p < device::kProfileCount; ++p) note(commands.CmdReadKeyTable(out.tables[p], p));
  note(ReadMacroArea(commands, out.macroBlock));
  return first;
}

void DecodeIntoImage(const DeviceConfiguration& config, const text::TextSource& texts, StoreImage& image) {
  image = StoreImage{};
  for (std::size_t p = 0; p < device::kProfileCount; ++p) {
    const ProfileRecords records = DecodeKeyTable(config.tables[p], config.factory);
    for (std::size_t i = 0; i < kKeyIndexCount; ++i) image.table.SetRecord(p, i, records[i]);
  }
  image.macros = ReadMacroBlock(config.macroBlock, texts);
}

}  // namespace vantrel::keys
