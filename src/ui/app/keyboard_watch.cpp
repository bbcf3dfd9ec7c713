#include "ui/app/keyboard_watch.h"

#include <QMetaObject>
#include <QString>

#include <string>
#include <utility>

#include "ui/app/app_core.h"
#include "ui/windows/tray.h"

namespace vantrel::ui {
namespace {

// A notice shows this many lines of what differs; the rest is counted.
constexpr std::size_t kLinesShown = 12;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

platform::DesktopNotifier::Fallback NoticeFallback(CTrayIcon& tray, text::MessageSink& messages,
                                                   const text::TextSource& texts) {
  return [&tray, &messages, &texts](const platform::Notice& notice, std::function<void()> action) {
    const QString paragraph = QStringLiteral("\n\n");
    if (tray.ShowNotice(notice.summary, notice.body + paragraph + notice.hint, action)) return;
    // Asked once the caller (a D-Bus reply, a check's result) has returned.
    QMetaObject::invokeMethod(
        &tray,
        [&messages, &texts, notice, action] {
          const std::string question =
              notice.body.toStdString() + "\n\n" + texts.Text("KEYBOARD_CHANGED_ASK");
          if (messages.AskYesNo(question, true)) action();
        },
        Qt::QueuedConnection);
  };
}

KeyboardWatch::KeyboardWatch(AppCore& core, platform::Notifier& notifier, QObject* parent)
    : QObject(parent), core_(core), notifier_(notifier) {}

KeyboardWatch::~KeyboardWatch() = default;

void KeyboardWatch::Install() {
  core_.SetArrivalCheck([this] {
    profiles::KeyboardCheck check = CheckOnWorker();
    // Queued to this object, which outlives the device work (see the constructor's note).
    QMetaObject::invokeMethod(
        this, [this, check = std::move(check)]() mutable { Found(std::move(check)); }, Qt::QueuedConnection);
  });
}

void KeyboardWatch::CheckSoon() {
  if (core_.Stopping() || !core_.Session() || !core_.KeyboardPresent()) return;
  core_.Worker().Run([this] { return CheckOnWorker(); }, this,
                     [this](profiles::KeyboardCheck check) { Found(std::move(check)); });
}

profiles::KeyboardCheck KeyboardWatch::CheckOnWorker() {
  profiles::ProfileService* service = core_.Profiles();
  if (!service || core_.Stopping()) return {};
  profiles::LastConfiguration last;
  keys::StoreImage image;
  if (service->LastKnownImage(image)) last.keys = std::move(image);
  // The lighting state belongs to the device worker, where this runs.
  const lighting::LightingState& lighting = core_.Lighting();
  if (lighting.recordsRead) last.lighting = lighting.records;
  last.activeProfile = service->LastKnownActiveProfile();
  // The arrival read the factory table already: it is not read a second time.
  if (const profiles::DeviceFacts facts = service->Facts(); facts.factoryRead) last.factory = facts.factory;
  return profiles::CheckKeyboard(core_.Commands(), std::move(last), core_.Texts());
}

void KeyboardWatch::Found(profiles::KeyboardCheck check) {
  lastFound_ = check.found;
  const int differences = static_cast<int>(check.found.differences.size());
  // A check that finds the keyboard in step leaves a notice that is up alone: the keyboard
  // may hold what was read from it after it came back, while the program's configuration
  // from before is still only in the notice.
  if (check.found.Failed()) {
    pending_ = std::make_shared<const profiles::KeyboardCheck>(std::move(check));
    notifier_.Show(MakeNotice(pending_->found), [this] { WriteAgain(); });
  }
  emit checked(differences);
}

platform::Notice KeyboardWatch::MakeNotice(const device::Verification& found) const {
  const auto& texts = core_.Texts();
  platform::Notice notice;
  notice.summary = Q(texts.Text("KEYBOARD_CHANGED_TITLE"));
  std::string body = texts.Text("KEYBOARD_CHANGED_BODY");
  const auto& lines = found.differences;
  for (std::size_t i = 0; i < lines.size() && i < kLinesShown; ++i) body += "\n" + lines[i];
  if (lines.size() > kLinesShown) body += "\n(+" + std::to_string(lines.size() - kLinesShown) + ")";
  notice.body = Q(body);
  notice.actionLabel = Q(texts.Text("KEYBOARD_CHANGED_WRITE"));
  notice.hint = Q(texts.Text("KEYBOARD_CHANGED_HINT"));
  return notice;
}

void KeyboardWatch::WriteAgain() {
  auto* session = core_.Session();
  if (!pending_ || writing_ || core_.Stopping() || !session) return;
  // The write replaces the editing store: changes not applied yet are lost unless the user
  // agrees.
  if (session->Unsaved() && core_.Messages() &&
      !core_.Messages()->AskYesNo(core_.Texts().Text("KEYBOARD_CHANGED_DROP_EDITS"), false)) {
    notifier_.Show(MakeNotice(pending_->found), [this] { WriteAgain(); });
    return;
  }
  writing_ = true;
  std::shared_ptr<const profiles::KeyboardCheck> check = pending_;
  core_.Worker().Run(
      [&core = core_, check] {
        auto* s = core.Session();
        if (!s) return device::Verification{};
        return profiles::WriteLastConfiguration(*s, core.Lighting(), *check, s->CurrentProfile());
      },
      this,
      [this, check](device::Verification result) {
        writing_ = false;
        if (check->last.lighting) emit lightingWritten();
        const bool ok = result.checked && !result.Failed();
        if (ok) {
          if (pending_ == check) {
            pending_.reset();
            notifier_.Withdraw();
          }
        } else if (pending_ == check) {
          // Still out of step: the notice says what differs now and offers the write again.
          if (!result.Failed()) result.Note(core_.Texts().Text("MAIN_PROMPT_APPLY_FAILED"));
          notifier_.Show(MakeNotice(result), [this] { WriteAgain(); });
        }
        emit writtenAgain(ok);
      });
}

}  // namespace vantrel::ui
