#include "ui/app/main_controller.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>

#include <future>
#include <utility>

#include "core/device/device_link.h"
#include "core/text/safe_format.h"
#include "scripting/keyboard_tasks.h"
#include "scripting/undo_steps.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/windows/profile_manager.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

std::string ReadBackMessage(const text::TextSource& texts, const device::Verification& readBack) {
  if (!readBack.Failed()) return {};
  // A long list is cut so that the question stays on the screen.
  std::string message = texts.Text("MAIN_PROMPT_READBACK_FAILED");
  const auto& lines = readBack.differences;
  for (std::size_t i = 0; i < lines.size() && i < kReadBackLinesShown; ++i) message += "\n" + lines[i];
  if (lines.size() > kReadBackLinesShown) message += "\n(+" + std::to_string(lines.size() - kReadBackLinesShown) + ")";
  return message;
}

MainController::MainController(AppCore& core, text::MessageSink& messages, MainView& view, QObject* parent)
    : QObject(parent),
      core_(core),
      messages_(messages),
      view_(view),
      sessionView_(*this, *this, [&core](const keys::StoreImage& image, int profile) {
        const auto factory = core.FactoryKeyTable();
        return ReadKeyLooks(image, profile, core.GKeyLayer(), core.Texts(),
                            factory ? std::span<const std::uint8_t>(*factory) : std::span<const std::uint8_t>());
      }) {}

MainController::~MainController() {
  // No focus report and no automatic switch after this.
  if (autoSwitch_) autoSwitch_->Stop();
  if (!closing_) {
    closing_ = true;
    core_.SetStopping();
    if (auto* session = core_.Session()) session->RemoveView(sessionView_);
    core_.Stop();
  }
}

void MainController::Later(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

// ---- lifecycle -------------------------------------------------------------------------

void MainController::Start() {
  core_.Start(*this, sessionView_, messages_);
  if (auto* generations = core_.Generations())
    connect(generations, &GenerationWatch::changed, this, [this] { OnGenerationChanged(); });
  // A change kept out for the user's edits is read once the edits are applied or dropped.
  connect(this, &MainController::deviceWorkDone, this, [this] {
    auto* session = core_.Session();
    if (session && otherPrograms_.KeptOutChangeDue(session->Unsaved())) OnGenerationChanged();
  });
  AutoSwitchController::Deps deps{core_.Worker(), [this] { return core_.Session(); },
                                  [this] { return !closing_ && !core_.Stopping() && core_.KeyboardPresent(); }};
  autoSwitch_ = new AutoSwitchController(std::move(deps), core_.AppSettings(),
                                         AutoSwitchController::Environment::FromProcess(), nullptr, nullptr, this);
  connect(autoSwitch_, &AutoSwitchController::statusChanged, this, &MainController::autoSwitchStatusChanged);
  autoSwitch_->Start();
}

void MainController::MarkReady() {
  RebuildProfileMenu();
  core_.SetReady();
}

void MainController::CloseProgram() {
  if (closing_) return;
  closing_ = true;
  core_.SetStopping();
  if (auto* session = core_.Session()) session->RemoveView(sessionView_);
  view_.EndWindows();
  // Work already asked for reaches the keyboard; then nothing more runs.
  core_.Stop();
  {
    keys::EditingStore::Lock editing(core_.Editing());
    editing.Image() = keys::StoreImage{};
    keys::AppliedStore::Lock applied(core_.Applied(), editing);
    applied.Image() = keys::StoreImage{};
  }
  emit closed();
}

bool MainController::ConfirmClose() {
  auto* session = core_.Session();
  if (closing_ || !session) return true;
  switch (session->CheckClose()) {
    case profiles::CloseChoice::Close: return true;
    case profiles::CloseChoice::ApplyThenClose: RunApply(AfterApply::Close); return false;
    case profiles::CloseChoice::Stay: return false;
  }
  return false;
}

// ---- facts -----------------------------------------------------------------------------

int MainController::CurrentProfile() const {
  auto* session = core_.Session();
  return session ? session->CurrentProfile() : 0;
}

int MainController::ActiveProfile() const {
  auto* session = core_.Session();
  return session ? session->Facts().activeProfile : -1;
}

bool MainController::ApplyPending() const {
  auto* session = core_.Session();
  return session && session->Unsaved();
}

void MainController::UpdateApplyPending() { view_.ShowApplyPending(ApplyPending()); }

// ---- presence port ---------------------------------------------------------------------

void MainController::ProfileChanged() {
  // Called on the presence thread, which goes on once the reload has run: the reload is
  // queued on the device worker directly (nothing of the UI is touched from this thread),
  // and the session tells the UI what it read.
  auto* session = core_.Session();
  if (core_.Stopping() || !session) return;
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  core_.Worker().Post([&core = core_, session, done] {
    // What the keyboard holds is compared with the last configuration before the reload
    // replaces the store with it.
    core.RunArrivalCheck();
    session->ReloadOnArrival();
    done->set_value();
  });
  finished.wait();
  Later([this] {
    if (!closing_) view_.KeyboardBack();
  });
}

void MainController::DeviceGone() {
  Later([this] {
    if (closing_) return;
    view_.KeyboardGone();
    UpdateApplyPending();
  });
}

void MainController::GKeyLayerChanged(int layer) {
  Later([this, layer] {
    view_.ShowGKeyLayer(layer);
    ShowKeys();
  });
}

void MainController::OpenWindow() {
  Later([this] { view_.ShowWindow(); });
}

void MainController::ReloadLighting() {
  // Timer 1051 with no delay: one reload on the UI thread.
  Later([this] {
    if (!closing_) view_.LightingChanged();
  });
}

void MainController::ShowTrayIcon(int icon) {
  Later([this, icon] { view_.ShowTrayIcon(icon); });
}

// ---- session notifications -------------------------------------------------------------

void MainController::SessionChanged() {
  if (closing_) return;
  UpdateApplyPending();
  emit stepsChanged();
}

void MainController::KeyLooksRead(const KeyLooks& looks) { picture_.SetLooks(looks); }

void MainController::ProfileSwitched(int profile) {
  if (closing_) return;
  view_.ShowProfileSwitched(profile, /*kept=*/false);
}

void MainController::ConfigurationRead(int profile) {
  if (closing_) return;
  UpdateApplyPending();
  view_.ShowConfigurationRead(profile);
}

void MainController::ArrivalWithEdits() {
  auto* session = core_.Session();
  if (closing_ || !session || arrivalQuestionUp_) return;
  view_.ShowKeyboardPresent(true);
  arrivalQuestionUp_ = true;
  const profiles::ArrivalChoice choice = session->AskArrival();
  arrivalQuestionUp_ = false;
  PostDeviceJob([session, choice] { session->ResolveArrival(choice); });
}

void MainController::ProfileMenuChanged() {
  const int active = ActiveProfile();
  // The checked item names the profile: an on-board profile by its number.
  view_.ShowProfileName(Q(core_.Texts().Text(active < 0 ? "DEFAULT_PROFILE_NAME" : OnBoardProfileKey(active))));
}

// ---- switch ----------------------------------------------------------------------------

void MainController::SwitchFromMenu(int profile) {
  auto* session = core_.Session();
  if (!session || closing_ || !core_.Presence()) return;
  // The questions are put here, on the UI thread; the device work follows on the worker,
  // and the session tells every window about the switch.
  const profiles::SwitchDecision decision = session->CheckSwitch(profile);
  if (!decision.proceed) return;
  PostDeviceJob([session, decision] { (void)session->Switch(decision); });
}

void MainController::SwitchFromButton(int profile) {
  auto* session = core_.Session();
  if (!session || closing_) return;
  // The question comes first, on this thread; then, on the worker and in this order: the
  // new profile's lighting and colours, the edits written or dropped as answered, and the
  // switch when the keyboard runs another profile.
  const profiles::SwitchDecision decision = session->CheckSwitch(profile);
  if (!decision.proceed) return;
  const int previous = session->CurrentProfile();
  session->SetCurrentProfile(decision.profile);
  view_.LoadProfileLighting(decision.profile);
  auto switched = std::make_shared<bool>(false);
  PostDeviceJob([session, decision, switched] { *switched = session->Switch(decision, profiles::EditSession::SwitchWhen::OnlyToAnother); },
                [this, session, previous, switched] {
                  if (*switched) return;
                  // The keyboard kept its profile: so does the window, and the lighting
                  // shown is that profile's again.
                  session->SetCurrentProfile(previous);
                  view_.ShowProfileSwitched(previous, /*kept=*/true);
                });
}

// ---- apply -----------------------------------------------------------------------------

void MainController::Apply() { RunApply(AfterApply::Stay); }

void MainController::RunApply(AfterApply after) {
  auto* session = core_.Session();
  if (!session) return;
  view_.ShowProgress(true);
  if (after == AfterApply::Stay) applyRunning_ = true;
  auto result = std::make_shared<profiles::ApplyResult>(profiles::ApplyResult::NothingToApply);
  auto readBack = std::make_shared<device::Verification>();
  PostDeviceJob(
      [session, result, readBack] {
        *result = session->Apply();
        *readBack = session->LastReadBack();
      },
      [this, after, result, readBack] {
        const auto again = [this, after] { RunApply(after); };
        if (after == AfterApply::Close) {
          view_.ShowProgress(false);
          UpdateApplyPending();
          // A failed write keeps the program open with the edits; the session has said why.
          if (*result == profiles::ApplyResult::Applied || *result == profiles::ApplyResult::NothingToApply)
            CloseProgram();
          else if (*result == profiles::ApplyResult::Failed)
            ReportApplyFailure(*readBack, again);
          else if (*result == profiles::ApplyResult::NotRead)
            OfferReadAgain();
          return;
        }
        applyRunning_ = false;
        UpdateApplyPending();
        if (*result == profiles::ApplyResult::Failed) ReportApplyFailure(*readBack, again);
        if (*result == profiles::ApplyResult::NotRead) OfferReadAgain();
        // The picture stays a moment so that a quick apply is still seen.
        QTimer::singleShot(100, this, [this] {
          if (!applyRunning_) view_.ShowProgress(false);
        });
        emit applyFinished(*result == profiles::ApplyResult::Applied);
      });
}

void MainController::OfferReadAgain() {
  auto* session = core_.Session();
  if (closing_ || !session || !session->AskReadAgain()) return;
  view_.ShowProgress(true);
  auto read = std::make_shared<bool>(false);
  PostDeviceJob([session, read] { *read = session->ReadAgain(); },
                [this, read] {
                  view_.ShowProgress(false);
                  UpdateApplyPending();
                  if (!*read) messages_.ShowMessage(core_.Texts().Text("MAIN_PROMPT_NOT_READ_AGAIN"));
                });
}

void MainController::ReportApplyFailure(const device::Verification& readBack,
                                        const std::function<void()>& writeAgain) {
  // After a read-back difference the keyboard took the writes but holds something else:
  // the edits stay pending, the user reads what differs and may write again at once.
  const std::string differs = ReadBackMessage(core_.Texts(), readBack);
  if (differs.empty()) {
    messages_.ShowMessage(core_.Texts().Text("MAIN_PROMPT_APPLY_FAILED"));
    return;
  }
  if (messages_.AskYesNo(differs, true)) writeAgain();
}

void MainController::RestoreDefault() {
  auto* session = core_.Session();
  if (!session || !messages_.AskYesNo(core_.Texts().Text("MAIN_PROMPT_DEFAULT"), false)) return;
  session->RestoreDefaultKeys(DefaultKeyIndexes(core_.GKeyLayer()));
  UpdateApplyPending();
  // With the lighting panel open the default colours and lighting record are written
  // first; the worker keeps that order ahead of Apply.
  if (view_.LightingPanelOpen()) view_.RestoreDefaultLighting();
  Apply();
}

void MainController::ToggleSelected(std::size_t keyIndex) {
  if (auto* session = core_.Session()) session->ToggleSelected(keyIndex);
}

void MainController::MarkEdited() {
  if (auto* session = core_.Session()) session->MarkEdited();
  ShowKeys();
}

void MainController::ShowKeys() {
  // The store's lock is held only while the looks are read, never across device writes,
  // so this runs on the UI thread.
  if (auto* session = core_.Session()) session->ShowKeys();
}

void MainController::EditorOpened() {
  // While the key page is open a switch is refused: the session counts it as an open editor.
  auto* session = core_.Session();
  if (keyPageCounted_ || !session) return;
  keyPageCounted_ = true;
  session->EditorOpened(profiles::Editor::KeyPage);
}

void MainController::EditorClosed() {
  // The program may have closed while the page ran its own loop: the session is asked for again.
  auto* session = core_.Session();
  if (!keyPageCounted_ || !session) return;
  keyPageCounted_ = false;
  session->EditorClosed(profiles::Editor::KeyPage);
}

// ---- undo and redo --------------------------------------------------------------------

void MainController::Undo() { TakeStep(true); }

void MainController::Redo() { TakeStep(false); }

bool MainController::CanUndo() const {
  auto* session = core_.Session();
  return session && session->CanUndo();
}

bool MainController::CanRedo() const {
  auto* session = core_.Session();
  return session && session->CanRedo();
}

std::string MainController::UndoName() const {
  auto* session = core_.Session();
  return session ? session->UndoName() : std::string();
}

std::string MainController::RedoName() const {
  auto* session = core_.Session();
  return session ? session->RedoName() : std::string();
}

void MainController::TakeStep(bool undo) {
  auto* session = core_.Session();
  if (!session || closing_ || keyPageCounted_) return;
  auto taken = std::make_shared<scripting::StepTaken>();
  auto failure = std::make_shared<device::CommandFailure>();
  auto& commands = core_.Commands();
  auto& colourFiles = core_.KeyColours();
  const auto direction = undo ? scripting::StepDirection::Undo : scripting::StepDirection::Redo;
  PostDeviceJob(
      [session, &commands, &colourFiles, direction, taken, failure] {
        *taken = scripting::TakeStep(*session, commands, colourFiles, direction);
        *failure = commands.LastFailure();
      },
      [this, taken, failure] {
        if (taken->step.result != profiles::StepOutcome::Result::Lighting) return;
        // The panel shows what the keyboard and the colour files hold now.
        view_.LightingChanged();
        if (taken->Ok()) return;
        const scripting::ScriptOutcome outcome = scripting::LightingWriteOutcome(taken->step.name, taken->lighting,
                                                                           taken->failuresBefore, *failure);
        std::string message = core_.Texts().Text("MAIN_PROMPT_APPLY_FAILED");
        if (!outcome.message.empty()) message += "\n" + outcome.message;
        messages_.ShowMessage(message);
      });
}

// ---- dropped file ----------------------------------------------------------------------

bool MainController::OfferDroppedFile(const QString& file) {
  if (closing_ || !core_.Session() || !QFileInfo(file).isFile()) return false;
  const std::filesystem::path path(file.toStdString());
  const std::string shown = QDir::toNativeSeparators(file).toStdString();
  const auto& texts = core_.Texts();
  if (QFileInfo(file).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) != 0) {
    // Anything else is offered as a profile file; the restore validates it before any write.
    return view_.RestoreProfileFile(path, [this, &texts, &shown] {
      return messages_.AskYesNo(text::FormatWithString(texts.Text("DROP_RESTORE_PROMPT"), shown), false);
    });
  }
  if (!documentReader_) return false;
  if (!messages_.AskYesNo(text::FormatWithString(texts.Text("DROP_IMPORT_PROMPT"), shown), false)) return false;
  keys::StoreImage image;
  scripting::ProfileLightings lighting;
  std::string why;
  if (!documentReader_(path, image, lighting, why)) {
    std::string message = text::FormatWithString(texts.Text("DROP_IMPORT_FAILED"), shown);
    if (!why.empty()) message += "\n" + why;
    messages_.ShowMessage(message);
    return false;
  }
  view_.ShowProgress(true);
  auto& session = *core_.Session();
  const auto& colourFiles = core_.KeyColours();
  // Keys and macros, then the lighting, as the scripting interface imports a document.
  core_.Worker().Run(
      [&session, &colourFiles, image = std::move(image), lighting, shown]() mutable {
        return scripting::InstallDocument(session, colourFiles, std::move(image), lighting, shown);
      },
      this, [this](const scripting::ScriptOutcome& outcome) {
        view_.ShowProgress(false);
        // The panel shows what the keyboard and the colour files hold now, all of it or
        // the part written before a failure.
        ReloadLighting();
        if (outcome.Ok()) return;
        std::string message = core_.Texts().Text("MAIN_PROMPT_APPLY_FAILED");
        if (!outcome.message.empty()) message += "\n" + outcome.message;
        messages_.ShowMessage(message);
      });
  return true;
}

// ---- other instances and settings ------------------------------------------------------

int MainController::HandleInstanceMessage(std::uint32_t message, std::uint32_t param, const QByteArray& payload) {
  // The answer goes back before anything the handling shows, so the sender never waits on
  // a message box.
  if (message == MsgOpenWindow && param == kOpenWindowParam) {
    Later([this] { view_.ShowWindow(); });
  } else if (message == MsgQuit && param == kQuitParam) {
    Later([this] { CloseProgram(); });
  } else if (message == MsgSimEvent && param == kSimEventParam) {
    switch (core_.Stack().SendSimEvent(payload.toStdString())) {
      case stack::SimEventResult::NotSimulating: return kSimEventNotSimulating;
      case stack::SimEventResult::Unknown: return kSimEventUnknown;
      case stack::SimEventResult::Done: break;
    }
    // A reset keyboard shows its factory key colours again, not what was sent to it.
    if (payload == "reset") core_.Worker().Post([&core = core_] { core.KeyColours().ForgetKeyboardColours(); });
    core_.PersistSimStateSoon();
  }
  return 0;
}

std::uint32_t MainController::StoreLanguage(int index) {
  if (index < 0 || index > 3) return 0;
  const std::uint32_t id = text::kLanguageIds[static_cast<std::size_t>(index)];
  core_.Settings().WriteDword(text::kLanguageIdValue, id);
  return id;
}

int MainController::Flip() const { return core_.AppSettings().value("PROFILES/Flip", "0").toString().toInt(); }

void MainController::ToggleFlip() {
  core_.AppSettings().setValue("PROFILES/Flip", QString::number(Flip() != 0 ? 0 : 1));
}

QString MainController::AutoSwitchNote() const {
  if (!autoSwitch_ || !autoSwitch_->Available()) return {};
  // Only what stops switching, or a switch the keyboard refused, is worth a note.
  const auto paused = autoSwitch_->Paused();
  if (paused == profiles::PauseReason::Off || (paused == profiles::PauseReason::None && !autoSwitch_->Failing()))
    return {};
  return Q(core_.Texts().Text(autoSwitch_->StatusKey()));
}

// ---- another program changed the keyboard ----------------------------------------------

void MainController::OnGenerationChanged() {
  if (closing_ || core_.Stopping() || !core_.Session()) return;
  if (!otherPrograms_.BeginLook()) return;
  AppCore* core = &core_;
  core_.Worker().Run([core] { return core->ForeignChanges(); }, this,
                     [this](std::uint64_t count) { OnForeignChanges(count); });
}

void MainController::OnForeignChanges(std::uint64_t count) {
  auto* session = core_.Session();
  const bool dropEdits = session && session->Unsaved();
  if (closing_ || !session ||
      otherPrograms_.Decide(count, core_.KeyboardPresent(), dropEdits) != profiles::OtherProgramChanges::Decision::Ask) {
    FinishForeignCheck();
    return;
  }
  if (!session->CheckOtherProgramChange()) {
    otherPrograms_.Declined(count);
    FinishForeignCheck();
    return;
  }
  AppCore* core = &core_;
  core_.Worker().Run(
      [core, session, dropEdits] {
        return session->ReadAfterOtherPrograms(dropEdits, [core] { return core->ForeignChanges(); });
      },
      this,
      [this, count](std::optional<std::uint64_t> seen) {
        if (!seen) {
          // Edits came in while the read waited: asked about now.
          OnForeignChanges(count);
          return;
        }
        otherPrograms_.Read(*seen);
        if (!closing_) view_.LightingChanged();
        emit deviceWorkDone();
        FinishForeignCheck();
      });
}

void MainController::FinishForeignCheck() {
  if (otherPrograms_.EndLook()) OnGenerationChanged();
}

bool MainController::PostDeviceJob(std::function<void()> job, std::function<void()> done) {
  if (closing_) return false;
  core_.Worker().Run(std::move(job), this, [this, done = std::move(done)] {
    if (done) done();
    emit deviceWorkDone();
  });
  return true;
}

}  // namespace vantrel::ui
