#include "core/lighting/lighting_session.h"

#include <utility>

#include "core/keys/keyboard_layout.h"

namespace vantrel::lighting {
namespace {

profiles::WriteEnd EndOf(WriteOutcome outcome) {
  switch (outcome) {
    case WriteOutcome::Taken:
      return profiles::WriteEnd::Taken;
    case WriteOutcome::Refused:
      return profiles::WriteEnd::Refused;
    case WriteOutcome::NotSent:
      break;
  }
  return profiles::WriteEnd::NotSent;
}

profiles::WriteEnd EndOf(KeyColourWrite outcome) {
  switch (outcome) {
    case KeyColourWrite::Taken:
      return profiles::WriteEnd::Taken;
    case KeyColourWrite::Refused:
      return profiles::WriteEnd::Refused;
    case KeyColourWrite::NotSent:
      break;
  }
  return profiles::WriteEnd::NotSent;
}

}  // namespace

LightingSession::LightingSession(KeyColourEditor& colours, std::filesystem::path wskbIni,
                                 const text::TextSource* texts)
    : colours_(colours), wskbIni_(std::move(wskbIni)) {
  state_.texts = texts;
}

LightingSession::Loaded LightingSession::Load(device::CommandSet& commands, int profile, LoadOccasion occasion,
                                              bool userColours) {
  Loaded loaded;
  const bool connection = occasion == LoadOccasion::Connection;
  // On connection the user colours are loaded and sent inside the load's bracket.
  loaded.result = LoadLighting(commands, state_, profile, occasion, wskbIni_,
                               [&] { loaded.colours = colours_.LoadUserMode(commands, profile); });
  if (loaded.result == kLoadOk && EffectListHolds(state_.supportedEffects, kEffectUserColours)) {
    if (connection) {
      colours_.RecomputeFlags();
    } else if (userColours) {
      loaded.colours = colours_.LoadUserMode(commands, profile);
    }
  }
  if (recorder_ != nullptr && loaded.result == kLoadOk && state_.recordsRead) recorder_->LightingRead(state_.records);
  return loaded;
}

WriteOutcome LightingSession::Recovering(device::CommandSet& commands, int profile,
                                         const std::function<WriteOutcome()>& send) {
  return ChangeOrRecover(commands, state_, profile, [&] {
    const WriteOutcome outcome = send();
    if (outcome == WriteOutcome::Refused) refusal_ = commands.LastFailure();
    return outcome;
  });
}

WriteOutcome LightingSession::Change(device::CommandSet& commands, int profile, const FieldChange& change) {
  // The report rate is the keyboard's setting, not part of a configuration kept in the
  // history (as the active profile is not).
  profiles::WriteRecorder* recorder = change.field == LightingField::ReportRate ? nullptr : recorder_;
  profiles::RecordedWrite recorded(recorder, profiles::kLightingPart);
  const WriteOutcome outcome =
      Recovering(commands, profile, [&] { return SendFieldChange(commands, state_, profile, change); });
  recorded.Done(EndOf(outcome), nullptr, &state_.records);
  return outcome;
}

WriteOutcome LightingSession::ToggleMulticolour(device::CommandSet& commands, int profile, ColourGroup group) {
  profiles::RecordedWrite recorded(recorder_, profiles::kLightingPart);
  const WriteOutcome outcome = Recovering(
      commands, profile, [&] { return lighting::ToggleMulticolour(commands, state_, profile, group); });
  recorded.Done(EndOf(outcome), nullptr, &state_.records);
  return outcome;
}

KeyColourWrite LightingSession::RecordedColours(const std::function<KeyColourWrite()>& send) {
  profiles::RecordedWrite recorded(recorder_, profiles::kLightingPart);
  const KeyColourWrite outcome = send();
  recorded.Done(EndOf(outcome), nullptr, state_.recordsRead ? &state_.records : nullptr);
  return outcome;
}

KeyColourWrite LightingSession::ChangeBaseColour(device::CommandSet& commands, int profile, Rgb colour) {
  return RecordedColours([&] { return colours_.ChangeBaseColour(commands, profile, colour); });
}

KeyColourWrite LightingSession::ChooseUserMode(device::CommandSet& commands, int profile, int mode) {
  return RecordedColours([&] { return colours_.ChooseUserMode(commands, profile, mode); });
}

KeyColourWrite LightingSession::RestoreDefaultColours(device::CommandSet& commands, int profile) {
  return RecordedColours([&] { return colours_.RestoreDefault(commands, profile); });
}

LightingSession::DefaultWrite LightingSession::RestoreDefault(device::CommandSet& commands, int profile,
                                                              bool keyColours) {
  DefaultWrite written;
  const bool offered = EffectListHolds(state_.supportedEffects, kEffectUserColours);
  profiles::RecordedWrite recorded(recorder_, profiles::kLightingPart);
  written.record = Recovering(commands, profile, [&] {
    if (keyColours && offered) written.colours = colours_.RestoreDefault(commands, profile);
    return SendDefaultLighting(commands, state_, profile);
  });
  const bool refused = written.record == WriteOutcome::Refused || written.colours == KeyColourWrite::Refused;
  const bool sent = written.record != WriteOutcome::NotSent || written.colours != KeyColourWrite::NotSent;
  recorded.Done(refused ? profiles::WriteEnd::Refused : sent ? profiles::WriteEnd::Taken : profiles::WriteEnd::NotSent,
                nullptr, &state_.records);
  return written;
}

void LightingSession::SetPanelOpen(bool open) {
  state_.panelOpen = open;
  (void)WriteDengCheck(wskbIni_, open);
}

bool LightingSession::PrepareToPaint(int profile) {
  if (!colours_.EnsureUserFiles()) return false;
  colours_.ReadUserMode(profile);
  const auto buttons = keys::KeyboardLayout();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (buttons[i].kind != keys::LayoutKind::GKey) continue;
    colours_.Flags().Set(static_cast<int>(i), profile,
                         colours_.Table().Get(profile, keys::kGKeyLedSlot) == colours_.BaseColour());
  }
  return true;
}

KeyColourWrite LightingSession::PaintKey(device::CommandSet& commands, int profile, int controlId,
                                         EffectCode effect) {
  return RecordedColours([&] { return colours_.PaintKey(commands, profile, controlId, effect); });
}

LightingSession::Painting LightingSession::PaintKeys(device::CommandSet& commands, int profile, EffectCode effect,
                                                     std::span<const int> controls, std::optional<Rgb> colour,
                                                     const std::function<void(int)>& painted) {
  Painting result;
  profiles::RecordedWrite recorded(recorder_, profiles::kLightingPart);
  if (colour) {
    // As in the panel: the colour becomes the brush, and the brush tool paints with it.
    colours_.ChangeBrushColour(profile, *colour);
    colours_.ChooseTool(profile, 0);
  }
  for (const int control : controls) {
    // The keys after a refused one were meant to follow it: they are not painted. The
    // colour file keeps the refused key's colour.
    if (colours_.PaintKey(commands, profile, control, effect) != KeyColourWrite::Taken) {
      result.step = Painting::Step::Key;
      result.controlId = control;
      recorded.Done(profiles::WriteEnd::Refused, nullptr, state_.recordsRead ? &state_.records : nullptr);
      return result;
    }
    if (painted) painted(control);
  }
  if (colours_.BringInStep(commands) == KeyColourWrite::Refused) result.step = Painting::Step::InStep;
  recorded.Done(result.Ok() ? profiles::WriteEnd::Taken : profiles::WriteEnd::Refused, nullptr,
                state_.recordsRead ? &state_.records : nullptr);
  return result;
}

}  // namespace vantrel::lighting
