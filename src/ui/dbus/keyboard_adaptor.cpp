#include "ui/dbus/keyboard_adaptor.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QMetaObject>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <utility>

#include "core/lighting/colour.h"
#include "core/lighting/effects.h"
#include "core/lighting/lighting_record.h"
#include "core/lighting/lighting_session.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"
#include "scripting/key_names.h"
#include "scripting/history_tasks.h"
#include "scripting/keyboard_tasks.h"
#include "scripting/lighting_request.h"
#include "scripting/profile_json.h"
#include "ui/app/app_core.h"

namespace vantrel::ui {

using scripting::ScriptOutcome;

namespace {

constexpr char kInterface[] = "org.vantrel.Vantrel1.Keyboard";
constexpr int kPollMs = 1000;

std::string Std(const QString& s) { return s.toStdString(); }

// A value of a D-Bus dictionary: numbers of any integer type, strings, truth values.
scripting::ScriptValue ScriptValueOf(const QVariant& v) {
  switch (v.metaType().id()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong: return v.toLongLong();
    case QMetaType::ULongLong: {
      const qulonglong n = v.toULongLong();
      return n > static_cast<qulonglong>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(n);
    }
    case QMetaType::QString: return v.toString().toStdString();
    default: return std::monostate{};
  }
}

QVariantMap LightingMap(const lighting::LightingState& s) {
  QVariantMap m;
  m.insert(QStringLiteral("effect"), static_cast<uint>(s.effect));
  m.insert(QStringLiteral("brightness"), static_cast<uint>(s.brightness));
  m.insert(QStringLiteral("speed"), static_cast<uint>(s.speedPosition));
  m.insert(QStringLiteral("direction"), QString::fromStdString(scripting::DirectionWord(s.effect, s.direction)));
  m.insert(QStringLiteral("colour"), QString::fromStdString(lighting::HexColour(s.colour)));
  m.insert(QStringLiteral("multicolour"), s.multicolour);
  m.insert(QStringLiteral("choice"), QString::fromStdString(scripting::ChoiceName(s.colourChoice)));
  m.insert(QStringLiteral("report_rate"), scripting::ReportRateHz(s.reportRate));
  return m;
}

QList<uint> EffectCodes(const lighting::EffectList& list) {
  QList<uint> codes;
  for (auto c : list) {
    if (c != 0) codes.push_back(c);
  }
  return codes;
}

bool ValidProfile(int profile) { return profile >= 0 && profile < static_cast<int>(device::kProfileCount); }

}  // namespace

KeyboardAdaptor::KeyboardAdaptor(QObject* object, AppCore& core, BusHooks hooks)
    : QDBusAbstractAdaptor(object), core_(core), hooks_(std::move(hooks)) {
  qDBusRegisterMetaType<QList<uint>>();
  qDBusRegisterMetaType<HistoryRow>();
  qDBusRegisterMetaType<QList<HistoryRow>>();
  simStateFile_ = QString::fromStdString(core_.SimStateFile().string());
  if (auto* session = core_.Session()) {
    session->AddView(*this);
    viewAdded_ = true;
  }
  // What only the worker may read is copied there, each time its queue empties, and
  // handed over queued (dropped once this object is gone).
  idleObserver_ = core_.AddIdleObserver([this, &core] {
    const auto& s = core.Lighting();
    const int active = core.Presence() ? core.Presence()->ActiveProfileCache().load() : -1;
    const int rate = ValidProfile(active) ? s.records[static_cast<std::size_t>(active)][lighting::kRecReportRate] : s.reportRate;
    QMetaObject::invokeMethod(
        this,
        [this, effects = EffectCodes(s.supportedEffects), hz = scripting::ReportRateHz(rate)] {
          workerEffects_ = effects;
          workerReportRateHz_ = hz;
          RefreshFacts();
        },
        Qt::QueuedConnection);
  });
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &KeyboardAdaptor::RefreshFacts);
  poll_.start();
  setAutoRelaySignals(false);
  RefreshFacts();
  // The lighting facts as they are now.
  core_.Worker().Post([] {});
}

KeyboardAdaptor::~KeyboardAdaptor() {
  core_.RemoveIdleObserver(idleObserver_);
  if (viewAdded_) {
    if (auto* session = core_.Session()) {
      session->RemoveView(*this);
      // A notification already under way on the worker ends before this object does.
      core_.Worker().WaitIdle();
    }
  }
}

// ---- facts ------------------------------------------------------------------------------

void KeyboardAdaptor::SessionChanged() { QueueRefresh(); }
void KeyboardAdaptor::ProfileSwitched(int) { QueueRefresh(); }
void KeyboardAdaptor::ConfigurationRead(int) { QueueRefresh(); }

void KeyboardAdaptor::QueueRefresh() {
  QMetaObject::invokeMethod(this, [this] { RefreshFacts(); }, Qt::QueuedConnection);
}

void KeyboardAdaptor::RefreshFacts() {
  Facts now;
  auto* presence = core_.Presence();
  now.present = core_.KeyboardPresent();
  if (presence) {
    const int active = presence->ActiveProfileCache().load();
    now.activeProfile = ValidProfile(active) ? active : -1;
    now.macroCapacity = presence->MacroCapacity();
  }
  if (auto* session = core_.Session(); session && !core_.Stopping()) now.unsaved = session->Unsaved();
  now.effects = now.present ? workerEffects_ : QList<uint>{};
  now.reportRateHz = now.present ? workerReportRateHz_ : 0;

  QVariantMap changed;
  if (now.present != facts_.present) changed.insert(QStringLiteral("Present"), now.present);
  if (now.activeProfile != facts_.activeProfile) changed.insert(QStringLiteral("ActiveProfile"), now.activeProfile);
  if (now.reportRateHz != facts_.reportRateHz) changed.insert(QStringLiteral("ReportRate"), now.reportRateHz);
  if (now.effects != facts_.effects) changed.insert(QStringLiteral("Effects"), QVariant::fromValue(now.effects));
  if (now.macroCapacity != facts_.macroCapacity) changed.insert(QStringLiteral("MacroCapacity"), now.macroCapacity);
  if (now.unsaved != facts_.unsaved) changed.insert(QStringLiteral("Unsaved"), now.unsaved);
  facts_ = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kBusPath),
                                                   QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kInterface) << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

// ---- calls ------------------------------------------------------------------------------

ScriptOutcome KeyboardAdaptor::Precheck(bool mustBeIdle) const {
  auto* session = core_.Session();
  if (!session || core_.Stopping()) return scripting::Closing();
  if (!core_.Worker().Gate().IsOpen()) return scripting::Sleeping();
  if (!core_.KeyboardPresent()) return scripting::NoKeyboard();
  if (mustBeIdle) return scripting::BusyOutcome(session->Facts());
  return {};
}

void KeyboardAdaptor::Refuse(const QDBusMessage& message, const ScriptOutcome& outcome) {
  QDBusConnection::sessionBus().send(message.createErrorReply(
      QString::fromLatin1(kErrorPrefix) + QString::fromLatin1(scripting::ErrorName(outcome.error)),
      QString::fromStdString(outcome.message)));
}

void KeyboardAdaptor::Answer(const QDBusMessage& message, bool mustBeIdle, std::function<BusJobResult()> job,
                             std::function<QVariantList(const BusJobResult&)> reply) {
  if (auto refusal = Precheck(mustBeIdle); !refusal.Ok()) return Refuse(message, refusal);
  if (mustBeIdle) {
    // Edits may have come while the call waited: the job never discards them.
    job = [session = core_.Session(), work = std::move(job)] {
      BusJobResult r;
      r.outcome = scripting::BusyOutcome(session->Facts());
      return r.outcome.Ok() ? work() : r;
    };
  }
  // The writes the job makes are the bus's in the history.
  job = [work = std::move(job)] {
    scripting::HistoryRecorder::SourceScope bus(profiles::HistorySource::Bus);
    return work();
  };
  message.setDelayedReply(true);
  // The answer goes out before the window's redrawing of the change, which the job queued
  // first; the properties are brought up to date just before it, so a caller that reads
  // them on the answer sees the change.
  core_.Worker().Run(
      std::move(job), this,
      [this, call = message, reply = std::move(reply)](BusJobResult result) {
        RefreshFacts();
        if (!result.outcome.Ok()) {
          Refuse(call, result.outcome);
          return;
        }
        QDBusConnection::sessionBus().send(call.createReply(reply ? reply(result) : QVariantList{}));
      },
      DeviceWorker::Delivery::First);
}

namespace {

// The lighting of `profile` read for a call into the call's own lighting session; false,
// with `operation`'s error in `r`, when the keyboard's state cannot be read.
bool LoadForCall(device::CommandSet& commands, lighting::LightingSession& session, int profile,
                 const char* operation, BusJobResult& r) {
  const auto before = commands.LastFailure().count;
  if (session.Load(commands, profile, lighting::LoadOccasion::Other, false).result == lighting::kLoadOk) return true;
  r.outcome = scripting::DeviceOutcome(operation, before, commands.LastFailure(), {});
  return false;
}

}  // namespace

void KeyboardAdaptor::SwitchTo(const QDBusMessage& message, const char* operation,
                               std::function<int(profiles::EditSession&)> target) {
  auto* session = core_.Session();
  auto* commands = &core_.Commands();
  Answer(message, true, [session, commands, operation, target = std::move(target)] {
    BusJobResult r;
    const auto before = commands->LastFailure().count;
    // The session's one switch for a request: its idle rule, then a write only when the
    // keyboard runs another profile.
    const auto asked = session->SwitchAsked(target(*session));
    using Result = profiles::EditSession::AskedSwitch::Result;
    if (asked.result == Result::Busy) r.outcome = scripting::BusyOutcome(asked.obstacle);
    if (asked.result == Result::Failed) {
      r.outcome = scripting::DeviceOutcome(operation, before, commands->LastFailure(), session->LastReadBack());
    }
    return r;
  });
}

void KeyboardAdaptor::SetActiveProfile(int profile, const QDBusMessage& message) {
  if (!ValidProfile(profile)) return Refuse(message, scripting::OutOfRange("profile", profile, 0, 2));
  SwitchTo(message, "SetActiveProfile", [profile](profiles::EditSession&) { return profile; });
}

void KeyboardAdaptor::SwitchBy(int step, const QDBusMessage& message) {
  SwitchTo(message, step > 0 ? "NextProfile" : "PreviousProfile", [step](profiles::EditSession& session) {
    int active = session.Service().ActiveProfile();
    if (!ValidProfile(active)) active = session.CurrentProfile();
    return scripting::StepProfile(active, step);
  });
}

void KeyboardAdaptor::NextProfile(const QDBusMessage& message) { SwitchBy(1, message); }

void KeyboardAdaptor::PreviousProfile(const QDBusMessage& message) { SwitchBy(-1, message); }

QVariantMap KeyboardAdaptor::GetLighting(int profile, const QDBusMessage& message) {
  if (!ValidProfile(profile)) {
    Refuse(message, scripting::OutOfRange("profile", profile, 0, 2));
    return {};
  }
  auto* commands = &core_.Commands();
  auto* editor = &core_.KeyColours();
  const auto wskb = core_.WskbIni();
  const text::TextSource* texts = &core_.Texts();
  Answer(
      message, false,
      [commands, editor, profile, wskb, texts] {
        BusJobResult r;
        // A call reads the profile it names, whichever one the panel shows.
        lighting::LightingSession call(*editor, wskb, texts);
        if (!LoadForCall(*commands, call, profile, "GetLighting", r)) return r;
        r.lighting = call.State();
        return r;
      },
      [](const BusJobResult& r) { return QVariantList{LightingMap(*r.lighting)}; });
  return {};
}

void KeyboardAdaptor::AfterLightingWrite() {
  if (hooks_.lightingWritten) hooks_.lightingWritten();
}

void KeyboardAdaptor::SetLighting(int profile, const QVariantMap& changes, const QDBusMessage& message) {
  if (!ValidProfile(profile)) return Refuse(message, scripting::OutOfRange("profile", profile, 0, 2));
  std::vector<scripting::NamedValue> entries;
  for (auto it = changes.begin(); it != changes.end(); ++it) entries.push_back({Std(it.key()), ScriptValueOf(it.value())});
  std::vector<scripting::LightingChange> list;
  if (auto refusal = scripting::ReadNamedChanges(entries, list); !refusal.Ok()) return Refuse(message, refusal);
  auto* commands = &core_.Commands();
  auto* editor = &core_.KeyColours();
  const auto wskb = core_.WskbIni();
  const text::TextSource* texts = &core_.Texts();
  auto* recorder = core_.Recorder();
  Answer(message, false, [this, commands, editor, profile, wskb, texts, recorder, list = std::move(list)]() mutable {
    BusJobResult r;
    lighting::LightingSession call(*editor, wskb, texts);
    call.SetRecorder(recorder);
    if (!LoadForCall(*commands, call, profile, "SetLighting", r)) return r;
    // Every change is checked against the effect in force before anything is sent.
    if (const auto refusal = scripting::CheckLightingChanges(call.State(), list, texts)) {
      r.outcome = scripting::InvalidArgument(scripting::FieldName(refusal->field), refusal->reason);
      return r;
    }
    // The whole list is one entry of the history (none for report rates alone, which are
    // the keyboard's setting rather than its configuration).
    profiles::RecordedWrite recorded(scripting::RecorderForChanges(recorder, list), profiles::kLightingPart);
    bool sent = false;
    for (const auto& change : list) {
      if (change.unchanged) continue;
      const auto failures = commands->LastFailure().count;
      const auto outcome = call.Change(*commands, profile, change);
      sent = sent || outcome != lighting::WriteOutcome::NotSent;
      if (outcome == lighting::WriteOutcome::Refused) {
        r.outcome = scripting::DeviceOutcome("SetLighting", failures, call.Refusal(), call.State().readBack);
        break;
      }
    }
    recorded.Done(!r.outcome.Ok() ? profiles::WriteEnd::Refused
                  : sent          ? profiles::WriteEnd::Taken
                                  : profiles::WriteEnd::NotSent,
                  nullptr, &call.State().records);
    // The panel shows what the keyboard holds now, whatever of the list it took.
    QMetaObject::invokeMethod(this, [this] { AfterLightingWrite(); }, Qt::QueuedConnection);
    return r;
  });
}

void KeyboardAdaptor::PaintKeys(int profile, const QStringList& keys, const QString& colour,
                                const QDBusMessage& message) {
  if (!ValidProfile(profile)) return Refuse(message, scripting::OutOfRange("profile", profile, 0, 2));
  const auto rgb = lighting::ParseHexColour(Std(colour));
  if (!rgb) return Refuse(message, scripting::InvalidArgument("colour", "wants RRGGBB in hex"));
  // Only the sizes are checked here; the names are looked up (and close names searched for)
  // on the worker.
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(keys.size()));
  for (const auto& k : keys) {
    // UTF-8 takes at least one byte for each UTF-16 unit: a longer name is not converted.
    names.push_back(k.size() > static_cast<qsizetype>(scripting::kMaxKeyNameBytes)
                        ? std::string(static_cast<std::size_t>(k.size()), '?')
                        : Std(k));
  }
  if (auto refusal = scripting::CheckPaintNames(names); !refusal.Ok()) return Refuse(message, refusal);
  auto* commands = &core_.Commands();
  auto* editor = &core_.KeyColours();
  const auto wskb = core_.WskbIni();
  const text::TextSource* texts = &core_.Texts();
  auto* recorder = core_.Recorder();
  Answer(message, false, [this, commands, editor, profile, wskb, texts, recorder, names = std::move(names),
                          colour = *rgb] {
    BusJobResult r;
    std::vector<int> controls;
    r.outcome = scripting::FindLitKeys(scripting::KeyVocabulary(*texts), names, controls);
    if (!r.outcome.Ok()) return r;
    const auto before = commands->LastFailure().count;
    lighting::LightingSession call(*editor, wskb, texts);
    call.SetRecorder(recorder);
    if (!LoadForCall(*commands, call, profile, "PaintKeys", r)) return r;
    r.outcome = scripting::PaintableEffect(call.State(), profile);
    if (!r.outcome.Ok()) return r;
    if (!call.PrepareToPaint(profile)) {
      r.outcome = scripting::DeviceOutcome("PaintKeys", before, commands->LastFailure(), {});
      return r;
    }
    // A refused key colour is a device error; the colour file keeps the colour.
    const auto failures = commands->LastFailure().count;
    if (!call.PaintKeys(*commands, profile, call.State().effect, controls, colour).Ok()) {
      r.outcome = scripting::DeviceOutcome("PaintKeys", failures, commands->LastFailure(), {});
    }
    QMetaObject::invokeMethod(this, [this] { AfterLightingWrite(); }, Qt::QueuedConnection);
    return r;
  });
}

QString KeyboardAdaptor::ExportJson(const QDBusMessage& message) {
  auto* session = core_.Session();
  auto* colourFiles = &core_.KeyColours();
  const text::TextSource* texts = &core_.Texts();
  Answer(
      message, false,
      [session, colourFiles, texts] {
        BusJobResult r;
        // vantrelctl's export: the keyboard's configuration, its records, the colour files.
        auto& commands = session->Service().Commands();
        scripting::DocumentRead read = scripting::ReadDocument(session->Service(), *colourFiles, *texts, true);
        if (read.step != scripting::ReadStep::Done) {
          r.outcome = scripting::ReadOutcome("ExportJson", read.step, read.why, read.failuresBefore, commands.LastFailure());
        } else if (!read.lightingRead) {
          r.outcome = scripting::DeviceOutcome("ExportJson: reading the keyboard's lighting", read.failuresBefore,
                                               commands.LastFailure(), {});
        }
        r.text = std::move(read.document);
        return r;
      },
      [](const BusJobResult& r) { return QVariantList{QString::fromStdString(r.text)}; });
  return {};
}

void KeyboardAdaptor::ImportJson(const QString& document, const QDBusMessage& message) {
  // UTF-8 takes at least one byte for each UTF-16 unit: a longer document is not converted.
  const auto tooLarge = [&] {
    Refuse(message, scripting::InvalidArgument("document", "larger than " +
                                                               std::to_string(scripting::kMaxProfileJsonBytes >> 20) +
                                                               " MiB; no configuration is"));
  };
  if (static_cast<std::size_t>(document.size()) > scripting::kMaxProfileJsonBytes) return tooLarge();
  std::string text = Std(document);
  if (text.size() > scripting::kMaxProfileJsonBytes) return tooLarge();
  auto* session = core_.Session();
  auto* colourFiles = &core_.KeyColours();
  const text::TextSource* texts = &core_.Texts();
  Answer(message, true, [this, session, colourFiles, texts, text = std::move(text)] {
    BusJobResult r;
    // Parsed here, off the UI thread: a large document takes a while.
    keys::StoreImage image;
    scripting::ProfileLightings lighting;
    std::string error;
    if (!scripting::ImportProfileJson(text, *texts, image, lighting, error)) {
      r.outcome = scripting::InvalidArgument("document", error);
      return r;
    }
    // Keys and macros, then the lighting, as vantrelctl imports them: records read back,
    // key colours, colour files.
    r.outcome = scripting::InstallDocument(*session, *colourFiles, std::move(image), lighting, "ImportJson");
    // The panel shows what the keyboard and the colour files hold now.
    QMetaObject::invokeMethod(this, [this] { AfterLightingWrite(); }, Qt::QueuedConnection);
    return r;
  });
}

void KeyboardAdaptor::Backup(const QString& path, const QDBusMessage& message) {
  const std::filesystem::path file(Std(path));
  if (!file.is_absolute()) return Refuse(message, scripting::InvalidArgument("path", "wants an absolute path"));
  auto* session = core_.Session();
  Answer(message, false, [session, file] {
    BusJobResult r;
    // The window's backup: the keyboard's configuration as the session knows it.
    std::string why;
    if (!session->Service().BackupToFile(file, &why)) r.outcome = scripting::InvalidArgument("path", why);
    return r;
  });
}

void KeyboardAdaptor::Restore(const QString& path, const QDBusMessage& message) {
  const std::filesystem::path file(Std(path));
  if (!file.is_absolute()) return Refuse(message, scripting::InvalidArgument("path", "wants an absolute path"));
  auto* session = core_.Session();
  Answer(message, true, [session, file] {
    BusJobResult r;
    auto& commands = session->Service().Commands();
    const auto before = commands.LastFailure().count;
    // The window's restore; its messages are this call's error instead.
    scripting::QuietSink quiet;
    const profiles::RestoreOutcome restored = session->Restore(file, quiet);
    if (!restored.loaded) {
      r.outcome = scripting::InvalidArgument("path", restored.reason.empty() ? "cannot be read" : restored.reason);
    } else if (!restored.applied) {
      r.outcome = scripting::DeviceOutcome("Restore", before, commands.LastFailure(), session->LastReadBack());
    }
    return r;
  });
}

QStringList KeyboardAdaptor::Verify(const QDBusMessage& message) {
  auto* session = core_.Session();
  const text::TextSource* texts = &core_.Texts();
  const auto working = profiles::WorkingFilePath(core_.Paths());
  Answer(
      message, false,
      [session, texts, working] {
        BusJobResult r;
        auto& commands = session->Service().Commands();
        const auto before = commands.LastFailure().count;
        scripting::QuietSink quiet;
        const scripting::Comparison c = scripting::CompareKeyboardWithFile(commands, working, *texts, quiet);
        r.outcome = scripting::ComparisonOutcome(c, before, commands.LastFailure());
        r.lines = c.differences;
        return r;
      },
      [](const BusJobResult& r) {
        QStringList lines;
        for (const auto& l : r.lines) lines.push_back(QString::fromStdString(l));
        return QVariantList{lines};
      });
  return {};
}

QDBusArgument& operator<<(QDBusArgument& argument, const HistoryRow& row) {
  argument.beginStructure();
  argument << row.time << row.source << row.summary;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, HistoryRow& row) {
  argument.beginStructure();
  argument >> row.time >> row.source >> row.summary;
  argument.endStructure();
  return argument;
}

QList<HistoryRow> KeyboardAdaptor::History(const QDBusMessage& message) {
  auto* history = core_.History();
  if (history == nullptr || core_.Stopping()) {
    Refuse(message, scripting::Closing());
    return {};
  }
  // The entries' headers only: a few small files, read here without the keyboard.
  const profiles::HistoryListing listing = history->List();
  for (const auto& problem : listing.problems) std::fprintf(stderr, "vantrel: history: skipped %s\n", problem.c_str());
  if (!listing.folderProblem.empty()) {
    Refuse(message, {scripting::ScriptError::Device, "History: " + listing.folderProblem});
    return {};
  }
  QList<HistoryRow> rows;
  for (const auto& item : listing.entries) {
    rows.push_back({item.time, QString::fromUtf8(profiles::HistorySourceName(item.source)),
                    QString::fromStdString(item.summary)});
  }
  return rows;
}

void KeyboardAdaptor::RestoreHistory(uint number, const QDBusMessage& message) {
  auto* history = core_.History();
  if (history == nullptr) return Refuse(message, scripting::Closing());
  if (number == 0 || number > static_cast<uint>(std::numeric_limits<int>::max())) {
    return Refuse(message, scripting::InvalidArgument("number", "wants an entry number from 1 (the newest)"));
  }
  auto* session = core_.Session();
  auto* colourFiles = &core_.KeyColours();
  const text::TextSource* texts = &core_.Texts();
  Answer(message, true, [this, session, colourFiles, texts, history, number] {
    BusJobResult r;
    r.outcome = scripting::RestoreHistoryEntry(*session, *colourFiles, *history, static_cast<int>(number), *texts,
                                               "RestoreHistory");
    // The panel shows what the keyboard and the colour files hold now.
    QMetaObject::invokeMethod(this, [this] { AfterLightingWrite(); }, Qt::QueuedConnection);
    return r;
  });
}

void KeyboardAdaptor::CheckIdle(const QDBusMessage& message) {
  // Checked on the worker too, after the work queued before it.
  Answer(message, true, [] { return BusJobResult{}; });
}

}  // namespace vantrel::ui
