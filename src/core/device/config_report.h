// The 64-byte configuration report: byte 0 report id 4, bytes 1-2 checksum (16-bit sum
// of bytes 3..63, low byte first), byte 3 command, byte 4 payload length (0..56), bytes
// 5-6 offset (little-endian), byte 7 status, bytes 8..63 payload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel::device {

inline constexpr std::size_t kReportSize = 64;
inline constexpr std::size_t kPayloadSize = 56;
inline constexpr std::uint8_t kConfigReportId = 4;

inline constexpr std::size_t kReportIdByte = 0;
inline constexpr std::size_t kChecksumByte = 1;
inline constexpr std::size_t kCommandByte = 3;
inline constexpr std::size_t kLengthByte = 4;
inline constexpr std::size_t kOffsetByte = 5;
inline constexpr std::size_t kStatusByte = 7;
inline constexpr std::size_t kPayloadByte = 8;

inline constexpr std::uint8_t kStatusFailed = 0xFF;
inline constexpr std::uint8_t kStatusRejected = 0xFE;

using ConfigReport = std::array<std::uint8_t, kReportSize>;

// Sum of bytes 3..63 modulo 65536, whatever the length field says.
std::uint16_t ReportChecksum(std::span<const std::uint8_t, kReportSize> report);
// Writes the checksum into bytes 1-2.
void SetReportChecksum(ConfigReport& report);
// True when bytes 1-2 hold the checksum of bytes 3..63.
bool ReportChecksumValid(std::span<const std::uint8_t, kReportSize> report);

// Fills the header fields (report id, command, length, offset, status 0) of a report
// whose payload is already in place, then the checksum.
void FrameReport(ConfigReport& report, std::uint8_t command, std::uint8_t length, std::uint16_t offset);

// A cleared report with the header, the payload copied from byte 8 (at most 56 bytes)
// and the checksum.
ConfigReport MakeReport(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                        std::span<const std::uint8_t> payload = {});

std::uint16_t ReportOffset(std::span<const std::uint8_t, kReportSize> report);

}  // namespace vantrel::device
