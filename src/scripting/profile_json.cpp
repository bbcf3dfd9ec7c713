#include "scripting/profile_json.h"

#include <algorithm>
#include <array>
#include <optional>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <span>

#include "scripting/key_names.h"
#include "scripting/lighting_request.h"
#include "core/keys/key_codes.h"
#include "core/lighting/effects.h"
#include "core/profiles/profile_file.h"
#include "core/text/utf16.h"
#include "core/util/bytes.h"

namespace vantrel::scripting {
namespace {

using nlohmann::json;

constexpr std::array<const char*, 9> kKindNames = {"factory", "disabled", "key",   "launch",  "macro",
                                                  "stop-macro", "text", "media", "function"};

// A name that reads back as the same key index: the plain label or "G<n>", else the
// index in decimal.
std::string IndexName(std::uint16_t index, const KeyNameIndex& names) {
  std::string name;
  if (const auto g = keys::GKeyOfIndex(index)) {
    name = GKeyName(*g);
  } else if (index < keys::kKeyNameCount) {
    name = std::string(keys::KeyNameTable()[index].label);
  }
  if (name.empty() || names.Find(name) != index) name = std::to_string(index);
  return name;
}

// Key codes are written by name when the name gives back the same code.
void PutCode(json& j, const char* nameField, std::uint16_t code, const KeyNameIndex& names) {
  const std::uint16_t index = keys::KeyIndexOfCode(code);
  if (code != 0 && index < keys::kKeyIndexCount && CodeOfKeyIndex(index) == code) {
    j[nameField] = IndexName(index, names);
  } else {
    j["code"] = code;
  }
}

// Builds the document tree like json::parse, but stops as soon as the nesting or the
// number of values goes beyond what a configuration can need, before the tree takes the
// memory and time such a document would cost.
class LimitedDomBuilder {
 public:
  explicit LimitedDomBuilder(json& root) : dom_(root, false) {}

  bool null() { return Count() && dom_.null(); }
  bool boolean(bool v) { return Count() && dom_.boolean(v); }
  bool number_integer(json::number_integer_t v) { return Count() && dom_.number_integer(v); }
  bool number_unsigned(json::number_unsigned_t v) { return Count() && dom_.number_unsigned(v); }
  bool number_float(json::number_float_t v, const json::string_t& s) { return Count() && dom_.number_float(v, s); }
  bool string(json::string_t& v) { return Count() && dom_.string(v); }
  bool binary(json::binary_t& v) { return Count() && dom_.binary(v); }
  bool key(json::string_t& k) { return dom_.key(k); }
  bool start_object(std::size_t n) { return Count() && Enter() && dom_.start_object(n); }
  bool end_object() {
    --depth_;
    return dom_.end_object();
  }
  bool start_array(std::size_t n) { return Count() && Enter() && dom_.start_array(n); }
  bool end_array() {
    --depth_;
    return dom_.end_array();
  }
  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token, const Exception& ex) {
    return dom_.parse_error(position, token, ex);
  }

  // Empty unless a limit stopped the parse.
  const std::string& LimitHit() const { return limitHit_; }

 private:
  bool Count() {
    if (++values_ <= kMaxProfileJsonValues) return true;
    limitHit_ = "more than " + std::to_string(kMaxProfileJsonValues) + " values";
    return false;
  }
  bool Enter() {
    if (++depth_ <= kMaxProfileJsonDepth) return true;
    limitHit_ = "nested deeper than " + std::to_string(kMaxProfileJsonDepth) + " levels";
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  std::size_t depth_ = 0;
  std::size_t values_ = 0;
  std::string limitHit_;
};

class Reader {
 public:
  explicit Reader(std::string& error) : error_(error) {}
  bool Fail(const std::string& where, const std::string& what) {
    error_ = where + ": " + what;
    return false;
  }
  // An integer field in [lo, hi]; missing gives the default.
  bool Int(const json& obj, const std::string& where, const char* field, std::int64_t lo, std::int64_t hi,
           std::int64_t& out, std::optional<std::int64_t> def = std::nullopt) {
    const std::string at = where + "." + field;
    if (!obj.contains(field)) {
      if (def) {
        out = *def;
        return true;
      }
      return Fail(at, "missing");
    }
    const json& v = obj[field];
    if (!v.is_number_integer()) return Fail(at, "not an integer");
    out = v.is_number_unsigned() ? static_cast<std::int64_t>(std::min<std::uint64_t>(v.get<std::uint64_t>(), INT64_MAX))
                                 : v.get<std::int64_t>();
    if (out < lo || out > hi) return Fail(at, "out of range " + std::to_string(lo) + ".." + std::to_string(hi));
    return true;
  }
  bool String(const json& obj, const std::string& where, const char* field, std::string& out) {
    if (!obj.contains(field)) return Fail(where + "." + field, "missing");
    if (!obj[field].is_string()) return Fail(where + "." + field, "not a string");
    out = obj[field].get<std::string>();
    return true;
  }
  // "RRGGBB" in hex.
  bool Colour(const json& value, const std::string& at, lighting::Rgb& out) {
    if (!value.is_string()) return Fail(at, "not a string");
    const auto rgb = lighting::ParseHexColour(value.get_ref<const std::string&>());
    if (!rgb) return Fail(at, "not a colour RRGGBB");
    out = *rgb;
    return true;
  }
  bool ColourField(const json& obj, const std::string& where, const char* field, lighting::Rgb& out) {
    if (!obj.contains(field)) return Fail(where + "." + field, "missing");
    return Colour(obj[field], where + "." + field, out);
  }
  // A key code given by name ("key"/"target") or number ("code"); 0 when neither is given.
  bool Code(const json& obj, const std::string& where, const char* nameField, const KeyNameIndex& names,
            std::int64_t& out, std::int64_t lo = 0, std::int64_t hi = 0xFFFF) {
    if (obj.contains(nameField)) {
      std::string name;
      if (!String(obj, where, nameField, name)) return false;
      const auto index = names.Find(name);
      if (!index) return Fail(where + "." + nameField, "unknown key '" + name + "'");
      out = CodeOfKeyIndex(*index);
      return true;
    }
    return Int(obj, where, "code", lo, hi, out, 0);
  }

 private:
  std::string& error_;
};

bool ReadKeys(const json& keysArray, const std::string& where, std::size_t slot, const KeyNameIndex& names,
              keys::StoreImage& image, Reader& r) {
  if (!keysArray.is_array()) return r.Fail(where, "not an array");
  std::set<std::uint16_t> seen;
  for (std::size_t i = 0; i < keysArray.size(); ++i) {
    const json& k = keysArray[i];
    const std::string at = where + "[" + std::to_string(i) + "]";
    if (!k.is_object()) return r.Fail(at, "not an object");
    std::string keyName, kindName;
    if (!r.String(k, at, "key", keyName)) return false;
    const auto index = names.Find(keyName);
    if (!index) return r.Fail(at + ".key", "unknown key '" + keyName + "'");
    if (!seen.insert(*index).second) return r.Fail(at + ".key", "key '" + keyName + "' given twice");
    if (!r.String(k, at, "kind", kindName)) return false;
    keys::KeyAssignment rec;
    const auto kind = std::find(kKindNames.begin(), kKindNames.end(), kindName);
    if (kind != kKindNames.end()) {
      rec.kind = static_cast<std::uint16_t>(kind - kKindNames.begin());
    } else if (kindName.size() == 1 && kindName[0] >= '0' && kindName[0] < static_cast<char>('0' + kKindNames.size())) {
      // The kinds may also be given by number. Any other number is refused: the keyboard
      // has no such kind, and writing it would silently drop the key.
      rec.kind = static_cast<std::uint16_t>(kindName[0] - '0');
    } else {
      return r.Fail(at + ".kind", "unknown kind '" + kindName + "' (factory, disabled, key, launch, macro, "
                                  "stop-macro, text, media, function, or 0 to 8)");
    }
    std::int64_t aux = 0, code = 0, selected = 0, reserved = 0;
    if (!r.Int(k, at, "aux", 0, 0xFFFF, aux, 0)) return false;
    if (rec.kind == keys::kKindKey) {
      if (!r.Code(k, at, "target", names, code, INT32_MIN, INT32_MAX)) return false;
    } else if (!r.Int(k, at, "code", INT32_MIN, INT32_MAX, code, 0)) {
      return false;
    }
    if (!r.Int(k, at, "selected", INT32_MIN, INT32_MAX, selected, 0)) return false;
    if (!r.Int(k, at, "reserved", INT32_MIN, INT32_MAX, reserved, 0)) return false;
    rec.aux = static_cast<std::uint16_t>(aux);
    rec.code = static_cast<std::int32_t>(code);
    rec.selected = static_cast<std::int32_t>(selected);
    rec.reserved = static_cast<std::int32_t>(reserved);
    const std::size_t s = slot * keys::kRecordsPerSlot + *index;
    if (k.contains("text")) {
      if (rec.kind != keys::kKindLaunch && rec.kind != keys::kKindText) {
        return r.Fail(at + ".text", "only kinds launch and text carry a text");
      }
      if (!k["text"].is_string()) return r.Fail(at + ".text", "not a string");
      const std::string& t = k["text"].get_ref<const std::string&>();
      // Checked on the UTF-8 length first (at most 4 bytes a character) so that a huge
      // text is never converted.
      std::u16string t16;
      if (t.size() <= 4 * profiles::kMaxKeyTextChars) t16 = text::Utf8ToUtf16(t);
      if (t.size() > 4 * profiles::kMaxKeyTextChars || t16.size() > profiles::kMaxKeyTextChars) {
        return r.Fail(at + ".text", "longer than " + std::to_string(profiles::kMaxKeyTextChars) + " characters");
      }
      image.strings.Set(s, std::move(t16));
    }
    image.table.SetRecordAt(s, rec);
  }
  return true;
}

bool ReadMacro(const json& m, const std::string& at, const KeyNameIndex& names, keys::MacroRecord& out,
               Reader& r) {
  if (!m.is_object()) return r.Fail(at, "not an object");
  std::int64_t id = 0, cycles = 0, repeat = 0, isNew = 0;
  std::string name;
  if (!r.Int(m, at, "id", 0, 0xFFFF, id)) return false;
  if (!r.String(m, at, "name", name)) return false;
  const std::u16string name16 = text::Utf8ToUtf16(name);
  if (name16.size() > keys::kMaxNameChars) {
    return r.Fail(at + ".name", "longer than " + std::to_string(keys::kMaxNameChars) + " characters");
  }
  if (!r.Int(m, at, "cycles", 0, 255, cycles, 1)) return false;
  if (!r.Int(m, at, "repeat", 0, 0xFFFF, repeat, 0)) return false;
  if (!r.Int(m, at, "new", 0, 0xFFFF, isNew, 0)) return false;
  if (!m.contains("steps") || !m["steps"].is_array()) return r.Fail(at + ".steps", "missing or not an array");
  const json& steps = m["steps"];
  if (steps.size() > keys::kMaxActions) {
    return r.Fail(at + ".steps", "more than " + std::to_string(keys::kMaxActions) + " steps");
  }
  std::vector<keys::MacroAction> actions;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const json& st = steps[i];
    const std::string sat = at + ".steps[" + std::to_string(i) + "]";
    if (!st.is_object()) return r.Fail(sat, "not an object");
    std::int64_t code = 0, delay = 0;
    std::string action;
    if (!r.Code(st, sat, "key", names, code)) return false;
    if (!r.String(st, sat, "action", action)) return false;
    if (action != "press" && action != "release") return r.Fail(sat + ".action", "must be press or release");
    if (!r.Int(st, sat, "delay", 0, keys::kMaxDelayMs, delay, 0)) return false;
    actions.push_back({static_cast<std::int32_t>(delay), static_cast<std::uint16_t>(code),
                       action == "press" ? keys::kPress : keys::kRelease});
  }
  std::vector<std::uint8_t> bytes(keys::MacroRecord::kSize, 0);
  StoreU16(bytes, keys::MacroRecord::kNewFlagOffset, static_cast<std::uint16_t>(isNew));
  StoreU16(bytes, keys::MacroRecord::kRepeatOffset, static_cast<std::uint16_t>(repeat));
  out = keys::MacroRecord::FromBytes(bytes);
  out.SetName(name16);
  out.SetCycles(static_cast<std::uint8_t>(cycles));
  out.SetId(static_cast<std::uint16_t>(id));
  out.SetActions(actions);
  return true;
}


// The named fields of the record, in record order, for export and import alike.
struct ByteField {
  const char* name;
  std::uint8_t lighting::LightingFields::*member;
};
constexpr ByteField kByteFields[] = {
    {"brightness", &lighting::LightingFields::brightness},
    {"speed", &lighting::LightingFields::speed},
    {"direction", &lighting::LightingFields::direction},
    {"multicolour", &lighting::LightingFields::multicolour},
    {"report_rate", &lighting::LightingFields::reportRate},
    {"colour_choice", &lighting::LightingFields::colourChoice},
    {"effect7_flag", &lighting::LightingFields::effect7Flag},
    {"trigger", &lighting::LightingFields::trigger},
    {"second_cycling", &lighting::LightingFields::secondCycling},
    {"third_cycling", &lighting::LightingFields::thirdCycling},
};
struct ColourField {
  const char* name;
  lighting::Rgb lighting::LightingFields::*member;
};
constexpr ColourField kColourFields[] = {
    {"colour", &lighting::LightingFields::colour},
    {"second_colour", &lighting::LightingFields::secondColour},
    {"third_colour", &lighting::LightingFields::thirdColour},
};

json ColourList(std::span<const lighting::Rgb> colours) {
  json list = json::array();
  for (const lighting::Rgb c : colours) list.push_back(lighting::HexColour(c));
  return list;
}

json LightingJson(const ProfileLighting& part, const text::TextSource& texts) {
  json out;
  if (part.fields) {
    const lighting::LightingFields& f = *part.fields;
    const std::string name = lighting::EffectName(&texts, f.effect);
    out["effect"] = {{"number", f.effect}};
    if (name != "#Error") out["effect"]["name"] = name;
    for (const auto& b : kByteFields) out[b.name] = f.*(b.member);
    // The report rate in Hz, as the window, the bus and vantrelctl give it. A record byte
    // above 3 runs as button 3; the byte itself comes along so that it is written back
    // as the keyboard held it.
    out["report_rate"] = ReportRateHz(f.reportRate);
    if (static_cast<std::size_t>(f.reportRate) >= kReportRatesHz.size()) out["report_rate_byte"] = f.reportRate;
    for (const auto& c : kColourFields) out[c.name] = lighting::HexColour(f.*(c.member));
    json bytes = json::object();
    for (std::size_t i = 0; i < lighting::kRecordSize; ++i) {
      if (part.keyboardBytes[i]) bytes[std::to_string(i)] = *part.keyboardBytes[i];
    }
    if (!bytes.empty()) out["keyboard_bytes"] = std::move(bytes);
  }
  return out;
}

json UserModesJson(const lighting::UserModeSet& set) {
  json modes = json::array();
  for (const lighting::UserMode& m : set.modes) {
    std::array<lighting::Rgb, lighting::kLedSlots> colours{};
    json follows = json::array();
    for (std::size_t i = 0; i < colours.size(); ++i) {
      colours[i] = m.ledSlots[i].colour;
      if (m.ledSlots[i].followsBase) follows.push_back(i);
    }
    modes.push_back({{"name", m.name},
                     {"tool", m.tool},
                     {"base", lighting::HexColour(m.base)},
                     {"brush", lighting::HexColour(m.brush)},
                     {"keys", ColourList(colours)},
                     {"follows_base", std::move(follows)}});
  }
  return {{"selected", set.selected}, {"modes", std::move(modes)}};
}

bool ReadColourList(const json& list, const std::string& at, std::array<lighting::Rgb, lighting::kLedSlots>& out,
                    Reader& r) {
  if (!list.is_array()) return r.Fail(at, "not an array");
  if (list.size() != out.size()) return r.Fail(at, "must hold " + std::to_string(out.size()) + " colours");
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (!r.Colour(list[i], at + "[" + std::to_string(i) + "]", out[i])) return false;
  }
  return true;
}

bool ReadLighting(const json& l, const std::string& at, const text::TextSource& texts, ProfileLighting& part,
                  Reader& r) {
  if (!l.is_object()) return r.Fail(at, "not an object");
  lighting::LightingFields f;
  if (!l.contains("effect")) return r.Fail(at + ".effect", "missing");
  const json& e = l["effect"];
  std::int64_t number = -1;
  if (e.is_number_integer()) {
    if (!r.Int(l, at, "effect", 0, 255, number)) return false;
  } else if (e.is_object()) {
    if (e.contains("number")) {
      if (!r.Int(e, at + ".effect", "number", 0, 255, number)) return false;
    } else {
      // Given by name alone: the effect of that name in the language in force.
      std::string name;
      if (!r.String(e, at + ".effect", "name", name)) return false;
      for (int code = lighting::kFirstEffect; code <= lighting::kLastEffect && number < 0; ++code) {
        if (lighting::EffectName(&texts, code) == name) number = code;
      }
      if (number < 0) return r.Fail(at + ".effect.name", "no effect is named '" + name + "'");
    }
  } else {
    return r.Fail(at + ".effect", "neither a number nor an object");
  }
  f.effect = static_cast<std::uint8_t>(number);
  for (const auto& b : kByteFields) {
    std::int64_t v = 0;
    if (b.member == &lighting::LightingFields::reportRate) {
      // In Hz; documents written before give the record byte (the report-rate button 0-3).
      if (!r.Int(l, at, b.name, 0, kReportRatesHz.back(), v)) return false;
      if (l.contains("report_rate_byte")) {
        if (!r.Int(l, at, "report_rate_byte", 0, 255, v)) return false;
      } else if (const auto button = ReportRateButton(static_cast<unsigned>(v))) {
        v = *button;
      } else if (v > 255) {
        return r.Fail(at + "." + b.name, "not a report rate: 125, 250, 500 or 1000 (Hz)");
      }
    } else if (!r.Int(l, at, b.name, 0, 255, v)) {
      return false;
    }
    f.*(b.member) = static_cast<std::uint8_t>(v);
  }
  for (const auto& c : kColourFields) {
    if (!r.ColourField(l, at, c.name, f.*(c.member))) return false;
  }
  part.fields = f;
  if (l.contains("keyboard_bytes")) {
    const json& bytes = l["keyboard_bytes"];
    const std::string bat = at + ".keyboard_bytes";
    if (!bytes.is_object()) return r.Fail(bat, "not an object");
    for (const auto& [key, value] : bytes.items()) {
      std::size_t offset = lighting::kRecordSize;
      if (!key.empty() && key.size() <= 2 && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        offset = static_cast<std::size_t>(std::stoi(key));
      }
      if (offset >= lighting::kRecordSize || !IsKeyboardByte(offset)) {
        return r.Fail(bat, "'" + key + "' is not the offset of a byte of the keyboard's own");
      }
      std::int64_t v = 0;
      if (!r.Int(bytes, bat, key.c_str(), 0, 255, v)) return false;
      part.keyboardBytes[offset] = static_cast<std::uint8_t>(v);
    }
  }
  return true;
}

bool ReadUserModes(const json& u, const std::string& at, lighting::UserModeSet& set, Reader& r) {
  if (!u.is_object()) return r.Fail(at, "not an object");
  std::int64_t selected = 0;
  if (!r.Int(u, at, "selected", 0, lighting::kUserModeCount - 1, selected)) return false;
  set.selected = static_cast<int>(selected);
  if (!u.contains("modes") || !u["modes"].is_array()) return r.Fail(at + ".modes", "missing or not an array");
  const json& modes = u["modes"];
  if (modes.size() != set.modes.size()) {
    return r.Fail(at + ".modes", "must hold " + std::to_string(set.modes.size()) + " modes");
  }
  for (std::size_t m = 0; m < set.modes.size(); ++m) {
    const std::string mat = at + ".modes[" + std::to_string(m) + "]";
    const json& jm = modes[m];
    if (!jm.is_object()) return r.Fail(mat, "not an object");
    lighting::UserMode& mode = set.modes[m];
    std::int64_t tool = 0;
    if (!r.String(jm, mat, "name", mode.name)) return false;
    // The name is one line of the colour file.
    if (mode.name.find_first_of("\r\n") != std::string::npos) return r.Fail(mat + ".name", "holds a line break");
    if (!r.Int(jm, mat, "tool", 0, 1, tool)) return false;
    mode.tool = static_cast<int>(tool);
    if (!r.ColourField(jm, mat, "base", mode.base) || !r.ColourField(jm, mat, "brush", mode.brush)) return false;
    std::array<lighting::Rgb, lighting::kLedSlots> colours{};
    if (!jm.contains("keys")) return r.Fail(mat + ".keys", "missing");
    if (!ReadColourList(jm["keys"], mat + ".keys", colours, r)) return false;
    for (std::size_t i = 0; i < colours.size(); ++i) mode.ledSlots[i] = {colours[i], false};
    if (jm.contains("follows_base")) {
      const json& follows = jm["follows_base"];
      if (!follows.is_array()) return r.Fail(mat + ".follows_base", "not an array");
      for (std::size_t i = 0; i < follows.size(); ++i) {
        const std::string fat = mat + ".follows_base[" + std::to_string(i) + "]";
        if (!follows[i].is_number_integer()) return r.Fail(fat, "not an integer");
        const auto slot = follows[i].get<std::int64_t>();
        if (slot < 0 || slot >= lighting::kLedSlots) {
          return r.Fail(fat, "out of range 0.." + std::to_string(lighting::kLedSlots - 1));
        }
        mode.ledSlots[static_cast<std::size_t>(slot)].followsBase = true;
      }
    }
  }
  return true;
}

}  // namespace

bool IsKeyboardByte(std::size_t offset) {
  using namespace lighting;
  if (offset >= kRecordSize) return false;
  for (const std::size_t named : {kRecEffect, kRecBrightness, kRecSpeed, kRecDirection, kRecMulticolour,
                                  kRecReportRate, kRecColourChoice, kRecEffect7Flag, kRecTrigger,
                                  kRecSecondCycling, kRecThirdCycling}) {
    if (offset == named) return false;
  }
  for (const std::size_t colour : {kRecRed, kRecSecondColour, kRecThirdColour}) {
    if (offset >= colour && offset < colour + 3) return false;
  }
  return true;
}

void SetRecord(ProfileLighting& part, const lighting::LightingRecord& record) {
  part.fields = lighting::DecodeLightingRecord(record);
  for (std::size_t i = 0; i < record.size(); ++i) {
    part.keyboardBytes[i] = IsKeyboardByte(i) ? std::optional<std::uint8_t>(record[i]) : std::nullopt;
  }
}

lighting::LightingRecord MergeRecord(const ProfileLighting& part, const lighting::LightingRecord& held) {
  lighting::LightingRecord out = held;
  if (part.fields) lighting::EncodeLightingRecord(*part.fields, out);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (part.keyboardBytes[i] && IsKeyboardByte(i)) out[i] = *part.keyboardBytes[i];
  }
  return out;
}

std::string ExportProfileJson(const keys::StoreImage& image, const text::TextSource& texts,
                              const ProfileLightings& lighting) {
  const KeyNameIndex names(texts);
  const keys::AssignmentTable fresh;
  json doc;
  doc["format"] = "vantrel-profile";
  doc["version"] = kProfileJsonVersion;
  json profiles = json::array();
  for (std::size_t slot = 0; slot < keys::kProfileSlots; ++slot) {
    json keysArray = json::array();
    for (std::size_t i = 0; i < keys::kRecordsPerSlot; ++i) {
      const keys::KeyAssignment rec = image.table.Record(slot, i);
      const std::size_t s = slot * keys::kRecordsPerSlot + i;
      const bool ownsText = rec.kind == keys::kKindLaunch || rec.kind == keys::kKindText;
      const std::u16string* textValue = ownsText ? image.strings.Slot(s) : nullptr;
      if (rec == fresh.Record(slot, i) && textValue == nullptr) continue;
      json k;
      k["key"] = IndexName(static_cast<std::uint16_t>(i), names);
      k["kind"] = rec.kind < kKindNames.size() ? std::string(kKindNames[rec.kind]) : std::to_string(rec.kind);
      if (rec.aux != 0) k["aux"] = rec.aux;
      if (rec.kind == keys::kKindKey && rec.code >= 0 && rec.code <= 0xFFFF) {
        PutCode(k, "target", static_cast<std::uint16_t>(rec.code), names);
        if (rec.code == 0) k.erase("code");
      } else if (rec.code != 0 && !ownsText) {
        // Kinds 3 and 6 hold a string offset that only means something inside a file.
        k["code"] = rec.code;
      } else if (rec.code != 0 && textValue == nullptr) {
        k["code"] = rec.code;
      }
      if (rec.selected != 0) k["selected"] = rec.selected;
      if (rec.reserved != 0) k["reserved"] = rec.reserved;
      if (textValue != nullptr) k["text"] = text::Utf16ToUtf8(*textValue);
      keysArray.push_back(std::move(k));
    }
    json profile = {{"slot", slot}, {"keys", std::move(keysArray)}};
    if (slot < lighting.size()) {
      const ProfileLighting& part = lighting[slot];
      if (part.fields) profile["lighting"] = LightingJson(part, texts);
      if (part.keyColours) profile["key_colours"] = ColourList(*part.keyColours);
      if (part.userModes) profile["user_modes"] = UserModesJson(*part.userModes);
    }
    profiles.push_back(std::move(profile));
  }
  doc["profiles"] = std::move(profiles);
  json macros = json::array();
  for (const keys::MacroRecord& m : image.macros) {
    json jm;
    jm["id"] = m.Id();
    jm["name"] = text::Utf16ToUtf8(m.Name());
    jm["cycles"] = m.Cycles();
    if (m.RepeatMode() != 0) jm["repeat"] = m.RepeatMode();
    if (m.NewFlag() != 0) jm["new"] = m.NewFlag();
    json steps = json::array();
    for (const keys::MacroAction& a : m.Actions()) {
      json st;
      PutCode(st, "key", a.code, names);
      st["action"] = a.direction == keys::kRelease ? "release" : "press";
      st["delay"] = a.delay;
      steps.push_back(std::move(st));
    }
    jm["steps"] = std::move(steps);
    macros.push_back(std::move(jm));
  }
  doc["macros"] = std::move(macros);
  return doc.dump(2) + "\n";
}

bool ImportProfileJson(const std::string& document, const text::TextSource& texts, keys::StoreImage& image,
                       std::string& error) {
  ProfileLightings lighting;
  return ImportProfileJson(document, texts, image, lighting, error);
}

bool ImportProfileJson(const std::string& document, const text::TextSource& texts, keys::StoreImage& image,
                       ProfileLightings& lighting, std::string& error) {
  Reader r(error);
  const KeyNameIndex names(texts);
  json doc;
  LimitedDomBuilder builder(doc);
  if (!json::sax_parse(document, &builder)) {
    return r.Fail("document", builder.LimitHit().empty() ? std::string("not valid JSON") : builder.LimitHit());
  }
  if (!doc.is_object()) return r.Fail("document", "not an object");
  std::string format;
  if (!r.String(doc, "document", "format", format)) return false;
  if (format != "vantrel-profile") return r.Fail("document.format", "must be \"vantrel-profile\"");
  std::int64_t version = 0;
  if (!r.Int(doc, "document", "version", kOldestProfileJsonVersion, kProfileJsonVersion, version)) return false;

  image = keys::StoreImage{};
  lighting = ProfileLightings{};
  if (!doc.contains("profiles") || !doc["profiles"].is_array()) return r.Fail("profiles", "missing or not an array");
  const json& profiles = doc["profiles"];
  std::set<std::int64_t> slots;
  for (std::size_t p = 0; p < profiles.size(); ++p) {
    const std::string at = "profiles[" + std::to_string(p) + "]";
    if (!profiles[p].is_object()) return r.Fail(at, "not an object");
    std::int64_t slot = 0;
    if (!r.Int(profiles[p], at, "slot", 0, keys::kProfileSlots - 1, slot)) return false;
    if (!slots.insert(slot).second) return r.Fail(at + ".slot", "slot " + std::to_string(slot) + " given twice");
    if (!profiles[p].contains("keys")) return r.Fail(at + ".keys", "missing");
    if (!ReadKeys(profiles[p]["keys"], at + ".keys", static_cast<std::size_t>(slot), names, image, r)) return false;
    const json& jp = profiles[p];
    const bool carriesLighting = jp.contains("lighting") || jp.contains("key_colours") || jp.contains("user_modes");
    if (!carriesLighting) continue;
    // Version 1 has no lighting; the keyboard has lighting for its three on-board profiles.
    if (version < 2) return r.Fail(at, "lighting needs version 2 of the format");
    if (static_cast<std::size_t>(slot) >= lighting.size()) {
      return r.Fail(at, "slot " + std::to_string(slot) + " is no on-board profile and has no lighting");
    }
    ProfileLighting& part = lighting[static_cast<std::size_t>(slot)];
    if (jp.contains("lighting") && !ReadLighting(jp["lighting"], at + ".lighting", texts, part, r)) return false;
    if (jp.contains("key_colours")) {
      part.keyColours.emplace();
      if (!ReadColourList(jp["key_colours"], at + ".key_colours", *part.keyColours, r)) return false;
    }
    if (jp.contains("user_modes")) {
      part.userModes.emplace();
      if (!ReadUserModes(jp["user_modes"], at + ".user_modes", *part.userModes, r)) return false;
    }
  }
  if (doc.contains("macros")) {
    const json& macros = doc["macros"];
    if (!macros.is_array()) return r.Fail("macros", "not an array");
    if (macros.size() > keys::kMaxMacros) return r.Fail("macros", "more than " + std::to_string(keys::kMaxMacros));
    std::set<std::uint16_t> ids;
    for (std::size_t i = 0; i < macros.size(); ++i) {
      const std::string at = "macros[" + std::to_string(i) + "]";
      keys::MacroRecord m;
      if (!ReadMacro(macros[i], at, names, m, r)) return false;
      if (!ids.insert(m.Id()).second) return r.Fail(at + ".id", "id " + std::to_string(m.Id()) + " given twice");
      image.macros.push_back(std::move(m));
    }
  }
  return true;
}

}  // namespace vantrel::scripting
