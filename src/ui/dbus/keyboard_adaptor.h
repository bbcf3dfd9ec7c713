// Interface org.vantrel.Vantrel1.Keyboard: the keyboard's state as properties (with
// PropertiesChanged on every change) and the operations scripts may ask for. A method
// checks its arguments here, on the UI thread, then hands the work to the device worker
// and answers once the result is back (setDelayedReply): a failure is the call's error,
// never a success followed by something else. Nothing here waits for the worker.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/lighting/lighting.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/profile_service.h"
#include "scripting/script_outcome.h"
#include "ui/dbus/bus_service.h"

namespace vantrel::ui {

class AppCore;

// One history entry as History() gives it: (time in seconds since the epoch, source, summary).
struct HistoryRow {
  qint64 time = 0;
  QString source;
  QString summary;
};
QDBusArgument& operator<<(QDBusArgument& argument, const HistoryRow& row);
const QDBusArgument& operator>>(const QDBusArgument& argument, HistoryRow& row);

// What a job on the worker hands back: its outcome and, on success, the method's result.
struct BusJobResult {
  scripting::ScriptOutcome outcome;
  std::string text;                          // ExportJson
  std::vector<std::string> lines;            // Verify
  std::optional<lighting::LightingState> lighting;  // GetLighting
  uint macroId = 0;                                  // AddTextMacro
};

class KeyboardAdaptor final : public QDBusAbstractAdaptor, public profiles::ProfileView {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.vantrel.Vantrel1.Keyboard")
  Q_PROPERTY(bool Present READ Present)
  Q_PROPERTY(int ActiveProfile READ ActiveProfile)
  Q_PROPERTY(uint ReportRate READ ReportRate)
  Q_PROPERTY(QList<uint> Effects READ Effects)
  Q_PROPERTY(uint MacroCapacity READ MacroCapacity)
  Q_PROPERTY(bool Unsaved READ Unsaved)
  Q_PROPERTY(QString SimulatedStateFile READ SimulatedStateFile)

 public:
  KeyboardAdaptor(QObject* object, AppCore& core, BusHooks hooks);
  ~KeyboardAdaptor() override;

  bool Present() const { return facts_.present; }
  int ActiveProfile() const { return facts_.activeProfile; }
  uint ReportRate() const { return facts_.reportRateHz; }
  QList<uint> Effects() const { return facts_.effects; }
  uint MacroCapacity() const { return facts_.macroCapacity; }
  bool Unsaved() const { return facts_.unsaved; }
  // The canonical path of the virtual keyboard's state file; empty on real hardware. A
  // vantrelctl run goes through the program only when it would drive the same keyboard.
  QString SimulatedStateFile() const { return simStateFile_; }

  // Session views (called on the worker or the UI thread): the facts are read again.
  void SessionChanged() override;
  void ProfileSwitched(int profile) override;
  void ConfigurationRead(int profile) override;

 public slots:
  void SetActiveProfile(int profile, const QDBusMessage& message);
  void NextProfile(const QDBusMessage& message);
  void PreviousProfile(const QDBusMessage& message);
  QVariantMap GetLighting(int profile, const QDBusMessage& message);
  void SetLighting(int profile, const QVariantMap& changes, const QDBusMessage& message);
  void PaintKeys(int profile, const QStringList& keys, const QString& colour, const QDBusMessage& message);
  QString ExportJson(const QDBusMessage& message);
  void ImportJson(const QString& document, const QDBusMessage& message);
  void Backup(const QString& path, const QDBusMessage& message);
  void Restore(const QString& path, const QDBusMessage& message);
  QStringList Verify(const QDBusMessage& message);
  // Busy when writing keys or macros now would pass over the window's work (unapplied
  // edits, a key page open, the profile manager's changes); otherwise an empty answer.
  // vantrelctl asks it before it writes keys or macros to the keyboard itself.
  void CheckIdle(const QDBusMessage& message);
  // A new macro that types the text on the layout (empty: the desktop's), written to the
  // keyboard with the macros and key tables; answers the macro's id.
  uint AddTextMacro(const QString& name, const QString& text, const QString& layout, const QDBusMessage& message);
  // The configurations the keyboard held before each write, newest first.
  QList<HistoryRow> History(const QDBusMessage& message);
  // Writes all of history entry `number` (1 the newest) to the keyboard; Busy as Restore.
  void RestoreHistory(uint number, const QDBusMessage& message);

 private:
  struct Facts {
    bool present = false;
    int activeProfile = -1;
    uint reportRateHz = 0;
    QList<uint> effects;
    uint macroCapacity = 0;
    bool unsaved = false;
  };

  // A refusal that needs no device work: the program closing, no keyboard, a page open or
  // unapplied edits (when `mustBeIdle`).
  scripting::ScriptOutcome Precheck(bool mustBeIdle) const;
  // Answers the call now with an error.
  void Refuse(const QDBusMessage& message, const scripting::ScriptOutcome& outcome);
  // Refuses the call at once when Precheck finds a reason; otherwise runs `job` on the
  // device worker and answers the call with `reply(result)` (its out arguments) or the
  // job's error. With `mustBeIdle` the worker checks again before the job: edits may have
  // come while the call waited, and nothing of them is discarded.
  void Answer(const QDBusMessage& message, bool mustBeIdle, std::function<BusJobResult()> job,
              std::function<QVariantList(const BusJobResult&)> reply = {});
  // A switch to the profile `target` picks on the worker, refused while anything would be
  // discarded; `operation` names it in the error.
  void SwitchTo(const QDBusMessage& message, const char* operation, std::function<int(profiles::EditSession&)> target);
  void SwitchBy(int step, const QDBusMessage& message);
  void AfterLightingWrite();

  // Reads the facts again and sends PropertiesChanged with those that changed.
  void RefreshFacts();
  void QueueRefresh();

  AppCore& core_;
  BusHooks hooks_;
  Facts facts_;
  // From the device worker's idle call: what only the worker may read.
  QList<uint> workerEffects_;
  uint workerReportRateHz_ = 0;
  int idleObserver_ = 0;
  QString simStateFile_;
  QTimer poll_;  // the presence facts (atomics) change without a session notification
  bool viewAdded_ = false;
};

}  // namespace vantrel::ui

Q_DECLARE_METATYPE(vantrel::ui::HistoryRow)
