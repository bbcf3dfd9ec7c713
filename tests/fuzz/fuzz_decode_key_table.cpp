// Decodes a key table read from the keyboard against a factory table, both untrusted:
// the input is the device table (378 bytes) followed by the factory table (378 bytes);
// shorter inputs are padded with zeros. Every decoded record must stay in range.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/keys/key_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel::keys;
  DeviceKeyTable table{};
  DeviceKeyTable factory{};
  for (std::size_t i = 0; i < size && i < 2 * vantrel::device::kKeyTableSize; ++i) {
    (i < vantrel::device::kKeyTableSize ? table[i] : factory[i - vantrel::device::kKeyTableSize]) = data[i];
  }
  const ProfileRecords records = DecodeKeyTable(table, factory);
  for (const KeyAssignment& r : records) {
    if (r.kind > kKindFunction) std::abort();
    if (r.kind == kKindMedia && (r.code < 0 || r.code >= static_cast<int>(kMediaKeyCount))) std::abort();
  }
  // Encoding the decoded records again never reads past the factory table.
  AssignmentTable t;
  for (std::size_t i = 0; i < kKeyIndexCount; ++i) t.SetRecord(0, i, records[i]);
  const std::uint16_t ids[] = {1, 2, 3};
  (void)EncodeKeyTable(t, 0, factory, ids);
  return 0;
}
