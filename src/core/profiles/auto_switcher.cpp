#include "core/profiles/auto_switcher.h"

#include <algorithm>

namespace vantrel::profiles {

AutoSwitcher::AutoSwitcher(const MonotonicClock& clock, std::function<SwitchConditions()> conditions,
                           std::function<void(int profile)> requestSwitch)
    : clock_(clock), conditions_(std::move(conditions)), requestSwitch_(std::move(requestSwitch)) {}

void AutoSwitcher::SetRules(AutoRuleSet rules) {
  rules_ = std::move(rules);
  // New rules are applied to the window that has the focus now, which has already been
  // steady for long enough unless it came just before.
  if (focused_) settled_ = false;
  attempts_ = 0;
  Check();
}

void AutoSwitcher::WindowFocused(const FocusedWindow& window) {
  if (focused_ && *focused_ == window) return;
  focused_ = window;
  focusedSince_ = clock_.Now();
  settled_ = false;
  attempts_ = 0;
}

void AutoSwitcher::SwitchFailed(int profile) {
  failedProfile_ = profile;
  // Tried again only while the focused window still asks for that profile (Check looks).
  if (attempts_ < kSwitchAttempts) settled_ = false;
}

PauseReason AutoSwitcher::PauseFor(const SwitchConditions& conditions) const {
  if (!rules_.enabled) return PauseReason::Off;
  if (conditions.ownWindowFocused) return PauseReason::OwnWindow;
  if (conditions.keyPageOpen) return PauseReason::KeyPageOpen;
  if (conditions.managerOpen) return PauseReason::ManagerOpen;
  if (conditions.unsavedEdits) return PauseReason::UnsavedEdits;
  return PauseReason::None;
}

std::optional<int> AutoSwitcher::Target() const {
  if (!focused_) return std::nullopt;
  return rules_.Resolve(*focused_);
}

void AutoSwitcher::Check() {
  const SwitchConditions conditions = conditions_();
  // A failure is over once the keyboard runs the profile that was refused, however it
  // came to (a later attempt, or by hand).
  if (failedProfile_ && *failedProfile_ == conditions.activeProfile) failedProfile_.reset();
  const PauseReason pause = PauseFor(conditions);
  if (pause != paused_) {
    // The end of a pause looks at the focused window afresh: what the user did by hand
    // during the pause is not what the window asked for.
    if (pause == PauseReason::None && focused_) settled_ = false;
    paused_ = pause;
  }
  if (paused_ != PauseReason::None || settled_ || !focused_) return;
  const auto now = clock_.Now();
  if (now - focusedSince_ < kSteadyFocus) return;
  const std::optional<int> target = rules_.Resolve(*focused_);
  if (!target || *target == conditions.activeProfile) {
    settled_ = true;
    failedProfile_.reset();
    return;
  }
  if (lastWrite_ && now - *lastWrite_ < kMinWriteInterval) return;
  lastWrite_ = now;
  settled_ = true;
  ++attempts_;
  requestSwitch_(*target);
}

std::optional<AutoClock::time_point> AutoSwitcher::NextCheck() const {
  if (settled_ || !focused_ || paused_ != PauseReason::None) return std::nullopt;
  auto due = focusedSince_ + kSteadyFocus;
  if (lastWrite_) due = std::max(due, *lastWrite_ + kMinWriteInterval);
  return due;
}

}  // namespace vantrel::profiles
