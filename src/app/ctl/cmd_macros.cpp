// macros: list, show, add, remove and rename the macros stored on the keyboard. Every
// change reads the keyboard's configuration, edits it with the macro editor's rules and
// applies the macro area and all three key tables through the editing session.
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "core/keys/key_codes.h"
#include "core/keys/text_macro.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"
#include "core/util/regular_file.h"
#include "platform/desktop_layout.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::keys;

inline constexpr std::int32_t kDefaultStepDelay = 50;

std::string MacroName(const MacroRecord& m) { return text::Utf16ToUtf8(m.Name()); }

std::string StepText(const MacroAction& a, const text::TextSource& texts) {
  return KeyName(a.code, texts) + (a.direction == kPress ? "+" : "-") + "/" + std::to_string(a.delay);
}

// The position of the macro with the id, or nullopt with a message.
std::optional<std::size_t> FindMacro(Context& ctx, const StoreImage& image, int id) {
  for (std::size_t i = 0; i < image.macros.size(); ++i) {
    if (image.macros[i].Id() == id) return i;
  }
  ctx.Err() << "there is no macro " << id << " (see 'macros'); nothing was written\n";
  ctx.SetExitCode(kExitUsage);
  return std::nullopt;
}

// STEP: KEY+ (press) or KEY- (release), optionally /DELAY in ms (0..40000, steps of 10).
std::optional<MacroAction> ParseStep(Context& ctx, std::string_view step, const KeyVocabulary& words) {
  MacroAction a;
  a.delay = kDefaultStepDelay;
  std::string_view keyPart = step;
  if (const auto slash = step.rfind('/'); slash != std::string_view::npos && slash > 0 && slash + 1 < step.size()) {
    const std::string delay(step.substr(slash + 1));
    try {
      std::size_t used = 0;
      const int v = std::stoi(delay, &used, 10);
      if (used != delay.size() || v < 0 || v > kMaxDelayMs || v % 10 != 0) throw std::invalid_argument(delay);
      a.delay = v;
    } catch (const std::exception&) {
      ctx.Err() << "step '" << step << "': the delay must be 0 to 40000 ms in steps of 10; nothing was written\n";
      ctx.SetExitCode(kExitUsage);
      return std::nullopt;
    }
    keyPart = step.substr(0, slash);
  }
  if (keyPart.size() < 2 || (keyPart.back() != '+' && keyPart.back() != '-')) {
    ctx.Err() << "step '" << step << "': expected KEY+ (press) or KEY- (release), optionally /DELAY; "
              << "nothing was written\n";
    ctx.SetExitCode(kExitUsage);
    return std::nullopt;
  }
  a.direction = keyPart.back() == '+' ? kPress : kRelease;
  keyPart.remove_suffix(1);
  const auto index = AssignableKeyIndex(ctx, keyPart, words);
  if (!index) return std::nullopt;
  a.code = CodeOfIndex(*index);
  // A step is stored by the key's usage; a key without one would be stored as nothing.
  if (UsageOfCode(a.code).page == kPageNone) {
    ctx.Err() << "step '" << step << "': this keyboard cannot send that key; nothing was written\n";
    ctx.SetExitCode(kExitUsage);
    return std::nullopt;
  }
  return a;
}

void RunList(Context& ctx, bool asJson) {
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  EditingStore::Lock lock(s.editing);
  nlohmann::json list = nlohmann::json::array();
  for (const MacroRecord& m : lock->macros) {
    if (asJson) {
      list.push_back({{"id", m.Id()}, {"name", MacroName(m)}, {"cycles", m.Cycles()}, {"steps", m.ActionCount()}});
    } else {
      ctx.Out() << m.Id() << '\t' << MacroName(m) << "\tcycles " << static_cast<int>(m.Cycles()) << '\t'
                << m.ActionCount() << " steps\n";
    }
  }
  const MacroBlockSizes sizes = ComputeMacroBlockSizes(lock->macros);
  if (asJson) {
    ctx.Out() << nlohmann::json{{"macros", list}, {"capacity", s.config.macroCapacity},
                                {"block_size", sizes.full}, {"block_size_without_names", sizes.bare}}
                     .dump(2)
              << '\n';
  } else {
    if (lock->macros.empty()) ctx.Out() << "no macros\n";
    ctx.Out() << "macro area: " << sizes.full << " of " << s.config.macroCapacity << " bytes used\n";
  }
}

void RunShow(Context& ctx, int id, bool asJson) {
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  EditingStore::Lock lock(s.editing);
  const auto pos = FindMacro(ctx, lock.Image(), id);
  if (!pos) return;
  const MacroRecord& m = lock->macros[*pos];
  if (asJson) {
    nlohmann::json steps = nlohmann::json::array();
    for (const MacroAction& a : m.Actions()) {
      steps.push_back({{"key", KeyName(a.code, s.texts)}, {"code", a.code},
                       {"direction", a.direction == kPress ? "press" : "release"}, {"delay", a.delay}});
    }
    ctx.Out() << nlohmann::json{{"id", m.Id()}, {"name", MacroName(m)}, {"cycles", m.Cycles()}, {"steps", steps}}
                     .dump(2)
              << '\n';
    return;
  }
  ctx.Out() << "macro " << m.Id() << ": " << MacroName(m) << ", cycles " << static_cast<int>(m.Cycles()) << '\n';
  std::size_t n = 0;
  for (const MacroAction& a : m.Actions()) ctx.Out() << "  " << ++n << '\t' << StepText(a, s.texts) << '\n';
}

// Saves the macros with the editor's rules and writes everything back; a macro change can
// touch keys of every profile. The caller holds no lock of the store.
bool Commit(Context& ctx, KeyboardSession& s) {
  {
    EditingStore::Lock lock(s.editing);
    SaveMacros(lock.Image());
  }
  return WriteKeyboard(ctx, s, true, 0);
}

void RunAdd(Context& ctx, const std::string& name, int cycles, const std::vector<std::string>& stepTexts) {
  const KeyVocabulary words(ctx.Texts());
  std::vector<MacroAction> steps;
  for (const std::string& t : stepTexts) {
    auto a = ParseStep(ctx, t, words);
    if (!a) return;
    steps.push_back(*a);
  }
  if (steps.size() > kMaxActions) {
    ctx.Err() << "a macro holds at most " << kMaxActions << " steps; nothing was written\n";
    return ctx.SetExitCode(kExitUsage);
  }
  if (!ctx.ProgramLetsWrite()) return;
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  std::uint16_t id = 0;
  {
    EditingStore::Lock lock(s.editing);
    if (lock->macros.size() >= kMaxMacros) {
      CtlMessageSink sink(ctx.Err(), false);
      sink.ShowMessage(text::FormatWithNumber(s.texts.Text("MACRO_ERR_MAX"), static_cast<std::int64_t>(kMaxMacros)));
      return ctx.SetExitCode(kExitFailed);
    }
    MacroRecord m = NewMacro(text::Utf8ToUtf16(name), SmallestFreeMacroId(lock.Image()));
    m.SetCycles(static_cast<std::uint8_t>(cycles));
    m.SetActions(steps);
    id = m.Id();
    lock->macros.push_back(std::move(m));
  }
  if (!Commit(ctx, s)) return;
  EditingStore::Lock lock(s.editing);
  ctx.Out() << "macro " << id << " added: " << MacroName(lock->macros.back()) << ", " << steps.size() << " steps\n";
}

// A macro typed from text: the text, or the file that holds it.
struct TextRequest {
  std::string text;
  std::string file;  // read when not empty
  std::string layout;  // empty: the desktop's
  int delay = kDefaultTextStepDelay;
};

// A macro types at most 2000 characters (one step each at least), and UTF-8 takes at most
// four bytes for one: a larger file holds no text that fits, and is not read.
inline constexpr std::size_t kMaxTextFileBytes = 16 * 1024;

// The text of --text-file. Most editors end a file with a newline the user never meant to
// type (it would press Enter after the text): one final newline is left out.
std::optional<std::string> ReadTextFile(Context& ctx, const std::string& file) {
  std::string content, why;
  if (!ReadRegularFile(file, kMaxTextFileBytes, content, why)) {
    ctx.Err() << "cannot read " << file << ": " << why;
    if (why.rfind("is larger", 0) == 0) ctx.Err() << "; a macro types at most " << kMaxActions << " characters";
    ctx.Err() << "\nnothing was written\n";
    ctx.SetExitCode(kExitFailed);
    return std::nullopt;
  }
  if (content.ends_with("\r\n")) {
    content.resize(content.size() - 2);
  } else if (content.ends_with('\n')) {
    content.pop_back();
  }
  return content;
}

void RunAddText(Context& ctx, const std::string& name, int cycles, TextRequest request) {
  if (!request.file.empty()) {
    auto content = ReadTextFile(ctx, request.file);
    if (!content) return;
    request.text = std::move(*content);
  }
  // Typed before the keyboard is touched: a text the layout cannot type writes nothing.
  const std::string layout =
      request.layout.empty() ? platform::DetectDesktopLayout().name.Text() : request.layout;
  const keys::TypedText typed = keys::TypeText(request.text, layout, request.delay, ctx.Texts());
  if (!typed.error.empty()) {
    ctx.Err() << typed.error << "\nnothing was written\n";
    return ctx.SetExitCode(kExitUsage);
  }
  if (!ctx.ProgramLetsWrite()) return;
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  std::uint16_t id = 0;
  {
    EditingStore::Lock lock(s.editing);
    const keys::AddedMacro added =
        keys::AddMacroWithSteps(lock.Image(), text::Utf8ToUtf16(name), typed.steps, s.config.macroCapacity, s.texts);
    if (added.id == 0) {
      ctx.Err() << added.error << "\nnothing was written\n";
      return ctx.SetExitCode(kExitFailed);
    }
    lock->macros.back().SetCycles(static_cast<std::uint8_t>(cycles));
    id = added.id;
  }
  if (!Commit(ctx, s)) return;
  EditingStore::Lock lock(s.editing);
  ctx.Out() << "macro " << id << " added: " << MacroName(lock->macros.back()) << ", " << typed.steps.size()
            << " steps, typed for layout " << typed.layout.Text() << '\n';
}

void RunRemove(Context& ctx, int id, bool yes) {
  if (!ctx.ProgramLetsWrite()) return;
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  {
    EditingStore::Lock lock(s.editing);
    const auto pos = FindMacro(ctx, lock.Image(), id);
    if (!pos) return;
    CtlMessageSink sink(ctx.Err(), yes);
    if (!DeleteMacro(lock.Image(), *pos, s.texts, sink)) {
      ctx.Err() << "macro " << id << " is used by keys and was kept; nothing was written\n";
      return ctx.SetExitCode(kExitFailed);
    }
  }
  if (!Commit(ctx, s)) return;
  ctx.Out() << "macro " << id << " removed\n";
}

void RunRename(Context& ctx, int id, const std::string& name) {
  if (!ctx.ProgramLetsWrite()) return;
  KeyboardSession s(ctx);
  if (!LoadKeyboard(ctx, s)) return;
  std::optional<std::size_t> pos;
  {
    EditingStore::Lock lock(s.editing);
    pos = FindMacro(ctx, lock.Image(), id);
    if (!pos) return;
    RenameMacro(lock.Image(), *pos, text::Utf8ToUtf16(name));
  }
  if (!Commit(ctx, s)) return;
  EditingStore::Lock lock(s.editing);
  ctx.Out() << "macro " << id << " renamed: " << MacroName(lock->macros[*pos]) << '\n';
}

const CommandGroup kMacroCommands(31, [](CLI::App& app, Context& ctx) {
  auto* macros = app.add_subcommand("macros", "List the macros stored on the keyboard");
  auto* json = macros->add_flag("--json")->description("Print JSON");
  macros->callback([&ctx, macros, json] {
    if (macros->get_subcommands().empty()) RunList(ctx, json->count() > 0);
  });

  auto* show = macros->add_subcommand("show", "Show the steps of a macro");
  auto showId = std::make_shared<int>(0);
  show->add_option("ID", *showId, "Macro id")->required()->check(CLI::Range(1, 100));
  show->callback([&ctx, showId, json] { RunShow(ctx, *showId, json->count() > 0); });

  auto* add = macros->add_subcommand("add", "Add a macro and write it to the keyboard");
  auto name = std::make_shared<std::string>();
  auto cycles = std::make_shared<int>(1);
  auto steps = std::make_shared<std::vector<std::string>>();
  add->add_option("NAME", *name, "Name (at most 249 characters are kept)")->required();
  add->add_option("--cycles", *cycles, "How many times the keyboard plays it (1..255, default 1)")
      ->check(CLI::Range(1, 255));
  add->add_option("STEP", *steps, "KEY+ (press) or KEY- (release), optionally /DELAY in ms (default 50), "
                                  "e.g. A+/50 A-/10");
  auto typing = std::make_shared<TextRequest>();
  auto* text = add->add_option("--text", typing->text, "Text to type, as the steps that type it on the layout");
  auto* textFile = add->add_option("--text-file", typing->file, "File whose text to type (at most 16 KiB; one "
                                                                "final newline is left out)");
  auto* layout = add->add_option("--layout", typing->layout, "With --text or --text-file: the keyboard layout to "
                                                             "type for, as XKB names it (us, de, us(dvorak); "
                                                             "default: the desktop's)");
  auto* delay = add->add_option("--delay", typing->delay, "With --text or --text-file: the delay after each step "
                                                          "in ms (0..40000 in steps of 10, default 10)");
  text->excludes(textFile);
  add->callback([&ctx, name, cycles, steps, typing, text, textFile, layout, delay] {
    const bool typed = text->count() > 0 || textFile->count() > 0;
    if (typed && !steps->empty()) {
      ctx.Err() << "macros add: give STEPs or --text/--text-file, not both\n";
      return ctx.SetExitCode(kExitUsage);
    }
    if (!typed && (layout->count() > 0 || delay->count() > 0)) {
      ctx.Err() << "macros add: --layout and --delay go with --text or --text-file\n";
      return ctx.SetExitCode(kExitUsage);
    }
    if (!typed && steps->empty()) {
      ctx.Err() << "macros add: give STEPs, --text or --text-file\n";
      return ctx.SetExitCode(kExitUsage);
    }
    if (typed) return RunAddText(ctx, *name, *cycles, *typing);
    RunAdd(ctx, *name, *cycles, *steps);
  });

  auto* rm = macros->add_subcommand("rm", "Remove a macro (keys that play it return to their factory function)");
  auto rmId = std::make_shared<int>(0);
  rm->add_option("ID", *rmId, "Macro id")->required()->check(CLI::Range(1, 100));
  auto* yes = rm->add_flag("--yes")->description("Remove it even when keys play it");
  rm->callback([&ctx, rmId, yes] { RunRemove(ctx, *rmId, yes->count() > 0); });

  auto* rename = macros->add_subcommand("rename", "Rename a macro");
  auto renameId = std::make_shared<int>(0);
  auto newName = std::make_shared<std::string>();
  rename->add_option("ID", *renameId, "Macro id")->required()->check(CLI::Range(1, 100));
  rename->add_option("NAME", *newName, "New name (at most 249 characters are kept)")->required();
  rename->callback([&ctx, renameId, newName] { RunRename(ctx, *renameId, *newName); });
});

}  // namespace
}  // namespace vantrel::ctl
