// Whether the system bus answers at all, asked with a time limit. Qt's connection to a bus
// waits for each answer up to its default timeout (25 s), several times in a row; a bus
// that takes the connection and never answers held the program's start for over a minute.
#pragma once

#include <chrono>
#include <string>

namespace vantrel::platform {

// How long the start waits for the system bus before it goes on without it.
inline constexpr std::chrono::milliseconds kSystemBusWait{3000};

// Connects to the system bus ($DBUS_SYSTEM_BUS_ADDRESS, else the standard socket) and
// waits up to `wait` for the first words of its greeting. False, with why in `problem`,
// only when the bus took the connection (or kept it waiting) and did not answer in time;
// true when it answered, and also when there is no bus to connect to or the address is
// not a local socket (Qt then finds out quickly by itself).
bool SystemBusAnswers(std::chrono::milliseconds wait, std::string* problem);

}  // namespace vantrel::platform
