#include "core/device/device_result.h"

namespace vantrel::device {

std::string_view DescribeResult(DeviceResult result) {
  switch (result) {
    case kDeviceOk: return "success";
    case kDeviceAbsent: return "no keyboard present";
    case kDeviceWriteRefused: return "the HID service refused the write";
    case kDeviceNoReply: return "no matching reply after three attempts";
    case kDeviceBusy: return "the keyboard is busy with another program";
    case kDeviceStatusFF: return "the keyboard reported failure (status 0xFF)";
    case kDeviceStatusFE: return "the keyboard rejected the request (status 0xFE)";
    case kDeviceIndexRange: return "key table index out of range";
    default: return "unknown result";
  }
}

}  // namespace vantrel::device
