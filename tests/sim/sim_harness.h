// A virtual keyboard behind the simulated service (no latency), the trace decorator
// recording every line, and a link with short waits.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/device/tracing_service.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::test {

inline device::LinkTiming FastTiming() {
  device::LinkTiming t;
  t.replyTimeout = std::chrono::milliseconds(100);
  t.retryPause = std::chrono::milliseconds(0);
  t.endPause = std::chrono::milliseconds(0);
  return t;
}

struct SimHarness {
  explicit SimHarness(sim::SimOptions options = ZeroLatency(), device::LinkTiming timing = FastTiming())
      : service(keyboard, std::move(options)),
        tracer(service, [this](std::string_view line) {
          std::lock_guard lock(mutex);
          lines.emplace_back(line);
        }),
        link(tracer, timing),
        commands(link) {
    link.RegisterConfigRead();
  }

  static sim::SimOptions ZeroLatency() {
    sim::SimOptions o;
    o.latency = std::chrono::microseconds(0);
    o.slowReply = std::chrono::microseconds(300000);
    return o;
  }

  // Trace lines that start with prefix ("> CTRL", "< CONS", "!").
  std::vector<std::string> Lines(std::string_view prefix) {
    service.Drain();
    std::lock_guard lock(mutex);
    std::vector<std::string> out;
    for (const auto& l : lines) {
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
  }
  void ClearTrace() {
    service.Drain();
    std::lock_guard lock(mutex);
    lines.clear();
  }
  // The bytes of a trace line ("> CTRL 04 01 ...").
  static std::vector<std::uint8_t> Bytes(const std::string& line) {
    std::vector<std::uint8_t> out;
    const auto start = line.find(' ', 2);
    for (std::size_t i = start + 1; i + 1 < line.size() + 1; i += 3) {
      out.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
    }
    return out;
  }

  sim::VirtualKeyboard keyboard;
  sim::SimulatedHidService service;
  std::mutex mutex;
  std::vector<std::string> lines;
  device::TracingHidService tracer;
  device::DeviceLink link;
  device::CommandSet commands;
};

}  // namespace vantrel::test
