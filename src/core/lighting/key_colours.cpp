#include "core/lighting/key_colours.h"
#include "core/lighting/user_modes.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "core/keys/keyboard_layout.h"
#include "core/text/ini_file.h"

namespace vantrel::lighting {
namespace {

constexpr const char* kPresentSection = "PRESENTMODE";
constexpr const char* kNameSection = "MODENAME";

int ClampProfile(int profile) { return std::clamp(profile, 0, 2); }
int ClampSlot(int slot) { return std::clamp(slot, 0, kLedSlots - 1); }

std::string ModeSection(int mode) { return "Mode" + std::to_string(mode); }

// The record's section of one keyboard: its name with what an INI section name cannot hold
// replaced.
std::string RecordSection(std::string_view keyboardId) {
  std::string section = keyboardId.empty() ? std::string("keyboard") : std::string(keyboardId);
  std::replace_if(section.begin(), section.end(), [](char c) { return c == ']' || c == '\n' || c == '\r'; }, '_');
  return section;
}

// The profile's colour file, or the default file while it has none.
std::filesystem::path ModesFile(const std::filesystem::path& own, const std::filesystem::path& fallback) {
  std::error_code ec;
  return std::filesystem::exists(own, ec) ? own : fallback;
}

// Up to `count` decimal fields separated by commas, each with optional blanks around it.
// Fields that are missing or unreadable are 0.
template <std::size_t N>
std::array<long, N> ParseFields(std::string_view text) {
  std::array<long, N> out{};
  std::size_t i = 0;
  while (i < N) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    long v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{}) break;
    out[i++] = v;
    text.remove_prefix(static_cast<std::size_t>(ptr - text.data()));
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.empty() || text.front() != ',') break;
    text.remove_prefix(1);
  }
  return out;
}

KeyColourWrite Outcome(bool taken) { return taken ? KeyColourWrite::Taken : KeyColourWrite::Refused; }

unsigned Channel(long v) { return static_cast<unsigned>(std::clamp(v, 0L, 255L)); }

// Writes the bytes to path through a temporary file and a rename.
bool WriteFileAtomically(const std::filesystem::path& path, const std::vector<char>& bytes) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  auto temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  return WriteFileAtomically(to, bytes);
}

}  // namespace

UserModeSet ReadUserModes(const std::filesystem::path& file) {
  text::IniSnapshot ini;
  ini.Load(file);
  UserModeSet set;
  const int present = std::atoi(ini.Value(kPresentSection, "mode").value_or("0").c_str());
  set.selected = present >= 0 && present < kUserModeCount ? present : 0;
  for (int m = 0; m < kUserModeCount; ++m) {
    UserMode& mode = set.modes[static_cast<std::size_t>(m)];
    const auto section = ModeSection(m);
    mode.name = ini.Value(kNameSection, std::to_string(m)).value_or("");
    mode.tool = ini.Value(section, "tool").value_or("0") == "1" ? 1 : 0;
    mode.base = ParseColourValue(ini.Value(section, "jcolor").value_or("0,0,0"));
    mode.brush = ParseColourValue(ini.Value(section, "color").value_or("0,0,0"));
    for (int slot = 0; slot < kLedSlots; ++slot) {
      mode.ledSlots[static_cast<std::size_t>(slot)] =
          ParseSlotValue(ini.Value(section, std::to_string(slot)).value_or("255,0,0,1"));
    }
  }
  return set;
}

bool WriteUserModes(const std::filesystem::path& file, const UserModeSet& set) {
  std::string out = "[PRESENTMODE]\nmode=" + std::to_string(set.selected >= 0 && set.selected < kUserModeCount ? set.selected : 0) +
                    "\n\n[MODENAME]\n";
  for (int m = 0; m < kUserModeCount; ++m) {
    // A line break in a name would start a key of its own in the file.
    std::string name = set.modes[static_cast<std::size_t>(m)].name;
    std::replace_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    out += std::to_string(m) + "=" + name + "\n";
  }
  for (int m = 0; m < kUserModeCount; ++m) {
    const UserMode& mode = set.modes[static_cast<std::size_t>(m)];
    out += "\n[" + ModeSection(m) + "]\ntool=" + std::to_string(mode.tool == 1 ? 1 : 0) +
           "\njcolor=" + FormatColourValue(mode.base) + "\ncolor=" + FormatColourValue(mode.brush) + "\n";
    for (int slot = 0; slot < kLedSlots; ++slot) {
      const SlotValue& v = mode.ledSlots[static_cast<std::size_t>(slot)];
      out += std::to_string(slot) + "=" + FormatColourValue(v.colour) + (v.followsBase ? ",1\n" : ",0\n");
    }
  }
  return WriteFileAtomically(file, std::vector<char>(out.begin(), out.end()));
}

std::array<Rgb, kLedSlots> ShownColours(const UserModeSet& set) {
  std::array<Rgb, kLedSlots> out{};
  // A mode number out of range reads as mode 0, as the editor reads the file.
  const int selected = set.selected >= 0 && set.selected < kUserModeCount ? set.selected : 0;
  const UserMode& mode = set.modes[static_cast<std::size_t>(selected)];
  for (const auto& key : keys::KeyboardLayout()) {
    if (key.kind == keys::LayoutKind::GKey) continue;
    const auto slot = static_cast<std::size_t>(ClampSlot(key.ledSlot));
    out[slot] = mode.ledSlots[slot].colour;
  }
  return out;
}

Rgb KeyColourTable::Get(int profile, int slot) const {
  const auto at = kKeyColourProfileBytes * static_cast<std::size_t>(ClampProfile(profile)) +
                  3 * static_cast<std::size_t>(ClampSlot(slot));
  return MakeRgb(bytes_[at], bytes_[at + 1], bytes_[at + 2]);
}

void KeyColourTable::Set(int profile, int slot, Rgb colour) {
  const auto at = kKeyColourProfileBytes * static_cast<std::size_t>(ClampProfile(profile)) +
                  3 * static_cast<std::size_t>(ClampSlot(slot));
  bytes_[at] = RedOf(colour);
  bytes_[at + 1] = GreenOf(colour);
  bytes_[at + 2] = BlueOf(colour);
}

std::span<const std::uint8_t> KeyColourTable::ProfileBytes(int profile) const {
  return std::span<const std::uint8_t>(bytes_).subspan(
      kKeyColourProfileBytes * static_cast<std::size_t>(ClampProfile(profile)), kKeyColourProfileBytes);
}

bool KeyFollowsBase::Get(int buttonIndex, int profile) const {
  if (buttonIndex < 0 || static_cast<std::size_t>(buttonIndex) >= flags_.size()) return false;
  return flags_[static_cast<std::size_t>(buttonIndex)][static_cast<std::size_t>(ClampProfile(profile))];
}

void KeyFollowsBase::Set(int buttonIndex, int profile, bool follows) {
  if (buttonIndex < 0 || static_cast<std::size_t>(buttonIndex) >= flags_.size()) return;
  flags_[static_cast<std::size_t>(buttonIndex)][static_cast<std::size_t>(ClampProfile(profile))] = follows;
}

SlotValue ParseSlotValue(std::string_view text) {
  const auto f = ParseFields<4>(text);
  return SlotValue{MakeRgb(Channel(f[0]), Channel(f[1]), Channel(f[2])), f[3] != 0};
}

std::string FormatColourValue(Rgb c) {
  return std::to_string(RedOf(c)) + "," + std::to_string(GreenOf(c)) + "," + std::to_string(BlueOf(c));
}

Rgb ParseColourValue(std::string_view text) {
  const auto f = ParseFields<3>(text);
  return MakeRgb(Channel(f[0]), Channel(f[1]), Channel(f[2]));
}

// Key colours are not read back after writing: no command of the keyboard reads the
// key-colour area (0x10 is reserved for the keyboard), so these writes stay unverified.
bool SendKeyColours(device::CommandSet& commands, const KeyColourTable& table, int profile) {
  const auto bytes = table.ProfileBytes(profile);
  constexpr std::size_t kChunk = 3 * kKeyColourChunkSlots;  // 54
  bool taken = commands.CmdBegin() == device::kDeviceOk;
  for (std::size_t k = 0; k < kKeyColourChunks; ++k) {
    std::array<std::uint8_t, kChunk> chunk{};
    const std::size_t from = kChunk * k;
    if (from < bytes.size()) {
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), std::min(kChunk, bytes.size() - from),
                  chunk.begin());
    }
    taken = commands.CmdWriteKeyColours(chunk, static_cast<int>(kChunk),
                                        static_cast<unsigned>(kKeyColourChunkSlots * k),
                                        static_cast<unsigned>(ClampProfile(profile))) == device::kDeviceOk &&
            taken;
  }
  return commands.CmdEnd() == device::kDeviceOk && taken;
}

bool SendKeyColour(device::CommandSet& commands, int profile, int slot, Rgb colour) {
  const std::uint8_t rgb[3] = {RedOf(colour), GreenOf(colour), BlueOf(colour)};
  const bool begun = commands.CmdBegin() == device::kDeviceOk;
  const bool written = commands.CmdWriteKeyColours(rgb, 3, static_cast<unsigned>(ClampSlot(slot)),
                                                   static_cast<unsigned>(ClampProfile(profile))) ==
                       device::kDeviceOk;
  const bool ended = commands.CmdEnd() == device::kDeviceOk;
  return begun && written && ended;
}

KeyColourEditor::KeyColourEditor(std::filesystem::path userFolder, std::filesystem::path defaultFile)
    : userFolder_(std::move(userFolder)), defaultFile_(std::move(defaultFile)) {}

std::filesystem::path KeyColourEditor::UserFile(int profile) const {
  return userFolder_ / ("UserDengColor_" + std::to_string(ClampProfile(profile)) + ".userd");
}

bool KeyColourEditor::EnsureUserFiles() const {
  bool ok = true;
  for (int p = 0; p < 3; ++p) {
    std::error_code ec;
    if (!std::filesystem::exists(UserFile(p), ec)) ok = CopyFileAtomically(defaultFile_, UserFile(p)) && ok;
  }
  return ok;
}

void KeyColourEditor::ReadUserMode(int profile) {
  selectedMode_ = ReadPresentMode(profile);
  const auto section = ModeSection(selectedMode_);
  // One parse for the mode's hundred-odd keys; a missing file reads every key's default.
  text::IniSnapshot file;
  file.Load(UserFile(profile));
  const auto read = [&](const std::string& key, std::string_view fallback) {
    return file.Value(section, key).value_or(std::string(fallback));
  };
  tool_ = read("tool", "0") == "1" ? 1 : 0;
  baseColour_ = ParseColourValue(read("jcolor", "0,0,0"));
  brushColour_ = ParseColourValue(read("color", "0,0,0"));
  const auto buttons = keys::KeyboardLayout();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (buttons[i].kind == keys::LayoutKind::GKey) continue;
    const int slot = buttons[i].ledSlot;
    const auto value = ParseSlotValue(read(std::to_string(slot), "255,0,0,1"));
    table_.Set(profile, slot, value.colour);
    flags_.Set(static_cast<int>(i), profile, value.followsBase);
  }
}

KeyColourWrite KeyColourEditor::LoadUserMode(device::CommandSet& commands, int profile) {
  ReadUserMode(profile);
  return SendWhole(commands, profile);
}

// ---- the keyboard's colours in step ----

std::filesystem::path KeyColourEditor::RecordFile() const { return userFolder_ / "KeyColourArea.ini"; }

std::vector<std::uint8_t> KeyColourEditor::Recorded(int profile) const {
  const std::string hex = text::ReadIniString(RecordFile(), RecordSection(keyboardId_),
                                              std::to_string(ClampProfile(profile)), "", 2 * kKeyColourProfileBytes + 1);
  std::vector<std::uint8_t> bytes;
  if (hex.size() != 2 * kKeyColourProfileBytes) return bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (ec != std::errc{} || ptr != hex.data() + i + 2) return {};
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

void KeyColourEditor::NoteSent(int profile, std::span<const std::uint8_t> bytes) const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t b : bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  text::WriteIniString(RecordFile(), RecordSection(keyboardId_), std::to_string(ClampProfile(profile)), hex);
}

void KeyColourEditor::NoteSlotSent(int profile, int slot, Rgb colour) const {
  std::vector<std::uint8_t> bytes = Recorded(profile);
  if (bytes.empty()) return;  // still unknown: one key does not tell the rest
  const auto at = 3 * static_cast<std::size_t>(ClampSlot(slot));
  bytes[at] = RedOf(colour);
  bytes[at + 1] = GreenOf(colour);
  bytes[at + 2] = BlueOf(colour);
  NoteSent(profile, bytes);
}

void KeyColourEditor::ForgetSent(int profile) const {
  if (Recorded(profile).empty()) return;
  text::WriteIniString(RecordFile(), RecordSection(keyboardId_), std::to_string(ClampProfile(profile)), "");
}

void KeyColourEditor::ForgetKeyboardColours() const {
  for (int p = 0; p < 3; ++p) ForgetSent(p);
}

bool KeyColourEditor::InStep(int profile) const {
  const std::vector<std::uint8_t> sent = Recorded(profile);
  if (sent.empty()) return false;
  const auto shown = ShownColours(ReadUserModes(ModesFile(UserFile(profile), defaultFile_)));
  // Only the slots a mode gives a colour: the G keys' shared light and the slots without
  // a key are not kept in the file.
  for (const auto& key : keys::KeyboardLayout()) {
    if (key.kind == keys::LayoutKind::GKey) continue;
    const auto slot = static_cast<std::size_t>(ClampSlot(key.ledSlot));
    const Rgb colour = shown[slot];
    if (sent[3 * slot] != RedOf(colour) || sent[3 * slot + 1] != GreenOf(colour) || sent[3 * slot + 2] != BlueOf(colour)) {
      return false;
    }
  }
  return true;
}

KeyColourWrite KeyColourEditor::BringInStep(device::CommandSet& commands) {
  KeyColourWrite outcome = KeyColourWrite::NotSent;
  for (int p = 0; p < 3; ++p) {
    if (InStep(p)) continue;
    const auto shown = ShownColours(ReadUserModes(ModesFile(UserFile(p), defaultFile_)));
    for (int slot = 0; slot < kLedSlots; ++slot) table_.Set(p, slot, shown[static_cast<std::size_t>(slot)]);
    if (SendWhole(commands, p) == KeyColourWrite::Refused) {
      outcome = KeyColourWrite::Refused;
    } else if (outcome == KeyColourWrite::NotSent) {
      outcome = KeyColourWrite::Taken;
    }
  }
  return outcome;
}

bool KeyColourEditor::SendProfileColours(device::CommandSet& commands, int profile,
                                         const std::array<Rgb, kLedSlots>& colours) const {
  KeyColourTable table;
  for (int slot = 0; slot < kLedSlots; ++slot) table.Set(profile, slot, colours[static_cast<std::size_t>(slot)]);
  const bool taken = SendKeyColours(commands, table, profile);
  if (taken) {
    NoteSent(profile, table.ProfileBytes(profile));
  } else {
    ForgetSent(profile);
  }
  return taken;
}

KeyColourWrite KeyColourEditor::SendWhole(device::CommandSet& commands, int profile) {
  const bool taken = SendKeyColours(commands, table_, profile);
  if (taken) {
    NoteSent(profile, table_.ProfileBytes(profile));
  } else {
    // Some chunks may have been taken, others not: what the keyboard shows is unknown.
    ForgetSent(profile);
  }
  return Outcome(taken);
}

void KeyColourEditor::SaveModeSettings(int profile, int mode) const {
  const auto file = UserFile(profile);
  const auto section = ModeSection(mode);
  text::WriteIniString(file, section, "tool", std::to_string(tool_));
  text::WriteIniString(file, section, "jcolor", FormatColourValue(baseColour_));
  text::WriteIniString(file, section, "color", FormatColourValue(brushColour_));
}

void KeyColourEditor::SaveKeyColour(int profile, int mode, int slot, Rgb colour, bool followsBase) const {
  text::WriteIniString(UserFile(profile), ModeSection(mode), std::to_string(slot),
                       FormatColourValue(colour) + (followsBase ? ",1" : ",0"));
}

void KeyColourEditor::SaveModeName(int profile, int mode, std::string_view name) const {
  text::WriteIniString(UserFile(profile), kNameSection, std::to_string(mode), name);
}

std::string KeyColourEditor::ReadModeName(int profile, int mode) const {
  return text::ReadIniString(UserFile(profile), kNameSection, std::to_string(mode), "0");
}

void KeyColourEditor::SavePresentMode(int profile, int mode) const {
  text::WriteIniString(UserFile(profile), kPresentSection, "mode", std::to_string(mode));
}

int KeyColourEditor::ReadPresentMode(int profile) const {
  const int mode = text::ReadIniInt(UserFile(profile), kPresentSection, "mode", 0);
  return mode >= 0 && mode < kUserModeCount ? mode : 0;
}

std::array<std::string, kUserModeCount> KeyColourEditor::ModeNames(int profile) const {
  std::array<std::string, kUserModeCount> names;
  for (int m = 0; m < kUserModeCount; ++m) names[static_cast<std::size_t>(m)] = ReadModeName(profile, m);
  return names;
}

std::array<std::string, kUserModeCount> KeyColourEditor::ShownModeNames(int profile,
                                                                       const text::TextSource& texts) const {
  auto names = ModeNames(profile);
  for (int m = 0; m < kUserModeCount; ++m) {
    const std::string shipped = text::ReadIniString(defaultFile_, kNameSection, std::to_string(m), "");
    auto& name = names[static_cast<std::size_t>(m)];
    if (shipped.empty() || name != shipped) continue;
    const std::string translated = texts.Text("USER_MODE_NAME_" + std::to_string(m));
    if (!translated.empty() && translated != "#Error") name = translated;
  }
  return names;
}

KeyColourWrite KeyColourEditor::PaintKey(device::CommandSet& commands, int profile, int controlId,
                                         int currentEffect) {
  if (currentEffect != 20) return KeyColourWrite::NotSent;
  const int index = ButtonIndex(controlId);
  if (index < 0) return KeyColourWrite::NotSent;
  const int slot = LedSlot(controlId);
  const bool follows = tool_ == 1;
  const Rgb colour = follows ? baseColour_ : brushColour_;
  flags_.Set(index, profile, follows);
  const bool taken = SendKeyColour(commands, profile, slot, colour);
  if (taken) {
    NoteSlotSent(profile, slot, colour);
  } else {
    ForgetSent(profile);
  }
  // Kept and saved even when refused: the next write of the profile's colours sends it.
  table_.Set(profile, slot, colour);
  SaveKeyColour(profile, selectedMode_, slot, colour, follows);
  return Outcome(taken);
}

KeyColourWrite KeyColourEditor::ChangeBaseColour(device::CommandSet& commands, int profile, Rgb colour) {
  if (colour == baseColour_) return KeyColourWrite::NotSent;
  baseColour_ = colour;
  SaveModeSettings(profile, selectedMode_);
  const auto buttons = keys::KeyboardLayout();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (!flags_.Get(static_cast<int>(i), profile)) continue;
    table_.Set(profile, buttons[i].ledSlot, colour);
    SaveKeyColour(profile, selectedMode_, buttons[i].ledSlot, colour, true);
  }
  return SendWhole(commands, profile);
}

void KeyColourEditor::ChangeBrushColour(int profile, Rgb colour) {
  brushColour_ = colour;
  SaveModeSettings(profile, selectedMode_);
}

void KeyColourEditor::ChooseTool(int profile, int tool) {
  tool_ = tool == 1 ? 1 : 0;
  SaveModeSettings(profile, selectedMode_);
}

KeyColourWrite KeyColourEditor::ChooseUserMode(device::CommandSet& commands, int profile, int mode) {
  selectedMode_ = std::clamp(mode, 0, kUserModeCount - 1);
  SavePresentMode(profile, selectedMode_);
  return LoadUserMode(commands, profile);
}

void KeyColourEditor::RenameUserMode(int profile, std::string_view name) {
  SaveModeName(profile, selectedMode_, name);
}

KeyColourWrite KeyColourEditor::RestoreDefault(device::CommandSet& commands, int profile) {
  if (!CopyFileAtomically(defaultFile_, UserFile(profile))) return KeyColourWrite::NotSent;
  return LoadUserMode(commands, profile);
}

void KeyColourEditor::RecomputeFlags() {
  const auto buttons = keys::KeyboardLayout();
  for (int p = 0; p < 3; ++p) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      flags_.Set(static_cast<int>(i), p, table_.Get(p, buttons[i].ledSlot) == baseColour_);
    }
  }
}

std::array<ButtonColour, keys::kLayoutKeyCount> KeyColourEditor::ButtonColours(int profile) const {
  std::array<ButtonColour, keys::kLayoutKeyCount> out{};
  const auto buttons = keys::KeyboardLayout();
  for (std::size_t i = 0; i < buttons.size(); ++i) out[i] = {buttons[i].controlId, table_.Get(profile, buttons[i].ledSlot)};
  return out;
}

}  // namespace vantrel::lighting
