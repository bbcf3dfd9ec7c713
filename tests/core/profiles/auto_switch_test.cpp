// The rules of automatic profile switching, their stored form, and the switcher's timing
// and pauses under a stepped clock.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/profiles/auto_switch_rules.h"
#include "core/profiles/auto_switcher.h"

namespace vantrel::profiles {
namespace {

using namespace std::chrono_literals;

FocusedWindow Window(std::string appId, std::string appClass = {}, std::string exe = {}, std::string title = {}) {
  FocusedWindow w;
  w.appId = std::move(appId);
  w.appClass = std::move(appClass);
  w.executable = std::move(exe);
  w.title = std::move(title);
  return w;
}

TEST(AutoRules, EachKindMatchesItsFieldIgnoringCase) {
  const FocusedWindow game = Window("steam_app_570", "Dota2", "/home/u/.steam/dota2/bin/dota2", "Dota 2 - Match");
  EXPECT_TRUE(RuleMatches({RuleKind::App, "STEAM_APP_570", 1}, game));   // instance
  EXPECT_TRUE(RuleMatches({RuleKind::App, "dota2", 1}, game));           // class
  EXPECT_FALSE(RuleMatches({RuleKind::App, "dota", 1}, game));           // whole id only
  EXPECT_TRUE(RuleMatches({RuleKind::Executable, "/HOME/u/.steam/dota2/bin/DOTA2", 1}, game));
  EXPECT_FALSE(RuleMatches({RuleKind::Executable, "/usr/bin/dota2", 1}, game));
  // Without a folder the program file's name is enough.
  EXPECT_TRUE(RuleMatches({RuleKind::Executable, "Dota2", 1}, game));
  EXPECT_TRUE(RuleMatches({RuleKind::Title, "^dota 2 - ", 1}, game));
  EXPECT_TRUE(RuleMatches({RuleKind::Title, "MATCH", 1}, game));  // searched anywhere
  EXPECT_FALSE(RuleMatches({RuleKind::Title, "^Match", 1}, game));
}

TEST(AutoRules, UnknownFieldsNeverMatchAndBadExpressionsAreRefused) {
  const FocusedWindow bare;  // nothing known about the window
  EXPECT_FALSE(RuleMatches({RuleKind::App, "x", 0}, bare));
  EXPECT_FALSE(RuleMatches({RuleKind::Executable, "x", 0}, bare));
  EXPECT_FALSE(RuleMatches({RuleKind::Title, "x", 0}, bare));
  EXPECT_TRUE(RuleMatches({RuleKind::Title, ".*", 0}, bare));  // an empty title is still a title

  EXPECT_EQ(ValidateRule({RuleKind::Title, "([a-z", 0}), RuleError::BadRegex);
  EXPECT_FALSE(RuleMatches({RuleKind::Title, "([a-z", 0}, Window("", "", "", "([a-z")));
  EXPECT_EQ(ValidateRule({RuleKind::App, "", 0}), RuleError::EmptyPattern);
  EXPECT_EQ(ValidateRule({RuleKind::App, std::string(kMaxPatternBytes + 1, 'a'), 0}), RuleError::PatternTooLong);
  EXPECT_EQ(ValidateRule({RuleKind::App, "a", 3}), RuleError::BadProfile);
  EXPECT_EQ(ValidateRule({RuleKind::App, "a", -1}), RuleError::BadProfile);
  EXPECT_EQ(ValidateRule({RuleKind::Title, "a|b", 2}), RuleError::Ok);
}

// A pattern that makes a back-tracking engine take exponential time on a title it does not
// match: with the old engine the 53-character title held the caller for over a minute (ctest
// stops this test after 60 s, see tests/CMakeLists.txt). Every title here is answered.
TEST(AutoRulesHostileTitle, NestedRepetitionIsAnsweredForAnyTitle) {
  const AutoRule rule{RuleKind::Title, R"(^(\w+\s?)+$)", 1};
  ASSERT_EQ(ValidateRule(rule), RuleError::Ok);
  const std::string hostile = "Settings for the gaming keyboard and mouse 2024-2025!";
  ASSERT_EQ(hostile.size(), 53u);
  EXPECT_FALSE(RuleMatches(rule, Window("", "", "", hostile)));
  // The same shape at the longest title a rule looks at.
  std::string longest;
  while (longest.size() + 6 < kMaxTitleBytes) longest += "word ";
  EXPECT_FALSE(RuleMatches(rule, Window("", "", "", longest + "!")));
  EXPECT_TRUE(RuleMatches(rule, Window("", "", "", "Settings for the gaming keyboard")));
  EXPECT_TRUE(RuleMatches(rule, Window("", "", "", longest + "end")));
  AutoRuleSet set;
  ASSERT_EQ(set.Add(rule), RuleError::Ok);
  EXPECT_EQ(set.Resolve(Window("", "", "", hostile)), std::nullopt);
}

TEST(AutoRules, PatternsTheLinearEngineCannotRunAreRefused) {
  for (const char* pattern : {R"((a)\1)", "(?=x)x", "(?!x)y", "(?<=a)b", "a{1001}"}) {
    EXPECT_EQ(ValidateRule({RuleKind::Title, pattern, 0}), RuleError::BadRegex) << pattern;
  }
  // The usual rule syntax keeps working, case ignored beyond ASCII too.
  const FocusedWindow w = Window("", "", "", "\xC3\x89" "diteur \xE2\x80\x94 Projet 12");
  for (const char* pattern : {R"(^\S+ \W \w+ \d+$)", "projet [0-9]{2}", "\xC3\xA9" "diteur", "(Foo|projet)", R"(\bProjet\b)"}) {
    ASSERT_EQ(ValidateRule({RuleKind::Title, pattern, 0}), RuleError::Ok) << pattern;
    EXPECT_TRUE(RuleMatches({RuleKind::Title, pattern, 0}, w)) << pattern;
  }
}

TEST(AutoRules, TitleRulesLookOnlyAtTheStartOfVeryLongTitles) {
  const std::string title = std::string(kMaxTitleBytes, 'x') + "tail";
  EXPECT_FALSE(RuleMatches({RuleKind::Title, "tail", 0}, Window("", "", "", title)));
  EXPECT_TRUE(RuleMatches({RuleKind::Title, "^x+$", 0}, Window("", "", "", title)));
}

TEST(AutoRules, FirstMatchWinsThenFallbackOrStay) {
  AutoRuleSet set;
  ASSERT_EQ(set.Add({RuleKind::Title, "editor", 2}), RuleError::Ok);
  ASSERT_EQ(set.Add({RuleKind::App, "code", 1}), RuleError::Ok);
  EXPECT_EQ(set.Resolve(Window("code", "", "", "my editor")), 2);
  EXPECT_EQ(set.Resolve(Window("code", "", "", "terminal")), 1);
  EXPECT_EQ(set.Resolve(Window("other")), std::nullopt);  // stay
  set.fallback = 0;
  EXPECT_EQ(set.Resolve(Window("other")), 0);
  ASSERT_TRUE(set.MoveDown(0));
  EXPECT_EQ(set.Resolve(Window("code", "", "", "my editor")), 1);
  EXPECT_FALSE(set.MoveDown(1));
  EXPECT_FALSE(set.MoveUp(0));
  ASSERT_TRUE(set.MoveUp(1));
  EXPECT_EQ(set.FirstMatch(Window("code", "", "", "my editor")), 0);
  EXPECT_FALSE(set.Remove(2));
  ASSERT_TRUE(set.Remove(0));
  EXPECT_EQ(set.rules.size(), 1u);
  EXPECT_EQ(set.rules[0].pattern, "code");
}

TEST(AutoRules, RefusedEditsChangeNothing) {
  AutoRuleSet set;
  for (std::size_t i = 0; i < kMaxRules; ++i) ASSERT_EQ(set.Add({RuleKind::App, std::string("a").append(std::to_string(i)), 0}), RuleError::Ok);
  EXPECT_EQ(set.Add({RuleKind::App, "more", 0}), RuleError::TooManyRules);
  EXPECT_EQ(set.rules.size(), kMaxRules);
  AutoRuleSet small;
  EXPECT_EQ(small.Add({RuleKind::Title, "(", 0}), RuleError::BadRegex);
  EXPECT_TRUE(small.rules.empty());
}

std::optional<std::string> Lookup(const std::map<std::string, std::string>& values, std::string_view key) {
  auto it = values.find(std::string(key));
  if (it == values.end()) return std::nullopt;
  return it->second;
}

TEST(AutoRulesSettings, RoundTripKeepsOrderPatternsWithCommasAndTheSwitches) {
  AutoRuleSet set;
  set.enabled = false;
  set.fallback = 2;
  ASSERT_EQ(set.Add({RuleKind::Title, "a,b , c{1,3}", 1}), RuleError::Ok);
  ASSERT_EQ(set.Add({RuleKind::Executable, "/opt/Game Dir/run", 0}), RuleError::Ok);
  ASSERT_EQ(set.Add({RuleKind::App, "steam_app_1", 2}), RuleError::Ok);
  const auto stored = RulesToSettings(set);
  EXPECT_EQ(stored.at("Rule1"), "title,1,a,b , c{1,3}");
  const AutoRuleSet back = RulesFromSettings([&](std::string_view k) { return Lookup(stored, k); });
  EXPECT_EQ(back, set);
}

TEST(AutoRulesSettings, DefaultsWhenAbsentAndDamagedEntriesAreSkipped) {
  const AutoRuleSet empty = RulesFromSettings([](std::string_view) { return std::nullopt; });
  EXPECT_TRUE(empty.enabled);
  EXPECT_EQ(empty.fallback, std::nullopt);
  EXPECT_TRUE(empty.rules.empty());

  const std::map<std::string, std::string> damaged = {
      {"Enabled", "1"},           {"Fallback", "7"},          {"Count", "8"},
      {"Rule1", "app,1,good"},    {"Rule2", "window,1,x"},    {"Rule3", "app,5,x"},
      {"Rule4", "app,1"},         {"Rule5", "title,0,(("},    {"Rule6", "app,,x"},
      {"Rule7", "exe,2,"},        {"Rule8", "exe,2,/bin/ok"}, {"Rule9", "app,0,beyond the count"},
  };
  std::vector<std::string> skipped;
  const AutoRuleSet read = RulesFromSettings([&](std::string_view k) { return Lookup(damaged, k); }, &skipped);
  EXPECT_EQ(read.fallback, std::nullopt);  // out of range reads as "stay"
  ASSERT_EQ(read.rules.size(), 2u);
  EXPECT_EQ(read.rules[0], (AutoRule{RuleKind::App, "good", 1}));
  EXPECT_EQ(read.rules[1], (AutoRule{RuleKind::Executable, "/bin/ok", 2}));
  // Every entry left out is named with its reason, so a reader can tell the user.
  const std::vector<std::string> expected = {
      "Rule2: the kind is not app, exe or title", "Rule3: the profile must be 0, 1 or 2",
      "Rule4: not KIND,PROFILE,PATTERN",           std::string("Rule5: ") + std::string(RuleErrorText(RuleError::BadRegex)),
      "Rule6: the profile must be 0, 1 or 2",      "Rule7: the pattern is empty",
  };
  EXPECT_EQ(skipped, expected);
}

TEST(AutoRulesSettings, AHugeCountReadsNoMoreThanTheLimit) {
  std::size_t asked = 0;
  (void)RulesFromSettings([&](std::string_view k) -> std::optional<std::string> {
    if (k == "Count") return "4000000000";
    if (k.rfind("Rule", 0) == 0) ++asked;
    return "app,0,x";
  });
  EXPECT_EQ(asked, kMaxRules);
}

// ---- the switcher -------------------------------------------------------------------

class SteppedClock final : public MonotonicClock {
 public:
  AutoClock::time_point Now() const override { return now; }
  void Step(std::chrono::milliseconds d) { now += d; }
  AutoClock::time_point now{std::chrono::seconds(1000)};
};

class AutoSwitcherTest : public ::testing::Test {
 protected:
  AutoSwitcherTest()
      : switcher(clock, [this] { return conditions; },
                 [this](int p) {
                   switches.push_back(p);
                   conditions.activeProfile = p;  // the keyboard follows
                 }) {
    AutoRuleSet rules;
    (void)rules.Add({RuleKind::App, "game", 2});
    (void)rules.Add({RuleKind::App, "editor", 1});
    rules.fallback = 0;
    switcher.SetRules(rules);
    conditions.activeProfile = 0;
  }

  // Lets time pass in small steps, checking whenever the switcher asked to be woken.
  void Pass(std::chrono::milliseconds total) {
    for (auto t = 0ms; t < total; t += 10ms) {
      clock.Step(10ms);
      if (auto due = switcher.NextCheck(); due && *due <= clock.now) switcher.Check();
    }
  }
  void Focus(const std::string& app) {
    switcher.WindowFocused(Window(app));
    switcher.Check();
  }

  SteppedClock clock;
  SwitchConditions conditions;
  std::vector<int> switches;
  AutoSwitcher switcher;
};

TEST_F(AutoSwitcherTest, SwitchesAfterSteadyFocusOnlyWhenTheProfileDiffers) {
  Focus("game");
  Pass(290ms);
  EXPECT_TRUE(switches.empty());
  Pass(20ms);
  EXPECT_EQ(switches, std::vector<int>{2});
  // Same profile again: no write.
  Focus("game-launcher");  // fallback 0 ...
  Pass(2000ms);
  Focus("editor");
  Pass(2000ms);
  Focus("editor2");
  Pass(2000ms);
  EXPECT_EQ(switches, (std::vector<int>{2, 0, 1, 0}));
  conditions.activeProfile = 2;
  Focus("game");
  Pass(2000ms);
  EXPECT_EQ(switches, (std::vector<int>{2, 0, 1, 0})) << "the keyboard already runs profile 2";
}

TEST_F(AutoSwitcherTest, WindowsPassedOverOnTheWayCauseNoWrite) {
  for (const char* app : {"editor", "game", "editor", "game"}) {
    Focus(app);
    Pass(100ms);
  }
  Focus("other");  // fallback 0, the profile already active
  Pass(1000ms);
  EXPECT_TRUE(switches.empty());
  // The same window reported again does not restart the wait.
  Focus("game");
  Pass(200ms);
  Focus("game");
  Pass(110ms);
  EXPECT_EQ(switches, std::vector<int>{2});
}

TEST_F(AutoSwitcherTest, AtMostOneWriteASecondTheLaterSwitchWaits) {
  Focus("game");
  Pass(300ms);
  ASSERT_EQ(switches, std::vector<int>{2});
  const auto firstWrite = clock.now;
  Focus("editor");
  Pass(400ms);  // steady, but within the second
  EXPECT_EQ(switches, std::vector<int>{2});
  ASSERT_TRUE(switcher.NextCheck());
  EXPECT_EQ(*switcher.NextCheck(), firstWrite + kMinWriteInterval);
  Pass(700ms);
  EXPECT_EQ(switches, (std::vector<int>{2, 1}));
}

// A switch the keyboard refused used to be dropped without a word: the window stayed on
// the wrong profile until the focus moved. It is now said (Failing) and tried again at
// the write limit's pace, a few times only.
TEST_F(AutoSwitcherTest, ARefusedSwitchIsToldAndTriedAgainAFewTimes) {
  int refusals = 1000;
  AutoSwitcher refusing(clock, [this] { return conditions; }, [&](int p) {
    switches.push_back(p);
    if (refusals > 0) {
      --refusals;
      refusing.SwitchFailed(p);
    } else {
      conditions.activeProfile = p;
    }
  });
  AutoRuleSet rules;
  (void)rules.Add({RuleKind::App, "game", 2});
  (void)rules.Add({RuleKind::App, "editor", 1});
  refusing.SetRules(rules);
  const auto pass = [&](std::chrono::milliseconds total) {
    for (auto t = 0ms; t < total; t += 10ms) {
      clock.Step(10ms);
      if (auto due = refusing.NextCheck(); due && *due <= clock.now) refusing.Check();
    }
  };
  refusing.WindowFocused(Window("game"));
  pass(310ms);
  EXPECT_EQ(switches, std::vector<int>{2});
  EXPECT_TRUE(refusing.Failing());
  pass(900ms);
  EXPECT_EQ(switches, std::vector<int>{2}) << "at most one write a second";
  pass(5000ms);
  EXPECT_EQ(switches, std::vector<int>(kSwitchAttempts, 2)) << "then it waits for the focus to move";
  EXPECT_TRUE(refusing.Failing());
  // A switch by hand to the refused profile ends the failure.
  conditions.activeProfile = 2;
  refusing.Check();
  EXPECT_FALSE(refusing.Failing());

  // Refused once, taken at the next attempt: the failure ends with it.
  switches.clear();
  refusals = 1;
  refusing.WindowFocused(Window("editor"));
  pass(310ms);
  EXPECT_TRUE(refusing.Failing());
  pass(1100ms);
  EXPECT_EQ(switches, (std::vector<int>{1, 1}));
  EXPECT_EQ(conditions.activeProfile, 1);
  refusing.Check();  // as the owner does once the keyboard reports the switch
  EXPECT_FALSE(refusing.Failing());
}

TEST_F(AutoSwitcherTest, EveryPauseHoldsTheSwitchAndItsEndResumesWithoutAnEvent) {
  struct Case {
    const char* name;
    void (*set)(SwitchConditions&, bool);
    PauseReason reason;
  };
  const Case cases[] = {
      {"unsaved", [](SwitchConditions& c, bool on) { c.unsavedEdits = on; }, PauseReason::UnsavedEdits},
      {"key page", [](SwitchConditions& c, bool on) { c.keyPageOpen = on; }, PauseReason::KeyPageOpen},
      {"manager", [](SwitchConditions& c, bool on) { c.managerOpen = on; }, PauseReason::ManagerOpen},
      {"own window", [](SwitchConditions& c, bool on) { c.ownWindowFocused = on; }, PauseReason::OwnWindow},
  };
  int expected = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.set(conditions, true);
    const int target = expected == 2 ? 1 : 2;
    const std::size_t before = switches.size();
    Focus(target == 2 ? "game" : "editor");
    Pass(3000ms);
    EXPECT_EQ(switcher.Paused(), c.reason);
    EXPECT_EQ(switches.size(), before);
    EXPECT_FALSE(switcher.NextCheck()) << "nothing to wake up for while paused";
    c.set(conditions, false);
    switcher.Check();  // the owner checks when the conditions change
    EXPECT_EQ(switcher.Paused(), PauseReason::None);
    ASSERT_EQ(switches.size(), before + 1);
    EXPECT_EQ(switches.back(), target);
    expected = target;
  }
}

TEST_F(AutoSwitcherTest, AHandSwitchStaysUntilTheFocusMovesOrThePauseEnds) {
  Focus("game");
  Pass(400ms);
  ASSERT_EQ(switches, std::vector<int>{2});
  conditions.activeProfile = 1;  // the user picked profile 1 on the keyboard
  Pass(3000ms);
  EXPECT_EQ(switches, std::vector<int>{2});
  conditions.ownWindowFocused = true;
  switcher.Check();
  conditions.ownWindowFocused = false;
  switcher.Check();
  EXPECT_EQ(switches, (std::vector<int>{2, 2}));
}

TEST_F(AutoSwitcherTest, OffStopsSwitchingAndNewRulesApplyToTheFocusedWindow) {
  AutoRuleSet rules = switcher.Rules();
  rules.enabled = false;
  switcher.SetRules(rules);
  Focus("game");
  Pass(3000ms);
  EXPECT_TRUE(switches.empty());
  EXPECT_EQ(switcher.Paused(), PauseReason::Off);
  rules.enabled = true;
  switcher.SetRules(rules);
  EXPECT_EQ(switches, std::vector<int>{2});
  rules.rules[0].profile = 1;
  Pass(1000ms);
  switcher.SetRules(rules);
  EXPECT_EQ(switches, (std::vector<int>{2, 1}));
  // Stay: an unmatched window leaves the profile alone.
  rules.fallback.reset();
  switcher.SetRules(rules);
  Focus("unknown");
  Pass(3000ms);
  EXPECT_EQ(switches, (std::vector<int>{2, 1}));
}

}  // namespace
}  // namespace vantrel::profiles
