#include "ui/app/queued_session_view.h"

#include <QMetaObject>

namespace vantrel::ui {

void QueuedSessionView::Later(std::function<void(SessionNotifications&)> call) {
  QMetaObject::invokeMethod(
      &context_, [target = &target_, call = std::move(call)] { call(*target); }, Qt::QueuedConnection);
}

void QueuedSessionView::SessionChanged() {
  Later([](SessionNotifications& t) { t.SessionChanged(); });
}

void QueuedSessionView::ShowKeyButtons(const keys::StoreImage& image, int profile) {
  Later([looks = reader_(image, profile)](SessionNotifications& t) { t.KeyLooksRead(looks); });
}

void QueuedSessionView::ProfileSwitched(int profile) {
  Later([profile](SessionNotifications& t) { t.ProfileSwitched(profile); });
}

void QueuedSessionView::RebuildProfileMenu() {
  Later([](SessionNotifications& t) { t.ProfileMenuChanged(); });
}

void QueuedSessionView::ArrivalWithEdits() {
  Later([](SessionNotifications& t) { t.ArrivalWithEdits(); });
}

void QueuedSessionView::ConfigurationRead(int profile) {
  Later([profile](SessionNotifications& t) { t.ConfigurationRead(profile); });
}

}  // namespace vantrel::ui
