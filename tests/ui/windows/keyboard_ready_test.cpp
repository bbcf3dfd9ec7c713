// The window over a keyboard that is not quite what the virtual keyboard usually is: its
// configuration not read at arrival, a factory table that names the second G-key layer, a
// per-user folder made by someone else first. Against the virtual keyboard (no latency),
// questions answered by a fake sink.
#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "core/device/commands.h"
#include "core/keys/key_table.h"
#include "core/keys/keyboard_layout.h"
#include "sim/fault_plan.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"
#include "ui/ui_test_app.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/key_page.h"
#include "ui/app/keyboard_watch.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"
#include "ui/windows/tray.h"

namespace vantrel::ui {
namespace {

using test::ProcessUntil;

// Notices of the keyboard check are kept, not shown.
class QuietNotifier final : public platform::Notifier {
 public:
  void Show(const platform::Notice&, std::function<void()>) override { ++shown; }
  void Withdraw() override {}
  int shown = 0;
};

class Window {
 public:
  // `prepare` runs on the empty folder before the program starts.
  explicit Window(const std::string& name, const std::function<void(const std::filesystem::path&)>& prepare = {})
      : folder_("ready_" + name) {
    test::App();
    if (prepare) prepare(folder_.Path());
    AppOptions options = test::SimulatedProgramOptions(folder_.Path());
    options.stack.tracePath = (folder_.Path() / "trace.txt").string();
    core = std::make_unique<AppCore>(options);
    std::string error;
    EXPECT_TRUE(core->OpenDevice(&error)) << error;
    window = std::make_unique<CVantrelDlg>(*core, sink, files);
    window->SetKeyPageModal(false);
    window->InitDialog();
    tray = std::make_unique<CTrayIcon>(*window, [] { return true; });
    // The check after each arrival, as the program installs it.
    watch = std::make_unique<KeyboardWatch>(*core, notifier);
    watch->Install();
    window->Start(tray.get());
    EXPECT_TRUE(ProcessUntil([this] { return window->InitDone(); }));
    Settle();
  }
  ~Window() {
    if (!window->Closing()) window->CloseProgram();
    tray.reset();
    window.reset();
    watch.reset();
    core.reset();
  }

  void Settle() { test::SettleProgram(*core); }
  void Event(const char* name) {
    EXPECT_EQ(window->Controller().HandleInstanceMessage(MsgSimEvent, kSimEventParam, QByteArray(name)), kSimEventDone);
    Settle();
  }
  void Click(int id) {
    CPngButton* b = window->Button(id);
    ASSERT_NE(b, nullptr) << id;
    b->setEnabled(true);
    b->click();
    Settle();
  }
  // How many reads of `command` (requests at offset 0: a long read is cut into reports)
  // the trace holds from line `from` on.
  int Reads(std::uint8_t command, std::size_t from = 0) const {
    std::ifstream in(folder_.Path() / "trace.txt");
    int n = 0;
    std::size_t line = 0;
    for (std::string text; std::getline(in, text); ++line) {
      if (line < from || text.rfind("> CTRL", 0) != 0) continue;
      const auto byte = [&](int i) { return std::stoi(text.substr(7 + 3 * static_cast<std::size_t>(i), 2), nullptr, 16); };
      n += byte(3) == command && byte(5) == 0 && byte(6) == 0;
    }
    return n;
  }
  std::size_t TraceLines() const {
    std::ifstream in(folder_.Path() / "trace.txt");
    std::size_t n = 0;
    for (std::string text; std::getline(in, text);) ++n;
    return n;
  }
  sim::VirtualKeyboard& Keyboard() { return *core->Stack().Keyboard(); }
  void Edit(std::uint16_t index, keys::KeyAssignment record) {
    {
      keys::EditingStore::Lock lock(core->Editing());
      lock->table.SetRecord(static_cast<std::size_t>(window->CurrentProfile()), index, record);
    }
    window->KeysEdited();
    Settle();
  }
  const std::filesystem::path& Folder() const { return folder_.Path(); }

  test::ProgramFolder folder_;
  test::FakeMessageSink sink;
  test::FakeFileChooser files;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CVantrelDlg> window;
  std::unique_ptr<CTrayIcon> tray;
  QuietNotifier notifier;
  std::unique_ptr<KeyboardWatch> watch;
};

constexpr std::uint16_t kKeyA = 0x1E;

// The arrival check and the reload used to read the factory table once each.
TEST(KeyboardReady, EachArrivalReadsTheFactoryTableOnce) {
  Window w("factory_once");
  EXPECT_EQ(w.Reads(device::kCmdReadFactoryKeyTable), 1);
  w.Event("unplug");
  const std::size_t before = w.TraceLines();
  w.Event("plug");
  EXPECT_EQ(w.Reads(device::kCmdReadFactoryKeyTable, before), 1);
  EXPECT_GE(w.Reads(device::kCmdReadKeyTable, before), 1);
}

// With the configuration not read at arrival, Apply used to say "No keyboard found".
TEST(KeyboardReady, ApplyBeforeTheConfigurationWasReadOffersToReadItAndKeepsTheEdits) {
  Window w("not_read");
  w.Event("unplug");
  sim::FaultPlan faults;
  const auto from = w.core->Stack().Simulator()->ConfigRequests();
  for (std::uint64_t n = 1; n <= 400; ++n) faults.Add(from + n, sim::Fault::kStatusFF);
  w.core->Stack().Simulator()->SetFaults(faults);
  w.Event("plug");
  ASSERT_FALSE(w.core->Session()->Facts().configurationRead);
  w.core->Stack().Simulator()->SetFaults({});
  w.Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  w.sink.messages.clear();

  // No: nothing is read, nothing written, the edit stays.
  w.sink.answers = {false};
  w.Click(ids::kApply);
  ASSERT_FALSE(w.sink.questions.empty());
  EXPECT_EQ(w.sink.questions.back(), w.core->Texts().Text("MAIN_PROMPT_NOT_READ"));
  EXPECT_TRUE(std::find(w.sink.messages.begin(), w.sink.messages.end(),
                        w.core->Texts().Text("MAIN_NO_DEVICE_PROMPT")) == w.sink.messages.end());
  EXPECT_TRUE(w.window->Controller().ApplyPending());
  EXPECT_FALSE(w.core->Session()->Facts().configurationRead);

  // Yes: the keyboard is read, the edit stays pending over it, and Apply writes it.
  w.sink.answers = {true};
  w.Click(ids::kApply);
  EXPECT_TRUE(w.core->Session()->Facts().configurationRead);
  EXPECT_TRUE(w.window->Controller().ApplyPending());
  w.Click(ids::kApply);
  EXPECT_FALSE(w.window->Controller().ApplyPending());
  keys::StoreImage back;
  ASSERT_TRUE(test::ReadKeyboard(*w.core, back));
  EXPECT_EQ(back.table.Record(0, kKeyA).kind, keys::kKindDisabled);
}

// The window refused G keys of the second layer by a fixed rule, though the keyboard's
// factory table may name G10..G18.
TEST(KeyboardReady, SecondLayerGKeysNamedByTheFactoryTableCanBeAssignedAndAreShown) {
  Window w("second_layer");
  // The keyboard's factory table, and its profile tables alike, name G16 and G10 at the
  // two positions its matrix leaves empty.
  w.Event("unplug");
  const std::uint8_t named[] = {16, 10};
  std::size_t placed = 0;
  w.core->Stack().Simulator()->ChangeKeyboard([&](sim::VirtualKeyboard& keyboard) {
    auto& factory = keyboard.FactoryTable();
    for (std::size_t k = 0; k < device::kKeyEntryCount && placed < std::size(named); ++k) {
      if (factory[3 * k] != 0 || factory[3 * k + 1] != 0 || factory[3 * k + 2] != 0) continue;
      const std::uint8_t entry[3] = {0x06, 0xA2, named[placed++]};
      for (std::size_t t = 0; t < 4; ++t) {
        auto* to = t == 3 ? factory.data() : keyboard.KeyTables().data() + 378 * t;
        std::copy(entry, entry + 3, to + 3 * k);
      }
    }
  });
  ASSERT_EQ(placed, std::size(named));
  w.Event("plug");
  w.Event("g-layer");
  const int g7 = keys::GLayoutKeys()[6].controlId;
  w.sink.messages.clear();
  w.Click(g7);
  ASSERT_NE(w.window->KeyPage(), nullptr);
  EXPECT_TRUE(w.core->Session()->Facts().keyPagesOpen > 0);
  EXPECT_EQ(w.window->KeyPage()->keyIndex(), 271);  // G16: G7 of the second layer
  EXPECT_TRUE(w.sink.messages.empty());
  w.window->KeyPage()->ClosePage();
  w.Settle();
  // G11 (G2 of the second layer) is not in the table: refused, as vantrelctl refuses it.
  w.Click(keys::GLayoutKeys()[1].controlId);
  EXPECT_EQ(w.sink.messages, (std::vector<std::string>{w.core->Texts().Text("KEY_GKEY_LAYER2_NOT_KEPT")}));
  EXPECT_FALSE(w.core->Session()->Facts().keyPagesOpen > 0);

  // Assigned, it looks assigned and reaches the keyboard.
  w.Edit(271, {keys::kKindDisabled, 0x1307, 0, 0, 0});
  EXPECT_TRUE(w.window->KeyButton(g7)->isSelectedFlag());
  w.Click(ids::kApply);
  EXPECT_FALSE(w.window->Controller().ApplyPending());
  keys::StoreImage back;
  ASSERT_TRUE(test::ReadKeyboard(*w.core, back));
  EXPECT_EQ(back.table.Record(0, 271).kind, keys::kKindDisabled);
}

// The virtual keyboard's state file made the per-user folder first: the colour files
// used to be missing then, and every profile showed ten modes named "0" in black.
TEST(KeyboardReady, AFolderMadeByTheStateFileStillGetsTheDefaultColourFiles) {
  Window w("colour_files", [](const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "user");
    std::ofstream(folder / "user" / "virtual-keyboard.json") << "{}";
  });
  const std::filesystem::path defaults = std::filesystem::path(VANTREL_BIN_DIR) / "Skins" / "UserDengColor_3.userd";
  for (int p = 0; p < 3; ++p) {
    const auto file = w.Folder() / "user" / ("UserDengColor_" + std::to_string(p) + ".userd");
    ASSERT_TRUE(std::filesystem::is_regular_file(file)) << p;
    EXPECT_EQ(std::filesystem::file_size(file), std::filesystem::file_size(defaults));
  }
  const lighting::KeyColourEditor& colours = w.core->KeyColours();
  EXPECT_NE(colours.ReadModeName(0, 1), "0");
}

}  // namespace
}  // namespace vantrel::ui
