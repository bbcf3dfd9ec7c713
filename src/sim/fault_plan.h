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

// Ways the virtual keyboard uses the freedom the protocol leaves a keyboard, on every
// request. Written on the command line as KIND[,KIND...].
struct Quirks {
  bool offsetZero = false;          // offset-zero: every reply carries offset 0
  // state-noise: the device state's bytes 0-9 (no meaning to the host) change on every
  // read, and the reply to that read carries a checksum that changes with them but is not
  // the sum of its bytes
  bool stateNoise = false;
  // lighting-normalised: lighting values are stored in another form of the same meaning
  // and read back so: multicolour and colour cycling on as 0xFF, the effect-7 flag as
  // 0xFF while the effect is not 7
  bool lightingNormalised = false;

  // Parses "offset-zero,state-noise". On a bad list returns nullopt and sets error.
  static std::optional<Quirks> Parse(std::string_view list, std::string* error);
  bool Any() const { return offsetZero || stateNoise || lightingNormalised; }
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
