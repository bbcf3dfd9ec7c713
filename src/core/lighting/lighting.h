// The host's lighting state for the current profile, how it is loaded from the
// keyboard, and the write that each parameter change sends. Every write goes out at
// once in a bracket of its own: begin (0x01), one or more parameter writes (0x06) at
// area offset 42 x profile + field offset, end (0x02). The host state changes with the
// change whatever the keyboard answers; each change says whether the keyboard took its
// bracket. After a bracket the keyboard took, the record is read back in a read bracket of
// its own (begin, 0x05, end) and the written bytes compared: a difference counts as a
// refusal, and the state's readBack says what differs. ReadBackRecord puts the state in
// line with the keyboard after a refusal.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "core/device/commands.h"
#include "core/device/read_back.h"
#include "core/lighting/colour.h"
#include "core/lighting/effects.h"
#include "core/lighting/lighting_record.h"

namespace vantrel::lighting {

struct LightingState {
  // What the keyboard was last known to hold: the copy last read from it, with every
  // write it took laid over it (and the read-back of the write, when made, as read).
  std::array<LightingRecord, kProfileCount> records{};
  bool recordsRead = false;  // all three records have been read from the keyboard once
  EffectCode effect = 0;
  int brightness = 0;     // also the last brightness slider position sent
  int speed = 0;          // device value; the slider shows 4 - speed
  int speedPosition = 4;  // last speed slider position
  int direction = 0;      // 0 or 255
  int colourChoice = 0;
  int reportRate = 0;     // 0..3
  bool multicolour = false;
  bool variantFlag = false;
  bool triggerSingle = true;
  bool triggerGrid = false;
  bool secondCycling = false;
  bool thirdCycling = false;
  Rgb colour = 0;
  Rgb secondColour = 0;
  Rgb thirdColour = 0;
  bool panelOpen = false;
  EffectList supportedEffects{};
  bool verifyWrites = true;       // read each write back after its bracket
  device::Verification readBack;  // what the last change's read-back found
  // The language the read-back's differences are told in; set by the owner. Without it
  // the lines name the language file's keys.
  const text::TextSource* texts = nullptr;
};

enum class LoadOccasion { Connection, Other };

// How the keyboard answered one parameter change.
enum class WriteOutcome {
  NotSent,  // nothing to send (effect 19, a slider at the position it already has)
  Taken,    // begin, every write and end succeeded
  Refused,  // one of them failed, or the record read back differs from what was written:
            // the keyboard may not hold the change (state.readBack has the differences)
};

// One parameter of the record, as a change names it.
enum class LightingField { Effect, Brightness, Speed, Direction, Colour, Multicolour, Choice, ReportRate };

// One parameter change, whoever asks for it (the panel, a script, vantrelctl).
struct FieldChange {
  LightingField field = LightingField::Effect;
  // Effect code; slider position 0..4; direction byte (0 or 255); colour choice 0..3;
  // report-rate button 0..3.
  int number = 0;
  Rgb colour = 0;
  bool on = false;  // multicolour
  // Multicolour: the colour group whose picture was clicked; None takes the group of the
  // effect in force. In group "FY" the variant flag follows the multicolour byte.
  ColourGroup group = ColourGroup::None;
};

// The bytes one change writes at an area offset.
struct FieldWrite {
  std::uint16_t offset = 0;
  std::vector<std::uint8_t> bytes;
};

// What the host state becomes with a change, and the writes that carry it to the keyboard
// (none when nothing is sent: effect 19, a slider at the position it has). The one rule
// for both: the writes below send it, and a view shows the change with it before the
// keyboard has answered.
std::vector<FieldWrite> ApplyChange(LightingState& state, int profile, const FieldChange& change);

// ApplyChange, then its writes in one bracket, read back.
WriteOutcome SendFieldChange(device::CommandSet& commands, LightingState& state, int profile,
                             const FieldChange& change);

inline constexpr int kLoadOk = 0;
inline constexpr int kLoadNoDeviceState = -1;

// Decodes record `profile` of state.records into the state's fields.
void DecodeIntoState(LightingState& state, int profile);

// Reads the device state record (effect list) and the three lighting records, decodes
// the current profile's record and reads "DengCheck" from wskbIni. On connection,
// loadKeyColours (when given) runs inside the read bracket when the keyboard offers
// effect 20. A failed area read keeps that record's last known bytes. Returns kLoadOk,
// or kLoadNoDeviceState (state unchanged except the cleared effect list).
int LoadLighting(device::CommandSet& commands, LightingState& state, int profile, LoadOccasion occasion,
                 const std::filesystem::path& wskbIni, const std::function<void()>& loadKeyColours = {});

// "DengCheck" of section "KEYCOLOR" in "wskb.ini": true for "1"; missing reads as "0".
bool ReadDengCheck(const std::filesystem::path& wskbIni);
bool WriteDengCheck(const std::filesystem::path& wskbIni, bool open);

// Area offset of a field of a profile's record.
std::uint16_t RecordOffset(int profile, std::size_t field);

// effect = code; one byte code at 42p, then for the codes that carry it the multicolour
// byte at 42p + 4. Code 19 sends nothing.
WriteOutcome SendEffect(device::CommandSet& commands, LightingState& state, int profile, EffectCode code);
// The effect at drop-down position k (EffectAtPosition), sent as above.
WriteOutcome SendEffectAtPosition(device::CommandSet& commands, LightingState& state, int profile,
                                  const EffectIndexTable& table, int position);
// Position n (0..4): nothing when n equals the brightness; else one byte n at 42p + 1.
WriteOutcome SendBrightness(device::CommandSet& commands, LightingState& state, int profile, int position);
// Position n (0..4): nothing when n is the last speed position; else 4 - n at 42p + 2.
WriteOutcome SendSpeed(device::CommandSet& commands, LightingState& state, int profile, int position);
// value 0xFF or 0x00 at 42p + 3.
WriteOutcome SendDirection(device::CommandSet& commands, LightingState& state, int profile, int value);
// Multicolour off: 0 at 42p + 4, then R, G, B at 42p + 5.
WriteOutcome SendColour(device::CommandSet& commands, LightingState& state, int profile, Rgb colour);
// The multicolour byte (on ? 1 : 0) at 42p + 4.
WriteOutcome SendMulticolour(device::CommandSet& commands, LightingState& state, int profile, bool on);
// The multicolour picture of a colour group: toggles multicolour (and, in group "FY",
// the variant flag) and sends it.
WriteOutcome ToggleMulticolour(device::CommandSet& commands, LightingState& state, int profile, ColourGroup group);
// n (0 red, 1 yellow, 2 green, 3 blue) at 42p + 17.
WriteOutcome SendColourChoice(device::CommandSet& commands, LightingState& state, int profile, int choice);
// n (0..3) at 42p + 15.
WriteOutcome SendReportRate(device::CommandSet& commands, LightingState& state, int profile, int rate);
// Effect 1 as a normal effect change, the state set to the defaults, then 35 bytes of
// the default record at 42p in a bracket of their own. Refused when either bracket was.
WriteOutcome SendDefaultLighting(device::CommandSet& commands, LightingState& state, int profile);

// Writes bytes 0..34 of `record` (the fields and the reserved bytes between them, as the
// default record does) to the profile's record in one bracket, read back like any change.
// The state's fields are left alone (they show the current profile: DecodeIntoState).
WriteOutcome SendRecord(device::CommandSet& commands, LightingState& state, int profile,
                        std::span<const std::uint8_t, kRecordSize> record);

// After a refused change: the profile's record is read again (one bracket) and decoded,
// so the state shows what the keyboard holds. False when it cannot be read; the state is
// then unchanged.
bool ReadBackRecord(device::CommandSet& commands, LightingState& state, int profile);

// Runs `change` (one of the sends above, on `state`); when the keyboard refused it, the
// state follows the keyboard's record read back, or, when that cannot be read either,
// goes back to what it was before the change.
WriteOutcome ChangeOrRecover(device::CommandSet& commands, LightingState& state, int profile,
                             const std::function<WriteOutcome()>& change);

}  // namespace vantrel::lighting
