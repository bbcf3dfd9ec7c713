#include "sim/fault_plan.h"

#include <charconv>

namespace vantrel::sim {
namespace {

std::optional<Fault> FaultOfName(std::string_view name) {
  if (name == "drop") return Fault::kDrop;
  if (name == "echo") return Fault::kEcho;
  if (name == "ff") return Fault::kStatusFF;
  if (name == "fe") return Fault::kStatusFE;
  if (name == "unplug") return Fault::kUnplug;
  if (name == "slow") return Fault::kSlow;
  if (name == "corrupt") return Fault::kCorrupt;
  return std::nullopt;
}

}  // namespace

std::optional<FaultPlan> FaultPlan::Parse(std::string_view list, std::string* error) {
  FaultPlan plan;
  while (!list.empty()) {
    const auto comma = list.find(',');
    const auto item = list.substr(0, comma);
    const bool more = comma != std::string_view::npos;
    list = more ? list.substr(comma + 1) : std::string_view{};
    const auto at = item.find('@');
    const auto fault = FaultOfName(item.substr(0, at));
    std::uint64_t number = 0;
    bool numberOk = false;
    if (at != std::string_view::npos) {
      const auto digits = item.substr(at + 1);
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
      numberOk = ec == std::errc{} && end == digits.data() + digits.size() && number >= 1;
    }
    if (!fault || !numberOk) {
      if (error != nullptr) {
        *error = "bad fault '" + std::string(item) +
                 "': expected KIND@N with KIND one of drop, echo, ff, fe, unplug, slow, corrupt and N >= 1";
      }
      return std::nullopt;
    }
    plan.Add(number, *fault);
    if (more && list.empty()) {
      if (error != nullptr) *error = "a fault list must not end with a comma";
      return std::nullopt;
    }
  }
  return plan;
}

std::optional<Quirks> Quirks::Parse(std::string_view list, std::string* error) {
  Quirks quirks;
  for (;;) {
    const auto comma = list.find(',');
    const auto item = list.substr(0, comma);
    if (item == "offset-zero") {
      quirks.offsetZero = true;
    } else if (item == "state-noise") {
      quirks.stateNoise = true;
    } else if (item == "lighting-normalised") {
      quirks.lightingNormalised = true;
    } else {
      if (error != nullptr) {
        *error = "bad quirk '" + std::string(item) +
                 "': expected one of offset-zero, state-noise, lighting-normalised";
      }
      return std::nullopt;
    }
    if (comma == std::string_view::npos) return quirks;
    list = list.substr(comma + 1);
  }
}

std::optional<Fault> FaultPlan::At(std::uint64_t request) const {
  auto it = faults_.find(request);
  if (it == faults_.end()) return std::nullopt;
  return it->second;
}

}  // namespace vantrel::sim
