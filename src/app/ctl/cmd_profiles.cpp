// backup, restore, validate, export, import and update: the keyboard's whole
// configuration moved between the keyboard, the working file, the editing store and
// profile files, and the hand-over to the firmware updater. import --keyd takes the plain
// remaps of a keyd configuration into one profile's key table.
#include <algorithm>
#include <atomic>
#include <fstream>
#include <ostream>
#include <sstream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/lighting_common.h"
#include "scripting/keyboard_tasks.h"
#include "scripting/profile_json.h"
#include "app/ctl/registry.h"
#include "core/keys/key_codes.h"
#include "core/keys/key_table.h"
#include "core/keys/keyd_config.h"
#include "core/lighting/key_colours.h"
#include "core/text/printable_text.h"
#include "core/lighting/lighting.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"
#include "core/profiles/edit_session.h"
#include "platform/native_key_codes.h"
#include "platform/user_paths.h"
#include "core/util/regular_file.h"
#include "platform/program_launcher.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::profiles;
using scripting::ProfileLightings;

// Everything one command needs; the context must be open.
struct ProfileSession {
  explicit ProfileSession(Context& ctx)
      : texts(ctx.Texts()),
        sink(ctx.Err(), false),
        service(ctx.Commands(), editing, applied, cache, UserProfilePaths(), texts, sink),
        session(service, editing, applied, texts, sink) {
    service.SetRecorder(ctx.Recorder());
  }
  keys::EditingStore editing;
  keys::AppliedStore applied;
  std::atomic<int> cache{-1};
  const text::TextSource& texts;
  CtlMessageSink sink;
  ProfileService service;
  EditSession session;
};

// Why reading the keyboard's configuration through the working file stopped; exit code 1.
void ReadFailure(Context& ctx, const ProfilePaths& paths, scripting::ReadStep step, const std::string& why) {
  switch (step) {
    case scripting::ReadStep::Done:
      return;
    case scripting::ReadStep::Keyboard:
      ctx.Err() << "the keyboard's configuration could not be read\n";
      break;
    case scripting::ReadStep::WorkingFile:
      ctx.Err() << "the folder " << paths.userFolder.string() << " is not writable (" << why << "): the working file "
                << WorkingFilePath(paths).string() << " cannot be written\n";
      break;
    case scripting::ReadStep::ReadBack:
      ctx.Err() << "the working file " << WorkingFilePath(paths).string() << " could not be read back\n";
      break;
  }
  ctx.SetExitCode(kExitFailed);
}

// Whether a keyboard is there to read; without one the default profile is used, said so.
bool KeyboardToRead(Context& ctx) {
  if (ctx.Link().DeviceCount() != 0) return true;
  ctx.Err() << "no keyboard present: the default profile is used\n";
  return false;
}

// The keyboard's configuration into the editing store through the working file, as the
// main window does on arrival; with no keyboard the store keeps the default profile.
bool ReadConfiguration(Context& ctx, ProfileSession& s) {
  if (!KeyboardToRead(ctx)) return true;
  std::string why;
  const auto step = scripting::ReadThroughWorkingFile(s.service, s.editing, &why);
  ReadFailure(ctx, s.service.Paths(), step, why);
  return step == scripting::ReadStep::Done;
}

// A file named on the command line as the program sees it: from its own working folder
// the relative name would mean something else.
std::string AbsolutePath(const std::string& file) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(file, ec);
  return ec ? file : absolute.string();
}

void RunBackup(Context& ctx, const std::string& file) {
  if (auto* program = ctx.Program()) {
    if (!ctx.ProgramAnswered(program->Call("Backup", {AbsolutePath(file)}))) return;
    std::error_code ec;
    ctx.Out() << "backed up to " << file << " (" << std::filesystem::file_size(file, ec) << " bytes)\n";
    return;
  }
  if (!ctx.Open()) return;
  ProfileSession s(ctx);
  if (!ReadConfiguration(ctx, s)) return;
  // The program's one backup, over the configuration just read.
  std::string why;
  if (!s.service.BackupToFile(file, &why)) {
    ctx.Err() << "cannot write " << file << ": " << why << "\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  std::error_code ec;
  ctx.Out() << "backed up to " << file << " (" << std::filesystem::file_size(file, ec) << " bytes)\n";
}

void RunRestore(Context& ctx, const std::string& file) {
  const text::TextSource& texts = ctx.Texts();
  CtlMessageSink sink(ctx.Err(), false);
  // The whole file is read into an image of its own before anything else happens:
  // nothing reaches the keyboard, the store or the working file unless it all loaded.
  std::string reason;
  keys::StoreImage image;
  if (!scripting::LoadWholeProfileFile(file, texts, sink, image, &reason)) {
    sink.ShowMessage(texts.Text("MAIN_PROMPT_INPORT"));
    ctx.Err() << file << ": " << reason << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  if (auto* program = ctx.Program()) {
    // Checked here already; the program loads it whole once more before it writes.
    if (!ctx.ProgramAnswered(program->Call("Restore", {AbsolutePath(file)}))) return;
    ctx.Out() << "restored " << file << " to all three profiles\n";
    return;
  }
  // Written here (--direct): the running program's window may hold edits all the same.
  if (!ctx.ProgramLetsWrite()) return;
  if (!ctx.OpenWithKeyboard()) return;
  ProfileSession s(ctx);
  const auto failuresBefore = ctx.Commands().LastFailure().count;
  // The program's one restore; the file's messages were given above.
  scripting::QuietSink quiet;
  const RestoreOutcome restored = s.session.Restore(file, quiet);
  if (!restored.loaded) {
    ctx.Err() << file << ": " << (restored.reason.empty() ? std::string("cannot be read") : restored.reason) << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  if (!restored.applied) {
    const auto readBack = s.session.LastReadBack();
    if (readBack.Failed()) return ctx.ReadBackFailure(readBack.differences);
    return ctx.ConfigurationNotWritten(failuresBefore);
  }
  ctx.Out() << "restored " << file << " to all three profiles\n";
}

void RunValidate(Context& ctx, const std::string& file) {
  const text::TextSource& texts = ctx.Texts();
  CtlMessageSink sink(ctx.Err(), false);
  std::string reason;
  const int result = ValidateProfileFile(file, texts, sink, &reason);
  if (result == kProfileValid) {
    ctx.Out() << result << ": valid profile file\n";
    return;
  }
  ctx.Out() << result << ": refused: " << (reason.empty() ? std::string("out of memory") : reason) << '\n';
  ctx.SetExitCode(kExitFailed);
}

// The colour files of the profiles and the default file they are made from.
lighting::KeyColourEditor ColourFiles(Context& ctx) { return ColourEditor(ctx); }

// How far the lighting of an imported document went: true when all of it was taken,
// else false (message, exit code) for the first part the keyboard or the folder did not take.
bool LightingWritten(Context& ctx, const scripting::LightingPartsWrite& written) {
  using Step = scripting::LightingPartsWrite::Step;
  switch (written.step) {
    case Step::Done: return true;
    case Step::ReadRecords:
      ctx.Err() << "the keyboard's lighting could not be read; the lighting was not written\n";
      break;
    case Step::Record:
      if (written.readBack.Failed()) {
        ctx.ReadBackFailure(written.readBack.differences);
        return false;
      }
      ctx.Err() << "the keyboard did not take the lighting of profile " << written.profile << '\n';
      break;
    case Step::KeyColours:
      ctx.Err() << "the keyboard did not take the key colours of profile " << written.profile << '\n';
      break;
    case Step::ColourFile:
      ctx.Err() << "cannot write " << written.file.string() << '\n';
      break;
  }
  ctx.SetExitCode(kExitFailed);
  return false;
}

void RunExport(Context& ctx, const std::string& file) {
  std::string document;
  if (auto* program = ctx.Program()) {
    const auto answer = program->Call("ExportJson");
    if (!ctx.ProgramAnswered(answer)) return;
    if (const auto* text = answer.values.empty() ? nullptr : std::get_if<std::string>(&answer.values[0])) document = *text;
  } else {
    if (!ctx.Open()) return;
    ProfileSession s(ctx);
    // The program's one export.
    scripting::DocumentRead read = scripting::ReadDocument(s.service, ColourFiles(ctx), s.texts, KeyboardToRead(ctx));
    if (read.step != scripting::ReadStep::Done) return ReadFailure(ctx, s.service.Paths(), read.step, read.why);
    if (!read.lightingRead) {
      ctx.Err() << "the keyboard's lighting could not be read\n";
      ctx.SetExitCode(kExitFailed);
      return;
    }
    document = std::move(read.document);
  }
  const std::span<const std::uint8_t> parts[] = {
      std::span(reinterpret_cast<const std::uint8_t*>(document.data()), document.size())};
  std::string why;
  if (!WriteFileAtomically(file, parts, {}, &why)) {
    ctx.Err() << "cannot write " << file << ": " << why << "\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  ctx.Out() << "exported to " << file << '\n';
}

void RunImport(Context& ctx, const std::string& file) {
  // A document is refused before it is read when it is larger than any configuration
  // can be written (see scripting::kMaxProfileJsonBytes), and never opened unless it is a regular
  // file (a FIFO would block).
  std::string document, why;
  if (!ReadRegularFile(file, scripting::kMaxProfileJsonBytes, document, why)) {
    ctx.Err() << "cannot read " << file << ": " << why << "\nnothing was written\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  const text::TextSource& texts = ctx.Texts();
  keys::StoreImage image;
  ProfileLightings lighting;
  std::string error;
  if (!scripting::ImportProfileJson(document, texts, image, lighting, error)) {
    ctx.Err() << file << ": " << error << "\nnothing was written\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  if (auto* program = ctx.Program()) {
    if (!ctx.ProgramAnswered(program->Call("ImportJson", {document}))) return;
    ctx.Out() << "imported " << file << " to all three profiles\n";
    return;
  }
  if (!ctx.ProgramLetsWrite()) return;
  if (!ctx.OpenWithKeyboard()) return;
  ProfileSession s(ctx);
  // The program's one import: keys and macros, then the lighting.
  const lighting::KeyColourEditor colourFiles = ColourFiles(ctx);
  const scripting::DocumentWrite written = scripting::WriteDocument(s.session, colourFiles, std::move(image), lighting);
  if (!written.keysTaken) {
    if (written.readBack.Failed()) return ctx.ReadBackFailure(written.readBack.differences);
    return ctx.ConfigurationNotWritten(written.failuresBefore);
  }
  if (!LightingWritten(ctx, written.lighting)) return;
  ctx.Out() << "imported " << file << " to all three profiles\n";
}

// The keyd device id of this keyboard (vendor:product in lower-case hex).
constexpr char kKeydDeviceId[] = "0c45:7666";

// The function a keyd target sends on this keyboard: a key of the key name table, a mouse
// button, or nothing at all (noop: the key is disabled). Nothing when the keyboard has no
// such function.
std::optional<keys::KeyAssignment> KeydTarget(std::uint32_t keydCode) {
  keys::KeyAssignment record;
  switch (keydCode) {
    case keys::kKeydNoop: record.kind = keys::kKindDisabled; return record;
    case keys::kKeydLeftMouse: record.code = keys::kCodeMouseLeft; break;
    case keys::kKeydMiddleMouse: record.code = keys::kCodeMouseMiddle; break;
    case keys::kKeydRightMouse: record.code = keys::kCodeMouseRight; break;
    default: {
      const std::uint16_t to = platform::KeyCodeOfEvdev(keydCode);
      if (to == 0 || CodeOfKeyIndex(keys::KeyIndexOfCode(to)) != to) return std::nullopt;
      record.code = to;
    }
  }
  record.kind = keys::kKindKey;
  return record;
}

// The plain remaps of a keyd configuration into one profile's key table: each key the
// configuration names gets its remap, every other key of the profile keeps its assignment.
// What cannot be taken over is counted and the first lines are listed on stderr with
// their reasons; the rest is written.
void RunImportKeyd(Context& ctx, const std::string& file, int profileOption) {
  // Never more than keyd itself reads: a larger file is no configuration, and reading it
  // would only cost time and memory.
  std::string content, why;
  if (!ReadRegularFile(file, keys::kMaxKeydConfigBytes, content, why)) {
    ctx.Err() << "cannot read " << file << ": " << why;
    if (why.rfind("is larger", 0) == 0) ctx.Err() << "; keyd reads no configuration larger than 64 KiB";
    ctx.Err() << "\nnothing was written\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  const keys::KeydConfig config = keys::ParseKeydConfig(content);
  content = {};
  std::vector<keys::KeydSkipped> skipped = config.skipped;
  std::size_t skippedCount = config.skippedCount;
  if (const std::string other = keys::KeydIdsMismatch(config, kKeydDeviceId); !other.empty()) {
    ctx.Err() << file << ": " << text::PrintableText(other) << " (this keyboard is " << kKeydDeviceId
              << "); its [main] remaps are imported all the same\n";
  }
  // The running program's window may hold edits of these keys: they are never written over.
  if (!ctx.ProgramLetsWrite()) return;
  if (!ctx.OpenWithKeyboard()) return;
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  std::size_t profile = 0;
  if (profileOption >= 0) {
    profile = static_cast<std::size_t>(profileOption);
  } else if (s.config.activeProfile >= 0 && s.config.activeProfile <= 2) {
    profile = static_cast<std::size_t>(s.config.activeProfile);
  }
  std::size_t taken = 0;
  {
    keys::EditingStore::Lock lock(s.editing);
    for (const keys::KeydRemap& r : config.remaps) {
      const std::string line = r.from + " = " + r.to;
      const std::uint16_t from = platform::KeyCodeOfEvdev(r.fromEvdev);
      const std::uint16_t fromIndex = keys::KeyIndexOfCode(from);
      // The source must be a key of this keyboard's table; the target a function the
      // keyboard can send.
      if (from == 0 || fromIndex >= keys::kKeyNameCount || !keys::FactoryTableHasKey(s.config.factory, fromIndex)) {
        skipped.push_back({r.line, line, "'" + r.from + "' is no key of this keyboard"});
        ++skippedCount;
        continue;
      }
      auto record = KeydTarget(r.toEvdev);
      if (!record) {
        skipped.push_back({r.line, line, "'" + r.to + "' is no key this keyboard can send"});
        ++skippedCount;
        continue;
      }
      if (record->kind == keys::kKindKey && record->code == from) *record = keys::KeyAssignment{};
      // G-key records keep their layer word in aux.
      if (keys::GKeyOfIndex(fromIndex)) record->aux = lock->table.Record(profile, fromIndex).aux;
      lock->table.SetRecord(profile, fromIndex, *record);
      ++taken;
      ctx.Out() << KeyName(from, s.texts) << " -> "
                << (record->kind == keys::kKindDisabled ? std::string("disabled")
                                                        : KeyName(static_cast<std::uint16_t>(record->code), s.texts))
                << '\n';
    }
  }
  std::sort(skipped.begin(), skipped.end(), [](const auto& a, const auto& b) { return a.line < b.line; });
  if (skippedCount > 0) {
    ctx.Err() << "not imported (" << skippedCount << "):\n";
    const std::size_t shown = std::min(skipped.size(), keys::kKeydSkippedKept);
    // The lines come from the file: shown without their control characters, and cut short.
    for (std::size_t i = 0; i < shown; ++i) {
      const auto& k = skipped[i];
      ctx.Err() << "  line " << k.line << ": " << text::PrintableText(k.text, 120) << ": "
                << text::PrintableText(k.reason, 160) << '\n';
    }
    if (skippedCount > shown) ctx.Err() << "  ... and " << skippedCount - shown << " more\n";
  }
  if (taken == 0) {
    ctx.Err() << file << ": no remap to import; nothing was written\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  if (!WriteKeyboard(ctx, s, false, profile)) return;
  ctx.Out() << "imported " << taken << " remap" << (taken == 1 ? "" : "s") << " from " << file << " into profile "
            << profile << '\n';
}

void RunUpdate(Context& ctx, const std::string& program) {
  if (!ctx.Open()) return;
  CtlMessageSink sink(ctx.Err(), false);
  platform::DetachedLauncher launcher;
  std::string path = program;
  if (!StartUpdate(path, ctx.Commands(), launcher, ctx.Texts(), sink)) {
    ctx.SetExitCode(kExitFailed);
    return;
  }
  ctx.Out() << "keyboard in boot mode; started " << program << '\n';
}

const CommandGroup kProfileFileCommands(25, [](CLI::App& app, Context& ctx) {
  struct Args {
    std::string backup, restore, validate, exportFile, importFile, keydFile, update;
    int profile = -1;
  };
  static Args args;
  auto* backup = app.add_subcommand("backup", "Write the keyboard's whole configuration to a profile file");
  backup->add_option("FILE", args.backup, "Profile file to write (.vnp)")->required();
  backup->callback([&ctx] { RunBackup(ctx, args.backup); });

  auto* restore = app.add_subcommand("restore", "Validate a profile file and write it to all three profiles");
  restore->add_option("FILE", args.restore, "Profile file to read (.vnp)")->required();
  restore->callback([&ctx] { RunRestore(ctx, args.restore); });

  auto* validate = app.add_subcommand("validate", "Check a profile file's header; exit 0 only when it is valid");
  validate->add_option("FILE", args.validate, "Profile file to check")->required();
  validate->callback([&ctx] { RunValidate(ctx, args.validate); });

  auto* exp = app.add_subcommand("export", "Write the keyboard's whole configuration as a JSON document");
  exp->add_option("FILE", args.exportFile, "JSON file to write")->required();
  exp->callback([&ctx] { RunExport(ctx, args.exportFile); });

  auto* imp = app.add_subcommand("import", "Check a JSON document and write it to all three profiles, "
                                            "or take a keyd configuration's plain remaps into one profile");
  auto* jsonFile = imp->add_option("FILE", args.importFile, "JSON file to read");
  auto* keyd = imp->add_option("--keyd", args.keydFile,
                               "keyd configuration whose [main] remaps to import (at most 64 KiB). They are "
                               "added to the profile: each key it names gets its remap, every other key keeps "
                               "its assignment");
  auto* profile = imp->add_option("--profile", args.profile, "With --keyd: on-board profile 0-2 (default: the active one)")
                      ->check(CLI::Range(0, 2));
  jsonFile->excludes(keyd);
  profile->needs(keyd);
  imp->callback([&ctx, keyd] {
    if (keyd->count() > 0) return RunImportKeyd(ctx, args.keydFile, args.profile);
    if (args.importFile.empty()) {
      ctx.Err() << "import: give a JSON FILE or --keyd FILE\n";
      ctx.SetExitCode(kExitUsage);
      return;
    }
    RunImport(ctx, args.importFile);
  });

  auto* update = app.add_subcommand("update", "Switch the keyboard to boot mode and start a firmware updater");
  update->add_option("PROGRAM", args.update, "Updater program to start")->required();
  update->callback([&ctx] { RunUpdate(ctx, args.update); });
});

}  // namespace
}  // namespace vantrel::ctl
