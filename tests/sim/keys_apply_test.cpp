// Apply to device against the virtual keyboard: the order of the commands on the wire,
// the capacity rule, the result rule, and reading the configuration back.
#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/device/tracing_service.h"
#include "core/keys/apply.h"
#include "core/keys/device_config.h"
#include "core/keys/key_codes.h"
#include "core/text/utf16.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::keys {
namespace {

class Texts final : public text::TextSource {
 public:
  std::string Text(std::string_view key) const override { return "T:" + std::string(key); }
  std::string LightText(std::string_view key) const override { return Text(key); }
  std::string ModeText(std::string_view key) const override { return Text(key); }
};

class Sink final : public text::MessageSink {
 public:
  std::vector<std::string> shown;
  void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
  bool AskYesNo(std::string_view, bool) override { return false; }
};

// A request seen on the wire: command byte, length and offset.
struct Sent {
  int command, length, offset;
};

class ApplyToKeyboard : public ::testing::Test {
 protected:
  ApplyToKeyboard()
      : service_(keyboard_, sim::SimOptions{std::chrono::microseconds(0), {}, std::chrono::microseconds(1000)}),
        tracer_(service_, [this](std::string_view line) { Trace(line); }),
        link_(tracer_, device::LinkTiming{std::chrono::milliseconds(200), std::chrono::milliseconds(1),
                                          std::chrono::milliseconds(10)}),
        commands_(link_) {
    tracer_.Init(0);
    link_.RegisterConfigRead();
  }

  void Trace(std::string_view line) {
    if (line.substr(0, 7) != "> CTRL ") return;
    std::istringstream in{std::string(line.substr(7))};
    std::vector<int> b;
    std::string hex;
    while (in >> hex) b.push_back(std::stoi(hex, nullptr, 16));
    if (b.size() < 8) return;
    std::lock_guard<std::mutex> lock(mutex_);
    sent_.push_back({b[3], b[4], b[5] | b[6] << 8});
  }
  std::vector<Sent> TakeSent() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(sent_, {});
  }

  void AddMacro(std::u16string name, std::size_t steps) {
    EditingStore::Lock lock(editing_);
    MacroRecord m = NewMacro(name, SmallestFreeMacroId(lock.Image()));
    std::vector<MacroAction> a;
    for (std::size_t i = 0; i < steps; ++i) a.push_back({100, 0x01E, static_cast<std::uint16_t>(i % 2)});
    m.SetActions(a);
    lock->macros.push_back(std::move(m));
  }

  bool Apply(bool allProfiles, std::size_t profile, std::size_t capacity) {
    ApplyRequest request;
    request.allProfiles = allProfiles;
    request.currentProfile = profile;
    request.macroCapacity = capacity;
    request.factory = keyboard_.FactoryTable();
    EditingStore::Lock lock(editing_);
    return ApplyToDevice(lock, applied_, request, commands_, texts_, sink_);
  }

  MacroBlockSizes Sizes() {
    EditingStore::Lock lock(editing_);
    return ComputeMacroBlockSizes(lock->macros);
  }

  sim::VirtualKeyboard keyboard_;
  sim::SimulatedHidService service_;
  device::TracingHidService tracer_;
  device::DeviceLink link_;
  device::CommandSet commands_;
  EditingStore editing_;
  AppliedStore applied_;
  Texts texts_;
  Sink sink_;
  std::mutex mutex_;
  std::vector<Sent> sent_;
};

TEST_F(ApplyToKeyboard, WritesBracketMacroAreaAndTheProfileInOrder) {
  AddMacro(u"one", 20);  // 16 + 2 + 4 + 80 + 6 = 108 bytes with the name: two chunks
  // The keyboard is given the macro list first; after that only the profile asked for.
  ASSERT_TRUE(Apply(true, 0, keyboard_.MacroCapacity()));
  {
    EditingStore::Lock lock(editing_);
    StoreKeyAssignment(lock.Image(), 1, 0x01, {kKindMacro, 1, 1});
    StoreKeyAssignment(lock.Image(), 1, 0x1E, {kKindKey, 0, 0x030});
  }
  TakeSent();
  ASSERT_TRUE(Apply(false, 1, keyboard_.MacroCapacity()));
  const auto sent = TakeSent();
  // The bracket, then the reads of what it wrote: the macro area and the table.
  ASSERT_EQ(sent.size(), 1u + 2 + 7 + 1 + 2 + 7);
  EXPECT_EQ(sent[0].command, device::kCmdBegin);
  EXPECT_EQ(sent[1].command, device::kCmdWriteMacroArea);
  EXPECT_EQ(sent[1].length, 56);
  EXPECT_EQ(sent[2].offset, 56);
  EXPECT_EQ(sent[2].length, 108 - 56);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(sent[3 + i].command, device::kCmdWriteKeyTable);
    EXPECT_EQ(sent[3 + i].offset, 378 + 56 * i);
  }
  EXPECT_EQ(sent[10].command, device::kCmdEnd);
  EXPECT_EQ(sent[11].command, device::kCmdReadMacroArea);
  EXPECT_EQ(sent[13].command, device::kCmdReadKeyTable);
  EXPECT_EQ(sent[13].offset, 378);
  EXPECT_TRUE(sink_.shown.empty());
  EXPECT_EQ(keyboard_.UnbracketedWrites(), 0u);

  // What the keyboard now holds reads back into the same assignments and macro.
  DeviceConfiguration config;
  ASSERT_EQ(ReadDeviceConfiguration(commands_, config), device::kDeviceOk);
  StoreImage back;
  DecodeIntoImage(config, texts_, back);
  ASSERT_EQ(back.macros.size(), 1u);
  EXPECT_EQ(back.macros[0].Name(), u"one");
  EXPECT_EQ(back.macros[0].ActionCount(), 20u);
  EXPECT_EQ(back.table.Record(1, 0x01).kind, kKindMacro);
  EXPECT_EQ(back.table.Record(1, 0x01).code, 1);
  EXPECT_EQ(back.table.Record(1, 0x1E).code, 0x030);
  EXPECT_EQ(back.table.Record(0, 0x1E).kind, kKindFactory);
  EXPECT_EQ(config.macroCapacity, keyboard_.MacroCapacity());
}

TEST_F(ApplyToKeyboard, AllProfilesAscendingAndEmptyListStillWritesTheHeader) {
  TakeSent();
  ASSERT_TRUE(Apply(true, 2, keyboard_.MacroCapacity()));
  const auto sent = TakeSent();
  ASSERT_EQ(sent.size(), 1u + 1 + 21 + 1 + 1 + 21);
  EXPECT_EQ(sent[1].command, device::kCmdWriteMacroArea);
  EXPECT_EQ(sent[1].length, 16);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(sent[2 + 7 * p].offset, 378 * p);
  EXPECT_EQ(keyboard_.MacroArea()[2], 16);
  EXPECT_EQ(keyboard_.MacroArea()[6], 1);  // names flag: the empty block fits with names
}

TEST_F(ApplyToKeyboard, CapacityBoundaries) {
  AddMacro(u"a-long-macro-name", 10);
  AddMacro(u"bb", 3);
  const MacroBlockSizes s = Sizes();
  ASSERT_LT(s.bare, s.full);

  for (std::size_t capacity : {std::size_t{0}, s.bare - 1}) {
    sink_.shown.clear();
    TakeSent();
    EXPECT_FALSE(Apply(false, 0, capacity));
    EXPECT_TRUE(TakeSent().empty()) << capacity;
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"T:EXTRA_MACRO_TOO_LONG"});
  }
  for (std::size_t capacity : {s.bare, s.bare + 1, s.full - 1}) {
    sink_.shown.clear();
    TakeSent();
    EXPECT_TRUE(Apply(false, 0, capacity));
    const auto sent = TakeSent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().command, device::kCmdReadKeyTable);
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"T:EXTRA_PROFILE_SPACE_TIGHT"});
    EXPECT_EQ(keyboard_.MacroArea()[2] | keyboard_.MacroArea()[3] << 8, s.bare);
    EXPECT_EQ(keyboard_.MacroArea()[6], 0);
  }
  sink_.shown.clear();
  EXPECT_TRUE(Apply(false, 0, s.full));
  EXPECT_TRUE(sink_.shown.empty());
  EXPECT_EQ(keyboard_.MacroArea()[6], 1);
}

// A failure status is retried twice by the transaction: a request fails for good only
// when all three attempts are refused.
void FailThreeTimes(sim::FaultPlan& plan, std::uint64_t request, sim::Fault fault) {
  for (std::uint64_t i = 0; i < 3; ++i) plan.Add(request + i, fault);
}

std::size_t KeyTablesWritten(const std::vector<Sent>& sent) {
  std::size_t n = 0;
  for (const Sent& s : sent) n += s.command == device::kCmdWriteKeyTable && s.offset % 378 == 0 ? 1 : 0;
  return n;
}

TEST_F(ApplyToKeyboard, SucceedsOnlyWhenMacroAreaAndEveryKeyTableWereWritten) {
  ASSERT_TRUE(Apply(true, 0, keyboard_.MacroCapacity()));
  // Begin, one macro chunk, seven key-table chunks, end.
  const std::uint64_t endRequest = 1 + 1 + 7 + 1;

  // The end command fails: the apply still succeeded.
  sim::FaultPlan endFails;
  FailThreeTimes(endFails, service_.ConfigRequests() + endRequest, sim::Fault::kStatusFF);
  service_.SetFaults(endFails);
  EXPECT_TRUE(Apply(false, 0, keyboard_.MacroCapacity()));

  // The macro write fails though the key table goes through: failure, and the keyboard's
  // macro list is unknown from then on, so the next apply writes all three tables.
  sim::FaultPlan macroFails;
  FailThreeTimes(macroFails, service_.ConfigRequests() + 2, sim::Fault::kStatusFE);
  service_.SetFaults(macroFails);
  TakeSent();
  EXPECT_FALSE(Apply(false, 0, keyboard_.MacroCapacity()));
  EXPECT_EQ(TakeSent().back().command, device::kCmdEnd);  // the bracket is still closed
  service_.SetFaults({});
  EXPECT_TRUE(Apply(false, 0, keyboard_.MacroCapacity()));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 3u);

  // A key table before the last fails: failure, though the last one went through.
  sim::FaultPlan firstTableFails;
  FailThreeTimes(firstTableFails, service_.ConfigRequests() + 1 + 1 + 3, sim::Fault::kStatusFF);
  service_.SetFaults(firstTableFails);
  EXPECT_FALSE(Apply(true, 0, keyboard_.MacroCapacity()));
  // The last chunk of the last key table fails: failure.
  sim::FaultPlan lastFails;
  FailThreeTimes(lastFails, service_.ConfigRequests() + 1 + 1 + 21, sim::Fault::kStatusFF);
  service_.SetFaults(lastFails);
  EXPECT_FALSE(Apply(true, 0, keyboard_.MacroCapacity()));
}

TEST_F(ApplyToKeyboard, ChangedMacroListWritesAllThreeTables) {
  AddMacro(u"first", 2);
  AddMacro(u"second", 2);
  {
    EditingStore::Lock lock(editing_);
    // Profile 2's Esc plays "second" (id 2, position 1).
    StoreKeyAssignment(lock.Image(), 2, 0x01, {kKindMacro, 1, 2});
  }
  ASSERT_TRUE(Apply(true, 0, keyboard_.MacroCapacity()));
  const auto escOfProfile2 = [&] {
    DeviceConfiguration config;
    EXPECT_EQ(ReadDeviceConfiguration(commands_, config), device::kDeviceOk);
    StoreImage back;
    DecodeIntoImage(config, texts_, back);
    return back.table.Record(2, 0x01);
  };
  EXPECT_EQ(escOfProfile2().code, 2);  // position 1 reads back as id 2

  // Same list: only the current profile.
  TakeSent();
  ASSERT_TRUE(Apply(false, 0, keyboard_.MacroCapacity()));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 1u);

  // "first" is deleted: "second" moves to position 0, and profile 2's table must follow
  // although profile 0 is the one applied.
  {
    EditingStore::Lock lock(editing_);
    lock->macros.erase(lock->macros.begin());
  }
  TakeSent();
  ASSERT_TRUE(Apply(false, 0, keyboard_.MacroCapacity()));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 3u);
  const KeyAssignment esc = escOfProfile2();
  EXPECT_EQ(esc.kind, kKindMacro);
  EXPECT_EQ(esc.code, 1);  // position 0

  // Reordering keeps the count but moves positions: all three again, then one.
  AddMacro(u"third", 1);
  ASSERT_TRUE(Apply(false, 1, keyboard_.MacroCapacity()));
  {
    EditingStore::Lock lock(editing_);
    std::swap(lock->macros[0], lock->macros[1]);
  }
  TakeSent();
  ASSERT_TRUE(Apply(false, 1, keyboard_.MacroCapacity()));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 3u);
  EXPECT_EQ(escOfProfile2().code, 2);  // "second" is now at position 1
  ASSERT_TRUE(Apply(false, 1, keyboard_.MacroCapacity()));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 1u);
}

TEST_F(ApplyToKeyboard, MacroListReadFromTheKeyboardCountsAsGiven) {
  AddMacro(u"m", 2);
  ASSERT_TRUE(Apply(true, 0, keyboard_.MacroCapacity()));

  // A second program state that only read the keyboard writes one table.
  EditingStore editing;
  AppliedStore applied;
  DeviceConfiguration config;
  ASSERT_EQ(ReadDeviceConfiguration(commands_, config), device::kDeviceOk);
  ApplyRequest request;
  request.currentProfile = 1;
  request.macroCapacity = keyboard_.MacroCapacity();
  request.factory = keyboard_.FactoryTable();
  EditingStore::Lock lock(editing);
  DecodeIntoImage(config, texts_, lock.Image());
  NoteKeyboardMacros(lock, applied, true);
  TakeSent();
  ASSERT_TRUE(ApplyToDevice(lock, applied, request, commands_, texts_, sink_));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 1u);

  // When the read failed and the store holds something else, nothing is assumed.
  NoteKeyboardMacros(lock, applied, false);
  ASSERT_TRUE(ApplyToDevice(lock, applied, request, commands_, texts_, sink_));
  EXPECT_EQ(KeyTablesWritten(TakeSent()), 3u);
}

TEST_F(ApplyToKeyboard, AppliedStoreIsTheSnapshotSent) {
  AddMacro(u"m", 2);
  {
    EditingStore::Lock lock(editing_);
    StoreKeyAssignment(lock.Image(), 0, 0x02, {kKindLaunch, 0, 0}, u"abc");
    StoreKeyAssignment(lock.Image(), 2, 0x03, {kKindText, 0, 0}, u"hello");
  }
  ASSERT_TRUE(Apply(false, 0, keyboard_.MacroCapacity()));
  EditingStore::Lock e(editing_);
  AppliedStore::Lock a(applied_, e);
  EXPECT_EQ(a->macros, e->macros);
  EXPECT_EQ(a->stringTotal, 8 + 12);
  EXPECT_EQ(a->table.Record(0, 0x02).code, 0);
  EXPECT_EQ(a->table.Record(2, 0x03).code, 8);
  EXPECT_EQ(text::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(a->packedStrings.data()) + 4, 5)),
            "hello");
  const auto header = a->table.Bytes();
  EXPECT_EQ(header[14], 1);  // macro count
  EXPECT_EQ(header[16], 20);  // string total
}

}  // namespace
}  // namespace vantrel::keys
