#include "ui/app/app_core.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <cstdio>
#include <thread>

#include "core/keys/key_table.h"
#include "platform/autostart.h"
#include "platform/profile_strings_qt.h"
#include "platform/settings_store_qt.h"
#include "platform/program_launcher.h"
#include "platform/user_paths.h"
#include "scripting/keyboard_tasks.h"
#include "stack/shared_keyboard.h"

namespace vantrel::ui {

void UiMessageSink::ShowMessage(std::string_view text) {
  if (QThread::currentThread() == thread()) {
    inner_->ShowMessage(text);
    return;
  }
  QMetaObject::invokeMethod(this, [this, t = std::string(text)] { inner_->ShowMessage(t); }, Qt::QueuedConnection);
}

bool UiMessageSink::AskYesNo(std::string_view text, bool defaultYes) {
  if (QThread::currentThread() == thread()) return inner_->AskYesNo(text, defaultYes);
  bool answer = defaultYes;
  QMetaObject::invokeMethod(
      this, [&] { answer = inner_->AskYesNo(text, defaultYes); }, Qt::BlockingQueuedConnection);
  return answer;
}

text::Answer UiMessageSink::AskYesNoCancel(std::string_view text, text::Answer defaultAnswer) {
  if (QThread::currentThread() == thread()) return inner_->AskYesNoCancel(text, defaultAnswer);
  text::Answer answer = defaultAnswer;
  QMetaObject::invokeMethod(
      this, [&] { answer = inner_->AskYesNoCancel(text, defaultAnswer); }, Qt::BlockingQueuedConnection);
  return answer;
}

namespace {
std::filesystem::path OrDefault(const std::filesystem::path& given, std::filesystem::path fallback) {
  return given.empty() ? std::move(fallback) : given;
}
}  // namespace

AppCore::AppCore(AppOptions options)
    : options_(std::move(options)),
      programFolder_(OrDefault(options_.programFolder, stack::ProgramFolder())),
      paths_{OrDefault(options_.userFolder, platform::UserDataFolder()), programFolder_},
      texts_(programFolder_, options_.stack.languageId, options_.settingsFile),
      worker_(std::make_unique<DeviceWorker>()) {
  const QString appSettingsFile =
      options_.appSettingsFile.empty()
          ? platform::NativeSettingsFile(QStringLiteral("Vantrel_Morvane"), QStringLiteral("Vantrel"))
          : QString::fromStdString(options_.appSettingsFile.string());
  appSettings_ = options_.appSettingsFile.empty()
                     ? platform::OpenNativeSettings(QStringLiteral("Vantrel_Morvane"), QStringLiteral("Vantrel"))
                     : platform::OpenIniSettings(appSettingsFile);
  if (!appSettings_) {
    // Something other than a regular file (a FIFO would block every read) stands where the
    // settings file belongs: the defaults apply, and what changes in this run is kept in
    // a file of a temporary folder that goes with the program.
    std::fprintf(stderr,
                 "vantrel: %s is not a regular file: the settings start from their defaults and are not saved\n",
                 appSettingsFile.toLocal8Bit().constData());
    scratchSettings_ = std::make_unique<QTemporaryDir>();
    appSettings_ = std::make_unique<QSettings>(scratchSettings_->filePath(QStringLiteral("settings.ini")),
                                               QSettings::IniFormat);
  }
  // The application's "PROFILES" settings (record-delay mode, profile list) live with the
  // other application settings, in the test's file when one is given.
  if (options_.appSettingsFile.empty()) {
    profileStrings_ = std::make_unique<platform::QtProfileStrings>();
    profileList_ = std::make_unique<QtProfileListSettings>();
  } else {
    const QString file = QString::fromStdString(options_.appSettingsFile.string());
    profileStrings_ = std::make_unique<platform::QtProfileStrings>(file);
    profileList_ = std::make_unique<QtProfileListSettings>(file);
  }
  launcher_ = std::make_unique<platform::DetachedLauncher>();
  autostart_ = std::make_unique<platform::Autostart>();
  keyColours_ = std::make_unique<lighting::KeyColourEditor>(paths_.userFolder,
                                                            programFolder_ / "Skins" / "UserDengColor_3.userd");
  lighting_ = std::make_unique<lighting::LightingSession>(*keyColours_, WskbIni(), &texts_.Texts());
  // While simulating, the virtual keyboard's state file follows every change that device
  // work of any window makes, once the work asked for is done.
  // Idle observers are told after that.
  worker_->SetWhenIdle([this] {
    if (Simulating()) PersistSimState();
    std::lock_guard lock(observersMutex_);
    for (const auto& [id, observer] : idleObservers_) observer();
  });
}

AppCore::~AppCore() {
  Stop();
  session_.reset();
  profiles_.reset();
  presence_.reset();
  worker_.reset();
  std::string error;
  (void)stack_.Close(&error);
}

QString AppCore::SkinFolder() const { return QString::fromStdString((programFolder_ / "Skins").string()); }

bool AppCore::OpenDevice(std::string* error) {
  // The program runs for long: vantrelctl may look at the same virtual keyboard meanwhile.
  stack::StackOptions options = options_.stack;
  options.holdSimLockForRun = false;
  if (!stack_.Open(options, error)) return false;
  // The keyboard is opened on the UI thread. It never waits for the keyboard: a job of the
  // device worker or the presence logic that holds it may be waiting for that thread.
  stack_.Link().SetNeverWaitThread(std::this_thread::get_id());
  keyColours_->SetKeyboardId(scripting::KeyboardId(stack_.Simulating(), SimStateFile()));
  if (auto* shared = stack_.Shared()) {
    generations_ = std::make_unique<GenerationWatch>(QString::fromStdString(shared->GenerationPath().string()));
  }
  return true;
}

std::uint64_t AppCore::ForeignChanges() {
  auto* shared = stack_.Shared();
  if (shared == nullptr || !stack_.IsOpen()) return 0;
  device::KeyboardHold hold(stack_.Link());
  return shared->ForeignChanges();
}

void AppCore::Start(device::PresencePort& port, profiles::ProfileView& view, text::MessageSink& sink) {
  sink_ = std::make_unique<UiMessageSink>(sink);
  presence_ = std::make_unique<device::Presence>(stack_.Link(), stack_.Commands(), port, *sink_, texts_.Texts(),
                                                 keys::InitialFactoryKeyTable(), options_.presenceTiming);
  profiles_ = std::make_unique<profiles::ProfileService>(stack_.Commands(), editing_, applied_,
                                                         presence_->ActiveProfileCache(), paths_, texts_.Texts(),
                                                         *sink_);
  session_ = std::make_unique<profiles::EditSession>(*profiles_, editing_, applied_, texts_.Texts(), *sink_);
  history_ = std::make_unique<profiles::HistoryStore>(platform::HistoryFolderPath());
  recorder_ = std::make_unique<scripting::HistoryRecorder>(*history_, stack_.Commands(), texts_.Texts(),
                                                          profiles::HistorySource::Window);
  recorder_->SetColourFiles(keyColours_.get());
  // A write whose configuration could not be kept is said in the program's log: a lighting
  // step has no outcome the window reports, and a bus call's answer has no room for it.
  recorder_->SetWarningSink([](const std::string& warning) { std::fprintf(stderr, "vantrel: %s\n", warning.c_str()); });
  recorder_->SetOutsideChanges([this] {
    const auto* shared = stack_.Shared();
    return shared != nullptr ? shared->ForeignChanges() : std::uint64_t{0};
  });
  profiles_->SetRecorder(recorder_.get());
  lighting_->SetRecorder(recorder_.get());
  session_->AddView(view);
  session_->SetKeyboardPresent([this] { return presence_ && presence_->KeyboardPresent(); });
  profiles_->SetDeviceFacts([this] {
    profiles::DeviceFacts facts;
    facts.factory = presence_->FactoryKeyTable();
    facts.macroCapacity = presence_->MacroCapacity();
    facts.factoryRead = presence_->FactoryKeyTableRead();
    return facts;
  });
  profiles::EnsureWorkingFolder(paths_);
  presence_->Start(options_.startInTray);
}

void AppCore::Stop() {
  // Work held back for a sleep that never ended runs now rather than never.
  if (worker_) worker_->Gate().Open();
  if (worker_) worker_->WaitIdle();
  // The presence logic goes first (no more count changes or events), then the service
  // that reads its facts, once the worker has finished what was queued meanwhile.
  presence_.reset();
  if (worker_) {
    // The last job: the worker's idle call after it writes the virtual keyboard's state
    // file, with every change made so far (the UI thread never takes the keyboard itself).
    worker_->Post([] {});
    worker_->WaitIdle();
  }
  session_.reset();
  profiles_.reset();
}

std::filesystem::path AppCore::SimStateFile() const {
  if (!Simulating()) return {};
  std::error_code ec;
  const auto path = stack_.SimStatePath();
  const auto canonical = std::filesystem::weakly_canonical(path, ec);
  return ec ? std::filesystem::absolute(path, ec) : canonical;
}

int AppCore::AddIdleObserver(std::function<void()> observer) {
  std::lock_guard lock(observersMutex_);
  const int id = nextObserverId_++;
  idleObservers_.emplace_back(id, std::move(observer));
  return id;
}

void AppCore::RemoveIdleObserver(int id) {
  std::lock_guard lock(observersMutex_);
  std::erase_if(idleObservers_, [id](const auto& entry) { return entry.first == id; });
}

void AppCore::PersistSimStateSoon() {
  if (worker_ && Simulating()) worker_->Post([] {});  // the idle call after it saves
}

void AppCore::PersistSimState() {
  std::string error;
  (void)stack_.SaveSimState(&error);
}

}  // namespace vantrel::ui
