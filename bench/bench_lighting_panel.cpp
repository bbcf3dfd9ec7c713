// CPU used by the lighting panel's live preview: the panel open on a stand-in main window
// with 118 key buttons that repaint when their colour changes, over the virtual keyboard,
// for 10 s of the event loop. Counter "cpu_percent" is the process CPU time over the wall
// time (100 = one core). Goals: below 5 with the window shown, below 1 with it hidden (the
// preview is paused). Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>

#include "core/keys/stores.h"
#include "core/lighting/key_buttons.h"
#include "core/lighting/lighting.h"
#include "core/text/language.h"
#include "core/text/skin_keys.h"
#include "sim/sim_harness.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/lighting_panel.h"

namespace {

using namespace vantrel;

const QString kSkins = QStringLiteral(VANTREL_BIN_DIR "/Skins");

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_lighting_panel";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A key button of the stand-in window: its caption face or a flat colour.
class ColourKey final : public QWidget {
 public:
  using QWidget::QWidget;
  void SetColour(const QColor& c) {
    colour_ = c;
    update();
  }
  void Clear() {
    colour_ = QColor();
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), colour_.isValid() ? colour_ : QColor(0x20, 0x24, 0x2C));
  }

 private:
  QColor colour_;
};

class BenchHost final : public ui::LightingPanelHost {
 public:
  explicit BenchHost(QWidget* surface) {
    for (const auto& key : keys::KeyboardLayout()) {
      QString skinKey;
      skinKey = QString::fromStdString(keys::SkinKeyOf(key));
      auto* button = new ColourKey(surface);
      ui::PlaceControl(*button, kSkins + "/Main.ini", "BUTTONINFO", skinKey);
      keys_[key.controlId] = button;
    }
  }
  void SetKeyColour(int controlId, const QColor& colour) override {
    if (auto it = keys_.find(controlId); it != keys_.end()) it->second->SetColour(colour);
  }
  void ShowKeyCaptions() override {
    for (auto& [id, key] : keys_) key->Clear();
  }
  void RedrawKeyFaces() override {}

 private:
  std::map<int, ColourKey*> keys_;
};

class NoMessages final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
  bool AskYesNo(std::string_view, bool) override { return false; }
};

// The event loop as the program runs it: asleep until the next timer or event.
void RunFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// range(0): effect code; range(1): 1 window shown, 0 hidden.
void BM_PreviewCpu(benchmark::State& state) {
  App();
  QTemporaryDir dir;
  const std::filesystem::path user = std::filesystem::path(dir.path().toStdString()) / "user";
  test::SimHarness sim;
  // The keyboard runs the effect in multicolour, so every key changes in each frame.
  sim.keyboard.Lighting()[0] = static_cast<std::uint8_t>(state.range(0));
  sim.keyboard.Lighting()[4] = 1;
  keys::EditingStore editing;
  keys::AppliedStore applied;
  std::atomic<int> cache{0};
  text::MemorySettingsStore settings;
  text::FixedSystemLanguage system(1033);
  text::LanguageTexts texts(VANTREL_BIN_DIR, settings, system);
  NoMessages sink;
  profiles::ProfileService service(sim.commands, editing, applied, cache,
                                   profiles::ProfilePaths{user, std::filesystem::path(VANTREL_BIN_DIR)}, texts, sink);
  profiles::EditSession session(service, editing, applied, texts, sink);
  lighting::LightingState lightingState;
  lighting::KeyColourEditor colours(user, std::filesystem::path(VANTREL_BIN_DIR) / "Skins" / "UserDengColor_3.userd");
  colours.EnsureUserFiles();
  lighting::WriteDengCheck(user / "wskb.ini", true);
  ui::DeviceWorker worker;
  QWidget window;
  window.resize(1340, 556);
  BenchHost host(&window);
  ui::LightingPanel panel(&window, host,
                          ui::LightingPanelDeps{sim.commands, worker, session, lightingState, colours, texts,
                                                user / "wskb.ini", kSkins + "/Main.ini", kSkins});
  panel.DeviceConnected();
  while (panel.Busy()) {
    worker.WaitIdle();
    QCoreApplication::processEvents();
  }
  if (!panel.IsOpen()) {
    state.SkipWithError("panel did not open");
    return;
  }
  if (state.range(1) != 0) window.show();
  RunFor(500);  // settle: first frames, pictures loaded

  const std::size_t repaintsBefore = panel.KeyRepaints();
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
  state.counters["key_repaints_per_s"] = static_cast<double>(panel.KeyRepaints() - repaintsBefore) / wallSeconds;
  window.hide();
}

// Shown: the effects that change the most keys per frame (1, 3, 4 in multicolour) and
// the ripple effects with the most work per step (13, 14); hidden: the same run paused.
BENCHMARK(BM_PreviewCpu)
    ->ArgsProduct({{1, 3, 4, 13, 14}, {1}})
    ->Args({1, 0})
    ->ArgNames({"effect", "shown"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
