// Automatic profile switching: decides when the focused window should make the keyboard
// change its on-board profile.
//
// - The focus has to stay on one window for kSteadyFocus before the rules are looked at,
//   so a window passed over on the way (alt-tab) never causes a write.
// - A switch is asked for only when the rules name a profile other than the keyboard's
//   active one, and at most once per kMinWriteInterval; a switch due sooner waits.
// - Unapplied edits, an open key page or profile manager, or one of our own windows
//   having the focus pause switching: nothing is asked and nothing is written. When the
//   pause ends the window focused then is looked at again, with no further event needed.
// - Each focused window is acted on once: when the user changes the profile by hand
//   afterwards, it stays until the focus moves, the rules change or a pause ends.
//
// Single-threaded: the owner calls everything from one thread and calls Check() at
// NextCheck() (or sooner). The clock comes in from outside so tests step it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/profiles/auto_switch_rules.h"

namespace vantrel::profiles {

using AutoClock = std::chrono::steady_clock;

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual AutoClock::time_point Now() const = 0;
};

class SteadyClock final : public MonotonicClock {
 public:
  AutoClock::time_point Now() const override { return AutoClock::now(); }
};

inline constexpr std::chrono::milliseconds kSteadyFocus{300};
inline constexpr std::chrono::milliseconds kMinWriteInterval{1000};
// Attempts at one automatic switch before it waits for the next change of focus.
inline constexpr int kSwitchAttempts = 3;

// What the rest of the program says at the moment of a decision.
struct SwitchConditions {
  int activeProfile = -1;     // the keyboard's active profile, -1 unknown
  bool unsavedEdits = false;  // edits not applied yet (the main window or the manager)
  bool keyPageOpen = false;
  bool managerOpen = false;
  bool ownWindowFocused = false;  // one of this program's windows has the focus
};

// Why switching is not happening now; None while it is running normally.
enum class PauseReason { None, Off, UnsavedEdits, KeyPageOpen, ManagerOpen, OwnWindow };

class AutoSwitcher {
 public:
  // `conditions` is asked at each decision; `requestSwitch` is told the profile to switch
  // to (the owner carries the switch out; it must not ask the user anything).
  AutoSwitcher(const MonotonicClock& clock, std::function<SwitchConditions()> conditions,
               std::function<void(int profile)> requestSwitch);

  void SetRules(AutoRuleSet rules);
  const AutoRuleSet& Rules() const { return rules_; }

  // A focus source reported a window. The same window reported again (unchanged) does not
  // restart the wait.
  void WindowFocused(const FocusedWindow& window);
  // Makes the decision that is due, if any. Call it at NextCheck(), and whenever the
  // conditions may have changed (the end of a pause).
  void Check();
  // When Check() next has something to decide; unset when nothing waits.
  std::optional<AutoClock::time_point> NextCheck() const;

  // Why switching is paused as of the last Check(); None when it is not.
  PauseReason Paused() const { return paused_; }
  // The window focused last, if any.
  const std::optional<FocusedWindow>& Focused() const { return focused_; }
  // The profile the rules name for the focused window; unset: stay.
  std::optional<int> Target() const;

  // The owner's switch to `profile` failed (the keyboard refused it or was busy). The same
  // window tries again, at the pace of the write limit, up to kSwitchAttempts times in all.
  void SwitchFailed(int profile);
  // A switch failed and the keyboard does not run the profile it was asked for yet.
  bool Failing() const { return failedProfile_.has_value(); }

 private:
  PauseReason PauseFor(const SwitchConditions& conditions) const;

  const MonotonicClock& clock_;
  std::function<SwitchConditions()> conditions_;
  std::function<void(int)> requestSwitch_;
  AutoRuleSet rules_;
  std::optional<FocusedWindow> focused_;
  AutoClock::time_point focusedSince_{};
  std::optional<AutoClock::time_point> lastWrite_;
  // The focused window has been acted on (a switch asked for, or nothing to do).
  bool settled_ = true;
  PauseReason paused_ = PauseReason::None;
  std::optional<int> failedProfile_;
  int attempts_ = 0;  // switches asked for the focused window
};

}  // namespace vantrel::profiles
