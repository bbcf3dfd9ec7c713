// Journeys through the program against the virtual keyboard (no latency): start with and
// without the keyboard and a tray, presence changes, profile buttons, the colour view,
// Apply, restore default, G-key layer events and closing. Questions go to a fake sink.
#include "ui/windows/lighting_panel.h"
#include "ui/windows/history_window.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"
#include "ui/windows/file_menu.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QKeyEvent>
#include <QApplication>
#include <QTimer>

#include <QThread>

#include <fstream>
#include <thread>
#include <memory>
#include <sstream>

#include "core/lighting/key_buttons.h"
#include "core/keys/key_codes.h"
#include "core/profiles/profile_file.h"
#include "core/lighting/lighting_record.h"
#include "scripting/keyboard_tasks.h"
#include "scripting/profile_json.h"
#include "sheet/key_sheet_render.h"
#include "platform/native_key_codes.h"
#include "sim/fault_plan.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"
#include "sim/sim_state.h"
#include "ui/skin/skin_placement.h"
#include "ui/ui_test_app.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/key_chooser.h"
#include "ui/windows/key_page.h"
#include "ui/windows/macro_editor.h"
#include "ui/windows/profile_manager.h"
#include "ui/windows/tray.h"
#include "ui/windows/update_dialog.h"
#include "ui/skin/report_ctrl.h"

namespace vantrel::ui {
namespace {

using test::ProcessUntil;

struct Setup {
  bool keyboard = true;
  bool tray = true;
  bool startInTray = false;
  std::uint32_t languageId = 1033;
};

class Program {
 public:
  // quirk: the virtual keyboard's --sim-quirk list.
  explicit Program(const std::string& name, Setup setup = {}, const std::string& quirk = {}) : setup_(setup) {
    test::App();
    dir_ = std::filesystem::temp_directory_path() / ("vantrel_mainwin_" + name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    AppOptions options = test::SimulatedProgramOptions(dir_, setup.languageId);
    options.stack.tracePath = (dir_ / "trace.txt").string();
    options.stack.simQuirk = quirk;
    options.startInTray = setup.startInTray;
    core = std::make_unique<AppCore>(options);
    std::string error;
    EXPECT_TRUE(core->OpenDevice(&error)) << error;
    if (!setup.keyboard) {
      core->Stack().Simulator()->Unplug();
      core->Stack().Simulator()->Drain();
    }
    window = std::make_unique<CVantrelDlg>(*core, sink, files);
    window->SetKeyPageModal(false);  // the key page opens without a nested loop
    window->InitDialog();
    trayAvailable = setup.tray;
    tray = std::make_unique<CTrayIcon>(*window, [this] { return trayAvailable; });
    QObject::connect(&window->Controller(), &MainController::closed, [this] { closed = true; });
    window->Start(tray.get());
    EXPECT_TRUE(ProcessUntil([this] { return window->InitDone(); }));
    Settle();
  }
  ~Program() {
    if (!window->Closing()) window->CloseProgram();
    tray.reset();
    window.reset();
    core.reset();
    std::filesystem::remove_all(dir_);
  }

  // Lets the presence logic, the worker and the queued calls finish.
  void Settle() {
    test::SettleProgram(*core, [this] { return window && window->Panel() && window->Panel()->Busy(); });
  }
  void Event(const char* name) {
    EXPECT_EQ(window->Controller().HandleInstanceMessage(MsgSimEvent, kSimEventParam, QByteArray(name)), kSimEventDone);
    Settle();
  }
  void Click(int id) {
    CPngButton* b = window->Button(id);
    ASSERT_NE(b, nullptr) << id;
    ASSERT_TRUE(b->isEnabled()) << id;
    b->click();
    Settle();
  }
  std::vector<std::string> Trace(std::string_view prefix = "") const {
    std::ifstream in(dir_ / "trace.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
  }
  // The commands sent since `from` trace lines: the command byte of each request that
  // starts a command (offset 0; a long command is cut into several reports).
  std::vector<int> Commands(std::size_t from = 0) const {
    std::vector<int> out;
    const auto lines = Trace();
    auto byte = [](const std::string& line, int n) { return std::stoi(line.substr(7 + 3 * n, 2), nullptr, 16); };
    for (std::size_t i = from; i < lines.size(); ++i) {
      if (lines[i].rfind("> CTRL", 0) != 0) continue;
      if (byte(lines[i], 5) != 0 || byte(lines[i], 6) != 0) continue;
      out.push_back(byte(lines[i], 3));
    }
    return out;
  }
  std::size_t TraceSize() const { return Trace().size(); }
  sim::VirtualKeyboard& Keyboard() { return *core->Stack().Keyboard(); }

  Setup setup_;
  std::filesystem::path dir_;
  test::FakeMessageSink sink;
  test::FakeFileChooser files;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CVantrelDlg> window;
  std::unique_ptr<CTrayIcon> tray;
  bool trayAvailable = true;
  bool closed = false;
};

int Count(const std::vector<int>& commands, int command) {
  return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

TEST(MainWindowJourney, FirstStartWithTheKeyboardReadsItAndOpensTheWindow) {
  Program p("first_start");
  EXPECT_TRUE(p.window->isVisible());
  EXPECT_EQ(p.tray->IconShown(), device::kIconPresent);
  EXPECT_EQ(p.window->windowTitle(), "Vantrel Gaming Keyboard");
  const auto commands = p.Commands();
  // Arrival: the factory table and the state, then the reload of the whole configuration.
  ASSERT_GE(commands.size(), 3u);
  EXPECT_EQ(commands[0], device::kCmdReadFactoryKeyTable);
  EXPECT_GE(Count(commands, device::kCmdReadKeyTable), 1);
  EXPECT_GE(Count(commands, device::kCmdReadMacroArea), 1);
  EXPECT_EQ(Count(commands, device::kCmdWriteDeviceState), 0);
  // 118 key buttons, each with its tooltip; keys are usable.
  EXPECT_EQ(p.window->KeyButtons().size(), 118);
  CPngButton* a = p.window->KeyButton(keys::OrdinaryLayoutKeys()[0].controlId);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->isEnabled());
  EXPECT_FALSE(a->tooltipText().isEmpty());
  EXPECT_FALSE(p.window->Button(ids::kApply)->isEnabled());
  // The profile menu: the default item, then the three slots, the active one checked.
  QMenu menu;
  p.window->BuildProfileMenu(menu);
  QList<QAction*> items;
  for (QAction* action : menu.actions())
    if (!action->isSeparator()) items.push_back(action);
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->data().toInt(), 9000);
  EXPECT_TRUE(items[1 + p.Keyboard().DeviceState()[10]]->isChecked());
  EXPECT_TRUE(p.sink.messages.empty());
  // The tray menu: Open, About, the profile submenu, automatic profiles, the language
  // submenu, the virtual keyboard's events (simulating), "Start with the desktop", Exit.
  QStringList texts;
  for (QAction* action : p.tray->ContextMenu().actions())
    if (!action->isSeparator()) texts << action->text();
  ASSERT_EQ(texts.size(), 8);
  EXPECT_EQ(texts[3], QString::fromStdString(p.core->Texts().Text("MENU_AUTO_PROFILES")));
  EXPECT_EQ(texts[6], QString::fromStdString(p.core->Texts().Text("MENU_AUTOSTART")));
  EXPECT_EQ(texts.front(), QString::fromStdString(p.core->Texts().Text("MENU_11")));
  EXPECT_EQ(texts.back(), QString::fromStdString(p.core->Texts().Text("MENU_33")));
  EXPECT_EQ(p.tray->Icon()->toolTip(), QString::fromStdString(p.core->Texts().Text("KEYBOARD_TRAY_DESC")));
}

TEST(MainWindowJourney, StartSwitchAndAbsentKeyboardKeepTheWindowInTheTray) {
  {
    Program p("start_switch", {.keyboard = true, .tray = true, .startInTray = true});
    EXPECT_FALSE(p.window->isVisible());
    EXPECT_EQ(p.tray->IconShown(), device::kIconPresent);
    // A second start (MsgOpenWindow) brings it up; a wrong parameter is ignored.
    EXPECT_EQ(p.window->Controller().HandleInstanceMessage(MsgOpenWindow, 0x1234, {}), 0);
    p.Settle();
    EXPECT_FALSE(p.window->isVisible());
    EXPECT_EQ(p.window->Controller().HandleInstanceMessage(MsgOpenWindow, kOpenWindowParam, {}), 0);
    p.Settle();
    EXPECT_TRUE(p.window->isVisible());
  }
  Program p("no_keyboard", {.keyboard = false});
  EXPECT_FALSE(p.window->isVisible());
  EXPECT_EQ(p.tray->IconShown(), device::kIconAbsent);
  p.window->Controller().HandleInstanceMessage(MsgOpenWindow, kOpenWindowParam, {});
  p.Settle();
  EXPECT_FALSE(p.window->isVisible());
  EXPECT_EQ(p.sink.messages, (std::vector<std::string>{p.core->Texts().Text("MAIN_NO_DEVICE_PROMPT")}));
  // A later arrival loads the keyboard but never opens the window by itself.
  const std::size_t before = p.TraceSize();
  p.Event("plug");
  EXPECT_EQ(p.tray->IconShown(), device::kIconPresent);
  EXPECT_GE(Count(p.Commands(before), device::kCmdReadKeyTable), 1);
  EXPECT_FALSE(p.window->isVisible());
}

TEST(MainWindowJourney, WithoutATrayTheWindowIsTheProgram) {
  Program p("no_tray", {.keyboard = false, .tray = false});
  EXPECT_TRUE(p.window->isVisible());
  EXPECT_FALSE(p.window->KeyButton(keys::FnLayoutKey().controlId)->isEnabled());
  p.Event("plug");
  EXPECT_TRUE(p.window->KeyButton(keys::FnLayoutKey().controlId)->isEnabled());
  // Unplugging keeps it shown (it would vanish otherwise) with the keys disabled.
  p.Event("unplug");
  EXPECT_TRUE(p.window->isVisible());
  EXPECT_FALSE(p.window->KeyButton(keys::FnLayoutKey().controlId)->isEnabled());
  p.window->close();
  EXPECT_TRUE(p.closed);
}

// The window the keyboard's removal hid comes back with it (it used to stay hidden); the
// about box it closed does not.
TEST(MainWindowJourney, UnplugHidesAndClosesPagesReplugReloadsAndShowsTheWindowAgain) {
  Program p("unplug");
  ASSERT_TRUE(p.window->isVisible());
  p.window->OpenAboutBox();
  ASSERT_TRUE(p.window->AboutBox());
  EXPECT_FALSE(p.window->AboutBox()->windowTitle().isEmpty());
  p.Event("unplug");
  EXPECT_FALSE(p.window->isVisible());
  EXPECT_TRUE(!p.window->AboutBox() || !p.window->AboutBox()->isVisible());
  EXPECT_EQ(p.tray->IconShown(), device::kIconAbsent);
  EXPECT_EQ(p.core->Presence()->ActiveProfileCache().load(), -1);
  const std::size_t before = p.TraceSize();
  p.Event("plug");
  EXPECT_EQ(Count(p.Commands(before), device::kCmdReadFactoryKeyTable), 1);
  EXPECT_TRUE(p.window->isVisible());
  EXPECT_TRUE(!p.window->AboutBox() || !p.window->AboutBox()->isVisible());
  EXPECT_EQ(p.tray->IconShown(), device::kIconPresent);
}

TEST(MainWindowJourney, ProfileButtonsReadLightingAndSwitchOnlyToAnotherProfile) {
  Program p("profiles");
  ASSERT_EQ(p.Keyboard().DeviceState()[10], 0);
  std::size_t before = p.TraceSize();
  p.Click(ids::kProfile1 + 1);
  auto commands = p.Commands(before);
  EXPECT_GE(Count(commands, device::kCmdReadParams), 1);
  EXPECT_EQ(Count(commands, device::kCmdWriteDeviceState), 1);
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 1);
  EXPECT_EQ(p.window->CurrentProfile(), 1);
  EXPECT_TRUE(p.window->Button(ids::kProfile1 + 1)->isSelectedFlag());
  EXPECT_FALSE(p.window->Button(ids::kProfile1)->isSelectedFlag());
  // The same button again reloads the lighting but sends no switch.
  before = p.TraceSize();
  p.Click(ids::kProfile1 + 1);
  commands = p.Commands(before);
  EXPECT_GE(Count(commands, device::kCmdReadParams), 1);
  EXPECT_EQ(Count(commands, device::kCmdWriteDeviceState), 0);
  // The default item of the profile menu keeps the keyboard's profile.
  before = p.TraceSize();
  p.window->ChooseProfileFromMenu(9000);
  p.Settle();
  EXPECT_EQ(Count(p.Commands(before), device::kCmdWriteDeviceState), 0);
  p.window->ChooseProfileFromMenu(9003);
  p.Settle();
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 2);
}

// The window's switch and Apply on keyboards that use the protocol's freedom: both are
// taken at once, with no question and no message.
TEST(MainWindowJourney, SwitchAndApplyWorkOnKeyboardsThatUseTheProtocolsFreedom) {
  for (const char* quirk : {"offset-zero", "state-noise", "lighting-normalised"}) {
    SCOPED_TRACE(quirk);
    Program p(std::string("quirk_") + quirk, {}, quirk);
    std::vector<bool> results;
    QObject::connect(&p.window->Controller(), &MainController::applyFinished, [&](bool result) { results.push_back(result); });
    p.Click(ids::kProfile1 + 2);
    EXPECT_EQ(p.Keyboard().DeviceState()[device::kStateActiveProfile], 2);
    EXPECT_EQ(p.window->CurrentProfile(), 2);

    p.Click(ids::kSwitch);
    p.Click(keys::OrdinaryLayoutKeys()[1].controlId);
    ASSERT_TRUE(p.window->Controller().ApplyPending());
    p.Click(ids::kApply);
    ASSERT_TRUE(ProcessUntil([&] { return results.size() == 1; }, 15000));
    EXPECT_TRUE(results[0]);
    EXPECT_FALSE(p.window->Controller().ApplyPending());
    p.Click(ids::kProfile1);
    EXPECT_EQ(p.Keyboard().DeviceState()[device::kStateActiveProfile], 0);
    EXPECT_TRUE(p.sink.questions.empty()) << ::testing::PrintToString(p.sink.questions);
    EXPECT_TRUE(p.sink.messages.empty()) << ::testing::PrintToString(p.sink.messages);
  }
}

TEST(MainWindowJourney, UnsavedChangesAskBeforeASwitchAndNoKeepsTheProfileFromTheWorkingFile) {
  Program p("switch_question");
  p.Click(ids::kSwitch);
  p.Click(keys::OrdinaryLayoutKeys()[0].controlId);
  ASSERT_TRUE(p.window->Controller().ApplyPending());
  const std::size_t before = p.TraceSize();
  p.sink.answers = {false};
  p.Click(ids::kProfile1 + 2);
  EXPECT_EQ(p.sink.questions, (std::vector<std::string>{p.core->Texts().Text("PROFILE_SELECT_PROMPT")}));
  const auto commands = p.Commands(before);
  EXPECT_EQ(Count(commands, device::kCmdWriteKeyTable), 0);  // No: nothing applied
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 2);
  EXPECT_FALSE(p.window->Controller().ApplyPending());
  EXPECT_EQ(p.window->ColourView(), 0);
}

TEST(MainWindowJourney, ColourViewMarksKeysAndApplyWritesThem) {
  Program p("colour_view");
  const auto& key = keys::OrdinaryLayoutKeys()[0];
  const std::size_t index = keys::KeyIndexOfCode(key.code);
  p.Click(ids::kSwitch);
  EXPECT_EQ(p.window->ColourView(), 1);
  EXPECT_EQ(p.window->Button(ids::kSwitch)->text(), QString::fromStdString(p.core->Texts().Text("MAIN_SWITCH_COLOR_TEXT")));
  p.Click(key.controlId);
  EXPECT_EQ(keys::EditingStore::Lock(p.core->Editing())->table.Record(0, index).selected, 1);
  EXPECT_TRUE(p.window->Controller().ApplyPending());
  EXPECT_TRUE(p.window->Button(ids::kApply)->isEnabled());

  const std::size_t before = p.TraceSize();
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return !p.window->Controller().ApplyPending(); }));
  const auto commands = p.Commands(before);
  ASSERT_GE(commands.size(), 4u);
  EXPECT_EQ(commands.front(), device::kCmdBegin);
  EXPECT_EQ(Count(commands, device::kCmdWriteMacroArea), 1);
  EXPECT_GE(Count(commands, device::kCmdWriteKeyTable), 1);
  // The bracket ends before what was written is read back.
  const auto end = std::find(commands.begin(), commands.end(), device::kCmdEnd);
  ASSERT_NE(end, commands.end());
  EXPECT_EQ(std::count(end, commands.end(), device::kCmdWriteKeyTable), 0);
  EXPECT_EQ(Count(commands, device::kCmdReadKeyTable), Count(commands, device::kCmdWriteKeyTable));
  EXPECT_EQ(Count(commands, device::kCmdReadMacroArea), 1);
  EXPECT_FALSE(p.window->Button(ids::kApply)->isEnabled());
  // The state file follows the keyboard while the program runs.
  sim::VirtualKeyboard saved;
  std::string error;
  ASSERT_TRUE(sim::LoadSimState(p.dir_ / "keyboard.json", saved, &error)) << error;
  EXPECT_EQ(saved.KeyTables(), p.core->Stack().Simulator()->WithKeyboard([](const sim::VirtualKeyboard& k) {
    return k.KeyTables();
  }));
  // Two presses of the switch give the function view and its caption back.
  p.Click(ids::kSwitch);
  EXPECT_EQ(p.window->Button(ids::kSwitch)->text(),
            QString::fromStdString(p.core->Texts().Text("MAIN_SWITCH_FUNCTION_TEXT")));
}

// Fn has no record and no page: a click in the function view leaves it as it was drawn.
TEST(MainWindowJourney, FnClickedInTheFunctionViewIsNotLeftPressed) {
  Program p("fn_click");
  ASSERT_EQ(p.window->ColourView(), 0);
  const int fn = keys::FnLayoutKey().controlId;
  CPngButton* b = p.window->KeyButton(fn);
  ASSERT_NE(b, nullptr);
  ASSERT_FALSE(b->isSelectedFlag());
  p.Click(fn);
  EXPECT_FALSE(b->isSelectedFlag());
  EXPECT_TRUE(p.window->KeyPage() == nullptr || !p.window->KeyPage()->isVisible());
  EXPECT_FALSE(p.window->Controller().ApplyPending());
}

TEST(MainWindowJourney, RestoreDefaultAsksAndOnYesClearsTheKeysAndApplies) {
  Program p("restore_default");
  const auto& key = keys::OrdinaryLayoutKeys()[5];
  const std::size_t index = keys::KeyIndexOfCode(key.code);
  {
    keys::EditingStore::Lock lock(p.core->Editing());
    lock->table.SetRecord(0, index, {keys::kKindDisabled, 0, 0});
  }
  std::size_t before = p.TraceSize();
  p.sink.answers = {false};
  p.Click(ids::kDefault);
  EXPECT_EQ(p.sink.questions.size(), 1u);
  EXPECT_EQ(keys::EditingStore::Lock(p.core->Editing())->table.Record(0, index).kind, keys::kKindDisabled);
  EXPECT_TRUE(p.Commands(before).empty());

  p.sink.answers = {true};
  p.Click(ids::kDefault);
  ASSERT_TRUE(ProcessUntil([&] { return !p.window->Controller().ApplyPending() && !p.window->Controller().ApplyRunning(); }));
  EXPECT_EQ(keys::EditingStore::Lock(p.core->Editing())->table.Record(0, index).kind, keys::kKindFactory);
  EXPECT_GE(Count(p.Commands(before), device::kCmdWriteKeyTable), 1);
  EXPECT_FALSE(p.window->KeyButton(key.controlId)->isSelectedFlag());
}

TEST(MainWindowJourney, ApplyFailingWhenUnpluggedKeepsTheUnsavedState) {
  Program p("apply_unplugged");
  p.Click(ids::kSwitch);
  p.Click(keys::OrdinaryLayoutKeys()[1].controlId);
  ASSERT_TRUE(p.window->Controller().ApplyPending());
  auto* sim = p.core->Stack().Simulator();
  std::string error;
  // The keyboard goes during the macro-area write of the bracket.
  auto plan = sim::FaultPlan::Parse("unplug@" + std::to_string(sim->ConfigRequests() + 2), &error);
  ASSERT_TRUE(plan) << error;
  sim->SetFaults(*plan);
  bool finished = false, ok = true;
  QObject::connect(&p.window->Controller(), &MainController::applyFinished, [&](bool result) {
    finished = true;
    ok = result;
  });
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return finished; }, 15000));
  EXPECT_FALSE(ok);
  EXPECT_TRUE(p.window->Controller().ApplyPending());
  EXPECT_TRUE(p.window->Button(ids::kApply)->isEnabled());
}

TEST(MainWindowJourney, ApplyReadBackDifferenceKeepsTheEditsSaysWhatDiffersAndWritesAgain) {
  Program p("apply_read_back");
  p.Click(ids::kSwitch);
  p.Click(keys::OrdinaryLayoutKeys()[1].controlId);
  ASSERT_TRUE(p.window->Controller().ApplyPending());
  auto* sim = p.core->Stack().Simulator();
  std::string error;
  // The keyboard stores one byte of the macro-area write wrongly and still answers success.
  auto plan = sim::FaultPlan::Parse("corrupt@" + std::to_string(sim->ConfigRequests() + 2), &error);
  ASSERT_TRUE(plan) << error;
  sim->SetFaults(*plan);
  std::vector<bool> results;
  QObject::connect(&p.window->Controller(), &MainController::applyFinished, [&](bool result) { results.push_back(result); });

  // First No: the edits stay pending and nothing more is written.
  p.sink.answers = {false};
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return results.size() == 1; }, 15000));
  EXPECT_FALSE(results[0]);
  EXPECT_TRUE(p.window->Controller().ApplyPending());
  EXPECT_TRUE(p.window->Button(ids::kApply)->isEnabled());
  ASSERT_EQ(p.sink.questions.size(), 1u);
  const std::string question = p.sink.questions[0];
  EXPECT_EQ(question.rfind(p.core->Texts().Text("MAIN_PROMPT_READBACK_FAILED"), 0), 0u) << question;
  EXPECT_NE(question.find('\n'), std::string::npos) << "no difference listed: " << question;
  EXPECT_TRUE(p.sink.messages.empty());

  // The same fault again, then Yes: written once more, and this time the keyboard keeps it.
  plan = sim::FaultPlan::Parse("corrupt@" + std::to_string(sim->ConfigRequests() + 2), &error);
  sim->SetFaults(*plan);
  p.sink.answers = {true};
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return results.size() == 3; }, 15000));
  EXPECT_EQ(results, (std::vector<bool>{false, false, true}));
  EXPECT_FALSE(p.window->Controller().ApplyPending());
  EXPECT_EQ(p.sink.questions.size(), 2u);
}

// The differences are told in the language the window shows, not in the program's own.
TEST(MainWindowJourney, ReadBackDifferencesAreInTheWindowsLanguage) {
  Program p("apply_read_back_fr", {.languageId = 0x040C});
  p.Click(ids::kSwitch);
  p.Click(keys::OrdinaryLayoutKeys()[1].controlId);
  auto* sim = p.core->Stack().Simulator();
  std::string error;
  auto plan = sim::FaultPlan::Parse("corrupt@" + std::to_string(sim->ConfigRequests() + 2), &error);
  ASSERT_TRUE(plan) << error;
  sim->SetFaults(*plan);
  bool finished = false;
  QObject::connect(&p.window->Controller(), &MainController::applyFinished, [&](bool) { finished = true; });
  p.sink.answers = {false};
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return finished; }, 15000));
  ASSERT_EQ(p.sink.questions.size(), 1u);
  const std::string& question = p.sink.questions[0];
  EXPECT_NE(question.find("le clavier contient"), std::string::npos) << question;
  EXPECT_EQ(question.find("the keyboard holds"), std::string::npos) << question;
}

TEST(MainWindowJourney, GKeyLayerEventsRelabelTheGKeysAndWriteTheStatusReport) {
  Program p("g_layer");
  const int g1 = keys::GLayoutKeys()[0].controlId;
  const int g7 = keys::GLayoutKeys()[6].controlId;
  EXPECT_EQ(p.window->KeyButton(g1)->text(), "A1");
  p.Event("g-layer");
  EXPECT_EQ(p.window->KeyButton(g1)->text(), "B1");
  EXPECT_TRUE(p.window->Button(ids::kLockAb)->isToggled());
  // A key click in the second layer edits G7 as code 0x100 + 15.
  p.Click(g7);
  EXPECT_EQ(p.window->EditedKeyValue().code, 0x100 + 15);
  EXPECT_FALSE(p.window->EditedKeyValue().isG9);
  // The keyboard keeps no entry for the second layer's G7: the page says so instead of
  // opening. G9's page opens there for its macros, on record 273.
  EXPECT_FALSE((p.core->Session()->Facts().keyPagesOpen > 0));
  EXPECT_FALSE(p.window->KeyButton(g7)->isSelectedFlag());
  EXPECT_EQ(p.sink.messages, (std::vector<std::string>{p.core->Texts().Text("KEY_GKEY_LAYER2_NOT_KEPT")}));
  p.Click(ids::kMacro);
  ASSERT_NE(p.window->KeyPage(), nullptr);
  EXPECT_EQ(p.window->KeyPage()->keyIndex(), 273);
  EXPECT_TRUE((p.core->Session()->Facts().keyPagesOpen > 0));
  p.window->KeyPage()->ClosePage();
  p.Settle();
  EXPECT_FALSE((p.core->Session()->Facts().keyPagesOpen > 0));
  p.Event("g-layer");
  EXPECT_EQ(p.window->KeyButton(g1)->text(), "A1");
  EXPECT_EQ(p.Trace("> DEL"), (std::vector<std::string>{"> DEL 05 03", "> DEL 05 02"}));
  // The macro button edits G9 on the macro-only page.
  p.Click(ids::kMacro);
  EXPECT_TRUE(p.window->EditedKeyValue().isG9);
  EXPECT_TRUE(p.window->KeyPage()->macroOnly());
  p.window->KeyPage()->ClosePage();
}

TEST(MainWindowJourney, KeyboardEventsSwitchTheIndicatorIconAndReloadTheLighting) {
  Program p("keyboard_events");
  p.Event("indicator-on");
  EXPECT_EQ(p.tray->IconShown(), device::kIconIndicator);
  p.Event("indicator-off");
  EXPECT_EQ(p.tray->IconShown(), device::kIconPresent);
  // A lighting change made on the keyboard reads the lighting once, and nothing else.
  const std::size_t before = p.TraceSize();
  p.Event("lighting-changed");
  const auto commands = p.Commands(before);
  EXPECT_GE(Count(commands, device::kCmdReadParams), 1);
  EXPECT_EQ(Count(commands, device::kCmdReadKeyTable), 0);
  EXPECT_EQ(Count(commands, device::kCmdWriteParams), 0);
}

TEST(MainWindowJourney, FlipIsStoredAndSwapsTheTopLeftKeys) {
  Program p("flip");
  const int f1 = 1010;
  EXPECT_EQ(p.window->Flip(), 0);
  EXPECT_TRUE(p.window->KeyButton(f1)->isEnabled());
  p.Click(ids::kFlip1);
  EXPECT_EQ(p.window->Flip(), 1);
  EXPECT_FALSE(p.window->KeyButton(f1)->isEnabled());
  EXPECT_TRUE(p.window->KeyButton(1014)->isEnabled());  // F5 stays
  p.Click(ids::kFlip2);
  EXPECT_EQ(p.window->Flip(), 0);
  EXPECT_TRUE(p.window->KeyButton(f1)->isEnabled());
  QSettings stored(QString::fromStdString((p.dir_ / "app.ini").string()), QSettings::IniFormat);
  EXPECT_EQ(stored.value("PROFILES/Flip").toString(), "0");
}

TEST(UiMessageSinkThreads, MessagesFromOtherThreadsAreShownOnTheUiThreadWithoutWaiting) {
  test::App();
  struct ThreadRecordingSink final : text::MessageSink {
    void ShowMessage(std::string_view text) override {
      shown.emplace_back(text);
      onUi.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    }
    bool AskYesNo(std::string_view, bool) override { return true; }
    std::vector<std::string> shown;
    std::vector<bool> onUi;
  } inner;
  UiMessageSink sink(inner);
  std::thread worker([&] {
    sink.ShowMessage("first");
    sink.ShowMessage("second");
  });
  worker.join();  // returns although the UI thread has not run the messages yet
  EXPECT_TRUE(inner.shown.empty());
  ASSERT_TRUE(ProcessUntil([&] { return inner.shown.size() == 2; }));
  EXPECT_EQ(inner.shown, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(inner.onUi, (std::vector<bool>{true, true}));
}

TEST(MainWindowJourney, LanguageChoiceIsStoredAndRetranslatesEveryWindow) {
  Program p("language");
  p.window->OpenAboutBox();
  p.window->ChooseLanguage(3);
  QSettings settings(QString::fromStdString((p.dir_ / "settings.ini").string()), QSettings::IniFormat);
  const QString french = QString::fromStdString(p.core->Texts().LookupText("MAIN_CAPTION", 3));
  // An override for this run (--language) wins over the stored choice, which is kept only
  // in memory then; here the override is 1033 and the choice replaces it.
  EXPECT_EQ(p.window->windowTitle(), french);
  EXPECT_EQ(p.window->AboutBox()->windowTitle(),
            QString::fromStdString(p.core->Texts().LookupText("LANG_ABOUT_TITLE", 3)));
  EXPECT_EQ(p.tray->ContextMenu().actions().front()->text(),
            QString::fromStdString(p.core->Texts().LookupText("MENU_11", 3)));
}

// Every window open at the change takes the new language at once, Qt's own texts (the
// message boxes' buttons) included; the on-board profiles are named, not shown as the
// working file's name.
TEST(MainWindowJourney, ALanguageChangeReachesEveryOpenWindowAndQtsOwnTexts) {
  Program p("language_open_windows");
  const auto yesText = [] {
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
  };
  EXPECT_EQ(yesText(), "&Yes");
  p.window->OpenProfileManager();
  p.window->BackupMenu();
  ASSERT_NE(p.window->UpdateDialog(), nullptr);
  p.window->UpdateDialog()->Open();
  p.window->OpenKeyPage(keys::OrdinaryLayoutKeys()[0].controlId);
  p.Settle();
  ASSERT_NE(p.window->KeyPage(), nullptr);
  KeyChooser* chooser = p.window->KeyPage()->keyChooser();
  chooser->ShowNear(QRect(10, 10, 20, 20));

  p.window->ChooseLanguage(3);
  p.Settle();
  const auto french = [&](const char* key) { return QString::fromStdString(p.core->Texts().LookupText(key, 3)); };
  CVantrel_DlgProfile* manager = p.window->ProfileManager();
  EXPECT_EQ(manager->list()->headerItem()->text(0), french("PROFILE_COLUMN_ACTIVE"));
  EXPECT_EQ(manager->list()->headerItem()->text(2), french("PROFILE_COLUMN_PATH"));
  EXPECT_EQ(manager->button(kIdProfileAdd)->text(), french("PROFILE_ADD"));
  EXPECT_EQ(manager->button(kIdProfileApply)->text(), french("PROFILE_APPLY"));
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(manager->list()->GetItemText(row, 1), french(("PROFILE_" + std::to_string(row + 1)).c_str()));
  EXPECT_EQ(p.window->UpdateDialog()->button(kIdUpdateStart)->text(), french("UPDATE_START"));
  EXPECT_EQ(p.window->UpdateDialog()->button(kIdUpdateBackup)->text(), french("UPDATE_BACKUP"));
  EXPECT_EQ(chooser->buttonFor(0x39)->text(), french("IDS_KEYBOARD_SPACE"));
  EXPECT_EQ(p.window->KeyPage()->button(kIdOsk)->accessibleName(), french("COMPOSITE_PROMPT_OSK"));
  EXPECT_NE(yesText(), "&Yes");
  EXPECT_FALSE(yesText().isEmpty());

  // The tray's submenus and the profile menu.
  QStringList titles;
  for (QAction* a : p.tray->ContextMenu().actions())
    if (a->menu()) titles << a->text();
  EXPECT_TRUE(titles.contains(french("MENU_LANGUAGE"))) << titles.join(", ").toStdString();
  EXPECT_TRUE(titles.contains(french("MENU_VIRTUAL_KEYBOARD"))) << titles.join(", ").toStdString();
  QStringList profiles;
  for (QAction* a : p.tray->ProfileMenu().actions())
    if (!a->isSeparator()) profiles << a->text();
  EXPECT_EQ(profiles, (QStringList{french("DEFAULT_PROFILE_NAME"), french("PROFILE_1"), french("PROFILE_2"),
                                   french("PROFILE_3")}));

  // Back to English: Qt's texts too.
  p.window->ChooseLanguage(0);
  p.Settle();
  EXPECT_EQ(yesText(), "&Yes");
  EXPECT_EQ(manager->button(kIdProfileAdd)->text(), QString::fromStdString(p.core->Texts().LookupText("PROFILE_ADD", 0)));
  chooser->hide();
  manager->OnCancel();
  p.window->UpdateDialog()->CloseUpdateDialog();
  p.window->KeyPage()->ClosePage();
}

TEST(MainWindowJourney, ClosingEndsPagesRemovesTheTrayAndFreesTheStores) {
  Program p("closing");
  p.window->OpenAboutBox();
  {
    keys::EditingStore::Lock lock(p.core->Editing());
    lock->macros.push_back(keys::NewMacro(u"m", 1));
  }
  EXPECT_EQ(p.window->Controller().HandleInstanceMessage(MsgQuit, kQuitParam, {}), 0);
  ASSERT_TRUE(ProcessUntil([&] { return p.closed; }));
  EXPECT_FALSE(p.window->isVisible());
  EXPECT_FALSE(p.tray->Shown());
  EXPECT_TRUE(keys::EditingStore::Lock(p.core->Editing())->macros.empty());
}

TEST(MainWindowJourney, TheOtherWindowsAreReachedFromTheMainWindow) {
  Program p("other_windows");
  // The lamp opens the lighting panel; a key click then belongs to the colour brush and
  // opens no key page.
  ASSERT_NE(p.window->Panel(), nullptr);
  p.window->Panel()->ToggleLamp();
  p.Settle();
  ASSERT_TRUE(p.window->LightingPanelOpen());
  p.Click(keys::OrdinaryLayoutKeys()[0].controlId);
  EXPECT_EQ(p.window->KeyPage(), nullptr);
  const QString folder = QDir(VANTREL_BIN_DIR).filePath("../screenshots");
  QDir().mkpath(folder);
  EXPECT_TRUE(p.window->grab().save(QDir(folder).filePath("main_window_lighting.png")));
  p.window->Panel()->ToggleLamp();
  p.Settle();
  EXPECT_FALSE(p.window->LightingPanelOpen());
  // With the panel closed the key page opens for the key.
  p.Click(keys::OrdinaryLayoutKeys()[0].controlId);
  ASSERT_NE(p.window->KeyPage(), nullptr);
  EXPECT_TRUE((p.core->Session()->Facts().keyPagesOpen > 0));
  p.window->KeyPage()->ClosePage();
  p.Settle();
  // The menu button's menu: restore, backup, update, print key map; then automatic profiles
  // and the history; then Undo and Redo, with nothing to take.
  p.Click(ids::kMenu);
  ASSERT_NE(p.window->BackupMenu(), nullptr);
  QStringList menuTexts;
  QAction* historyItem = nullptr;
  for (QAction* action : p.window->BackupMenu()->Menu()->actions()) {
    if (!action->isSeparator()) menuTexts << action->text();
    if (action->objectName() == QStringLiteral("history")) historyItem = action;
  }
  ASSERT_EQ(menuTexts.size(), 8);
  EXPECT_EQ(menuTexts[3], QString::fromStdString(p.core->Texts().Text("MENU_PRINT_KEY_MAP")));
  EXPECT_EQ(menuTexts[4], QString::fromStdString(p.core->Texts().Text("MENU_AUTO_PROFILES")));
  EXPECT_EQ(menuTexts[5], QString::fromStdString(p.core->Texts().Text("MENU_HISTORY")));
  EXPECT_EQ(menuTexts[6], QString::fromStdString(p.core->Texts().Text("MENU_UNDO_NONE")));
  EXPECT_EQ(menuTexts[7], QString::fromStdString(p.core->Texts().Text("MENU_REDO_NONE")));
  p.window->BackupMenu()->Menu()->close();
  ASSERT_NE(historyItem, nullptr);
  historyItem->trigger();
  p.Settle();
  ASSERT_NE(p.window->History(), nullptr);
  EXPECT_TRUE(p.window->History()->isVisible());
  p.window->History()->close();
  // The profiles button opens the manager; the keyboard going ends it as Cancel would.
  p.Click(ids::kProfiles);
  ASSERT_NE(p.window->ProfileManager(), nullptr);
  EXPECT_TRUE((p.core->Session()->Facts().managersOpen > 0));
  EXPECT_TRUE(p.window->ProfileManager()->isVisible());
  p.Event("unplug");
  EXPECT_FALSE((p.core->Session()->Facts().managersOpen > 0));
}

TEST(MainWindowJourney, TrayItemWritesAndRemovesTheAutostartEntry) {
  const auto config = std::filesystem::temp_directory_path() / "vantrel_mainwin_autostart_config";
  std::filesystem::remove_all(config);
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
  {
    Program p("autostart");
    QAction* item = p.tray->AutostartItem();
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isChecked());  // off by default
    EXPECT_FALSE(item->text().startsWith("#Error"));
    item->trigger();
    const auto entry = config / "autostart" / "vantrel.desktop";
    ASSERT_TRUE(std::filesystem::exists(entry));
    std::ifstream in(entry);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("/Start"), std::string::npos) << text;
    item->trigger();
    EXPECT_FALSE(std::filesystem::exists(entry));
  }
  if (saved.isNull()) qunsetenv("XDG_CONFIG_HOME");
  else qputenv("XDG_CONFIG_HOME", saved);
  std::filesystem::remove_all(config);
}

TEST(MainWindowScreenshot, SavesTheMainWindowForReview) {
  Program p("screenshot");
  p.window->Controller().GKeyLayerChanged(0);
  p.Settle();
  const QString folder = QDir(VANTREL_BIN_DIR).filePath("../screenshots");
  QDir().mkpath(folder);
  EXPECT_TRUE(p.window->grab().save(QDir(folder).filePath("main_window.png")));
  // On a real display, the screen as the user sees it (shape, translucent corners).
  if (QGuiApplication::platformName() == "xcb") {
    QTest::qWait(300);
    EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(folder).filePath("main_window_x11.png")));
  }
  p.Click(ids::kSwitch);
  EXPECT_TRUE(p.window->grab().save(QDir(folder).filePath("main_window_colour_view.png")));
}

}  // namespace
}  // namespace vantrel::ui

namespace vantrel::ui {
namespace {

std::size_t FirstKeyIndex() { return keys::KeyIndexOfCode(keys::OrdinaryLayoutKeys()[0].code); }

// The first ordinary key disabled in the current profile, as the key page's Apply stores it.
void DisableFirstKey(Program& p) {
  const int profile = p.window->CurrentProfile();
  {
    keys::EditingStore::Lock lock(p.core->Editing());
    lock->table.SetRecord(static_cast<std::size_t>(profile), FirstKeyIndex(),
                          keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  p.window->KeysEdited();
  p.Settle();
}

// Whether the keyboard holds the first key disabled in a profile.
int SelectedOnKeyboard(Program& p, std::size_t profile) {
  keys::StoreImage back;
  EXPECT_TRUE(test::ReadKeyboard(*p.core, back));
  return back.table.Record(profile, FirstKeyIndex()).kind == keys::kKindDisabled ? 1 : 0;
}

// Yes to the switch question used to write the new profile's table: the edit of profile 1
// never reached the keyboard. The same through the tray's profile menu, which also used to
// leave the window on the old profile.
TEST(MainWindowJourney, YesToTheSwitchQuestionWritesTheEditedProfileFromButtonsAndMenu) {
  Program p("switch_yes");
  DisableFirstKey(p);  // an edit in profile 0 (the first)
  p.sink.answers = {true};
  p.Click(ids::kProfile1 + 2);
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 2);
  EXPECT_EQ(p.window->CurrentProfile(), 2);
  EXPECT_FALSE(p.window->Controller().ApplyPending());
  EXPECT_EQ(SelectedOnKeyboard(p, 0), 1);
  EXPECT_EQ(SelectedOnKeyboard(p, 2), 0);

  // Profile menu: an edit in profile 2, Yes, switch to profile 1 (command 9002).
  DisableFirstKey(p);
  ASSERT_TRUE(p.window->Controller().ApplyPending());
  p.sink.answers = {true};
  p.window->ChooseProfileFromMenu(9002);
  p.Settle();
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 1);
  EXPECT_EQ(SelectedOnKeyboard(p, 2), 1);
  // Every window follows: the profile buttons and the current profile.
  EXPECT_EQ(p.window->CurrentProfile(), 1);
  EXPECT_TRUE(p.window->Button(ids::kProfile1 + 1)->isSelectedFlag());
  EXPECT_FALSE(p.window->Button(ids::kProfile1 + 2)->isSelectedFlag());
}

// Apply before any keyboard was seen used to say the macros do not fit.
TEST(MainWindowJourney, ApplyWithoutAKeyboardSaysSoAndKeepsTheEdits) {
  Program p("apply_no_keyboard", {.keyboard = false, .tray = false});
  p.core->Session()->MarkEdited();
  p.sink.messages.clear();
  p.window->Button(ids::kApply)->setEnabled(true);
  p.Click(ids::kApply);
  EXPECT_EQ(p.sink.messages, (std::vector<std::string>{p.core->Texts().Text("MAIN_NO_DEVICE_PROMPT")}));
  EXPECT_TRUE(p.window->Controller().ApplyPending());
}

// Exit with edits pending used to drop them without a word.
TEST(MainWindowJourney, ExitWithEditsAsksAndCanStayOrApplyFirst) {
  Program p("exit_question");
  p.Click(ids::kSwitch);
  p.Click(keys::OrdinaryLayoutKeys()[0].controlId);
  p.sink.choices = {text::Answer::Cancel};
  p.window->RequestExit();
  p.Settle();
  EXPECT_FALSE(p.closed);
  EXPECT_EQ(p.sink.questions.back(), p.core->Texts().Text("MAIN_PROMPT_EXIT_UNSAVED"));
  EXPECT_TRUE(p.window->Controller().ApplyPending());

  const std::size_t before = p.TraceSize();
  p.sink.choices = {text::Answer::Yes};
  p.window->RequestExit();
  ASSERT_TRUE(ProcessUntil([&] { return p.closed; }));
  // The edit went to the keyboard before the program ended.
  EXPECT_GE(Count(p.Commands(before), device::kCmdWriteKeyTable), 1);
}

// Escape used to hide the window without the closing routine: with no tray the program
// then ran with no window and no icon.
TEST(MainWindowJourney, EscapeNeverLeavesAnInvisibleProgram) {
  Program p("escape", {.tray = false});
  ASSERT_TRUE(p.window->isVisible());
  QTest::keyClick(p.window.get(), Qt::Key_Escape);
  p.Settle();
  EXPECT_TRUE(p.closed);

  Program q("escape_tray");
  q.window->ShowWindowRoutine();
  q.Settle();
  QTest::keyClick(q.window.get(), Qt::Key_Escape);
  q.Settle();
  EXPECT_FALSE(q.closed);
  EXPECT_FALSE(q.window->isVisible());
}

// An unplug and replug used to clear the edits: now the user is asked, and Yes writes them.
TEST(MainWindowJourney, ReplugWithEditsAsksAndWritesThem) {
  Program p("replug_edits");
  DisableFirstKey(p);
  p.Event("unplug");
  EXPECT_TRUE(p.window->Controller().ApplyPending());
  p.sink.answers = {true};
  p.Event("plug");
  p.Settle();
  EXPECT_EQ(p.sink.questions.back(), p.core->Texts().Text("MAIN_PROMPT_RECONNECT"));
  EXPECT_FALSE(p.window->Controller().ApplyPending());
  EXPECT_EQ(SelectedOnKeyboard(p, 0), 1);
}

// Opening the lighting panel used to put the switch question, and No dropped the edits.
TEST(MainWindowJourney, OpeningTheLightingPanelKeepsTheEditsWithoutAQuestion) {
  Program p("lamp_edits");
  p.Click(ids::kSwitch);
  p.Click(keys::OrdinaryLayoutKeys()[0].controlId);
  p.sink.questions.clear();
  p.window->Panel()->ToggleLamp();
  p.Settle();
  EXPECT_TRUE(p.sink.questions.empty());
  EXPECT_TRUE(p.window->Controller().ApplyPending());
  EXPECT_EQ(keys::EditingStore::Lock(p.core->Editing())
                ->table.Record(0, keys::KeyIndexOfCode(keys::OrdinaryLayoutKeys()[0].code))
                .selected,
            1);
}


// The profile manager's Apply used to read the keyboard again over pending edits without a
// word. Now it asks first: No drops them, Yes writes them before the manager's choice.
TEST(MainWindowJourney, ProfileManagerAsksAboutPendingEditsBeforeItsApply) {
  Program p("manager_edits");
  DisableFirstKey(p);  // profile 0
  p.Click(ids::kProfiles);
  auto* manager = p.window->ProfileManager();
  ASSERT_NE(manager, nullptr);
  p.sink.questions.clear();
  p.sink.answers = {false};
  manager->CheckProfileRow(1);
  manager->ApplyProfiles();
  p.Settle();
  EXPECT_EQ(p.sink.questions, (std::vector<std::string>{p.core->Texts().Text("PROFILE_SELECT_PROMPT")}));
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 1);
  EXPECT_EQ(SelectedOnKeyboard(p, 0), 0);  // No: dropped, never written
  EXPECT_FALSE(p.window->Controller().ApplyPending());

  // An edit in the profile now shown, then Yes: the edit reaches the keyboard first.
  DisableFirstKey(p);
  const int edited = p.window->CurrentProfile();
  p.sink.answers = {true};
  manager->CheckProfileRow(2);
  manager->ApplyProfiles();
  p.Settle();
  EXPECT_EQ(p.Keyboard().DeviceState()[10], 2);
  EXPECT_EQ(SelectedOnKeyboard(p, static_cast<std::size_t>(edited)), 1);
  EXPECT_FALSE(p.window->Controller().ApplyPending());
  manager->CloseProfileManager();
}

// The keyboard arrives on another profile than the one last shown: the key picture used to
// be drawn from the old profile while the new one's button was checked.
TEST(MainWindowJourney, KeyPictureAfterArrivalShowsTheKeyboardsProfile) {
  Program p("arrival_picture");
  // Profile 1 gets the first key disabled on the keyboard; then the window shows profile 0.
  p.Click(ids::kProfile1 + 1);
  DisableFirstKey(p);
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return !p.window->Controller().ApplyPending() && !p.window->Controller().ApplyRunning(); }));
  p.Click(ids::kProfile1);
  ASSERT_EQ(p.window->CurrentProfile(), 0);
  const int firstKey = keys::OrdinaryLayoutKeys()[0].controlId;
  ASSERT_FALSE(p.window->KeyButton(firstKey)->isSelectedFlag());

  // Unplugged, the keyboard is switched to profile 1 on its own, then comes back.
  p.Event("unplug");
  p.Keyboard().DeviceState()[10] = 1;
  p.Event("plug");
  p.Settle();
  EXPECT_EQ(p.window->CurrentProfile(), 1);
  EXPECT_TRUE(p.window->Button(ids::kProfile1 + 1)->isSelectedFlag());
  EXPECT_FALSE(p.window->Button(ids::kProfile1)->isSelectedFlag());
  EXPECT_TRUE(p.window->KeyButton(firstKey)->isSelectedFlag()) << "the key picture shows profile 0";
}

// An unplug while the key page records a macro used to lose the recording with the page.
TEST(MainWindowJourney, UnplugWhileRecordingKeepsTheRecordedStepsInTheStore) {
  Program p("unplug_recording");
  p.Click(keys::GLayoutKeys()[0].controlId);
  auto* page = p.window->KeyPage();
  ASSERT_NE(page, nullptr);
  auto click = [&](int id) {
    CPngButton* b = page->button(id);
    if (!b) b = page->macroEditor().button(id);
    ASSERT_NE(b, nullptr) << id;
    QTest::mouseClick(b, Qt::LeftButton);
  };
  click(kIdTabMacro);
  click(kIdMacroAdd);
  click(kIdRecord);
  ASSERT_TRUE(page->macroEditor().recording());
  for (bool release : {false, true}) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : page;
    QKeyEvent e(release ? QEvent::KeyRelease : QEvent::KeyPress, 0, Qt::NoModifier,
                platform::NativeScanCodeOfKeyCode(0x01E), 0, 0);
    QApplication::sendEvent(target, &e);
  }
  ASSERT_EQ(page->macroEditor().actions().size(), 2u);

  p.Event("unplug");
  EXPECT_EQ(p.window->KeyPage() == nullptr || !p.window->KeyPage()->isVisible(), true);
  EXPECT_TRUE(p.window->Controller().ApplyPending());
  keys::EditingStore::Lock lock(p.core->Editing());
  ASSERT_EQ(lock->macros.size(), 1u);
  EXPECT_EQ(lock->macros[0].ActionCount(), 2u);
}

// While the key page was open the tray menu did not open, so Exit was out of reach. Exit
// from the tray now asks about the edits, closes the page as Cancel would, and ends.
TEST(MainWindowJourney, TrayExitWhileTheKeyPageIsOpenClosesItAndEnds) {
  Program p("tray_exit_page");
  DisableFirstKey(p);
  p.window->SetKeyPageModal(true);
  p.sink.choices = {text::Answer::No};  // close without applying
  const std::size_t before = p.TraceSize();
  bool pageWasWindowModal = false;
  QTimer::singleShot(50, [&] {
    auto* page = p.window->KeyPage();
    pageWasWindowModal = page && page->isVisible() && page->windowModality() == Qt::WindowModal;
    // Exit as the tray's menu item triggers it.
    const auto actions = p.tray->ContextMenu().actions();
    ASSERT_FALSE(actions.isEmpty());
    actions.back()->trigger();
  });
  p.window->OpenKeyPage(keys::OrdinaryLayoutKeys()[0].controlId);  // returns when the page ends
  ASSERT_TRUE(ProcessUntil([&] { return p.closed; }));
  EXPECT_TRUE(pageWasWindowModal);
  EXPECT_EQ(p.sink.questions.back(), p.core->Texts().Text("MAIN_PROMPT_EXIT_UNSAVED"));
  EXPECT_EQ(Count(p.Commands(before), device::kCmdWriteKeyTable), 0);  // No: nothing written
}

}  // namespace
}  // namespace vantrel::ui

#include <QFocusEvent>
#include <QLineEdit>

#include "core/lighting/colour.h"
#include "core/text/safe_format.h"

namespace vantrel::ui {
namespace {

QString Text(Program& p, const char* key) { return QString::fromStdString(p.core->Texts().Text(key)); }

sim::VirtualKeyboard SavedKeyboard(Program& p) {
  sim::VirtualKeyboard saved;
  std::string error;
  EXPECT_TRUE(sim::LoadSimState(p.dir_ / "keyboard.json", saved, &error)) << error;
  return saved;
}

// The Caps, Num and Scroll lamps never lit, and only the G-layer lamp followed anything.
TEST(MainWindowJourney, LampsShowTheHostsLockStatesAndTheGKeyLayer) {
  Program p("lamps");
  std::optional<platform::LockKeys> host = platform::LockKeys{.caps = true, .num = false, .scroll = true};
  p.window->SetLockKeySource([&] { return host; });
  auto lit = [&](int id) { return p.window->Button(id)->isToggled(); };
  EXPECT_TRUE(lit(ids::kLockCaps));
  EXPECT_FALSE(lit(ids::kLockNum));
  EXPECT_TRUE(lit(ids::kLockScroll));
  EXPECT_FALSE(lit(ids::kLockAb));
  // The window keeps looking while it is shown.
  host = platform::LockKeys{.caps = false, .num = true, .scroll = false};
  ASSERT_TRUE(ProcessUntil([&] { return lit(ids::kLockNum); }));
  EXPECT_FALSE(lit(ids::kLockCaps));
  // The G-key layer lights its own lamp and none of the lock lamps.
  p.Event("g-layer");
  EXPECT_TRUE(lit(ids::kLockAb));
  EXPECT_FALSE(lit(ids::kLockCaps));
  EXPECT_EQ(p.window->Button(ids::kLockAb)->tooltipText(), Text(p, "MAIN_LOCK_GLAYER_PROMPT"));
  EXPECT_EQ(p.window->Button(ids::kLockCaps)->tooltipText(), Text(p, "MAIN_LOCK_CAPS_PROMPT"));
  // A system that does not tell its lock states greys the three lamps instead.
  host.reset();
  p.window->RefreshLockLamps();
  for (int id : {ids::kLockCaps, ids::kLockNum, ids::kLockScroll}) {
    EXPECT_FALSE(p.window->Button(id)->isEnabled()) << id;
    EXPECT_FALSE(lit(id)) << id;
  }
}

// Flip only greyed F1..F4: the six keys that take their place never appeared, and an
// arrival enabled F1..F4 again.
TEST(MainWindowJourney, FlipShowsSixMediaKeysInThePlaceOfF1ToF4) {
  Program p("flip_keys");
  auto shown = [&](int id) {
    CPngButton* b = p.window->Button(id);
    return b && b->isVisibleTo(p.window.get()) && b->isEnabled();
  };
  auto arrow = [&] {
    for (auto* b : p.window->findChildren<CPngButton*>())
      if (b->controlId() == ids::kLeftArrow) return b;
    return static_cast<CPngButton*>(nullptr);
  };
  ASSERT_NE(arrow(), nullptr);
  const QPoint downFace = arrow()->faceOrigin();
  const QString downTip = arrow()->tooltipText();
  for (int id = ids::kFlipOffFirst; id <= ids::kFlipOffLast; ++id) EXPECT_TRUE(shown(id)) << id;
  for (int id = ids::kFlipOnFirst; id <= ids::kFlipOnLast; ++id) EXPECT_FALSE(shown(id)) << id;

  p.Click(ids::kFlip1);
  const QRect span = p.window->Button(ids::kFlipOffFirst)->geometry().united(p.window->Button(ids::kFlipOffLast)->geometry());
  QRect covered;
  for (int id = ids::kFlipOffFirst; id <= ids::kFlipOffLast; ++id) EXPECT_FALSE(shown(id)) << id;
  for (int id = ids::kFlipOnFirst; id <= ids::kFlipOnLast; ++id) {
    ASSERT_TRUE(shown(id)) << id;
    CPngButton* b = p.window->Button(id);
    EXPECT_FALSE(b->text().isEmpty());
    EXPECT_FALSE(b->tooltipText().isEmpty());
    EXPECT_NE(b->tooltipText(), "#Error");
    covered = covered.united(b->geometry());
  }
  EXPECT_EQ(covered, span);
  EXPECT_EQ(p.window->Button(ids::kFlipOnFirst + 2)->tooltipText(), Text(p, "MEDIA_PALY_PAUSE_2"));
  // The arrows turn up and light; their tooltip says which keys are shown.
  EXPECT_NE(arrow()->faceOrigin(), downFace);
  EXPECT_EQ(arrow()->tooltipText(), Text(p, "MAIN_FLIP_STATE_MEDIA"));
  EXPECT_EQ(p.window->Button(ids::kFlip2)->tooltipText(), Text(p, "MAIN_FLIP_SWITCH_PROMPT"));
  const QString folder = QDir(VANTREL_BIN_DIR).filePath("../screenshots");
  QDir().mkpath(folder);
  EXPECT_TRUE(p.window->grab().save(QDir(folder).filePath("main_window_flip.png")));
  // A click on a media key edits nothing.
  p.Click(ids::kFlipOnFirst);
  EXPECT_EQ(p.window->KeyPage(), nullptr);
  // Unplugged they are greyed with the other keys; the keyboard's return keeps the layout.
  p.Event("unplug");
  EXPECT_FALSE(p.window->Button(ids::kFlipOnFirst)->isEnabled());
  p.Event("plug");
  EXPECT_FALSE(p.window->Button(ids::kFlipOffFirst)->isEnabled());
  EXPECT_TRUE(p.window->Button(ids::kFlipOnFirst)->isEnabled());

  p.Click(ids::kFlip2);
  for (int id = ids::kFlipOffFirst; id <= ids::kFlipOffLast; ++id) EXPECT_TRUE(shown(id)) << id;
  EXPECT_FALSE(shown(ids::kFlipOnFirst));
  EXPECT_EQ(arrow()->faceOrigin(), downFace);
  EXPECT_EQ(arrow()->tooltipText(), downTip);
}

// The RGB fields looked editable but took nothing typed.
TEST(MainWindowJourney, TypedRgbValuesSetTheColourLikeTheColourButton) {
  Program p("rgb_fields");
  auto* red = qobject_cast<QLineEdit*>(p.window->Panel()->Control(panel_id::kRgbEditRed));
  auto* green = qobject_cast<QLineEdit*>(p.window->Panel()->Control(panel_id::kRgbEditRed + 1));
  ASSERT_TRUE(red && green);
  EXPECT_FALSE(red->isReadOnly());
  const lighting::Rgb before = p.window->Panel()->View().colour;
  const auto lightingBefore = p.Keyboard().Lighting();
  red->selectAll();
  QTest::keyClicks(red, "300");  // only 0..255 can be typed: "30"
  EXPECT_EQ(red->text(), "30");
  red->selectAll();
  QTest::keyClicks(red, "200");
  QTest::keyClick(red, Qt::Key_Return);
  p.Settle();
  const lighting::Rgb colour = p.window->Panel()->View().colour;
  EXPECT_EQ(lighting::RedOf(colour), 200);
  EXPECT_EQ(lighting::GreenOf(colour), lighting::GreenOf(before));
  EXPECT_EQ(lighting::BlueOf(colour), lighting::BlueOf(before));
  EXPECT_NE(p.Keyboard().Lighting(), lightingBefore);
  auto* button = qobject_cast<CSkinColorBtn*>(p.window->Panel()->Control(panel_id::kFyColourButton));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->color().red(), 200);
  // A field left empty shows the colour again; the same value again writes nothing.
  green->clear();
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(green, &out);
  EXPECT_EQ(green->text(), QString::number(lighting::GreenOf(before)));
  const std::size_t again = p.TraceSize();
  red->setText("200");
  QTest::keyClick(red, Qt::Key_Return);
  p.Settle();
  EXPECT_EQ(p.TraceSize(), again);
}

// Help and the web link failed without a word when the desktop had nothing to open them.
TEST(MainWindowJourney, HelpAndLinkSaySoWhenTheDesktopCannotOpenThem) {
  Program p("open_failed");
  std::vector<QUrl> asked;
  bool opens = false;
  p.window->SetUrlOpener([&](const QUrl& url) {
    asked.push_back(url);
    return opens;
  });
  p.Click(ids::kHelp);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].isLocalFile());
  EXPECT_TRUE(asked[0].toLocalFile().endsWith("Help/index.html"));
  const std::string format = p.core->Texts().Text("MAIN_PROMPT_OPEN_FAILED");
  ASSERT_EQ(p.sink.messages.size(), 1u);
  EXPECT_EQ(p.sink.messages[0],
            text::FormatWithString(format, QDir::toNativeSeparators(asked[0].toLocalFile()).toStdString()));
  p.Click(ids::kWebLink);
  ASSERT_EQ(asked.size(), 2u);
  ASSERT_EQ(p.sink.messages.size(), 2u);
  EXPECT_EQ(p.sink.messages[1], text::FormatWithString(format, asked[1].toString().toStdString()));
  // Opened: nothing to say.
  opens = true;
  p.Click(ids::kHelp);
  p.Click(ids::kLink);
  EXPECT_EQ(asked.size(), 4u);
  EXPECT_EQ(p.sink.messages.size(), 2u);
}

// Only the main window's own device jobs saved the virtual keyboard's state; the lighting
// panel's writes (and the other windows') were lost from the state file.
TEST(MainWindowJourney, StateFileFollowsProfileButtonsAndLightingChanges) {
  Program p("state_file");
  p.Click(ids::kProfile1 + 1);
  ASSERT_EQ(p.Keyboard().DeviceState()[10], 1);
  EXPECT_EQ(SavedKeyboard(p).DeviceState()[10], 1);

  const auto lightingBefore = p.Keyboard().Lighting();
  auto* rate = qobject_cast<CPngButton*>(p.window->Panel()->Control(ids::kReport[2]));
  ASSERT_NE(rate, nullptr);
  rate->click();
  p.Settle();
  ASSERT_NE(p.Keyboard().Lighting(), lightingBefore);
  EXPECT_EQ(SavedKeyboard(p).Lighting(), p.Keyboard().Lighting());

  // A colour typed into the RGB fields as well.
  auto* blue = qobject_cast<QLineEdit*>(p.window->Panel()->Control(panel_id::kRgbEditRed + 2));
  ASSERT_NE(blue, nullptr);
  blue->setText("17");
  QTest::keyClick(blue, Qt::Key_Return);
  p.Settle();
  EXPECT_EQ(SavedKeyboard(p).Lighting(), p.Keyboard().Lighting());
}

// Records what the window prints instead of asking with the print dialog.
class FakeSheetPrinter final : public SheetPrinter {
 public:
  bool Print(QWidget*, const std::vector<keys::KeySheet>& s) override {
    printed.push_back(s);
    return true;
  }
  std::vector<std::vector<keys::KeySheet>> printed;
};

TEST(MainWindowKeyMap, PrintKeyMapPrintsTheShownProfileWithItsEditsInWords) {
  Program p("print_key_map");
  FakeSheetPrinter printer;
  p.window->SetSheetPrinter(printer);
  p.Click(ids::kProfile1 + 2);
  const auto capsIndex = keys::KeyIndexOfCode(0x3A);
  {
    keys::EditingStore::Lock lock(p.core->Editing());
    lock->table.SetRecord(2, capsIndex, {keys::kKindKey, 0, keys::kCodeLeftCtrl, 0, 0});
  }
  QMenu* menu = p.window->BackupMenu()->Menu();
  ASSERT_EQ(menu->actions().size(), 4);
  QAction* print = menu->actions()[3];
  EXPECT_EQ(print->text(), QString::fromStdString(p.core->Texts().Text("MENU_PRINT_KEY_MAP")));
  EXPECT_EQ(print->data().toInt(), kCmdPrintKeyMap);
  print->trigger();
  ASSERT_EQ(printer.printed.size(), 1u);
  ASSERT_EQ(printer.printed[0].size(), 1u);
  const keys::KeySheet& sheet = printer.printed[0][0];
  EXPECT_EQ(sheet.title, text::FormatWithString(p.core->Texts().Text("SHEET_TITLE"), p.core->Texts().Text("PROFILE_3")));
  // The picture comes from the window's own skin: every key it shows is on the sheet.
  EXPECT_EQ(sheet.keys.size(), keys::kLayoutKeyCount);
  const auto caps = std::find_if(sheet.keys.begin(), sheet.keys.end(),
                                 [](const keys::SheetKey& k) { return !k.assignment.empty(); });
  ASSERT_NE(caps, sheet.keys.end());
  EXPECT_EQ(caps->assignment, keys::KeyDisplayName(keys::kCodeLeftCtrl, p.core->Texts()));
  // What the print dialog's printer would get, kept for review.
  QImage page(static_cast<int>(sheet::kPageWidth / 2), static_cast<int>(sheet::kPageHeight / 2), QImage::Format_RGB32);
  QPainter painter(&page);
  sheet::DrawKeySheet(painter, sheet, QRectF(0, 0, page.width(), page.height()), false);
  painter.end();
  const QString folder = QDir(VANTREL_BIN_DIR).filePath("../screenshots/sheet");
  QDir().mkpath(folder);
  EXPECT_TRUE(page.save(QDir(folder).filePath("printed_from_window.png")));
}

TEST(MainWindowKeyMap, ADroppedProfileFileIsRestoredOnlyWhenTheUserSaysYes) {
  Program p("drop_profile");
  keys::StoreImage image;
  image.table = profiles::DefaultAssignmentTable();
  image.table.SetRecord(0, keys::KeyIndexOfCode(0x01), {keys::kKindDisabled, 0, 0, 0, 0});
  const auto file = p.dir_ / "dropped.vnp";
  ASSERT_TRUE(profiles::SaveProfileImage(file, image));
  const QString path = QString::fromStdString(file.string());

  std::size_t before = p.TraceSize();
  EXPECT_FALSE(p.window->Controller().OfferDroppedFile(path));  // No: nothing happens
  p.Settle();
  ASSERT_EQ(p.sink.questions.size(), 1u);
  EXPECT_EQ(p.sink.questions[0], text::FormatWithString(p.core->Texts().Text("DROP_RESTORE_PROMPT"),
                                                        QDir::toNativeSeparators(path).toStdString()));
  EXPECT_EQ(Count(p.Commands(before), device::kCmdWriteKeyTable), 0);

  // Yes: the restore writes the key tables.
  p.sink.answers = {true};
  before = p.TraceSize();
  EXPECT_TRUE(p.window->Controller().OfferDroppedFile(path));
  p.Settle();
  EXPECT_TRUE(ProcessUntil([&] { return !p.window->BackupMenu()->restoring(); }));
  p.Settle();
  EXPECT_EQ(p.sink.questions.size(), 2u);
  EXPECT_GE(Count(p.Commands(before), device::kCmdWriteKeyTable), 1);  // the one profile that differs
  // The restore says it worked (it used to say nothing).
  EXPECT_EQ(p.sink.messages, (std::vector<std::string>{text::FormatWithString(
                                 p.core->Texts().Text("MAIN_PROMPT_RESTORE_DONE"), file.string())}));
}

TEST(MainWindowKeyMap, ADroppedDocumentIsReadByTheReaderAndInstalled) {
  Program p("drop_document");
  const auto file = p.dir_ / "setup.json";
  std::ofstream(file) << "{}";
  const QString path = QString::fromStdString(file.string());
  // Without a reader a document is not offered at all.
  EXPECT_FALSE(p.window->Controller().OfferDroppedFile(path));
  EXPECT_TRUE(p.sink.questions.empty());

  bool read = false;
  p.window->Controller().SetDocumentReader([&](const std::filesystem::path& at, keys::StoreImage& image,
                                  scripting::ProfileLightings&, std::string& why) {
    read = true;
    if (at != file) {
      why = "wrong file";
      return false;
    }
    image.table.SetRecord(0, keys::KeyIndexOfCode(0x3A), {keys::kKindDisabled, 0, 0, 0, 0});
    return true;
  });
  EXPECT_FALSE(p.window->Controller().OfferDroppedFile(path));  // answered No
  EXPECT_FALSE(read);
  ASSERT_EQ(p.sink.questions.size(), 1u);
  EXPECT_EQ(p.sink.questions[0], text::FormatWithString(p.core->Texts().Text("DROP_IMPORT_PROMPT"),
                                                        QDir::toNativeSeparators(path).toStdString()));

  p.sink.answers = {true};
  const std::size_t before = p.TraceSize();
  EXPECT_TRUE(p.window->Controller().OfferDroppedFile(path));
  p.Settle();
  EXPECT_TRUE(read);
  EXPECT_GE(Count(p.Commands(before), device::kCmdWriteKeyTable), 1);
  EXPECT_TRUE(p.sink.messages.empty());

  // A document the reader refuses: its reason is shown and nothing is sent.
  p.window->Controller().SetDocumentReader([](const std::filesystem::path&, keys::StoreImage&, scripting::ProfileLightings&,
                                 std::string& why) {
    why = "profiles[0].keys[0].kind: unknown kind 'teleport'";
    return false;
  });
  p.sink.answers = {true};
  const std::size_t later = p.TraceSize();
  EXPECT_FALSE(p.window->Controller().OfferDroppedFile(path));
  p.Settle();
  ASSERT_EQ(p.sink.messages.size(), 1u);
  EXPECT_NE(p.sink.messages[0].find("unknown kind 'teleport'"), std::string::npos);
  EXPECT_EQ(Count(p.Commands(later), device::kCmdWriteKeyTable), 0);
  // A folder is never offered.
  EXPECT_FALSE(p.window->Controller().OfferDroppedFile(QString::fromStdString(p.dir_.string())));
}

// A dropped document carries its lighting as an imported one does: the keyboard takes
// profile 0's record and key colours from it and the panel shows the new lighting. A part
// that cannot be written is told after the apply-failed text.
TEST(MainWindowKeyMap, ADroppedDocumentWritesItsLightingAndThePanelShowsIt) {
  Program p("drop_lighting");
  const text::TextSource& texts = p.core->Texts();
  p.window->Controller().SetDocumentReader([&texts](const std::filesystem::path& at, keys::StoreImage& image,
                                       scripting::ProfileLightings& lighting, std::string& why) {
    return scripting::ReadProfileDocument(at, texts, image, lighting, why);
  });
  lighting::LightingRecord record{};
  std::copy_n(p.Keyboard().Lighting().begin(), record.size(), record.begin());
  auto fields = lighting::DecodeLightingRecord(record);
  const std::uint8_t effect = fields.effect == 5 ? 6 : 5;
  const std::uint8_t brightness = fields.brightness == 1 ? 2 : 1;
  fields.effect = effect;
  fields.brightness = brightness;
  lighting::EncodeLightingRecord(fields, record);
  scripting::ProfileLightings parts;
  scripting::SetRecord(parts[0], record);
  parts[0].keyColours.emplace();
  parts[0].keyColours->fill(lighting::MakeRgb(1, 2, 3));
  keys::StoreImage image;
  {
    keys::EditingStore::Lock lock(p.core->Editing());
    image = lock.Image();
  }
  const auto file = p.dir_ / "lit.json";
  std::ofstream(file) << scripting::ExportProfileJson(image, texts, parts);
  const QString path = QString::fromStdString(file.string());

  p.sink.answers = {true};
  ASSERT_TRUE(p.window->Controller().OfferDroppedFile(path));
  p.Settle();
  EXPECT_TRUE(p.sink.messages.empty()) << p.sink.messages.front();
  EXPECT_EQ(p.Keyboard().Lighting()[lighting::kRecEffect], effect);
  EXPECT_EQ(p.Keyboard().Lighting()[lighting::kRecBrightness], brightness);
  const auto& colours = p.Keyboard().KeyColours();
  EXPECT_EQ(std::vector<int>(colours.begin(), colours.begin() + 6), (std::vector<int>{1, 2, 3, 1, 2, 3}));
  ASSERT_NE(p.window->Panel(), nullptr);
  EXPECT_TRUE(ProcessUntil([&] { return p.window->Panel()->View().effect == effect; }));
  EXPECT_EQ(p.window->Panel()->View().brightness, brightness);

  // Profile 0's colour file cannot be written (a folder stands in its place): the
  // message names it after the apply-failed text.
  parts[0].userModes.emplace();
  std::ofstream(file) << scripting::ExportProfileJson(image, texts, parts);
  const auto colourFile = p.core->KeyColours().UserFile(0);
  std::filesystem::remove(colourFile);
  std::filesystem::create_directories(colourFile / "blocked");
  p.sink.answers = {true};
  ASSERT_TRUE(p.window->Controller().OfferDroppedFile(path));
  p.Settle();
  ASSERT_EQ(p.sink.messages.size(), 1u);
  EXPECT_EQ(p.sink.messages[0], texts.Text("MAIN_PROMPT_APPLY_FAILED") + "\n" +
                                    QDir::toNativeSeparators(path).toStdString() + ": cannot write " +
                                    colourFile.string());
}

// Escape or the close button on a question whose No drops the edits used to answer No: the
// program switched (or read the keyboard) and the edit was gone. Cancel now stays: same
// profile, edit kept, nothing written; for the profile buttons, the profile menu, the
// profile manager's OK and the keyboard's return.
TEST(MainWindowJourney, CancelOnAQuestionThatWouldDropTheEditsKeepsThemAndWritesNothing) {
  Program p("cancel_keeps_edits");
  DisableFirstKey(p);  // profile 0
  const auto unchanged = [&p](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(p.Keyboard().DeviceState()[10], 0);
    EXPECT_EQ(p.window->CurrentProfile(), 0);
    EXPECT_TRUE(p.window->Button(ids::kProfile1)->isSelectedFlag());
    EXPECT_TRUE(p.window->Controller().ApplyPending());
    EXPECT_EQ(keys::EditingStore::Lock(p.core->Editing())->table.Record(0, FirstKeyIndex()).kind,
              keys::kKindDisabled);
    EXPECT_EQ(SelectedOnKeyboard(p, 0), 0);
  };
  std::size_t before = p.TraceSize();
  p.sink.choices = {text::Answer::Cancel};
  p.Click(ids::kProfile1 + 2);
  EXPECT_EQ(p.sink.questions, (std::vector<std::string>{p.core->Texts().Text("PROFILE_SELECT_PROMPT")}));
  EXPECT_EQ(Count(p.Commands(before), device::kCmdWriteDeviceState), 0);
  EXPECT_EQ(Count(p.Commands(before), device::kCmdWriteKeyTable), 0);
  unchanged("profile button");

  p.sink.choices = {text::Answer::Cancel};
  p.window->ChooseProfileFromMenu(9002);
  p.Settle();
  unchanged("profile menu");

  p.Click(ids::kProfiles);
  auto* manager = p.window->ProfileManager();
  ASSERT_NE(manager, nullptr);
  manager->CheckProfileRow(1);
  before = p.TraceSize();
  p.sink.choices = {text::Answer::Cancel};
  manager->OnOK();
  p.Settle();
  EXPECT_TRUE(manager->isVisible()) << "Cancel closed the profile manager";
  EXPECT_EQ(Count(p.Commands(before), device::kCmdWriteDeviceState), 0);
  unchanged("profile manager OK");
  manager->CloseProfileManager();
  p.Settle();

  // Unplugged and back: Cancel keeps the edits pending; neither written nor read over.
  p.Event("unplug");
  p.sink.choices = {text::Answer::Cancel};
  p.Event("plug");
  p.Settle();
  EXPECT_EQ(p.sink.questions.back(), p.core->Texts().Text("MAIN_PROMPT_RECONNECT"));
  unchanged("keyboard back");
  // The edits are still there for a later Apply.
  p.Click(ids::kApply);
  ASSERT_TRUE(ProcessUntil([&] { return !p.window->Controller().ApplyPending() && !p.window->Controller().ApplyRunning(); }));
  EXPECT_EQ(SelectedOnKeyboard(p, 0), 1);
}

// The window the user had open used to stay hidden when the keyboard came back; one that
// was hidden stays hidden.
TEST(MainWindowJourney, AWindowHiddenByAnUnplugComesBackWithTheKeyboard) {
  Program p("unplug_show");
  p.window->ShowWindowRoutine();
  p.Settle();
  ASSERT_TRUE(p.window->isVisible());
  p.Event("unplug");
  EXPECT_FALSE(p.window->isVisible());
  p.Event("plug");
  EXPECT_TRUE(ProcessUntil([&] { return p.window->isVisible(); }));

  p.window->hide();
  p.Event("unplug");
  p.Event("plug");
  p.Settle();
  EXPECT_FALSE(p.window->isVisible());
}

}  // namespace
}  // namespace vantrel::ui
