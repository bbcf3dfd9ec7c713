#include "core/device/hid_service.h"

#include <cstdint>

#include "core/util/bytes.h"

namespace vantrel::device {
namespace {

// Table T, shared by the program and every backend. A fixed permutation of 0..255
// (multiplication by an odd number plus an offset, modulo 256), so every byte value
// contributes differently.
constexpr std::array<std::uint8_t, 256> MakeCheckTable() {
  std::array<std::uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>((i * 167u + 29u) & 0xFFu);
  return t;
}
constexpr auto kCheckTable = MakeCheckTable();

std::uint32_t SumBytes(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  for (auto b : bytes) sum += kCheckTable[b];
  return sum;
}

std::uint32_t SumWord(std::uint32_t word) {
  std::array<std::uint8_t, 4> b{};
  StoreU32(b, 0, word);
  return SumBytes(b);
}

}  // namespace

std::array<std::uint8_t, 16> DeviceSelector::Bytes() const {
  std::array<std::uint8_t, 16> b{};
  StoreU32(b, 0, kind);
  StoreU16(b, 4, vendorId);
  StoreU16(b, 6, productId);
  StoreU16(b, 8, usagePage);
  StoreU16(b, 10, usage);
  StoreU32(b, 12, reserved);
  return b;
}

std::string_view InterfaceName(const DeviceSelector& selector) {
  if (selector == ConfigInterfaceSelector) return "CTRL";
  if (selector == ConsumerInterfaceSelector) return "CONS";
  if (selector == LedInterfaceSelector) return "DEL";
  return "?";
}

std::uint32_t CallCheckValue(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                             std::span<const std::uint8_t> data) {
  const auto sel = selector.Bytes();
  return SumBytes(sel) + SumWord(callbackWord) + SumWord(tag) + SumBytes(data);
}

std::uint32_t CallbackWord(const ServiceCallback* callback) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(callback) & 0xFFFFFFFFu);
}

}  // namespace vantrel::device
