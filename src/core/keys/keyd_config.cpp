#include "core/keys/keyd_config.h"

#include <algorithm>
#include <map>
#include <utility>

namespace vantrel::keys {
namespace {

// keyd's names of the keys and the Linux input event code of each.
constexpr std::pair<std::string_view, std::uint32_t> kNames[] = {
    {"esc", 1},         {"1", 2},           {"2", 3},            {"3", 4},           {"4", 5},
    {"5", 6},           {"6", 7},           {"7", 8},            {"8", 9},           {"9", 10},
    {"0", 11},          {"minus", 12},      {"equal", 13},       {"backspace", 14},  {"tab", 15},
    {"q", 16},          {"w", 17},          {"e", 18},           {"r", 19},          {"t", 20},
    {"y", 21},          {"u", 22},          {"i", 23},           {"o", 24},          {"p", 25},
    {"leftbrace", 26},  {"rightbrace", 27}, {"enter", 28},       {"leftcontrol", 29}, {"a", 30},
    {"s", 31},          {"d", 32},          {"f", 33},           {"g", 34},          {"h", 35},
    {"j", 36},          {"k", 37},          {"l", 38},           {"semicolon", 39},  {"apostrophe", 40},
    {"grave", 41},      {"leftshift", 42},  {"backslash", 43},   {"z", 44},          {"x", 45},
    {"c", 46},          {"v", 47},          {"b", 48},           {"n", 49},          {"m", 50},
    {"comma", 51},      {"dot", 52},        {"slash", 53},       {"rightshift", 54}, {"kpasterisk", 55},
    {"leftalt", 56},    {"space", 57},      {"capslock", 58},    {"f1", 59},         {"f2", 60},
    {"f3", 61},         {"f4", 62},         {"f5", 63},          {"f6", 64},         {"f7", 65},
    {"f8", 66},         {"f9", 67},         {"f10", 68},         {"numlock", 69},    {"scrolllock", 70},
    {"kp7", 71},        {"kp8", 72},        {"kp9", 73},         {"kpminus", 74},    {"kp4", 75},
    {"kp5", 76},        {"kp6", 77},        {"kpplus", 78},      {"kp1", 79},        {"kp2", 80},
    {"kp3", 81},        {"kp0", 82},        {"kpdot", 83},       {"102nd", 86},      {"f11", 87},
    {"f12", 88},        {"kpenter", 96},    {"rightcontrol", 97}, {"kpslash", 98},   {"sysrq", 99},
    {"rightalt", 100},  {"home", 102},      {"up", 103},         {"pageup", 104},    {"left", 105},
    {"right", 106},     {"end", 107},       {"down", 108},       {"pagedown", 109},  {"insert", 110},
    {"delete", 111},    {"mute", 113},      {"volumedown", 114}, {"volumeup", 115},  {"pause", 119},
    {"leftmeta", 125},  {"rightmeta", 126}, {"compose", 127},    {"calc", 140},      {"mail", 155},
    {"nextsong", 163},  {"playpause", 164}, {"previoussong", 165}, {"stopcd", 166},  {"homepage", 172},
    // Other spellings keyd accepts for the same keys.
    {"escape", 1},      {"leftctrl", 29},   {"rightctrl", 97},   {"print", 99},      {"menu", 127},
    {"-", 12},          {"=", 13},          {"[", 26},           {"]", 27},          {";", 39},
    {"'", 40},          {"`", 41},          {"\\", 43},          {",", 51},          {".", 52},
    {"/", 53},
    // The modifier layers: holding the key holds the modifier, as its left key does.
    {"control", 29},    {"shift", 42},      {"alt", 56},         {"meta", 125},      {"altgr", 100},
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A name in single quotes. Built by appending: gcc 12 at -O3 warns (wrongly) of an
// overlapping copy in "'" + string.
std::string SingleQuoted(std::string_view name) {
  std::string quoted(1, '\'');
  quoted.append(name);
  quoted += '\'';
  return quoted;
}

// Why a key name is not a plain key, for the list of what was not imported.
std::string WhyNotAKey(std::string_view name) {
  if (name.empty()) return "no key given";
  if (name.find('(') != std::string_view::npos) return SingleQuoted(name) + " is an action, not a plain key";
  if (name.find('+') != std::string_view::npos) return SingleQuoted(name) + " is a chord of keys";
  if (name.size() > 1 && name[1] == '-' && name.find_first_of("CMASG") == 0) {
    return SingleQuoted(name) + " is a key with modifiers";
  }
  return SingleQuoted(name) + " is not a key name";
}

}  // namespace

std::optional<std::uint32_t> EvdevOfKeydName(std::string_view name) {
  for (const auto& [n, code] : kNames) {
    if (n == name) return code;
  }
  return std::nullopt;
}

KeydConfig ParseKeydConfig(std::string_view text) {
  KeydConfig out;
  std::string section;
  bool sectionListed = false;
  int sectionLine = 0;
  std::map<std::uint32_t, std::size_t> remapOfKey;  // evdev code -> position in out.remaps
  int lineNo = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNo;
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      sectionListed = false;
      if (close == std::string_view::npos) {
        // Whatever follows a broken header belongs to no section keyd would read.
        section.clear();
        out.skipped.push_back({lineNo, std::string(line), "a section header without ']'"});
        continue;
      }
      section = std::string(line.substr(1, close - 1));
      sectionLine = lineNo;
      continue;
    }
    if (section != "main") {
      // The device selection and the global options hold no keys: one entry says so.
      // Every line of another layer is a remap that only works while that layer is on.
      if (section == "ids" || section == "global") {
        if (!sectionListed) out.skipped.push_back({sectionLine, std::string("[").append(section).append("]"), "holds no key remaps"});
        sectionListed = true;
      } else {
        out.skipped.push_back({lineNo, std::string(line),
                               section.empty() ? "outside any section" : "in layer [" + section + "], not [main]"});
      }
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
      out.skipped.push_back({lineNo, std::string(line), "not a 'key = key' line"});
      continue;
    }
    const std::string_view from = Trim(line.substr(0, eq));
    const std::string_view to = Trim(line.substr(eq + 1));
    const auto fromCode = EvdevOfKeydName(from);
    const auto toCode = EvdevOfKeydName(to);
    if (!fromCode || !toCode) {
      out.skipped.push_back({lineNo, std::string(line), WhyNotAKey(fromCode ? to : from)});
      continue;
    }
    KeydRemap remap{lineNo, std::string(from), std::string(to), *fromCode, *toCode};
    const auto known = remapOfKey.find(*fromCode);
    if (known != remapOfKey.end()) {
      // keyd takes the last line for a key; the earlier one is listed as replaced.
      KeydRemap& earlier = out.remaps[known->second];
      out.skipped.push_back({earlier.line, earlier.from + " = " + earlier.to,
                             "replaced by line " + std::to_string(lineNo)});
      earlier = std::move(remap);
      continue;
    }
    remapOfKey[*fromCode] = out.remaps.size();
    out.remaps.push_back(std::move(remap));
  }
  std::stable_sort(out.skipped.begin(), out.skipped.end(),
                   [](const KeydSkipped& a, const KeydSkipped& b) { return a.line < b.line; });
  return out;
}

}  // namespace vantrel::keys
