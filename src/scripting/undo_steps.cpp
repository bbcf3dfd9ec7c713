#include "scripting/undo_steps.h"

#include "core/lighting/user_modes.h"

namespace vantrel::scripting {

ProfileLightings LightingParts(int profile, const profiles::LightingValue& value) {
  ProfileLightings parts{};
  if (profile < 0 || profile >= static_cast<int>(parts.size())) return parts;
  ProfileLighting& part = parts[static_cast<std::size_t>(profile)];
  if (value.record) SetRecord(part, *value.record);
  if (value.userModes) {
    part.userModes = *value.userModes;
    part.keyColours = lighting::ShownColours(*value.userModes);
  }
  return parts;
}

StepTaken TakeStep(profiles::EditSession& session, device::CommandSet& commands,
                   lighting::KeyColourEditor& colourFiles, StepDirection direction) {
  StepTaken taken;
  taken.step = direction == StepDirection::Undo ? session.Undo() : session.Redo();
  if (taken.step.result != profiles::StepOutcome::Result::Lighting) return taken;
  taken.failuresBefore = commands.LastFailure().count;
  taken.lighting = WriteLightingParts(commands, colourFiles, LightingParts(taken.step.profile, taken.step.lighting));
  if (!taken.lighting.Ok()) {
    session.LightingWriteFailed();
  } else if (taken.step.lighting.userModes) {
    colourFiles.ReadUserMode(taken.step.profile);
  }
  return taken;
}

}  // namespace vantrel::scripting
