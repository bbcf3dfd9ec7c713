// vantrel: the tray program. Reads the arguments, settles who is the running instance,
// builds the device stack and the windows, and runs.
#include <QApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scripting/keyboard_tasks.h"
#include "scripting/profile_json.h"
#include "core/text/skin_keys.h"
#include "core/util/regular_file.h"
#include "platform/executable_path.h"
#include "platform/desktop_notifier.h"
#include "platform/program_launcher.h"
#include "platform/sleep_inhibitor.h"
#include "platform/system_bus_probe.h"
#include "platform/single_instance.h"
#include "platform/termination_signals.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_look.h"
#include "ui/skin/skin_placement.h"
#include "ui/dbus/bus_service.h"
#include "ui/dbus/focus_adaptor.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/app/app_core.h"
#include "ui/app/keyboard_watch.h"
#include "ui/windows/main_window.h"
#include "ui/windows/tray.h"

namespace {

using namespace vantrel;

constexpr const char* kUsage =
    "Usage: vantrel [/Start] [/Kill] [OPTION]...\n"
    "  /Start                   start in the tray; do not open the window when the keyboard is found\n"
    "  /Kill                    make the running instance quit (starts nothing)\n"
    "  --simulate[=STATE]       use the virtual keyboard (state file STATE)\n"
    "  --sim-fault KIND@N,...   make the virtual keyboard misbehave on the given requests\n"
    "  --sim-quirk KIND,...     make the virtual keyboard use the protocol's freedom:\n"
    "                           offset-zero, state-noise, lighting-normalised\n"
    "  --sim-latency US         the virtual keyboard's delay per report and direction, in microseconds\n"
    "  --sim-event EVENT        pass an event to the running instance's virtual keyboard:\n"
    "                           unplug, plug, g-layer, indicator-on, indicator-off, lighting-changed,\n"
    "                           reset (back to the factory configuration)\n"
    "  --trace FILE             write every report that crosses the HID boundary to FILE\n"
    "  --language ID            show texts in language ID for this run only\n"
    "  --skin-gallery [--skins DIR]  show every dialog's skin with its controls\n"
    "  --help                   show this help\n";

constexpr const char* kChannelName = "PX204-1127";
// How long "/Kill" waits for the running instance to end after it took the request.
constexpr int kQuitWaitMs = 30000;

struct Arguments {
  bool start = false;
  bool kill = false;
  bool gallery = false;
  bool help = false;
  bool exitWhenShown = false;  // measurement aid: quit once the window is first shown
  QString skins;
  std::optional<std::string> simEvent;
  vantrel::stack::StackOptions stack;
  std::string error;
};

bool EqualsNoCase(const char* a, const char* b) { return QString::fromLocal8Bit(a).compare(b, Qt::CaseInsensitive) == 0; }

Arguments Parse(int argc, char** argv) {
  Arguments a;
  auto value = [&](int& i, const char* name) -> std::optional<std::string> {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') return std::string(argv[i] + n + 1);
    if (std::strcmp(argv[i], name) == 0 && i + 1 < argc) return std::string(argv[++i]);
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (EqualsNoCase(arg, "/Start")) a.start = true;
    else if (EqualsNoCase(arg, "/Kill")) a.kill = true;
    else if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) a.help = true;
    else if (!std::strcmp(arg, "--skin-gallery")) a.gallery = true;
    else if (!std::strcmp(arg, "--exit-when-shown")) a.exitWhenShown = true;
    else if (!std::strcmp(arg, "--simulate")) a.stack.simulate = true;
    else if (!std::strncmp(arg, "--simulate=", 11)) {
      a.stack.simulate = true;
      a.stack.simStatePath = arg + 11;
    } else if (auto v = value(i, "--skins")) a.skins = QString::fromStdString(*v);
    else if (auto v = value(i, "--sim-fault")) a.stack.simFault = *v;
    else if (auto v = value(i, "--sim-quirk")) a.stack.simQuirk = *v;
    else if (auto v = value(i, "--sim-event")) a.simEvent = *v;
    else if (auto v = value(i, "--sim-latency")) {
      try {
        std::size_t used = 0;
        const long long us = std::stoll(*v, &used);
        if (used != v->size() || us < 0 || us > 10000000) throw std::out_of_range(*v);
        a.stack.simLatency = std::chrono::microseconds(us);
      } catch (...) {
        a.error = "--sim-latency: not a delay in microseconds (0..10000000): " + *v;
      }
    }
    else if (auto v = value(i, "--trace")) a.stack.tracePath = *v;
    else if (auto v = value(i, "--language")) {
      try {
        a.stack.languageId = static_cast<std::uint32_t>(std::stoul(*v));
      } catch (...) {
        a.error = "--language: not a language id: " + *v;
      }
    }
    // Anything else is ignored: desktop launchers add arguments of their own.
  }
  return a;
}

// Measurement aid for "--exit-when-shown": on the window's first paint it prints
// "shown NANOSECONDS" (the steady clock, which other processes on this machine read alike)
// and quits.
class FirstPaintReporter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      const auto now = std::chrono::steady_clock::now().time_since_epoch();
      std::printf("shown %lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
      std::fflush(stdout);
      QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool reported_ = false;
};

int RunGallery(int argc, char** argv, QString skins) {
  QApplication app(argc, argv);
  vantrel::ui::ApplySkinLook(app);
  if (skins.isEmpty()) skins = QDir(QCoreApplication::applicationDirPath()).filePath("Skins");
  app.setWindowIcon(vantrel::ui::OptionalIcon(QDir(skins).filePath("vantrel.png")));
  vantrel::ui::SkinGallery window(skins);
  window.setWindowTitle("Vantrel skin gallery");
  window.show();
  return app.exec();
}

// The skin file and the pictures the main window cannot do without, checked before
// anything is built: each must be a regular file (a FIFO would block the start). What is
// wrong comes back as "<path>: <reason>".
std::optional<std::string> SkinFileProblem(const std::filesystem::path& programFolder) {
  const auto skins = programFolder / "Skins";
  std::vector<std::filesystem::path> files = {skins / "Main.ini"};
  for (const auto& name : vantrel::text::SkinStatePictures(vantrel::text::SkinFile::Main)) files.push_back(skins / name);
  for (const auto& file : files) {
    if (std::string problem = vantrel::RegularFileProblem(file); !problem.empty()) {
      return file.string() + ": " + problem;
    }
  }
  return std::nullopt;
}

// The same pictures once Qt can read them: each must hold a picture.
std::optional<std::string> SkinPictureProblem(const std::filesystem::path& programFolder) {
  const QDir skins(QString::fromStdString((programFolder / "Skins").string()));
  for (const auto& name : vantrel::text::SkinStatePictures(vantrel::text::SkinFile::Main)) {
    const QString problem = vantrel::ui::SkinPictureProblem(skins.filePath(QString::fromStdString(name)));
    if (!problem.isEmpty()) return problem.toStdString();
  }
  return std::nullopt;
}

void PrintChannelError(const platform::SingleInstance& instance) {
  std::fprintf(stderr, "vantrel: %s\n", instance.Error().toLocal8Bit().constData());
}

// After a request went unanswered because nothing listens: either the lock's owner is
// gone (carry on as the first instance: nullopt) or it runs without answering (exit 1).
std::optional<int> ReclaimAfterSilence(platform::SingleInstance& instance) {
  switch (instance.TryClaim()) {
    case platform::SingleInstance::Claim::First:
      return std::nullopt;
    case platform::SingleInstance::Claim::Taken:
      std::fprintf(stderr, "vantrel: another instance holds the lock %s but does not answer\n",
                   instance.LockPath().toLocal8Bit().constData());
      return 1;
    case platform::SingleInstance::Claim::Failed:
      break;
  }
  PrintChannelError(instance);
  return 1;
}

// Settles who runs: nullopt when this process is the first instance from now on, else the
// exit code. A second start asks the running instance to show itself; "/Kill" asks it to
// quit and waits until it has ended. A request that is not handled is a failure (1), as
// is a lock or socket that belongs to someone else.
std::optional<int> SettleInstance(platform::SingleInstance& instance, bool kill) {
  using Claim = platform::SingleInstance::Claim;
  const Claim claim = instance.TryClaim();
  if (claim == Claim::First) return std::nullopt;
  if (claim == Claim::Failed) {
    PrintChannelError(instance);
    return 1;
  }
  const platform::InstanceMessage m = kill ? platform::InstanceMessage{ui::MsgQuit, ui::kQuitParam, {}}
                                           : platform::InstanceMessage{ui::MsgOpenWindow, ui::kOpenWindowParam, {}};
  const int status = instance.Send(m);
  if (status == platform::kNoInstance) return ReclaimAfterSilence(instance);
  if (status < 0) {
    PrintChannelError(instance);
    return 1;
  }
  if (!kill) return 0;
  if (status != 0) {
    std::fputs("vantrel: the running instance would not quit\n", stderr);
    return 1;
  }
  if (!instance.WaitForEnd(kQuitWaitMs)) {
    std::fprintf(stderr, "vantrel: the running instance has not ended after %d s\n", kQuitWaitMs / 1000);
    return 1;
  }
  return 0;
}

// "--sim-event": 0 handled, 2 refused (not simulating, unknown event), 3 none runs, 1 the
// request failed.
int SendSimEvent(platform::SingleInstance& instance, const std::string& event) {
  const platform::InstanceMessage m{ui::MsgSimEvent, ui::kSimEventParam, QByteArray::fromStdString(event)};
  auto noneRuns = [] {
    std::fputs("vantrel: no instance is running\n", stderr);
    return 3;
  };
  switch (instance.TryClaim()) {
    case platform::SingleInstance::Claim::First:
      return noneRuns();
    case platform::SingleInstance::Claim::Failed:
      PrintChannelError(instance);
      return 1;
    case platform::SingleInstance::Claim::Taken:
      break;
  }
  const int status = instance.Send(m);
  if (status == platform::kNoInstance) {
    const auto ended = ReclaimAfterSilence(instance);
    return ended ? *ended : noneRuns();
  }
  if (status < 0) {
    PrintChannelError(instance);
    return 1;
  }
  if (status == ui::kSimEventNotSimulating) {
    std::fputs("vantrel: the running instance does not use the virtual keyboard\n", stderr);
    return 2;
  }
  if (status == ui::kSimEventUnknown) {
    std::fprintf(stderr, "vantrel: unknown event %s\n%s", event.c_str(), kUsage);
    return 2;
  }
  return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel;
  Arguments args = Parse(argc, argv);
  if (args.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!args.error.empty()) {
    std::fprintf(stderr, "vantrel: %s\n", args.error.c_str());
    return 2;
  }
  if (args.gallery) return RunGallery(argc, argv, args.skins);

  // Talk to a running instance before touching any device, state file or setting.
  platform::SingleInstance instance(kChannelName);
  if (args.simEvent) return SendSimEvent(instance, *args.simEvent);
  if (const auto ended = SettleInstance(instance, args.kill)) return *ended;
  // "/Kill" with nothing running ends here: a command meant to stop the program never
  // starts it.
  if (args.kill) return 0;

  const std::filesystem::path programFolder = platform::ExecutableFilePath().parent_path();
  if (auto problem = SkinFileProblem(programFolder)) {
    std::fprintf(stderr, "vantrel: required skin file unusable: %s\n", problem->c_str());
    return 1;
  }

  QApplication app(argc, argv);
  app.setApplicationName("Vantrel");
  app.setQuitOnLastWindowClosed(false);
  vantrel::ui::ApplySkinLook(app);
  app.setWindowIcon(
      vantrel::ui::OptionalIcon(QDir(QString::fromStdString((programFolder / "Skins").string())).filePath("vantrel.png")));
  if (auto problem = SkinPictureProblem(programFolder)) {
    std::fprintf(stderr, "vantrel: required skin picture unusable: %s\n", problem->c_str());
    return 1;
  }
  // SIGTERM and SIGINT end the program through its closing routine (state saved, channel
  // closed); one that comes before the window exists is kept until it does.
  ui::CVantrelDlg* mainWindow = nullptr;
  bool endRequested = false;
  platform::TerminationSignals termination([&mainWindow, &endRequested](int) {
    if (mainWindow) mainWindow->CloseProgram();
    else endRequested = true;
  });
  // A picture that still fails to load later names itself and ends with a failure code.
  ui::SetProcessEndAction([](int) {
    std::fprintf(stderr, "vantrel: required skin picture unusable: %s\n", ui::ProcessEndReason().toStdString().c_str());
    std::exit(1);
  });

  ui::AppOptions options;
  options.stack = args.stack;
  options.startInTray = args.start;
  ui::AppCore core(options);
  std::string error;
  if (!core.OpenDevice(&error)) {
    std::fprintf(stderr, "vantrel: %s\n", error.c_str());
    return 1;
  }
  if (!instance.Listen()) {
    std::fprintf(stderr, "vantrel: the single-instance channel could not be opened: %s\n",
                 instance.Error().toLocal8Bit().constData());
  }

  // The companion daemon, when one lies beside us; none is not an error.
  const auto daemon = text::CompanionDaemonPath(programFolder);
  if (std::filesystem::exists(daemon)) {
    platform::DetachedLauncher launcher;
    (void)launcher.Launch(daemon);
  }

  ui::QtMessageSink messages(nullptr, &core.Texts());
  ui::QtFileChooser files;
  ui::CVantrelDlg window(core, messages, files);
  messages.SetParent(&window);
  // A JSON document dropped on the window is read with vantrelctl's reader of the format.
  window.Controller().SetDocumentReader([&core](const std::filesystem::path& path, keys::StoreImage& image,
                                   scripting::ProfileLightings& lighting, std::string& why) {
    return scripting::ReadProfileDocument(path, core.Texts(), image, lighting, why);
  });
  window.InitDialog();
  // An empty or junk skin file, or a background picture that cannot be read, would leave
  // a window of a few pixels.
  if (!window.hasSkin()) {
    std::fprintf(stderr, "vantrel: skin unusable: %s\n", window.skinProblem().toStdString().c_str());
    return 1;
  }
  ui::CTrayIcon tray(window);
  // The keyboard is checked after every arrival and resume; what it lost is told by a
  // desktop notification (the tray's message where the desktop has none).
  const auto& texts = core.Texts();
  platform::DesktopNotifier notifier(QDBusConnection::sessionBus(), QStringLiteral("Vantrel"),
                                     QStringLiteral("input-keyboard"), ui::NoticeFallback(tray, messages, texts));
  ui::KeyboardWatch watch(core, notifier);
  watch.Install();
  QObject::connect(&watch, &ui::KeyboardWatch::lightingWritten, &window, [&window] { window.Controller().ReloadLighting(); });
  // No new write starts while the system goes to sleep, and the sleep waits for the one
  // that runs. Without a system bus or login manager the program runs without that.
  // A system bus that takes the connection and never answers would hold the start for a
  // minute and more: it is asked first, for a few seconds at most.
  std::string systemBusProblem;
  const bool systemBusAnswers = platform::SystemBusAnswers(platform::kSystemBusWait, &systemBusProblem);
  if (!systemBusAnswers) {
    std::fprintf(stderr, "vantrel: %s; running without the sleep inhibitor\n", systemBusProblem.c_str());
  }
  platform::SleepInhibitor inhibitor(
      systemBusAnswers ? QDBusConnection::systemBus() : QDBusConnection(QStringLiteral("vantrel-no-system-bus")),
      QString::fromStdString(texts.Text("SLEEP_INHIBIT_WHY")),
      [&core](std::function<void()> quiet) { core.Worker().Gate().Close(std::move(quiet)); },
      [&core] { core.Worker().Gate().Open(); });
  QObject::connect(&inhibitor, &platform::SleepInhibitor::resumed, &watch, &ui::KeyboardWatch::CheckSoon);
  instance.SetHandler([&window](const platform::InstanceMessage& m) {
    return window.Controller().HandleInstanceMessage(m.message, m.param, m.payload);
  });
  // A closing program takes no more requests: a later start waits for it to end and
  // then becomes the first instance.
  QObject::connect(&window.Controller(), &ui::MainController::closed, &app, [&instance] { instance.Close(); });
  QObject::connect(&window.Controller(), &ui::MainController::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  window.Start(&tray);
  (void)inhibitor.Start();
  mainWindow = &window;
  // Scripts reach the program on the session bus; without one it runs on as before. A
  // closing program gives the name up at once, so a new start can take it.
  QString busError;
  std::unique_ptr<ui::BusService> bus =
      ui::BusService::Start(core, ui::BusHooks{[&window] { window.Controller().ReloadLighting(); }}, &busError);
  if (!bus) {
    std::fprintf(stderr, "vantrel: no scripting interface on the session bus: %s\n", busError.toLocal8Bit().constData());
  }
  // Automatic profiles on KDE Plasma and GNOME (Wayland): the desktop's script or extension
  // reports the focused window to the Focus interface of the same object. On Plasma the
  // program loads its script into KWin itself, and takes it out again when it ends.
  bool kwinScript = false;
  if (bus && window.AutoSwitch()) {
    ui::AutoSwitchController& autoSwitch = *window.AutoSwitch();
    new ui::FocusAdaptor(bus->Object(), autoSwitch);
    if (autoSwitch.SourceKind() == profiles::FocusSourceKind::KWinScript) {
      QString how;
      QString why;
      const QString script = QString::fromStdString((core.ProgramFolder() / "KWin" / "vantrel_focus.js").string());
      kwinScript = ui::LoadKWinFocusScript(script, &how, &why);
      if (kwinScript)
        std::fprintf(stderr, "vantrel: KWin runs the focus script (started with %s)\n", how.toLocal8Bit().constData());
      else
        std::fprintf(stderr, "vantrel: KWin did not run the focus script: %s\n", why.toLocal8Bit().constData());
      autoSwitch.DesktopReportsReady(kwinScript);
    } else {
      autoSwitch.DesktopReportsReady();
    }
  }
  QObject::connect(&window.Controller(), &ui::MainController::closed, &app, [&bus, &kwinScript] {
    if (kwinScript) ui::UnloadKWinFocusScript();
    kwinScript = false;
    bus.reset();
  });
  if (endRequested) QMetaObject::invokeMethod(&window, [&window] { window.CloseProgram(); }, Qt::QueuedConnection);
  if (args.exitWhenShown) {
    // The first paint of the window is the moment the user sees it: its time on the steady
    // clock goes to stdout, then the program ends.
    window.installEventFilter(new FirstPaintReporter(&app));
  }
  const int code = app.exec();
  // However the loop ended, the script loaded into KWin goes with the program.
  if (kwinScript) ui::UnloadKWinFocusScript();
  return code;
}
