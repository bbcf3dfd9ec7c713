#include "core/keys/keyd_config.h"

#include <algorithm>
#include <map>
#include <utility>

namespace vantrel::keys {
namespace {

// keyd's key list (its names and other names, as keyd's keys.c has them) and keyd's code
// of each: the Linux input event code, except noop (195) and the mouse buttons (249..255).
constexpr std::pair<std::string_view, std::uint32_t> kNames[] = {
    {"esc", 1}, {"1", 2}, {"2", 3}, {"3", 4}, {"4", 5}, {"5", 6}, {"6", 7}, {"7", 8}, {"8", 9}, {"9", 10},
    {"0", 11}, {"-", 12}, {"=", 13}, {"backspace", 14}, {"tab", 15}, {"q", 16}, {"w", 17}, {"e", 18},
    {"r", 19}, {"t", 20}, {"y", 21}, {"u", 22}, {"i", 23}, {"o", 24}, {"p", 25}, {"[", 26}, {"]", 27},
    {"enter", 28}, {"leftcontrol", 29}, {"iso-level3-shift", 84}, {"a", 30}, {"s", 31}, {"d", 32}, {"f", 33},
    {"g", 34}, {"h", 35}, {"j", 36}, {"k", 37}, {"l", 38}, {";", 39}, {"'", 40}, {"`", 41}, {"leftshift", 42},
    {"\\", 43}, {"z", 44}, {"x", 45}, {"c", 46}, {"v", 47}, {"b", 48}, {"n", 49}, {"m", 50}, {",", 51},
    {".", 52}, {"/", 53}, {"rightshift", 54}, {"kpasterisk", 55}, {"leftalt", 56}, {"space", 57},
    {"capslock", 58}, {"f1", 59}, {"f2", 60}, {"f3", 61}, {"f4", 62}, {"f5", 63}, {"f6", 64}, {"f7", 65},
    {"f8", 66}, {"f9", 67}, {"f10", 68}, {"numlock", 69}, {"scrolllock", 70}, {"kp7", 71}, {"kp8", 72},
    {"kp9", 73}, {"kpminus", 74}, {"kp4", 75}, {"kp5", 76}, {"kp6", 77}, {"kpplus", 78}, {"kp1", 79},
    {"kp2", 80}, {"kp3", 81}, {"kp0", 82}, {"kpdot", 83}, {"zenkakuhankaku", 85}, {"102nd", 86}, {"f11", 87},
    {"f12", 88}, {"ro", 89}, {"katakana", 90}, {"hiragana", 91}, {"henkan", 92}, {"katakanahiragana", 93},
    {"muhenkan", 94}, {"kpjpcomma", 95}, {"kpenter", 96}, {"rightcontrol", 97}, {"kpslash", 98}, {"sysrq", 99},
    {"rightalt", 100}, {"linefeed", 101}, {"home", 102}, {"up", 103}, {"pageup", 104}, {"left", 105},
    {"right", 106}, {"end", 107}, {"down", 108}, {"pagedown", 109}, {"insert", 110}, {"delete", 111},
    {"macro", 112}, {"mute", 113}, {"volumedown", 114}, {"volumeup", 115}, {"power", 116}, {"kpequal", 117},
    {"kpplusminus", 118}, {"pause", 119}, {"scale", 120}, {"kpcomma", 121}, {"hangeul", 122}, {"hanja", 123},
    {"yen", 124}, {"leftmeta", 125}, {"rightmeta", 126}, {"compose", 127}, {"stop", 128}, {"again", 129},
    {"props", 130}, {"undo", 131}, {"front", 132}, {"copy", 133}, {"open", 134}, {"paste", 135}, {"find", 136},
    {"cut", 137}, {"help", 138}, {"menu", 139}, {"calc", 140}, {"setup", 141}, {"sleep", 142}, {"wakeup", 143},
    {"file", 144}, {"sendfile", 145}, {"deletefile", 146}, {"xfer", 147}, {"scrolldown", 148},
    {"scrollup", 149}, {"www", 150}, {"msdos", 151}, {"coffee", 152}, {"display", 153}, {"cyclewindows", 154},
    {"mail", 155}, {"favorites", 156}, {"computer", 157}, {"back", 158}, {"forward", 159}, {"closecd", 160},
    {"ejectcd", 161}, {"ejectclosecd", 162}, {"nextsong", 163}, {"playpause", 164}, {"previoussong", 165},
    {"stopcd", 166}, {"record", 167}, {"rewind", 168}, {"phone", 169}, {"iso", 170}, {"config", 171},
    {"homepage", 172}, {"refresh", 173}, {"exit", 174}, {"move", 175}, {"edit", 176}, {"kpleftparen", 179},
    {"kprightparen", 180}, {"new", 181}, {"redo", 182}, {"f13", 183}, {"f14", 184}, {"f15", 185}, {"f16", 186},
    {"f17", 187}, {"f18", 188}, {"f19", 189}, {"f20", 190}, {"f21", 191}, {"f22", 192}, {"f23", 193},
    {"f24", 194}, {"playcd", 200}, {"pausecd", 201}, {"scrollright", 203}, {"scrollleft", 202},
    {"dashboard", 204}, {"suspend", 205}, {"close", 206}, {"play", 207}, {"fastforward", 208},
    {"bassboost", 209}, {"print", 210}, {"hp", 211}, {"camera", 212}, {"sound", 213}, {"question", 214},
    {"email", 215}, {"chat", 216}, {"search", 217}, {"connect", 218}, {"finance", 219}, {"sport", 220},
    {"shop", 221}, {"voicecommand", 222}, {"cancel", 223}, {"brightnessdown", 224}, {"brightnessup", 225},
    {"media", 226}, {"switchvideomode", 227}, {"kbdillumtoggle", 228}, {"kbdillumdown", 229},
    {"kbdillumup", 230}, {"send", 231}, {"reply", 232}, {"forwardmail", 233}, {"save", 234},
    {"documents", 235}, {"battery", 236}, {"bluetooth", 237}, {"wlan", 238}, {"uwb", 239}, {"unknown", 240},
    {"next", 241}, {"prev", 242}, {"cycle", 243}, {"auto", 244}, {"off", 245}, {"wwan", 246}, {"rfkill", 247},
    {"micmute", 248}, {"leftmouse", 249}, {"rightmouse", 251}, {"middlemouse", 250}, {"mouse1", 252},
    {"mouse2", 253}, {"mouseback", 178}, {"mouseforward", 255}, {"fn", 254}, {"zoom", 177}, {"noop", 195},
    // keyd's other names of the same keys.
    {"escape", 1}, {"minus", 12}, {"equal", 13}, {"leftbrace", 26}, {"rightbrace", 27}, {"semicolon", 39},
    {"apostrophe", 40}, {"grave", 41}, {"backslash", 43}, {"comma", 51}, {"dot", 52}, {"slash", 53},
    {"bookmarks", 156}, {"prog1", 191}, {"prog2", 192}, {"prog3", 193}, {"prog4", 194},
    // Spellings keyd itself does not take, kept for configurations written by hand.
    {"leftctrl", 29}, {"rightctrl", 97},
    // The modifier layers: holding the key holds the modifier, as its left key does.
    {"control", 29}, {"shift", 42}, {"alt", 56}, {"meta", 125}, {"altgr", 100},
};

// The characters keyd types with Shift held, and the key each is typed on.
constexpr std::pair<std::string_view, std::uint32_t> kShifted[] = {
    {"!", 2}, {"@", 3}, {"#", 4}, {"$", 5}, {"%", 6}, {"^", 7}, {"&", 8}, {"*", 9}, {"(", 10}, {")", 11},
    {"_", 12}, {"+", 13}, {"Q", 16}, {"W", 17}, {"E", 18}, {"R", 19}, {"T", 20}, {"Y", 21}, {"U", 22},
    {"I", 23}, {"O", 24}, {"P", 25}, {"{", 26}, {"}", 27}, {"A", 30}, {"S", 31}, {"D", 32}, {"F", 33},
    {"G", 34}, {"H", 35}, {"J", 36}, {"K", 37}, {"L", 38}, {":", 39}, {"\"", 40}, {"~", 41}, {"|", 43},
    {"Z", 44}, {"X", 45}, {"C", 46}, {"V", 47}, {"B", 48}, {"N", 49}, {"M", 50}, {"<", 51}, {">", 52},
    {"?", 53},
};

// The [ids] entries kept: keyd itself takes at most 64 device ids per configuration.
constexpr std::size_t kMaxIdsKept = 64;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

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
  for (const auto& [n, code] : kShifted) {
    if (n == name) return SingleQuoted(name) + " is a key with Shift";
  }
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
  const auto byLine = [](const KeydSkipped& x, const KeydSkipped& y) { return x.line < y.line; };
  // Every line not taken is counted; only the first ones (by line) are kept, so that a
  // file of nothing else costs no more memory than a few of its lines. A replaced remap
  // comes in late with an earlier line: the smallest lines seen are what is kept.
  const auto skip = [&](KeydSkipped entry) {
    ++out.skippedCount;
    out.skipped.push_back(std::move(entry));
    if (out.skipped.size() >= 4 * kKeydSkippedKept) {
      std::stable_sort(out.skipped.begin(), out.skipped.end(), byLine);
      out.skipped.resize(kKeydSkippedKept);
    }
  };
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
        skip({lineNo, std::string(line), "a section header without ']'"});
        continue;
      }
      section = std::string(line.substr(1, close - 1));
      sectionLine = lineNo;
      if (section == "ids") out.hasIds = true;
      continue;
    }
    if (section != "main") {
      // The device selection and the global options hold no keys: one entry says so.
      // Every line of another layer is a remap that only works while that layer is on.
      if (section == "ids" || section == "global") {
        if (!sectionListed) skip({sectionLine, std::string("[").append(section).append("]"), "holds no key remaps"});
        sectionListed = true;
        if (section == "ids" && out.ids.size() < kMaxIdsKept) out.ids.push_back({lineNo, std::string(line)});
      } else {
        skip({lineNo, std::string(line),
              section.empty() ? "outside any section" : "in layer [" + section + "], not [main]"});
      }
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
      skip({lineNo, std::string(line), "not a 'key = key' line"});
      continue;
    }
    const std::string_view from = Trim(line.substr(0, eq));
    const std::string_view to = Trim(line.substr(eq + 1));
    const auto fromCode = EvdevOfKeydName(from);
    const auto toCode = EvdevOfKeydName(to);
    if (!fromCode || !toCode) {
      skip({lineNo, std::string(line), WhyNotAKey(fromCode ? to : from)});
      continue;
    }
    KeydRemap remap{lineNo, std::string(from), std::string(to), *fromCode, *toCode};
    const auto known = remapOfKey.find(*fromCode);
    if (known != remapOfKey.end()) {
      // keyd takes the last line for a key; the earlier one is listed as replaced.
      KeydRemap& earlier = out.remaps[known->second];
      skip({earlier.line, earlier.from + " = " + earlier.to, "replaced by line " + std::to_string(lineNo)});
      earlier = std::move(remap);
      continue;
    }
    remapOfKey[*fromCode] = out.remaps.size();
    out.remaps.push_back(std::move(remap));
  }
  std::stable_sort(out.skipped.begin(), out.skipped.end(), byLine);
  if (out.skipped.size() > kKeydSkippedKept) out.skipped.resize(kKeydSkippedKept);
  return out;
}

std::string KeydIdsMismatch(const KeydConfig& config, std::string_view deviceId) {
  if (!config.hasIds) return {};
  const std::string device = Lower(deviceId);
  // keyd matches an id of the list as a prefix of the device's id (older ids lack the
  // parts newer keyd versions add); an id longer than ours but starting with it is ours too.
  const auto same = [&](std::string_view id) {
    const std::string lower = Lower(id);
    return device.rfind(lower, 0) == 0 || lower.rfind(device, 0) == 0;
  };
  bool wildcard = false, named = false;
  std::string others;
  for (const KeydId& entry : config.ids) {
    std::string_view id = entry.text;
    if (id == "*") {
      wildcard = true;
      continue;
    }
    if (id.front() == '-') {
      if (id.size() > 1 && same(id.substr(1))) return "this configuration leaves out " + std::string(deviceId);
      continue;
    }
    const bool mouseOnly = id.rfind("m:", 0) == 0;
    if (mouseOnly || id.rfind("k:", 0) == 0) id.remove_prefix(2);
    if (id.empty()) continue;
    if (!mouseOnly && same(id)) named = true;
    if (!others.empty()) others += ", ";
    others += id;
    if (mouseOnly) others += " (as a mouse)";
  }
  if (named || wildcard) return {};
  if (others.empty()) return "this configuration names no device";
  return "this configuration is for " + others;
}

}  // namespace vantrel::keys
