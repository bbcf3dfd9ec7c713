#include "core/device/read_back.h"

namespace vantrel::device {

void Verification::Add(Verification other) {
  checked = checked || other.checked;
  for (auto& line : other.differences) differences.push_back(std::move(line));
}

std::string ReadFailure(std::string_view what, DeviceResult result) {
  std::string line(what);
  line.append(" could not be read back: ").append(DescribeResult(result));
  return line;
}

std::vector<std::string> CompareDeviceState(std::span<const std::uint8_t, kDeviceStateSize> written,
                                            std::span<const std::uint8_t, kDeviceStateSize> read) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < kDeviceStateSize; ++i) {
    if (written[i] == read[i]) continue;
    std::string line = "device state, ";
    if (i == kStateActiveProfile) {
      line.append("active profile");
    } else if (i == kStateMacroCapacity) {
      line.append("macro capacity");
    } else {
      line.append("byte ").append(std::to_string(i));
    }
    line.append(": written ").append(std::to_string(written[i]));
    line.append(", the keyboard holds ").append(std::to_string(read[i]));
    lines.push_back(std::move(line));
  }
  return lines;
}

Verification ReadBackDeviceState(CommandSet& commands, std::span<const std::uint8_t, kDeviceStateSize> written) {
  Verification v;
  v.checked = true;
  std::array<std::uint8_t, kDeviceStateSize> read{};
  const DeviceResult result = commands.CmdReadDeviceState(read);
  if (result != kDeviceOk) {
    v.Note(ReadFailure("the device state", result));
  } else {
    v.differences = CompareDeviceState(written, read);
  }
  return v;
}

}  // namespace vantrel::device
