#include "ui/dbus/testing_adaptor.h"

#include <QDBusConnection>

#include "core/device/commands.h"
#include "core/profiles/edit_session.h"
#include "ui/dbus/bus_service.h"
#include "ui/windows/app_core.h"

namespace vantrel::ui {

namespace {

void SendError(const QDBusMessage& message, const char* name, const QString& text) {
  QDBusConnection::sessionBus().send(
      message.createErrorReply(QString::fromLatin1(kErrorPrefix) + QString::fromLatin1(name), text));
}

}  // namespace

TestingAdaptor::TestingAdaptor(QObject* object, AppCore& core) : QDBusAbstractAdaptor(object), core_(core) {}

void TestingAdaptor::MarkEdited(int profile, const QDBusMessage& message) {
  auto* session = core_.Session();
  if (!session || core_.Stopping()) return SendError(message, "Busy", QStringLiteral("the program is closing"));
  if (profile < 0 || profile >= static_cast<int>(device::kProfileCount)) {
    return SendError(message, "InvalidArgument", QStringLiteral("profile: %1 is outside 0..2").arg(profile));
  }
  session->MarkEdited(profile);
}

void TestingAdaptor::Apply(const QDBusMessage& message) {
  auto* session = core_.Session();
  if (!session || core_.Stopping()) return SendError(message, "Busy", QStringLiteral("the program is closing"));
  message.setDelayedReply(true);
  core_.Worker().Run([session] { return session->Apply(); }, this, [call = message](profiles::ApplyResult result) {
    if (result == profiles::ApplyResult::Applied || result == profiles::ApplyResult::NothingToApply) {
      QDBusConnection::sessionBus().send(call.createReply());
    } else {
      SendError(call, "Device", QStringLiteral("Apply: the edits were not written"));
    }
  });
}

}  // namespace vantrel::ui
