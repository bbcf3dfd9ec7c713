// keys: show the assignments of an on-board profile, and change one key's assignment.
// Every change reads the keyboard's configuration, edits it and applies it through the
// editing session (macro area, then the key table).
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "core/keys/key_codes.h"
#include "core/text/utf16.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::keys;

std::string_view KindName(std::uint16_t kind) {
  switch (kind) {
    case kKindFactory: return "default";
    case kKindDisabled: return "disabled";
    case kKindKey: return "key";
    case kKindLaunch: return "launch";
    case kKindMacro: return "macro";
    case kKindStopMacro: return "stop-macro";
    case kKindText: return "text";
    case kKindMedia: return "media";
    case kKindFunction: return "function";
    default: return "unknown";
  }
}

std::string ValueText(const KeyAssignment& r, const StoreImage& image, const text::TextSource& texts) {
  switch (r.kind) {
    case kKindKey: return KeyName(static_cast<std::uint16_t>(r.code), texts);
    case kKindMacro: {
      for (const MacroRecord& m : image.macros) {
        if (m.Id() == r.code) return std::to_string(r.code) + " " + text::Utf16ToUtf8(m.Name());
      }
      return std::to_string(r.code) + " (no such macro)";
    }
    case kKindMedia:
      if (r.code >= 0 && r.code < static_cast<int>(kMediaKeyCount)) {
        return std::to_string(r.code) + " " + KeyName(MediaKeyTable()[static_cast<std::size_t>(r.code)].code, texts);
      }
      return std::to_string(r.code);
    case kKindFunction: {
      // The function's description once the language file carries it.
      const std::string description = texts.Text(FunctionKeyLanguageKey(r.code));
      return std::to_string(r.code) + (description == "#Error" ? "" : " " + description);
    }
    default: return "";
  }
}

std::size_t ChosenProfile(Context& ctx, const KeyboardSession& s, int option) {
  if (option >= 0) return static_cast<std::size_t>(option);
  const int active = s.config.activeProfile;
  if (active < 0 || active > 2) {
    ctx.Err() << "the keyboard reports active profile " << active << "; using profile 0\n";
    return 0;
  }
  return static_cast<std::size_t>(active);
}

void RunKeys(Context& ctx, int profileOption, bool asJson) {
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  const std::size_t profile = ChosenProfile(ctx, s, profileOption);
  EditingStore::Lock lock(s.editing);
  nlohmann::json list = nlohmann::json::array();
  std::size_t shown = 0;
  for (std::size_t i = 0; i < kKeyIndexCount; ++i) {
    const KeyAssignment r = lock->table.Record(profile, i);
    if (r.kind == kKindFactory) continue;
    const std::uint16_t code = CodeOfKeyIndex(static_cast<std::uint16_t>(i));
    const std::string name = KeyName(code, s.texts);
    const std::string value = ValueText(r, lock.Image(), s.texts);
    ++shown;
    if (asJson) {
      list.push_back({{"index", i}, {"code", code}, {"key", name}, {"kind", KindName(r.kind)},
                      {"kind_number", r.kind}, {"value", r.code}, {"value_text", value}});
    } else {
      ctx.Out() << name << '\t' << KindName(r.kind) << (value.empty() ? "" : "\t") << value << '\n';
    }
  }
  if (asJson) {
    ctx.Out() << nlohmann::json{{"profile", profile}, {"assignments", list}}.dump(2) << '\n';
  } else if (shown == 0) {
    // Nothing printed: say so, so an empty answer is not mistaken for a failure.
    ctx.Out() << "profile " << profile << ": every key has its factory function\n";
  }
}

// ASSIGNMENT: default, disabled, key:NAME, mouse:BUTTON, macro:ID, media:INDEX,
// function:INDEX. nullopt (with a message) when it cannot be understood.
std::optional<KeyAssignment> ParseAssignment(Context& ctx, std::string_view text, const StoreImage& image,
                                             const KeyVocabulary& words) {
  KeyAssignment r;
  const auto colon = text.find(':');
  const std::string_view what = text.substr(0, colon);
  const std::string_view arg = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  auto number = [&](int lo, int hi) -> std::optional<int> {
    try {
      std::size_t used = 0;
      const int v = std::stoi(std::string(arg), &used, 10);
      if (used == arg.size() && v >= lo && v <= hi) return v;
    } catch (const std::exception&) {
    }
    ctx.Err() << "'" << text << "': expected a number from " << lo << " to " << hi << "; nothing was written\n";
    ctx.SetExitCode(kExitUsage);
    return std::nullopt;
  };
  if (what == "default" && colon == std::string_view::npos) return r;
  if (what == "disabled" && colon == std::string_view::npos) {
    r.kind = kKindDisabled;
    return r;
  }
  if (what == "key") {
    const auto index = AssignableKeyIndex(ctx, arg, words);
    if (!index) return std::nullopt;
    // The key table stores a key by its keyboard-page usage; a key without one (F13, Sys
    // Req, the system and office functions) would be stored as "disabled" and read back so.
    const std::uint16_t code = CodeOfIndex(*index);
    const bool mouse = code == kCodeMouseLeft || code == kCodeMouseRight || code == kCodeMouseMiddle ||
                       code == kCodeWheelUp || code == kCodeWheelDown;
    if (!mouse && UsageOfCode(code).page != kPageKeyboard) {
      ctx.Err() << "'" << arg << "': this keyboard cannot send that key from its key table; nothing was written\n";
      ctx.SetExitCode(kExitUsage);
      return std::nullopt;
    }
    r.kind = kKindKey;
    r.code = code;
    return r;
  }
  if (what == "mouse") {
    static constexpr std::pair<std::string_view, std::uint16_t> kButtons[] = {
        {"left", kCodeMouseLeft}, {"right", kCodeMouseRight}, {"middle", kCodeMouseMiddle},
        {"wheel-up", kCodeWheelUp}, {"wheel-down", kCodeWheelDown}};
    for (const auto& [n, code] : kButtons) {
      if (arg == n) {
        r.kind = kKindKey;
        r.code = code;
        return r;
      }
    }
    ctx.Err() << "'" << text << "': the mouse functions are left, right, middle, wheel-up and wheel-down; "
              << "nothing was written\n";
    ctx.SetExitCode(kExitUsage);
    return std::nullopt;
  }
  if (what == "macro") {
    const auto id = number(1, static_cast<int>(kMaxMacros));
    if (!id) return std::nullopt;
    for (const MacroRecord& m : image.macros) {
      if (m.Id() == *id) {
        r.kind = kKindMacro;
        r.code = *id;
        r.aux = m.Cycles();
        return r;
      }
    }
    ctx.Err() << "there is no macro " << *id << " (see 'macros'); nothing was written\n";
    ctx.SetExitCode(kExitUsage);
    return std::nullopt;
  }
  if (what == "media") {
    const auto i = number(0, static_cast<int>(kMediaKeyCount) - 1);
    if (!i) return std::nullopt;
    r.kind = kKindMedia;
    r.code = *i;
    return r;
  }
  if (what == "function") {
    const auto i = number(0, kFunctionKeyCount - 1);
    if (!i) return std::nullopt;
    r.kind = kKindFunction;
    r.code = *i;
    return r;
  }
  ctx.Err() << "'" << text << "': expected default, disabled, key:NAME, mouse:BUTTON, macro:ID, media:INDEX "
            << "or function:INDEX; nothing was written\n";
  ctx.SetExitCode(kExitUsage);
  return std::nullopt;
}

void RunKeysSet(Context& ctx, int profileOption, const std::string& key, const std::string& assignment) {
  // The key name is checked before the keyboard is touched.
  const KeyVocabulary words(ctx.Texts());
  const auto named = words.Find(key);
  if (!named) return UnknownKey(ctx, key, words);
  if (named->index == kNoKeyIndex) {
    ctx.Err() << "'" << key << "' has no key code and cannot be assigned; nothing was written\n";
    return ctx.SetExitCode(kExitUsage);
  }
  const std::optional<std::uint16_t> index = named->index;
  if (!ctx.ProgramLetsWrite()) return;
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  if (!KeyboardKeepsKey(ctx, s, *index)) return;
  const std::size_t profile = ChosenProfile(ctx, s, profileOption);
  {
    EditingStore::Lock lock(s.editing);
    auto record = ParseAssignment(ctx, assignment, lock.Image(), words);
    if (!record) return;
    // G-key records keep their layer word in aux.
    if (GKeyOfIndex(*index)) record->aux = lock->table.Record(profile, *index).aux;
    StoreKeyAssignment(lock.Image(), profile, *index, *record);
  }
  if (!WriteKeyboard(ctx, s, false, profile)) return;
  EditingStore::Lock lock(s.editing);
  const KeyAssignment stored = lock->table.Record(profile, *index);
  const std::string value = ValueText(stored, lock.Image(), s.texts);
  ctx.Out() << "profile " << profile << ": " << KeyName(CodeOfKeyIndex(*index), s.texts) << " -> "
            << KindName(stored.kind) << (value.empty() ? "" : " ") << value << '\n';
}

const CommandGroup kKeysCommands(30, [](CLI::App& app, Context& ctx) {
  auto* keysCmd = app.add_subcommand("keys", "Show the key assignments of an on-board profile");
  auto* profile = keysCmd->add_option("--profile", "Profile 0..2 (default: the active one)")->check(CLI::Range(0, 2));
  auto* json = keysCmd->add_flag("--json")->description("Print a JSON object");
  keysCmd->callback([&ctx, keysCmd, profile, json] {
    if (!keysCmd->get_subcommands().empty()) return;
    RunKeys(ctx, profile->count() ? profile->as<int>() : -1, json->count() > 0);
  });

  auto* set = keysCmd->add_subcommand("set", "Assign a function to a key and write it to the keyboard");
  auto* setProfile = set->add_option("--profile", "Profile 0..2 (default: the active one)")->check(CLI::Range(0, 2));
  auto key = std::make_shared<std::string>();
  auto assignment = std::make_shared<std::string>();
  set->add_option("KEY", *key, "Key name (\"Esc\", \"Caps Lock\", \"G3\"), key index, or code 0x...")->required();
  set->add_option("ASSIGNMENT", *assignment,
                  "default | disabled | key:NAME | mouse:left|right|middle|wheel-up|wheel-down | macro:ID | "
                  "media:INDEX | function:INDEX")
      ->required();
  set->callback([&ctx, setProfile, key, assignment] {
    RunKeysSet(ctx, setProfile->count() ? setProfile->as<int>() : -1, *key, *assignment);
  });
});

}  // namespace
}  // namespace vantrel::ctl
