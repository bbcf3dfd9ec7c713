// The virtual keyboard's device model: refusals, factory state and its state file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "core/keys/key_codes.h"
#include "core/keys/key_table.h"
#include "core/keys/keyboard_layout.h"
#include "core/util/bytes.h"
#include "sim/sim_state.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

std::uint8_t Status(sim::VirtualKeyboard& k, ConfigReport r) {
  auto reply = k.HandleConfigReport(r);
  return reply ? (*reply)[kStatusByte] : 0xEE;
}

TEST(VirtualKeyboardTest, RefusesRequestsOutsideItsAreasAndChangesNothing) {
  sim::VirtualKeyboard k;
  const auto before = k.Lighting();
  std::vector<std::uint8_t> ten(10, 0x5A);
  EXPECT_EQ(Status(k, MakeReport(kCmdWriteParams, 10, 120, ten)), 0xFF);  // runs past 126
  EXPECT_EQ(k.Lighting(), before);
  EXPECT_EQ(Status(k, MakeReport(kCmdWriteParams, 6, 120, ten)), 0x00);   // ends exactly at 126
  EXPECT_EQ(Status(k, MakeReport(kCmdReadParams, 56, 126)), 0xFF);
  EXPECT_EQ(Status(k, MakeReport(kCmdReadKeyTable, 56, 1134)), 0xFF);
  EXPECT_EQ(Status(k, MakeReport(kCmdWriteKeyColours, 3, 1534, ten)), 0xFF);
  EXPECT_EQ(Status(k, MakeReport(kCmdReadMacroArea, 56, static_cast<std::uint16_t>(k.MacroCapacity()))), 0xFF);
  EXPECT_EQ(Status(k, MakeReport(0x42, 0, 0)), 0xFF);  // unknown command
  EXPECT_EQ(Status(k, MakeReport(kCmdReserved0C, 0, 0)), 0x00);
  EXPECT_EQ(Status(k, MakeReport(kCmdReadParams, 57, 0)), 0xFF);  // length above 56
}

TEST(VirtualKeyboardTest, ChecksumIsVerified) {
  sim::VirtualKeyboard k;
  auto r = MakeReport(kCmdBegin, 0, 0);
  r[1] ^= 1;
  EXPECT_EQ(Status(k, r), 0xFE);
  EXPECT_FALSE(k.InBracket());
}

TEST(VirtualKeyboardTest, DeviceStateWriteMayChangeOnlyTheActiveProfile) {
  sim::VirtualKeyboard k;
  auto state = k.DeviceState();
  state[kStateActiveProfile] = 2;
  EXPECT_EQ(Status(k, MakeReport(kCmdWriteDeviceState, 44, 0, state)), 0x00);
  EXPECT_EQ(k.DeviceState()[kStateActiveProfile], 2);
  auto bad = k.DeviceState();
  bad[kStateActiveProfile] = 3;
  EXPECT_EQ(Status(k, MakeReport(kCmdWriteDeviceState, 44, 0, bad)), 0xFF);
  bad = k.DeviceState();
  bad[kStateActiveProfile] = 1;
  bad[kStateMacroCapacity] = 1;
  EXPECT_EQ(Status(k, MakeReport(kCmdWriteDeviceState, 44, 0, bad)), 0xFF);
  EXPECT_EQ(k.DeviceState()[kStateActiveProfile], 2);
  EXPECT_EQ(k.DeviceState()[kStateMacroCapacity], sim::kDefaultMacroCapacityUnits);
}

TEST(VirtualKeyboardTest, FactoryStateOffersEffectsAndAnEmptyMacroBlock) {
  sim::VirtualKeyboard k;
  std::vector<int> effects;
  for (std::size_t i = 0; i < kEffectSlots; ++i) {
    if (k.DeviceState()[kStateEffectList + i]) effects.push_back(k.DeviceState()[kStateEffectList + i]);
  }
  std::vector<int> expected;
  for (int c = 1; c <= 18; ++c) expected.push_back(c);
  expected.push_back(20);
  EXPECT_EQ(effects, expected);
  EXPECT_EQ(k.MacroArea().size(), k.MacroCapacity());
  EXPECT_EQ(LoadU16(k.MacroArea(), 0), 0x55AA);
  EXPECT_EQ(LoadU16(k.MacroArea(), 2), 16);
  for (std::size_t t = 0; t < 3; ++t) {
    EXPECT_TRUE(std::equal(k.FactoryTable().begin(), k.FactoryTable().end(), k.KeyTables().begin() + t * 378));
  }
}

// Every key of the keyboard picture has exactly one factory-table entry: the 108
// ordinary keys by HID usage or modifier bit (media keys by consumer usage), the nine G
// keys as 06 A2 n. Where the host's built-in image has an entry, the table agrees.
// The keyboard's factory table and the layout table name the same key at every position:
// each row's matrix position decodes to the row's code, and no other position decodes to
// a key at all (the device's own function keys have no code).
TEST(VirtualKeyboardTest, FactoryTableAgreesWithTheLayoutKeyByKey) {
  const auto table = sim::FactoryKeyTable();
  std::map<std::size_t, const keys::LayoutKey*> byPosition;
  for (const keys::LayoutKey& k : keys::KeyboardLayout()) {
    byPosition[static_cast<std::size_t>(k.matrixPosition)] = &k;
  }
  for (std::size_t p = 0; p < kKeyEntryCount; ++p) {
    const keys::KeyEntry e = keys::EntryAt(table, p);
    const std::uint16_t code = keys::CodeOfEntry(e);
    const auto row = byPosition.find(p);
    if (row == byPosition.end()) {
      EXPECT_EQ(code, 0) << "position " << p << " holds a key that has no button";
      continue;
    }
    SCOPED_TRACE(std::string(row->second->name));
    EXPECT_EQ(code, row->second->code) << "position " << p;
    if (row->second->kind == keys::LayoutKind::Fn) {
      EXPECT_EQ(e.type, 5);
    }
  }
}

// What the windows take from the layout about a key button (whether the keyboard keeps an
// entry for it) is what the keyboard's factory table says, in both G-key layers: the
// first layer's G keys are there, the second layer's are not.
TEST(VirtualKeyboardTest, FactoryTableKeepsWhatTheLayoutSaysForBothGKeyLayers) {
  const auto table = sim::FactoryKeyTable();
  for (int layer : {0, 1}) {
    for (const keys::LayoutKey& k : keys::KeyboardLayout()) {
      const auto button = keys::ResolveKeyButton(k.controlId, layer);
      ASSERT_TRUE(button);
      if (button->index == keys::kNoKeyIndex) continue;  // Fn has no record
      EXPECT_EQ(keys::FactoryTableHasKey(table, button->index), button->onKeyboard)
          << k.name << " in layer " << layer;
    }
  }
  for (std::size_t n = 0; n < keys::kGKeyCount; ++n) {
    EXPECT_TRUE(keys::FactoryTableHasKey(table, keys::GKeyPlace{n, 0}.Index())) << "G" << n + 1;
    EXPECT_FALSE(keys::FactoryTableHasKey(table, keys::GKeyPlace{n, 1}.Index())) << "G" << n + 10;
  }
}

TEST(VirtualKeyboardTest, FactoryTableHasOneEntryForEveryKeyOfThePicture) {
  const auto table = sim::FactoryKeyTable();
  std::map<std::array<std::uint8_t, 3>, int> seen;
  for (std::size_t k = 0; k < 126; ++k) {
    std::array<std::uint8_t, 3> e{table[k * 3], table[k * 3 + 1], table[k * 3 + 2]};
    if (e[0] == 2 || e[0] == 3 || e[0] == 6) ++seen[e];
  }
  std::set<std::array<std::uint8_t, 3>> expected;
  // Keyboard usages of the 100 non-modifier ordinary keys.
  const std::uint8_t usages[] = {
      0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14,
      0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D,                                      // A..Z
      0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,                                // 1..0
      0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38,
      0x39,                                                                                      // Enter..Caps
      0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45,                    // F1..F12
      0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x52,              // Print..Up
      0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x61,
      0x62, 0x63,                                                                                // number pad
      0x65};                                                                                     // App
  for (auto u : usages) expected.insert({2, 2, u});
  for (std::uint8_t bit = 1; bit != 0; bit = static_cast<std::uint8_t>(bit << 1)) expected.insert({2, 1, bit});
  expected.insert({3, 0xE9, 0x00});
  expected.insert({3, 0xEA, 0x00});
  expected.insert({3, 0xE2, 0x00});
  expected.insert({3, 0x92, 0x01});
  for (std::uint8_t n = 1; n <= 9; ++n) expected.insert({6, 0xA2, n});
  EXPECT_EQ(expected.size(), 108u + 9u);
  EXPECT_EQ(seen.size(), expected.size());
  for (const auto& e : expected) EXPECT_EQ(seen[e], 1) << int(e[0]) << ' ' << int(e[1]) << ' ' << int(e[2]);

  // Agreement with the host's built-in image (a few telling positions).
  EXPECT_EQ(table[8 * 3 + 2], 0x29);   // Esc
  EXPECT_EQ(table[13 * 3 + 2], 0x01);  // left Ctrl modifier
  EXPECT_EQ(table[53 * 3 + 0], 0x05);  // device function 05 02 02
  EXPECT_EQ(table[62 * 3 + 2], 0x48);  // Pause
}

class SimStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("vantrel-simstate-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = dir / "state.json";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Read() {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::filesystem::path dir, path;
};

TEST_F(SimStateTest, MissingFileIsCreatedAndStateRoundTrips) {
  sim::VirtualKeyboard k;
  std::string error;
  ASSERT_TRUE(sim::LoadSimState(path, k, &error)) << error;
  ASSERT_TRUE(std::filesystem::exists(path));
  k.Lighting()[5] = 0x12;
  k.KeyTables()[1133] = 0x34;
  k.MacroArea().back() = 0x56;
  k.SetPresent(false);
  k.StoreLedStatus(std::vector<std::uint8_t>{5, 3});
  ASSERT_TRUE(sim::SaveSimState(path, k, &error));
  sim::VirtualKeyboard back;
  ASSERT_TRUE(sim::LoadSimState(path, back, &error)) << error;
  EXPECT_EQ(back.Lighting()[5], 0x12);
  EXPECT_EQ(back.KeyTables()[1133], 0x34);
  EXPECT_EQ(back.MacroArea().back(), 0x56);
  EXPECT_FALSE(back.Present());
  EXPECT_EQ(back.LedStatus()[1], 3);
  EXPECT_NE(Read().find("\"key_colours\""), std::string::npos);
}

TEST_F(SimStateTest, BadFilesAreRefusedNamingTheKeyAndLeftAlone) {
  sim::VirtualKeyboard k;
  std::string error;
  ASSERT_TRUE(sim::SaveSimState(path, k, &error));
  const std::string good = Read();
  struct Case {
    std::string from, to, key;
  };
  const std::string lighting = "\"lighting\": \"";
  for (const auto& c : std::vector<Case>{{lighting, lighting + "00", "lighting"},
                                         {lighting, lighting + "zz", "lighting"},
                                         {"\"present\": true", "\"present\": 1", "present"}}) {
    std::string text = good;
    const auto at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, c.from.size(), c.to);
    std::ofstream(path, std::ios::trunc) << text;
    sim::VirtualKeyboard target;
    target.Lighting()[0] = 0x99;
    error.clear();
    EXPECT_FALSE(sim::LoadSimState(path, target, &error));
    EXPECT_NE(error.find(c.key), std::string::npos) << error;
    EXPECT_EQ(target.Lighting()[0], 0x99);  // nothing taken over
    EXPECT_EQ(Read(), text);                // the file is not overwritten
  }
  std::ofstream(path, std::ios::trunc) << "not json";
  EXPECT_FALSE(sim::LoadSimState(path, k, &error));
}

}  // namespace
}  // namespace vantrel::test
