// Faults injected into the virtual keyboard's answers, by the 1-based number of the
// configuration request they hit. Written on the command line as KIND@N[,KIND@N...].
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::sim {

enum class Fault {
  kDrop,    // no reply
  kEcho,    // reply with another command byte
  kStatusFF,
  kStatusFE,
  kUnplug,  // the device count drops to 0 before the reply
  kSlow,    // the reply comes after the host stopped waiting for it
  kCorrupt, // a write is stored with its first byte xor 0x01 and answered with success
};

class FaultPlan {
 public:
  // Parses "drop@3,ff@4". On a bad list returns nullopt and sets error.
  static std::optional<FaultPlan> Parse(std::string_view list, std::string* error);

  void Add(std::uint64_t request, Fault fault) { faults_[request] = fault; }
  std::optional<Fault> At(std::uint64_t request) const;
  bool Empty() const { return faults_.empty(); }

 private:
  std::map<std::uint64_t, Fault> faults_;
};

}  // namespace vantrel::sim
