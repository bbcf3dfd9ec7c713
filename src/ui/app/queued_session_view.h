// Carries the editing session's notifications to the UI thread. The session calls its
// view from the device worker or the UI thread, the key picture's notification with the
// editing store's lock held; this adapter takes what is needed there (the key looks) and
// hands every notification on queued, never waiting.
#pragma once

#include <QObject>

#include <functional>

#include "core/profiles/profile_service.h"
#include "ui/app/key_picture.h"

namespace vantrel::ui {

// The session's notifications as the UI thread receives them.
class SessionNotifications {
 public:
  virtual ~SessionNotifications() = default;
  virtual void SessionChanged() = 0;
  virtual void KeyLooksRead(const KeyLooks& looks) = 0;
  virtual void ProfileSwitched(int profile) = 0;
  virtual void ConfigurationRead(int profile) = 0;
  virtual void ArrivalWithEdits() = 0;
  virtual void ProfileMenuChanged() = 0;
};

class QueuedSessionView final : public profiles::ProfileView {
 public:
  // Reads the looks of `profile` from the image while the store's lock is held.
  using LookReader = std::function<KeyLooks(const keys::StoreImage& image, int profile)>;
  // `context` lives on the UI thread; a notification still queued when it is gone is
  // dropped.
  QueuedSessionView(QObject& context, SessionNotifications& target, LookReader reader)
      : context_(context), target_(target), reader_(std::move(reader)) {}

  void SessionChanged() override;
  void ShowKeyButtons(const keys::StoreImage& image, int profile) override;
  void ProfileSwitched(int profile) override;
  void RebuildProfileMenu() override;
  void ArrivalWithEdits() override;
  void ConfigurationRead(int profile) override;

 private:
  void Later(std::function<void(SessionNotifications&)> call);

  QObject& context_;
  SessionNotifications& target_;
  LookReader reader_;
};

}  // namespace vantrel::ui
