// Times shown to the user in the local time zone.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel::platform {

// Seconds since the epoch as local date and time, "2026-12-11 10:15:02".
std::string LocalDateTime(std::int64_t seconds);

}  // namespace vantrel::platform
