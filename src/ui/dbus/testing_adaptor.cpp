#include "ui/dbus/testing_adaptor.h"

#include <QDBusConnection>

#include "core/device/commands.h"
#include "core/profiles/edit_session.h"
#include "core/keys/assignment.h"
#include "scripting/key_names.h"
#include "scripting/script_outcome.h"
#include "ui/dbus/bus_service.h"
#include "ui/app/app_core.h"

namespace vantrel::ui {

namespace {

void Refuse(const QDBusMessage& message, const scripting::ScriptOutcome& outcome) {
  QDBusConnection::sessionBus().send(message.createErrorReply(
      QString::fromLatin1(kErrorPrefix) + QString::fromLatin1(scripting::ErrorName(outcome.error)),
      QString::fromStdString(outcome.message)));
}

}  // namespace

TestingAdaptor::TestingAdaptor(QObject* object, AppCore& core) : QDBusAbstractAdaptor(object), core_(core) {}

void TestingAdaptor::MarkEdited(int profile, const QDBusMessage& message) {
  auto* session = core_.Session();
  if (!session || core_.Stopping()) return Refuse(message, scripting::Closing());
  if (profile < 0 || profile >= static_cast<int>(device::kProfileCount)) {
    return Refuse(message, scripting::OutOfRange("profile", profile, 0, 2));
  }
  session->MarkEdited(profile);
}

void TestingAdaptor::DisableKey(int profile, const QString& key, const QDBusMessage& message) {
  auto* session = core_.Session();
  if (!session || core_.Stopping()) return Refuse(message, scripting::Closing());
  if (profile < 0 || profile >= static_cast<int>(device::kProfileCount)) {
    return Refuse(message, scripting::OutOfRange("profile", profile, 0, 2));
  }
  const auto index = scripting::ParseKeyIndex(key.toStdString(), core_.Texts());
  if (!index) return Refuse(message, scripting::InvalidArgument("key", "names no key"));
  {
    keys::EditingStore::Lock lock(core_.Editing());
    keys::KeyAssignment record;
    record.kind = keys::kKindDisabled;
    lock->table.SetRecord(static_cast<std::size_t>(profile), *index, record);
  }
  session->MarkEdited(profile);
  session->ShowKeys();
}

void TestingAdaptor::Apply(const QDBusMessage& message) {
  auto* session = core_.Session();
  if (!session || core_.Stopping()) return Refuse(message, scripting::Closing());
  message.setDelayedReply(true);
  core_.Worker().Run(
      [session] {
        auto& commands = session->Service().Commands();
        const auto before = commands.LastFailure().count;
        const auto result = session->Apply();
        if (result == profiles::ApplyResult::Applied || result == profiles::ApplyResult::NothingToApply) {
          return scripting::ScriptOutcome{};
        }
        return scripting::DeviceOutcome("Apply", before, commands.LastFailure(), session->LastReadBack());
      },
      this,
      [call = message](const scripting::ScriptOutcome& outcome) {
        if (!outcome.Ok()) return Refuse(call, outcome);
        QDBusConnection::sessionBus().send(call.createReply());
      });
}

}  // namespace vantrel::ui
