#include "core/profiles/auto_switch_rules.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include <re2/re2.h>

namespace vantrel::profiles {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Lower(x) == Lower(y);
         });
}

std::string_view BaseName(std::string_view path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool ValidProfile(int profile) { return profile >= 0 && profile <= 2; }

std::optional<int> ParseProfile(std::string_view text) {
  int value = -1;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !ValidProfile(value)) return std::nullopt;
  return value;
}

// The memory one compiled title expression may use (the compiled program and the cache of
// the automaton that runs it). RE2's time is linear in the title whatever the pattern, so a
// title from any program cannot hold the caller up; this bounds the space. A pattern whose
// program does not fit is refused when the rule is added or read.
constexpr std::int64_t kTitleExpressionMemory = std::int64_t{1} << 20;

// Compiles a title expression; null when the engine refuses it (a syntax error, a feature
// it does not offer such as back-references and look-around, or a program too large).
std::unique_ptr<re2::RE2> CompileTitle(const std::string& pattern) {
  re2::RE2::Options options;
  options.set_case_sensitive(false);
  options.set_never_capture(true);
  options.set_log_errors(false);
  options.set_max_mem(kTitleExpressionMemory);
  auto expression = std::make_unique<re2::RE2>(pattern, options);
  if (!expression->ok()) return nullptr;
  return expression;
}

}  // namespace

std::string_view RuleErrorText(RuleError error) {
  switch (error) {
    case RuleError::Ok: return "ok";
    case RuleError::EmptyPattern: return "the pattern is empty";
    case RuleError::PatternTooLong: return "the pattern is too long";
    case RuleError::BadRegex:
      return "the title pattern is not a valid regular expression (back-references and look-around are not "
             "supported)";
    case RuleError::BadProfile: return "the profile must be 0, 1 or 2";
    case RuleError::TooManyRules: return "there are too many rules";
  }
  return "unknown";
}

RuleError ValidateRule(const AutoRule& rule) {
  if (rule.pattern.empty()) return RuleError::EmptyPattern;
  if (rule.pattern.size() > kMaxPatternBytes) return RuleError::PatternTooLong;
  if (!ValidProfile(rule.profile)) return RuleError::BadProfile;
  if (rule.kind == RuleKind::Title && !CompileTitle(rule.pattern)) return RuleError::BadRegex;
  return RuleError::Ok;
}

bool RuleMatches(const AutoRule& rule, const FocusedWindow& window) {
  if (rule.pattern.empty()) return false;
  switch (rule.kind) {
    case RuleKind::App:
      return (!window.appId.empty() && EqualIgnoringCase(rule.pattern, window.appId)) ||
             (!window.appClass.empty() && EqualIgnoringCase(rule.pattern, window.appClass));
    case RuleKind::Executable:
      if (window.executable.empty()) return false;
      // A pattern without a folder names the program file wherever it lies.
      if (rule.pattern.find('/') == std::string::npos)
        return EqualIgnoringCase(rule.pattern, BaseName(window.executable));
      return EqualIgnoringCase(rule.pattern, window.executable);
    case RuleKind::Title: {
      const auto expression = CompileTitle(rule.pattern);
      if (!expression) return false;
      const std::string_view title =
          std::string_view(window.title).substr(0, std::min(window.title.size(), kMaxTitleBytes));
      return re2::RE2::PartialMatch(re2::StringPiece(title.data(), title.size()), *expression);
    }
  }
  return false;
}

std::string_view RuleKindName(RuleKind kind) {
  switch (kind) {
    case RuleKind::App: return "app";
    case RuleKind::Executable: return "exe";
    case RuleKind::Title: return "title";
  }
  return "app";
}

std::optional<RuleKind> ParseRuleKind(std::string_view name) {
  for (RuleKind kind : {RuleKind::App, RuleKind::Executable, RuleKind::Title})
    if (name == RuleKindName(kind)) return kind;
  return std::nullopt;
}

int AutoRuleSet::FirstMatch(const FocusedWindow& window) const {
  for (std::size_t i = 0; i < rules.size(); ++i)
    if (RuleMatches(rules[i], window)) return static_cast<int>(i);
  return -1;
}

std::optional<int> AutoRuleSet::Resolve(const FocusedWindow& window) const {
  const int match = FirstMatch(window);
  if (match >= 0) return rules[static_cast<std::size_t>(match)].profile;
  return fallback;
}

RuleError AutoRuleSet::Add(AutoRule rule) {
  if (rules.size() >= kMaxRules) return RuleError::TooManyRules;
  const RuleError error = ValidateRule(rule);
  if (error == RuleError::Ok) rules.push_back(std::move(rule));
  return error;
}

bool AutoRuleSet::Remove(std::size_t index) {
  if (index >= rules.size()) return false;
  rules.erase(rules.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

bool AutoRuleSet::MoveUp(std::size_t index) {
  if (index == 0 || index >= rules.size()) return false;
  std::swap(rules[index - 1], rules[index]);
  return true;
}

bool AutoRuleSet::MoveDown(std::size_t index) {
  if (index + 1 >= rules.size()) return false;
  std::swap(rules[index], rules[index + 1]);
  return true;
}

std::map<std::string, std::string> RulesToSettings(const AutoRuleSet& set) {
  std::map<std::string, std::string> out;
  // Built in place: GCC 12 at -O3 warns falsely (-Wrestrict) on assigning a literal here.
  out.emplace("Enabled", std::string(1, set.enabled ? '1' : '0'));
  out["Fallback"] = set.fallback ? std::to_string(*set.fallback) : "stay";
  out["Count"] = std::to_string(set.rules.size());
  for (std::size_t i = 0; i < set.rules.size(); ++i) {
    const AutoRule& rule = set.rules[i];
    out["Rule" + std::to_string(i + 1)] =
        std::string(RuleKindName(rule.kind)) + "," + std::to_string(rule.profile) + "," + rule.pattern;
  }
  return out;
}

AutoRuleSet RulesFromSettings(const std::function<std::optional<std::string>(std::string_view key)>& value,
                              std::vector<std::string>* skipped) {
  AutoRuleSet set;
  const auto skip = [&](std::size_t i, std::string_view why) {
    if (skipped) skipped->push_back("Rule" + std::to_string(i) + ": " + std::string(why));
  };
  if (auto enabled = value("Enabled")) set.enabled = *enabled != "0";
  if (auto fallback = value("Fallback")) set.fallback = ParseProfile(*fallback);
  std::size_t count = 0;
  if (auto text = value("Count")) {
    const auto* end = text->data() + text->size();
    if (std::from_chars(text->data(), end, count).ec != std::errc()) count = 0;
  }
  count = std::min(count, kMaxRules);
  for (std::size_t i = 1; i <= count; ++i) {
    const auto line = value("Rule" + std::to_string(i));
    if (!line) continue;
    const std::string_view text = *line;
    const auto first = text.find(',');
    const auto second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos) {
      skip(i, "not KIND,PROFILE,PATTERN");
      continue;
    }
    const auto kind = ParseRuleKind(text.substr(0, first));
    const auto profile = ParseProfile(text.substr(first + 1, second - first - 1));
    if (!kind || !profile) {
      skip(i, kind ? RuleErrorText(RuleError::BadProfile) : "the kind is not app, exe or title");
      continue;
    }
    if (const RuleError error = set.Add(AutoRule{*kind, std::string(text.substr(second + 1)), *profile});
        error != RuleError::Ok) {
      skip(i, RuleErrorText(error));
    }
  }
  return set;
}

std::string DescribeRule(const AutoRule& rule) {
  return std::string(RuleKindName(rule.kind)) + " " + rule.pattern + " -> " + std::to_string(rule.profile);
}

}  // namespace vantrel::profiles
