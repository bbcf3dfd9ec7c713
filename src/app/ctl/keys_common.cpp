#include "app/ctl/keys_common.h"

#include <algorithm>
#include <cctype>
#include <ostream>

#include "app/ctl/registry.h"
#include "core/keys/key_codes.h"
#include "platform/program_launcher.h"
#include "platform/user_paths.h"

namespace vantrel::ctl {
namespace {

// The active profile the keyboard reported, -1 when it is not one of its profiles.
int KnownProfile(int profile) { return profile >= 0 && profile < static_cast<int>(device::kProfileCount) ? profile : -1; }

}  // namespace

void CtlMessageSink::ShowMessage(std::string_view text) { err_ << text << '\n'; }

bool CtlMessageSink::AskYesNo(std::string_view text, bool) {
  err_ << text << (yes_ ? " -> yes (--yes)\n" : " -> no (give --yes to confirm)\n");
  return yes_;
}

bool KeyboardKeepsKey(Context& ctx, const KeyboardSession& session, std::uint16_t index) {
  if (keys::FactoryTableHasKey(session.config.factory, index)) return true;
  const auto g = keys::GKeyOfIndex(index);
  ctx.Err() << "'" << KeyName(CodeOfKeyIndex(index), session.texts) << "'";
  if (g && g->layer == 1) {
    ctx.Err() << " is G" << g->n + 1 << " of the second G-key layer; the keyboard keeps only the first layer's G keys";
  } else {
    ctx.Err() << " has no place in the keyboard's key table";
  }
  ctx.Err() << ", so it cannot be assigned; nothing was written\n";
  ctx.SetExitCode(kExitUsage);
  return false;
}

void UnknownKey(Context& ctx, std::string_view name, const KeyVocabulary& words) {
  ctx.Err() << "unknown key '" << name << "'";
  const auto close = words.Closest(name);
  if (!close.empty()) {
    ctx.Err() << "; did you mean:";
    for (std::size_t i = 0; i < close.size(); ++i) ctx.Err() << (i ? ", " : " ") << '"' << close[i] << '"';
  }
  ctx.Err() << "\nnothing was written\n";
  ctx.SetExitCode(kExitUsage);
}

std::optional<std::uint16_t> AssignableKeyIndex(Context& ctx, std::string_view name, const KeyVocabulary& words) {
  const auto key = words.Find(name);
  if (!key) {
    UnknownKey(ctx, name, words);
    return std::nullopt;
  }
  if (key->index >= keys::kKeyNameCount || keys::KeyNameTable()[key->index].label.empty()) {
    ctx.Err() << "'" << name << "' has no key code and cannot be used here; nothing was written\n";
    ctx.SetExitCode(kExitUsage);
    return std::nullopt;
  }
  return key->index;
}

profiles::ProfilePaths UserProfilePaths() { return {platform::UserDataFolder(), platform::ProgramFolder()}; }

struct CtlEditSession {
  CtlEditSession(Context& ctx, KeyboardSession& s)
      : sink(ctx.Err(), false),
        activeProfile(KnownProfile(s.config.activeProfile)),
        service(ctx.Commands(), s.editing, s.applied, activeProfile, UserProfilePaths(), s.texts, sink),
        session(service, s.editing, s.applied, s.texts, sink) {
    // The apply rules need what the keyboard reported: its factory key table and the size
    // of its macro area.
    service.SetDeviceFacts(
        [&s] { return profiles::DeviceFacts{s.config.factory, s.config.macroCapacity, s.config.factoryRead}; });
    service.SetRecorder(ctx.Recorder());
    session.ConfigurationLoaded();
  }
  CtlMessageSink sink;
  std::atomic<int> activeProfile;
  profiles::ProfileService service;
  profiles::EditSession session;
};

KeyboardSession::KeyboardSession(Context& ctx) : texts(ctx.Texts()) {}
KeyboardSession::~KeyboardSession() = default;

bool LoadKeyboard(Context& ctx, KeyboardSession& session) {
  if (!ctx.OpenWithKeyboard()) return false;
  const device::DeviceResult r = keys::ReadDeviceConfiguration(ctx.Commands(), session.config);
  if (r != device::kDeviceOk) {
    ctx.DeviceFailure("reading the keyboard's configuration", r);
    return false;
  }
  {
    keys::EditingStore::Lock lock(session.editing);
    keys::DecodeIntoImage(session.config, session.texts, lock.Image());
    keys::NoteKeyboardMacros(lock, session.applied, true);
    // What was read is what the history keeps before the write, without reading it again.
    if (auto* recorder = ctx.Recorder()) recorder->KeysRead(lock.Image());
  }
  session.edits = std::make_unique<CtlEditSession>(ctx, session);
  return true;
}

bool WriteKeyboard(Context& ctx, KeyboardSession& session, bool allProfiles, std::size_t profile) {
  profiles::EditSession& edits = session.edits->session;
  if (allProfiles) {
    for (int p = 0; p < static_cast<int>(device::kProfileCount); ++p) edits.MarkEdited(p);
  } else {
    edits.MarkEdited(static_cast<int>(profile));
  }
  // The session's messages (a macro area too full, no keyboard) are on stderr already.
  const auto failuresBefore = ctx.Commands().LastFailure().count;
  if (edits.Apply() != profiles::ApplyResult::Applied) {
    const auto readBack = edits.LastReadBack();
    if (readBack.Failed()) {
      ctx.ReadBackFailure(readBack.differences);
      return false;
    }
    ctx.ConfigurationNotWritten(failuresBefore);
    return false;
  }
  return true;
}

}  // namespace vantrel::ctl
