// Undo and Redo of the editing session's steps as the window runs them, on the device
// worker: a store step is the session's alone; a lighting step's value is written back
// the way an imported document's lighting is written (WriteLightingParts), and a write
// the keyboard or the colour folder refuses leaves the step where it was.
#pragma once

#include "core/device/commands.h"
#include "core/lighting/key_colours.h"
#include "core/profiles/edit_session.h"
#include "scripting/keyboard_tasks.h"
#include "scripting/script_outcome.h"

namespace vantrel::scripting {

// The lighting parts that write `value` to `profile`: its record whole, and its user
// colour modes with the key colours they show.
ProfileLightings LightingParts(int profile, const profiles::LightingValue& value);

// What an Undo or Redo did.
struct StepTaken {
  profiles::StepOutcome step;
  std::uint64_t failuresBefore = 0;  // CommandSet::LastFailure().count before a lighting write
  LightingPartsWrite lighting;       // a lighting step: how far its write went
  bool Ok() const { return lighting.Ok(); }
};

enum class StepDirection { Undo, Redo };
// Takes the step; a lighting step's value is written, and the colour editor reads the
// user colour mode it wrote, so that what the panel shows and paints next follows it.
StepTaken TakeStep(profiles::EditSession& session, device::CommandSet& commands,
                   lighting::KeyColourEditor& colourFiles, StepDirection direction);

}  // namespace vantrel::scripting
