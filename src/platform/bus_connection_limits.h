// How much one bus connection of this program takes in before it stops reading.
#pragma once

class QDBusConnection;

namespace vantrel::platform {

// What libdbus lets a connection hold of received messages by default: at 63 MiB it stops
// reading the socket until messages are released. Qt 6.4 turns reading on again from the
// thread that released the last message (the UI or the device worker), where its socket
// notifier cannot be switched, so the connection never reads again: one call of 63 MiB
// used to end the program's bus until it was restarted.
inline constexpr long kDefaultBusReceiveLimit = 63L << 20;
// The limit set instead: the session bus itself queues at most about 1 GB for a
// connection, and a single message is at most 128 MiB, so reading is never held back for
// size and nothing has to switch it on again.
inline constexpr long kBusReceiveLimit = 1L << 30;

// Raises the connection's limit of received messages to kBusReceiveLimit. False when the
// bus library offers no way to (then callers keep every call below the default limit).
bool RaiseBusReceiveLimit(const QDBusConnection& connection);

}  // namespace vantrel::platform
