// Whole operations that vantrelctl and the program's scripting interface run alike over
// the core: the keyboard's configuration read through the working file (export, backup),
// a profile file loaded whole before anything is written (restore, verify), the keyboard
// compared with a file, and the lighting part of a profile document read and written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/keys/stores.h"
#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"
#include "core/profiles/profile_service.h"
#include "core/text/text_source.h"
#include "scripting/key_names.h"
#include "scripting/profile_json.h"
#include "scripting/script_outcome.h"

namespace vantrel::scripting {

// Where reading the keyboard's configuration through the working file stopped.
enum class ReadStep {
  Done,         // `editing` holds the keyboard's configuration
  Keyboard,     // the keyboard could not be read
  WorkingFile,  // the working file could not be written (why says why)
  ReadBack,     // the working file could not be read back
};

// Keyboard -> working file -> `editing`, as the main window does on the keyboard's
// arrival: what was read is the new "last configuration read from the keyboard".
ReadStep ReadThroughWorkingFile(profiles::ProfileService& service, keys::EditingStore& editing, std::string* why);

// A profile file validated and read whole into `image`; nothing else is touched. False
// with the reason ("is a directory", "header rejected: ...") otherwise.
bool LoadWholeProfileFile(const std::filesystem::path& file, const text::TextSource& texts, text::MessageSink& sink,
                          keys::StoreImage& image, std::string* reason);

struct Comparison {
  bool fileLoaded = false;
  std::string reason;  // why the file could not be used
  device::DeviceResult read = device::kDeviceOk;  // reading the keyboard's configuration
  std::vector<std::string> differences;  // one line each; empty when the keyboard holds the file
  bool Same() const { return fileLoaded && read == device::kDeviceOk && differences.empty(); }
};

// The keyboard's key tables and macro area against a profile file (or the working file).
Comparison CompareKeyboardWithFile(device::CommandSet& commands, const std::filesystem::path& file,
                                   const text::TextSource& texts, text::MessageSink& sink);

// The name under which the colours sent to a keyboard are recorded (KeyColourEditor::
// SetKeyboardId): the virtual keyboard's state file (absolute) when simulating, else the
// USB keyboard.
std::string KeyboardId(bool simulating, const std::filesystem::path& simStateFile);

// The lighting records of the three profiles as the keyboard holds them, into `parts`.
// False when the keyboard's lighting cannot be read.
bool ReadLightingRecordParts(device::CommandSet& commands, ProfileLightings& parts);
// Each profile's user colour modes (its colour file, or the default file while it has
// none) and the key colours they make the keyboard show, into `parts`.
void ReadColourParts(const lighting::KeyColourEditor& files, ProfileLightings& parts);
// One profile's user colour modes as ReadColourParts reads them.
lighting::UserModeSet ReadProfileUserModes(const lighting::KeyColourEditor& files, int profile);

// Where writing the lighting part of a document stopped.
struct LightingPartsWrite {
  enum class Step {
    Done,
    ReadRecords,  // the keyboard's records could not be read: nothing of the lighting was written
    Record,       // the keyboard did not take `profile`'s record, or holds something else
    KeyColours,   // the keyboard refused `profile`'s key colours
    ColourFile,   // `file` (the profile's colour file) could not be written
  };
  Step step = Step::Done;
  int profile = 0;
  device::Verification readBack;  // Record: what the read-back found
  std::filesystem::path file;
  bool Ok() const { return step == Step::Done; }
};

// The lighting part of an imported document, after its keys and macros were written:
// each profile's record (the document's fields over the keyboard's own bytes), read back;
// its key colours; its user modes into the profile's colour file. Stops at the first part
// the keyboard or the folder did not take.
LightingPartsWrite WriteLightingParts(device::CommandSet& commands, const lighting::KeyColourEditor& files,
                                      const ProfileLightings& parts);
// The outcome of a failed WriteLightingParts for `operation`.
ScriptOutcome LightingWriteOutcome(std::string_view operation, const LightingPartsWrite& write,
                                   std::uint64_t failuresBefore, const device::CommandFailure& failure);

// How far exporting the keyboard's configuration as a document went.
struct DocumentRead {
  ReadStep step = ReadStep::Done;  // reading the keys and macros through the working file
  std::string why;                 // ReadStep::WorkingFile: the system's reason
  bool lightingRead = true;        // false: the keyboard's lighting records could not be read
  std::uint64_t failuresBefore = 0;  // CommandSet::LastFailure().count before the step that failed
  std::string document;            // the document, when both were read
  bool Ok() const { return step == ReadStep::Done && lightingRead; }
};

// The one export, for the scripting interface and vantrelctl: the keyboard's configuration
// read through the working file, its lighting records, each profile's colour file, as
// one document. Without a keyboard (`keyboardPresent` false; the shell only) the default
// profile and the colour files.
DocumentRead ReadDocument(profiles::ProfileService& service, const lighting::KeyColourEditor& colourFiles,
                          const text::TextSource& texts, bool keyboardPresent);

// A profile document read from `file` (a regular file no larger than any configuration's
// document) into an image and its lighting parts. False with the reason otherwise.
bool ReadProfileDocument(const std::filesystem::path& file, const text::TextSource& texts, keys::StoreImage& image,
                         ProfileLightings& lighting, std::string& why);
// Messages nobody is shown: a script's or the shell's work carries its reasons in its
// outcome instead (a profile file's refused header, for one).
class QuietSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
  bool AskYesNo(std::string_view, bool defaultYes) override { return defaultYes; }
};

// How far writing an imported document went.
struct DocumentWrite {
  bool keysTaken = false;                // the keys and macros were written and read back
  std::uint64_t failuresBefore = 0;      // CommandSet::LastFailure().count before the keys
  device::Verification readBack;         // keys not taken: what the read-back found
  std::uint64_t lightingFailuresBefore = 0;  // the same before the lighting
  LightingPartsWrite lighting;           // keys taken: how far the lighting went
  bool Ok() const { return keysTaken && lighting.Ok(); }
};

// The one import, for the window's dropped file, the scripting interface and vantrelctl:
// the document's keys and macros installed as a restore writes them (read back), then its
// lighting parts; nothing of the lighting when the keys were not taken (the document then
// stays in the editing store as one step of Undo named for `what`).
DocumentWrite WriteDocument(profiles::EditSession& session, const lighting::KeyColourEditor& colourFiles,
                            keys::StoreImage image, const ProfileLightings& lighting, std::string_view what = {});
// WriteDocument's outcome: Ok, or the outcome of the first part the keyboard or the folder
// did not take, its message starting with `operation`.
ScriptOutcome InstallDocument(profiles::EditSession& session, const lighting::KeyColourEditor& colourFiles,
                              keys::StoreImage image, const ProfileLightings& lighting, std::string_view operation);

// The outcome of a failed ReadThroughWorkingFile for `operation`.
ScriptOutcome ReadOutcome(std::string_view operation, ReadStep step, const std::string& why,
                          std::uint64_t failuresBefore, const device::CommandFailure& failure);
// A comparison that could not be made: the file unusable or the keyboard unreadable.
ScriptOutcome ComparisonOutcome(const Comparison& comparison, std::uint64_t failuresBefore,
                                const device::CommandFailure& failure);

// The profile after `active` (step 1) or before it (step -1), round the three.
int StepProfile(int active, int step);

// The most names one paint request takes, and the longest name. The keyboard picture has
// about 130 lit keys, each with a handful of names; no key name is longer than 40 bytes.
// Beyond these the request is refused before any name is looked up (a search for the
// closest names of a megabyte-long name, or 1500 names, held a thread for seconds).
inline constexpr std::size_t kMaxPaintNames = 512;
inline constexpr std::size_t kMaxKeyNameBytes = 128;
// Whether the names fit those limits (cheap: no name is looked up).
ScriptOutcome CheckPaintNames(const std::vector<std::string>& names);

// The control ids of keys named for painting, each once, in the order first named: each
// must be a key with a light of its own on the keyboard picture. Refused, naming the first
// that is not, with close names; refused as CheckPaintNames refuses.
ScriptOutcome FindLitKeys(const KeyVocabulary& words, const std::vector<std::string>& names,
                          std::vector<int>& controls);
// Keys are painted only in effect 20, on a keyboard that offers it.
ScriptOutcome PaintableEffect(const lighting::LightingState& state, int profile);

}  // namespace vantrel::scripting
