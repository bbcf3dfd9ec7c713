// status: is a keyboard there, and what does it offer. ping: is it answering, and how fast.
#include <algorithm>
#include <array>
#include <chrono>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "app/ctl/context.h"
#include "app/ctl/registry.h"
#include "core/device/commands.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::device;

void RunStatus(Context& ctx, bool asJson) {
  if (!ctx.Open()) return;
  const int count = ctx.Link().DeviceCount();
  nlohmann::json j;
  j["present"] = count != 0;
  j["count"] = count;
  std::array<std::uint8_t, kDeviceStateSize> state{};
  DeviceResult stateResult = kDeviceAbsent;
  if (count != 0) stateResult = ctx.Commands().CmdReadDeviceState(state);
  if (stateResult == kDeviceOk) {
    j["active_profile"] = state[kStateActiveProfile];
    j["macro_capacity"] = state[kStateMacroCapacity] * 128;
    std::vector<int> effects;
    for (std::size_t i = 0; i < kEffectSlots; ++i) {
      if (state[kStateEffectList + i] != 0) effects.push_back(state[kStateEffectList + i]);
    }
    j["effects"] = effects;
  }
  if (asJson) {
    ctx.Out() << j.dump(2) << '\n';
  } else {
    ctx.Out() << "keyboard:        " << (count != 0 ? "present" : "not present") << '\n'
              << "device count:    " << count << '\n';
    if (stateResult == kDeviceOk) {
      ctx.Out() << "active profile:  " << j["active_profile"].get<int>() << '\n'
                << "macro capacity:  " << j["macro_capacity"].get<int>() << " bytes\n"
                << "effects offered:";
      for (int e : j["effects"]) ctx.Out() << ' ' << e;
      ctx.Out() << '\n';
    }
  }
  if (count == 0) {
    ctx.SetExitCode(kExitNoKeyboard);
  } else if (stateResult != kDeviceOk) {
    ctx.DeviceFailure("reading the device state", stateResult);
  }
}

void RunPing(Context& ctx, int n) {
  if (!ctx.OpenWithKeyboard()) return;
  std::vector<double> times;
  int failures = 0;
  for (int i = 1; i <= n; ++i) {
    const ConfigReport request = MakeReport(kCmdTest, 0, 0);
    ConfigReport reply{};
    std::uint32_t received = 0;
    const auto start = std::chrono::steady_clock::now();
    DeviceResult result = ctx.Link().DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result == kDeviceOk) result = StatusResult(reply[kStatusByte]);
    if (result == kDeviceOk) {
      times.push_back(ms);
      ctx.Out() << "reply " << i << ": " << std::fixed << std::setprecision(2) << ms << " ms\n";
    } else {
      ++failures;
      ctx.Out() << "request " << i << ": " << DescribeResult(result) << " (" << result << ") after " << std::fixed
                << std::setprecision(2) << ms << " ms\n";
    }
  }
  if (!times.empty()) {
    std::sort(times.begin(), times.end());
    const std::size_t m = times.size();
    const double median = m % 2 ? times[m / 2] : (times[m / 2 - 1] + times[m / 2]) / 2;
    ctx.Out() << times.size() << " of " << n << " answered, median " << std::fixed << std::setprecision(2) << median
              << " ms\n";
  }
  if (failures > 0) ctx.SetExitCode(kExitFailed);
}

const CommandGroup kStatusCommands(10, [](CLI::App& app, Context& ctx) {
  auto* status = app.add_subcommand("status", "Show whether a keyboard is present and what it offers");
  auto* json = status->add_flag("--json")->description("Print a JSON object");
  status->callback([&ctx, json] { RunStatus(ctx, json->count() > 0); });

  auto* ping = app.add_subcommand("ping", "Send test requests and show each round trip and the median");
  auto* count = ping->add_option("--count", "Number of requests (default 5)")->default_val(5)->check(CLI::Range(1, 100000));
  ping->callback([&ctx, count] { RunPing(ctx, count->as<int>()); });
});

}  // namespace
}  // namespace vantrel::ctl
