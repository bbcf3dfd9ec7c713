#include "sim/sim_state.h"

#include <nlohmann/json.hpp>
#include <span>
#include <system_error>
#include <vector>

#include "core/profiles/atomic_file.h"
#include "core/util/regular_file.h"

namespace vantrel::sim {
namespace {

using nlohmann::json;

// Every area as hex is well under 1 MiB even with the largest macro area (255 x 128
// bytes); a bigger file is not a state file and is not read.
constexpr std::size_t kMaxSimStateBytes = std::size_t{4} << 20;

std::string ToHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (auto b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0xF]);
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads key as a hex string of exactly `size` bytes (any size when size is 0).
bool ReadHex(const json& j, const char* key, std::size_t size, std::vector<std::uint8_t>& out, std::string& why) {
  if (!j.contains(key) || !j[key].is_string()) {
    why = std::string("\"") + key + "\" is missing or not a string";
    return false;
  }
  const auto& text = j[key].get_ref<const std::string&>();
  if (text.size() % 2 != 0 || (size != 0 && text.size() != 2 * size)) {
    why = std::string("\"") + key + "\" must hold " + (size ? std::to_string(size) : std::string("whole")) +
          " bytes as hex, found " + std::to_string(text.size()) + " hex digits";
    return false;
  }
  out.resize(text.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) {
      why = std::string("\"") + key + "\" holds a character that is not a hex digit at " + std::to_string(2 * i);
      return false;
    }
    out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return true;
}

bool ReadBool(const json& j, const char* key, bool& out, std::string& why) {
  if (!j.contains(key) || !j[key].is_boolean()) {
    why = std::string("\"") + key + "\" is missing or not true/false";
    return false;
  }
  out = j[key].get<bool>();
  return true;
}

template <std::size_t N>
void CopyInto(std::array<std::uint8_t, N>& to, const std::vector<std::uint8_t>& from) {
  std::copy(from.begin(), from.end(), to.begin());
}

json ToJson(const VirtualKeyboard& k) {
  json j;
  j["present"] = k.Present();
  j["boot_mode"] = k.BootMode();
  j["device_state"] = ToHex(k.DeviceState());
  j["lighting"] = ToHex(k.Lighting());
  j["key_tables"] = ToHex(k.KeyTables());
  j["factory_key_table"] = ToHex(k.FactoryTable());
  j["macro_area"] = ToHex(k.MacroArea());
  j["key_colours"] = ToHex(k.KeyColours());
  j["led_status"] = ToHex(k.LedStatus());
  return j;
}

bool FromJson(const json& j, VirtualKeyboard& k, std::string& why) {
  bool present = false, boot = false;
  std::vector<std::uint8_t> state, lighting, tables, factory, macro, colours, led;
  if (!ReadBool(j, "present", present, why) || !ReadBool(j, "boot_mode", boot, why) ||
      !ReadHex(j, "device_state", device::kDeviceStateSize, state, why) ||
      !ReadHex(j, "lighting", device::kLightingAreaSize, lighting, why) ||
      !ReadHex(j, "key_tables", kKeyTablesSize, tables, why) ||
      !ReadHex(j, "factory_key_table", device::kKeyTableSize, factory, why) ||
      !ReadHex(j, "key_colours", kKeyColoursSize, colours, why) || !ReadHex(j, "led_status", 2, led, why)) {
    return false;
  }
  if (state[device::kStateActiveProfile] > 2) {
    why = "\"device_state\" byte 10 (active profile) must be 0, 1 or 2";
    return false;
  }
  // The macro area is checked against the capacity only after the capacity itself: a
  // capacity of 0 would otherwise let a macro area of any size through.
  if (state[device::kStateMacroCapacity] == 0) {
    why = "\"device_state\" byte 11 (macro capacity) must not be 0";
    return false;
  }
  if (!ReadHex(j, "macro_area", state[device::kStateMacroCapacity] * 128u, macro, why)) return false;
  k.SetPresent(present);
  k.SetBootMode(boot);
  CopyInto(k.DeviceState(), state);
  CopyInto(k.Lighting(), lighting);
  CopyInto(k.KeyTables(), tables);
  CopyInto(k.FactoryTable(), factory);
  k.MacroArea() = macro;
  CopyInto(k.KeyColours(), colours);
  k.StoreLedStatus(led);
  return true;
}

}  // namespace

std::string SimStateJson(const VirtualKeyboard& keyboard) { return ToJson(keyboard).dump(2); }

bool SaveSimState(const std::filesystem::path& path, const VirtualKeyboard& keyboard, std::string* error) {
  return SaveSimStateJson(path, SimStateJson(keyboard), error);
}

bool SaveSimStateJson(const std::filesystem::path& path, const std::string& json, std::string* error) {
  std::error_code ec;
  if (path.has_parent_path() && !std::filesystem::is_directory(path.parent_path(), ec)) {
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
      if (error) *error = "cannot write " + path.string() + ": " + ec.message();
      return false;
    }
  }
  // A temporary name of its own for every write (two runs at once never share one),
  // flushed and renamed over the file; on failure the old state stays.
  const std::string text = json + "\n";
  const std::span<const std::uint8_t> parts[] = {
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())};
  std::string why;
  if (!profiles::WriteFileAtomically(path, parts, {}, &why)) {
    if (error) *error = "cannot write " + path.string() + ": " + why;
    return false;
  }
  return true;
}

bool LoadSimState(const std::filesystem::path& path, VirtualKeyboard& keyboard, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
    VirtualKeyboard fresh;
    fresh.SetQuirks(keyboard.GetQuirks());  // how it answers is this run's, not the state's
    keyboard = fresh;
    return SaveSimState(path, keyboard, error);
  }
  // Never opened unless it is a regular file: a FIFO would block the run.
  std::string text, why;
  if (!ReadRegularFile(path, kMaxSimStateBytes, text, why)) {
    if (error) *error = path.string() + ": " + why;
    return false;
  }
  json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    if (error) *error = path.string() + ": not a JSON object";
    return false;
  }
  VirtualKeyboard loaded;
  if (!FromJson(j, loaded, why)) {
    if (error) *error = path.string() + ": " + why;
    return false;
  }
  loaded.SetQuirks(keyboard.GetQuirks());
  keyboard = loaded;
  return true;
}

}  // namespace vantrel::sim
