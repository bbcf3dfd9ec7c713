// The lighting of a keyboard as one session of work: the lighting state it owns, the
// per-key colour editor it works with, and every operation that reads or changes them -
// loading, one parameter change with recovery, the default record, the panel's open flag,
// painting keys, the base and brush colours, the user modes. The lighting panel, the
// scripting interface and vantrelctl all go through it, so that a change the keyboard
// refuses is handled the same way whoever asked for it: the state follows what the
// keyboard holds (its record read again), or goes back to what it was when that cannot be
// read, and the failure that refused the change is kept for the caller to report.
//
// Threads: a session is used by one thread at a time (the program's device worker).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>

#include "core/device/commands.h"
#include "core/lighting/effects.h"
#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"
#include "core/profiles/write_recorder.h"
#include "core/text/text_source.h"

namespace vantrel::lighting {

class LightingSession {
 public:
  // `colours` outlives the session; wskbIni is the per-user "wskb.ini" ("DengCheck");
  // `texts` tells the read-back's differences (null: the language keys).
  LightingSession(KeyColourEditor& colours, std::filesystem::path wskbIni, const text::TextSource* texts);

  // Told of every lighting and key-colour write made here (the history), except report
  // rate changes; none: nothing is recorded.
  void SetRecorder(profiles::WriteRecorder* recorder) { recorder_ = recorder; }
  LightingState& State() { return state_; }
  const LightingState& State() const { return state_; }
  KeyColourEditor& Colours() { return colours_; }
  const KeyColourEditor& Colours() const { return colours_; }

  // ---- Loading ----
  struct Loaded {
    int result = kLoadOk;  // kLoadOk or kLoadNoDeviceState
    KeyColourWrite colours = KeyColourWrite::NotSent;  // the key colours sent with the load
  };
  // The effect list and the three records read, `profile`'s decoded, "DengCheck" read.
  // When the keyboard offers per-key colours: on connection the selected user mode is
  // read and sent inside the read bracket and the follow flags recomputed; on the other
  // occasions, with `userColours`, the profile's selected mode is read and sent after it.
  Loaded Load(device::CommandSet& commands, int profile, LoadOccasion occasion, bool userColours);

  // ---- Parameter changes ----
  // One change sent (one bracket, read back). Refused: the state follows the keyboard's
  // record read again, or goes back to what it was before the change when that cannot be
  // read; Refusal() then tells the failure of the change itself.
  WriteOutcome Change(device::CommandSet& commands, int profile, const FieldChange& change);
  // The multicolour picture of a colour group clicked: multicolour the other way round.
  WriteOutcome ToggleMulticolour(device::CommandSet& commands, int profile, ColourGroup group);
  // The default record (with recovery as a change), preceded by the default colour file
  // when `keyColours` and the keyboard offers per-key colours.
  struct DefaultWrite {
    WriteOutcome record = WriteOutcome::NotSent;
    KeyColourWrite colours = KeyColourWrite::NotSent;
  };
  DefaultWrite RestoreDefault(device::CommandSet& commands, int profile, bool keyColours);
  // The command set's last failure as it stood right after the last refused change was
  // sent (before the recovery read, which may fail in its own way).
  const device::CommandFailure& Refusal() const { return refusal_; }

  // ---- The panel's open flag ----
  // The state's flag and "DengCheck" in "wskb.ini".
  void SetPanelOpen(bool open);

  // ---- Per-key colours ----
  // The profile's colour files made from the default file where missing, its selected
  // mode read, and the G keys following the base colour when their shared light shows it
  // (their flags are not kept in the file). False when the files cannot be made.
  bool PrepareToPaint(int profile);
  // One key button painted with the tool's colour, sent and saved (NotSent unless the
  // effect is 20 and the control a key button).
  KeyColourWrite PaintKey(device::CommandSet& commands, int profile, int controlId, EffectCode effect);
  struct Painting {
    enum class Step { Done, Key, InStep };
    Step step = Step::Done;
    int controlId = 0;  // Key: the key the keyboard did not take
    bool Ok() const { return step == Step::Done; }
  };
  // Keys painted in turn (after PrepareToPaint): with `colour`, it becomes the brush and
  // the brush tool paints. `painted` hears each key taken. The first key not taken ends
  // the list (Key); then every profile the keyboard is not known to show in its selected
  // mode gets it whole (InStep when the keyboard refused that).
  Painting PaintKeys(device::CommandSet& commands, int profile, EffectCode effect, std::span<const int> controls,
                     std::optional<Rgb> colour, const std::function<void(int controlId)>& painted = {});
  // Every profile not in step gets its selected mode whole.
  KeyColourWrite BringInStep(device::CommandSet& commands) { return colours_.BringInStep(commands); }
  KeyColourWrite ChangeBaseColour(device::CommandSet& commands, int profile, Rgb colour);
  void ChangeBrushColour(int profile, Rgb colour) { colours_.ChangeBrushColour(profile, colour); }
  void ChooseTool(int profile, int tool) { colours_.ChooseTool(profile, tool); }
  KeyColourWrite ChooseUserMode(device::CommandSet& commands, int profile, int mode);
  void RenameUserMode(int profile, std::string_view name) { colours_.RenameUserMode(profile, name); }
  KeyColourWrite RestoreDefaultColours(device::CommandSet& commands, int profile);

 private:
  // Runs `send` on the state; a refusal is recovered from as Change says.
  WriteOutcome Recovering(device::CommandSet& commands, int profile, const std::function<WriteOutcome()>& send);

  // A key-colour write as one recorded write.
  KeyColourWrite RecordedColours(const std::function<KeyColourWrite()>& send);

  KeyColourEditor& colours_;
  profiles::WriteRecorder* recorder_ = nullptr;
  std::filesystem::path wskbIni_;
  LightingState state_;
  device::CommandFailure refusal_;
};

}  // namespace vantrel::lighting
