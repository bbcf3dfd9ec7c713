// The int result of every device operation. Callers test for kDeviceOk; anything else
// is a failure.
#pragma once

#include <string_view>

namespace vantrel::device {

using DeviceResult = int;

inline constexpr DeviceResult kDeviceOk = 1;
inline constexpr DeviceResult kDeviceAbsent = 0;          // no keyboard (nothing sent), or the wait failed
inline constexpr DeviceResult kDeviceWriteRefused = -1;   // the service refused the write
inline constexpr DeviceResult kDeviceNoReply = -2;        // no matching reply after three attempts
inline constexpr DeviceResult kDeviceBusy = -3;           // another program kept the keyboard (nothing sent)
inline constexpr DeviceResult kDeviceStatusFF = -102;     // the keyboard answered status 0xFF
inline constexpr DeviceResult kDeviceStatusFE = -103;     // the keyboard answered status 0xFE
inline constexpr DeviceResult kDeviceIndexRange = -201;   // key-table index out of range

// The result in words, for messages and diagnostics.
std::string_view DescribeResult(DeviceResult result);

}  // namespace vantrel::device
