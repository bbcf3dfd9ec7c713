#include "core/device/config_report.h"

#include <algorithm>

#include "core/util/bytes.h"

namespace vantrel::device {

std::uint16_t ReportChecksum(std::span<const std::uint8_t, kReportSize> report) {
  unsigned sum = 0;
  for (std::size_t i = kCommandByte; i < kReportSize; ++i) sum += report[i];
  return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

void SetReportChecksum(ConfigReport& report) { StoreU16(report, kChecksumByte, ReportChecksum(report)); }

bool ReportChecksumValid(std::span<const std::uint8_t, kReportSize> report) {
  return LoadU16(report, kChecksumByte) == ReportChecksum(report);
}

void FrameReport(ConfigReport& report, std::uint8_t command, std::uint8_t length, std::uint16_t offset) {
  report[kReportIdByte] = kConfigReportId;
  report[kCommandByte] = command;
  report[kLengthByte] = length;
  StoreU16(report, kOffsetByte, offset);
  report[kStatusByte] = 0;
  SetReportChecksum(report);
}

ConfigReport MakeReport(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                        std::span<const std::uint8_t> payload) {
  ConfigReport report{};
  const auto n = std::min(payload.size(), kPayloadSize);
  std::copy_n(payload.begin(), n, report.begin() + kPayloadByte);
  FrameReport(report, command, length, offset);
  return report;
}

std::uint16_t ReportOffset(std::span<const std::uint8_t, kReportSize> report) {
  return LoadU16(report, kOffsetByte);
}

}  // namespace vantrel::device
