#include "sim/sim_state.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

namespace vantrel::sim {
namespace {

using nlohmann::json;

json ToJson(const VirtualKeyboard& keyboard) {
  json j;
  j["present"] = keyboard.Present();
  j["boot_mode"] = keyboard.BootMode();
  return j;
}

bool ReadBool(const json& j, const char* key, bool& out, std::string* error) {
  if (!j.contains(key)) return true;  // keys added later keep their factory value
  if (!j[key].is_boolean()) {
    if (error) *error = std::string("\"") + key + "\" must be true or false";
    return false;
  }
  out = j[key].get<bool>();
  return true;
}

}  // namespace

std::string SimStateJson(const VirtualKeyboard& keyboard) { return ToJson(keyboard).dump(2); }

bool SaveSimState(const std::filesystem::path& path, const VirtualKeyboard& keyboard, std::string* error) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  auto tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << SimStateJson(keyboard) << '\n';
    out.flush();
    if (!out) {
      if (error) *error = "cannot write " + tmp.string();
      std::filesystem::remove(tmp, ec);
      return false;
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    if (error) *error = "cannot replace " + path.string() + ": " + ec.message();
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

bool LoadSimState(const std::filesystem::path& path, VirtualKeyboard& keyboard, std::string* error) {
  if (!std::filesystem::exists(path)) {
    VirtualKeyboard fresh;
    keyboard = fresh;
    return SaveSimState(path, keyboard, error);
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  json j = json::parse(text.str(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    if (error) *error = path.string() + ": not a JSON object";
    return false;
  }
  VirtualKeyboard loaded = keyboard;
  bool present = loaded.Present(), boot = loaded.BootMode();
  std::string why;
  if (!ReadBool(j, "present", present, &why) || !ReadBool(j, "boot_mode", boot, &why)) {
    if (error) *error = path.string() + ": " + why;
    return false;
  }
  loaded.SetPresent(present);
  loaded.SetBootMode(boot);
  keyboard = loaded;
  return true;
}

}  // namespace vantrel::sim
