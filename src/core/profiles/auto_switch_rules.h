// Automatic profile switching: the rules that map the focused window to an on-board
// profile, and their stored form in the application settings.
//
// A rule matches the focused window by application id (on X11 the WM_CLASS instance or
// class, on Wayland the app id the desktop reports), by executable path, or by title (a
// regular expression, searched anywhere in the title). All comparisons ignore case. The
// first rule that matches names the profile; when none does, the fallback profile does,
// or nothing changes ("stay").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::profiles {

// What a focus source reports about the window that has the focus.
struct FocusedWindow {
  std::string appId;        // Wayland app id, or the WM_CLASS instance on X11
  std::string appClass;     // the WM_CLASS class on X11; empty elsewhere
  std::string executable;   // absolute path of the program; empty when unknown
  std::string title;        // never logged or traced
  std::uint32_t pid = 0;    // 0 unknown
  std::uint64_t windowId = 0;  // the source's own window handle, 0 unknown

  // Nothing that names a window: what the desktops report while the focus passes between
  // two windows (X11 window managers clear _NET_ACTIVE_WINDOW, KWin activates no window
  // before the next one). Such a report is no focus change: it is ignored everywhere.
  bool Empty() const { return appId.empty() && appClass.empty() && executable.empty() && title.empty() && pid == 0; }

  bool operator==(const FocusedWindow&) const = default;
};

enum class RuleKind { App, Executable, Title };

struct AutoRule {
  RuleKind kind = RuleKind::App;
  std::string pattern;
  int profile = 0;  // 0..2

  bool operator==(const AutoRule&) const = default;
};

// The longest pattern a rule may have, and the most rules kept; longer titles are cut to
// kMaxTitleBytes before a title rule looks at them. A title pattern is matched by an engine
// whose time grows linearly with the title (no back-tracking), so no pattern and no title
// can stall the caller; patterns it cannot run that way (back-references, look-around) are
// refused as BadRegex.
inline constexpr std::size_t kMaxPatternBytes = 512;
inline constexpr std::size_t kMaxRules = 64;
inline constexpr std::size_t kMaxTitleBytes = 1024;

// Why a rule cannot be kept; Ok when it can.
enum class RuleError { Ok, EmptyPattern, PatternTooLong, BadRegex, BadProfile, TooManyRules };
// One line of English (the command line's and the log's wording).
std::string_view RuleErrorText(RuleError error);

RuleError ValidateRule(const AutoRule& rule);

// Whether one rule matches the window. A title rule whose expression does not compile never
// matches.
bool RuleMatches(const AutoRule& rule, const FocusedWindow& window);

// The rule kind's name in the stored form and on the command line: "app", "exe", "title".
std::string_view RuleKindName(RuleKind kind);
std::optional<RuleKind> ParseRuleKind(std::string_view name);

struct AutoRuleSet {
  bool enabled = true;
  std::optional<int> fallback;  // unset: stay on the profile the keyboard runs
  std::vector<AutoRule> rules;

  bool operator==(const AutoRuleSet&) const = default;

  // The profile the rules name for the window: the first rule that matches, else the
  // fallback; unset when nothing should change.
  std::optional<int> Resolve(const FocusedWindow& window) const;
  // Index of the first rule that matches, or -1.
  int FirstMatch(const FocusedWindow& window) const;

  // Edits that keep the set valid; false (nothing changed) when refused.
  RuleError Add(AutoRule rule);
  bool Remove(std::size_t index);
  bool MoveUp(std::size_t index);
  bool MoveDown(std::size_t index);
};

// The settings group the rules are kept in, and the keys inside it. "Enabled" is 0 or 1,
// "Fallback" is "stay" or 0..2, "Count" the number of rules, and "Rule1".."RuleN" hold
// "KIND,PROFILE,PATTERN" (the pattern is everything after the second comma, unchanged).
inline constexpr const char* kAutoSwitchGroup = "AUTO_PROFILES";

// The stored form as key/value pairs (keys without the group).
std::map<std::string, std::string> RulesToSettings(const AutoRuleSet& set);
// Reads the stored form back through `value` (a key without the group to its value, unset
// when absent). Entries that do not parse or validate are skipped, each named in `skipped`
// ("Rule3: the title pattern is ..."); so is anything past kMaxRules. Missing keys give
// the defaults (on, stay, no rules).
AutoRuleSet RulesFromSettings(const std::function<std::optional<std::string>(std::string_view key)>& value,
                              std::vector<std::string>* skipped = nullptr);

// One rule as a line of text for listings: "app steam_app_570 -> 2".
std::string DescribeRule(const AutoRule& rule);

}  // namespace vantrel::profiles
