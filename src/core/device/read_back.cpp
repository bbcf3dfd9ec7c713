#include "core/device/read_back.h"

#include "core/text/safe_format.h"

namespace vantrel::device {

void Verification::Add(Verification other) {
  checked = checked || other.checked;
  for (auto& line : other.differences) differences.push_back(std::move(line));
}

std::string Phrase(const text::TextSource& texts, std::string_view key, std::initializer_list<std::string_view> parts) {
  return text::FormatWithStrings(texts.Text(key), parts);
}

std::string DifferenceLine(const text::TextSource& texts, std::string_view what, std::string_view written,
                           std::string_view held) {
  return Phrase(texts, "READBACK_DIFFERS", {what, written, held});
}

std::string ResultWords(const text::TextSource& texts, DeviceResult result) {
  switch (result) {
    case kDeviceOk: return texts.Text("RESULT_OK");
    case kDeviceAbsent: return texts.Text("RESULT_ABSENT");
    case kDeviceWriteRefused: return texts.Text("RESULT_WRITE_REFUSED");
    case kDeviceNoReply: return texts.Text("RESULT_NO_REPLY");
    case kDeviceBusy: return texts.Text("RESULT_BUSY");
    case kDeviceStatusFF: return texts.Text("RESULT_STATUS_FF");
    case kDeviceStatusFE: return texts.Text("RESULT_STATUS_FE");
    case kDeviceIndexRange: return texts.Text("RESULT_INDEX_RANGE");
    default: return texts.Text("RESULT_UNKNOWN");
  }
}

std::string ReadFailure(const text::TextSource& texts, std::string_view what, DeviceResult result) {
  return Phrase(texts, "READBACK_NOT_READ", {what, ResultWords(texts, result)});
}

std::vector<std::string> CompareDeviceState(std::span<const std::uint8_t, kDeviceStateSize> written,
                                            std::span<const std::uint8_t, kDeviceStateSize> read,
                                            const text::TextSource& texts) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < kDeviceStateSize; ++i) {
    if (written[i] == read[i]) continue;
    const std::string what = i == kStateActiveProfile    ? texts.Text("READBACK_STATE_ACTIVE_PROFILE")
                             : i == kStateMacroCapacity ? texts.Text("READBACK_STATE_MACRO_CAPACITY")
                                                        : Phrase(texts, "READBACK_STATE_BYTE", {std::to_string(i)});
    lines.push_back(DifferenceLine(texts, what, std::to_string(written[i]), std::to_string(read[i])));
  }
  return lines;
}

Verification ReadBackDeviceState(CommandSet& commands, std::span<const std::uint8_t, kDeviceStateSize> written,
                                 std::initializer_list<std::size_t> bytesSet, const text::TextSource& texts) {
  Verification v;
  v.checked = true;
  std::array<std::uint8_t, kDeviceStateSize> read{};
  const DeviceResult result = commands.CmdReadDeviceState(read);
  if (result != kDeviceOk) {
    v.Note(ReadFailure(texts, texts.Text("READBACK_WHAT_DEVICE_STATE"), result));
  } else {
    auto expected = read;
    for (const std::size_t i : bytesSet) {
      if (i < kDeviceStateSize) expected[i] = written[i];
    }
    v.differences = CompareDeviceState(expected, read, texts);
  }
  return v;
}

}  // namespace vantrel::device
