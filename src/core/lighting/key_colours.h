// Per-key colours (effect 20): the host's colour table, the per-button "follows the base
// colour" flags, the ten user colour modes per profile kept in the ".userd" INI files,
// and the writes to the keyboard's key-colour area (command 0x11; profile p at
// 512 x p, slot s at + 3 x s as red, green, blue).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/lighting/colour.h"
#include "core/lighting/key_buttons.h"
#include "core/text/text_source.h"

namespace vantrel::lighting {

inline constexpr int kUserModeCount = 10;
inline constexpr std::size_t kKeyColourProfileBytes = 3 * kLedSlots;  // 378
inline constexpr std::size_t kKeyColourChunkSlots = 18;
inline constexpr std::size_t kKeyColourChunks = 8;  // slots 0..143
inline constexpr Rgb kMissingKeyColour = MakeRgb(255, 0, 0);

// 3 profiles x 126 slots x (red, green, blue); entry (p, s) at 378 p + 3 s.
class KeyColourTable {
 public:
  Rgb Get(int profile, int slot) const;
  void Set(int profile, int slot, Rgb colour);
  // The profile's 378 bytes.
  std::span<const std::uint8_t> ProfileBytes(int profile) const;

 private:
  std::array<std::uint8_t, 3 * kKeyColourProfileBytes> bytes_{};
};

// One flag per key button and profile: the key shows the mode's base colour.
class KeyFollowsBase {
 public:
  bool Get(int buttonIndex, int profile) const;
  void Set(int buttonIndex, int profile, bool follows);

 private:
  std::array<std::array<bool, 3>, keys::kLayoutKeyCount> flags_{};
};

// A slot's value in a ".userd" file: "r,g,b,flag".
struct SlotValue {
  Rgb colour = kMissingKeyColour;
  bool followsBase = true;
};
// Parses "%d,%d,%d[,%d]": channels clamped to 0..255, any non-zero flag reads as 1,
// fields that are not there read as 0.
SlotValue ParseSlotValue(std::string_view text);
// "r,g,b" in decimal.
std::string FormatColourValue(Rgb colour);
// "r,g,b" parsed like a slot value without the flag.
Rgb ParseColourValue(std::string_view text);

// The command 0x11 writes of one profile: begin, eight chunks of 54 bytes at
// 512 p + 54 k (slots 18k .. 18k + 17), end. The last chunk's slots 126..143 have no
// host data and carry zeros. False when the keyboard refused any of them (the end is sent
// after a refused chunk all the same, so the keyboard leaves the write).
bool SendKeyColours(device::CommandSet& commands, const KeyColourTable& table, int profile);
// Begin, 3 bytes R, G, B at 512 p + 3 slot, end. False when the keyboard refused any
// of the three (all three are sent whatever the answers).
bool SendKeyColour(device::CommandSet& commands, int profile, int slot, Rgb colour);

// What became of an editor change that writes the keyboard's key colours.
enum class KeyColourWrite {
  NotSent,  // nothing was sent (see each method for when)
  Taken,    // the keyboard took every write
  // The keyboard refused a write: the table and the ".userd" file hold the new colours
  // all the same, and the keyboard may still show the old ones until its colours are
  // written again.
  Refused,
};

// A key button and the colour it shows.
struct ButtonColour {
  int controlId;
  Rgb colour;
};

// The per-key colour editor: owns the table, the flags and the user-mode state, and
// keeps the ".userd" files and the keyboard in line with them.
class KeyColourEditor {
 public:
  // userFolder holds "UserDengColor_<p>.userd"; defaultFile is the program's copy.
  KeyColourEditor(std::filesystem::path userFolder, std::filesystem::path defaultFile);

  // ---- The keyboard's colours in step with the user modes ----
  //
  // The keyboard cannot be read back, so the colours it shows are known only from what was
  // sent to it. What went to each profile is kept in "KeyColourArea.ini" in the user
  // folder, one section per keyboard (the virtual keyboard's state file, or the USB
  // keyboard), shared by every program: a profile counts as in step when the colours last
  // sent to it whole (and the keys painted since) are the ones its selected mode shows.
  // A profile never sent whole, or whose last write the keyboard refused, is not in step.

  // Names the keyboard these colours go to; the record of another keyboard is not used.
  void SetKeyboardId(std::string id) { keyboardId_ = std::move(id); }
  // The keyboard lost its configuration (a reset): nothing of its colours is known.
  void ForgetKeyboardColours() const;
  // Whether the keyboard shows the profile's selected mode, as far as this host knows.
  bool InStep(int profile) const;
  // Each profile not in step gets its selected mode's colours whole (ShownColours of its
  // colour file, or of the default file while it has none). NotSent when every profile
  // was in step; Refused when the keyboard refused any write (the others are still sent).
  KeyColourWrite BringInStep(device::CommandSet& commands);
  // The colours of every LED slot sent whole to the profile and noted as what it shows.
  bool SendProfileColours(device::CommandSet& commands, int profile, const std::array<Rgb, kLedSlots>& colours) const;

  std::filesystem::path UserFile(int profile) const;
  const std::filesystem::path& DefaultFile() const { return defaultFile_; }
  // Copies the default file to every profile whose file is missing; false when a copy fails.
  bool EnsureUserFiles() const;

  // Reads the selected mode's tool, colours and every ordinary key's and Fn's slot into
  // the table and the flags; G keys are not read.
  void ReadUserMode(int profile);
  // ReadUserMode, then SendKeyColours: Taken or Refused.
  KeyColourWrite LoadUserMode(device::CommandSet& commands, int profile);

  void SaveModeSettings(int profile, int mode) const;
  void SaveKeyColour(int profile, int mode, int slot, Rgb colour, bool followsBase) const;
  void SaveModeName(int profile, int mode, std::string_view name) const;
  std::string ReadModeName(int profile, int mode) const;
  void SavePresentMode(int profile, int mode) const;
  int ReadPresentMode(int profile) const;
  std::array<std::string, kUserModeCount> ModeNames(int profile) const;
  // The names as shown: a mode that still has the default file's name for it is called by
  // the language's name for it ("USER_MODE_NAME_<mode>"); a name the user typed is shown
  // as typed.
  std::array<std::string, kUserModeCount> ShownModeNames(int profile, const text::TextSource& texts) const;

  // A key button clicked while the panel shows effect 20: paints it with the brush
  // (tool 0, flag 0) or the base colour (tool 1, flag 1), sends and saves it. NotSent
  // (and nothing changed) when the effect is not 20 or the control is no key button.
  KeyColourWrite PaintKey(device::CommandSet& commands, int profile, int controlId, int currentEffect);
  // NotSent, and nothing done, when the colour is the base colour already; else every
  // following key takes it, is saved, and the whole profile is sent.
  KeyColourWrite ChangeBaseColour(device::CommandSet& commands, int profile, Rgb colour);
  void ChangeBrushColour(int profile, Rgb colour);
  void ChooseTool(int profile, int tool);
  // Saves the mode as the profile's present one and loads it: Taken or Refused.
  KeyColourWrite ChooseUserMode(device::CommandSet& commands, int profile, int mode);
  void RenameUserMode(int profile, std::string_view name);
  // Copies the default file over the profile's file and loads it. NotSent when the copy
  // fails: the file and the keyboard are left as they were.
  KeyColourWrite RestoreDefault(device::CommandSet& commands, int profile);
  // After a connection: every button's flag, for each profile, becomes
  // (table colour == base colour).
  void RecomputeFlags();

  // Every key button in its table colour (G keys from slot 125, Fn from 110).
  std::array<ButtonColour, keys::kLayoutKeyCount> ButtonColours(int profile) const;

  KeyColourTable& Table() { return table_; }
  const KeyColourTable& Table() const { return table_; }
  KeyFollowsBase& Flags() { return flags_; }
  const KeyFollowsBase& Flags() const { return flags_; }
  int SelectedMode() const { return selectedMode_; }
  int Tool() const { return tool_; }
  Rgb BaseColour() const { return baseColour_; }
  Rgb BrushColour() const { return brushColour_; }

 private:
  std::filesystem::path RecordFile() const;
  // What the record holds for the profile: 378 bytes, or empty when nothing is known.
  std::vector<std::uint8_t> Recorded(int profile) const;
  void NoteSent(int profile, std::span<const std::uint8_t> bytes) const;
  void NoteSlotSent(int profile, int slot, Rgb colour) const;
  void ForgetSent(int profile) const;
  // A whole send of the table's profile, noted in the record.
  KeyColourWrite SendWhole(device::CommandSet& commands, int profile);

  std::filesystem::path userFolder_;
  std::filesystem::path defaultFile_;
  std::string keyboardId_;
  KeyColourTable table_;
  KeyFollowsBase flags_;
  int selectedMode_ = 0;
  int tool_ = 0;
  Rgb baseColour_ = 0;
  Rgb brushColour_ = 0;
};

}  // namespace vantrel::lighting
