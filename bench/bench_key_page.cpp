// The key page on a macro of 2000 steps (the most a macro holds): the time to open the page
// on G1 with that macro assigned, until its rows are shown (goal: under 100 ms), and the
// time to record one key press right after the first row (goal: under 10 ms), each
// including the events the page posts. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <memory>

#include "core/keys/stores.h"
#include "core/text/language.h"
#include "core/text/profile_strings.h"
#include "core/text/settings_store.h"
#include "platform/native_key_codes.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/key_page.h"
#include "ui/windows/macro_editor.h"

namespace {

using namespace vantrel;

constexpr int kG1 = 1000;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_key_page";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class QuietSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
  bool AskYesNo(std::string_view, bool) override { return false; }
  text::Answer AskYesNoCancel(std::string_view, text::Answer) override { return text::Answer::No; }
};

class BenchHost final : public ui::KeyPageHost {
 public:
  std::uint16_t KeyCodeOfButton(int) const override { return 0; }
  QRect ButtonGlobalRect(int) const override { return {100, 100, 40, 40}; }
  int GKeyLayer() const override { return 0; }
  int CurrentProfile() const override { return 0; }
  void SetButtonPressed(int, bool) override {}
  void KeysEdited() override {}
};

// The page over an editing store holding one macro of `steps` steps, assigned to G1.
struct PageFixture {
  explicit PageFixture(std::size_t steps) : system(0x409), texts(VANTREL_BIN_DIR, settings, system) {
    settings.WriteDword("dwLanguageId", 0x409);
    {
      keys::EditingStore::Lock lock(editing);
      keys::MacroRecord macro = keys::NewMacro(u"Long", 1);
      macro.SetNewFlag(0);
      std::vector<keys::MacroAction> actions;
      for (std::size_t i = 0; i < steps; ++i)
        actions.push_back({static_cast<std::int32_t>(10 + i % 500), static_cast<std::uint16_t>(0x010 + i % 40),
                           static_cast<std::uint16_t>(i % 2)});
      macro.SetActions(actions);
      lock->macros.push_back(macro);
      keys::StoreKeyAssignment(lock.Image(), 0, 256, {keys::kKindMacro, 1, 1});
    }
    window.resize(800, 500);
    page = std::make_unique<ui::Vantrel_DlgComposite>(editing, texts, sink, strings, host,
                                                      QStringLiteral(VANTREL_BIN_DIR "/Skins"), &window);
  }
  ~PageFixture() {
    page->ClosePage();
    page.reset();
  }

  QApplication& app = App();  // before any widget
  text::MemorySettingsStore settings;
  text::FixedSystemLanguage system;
  text::LanguageTexts texts;
  QuietSink sink;
  text::MemoryProfileStrings strings;
  BenchHost host;
  keys::EditingStore editing;
  QWidget window;
  std::unique_ptr<ui::Vantrel_DlgComposite> page;
};

void BM_OpenPageOn2000StepMacro(benchmark::State& state) {
  PageFixture f(keys::kMaxActions);
  for (auto _ : state) {
    f.page->Begin(kG1);
    QApplication::processEvents();
    state.PauseTiming();
    if (f.page->macroEditor().actionList()->GetItemCount() != static_cast<int>(keys::kMaxActions))
      state.SkipWithError("the rows are not shown");
    f.page->ClosePage();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenPageOn2000StepMacro)->Unit(benchmark::kMillisecond);

// A key event as the platform delivers it, to the widget with the focus.
void SendKey(QWidget* page, std::uint16_t code, bool release) {
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : page;
  QKeyEvent e(release ? QEvent::KeyRelease : QEvent::KeyPress, 0, Qt::NoModifier,
              platform::NativeScanCodeOfKeyCode(code), 0, 0);
  QApplication::sendEvent(target, &e);
}

void BM_RecordStepAtTheTopOf2000(benchmark::State& state) {
  // 1999 steps, so that the recorded one makes 2000; it is deleted again between rounds.
  PageFixture f(keys::kMaxActions - 1);
  f.page->Begin(kG1);
  ui::MacroEditor& editor = f.page->macroEditor();
  ui::CReportCtrl* list = editor.actionList();
  editor.button(ui::kIdRecord)->click();
  QApplication::processEvents();
  if (!editor.recording()) {
    state.SkipWithError("not recording");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    list->SetItemState(0, ui::kRowSelected, ui::kRowSelected);
    QApplication::processEvents();
    state.ResumeTiming();
    SendKey(f.page.get(), 0x01E, false);
    QApplication::processEvents();
    state.PauseTiming();
    if (editor.actions().size() != keys::kMaxActions) state.SkipWithError("no step recorded");
    editor.StopRecordingIfActive();
    editor.button(ui::kIdStepDelete)->click();  // the new step, selected
    editor.button(ui::kIdRecord)->click();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RecordStepAtTheTopOf2000)->Unit(benchmark::kMillisecond);

}  // namespace
