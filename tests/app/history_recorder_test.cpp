// The history kept around the writes, against the virtual keyboard: what each write reads
// from the keyboard for it (nothing it already knows), when a part must be read again, a
// history that cannot be written, and an entry written back byte for byte.
#include "scripting/history_recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/lighting/lighting_session.h"
#include "core/lighting/lighting_records.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/profile_service.h"
#include "language_file_texts.h"
#include "scripting/history_tasks.h"
#include "scripting/keyboard_tasks.h"
#include "sim/sim_harness.h"

namespace vantrel::scripting {
namespace {

namespace fs = std::filesystem;

// The command byte of a host-to-keyboard trace line ("> CTRL 04 cs cs CMD ...").
int CommandOf(const std::string& line) { return std::stoi(line.substr(16, 2), nullptr, 16); }

class HistoryRecorderTest : public ::testing::Test {
 protected:
  // A folder of the test's own, made before the members that keep files in it.
  static fs::path Scratch() {
    const fs::path dir = fs::temp_directory_path() / ("vantrel-history-recorder-" +
                                                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
  }
  void SetUp() override {
    store_ = std::make_unique<profiles::HistoryStore>(dir_ / "history");
    recorder_ = std::make_unique<HistoryRecorder>(*store_, sim_.commands, texts_, profiles::HistorySource::Window);
    recorder_->SetColourFiles(&files_);
    recorder_->SetOutsideChanges([this] { return outside_.load(); });
    lighting_.SetRecorder(recorder_.get());
    service_.SetRecorder(recorder_.get());
    ASSERT_EQ(lighting_.Load(sim_.commands, 0, lighting::LoadOccasion::Connection, false).result, lighting::kLoadOk);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // One lighting change of profile 0 (the brightness one step the other way each time).
  void ChangeBrightness() {
    lighting::FieldChange change;
    change.field = lighting::LightingField::Brightness;
    change.number = lighting_.State().brightness == 4 ? 3 : 4;
    ASSERT_EQ(lighting_.Change(sim_.commands, 0, change), lighting::WriteOutcome::Taken);
  }
  // How many requests of each kind the last step sent.
  struct Requests {
    int keyReads = 0;     // key tables, factory table, device state, macro area
    int lightingReads = 0;
    int total = 0;
  };
  Requests Count() {
    Requests r;
    for (const auto& line : sim_.Lines("> CTRL")) {
      const int command = CommandOf(line);
      ++r.total;
      if (command == device::kCmdReadKeyTable || command == device::kCmdReadMacroArea ||
          command == device::kCmdReadFactoryKeyTable || command == device::kCmdReadDeviceState)
        ++r.keyReads;
      if (command == device::kCmdReadParams) ++r.lightingReads;
    }
    sim_.ClearTrace();
    return r;
  }

  fs::path dir_ = Scratch();
  test::SimHarness sim_;
  test::LanguageFileTexts texts_;
  QuietSink sink_;
  lighting::KeyColourEditor files_{dir_, fs::path(VANTREL_SOURCE_DIR) / "data" / "Skins" / "UserDengColor_3.userd"};
  lighting::LightingSession lighting_{files_, dir_ / "wskb.ini", &texts_};
  keys::EditingStore editing_;
  keys::AppliedStore applied_;
  std::atomic<int> cache_{-1};
  profiles::ProfileService service_{sim_.commands, editing_, applied_, cache_, profiles::ProfilePaths{dir_, dir_},
                                    texts_, sink_};
  profiles::EditSession session_{service_, editing_, applied_, texts_, sink_};
  std::unique_ptr<profiles::HistoryStore> store_;
  std::unique_ptr<HistoryRecorder> recorder_;
  std::atomic<std::uint64_t> outside_{0};
};

// The cost that got an earlier design refused: the whole keyboard read around every
// slider step. The first change reads the keys and macros once (nothing known of them
// yet); the second reads nothing at all for the history.
TEST_F(HistoryRecorderTest, SecondLightingChangeReadsNoKeysOrMacros) {
  sim_.ClearTrace();
  ChangeBrightness();
  const Requests first = Count();
  EXPECT_GT(first.keyReads, 0);
  ChangeBrightness();
  const Requests second = Count();
  EXPECT_EQ(second.keyReads, 0);
  EXPECT_EQ(second.lightingReads, 1) << "the change's own read-back only";
  EXPECT_LT(second.total, first.total);
  const auto listing = store_->List();
  ASSERT_EQ(listing.entries.size(), 2u);
  EXPECT_EQ(listing.entries[0].summary, "lighting of Profile 1");
  EXPECT_EQ(listing.entries[0].source, profiles::HistorySource::Window);
  EXPECT_EQ(recorder_->ReadsSoFar().keys, 1);
  EXPECT_EQ(recorder_->ReadsSoFar().lighting, 0);
}

// What makes the keys part stale: another program, a write of this program nobody
// recorded, the keyboard gone and back. Each costs one read of the keys, once.
TEST_F(HistoryRecorderTest, StaleKeysAreReadOnceAgain) {
  ChangeBrightness();
  struct Case {
    const char* what;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"another program changed the keyboard", [this] { ++outside_; }},
      {"a write this program did not record",
       [this] {
         std::array<std::uint8_t, device::kKeyTableSize> table{};
         ASSERT_EQ(sim_.commands.CmdReadKeyTable(table, 1), device::kDeviceOk);
         ASSERT_EQ(sim_.commands.CmdWriteKeyTable(table, 1), device::kDeviceOk);
       }},
      {"the keyboard went away", [this] { recorder_->Forget(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int before = recorder_->ReadsSoFar().keys;
    c.make();
    ChangeBrightness();
    EXPECT_EQ(recorder_->ReadsSoFar().keys, before + 1);
    ChangeBrightness();
    EXPECT_EQ(recorder_->ReadsSoFar().keys, before + 1);
  }
}

// A report rate change is no entry, but it leaves the lighting records stale: the next
// entry takes them again, and only them.
TEST_F(HistoryRecorderTest, ReportRateIsNotKeptButMakesTheLightingStale) {
  ChangeBrightness();
  const auto entries = store_->List().entries.size();
  lighting::FieldChange rate;
  rate.field = lighting::LightingField::ReportRate;
  rate.number = lighting_.State().reportRate == 3 ? 2 : 3;
  ASSERT_EQ(lighting_.Change(sim_.commands, 0, rate), lighting::WriteOutcome::Taken);
  EXPECT_EQ(store_->List().entries.size(), entries);
  const auto reads = recorder_->ReadsSoFar();
  ChangeBrightness();
  EXPECT_EQ(recorder_->ReadsSoFar().keys, reads.keys);
  EXPECT_EQ(recorder_->ReadsSoFar().lighting, reads.lighting + 1);
  // The entry holds the rate the keyboard had after that write, not the one it knew before.
  KeyboardConfiguration newest;
  ASSERT_TRUE(LoadHistoryEntry(*store_, 1, texts_, newest).Ok());
  ASSERT_TRUE(newest.lighting[0].fields);
  EXPECT_EQ(MergeRecord(newest.lighting[0], {})[lighting::kRecReportRate], rate.number);
}

// A history that cannot be written never stops the write; the failure is a warning.
TEST_F(HistoryRecorderTest, UnwritableHistoryWarnsAndTheWriteGoesOn) {
  {
    std::ofstream blocker(dir_ / "history");
    blocker << "not a folder";
  }
  const auto before = sim_.keyboard.Lighting();
  ChangeBrightness();
  EXPECT_NE(sim_.keyboard.Lighting(), before);
  const std::string warning = recorder_->TakeWarning();
  EXPECT_NE(warning.find("not kept in the history"), std::string::npos) << warning;
  EXPECT_TRUE(recorder_->TakeWarning().empty()) << "said once";
}

// An import is one entry (keys and lighting together), and restoring that entry gives the
// keyboard back its key tables, macro area and lighting byte for byte; the restore is an
// entry of its own.
TEST_F(HistoryRecorderTest, ImportIsOneEntryAndItsRestoreGivesTheKeyboardBack) {
  const auto tables = sim_.keyboard.KeyTables();
  const auto macros = sim_.keyboard.MacroArea();
  const auto records = sim_.keyboard.Lighting();
  ASSERT_TRUE(service_.ReloadFromDevice());
  session_.ConfigurationLoaded();

  keys::StoreImage image;
  {
    keys::EditingStore::Lock lock(editing_);
    image = lock.Image();
  }
  keys::StoreKeyAssignment(image, 0, 0x3A, {keys::kKindDisabled, 0, 0, 0, 0});
  ProfileLightings parts;
  profiles::LightingRecords held{};
  ASSERT_TRUE(lighting::ReadLightingRecords(sim_.commands, held));
  lighting::LightingRecord brighter = held[1];
  brighter[lighting::kRecBrightness] = static_cast<std::uint8_t>(brighter[lighting::kRecBrightness] == 4 ? 1 : 4);
  SetRecord(parts[1], brighter);
  ASSERT_TRUE(InstallDocument(session_, files_, image, parts, "import").Ok());
  ASSERT_NE(sim_.keyboard.KeyTables(), tables);
  ASSERT_NE(sim_.keyboard.Lighting(), records);

  auto listing = store_->List();
  ASSERT_EQ(listing.entries.size(), 1u);
  EXPECT_EQ(listing.entries[0].summary, "keys of Profile 1: Caps Lock; lighting of Profile 2");

  std::vector<std::string> differences;
  ASSERT_TRUE(CompareWithHistoryEntry(sim_.commands, files_, *store_, 1, texts_, differences).Ok());
  EXPECT_FALSE(differences.empty());

  ASSERT_TRUE(RestoreHistoryEntry(session_, files_, *store_, 1, texts_, "history restore").Ok());
  EXPECT_EQ(sim_.keyboard.KeyTables(), tables);
  EXPECT_EQ(sim_.keyboard.MacroArea(), macros);
  EXPECT_EQ(sim_.keyboard.Lighting(), records);
  differences.clear();
  ASSERT_TRUE(CompareWithHistoryEntry(sim_.commands, files_, *store_, 2, texts_, differences).Ok());
  EXPECT_TRUE(differences.empty()) << differences.front();
  listing = store_->List();
  ASSERT_EQ(listing.entries.size(), 2u);
  EXPECT_EQ(listing.entries[0].summary, "keys of Profile 1: Caps Lock; lighting of Profile 2");

  EXPECT_EQ(RestoreHistoryEntry(session_, files_, *store_, 3, texts_, "history restore").error,
            ScriptError::InvalidArgument);
}

}  // namespace
}  // namespace vantrel::scripting
