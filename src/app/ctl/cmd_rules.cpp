// rules: the automatic-switching rules in the application settings (the running program
// follows every change to the file at once); focus --watch: the focused windows as the
// program sees them, for writing rules.
#include <QSettings>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/registry.h"
#include "core/profiles/auto_switch_rules.h"
#include "core/profiles/focus_source.h"
#include "core/text/printable_text.h"
#include "platform/auto_rules_settings.h"
#include "platform/focus_bus_watch.h"
#include "platform/settings_store_qt.h"
#include "platform/x11_focus_source.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::profiles;

std::unique_ptr<QSettings> OpenRules(Context& ctx) {
  auto settings = platform::OpenNativeSettings(QStringLiteral("Vantrel_Morvane"), QStringLiteral("Vantrel"));
  if (!settings) {
    ctx.Err() << "the settings file " << platform::AppSettingsFile().toStdString() << " is not a regular file\n";
    ctx.SetExitCode(kExitFailed);
  }
  return settings;
}

void Save(Context& ctx, QSettings& settings, const AutoRuleSet& rules) {
  if (!platform::SaveAutoRules(settings, rules)) {
    ctx.Err() << "cannot write the settings file " << settings.fileName().toStdString() << '\n';
    ctx.SetExitCode(kExitFailed);
  }
}

// The stored rules; each one the program cannot use is named on stderr (it is left out,
// and an edit stores the rules without it).
AutoRuleSet Load(Context& ctx, QSettings& settings) {
  std::vector<std::string> skipped;
  AutoRuleSet rules = platform::LoadAutoRules(settings, &skipped);
  for (const auto& why : skipped) ctx.Err() << "rules: stored " << why << "; it is not used\n";
  return rules;
}

void List(Context& ctx) {
  auto settings = OpenRules(ctx);
  if (!settings) return;
  const AutoRuleSet rules = Load(ctx, *settings);
  ctx.Out() << "switching: " << (rules.enabled ? "on" : "off") << '\n';
  ctx.Out() << "fallback: " << (rules.fallback ? std::to_string(*rules.fallback) : std::string("stay")) << '\n';
  for (std::size_t i = 0; i < rules.rules.size(); ++i) ctx.Out() << i << ": " << DescribeRule(rules.rules[i]) << '\n';
}

// Reads the rules, lets `change` edit them and stores them; `change` returns false (after
// its message) to store nothing.
template <typename Change>
void Edit(Context& ctx, Change change) {
  auto settings = OpenRules(ctx);
  if (!settings) return;
  AutoRuleSet rules = Load(ctx, *settings);
  if (!change(rules)) return;
  Save(ctx, *settings, rules);
}

// Set by SIGINT and SIGTERM while watching.
volatile std::sig_atomic_t stopWatching = 0;
extern "C" void OnStopSignal(int) { stopWatching = 1; }

// Every part comes from another program (a web page sets the title): shown without its
// control characters, so that no escape sequence reaches the terminal.
std::string Line(const FocusedWindow& w) {
  return text::PrintableText("app=" + w.appId + " class=" + w.appClass + " exe=" + w.executable +
                                 " pid=" + std::to_string(w.pid) + " title=" + w.title,
                             1024);
}

void WatchFocus(Context& ctx, int count) {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const char* display = std::getenv("DISPLAY");
  const FocusSourceChoice choice =
      ChooseFocusSource(type ? type : "", desktop ? desktop : "", display && *display);
  if (choice.kind == FocusSourceKind::KWinScript || choice.kind == FocusSourceKind::GnomeShell) {
    // The desktop tells the running program; the program passes it on.
    stopWatching = 0;
    auto previousInt = std::signal(SIGINT, OnStopSignal);
    auto previousTerm = std::signal(SIGTERM, OnStopSignal);
    int printed = 0;
    std::string error;
    const bool watched = platform::WatchProgramFocus(
        [&](const FocusedWindow& w) {
          if (count > 0 && printed >= count) return;
          ctx.Out() << Line(w) << std::endl;
          ++printed;
        },
        [&] { return stopWatching != 0 || (count > 0 && printed >= count); }, &error);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    if (!watched) {
      ctx.Err() << "focus --watch: " << error << '\n';
      ctx.SetExitCode(kExitFailed);
    }
    return;
  }
  if (choice.kind != FocusSourceKind::X11) {
    ctx.Err() << "focus --watch works in an X11 session, or on KDE Plasma or GNOME with vantrel running (this "
                 "session: "
              << (type && *type ? type : "unknown") << ")\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  auto source = platform::MakeX11FocusSource();
  if (!source) {
    ctx.Err() << "this build has no X11 support\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::string> lines;
  std::string error;
  if (!source->Start(
          [&](const FocusedWindow& w) {
            if (w.Empty()) return;  // the focus on its way between two windows
            {
              std::lock_guard lock(mutex);
              lines.push_back(Line(w));
            }
            arrived.notify_one();
          },
          &error)) {
    ctx.Err() << error << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  stopWatching = 0;
  auto previousInt = std::signal(SIGINT, OnStopSignal);
  auto previousTerm = std::signal(SIGTERM, OnStopSignal);
  int printed = 0;
  while (!stopWatching && (count <= 0 || printed < count)) {
    std::unique_lock lock(mutex);
    arrived.wait_for(lock, std::chrono::milliseconds(100), [&] { return !lines.empty(); });
    while (!lines.empty() && (count <= 0 || printed < count)) {
      ctx.Out() << lines.front() << std::endl;
      lines.pop_front();
      ++printed;
    }
  }
  source->Stop();
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);
}

const CommandGroup kRuleCommands(60, [](CLI::App& app, Context& ctx) {
  auto* rules = app.add_subcommand("rules", "List the automatic profile switching rules, or change them");
  rules->require_subcommand(0, 1);
  rules->callback([&ctx, rules] {
    if (rules->get_subcommands().empty()) List(ctx);
  });

  auto* add = rules->add_subcommand("add", "Add a rule at the end: the focused window's app id, program or title");
  struct AddOptions {
    std::string app, exe, title;
    int profile = 0;
  };
  auto given = std::make_shared<AddOptions>();
  auto* appOption = add->add_option("--app", given->app, "Application id (X11: WM_CLASS instance or class), any case");
  auto* exeOption = add->add_option("--exe", given->exe, "Program file: a full path, or a file name alone");
  auto* titleOption = add->add_option("--title", given->title, "Window title: a regular expression, any case");
  appOption->excludes(exeOption)->excludes(titleOption);
  exeOption->excludes(titleOption);
  add->add_option("--profile", given->profile, "On-board profile to switch to (0, 1 or 2)")
      ->required()
      ->check(CLI::Range(0, 2));
  add->callback([&ctx, given, appOption, exeOption, titleOption] {
    AutoRule rule;
    if (appOption->count()) rule = {RuleKind::App, given->app, given->profile};
    else if (exeOption->count()) rule = {RuleKind::Executable, given->exe, given->profile};
    else if (titleOption->count()) rule = {RuleKind::Title, given->title, given->profile};
    else {
      ctx.Err() << "rules add needs one of --app, --exe or --title\n";
      ctx.SetExitCode(kExitUsage);
      return;
    }
    Edit(ctx, [&](AutoRuleSet& set) {
      const RuleError error = set.Add(rule);
      if (error != RuleError::Ok) {
        ctx.Err() << "rule not added: " << RuleErrorText(error) << '\n';
        ctx.SetExitCode(kExitUsage);
        return false;
      }
      ctx.Out() << set.rules.size() - 1 << ": " << DescribeRule(rule) << '\n';
      return true;
    });
  });

  auto* rm = rules->add_subcommand("rm", "Remove the rule with the number the list shows");
  auto index = std::make_shared<std::size_t>(0);
  rm->add_option("INDEX", *index, "Number of the rule (from 0)")->required();
  rm->callback([&ctx, index] {
    Edit(ctx, [&](AutoRuleSet& set) {
      if (!set.Remove(*index)) {
        ctx.Err() << "there is no rule " << *index << '\n';
        ctx.SetExitCode(kExitUsage);
        return false;
      }
      return true;
    });
  });

  auto* fallback = rules->add_subcommand("fallback", "Profile for windows no rule matches: 0, 1, 2 or stay");
  auto value = std::make_shared<std::string>();
  fallback->add_option("N", *value, "0, 1, 2, or stay (keep the profile)")
      ->required()
      ->check(CLI::IsMember({"0", "1", "2", "stay"}));
  fallback->callback([&ctx, value] {
    Edit(ctx, [&](AutoRuleSet& set) {
      set.fallback = *value == "stay" ? std::nullopt : std::optional<int>(std::stoi(*value));
      return true;
    });
  });

  for (const bool on : {true, false}) {
    rules->add_subcommand(on ? "on" : "off", on ? "Switch profiles automatically" : "Stop switching automatically")
        ->callback([&ctx, on] {
          Edit(ctx, [&](AutoRuleSet& set) {
            set.enabled = on;
            return true;
          });
        });
  }

  auto* focus = app.add_subcommand("focus", "The focused window as automatic switching sees it");
  // The parser writes into these after this function returns, so the callback owns them.
  struct FocusOptions {
    bool watch = false;
    int count = 0;
  };
  auto focusGiven = std::make_shared<FocusOptions>();
  focus->add_flag("--watch", focusGiven->watch, "Print each window that gains the focus until interrupted")->required();
  focus->add_option("--count", focusGiven->count, "Stop after N windows")->check(CLI::PositiveNumber);
  focus->callback([&ctx, focusGiven] { WatchFocus(ctx, focusGiven->count); });
});

}  // namespace
}  // namespace vantrel::ctl
