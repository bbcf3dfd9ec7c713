#include "scripting/keyboard_tasks.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <system_error>

#include "core/keys/device_config.h"
#include "core/keys/keyboard_layout.h"
#include "core/keys/verify.h"
#include "core/lighting/lighting_records.h"
#include "core/lighting/user_modes.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"
#include "core/util/regular_file.h"

namespace vantrel::scripting {

ReadStep ReadThroughWorkingFile(profiles::ProfileService& service, keys::EditingStore& editing, std::string* why) {
  profiles::EnsureWorkingFolder(service.Paths());
  const auto working = profiles::WorkingFilePath(service.Paths());
  keys::StoreImage image;
  if (!service.DumpDevice(image)) return ReadStep::Keyboard;
  // The keyboard was read; a failure from here on is the user's folder, not the keyboard.
  if (!profiles::SaveProfileImage(working, image, service.WriteHook(), why)) return ReadStep::WorkingFile;
  keys::EditingStore::Lock lock(editing);
  profiles::EmptyEditingStore(lock);
  if (!profiles::LoadProfileFile(working, lock)) return ReadStep::ReadBack;
  return ReadStep::Done;
}

bool LoadWholeProfileFile(const std::filesystem::path& file, const text::TextSource& texts, text::MessageSink& sink,
                          keys::StoreImage& image, std::string* reason) {
  return profiles::ValidateProfileFile(file, texts, sink, reason) == profiles::kProfileValid &&
         profiles::LoadProfileImage(file, image, reason);
}

Comparison CompareKeyboardWithFile(device::CommandSet& commands, const std::filesystem::path& file,
                                   const text::TextSource& texts, text::MessageSink& sink) {
  Comparison c;
  keys::StoreImage image;
  if (!LoadWholeProfileFile(file, texts, sink, image, &c.reason)) {
    if (c.reason.empty()) c.reason = "cannot be read";
    return c;
  }
  c.fileLoaded = true;
  keys::DeviceConfiguration keyboard;
  c.read = keys::ReadDeviceConfiguration(commands, keyboard);
  if (c.read == device::kDeviceOk) c.differences = keys::CompareImageWithKeyboard(image, keyboard, texts);
  return c;
}

std::string KeyboardId(bool simulating, const std::filesystem::path& simStateFile) {
  if (!simulating) return "usb 0c45:7666";
  std::error_code ec;
  const auto canonical = std::filesystem::weakly_canonical(simStateFile, ec);
  return "virtual " + (ec ? std::filesystem::absolute(simStateFile, ec) : canonical).string();
}

bool ReadLightingRecordParts(device::CommandSet& commands, ProfileLightings& parts) {
  std::array<lighting::LightingRecord, lighting::kProfileCount> records{};
  if (!lighting::ReadLightingRecords(commands, records)) return false;
  for (std::size_t p = 0; p < parts.size(); ++p) SetRecord(parts[p], records[p]);
  return true;
}

lighting::UserModeSet ReadProfileUserModes(const lighting::KeyColourEditor& files, int profile) {
  std::error_code ec;
  const auto own = files.UserFile(profile);
  return lighting::ReadUserModes(std::filesystem::exists(own, ec) ? own : files.DefaultFile());
}

void ReadColourParts(const lighting::KeyColourEditor& files, ProfileLightings& parts) {
  for (std::size_t p = 0; p < parts.size(); ++p) {
    parts[p].userModes = ReadProfileUserModes(files, static_cast<int>(p));
    parts[p].keyColours = lighting::ShownColours(*parts[p].userModes);
  }
}

LightingPartsWrite WriteLightingParts(device::CommandSet& commands, const lighting::KeyColourEditor& files,
                                      const ProfileLightings& parts) {
  LightingPartsWrite w;
  std::array<lighting::LightingRecord, lighting::kProfileCount> held{};
  const bool anyRecord =
      std::any_of(parts.begin(), parts.end(), [](const ProfileLighting& p) { return p.fields.has_value(); });
  if (anyRecord && !lighting::ReadLightingRecords(commands, held)) {
    w.step = LightingPartsWrite::Step::ReadRecords;
    return w;
  }
  lighting::LightingState state;
  state.records = held;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const int profile = static_cast<int>(p);
    const ProfileLighting& part = parts[p];
    w.profile = profile;
    if (part.fields && lighting::SendLightingRecord(commands, state, profile, MergeRecord(part, held[p])) ==
                           lighting::WriteOutcome::Refused) {
      w.step = LightingPartsWrite::Step::Record;
      w.readBack = state.readBack;
      return w;
    }
    if (part.keyColours && !files.SendProfileColours(commands, profile, *part.keyColours)) {
      w.step = LightingPartsWrite::Step::KeyColours;
      return w;
    }
    if (part.userModes && !lighting::WriteUserModes(files.UserFile(profile), *part.userModes)) {
      w.step = LightingPartsWrite::Step::ColourFile;
      w.file = files.UserFile(profile);
      return w;
    }
    // A document without key colours (written before they were carried): the keyboard
    // gets the colours of the user modes it brings, so that the two agree.
    if (part.userModes && !part.keyColours &&
        !files.SendProfileColours(commands, profile, lighting::ShownColours(*part.userModes))) {
      w.step = LightingPartsWrite::Step::KeyColours;
      return w;
    }
  }
  w.step = LightingPartsWrite::Step::Done;
  return w;
}

ScriptOutcome LightingWriteOutcome(std::string_view operation, const LightingPartsWrite& write,
                                   std::uint64_t failuresBefore, const device::CommandFailure& failure) {
  const std::string op(operation);
  switch (write.step) {
    case LightingPartsWrite::Step::Done: return {};
    case LightingPartsWrite::Step::ReadRecords:
      return DeviceOutcome(op + ": reading the keyboard's lighting (the lighting was not written)", failuresBefore,
                           failure, {});
    case LightingPartsWrite::Step::Record:
      return DeviceOutcome(op + ": the lighting of profile " + std::to_string(write.profile), failuresBefore, failure,
                           write.readBack);
    case LightingPartsWrite::Step::KeyColours:
      return DeviceOutcome(op + ": the key colours of profile " + std::to_string(write.profile), failuresBefore,
                           failure, {});
    case LightingPartsWrite::Step::ColourFile:
      return {ScriptError::Device, op + ": cannot write " + write.file.string()};
  }
  return {};
}

DocumentRead ReadDocument(profiles::ProfileService& service, const lighting::KeyColourEditor& colourFiles,
                          const text::TextSource& texts, bool keyboardPresent) {
  DocumentRead r;
  auto& commands = service.Commands();
  r.failuresBefore = commands.LastFailure().count;
  keys::EditingStore read;
  ProfileLightings lighting;
  if (keyboardPresent) {
    r.step = ReadThroughWorkingFile(service, read, &r.why);
    if (r.step != ReadStep::Done) return r;
    r.failuresBefore = commands.LastFailure().count;
    r.lightingRead = ReadLightingRecordParts(commands, lighting);
    if (!r.lightingRead) return r;
  }
  ReadColourParts(colourFiles, lighting);
  keys::EditingStore::Lock lock(read);
  r.document = ExportProfileJson(lock.Image(), texts, lighting);
  return r;
}

bool ReadProfileDocument(const std::filesystem::path& file, const text::TextSource& texts, keys::StoreImage& image,
                         ProfileLightings& lighting, std::string& why) {
  std::string document;
  return ReadRegularFile(file, kMaxProfileJsonBytes, document, why) &&
         ImportProfileJson(document, texts, image, lighting, why);
}

DocumentWrite WriteDocument(profiles::EditSession& session, const lighting::KeyColourEditor& colourFiles,
                            keys::StoreImage image, const ProfileLightings& lighting, std::string_view what) {
  auto& commands = session.Service().Commands();
  // The keys and the lighting are one write for the history: one entry before both.
  profiles::RecordedWrite recorded(session.Service().Recorder(), profiles::kKeysPart | profiles::kLightingPart);
  DocumentWrite w;
  w.failuresBefore = commands.LastFailure().count;
  w.keysTaken = session.Install(std::move(image), what);
  if (!w.keysTaken) {
    w.readBack = session.LastReadBack();
    recorded.Done(false);
    return w;
  }
  w.lightingFailuresBefore = commands.LastFailure().count;
  w.lighting = WriteLightingParts(commands, colourFiles, lighting);
  recorded.Done(w.lighting.Ok());
  return w;
}

ScriptOutcome InstallDocument(profiles::EditSession& session, const lighting::KeyColourEditor& colourFiles,
                              keys::StoreImage image, const ProfileLightings& lighting, std::string_view operation) {
  const DocumentWrite w = WriteDocument(session, colourFiles, std::move(image), lighting, operation);
  const auto& failure = session.Service().Commands().LastFailure();
  if (!w.keysTaken) return DeviceOutcome(operation, w.failuresBefore, failure, w.readBack);
  return LightingWriteOutcome(operation, w.lighting, w.lightingFailuresBefore, failure);
}

ScriptOutcome ReadOutcome(std::string_view operation, ReadStep step, const std::string& why,
                          std::uint64_t failuresBefore, const device::CommandFailure& failure) {
  const std::string op(operation);
  switch (step) {
    case ReadStep::Done: return {};
    case ReadStep::Keyboard: return DeviceOutcome(op + ": reading the keyboard's configuration", failuresBefore, failure, {});
    case ReadStep::WorkingFile: return {ScriptError::Device, op + ": the working file cannot be written (" + why + ")"};
    case ReadStep::ReadBack: return {ScriptError::Device, op + ": the working file could not be read back"};
  }
  return {};
}

ScriptOutcome ComparisonOutcome(const Comparison& comparison, std::uint64_t failuresBefore,
                                const device::CommandFailure& failure) {
  if (!comparison.fileLoaded) return {ScriptError::Device, "Verify: the working file " + comparison.reason};
  if (comparison.read != device::kDeviceOk) {
    return DeviceOutcome("Verify: reading the keyboard's configuration", failuresBefore, failure, {});
  }
  return {};
}

int StepProfile(int active, int step) {
  const int n = static_cast<int>(device::kProfileCount);
  const int from = active >= 0 && active < n ? active : 0;
  return ((from + step) % n + n) % n;
}

ScriptOutcome CheckPaintNames(const std::vector<std::string>& names) {
  if (names.empty()) return InvalidArgument("keys", "name at least one key");
  if (names.size() > kMaxPaintNames) {
    return InvalidArgument("keys", std::to_string(names.size()) + " names; at most " + std::to_string(kMaxPaintNames) +
                                       " in one request");
  }
  for (const auto& name : names) {
    if (name.size() > kMaxKeyNameBytes) {
      return InvalidArgument("keys", "a name of " + std::to_string(name.size()) + " bytes; no key name is longer than " +
                                         std::to_string(kMaxKeyNameBytes));
    }
  }
  return {};
}

ScriptOutcome FindLitKeys(const KeyVocabulary& words, const std::vector<std::string>& names,
                          std::vector<int>& controls) {
  controls.clear();
  if (auto refusal = CheckPaintNames(names); !refusal.Ok()) return refusal;
  std::set<std::string_view> seen;
  for (const auto& name : names) {
    // A name given again is looked up once.
    if (!seen.insert(name).second) continue;
    const auto key = words.Find(name);
    if (!key) {
      std::string reason = "unknown key '" + name + "'";
      const auto close = words.Closest(name);
      for (std::size_t i = 0; i < close.size(); ++i) reason += (i ? ", \"" : "; did you mean: \"") + close[i] + "\"";
      return InvalidArgument("keys", reason);
    }
    if (key->button == nullptr) {
      return InvalidArgument("keys", "\"" + name + "\" is not a key of the keyboard picture");
    }
    // Two names of one key paint it once.
    if (std::find(controls.begin(), controls.end(), key->button->controlId) == controls.end()) {
      controls.push_back(key->button->controlId);
    }
  }
  return {};
}

ScriptOutcome PaintableEffect(const lighting::LightingState& state, int profile) {
  if (!lighting::EffectListHolds(state.supportedEffects, lighting::kEffectUserColours)) {
    return InvalidArgument("profile", "the keyboard does not offer per-key colours (effect 20)");
  }
  if (state.effect != lighting::kEffectUserColours) {
    return InvalidArgument("profile", "profile " + std::to_string(profile) + " shows effect " +
                                          std::to_string(state.effect) + "; keys are painted only in effect 20");
  }
  return {};
}

}  // namespace vantrel::scripting
