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

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

// The active profile the keyboard reported, -1 when it is not one of its profiles.
int KnownProfile(int profile) { return profile >= 0 && profile < static_cast<int>(device::kProfileCount) ? profile : -1; }

KeyRef RefOfIndex(std::uint16_t index) { return KeyRef{index, keys::LayoutKeyOfIndex(index)}; }

KeyRef RefOfButton(const keys::LayoutKey& button) { return KeyRef{button.index, &button}; }

// Numbers: a key index in decimal, a key code in hexadecimal, a key button's control id.
std::optional<KeyRef> NumberedKey(const std::string& s) {
  if (s.empty()) return std::nullopt;
  try {
    std::size_t used = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
      const unsigned long code = std::stoul(s.substr(2), &used, 16);
      if (used + 2 != s.size() || code == 0 || code > 0xFFFF) return std::nullopt;
      const std::uint16_t index = keys::KeyIndexOfCode(static_cast<std::uint16_t>(code));
      if (index >= keys::kKeyIndexCount) return std::nullopt;
      return RefOfIndex(index);
    }
    if (!std::isdigit(static_cast<unsigned char>(s[0]))) return std::nullopt;
    const unsigned long n = std::stoul(s, &used, 10);
    if (used != s.size()) return std::nullopt;
    if (n < keys::kKeyIndexCount) return RefOfIndex(static_cast<std::uint16_t>(n));
    if (n <= 0xFFFF) {
      if (const keys::LayoutKey* button = keys::LayoutKeyOfControl(static_cast<int>(n))) return RefOfButton(*button);
    }
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

}  // namespace

const std::vector<KeyVocabulary::Name>& KeyVocabulary::FixedNames() {
  static const std::vector<Name> names = [] {
    std::vector<Name> out;
    auto add = [&](std::string_view shown, KeyRef key) {
      if (!shown.empty()) out.push_back({Lower(shown), std::string(shown), key});
    };
    // Earlier names win when two keys answer to the same text.
    const auto layout = keys::KeyboardLayout();
    for (const keys::LayoutKey& k : layout) add(k.name, RefOfButton(k));
    const auto& table = keys::KeyNameTable();
    for (std::size_t i = 0; i < keys::kKeyNameCount; ++i) {
      add(table[i].label, RefOfIndex(static_cast<std::uint16_t>(i)));
    }
    for (const keys::LayoutKey& k : layout) {
      const std::string legend = Lower(k.legend);
      const auto same = std::count_if(layout.begin(), layout.end(),
                                      [&](const keys::LayoutKey& o) { return Lower(o.legend) == legend; });
      if (same == 1) add(k.legend, RefOfButton(k));
    }
    for (std::size_t p = 0; p < keys::kGKeyRecords; ++p) {
      const auto g = keys::GKeyAtPosition(p);
      add(GKeyName(*g), RefOfIndex(g->Index()));
    }
    return out;
  }();
  return names;
}

const std::vector<KeyVocabulary::Name>& KeyVocabulary::DisplayNames() const {
  if (!displayNames_.empty()) return displayNames_;
  const auto& table = keys::KeyNameTable();
  for (std::size_t i = 0; i < keys::kKeyNameCount; ++i) {
    if (table[i].label.empty()) continue;
    const auto index = static_cast<std::uint16_t>(i);
    const std::string shown = KeyName(keys::CodeOfIndex(index), texts_);
    if (!shown.empty()) displayNames_.push_back({Lower(shown), shown, RefOfIndex(index)});
  }
  return displayNames_;
}

std::optional<KeyRef> KeyVocabulary::Find(std::string_view name) const {
  if (name.empty()) return std::nullopt;
  const std::string wanted = Lower(name);
  for (const Name& n : FixedNames()) {
    if (n.lower == wanted) return n.key;
  }
  if (const auto numbered = NumberedKey(std::string(name))) return numbered;
  for (const Name& n : DisplayNames()) {
    if (n.lower == wanted) return n.key;
  }
  return std::nullopt;
}

std::vector<std::string> KeyVocabulary::Closest(std::string_view name) const {
  const std::string wanted = Lower(name);
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const auto* names : {&FixedNames(), &DisplayNames()}) {
    for (const Name& n : *names) {
      std::size_t d = Distance(wanted, n.lower);
      if (!wanted.empty() && n.lower.find(wanted) != std::string::npos) d = std::min<std::size_t>(d, 1);
      if (d <= 2 && std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == n.shown; })) {
        scored.emplace_back(d, n.shown);
      }
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (std::size_t i = 0; i < scored.size() && i < 8; ++i) out.push_back(scored[i].second);
  return out;
}

void CtlMessageSink::ShowMessage(std::string_view text) { err_ << text << '\n'; }

bool CtlMessageSink::AskYesNo(std::string_view text, bool) {
  err_ << text << (yes_ ? " -> yes (--yes)\n" : " -> no (give --yes to confirm)\n");
  return yes_;
}

std::uint16_t CodeOfKeyIndex(std::uint16_t index) {
  if (index < 256) return keys::CodeOfIndex(index);
  return static_cast<std::uint16_t>(index + 0x100);
}

std::string KeyName(std::uint16_t code, const text::TextSource& texts) { return keys::KeyOutputName(code, texts); }

std::string GKeyName(const keys::GKeyPlace& g) { return std::string("G").append(std::to_string(g.DeviceNumber())); }

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

std::string KeyButtonName(const keys::LayoutKey& button, const text::TextSource& texts) {
  return button.kind == keys::LayoutKind::Fn ? std::string(button.name) : KeyName(button.code, texts);
}

std::optional<std::uint16_t> ParseKeyIndex(std::string_view name, const text::TextSource& texts) {
  const auto key = KeyVocabulary(texts).Find(name);
  if (!key || key->index == keys::kNoKeyIndex) return std::nullopt;
  return key->index;
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
    service.SetDeviceFacts([&s] { return profiles::DeviceFacts{s.config.factory, s.config.macroCapacity}; });
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
  if (edits.Apply() != profiles::ApplyResult::Applied) {
    const auto readBack = edits.LastReadBack();
    if (readBack.Failed()) {
      ctx.ReadBackFailure(readBack.differences);
      return false;
    }
    ctx.Err() << "the keyboard's configuration was not written\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  return true;
}

KeyNameIndex::KeyNameIndex(const text::TextSource& texts) {
  const KeyVocabulary words(texts);
  for (const auto& n : KeyVocabulary::FixedNames()) fixed_.emplace(n.lower, n.key);
  for (const auto& n : words.DisplayNames()) shown_.emplace(n.lower, n.key);
}

std::optional<std::uint16_t> KeyNameIndex::Find(std::string_view name) const {
  if (name.empty()) return std::nullopt;
  // The order of KeyVocabulary::Find: fixed names, numbers and codes, display names.
  const std::string wanted = Lower(name);
  std::optional<KeyRef> key;
  if (const auto it = fixed_.find(wanted); it != fixed_.end()) key = it->second;
  if (!key) key = NumberedKey(std::string(name));
  if (!key) {
    if (const auto it = shown_.find(wanted); it != shown_.end()) key = it->second;
  }
  if (!key || key->index == keys::kNoKeyIndex) return std::nullopt;
  return key->index;
}

}  // namespace vantrel::ctl
