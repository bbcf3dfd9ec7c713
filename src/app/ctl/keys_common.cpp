#include "app/ctl/keys_common.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

#include "app/ctl/registry.h"
#include "core/keys/key_codes.h"
#include "core/text/ini_file.h"

namespace vantrel::ctl {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
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

// Every name a key answers to: its plain label, its display text, and G1..G18.
std::vector<std::pair<std::string, std::uint16_t>> AllNames(const text::TextSource& texts) {
  std::vector<std::pair<std::string, std::uint16_t>> names;
  const auto& table = keys::KeyNameTable();
  for (std::size_t i = 0; i < keys::kKeyNameCount; ++i) {
    if (table[i].label.empty()) continue;
    names.emplace_back(std::string(table[i].label), static_cast<std::uint16_t>(i));
    const std::string shown = KeyName(keys::CodeOfIndex(static_cast<std::uint16_t>(i)), texts);
    if (shown != table[i].label) names.emplace_back(shown, static_cast<std::uint16_t>(i));
  }
  for (int n = 1; n <= keys::kGKeyCount; ++n) {
    names.emplace_back("G" + std::to_string(n), static_cast<std::uint16_t>(255 + n));
  }
  return names;
}

}  // namespace

CtlTextSource::CtlTextSource() : file_(ProgramFolder() / "Lang0409.ini") {}

std::string CtlTextSource::Read(std::string_view section, std::string_view key) const {
  return file_.Read(section, key, "#Error");
}
std::string CtlTextSource::Text(std::string_view key) const { return Read("TEXT", key); }
std::string CtlTextSource::LightText(std::string_view key) const { return Read("LIGHT", key); }
std::string CtlTextSource::ModeText(std::string_view key) const { return Read("MODE", key); }

void CtlMessageSink::ShowMessage(std::string_view text) { err_ << text << '\n'; }

bool CtlMessageSink::AskYesNo(std::string_view text, bool) {
  err_ << text << (yes_ ? " -> yes (--yes)\n" : " -> no (give --yes to confirm)\n");
  return yes_;
}

std::uint16_t CodeOfKeyIndex(std::uint16_t index) {
  if (index < 256) return keys::CodeOfIndex(index);
  return static_cast<std::uint16_t>(index + 0x100);
}

std::string KeyName(std::uint16_t code, const text::TextSource& texts) {
  if (code >= keys::kCodeFirstGKey && code < keys::kCodeFirstGKey + keys::kGKeyCount) {
    return "G" + std::to_string(code - keys::kCodeFirstGKey + 1);
  }
  const keys::KeyNameEntry& e = keys::KeyEntryOfCode(code);
  std::string name = keys::KeyDisplayName(code, texts);
  // Until the language files carry the key names, the English label stands in.
  if (!e.label.empty() && (name == "#Error" || e.languageKey.empty() || texts.Text(e.languageKey) == "#Error")) {
    name = std::string(e.label);
  }
  return name;
}

std::optional<std::uint16_t> ParseKeyIndex(std::string_view name, const text::TextSource& texts) {
  if (name.empty()) return std::nullopt;
  const std::string wanted = Lower(name);
  for (const auto& [n, index] : AllNames(texts)) {
    if (Lower(n) == wanted) return index;
  }
  try {
    std::size_t used = 0;
    const std::string s(name);
    if (wanted.rfind("0x", 0) == 0) {
      const unsigned long code = std::stoul(s.substr(2), &used, 16);
      if (used + 2 != s.size() || code == 0 || code > 0xFFFF) return std::nullopt;
      const std::uint16_t index = keys::KeyIndexOfCode(static_cast<std::uint16_t>(code));
      if (index >= keys::kKeyIndexCount) return std::nullopt;
      return index;
    }
    if (!std::isdigit(static_cast<unsigned char>(s[0]))) return std::nullopt;
    const unsigned long index = std::stoul(s, &used, 10);
    if (used != s.size() || index >= keys::kKeyIndexCount) return std::nullopt;
    return static_cast<std::uint16_t>(index);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::vector<std::string> CloseKeyNames(std::string_view name, const text::TextSource& texts) {
  const std::string wanted = Lower(name);
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const auto& [n, index] : AllNames(texts)) {
    const std::string low = Lower(n);
    std::size_t d = Distance(wanted, low);
    if (!wanted.empty() && low.find(wanted) != std::string::npos) d = std::min<std::size_t>(d, 1);
    // A structured binding cannot be captured before C++20's P1091 (clang 14).
    const std::string& candidate = n;
    if (d <= 2 && std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == candidate; })) {
      scored.emplace_back(d, n);
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (std::size_t i = 0; i < scored.size() && i < 8; ++i) out.push_back(scored[i].second);
  return out;
}

void UnknownKey(Context& ctx, std::string_view name, const text::TextSource& texts) {
  ctx.Err() << "unknown key '" << name << "'";
  const auto close = CloseKeyNames(name, texts);
  if (!close.empty()) {
    ctx.Err() << "; did you mean:";
    for (std::size_t i = 0; i < close.size(); ++i) ctx.Err() << (i ? ", " : " ") << '"' << close[i] << '"';
  }
  ctx.Err() << "\nnothing was written\n";
  ctx.SetExitCode(kExitUsage);
}

bool LoadKeyboard(Context& ctx, KeyboardSession& session) {
  if (!ctx.OpenWithKeyboard()) return false;
  const device::DeviceResult r = keys::ReadDeviceConfiguration(ctx.Commands(), session.config);
  if (r != device::kDeviceOk) {
    ctx.DeviceFailure("reading the keyboard's configuration", r);
    return false;
  }
  keys::EditingStore::Lock lock(session.editing);
  keys::DecodeIntoImage(session.config, session.texts, lock.Image());
  return true;
}

bool WriteKeyboard(Context& ctx, KeyboardSession& session, keys::EditingStore::Lock& lock, bool allProfiles,
                   std::size_t profile, bool yes) {
  CtlMessageSink sink(ctx.Err(), yes);
  keys::ApplyRequest request;
  request.allProfiles = allProfiles;
  request.currentProfile = profile;
  request.factory = session.config.factory;
  request.macroCapacity = session.config.macroCapacity;
  if (!keys::ApplyToDevice(lock, session.applied, request, ctx.Commands(), session.texts, sink)) {
    ctx.Err() << "the keyboard's configuration was not written\n";
    ctx.SetExitCode(kExitFailed);
    return false;
  }
  return true;
}

KeyNameIndex::KeyNameIndex(const text::TextSource& texts) {
  // The first key a name belongs to wins, as in ParseKeyIndex's walk.
  for (const auto& [n, index] : AllNames(texts)) byLowerName_.emplace(Lower(n), index);
}

std::optional<std::uint16_t> KeyNameIndex::Find(std::string_view name) const {
  if (name.empty()) return std::nullopt;
  if (const auto it = byLowerName_.find(Lower(name)); it != byLowerName_.end()) return it->second;
  // Not a name: an index or a code. Without texts the walk sees only the plain labels and
  // the G keys, all of which are in the map, so only the number rules remain.
  class NoTexts final : public text::TextSource {
   public:
    std::string Text(std::string_view) const override { return "#Error"; }
    std::string LightText(std::string_view) const override { return "#Error"; }
    std::string ModeText(std::string_view) const override { return "#Error"; }
  };
  return ParseKeyIndex(name, NoTexts{});
}

}  // namespace vantrel::ctl
