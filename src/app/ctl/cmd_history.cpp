// history: the configurations the keyboard held before each write, newest first; what
// differs between one of them and the keyboard now; and one of them written back.
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/lighting_common.h"
#include "app/ctl/registry.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/profile_service.h"
#include "platform/local_time.h"
#include "scripting/history_tasks.h"
#include "scripting/keyboard_tasks.h"

namespace vantrel::ctl {
namespace {

// An outcome that is not Ok: its message on stderr and the exit code of its error.
void Failed(Context& ctx, const scripting::ScriptOutcome& outcome) {
  ctx.Err() << outcome.message << '\n';
  switch (outcome.error) {
    case scripting::ScriptError::NoKeyboard: ctx.SetExitCode(kExitNoKeyboard); break;
    case scripting::ScriptError::InvalidArgument: ctx.SetExitCode(kExitUsage); break;
    default: ctx.SetExitCode(kExitFailed); break;
  }
}

void RunList(Context& ctx, bool json) {
  const profiles::HistoryListing listing = ctx.History().List();
  for (const auto& problem : listing.problems) ctx.Err() << "history: skipped " << problem << '\n';
  if (!listing.folderProblem.empty()) {
    ctx.Err() << "history: " << listing.folderProblem << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& item : listing.entries) {
      list.push_back({{"number", item.number},
                      {"time", item.time},
                      {"source", std::string(profiles::HistorySourceName(item.source))},
                      {"summary", item.summary}});
    }
    // Summaries come from the language file and key names: never let a byte that is not
    // UTF-8 end the listing.
    ctx.Out() << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return;
  }
  if (listing.entries.empty()) {
    ctx.Out() << "the history holds no entry (" << ctx.History().Folder().string() << ")\n";
    return;
  }
  for (const auto& item : listing.entries) {
    ctx.Out() << item.number << "  " << platform::LocalDateTime(item.time) << "  " << profiles::HistorySourceName(item.source)
              << "  " << item.summary << '\n';
  }
}

// The entry is looked at before the keyboard: a number with no entry is said first.
bool EntryReadable(Context& ctx, int number) {
  scripting::KeyboardConfiguration entry;
  const auto loaded = scripting::LoadHistoryEntry(ctx.History(), number, ctx.Texts(), entry);
  if (!loaded.Ok()) Failed(ctx, loaded);
  return loaded.Ok();
}

void RunShow(Context& ctx, int number) {
  if (!EntryReadable(ctx, number) || !ctx.OpenWithKeyboard()) return;
  const lighting::KeyColourEditor colourFiles = ColourEditor(ctx);
  std::vector<std::string> differences;
  const auto outcome =
      scripting::CompareWithHistoryEntry(ctx.Commands(), colourFiles, ctx.History(), number, ctx.Texts(), differences);
  if (!outcome.Ok()) return Failed(ctx, outcome);
  for (const auto& line : differences) ctx.Out() << line << '\n';
  if (differences.empty()) {
    ctx.Out() << "the keyboard holds history entry " << number << '\n';
  } else {
    // As verify: differences found are exit code 1.
    ctx.SetExitCode(kExitFailed);
  }
}

void RunRestore(Context& ctx, int number) {
  if (!EntryReadable(ctx, number)) return;
  // The window's unapplied edits are never written over unasked.
  if (!ctx.ProgramLetsWrite()) return;
  if (!ctx.OpenWithKeyboard()) return;
  const text::TextSource& texts = ctx.Texts();
  CtlMessageSink sink(ctx.Err(), false);
  keys::EditingStore editing;
  keys::AppliedStore applied;
  std::atomic<int> cache{-1};
  profiles::ProfileService service(ctx.Commands(), editing, applied, cache, UserProfilePaths(), texts, sink);
  service.SetRecorder(ctx.Recorder());
  profiles::EditSession session(service, editing, applied, texts, sink);
  const lighting::KeyColourEditor colourFiles = ColourEditor(ctx);
  const auto outcome =
      scripting::RestoreHistoryEntry(session, colourFiles, ctx.History(), number, texts, "history restore");
  if (!outcome.Ok()) return Failed(ctx, outcome);
  ctx.Out() << "restored history entry " << number << " to all three profiles\n";
}

const CommandGroup kHistoryCommands(28, [](CLI::App& app, Context& ctx) {
  auto* history = app.add_subcommand(
      "history", "List the configurations the keyboard held before each write, newest first, numbered from 1");
  auto json = std::make_shared<bool>(false);
  history->add_flag("--json", *json, "The list as a JSON array");
  auto number = std::make_shared<int>(0);
  auto* show = history->add_subcommand(
      "show", "List what differs between history entry N and the keyboard now (exit 1 when anything does)");
  show->add_option("N", *number, "Entry number, 1 the newest")->required()->check(CLI::PositiveNumber);
  show->callback([&ctx, number] { RunShow(ctx, *number); });
  auto* restore = history->add_subcommand(
      "restore", "Write all of history entry N to the keyboard: keys, macros, lighting and key colours");
  restore->add_option("N", *number, "Entry number, 1 the newest")->required()->check(CLI::PositiveNumber);
  restore->callback([&ctx, number] { RunRestore(ctx, *number); });
  history->callback([&ctx, history, json] {
    if (history->get_subcommands().empty()) RunList(ctx, *json);
  });
});

}  // namespace
}  // namespace vantrel::ctl
