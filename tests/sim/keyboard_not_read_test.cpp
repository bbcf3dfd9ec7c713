// A keyboard that is there but whose configuration was not read, a macro area of size 0,
// the working file that follows every write, and the texts of these paths: against the
// virtual keyboard, with the editing session wired as the programs wire it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/device/read_back.h"
#include "core/keys/device_config.h"
#include "core/keys/macro.h"
#include "core/profiles/keyboard_check.h"
#include "core/profiles/profile_file.h"
#include "core/text/safe_format.h"
#include "language_file_texts.h"
#include "session_fixture.h"
#include "sim/fault_plan.h"

namespace vantrel::test {
namespace {

using namespace vantrel::profiles;
using keys::KeyAssignment;

constexpr std::uint16_t kKeyA = 0x1E;
constexpr std::uint16_t kKeyB = 0x30;

class KeyboardNotRead : public SessionFixture<LanguageFileTexts> {
 protected:
  KeyboardNotRead() : SessionFixture("not-read-") {
    service.SetDeviceFacts([this] {
      return DeviceFacts{sim.keyboard.FactoryTable(), capacity.value_or(sim.keyboard.MacroCapacity()), true};
    });
  }

  // The keyboard holds macro 1 "kept" and profile 1 has the key at entry 17 disabled.
  void GiveTheKeyboardAConfiguration() {
    for (std::size_t i = 0; i < 3; ++i) sim.keyboard.KeyTables()[1 * 378 + 17 * 3 + i] = 0;
    keys::MacroRecord m = keys::NewMacro(u"kept", 1);
    const keys::MacroAction steps[] = {{10, kKeyA, keys::kPress}, {10, kKeyA, keys::kRelease}};
    m.SetActions(steps);
    const auto block = keys::BuildMacroBlock(std::vector{m}, true);
    std::copy(block.begin(), block.end(), sim.keyboard.MacroArea().begin());
  }

  void Edit(std::uint16_t index, KeyAssignment record, int profile = 0) {
    {
      keys::EditingStore::Lock lock(editing);
      lock->table.SetRecord(static_cast<std::size_t>(profile), index, record);
    }
    session.MarkEdited(profile);
  }

  std::size_t Sent(std::uint8_t command) {
    const auto all = SentCommands();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), command));
  }

  std::optional<std::size_t> capacity;
};

// Apply used to answer "No keyboard found" with the keyboard connected.
TEST_F(KeyboardNotRead, ApplySendsNothingKeepsTheEditsAndSaysTheConfigurationWasNotRead) {
  Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  sim.ClearTrace();
  EXPECT_EQ(session.Apply(), ApplyResult::NotRead);
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(session.Unsaved());
  EXPECT_TRUE(std::find(sink.shown.begin(), sink.shown.end(), texts.Text("MAIN_NO_DEVICE_PROMPT")) == sink.shown.end());
  // The question the window puts, with Yes as its default.
  sink.answer = true;
  EXPECT_TRUE(session.AskReadAgain());
  EXPECT_EQ(sink.asked.back(), texts.Text("MAIN_PROMPT_NOT_READ"));
  EXPECT_TRUE(sink.lastDefaultYes);
  // A switch that was to apply the edits first stays where it is and says why.
  SwitchDecision decision;
  decision.proceed = decision.unsaved = decision.asked = decision.applyFirst = true;
  decision.profile = 2;
  EXPECT_FALSE(session.Switch(decision));
  EXPECT_EQ(sink.shown.back(), texts.Text("MAIN_PROMPT_NOT_READ_AGAIN"));
  EXPECT_EQ(Sent(device::kCmdWriteDeviceState), 0u);
}

// Reading again keeps the edits: they go over what the keyboard holds, its macros stay,
// and the next Apply writes them without erasing anything else.
TEST_F(KeyboardNotRead, ReadAgainLaysTheEditsOverTheKeyboardAndApplyKeepsItsMacros) {
  GiveTheKeyboardAConfiguration();
  {
    keys::EditingStore::Lock lock(editing);
    keys::MacroRecord mine = keys::NewMacro(u"mine", 1);
    const keys::MacroAction steps[] = {{20, kKeyB, keys::kPress}, {20, kKeyB, keys::kRelease}};
    mine.SetActions(steps);
    lock->macros.push_back(mine);
  }
  Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  Edit(kKeyB, {keys::kKindMacro, 1, 1, 0, 0});
  ASSERT_EQ(session.Apply(), ApplyResult::NotRead);

  ASSERT_TRUE(session.ReadAgain());
  EXPECT_TRUE(session.Facts().configurationRead);
  EXPECT_TRUE(session.Unsaved());
  {
    keys::EditingStore::Lock lock(editing);
    ASSERT_EQ(lock->macros.size(), 2u);
    EXPECT_EQ(lock->macros[0].Name(), u"kept");
    EXPECT_EQ(lock->macros[1].Name(), u"mine");
    EXPECT_EQ(lock->macros[1].Id(), 2);
    EXPECT_EQ(lock->table.Record(0, kKeyA).kind, keys::kKindDisabled);
    EXPECT_EQ(lock->table.Record(0, kKeyB).kind, keys::kKindMacro);
    EXPECT_EQ(lock->table.Record(0, kKeyB).code, 2);
  }
  // The working file holds the keyboard as read, not the edits.
  keys::StoreImage working;
  ASSERT_TRUE(LoadProfileImage(WorkingFilePath(service.Paths()), working));
  EXPECT_EQ(working.macros.size(), 1u);
  EXPECT_EQ(working.table.Record(0, kKeyA).kind, keys::kKindFactory);

  ASSERT_EQ(session.Apply(), ApplyResult::Applied);
  keys::StoreImage back;
  ASSERT_TRUE(service.DumpDevice(back));
  ASSERT_EQ(back.macros.size(), 2u);
  EXPECT_EQ(back.macros[0].Name(), u"kept");
  EXPECT_EQ(back.table.Record(0, kKeyA).kind, keys::kKindDisabled);
  EXPECT_EQ(back.table.Record(0, kKeyB).kind, keys::kKindMacro);
  EXPECT_EQ(back.table.Record(0, kKeyB).code, 2);  // the second macro of the keyboard's list
  std::size_t disabledInProfile1 = 0;
  for (std::size_t r = 0; r < 512; ++r) disabledInProfile1 += back.table.Record(1, r).kind == keys::kKindDisabled;
  EXPECT_EQ(disabledInProfile1, 1u);
}

// The keyboard's return used to read it over edits made while its configuration was
// never read, dropping them unasked.
TEST_F(KeyboardNotRead, AnArrivalKeepsEditsMadeBeforeTheConfigurationWasRead) {
  GiveTheKeyboardAConfiguration();
  Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  session.ReloadOnArrival();
  EXPECT_TRUE(session.Facts().configurationRead);
  EXPECT_TRUE(session.Unsaved());
  keys::EditingStore::Lock lock(editing);
  EXPECT_EQ(lock->table.Record(0, kKeyA).kind, keys::kKindDisabled);
  ASSERT_EQ(lock->macros.size(), 1u);
  EXPECT_EQ(lock->macros[0].Name(), u"kept");
}

TEST_F(KeyboardNotRead, ReadAgainThatFailsChangesNothing) {
  Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  sim::FaultPlan faults;
  for (std::uint64_t n = 1; n <= 40; ++n) faults.Add(sim.service.ConfigRequests() + n, sim::Fault::kStatusFF);
  sim.service.SetFaults(faults);
  EXPECT_FALSE(session.ReadAgain());
  EXPECT_FALSE(session.Facts().configurationRead);
  EXPECT_TRUE(session.Unsaved());
  keys::EditingStore::Lock lock(editing);
  EXPECT_EQ(lock->table.Record(0, kKeyA).kind, keys::kKindDisabled);
}

// A macro capacity of 0 (the device state not read) refuses as a macro area too small,
// not as a missing keyboard.
TEST_F(KeyboardNotRead, CapacityZeroRefusesWithTheMacroAreaTextAndSendsNothing) {
  session.ReloadOnArrival();
  capacity = 0;
  Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  sink.shown.clear();
  sim.ClearTrace();
  EXPECT_EQ(session.Apply(), ApplyResult::Failed);
  EXPECT_EQ(sink.shown, (std::vector<std::string>{texts.Text("EXTRA_MACRO_TOO_LONG")}));
  EXPECT_EQ(Sent(device::kCmdWriteKeyTable) + Sent(device::kCmdWriteMacroArea), 0u);
  EXPECT_TRUE(session.Unsaved());
}

// A write through the session used to leave no working file when there was none before
// (the shell's keys set), so verify had nothing to compare with.
TEST_F(KeyboardNotRead, EveryWriteCreatesTheWorkingFileAndAFailedOneLeavesNone) {
  GiveTheKeyboardAConfiguration();
  keys::DeviceConfiguration config;
  ASSERT_EQ(keys::ReadDeviceConfiguration(sim.commands, config), device::kDeviceOk);
  {
    keys::EditingStore::Lock lock(editing);
    keys::DecodeIntoImage(config, texts, lock.Image());
    keys::NoteKeyboardMacros(lock, applied, true);
  }
  session.ConfigurationLoaded();
  const auto working = WorkingFilePath(service.Paths());
  ASSERT_FALSE(std::filesystem::exists(working));

  // Refused: no working file is made from edits the keyboard did not take.
  Edit(kKeyA, {keys::kKindDisabled, 0, 0, 0, 0});
  sim::FaultPlan faults;
  for (std::uint64_t n = 1; n <= 40; ++n) faults.Add(sim.service.ConfigRequests() + n, sim::Fault::kStatusFF);
  sim.service.SetFaults(faults);
  EXPECT_EQ(session.Apply(), ApplyResult::Failed);
  EXPECT_FALSE(std::filesystem::exists(working));

  sim.service.SetFaults({});
  ASSERT_EQ(session.Apply(), ApplyResult::Applied);
  ASSERT_TRUE(std::filesystem::is_regular_file(working));
  keys::StoreImage fromFile;
  keys::StoreImage fromKeyboard;
  ASSERT_TRUE(LoadProfileImage(working, fromFile));
  ASSERT_TRUE(service.DumpDevice(fromKeyboard));
  EXPECT_EQ(fromFile.table.Record(0, kKeyA).kind, keys::kKindDisabled);
  for (std::size_t p = 0; p < 3; ++p) {
    for (std::size_t r = 0; r < 512; ++r) EXPECT_EQ(fromFile.table.Record(p, r), fromKeyboard.table.Record(p, r));
  }
  ASSERT_EQ(fromFile.macros.size(), 1u);
  EXPECT_EQ(fromFile.macros[0].Name(), u"kept");
}

// The arrival read the factory table already: the check of the keyboard after it does not
// read it a second time.
TEST_F(KeyboardNotRead, TheKeyboardCheckTakesTheFactoryTableItIsGiven) {
  session.ReloadOnArrival();
  LastConfiguration last;
  keys::StoreImage image;
  ASSERT_TRUE(service.LastKnownImage(image));
  last.keys = image;
  last.factory = sim.keyboard.FactoryTable();
  sim.ClearTrace();
  const KeyboardCheck check = CheckKeyboard(sim.commands, last, texts);
  EXPECT_TRUE(check.found.checked);
  EXPECT_FALSE(check.found.Failed());
  EXPECT_EQ(Sent(device::kCmdReadFactoryKeyTable), 0u);
  EXPECT_EQ(Sent(device::kCmdReadKeyTable), 3u * 7);  // three tables of seven reports
}

// Both texts used to be English in every language.
TEST(KeyboardTexts, FolderNotWritableAndBusyComeFromTheLanguageFiles) {
  for (const char* code : {"0409", "0804", "0404", "040C", "0C04"}) {
    SCOPED_TRACE(code);
    const LanguageFileTexts language(code);
    const std::string busy = device::ResultWords(language, device::kDeviceBusy);
    EXPECT_EQ(busy, language.Text("RESULT_BUSY"));
    EXPECT_NE(busy, language.Text("RESULT_UNKNOWN"));
  }
}

TEST_F(KeyboardNotRead, AFolderThatCannotBeWrittenIsNamedInTheUsersLanguage) {
  texts.texts["FOLDER_NOT_WRITABLE"] = LanguageFileTexts("040C").Text("FOLDER_NOT_WRITABLE");
  WriteAll(dir / "user", {1});  // a file where the folder belongs
  session.ReloadOnArrival();
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].find("is not writable"), std::string::npos) << sink.shown[0];
  EXPECT_EQ(sink.shown[0].rfind("Le dossier " + (dir / "user").string(), 0), 0u) << sink.shown[0];
}

}  // namespace
}  // namespace vantrel::test
