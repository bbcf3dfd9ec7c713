// CPU used by the real main window with the lighting panel's live preview: the program's
// windows built as `vantrel --simulate` builds them (AppCore over the virtual keyboard with
// its usual latency, no tray, so the window is shown at start), then 10 s of the event loop.
// Counter "cpu_percent" is the process CPU time (every thread) over the wall time, 100 = one
// core. Goals: below 5 with the panel open and the window shown, below 0.1 with the window
// hidden or minimised (the preview is paused), below 1 for the shown window with the panel
// closed. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
// BM_Screenshot saves the window with the panel open, for comparing the look of two builds:
// set VANTREL_LOOK_DIR to the folder for the pictures and filter on it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/lighting/lighting.h"
#include "sim/virtual_keyboard.h"
#include "ui/app/app_core.h"
#include "ui/windows/main_window.h"
#include "ui/windows/tray.h"

namespace {

using namespace vantrel;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_lighting_panel";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The event loop as the program runs it: asleep until the next timer or event.
void RunFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

bool RunUntil(const std::function<bool()>& done, int milliseconds = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Nothing is asked during a run; a question would be answered No.
class QuietSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
  bool AskYesNo(std::string_view, bool) override { return false; }
  text::Answer AskYesNoCancel(std::string_view, text::Answer) override { return text::Answer::No; }
};

class NoFiles final : public ui::FileChooser {
 public:
  std::optional<QString> ChooseOpen(QWidget*, const ui::FileChoice&) override { return std::nullopt; }
  std::optional<QString> ChooseSave(QWidget*, const ui::FileChoice&) override { return std::nullopt; }
};

enum class Look { Shown = 0, Hidden = 1, Minimised = 2 };

// The program over a virtual keyboard running `effect` (multicolour) on profile 0, in a
// scratch user folder; the panel open at start when `panelOpen`.
class Program {
 public:
  Program(int effect, bool panelOpen) : panelOpen_(panelOpen) {
    App();
    const std::filesystem::path root(dir_.path().toStdString());
    ui::AppOptions options;
    options.stack.simulate = true;
    options.stack.simStatePath = (root / "keyboard.json").string();
    options.stack.languageId = 1033;
    options.programFolder = VANTREL_BIN_DIR;
    options.userFolder = root / "user";
    options.settingsFile = root / "settings.ini";
    options.appSettingsFile = root / "app.ini";
    std::filesystem::create_directories(options.userFolder);
    // The panel's open state is remembered per user; loading the lighting opens it.
    lighting::WriteDengCheck(options.userFolder / "wskb.ini", panelOpen);
    core_ = std::make_unique<ui::AppCore>(options);
    std::string error;
    if (!core_->OpenDevice(&error)) {
      error_ = "no device stack: " + error;
      return;
    }
    core_->Stack().Keyboard()->Lighting()[0] = static_cast<std::uint8_t>(effect);
    window_ = std::make_unique<ui::CVantrelDlg>(*core_, sink_, files_);
    window_->InitDialog();
    tray_ = std::make_unique<ui::CTrayIcon>(*window_, [] { return false; });
    window_->Start(tray_.get());
    const bool ready = RunUntil([this] {
      return window_->InitDone() && window_->isVisible() && window_->Panel() && !window_->Panel()->Busy() &&
             window_->LightingPanelOpen() == panelOpen_;
    });
    if (!ready) error_ = "the window did not come up as asked";
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (window_ && !window_->Closing()) window_->CloseProgram();
    tray_.reset();
    window_.reset();
    core_.reset();
  }

  const std::string& Error() const { return error_; }
  ui::CVantrelDlg& Window() { return *window_; }

 private:
  QTemporaryDir dir_;
  bool panelOpen_;
  std::string error_;
  QuietSink sink_;
  NoFiles files_;
  std::unique_ptr<ui::AppCore> core_;
  std::unique_ptr<ui::CVantrelDlg> window_;
  std::unique_ptr<ui::CTrayIcon> tray_;
};

// range(0): effect code; range(1): 1 panel open, 0 closed; range(2): a Look.
void BM_MainWindowCpu(benchmark::State& state) {
  const int effect = static_cast<int>(state.range(0));
  const bool panelOpen = state.range(1) != 0;
  const auto look = static_cast<Look>(state.range(2));
  Program program(effect, panelOpen);
  if (!program.Error().empty()) {
    state.SkipWithError(program.Error().c_str());
    return;
  }
  ui::CVantrelDlg& window = program.Window();
  if (look == Look::Hidden) window.hide();
  if (look == Look::Minimised) window.showMinimized();
  RunFor(1000);  // settle: first frames drawn, the pause taken

  ui::LightingPanel* panel = window.Panel();
  const std::size_t repaintsBefore = panel->KeyRepaints();
  double cpuSeconds = 0, wallSeconds = 0;
  for (auto _ : state) {
    QElapsedTimer wall;
    const std::clock_t cpu = std::clock();
    wall.start();
    RunFor(10000);
    cpuSeconds += static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    wallSeconds += static_cast<double>(wall.nsecsElapsed()) / 1e9;
  }
  state.counters["cpu_percent"] = 100.0 * cpuSeconds / wallSeconds;
  state.counters["key_repaints_per_s"] = static_cast<double>(panel->KeyRepaints() - repaintsBefore) / wallSeconds;
}

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"effect", "panel", "look"});
  // Effect 1 (the keyboard's default) and the costliest effect. Each effect measured once
  // for 10 s: effect 4 (the whole keyboard steps through the colour wheel) cost the most,
  // with 2 and 3 next, all three recolouring every key in every frame; 10, 11, 12, 15 and
  // 18 cost less, and the effects without animation next to nothing.
  b->Args({1, 1, static_cast<int>(Look::Shown)});
  b->Args({4, 1, static_cast<int>(Look::Shown)});
  // The preview paused: window hidden (to the tray) and minimised.
  b->Args({1, 1, static_cast<int>(Look::Hidden)});
  b->Args({1, 1, static_cast<int>(Look::Minimised)});
  // The main window shown with the panel closed.
  b->Args({1, 0, static_cast<int>(Look::Shown)});
}
BENCHMARK(BM_MainWindowCpu)->Apply(Cases)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// range(0): effect code. Saves "<platform>_effect<N>_screen.png" (the screen's pixels
// where the window lies, as the window system shows them) and "..._grab.png" (the window
// drawn afresh) into $VANTREL_LOOK_DIR, after the preview has run for a second.
void BM_Screenshot(benchmark::State& state) {
  const QString folder = qEnvironmentVariable("VANTREL_LOOK_DIR");
  if (folder.isEmpty()) {
    state.SkipWithError("VANTREL_LOOK_DIR names no folder");
    return;
  }
  const int effect = static_cast<int>(state.range(0));
  Program program(effect, true);
  if (!program.Error().empty()) {
    state.SkipWithError(program.Error().c_str());
    return;
  }
  ui::CVantrelDlg& window = program.Window();
  RunFor(1000);
  const QString stem = QDir(folder).filePath(
      QStringLiteral("%1_effect%2_").arg(QGuiApplication::platformName()).arg(effect));
  bool saved = true;
  for (auto _ : state) {
    const QRect frame = window.frameGeometry();
    saved &= window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(stem + "screen.png");
    saved &= window.grab().save(stem + "grab.png");
  }
  if (!saved) state.SkipWithError("a picture could not be saved");
}
BENCHMARK(BM_Screenshot)->ArgName("effect")->Arg(20)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
