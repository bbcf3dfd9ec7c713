#include "core/keys/macro.h"

#include <gtest/gtest.h>

#include "core/keys/key_codes.h"
#include "core/util/bytes.h"
#include "fake_texts.h"

namespace vantrel::keys {
namespace {

MacroRecord MakeMacro(std::u16string name, std::size_t actions, std::uint16_t id = 1) {
  MacroRecord m = NewMacro(name, id);
  std::vector<MacroAction> a;
  for (std::size_t i = 0; i < actions; ++i) {
    a.push_back({static_cast<std::int32_t>(10 * i), 0x01E, static_cast<std::uint16_t>(i % 2)});
  }
  m.SetActions(a);
  return m;
}

TEST(MacroRecord, FieldsAndLimits) {
  MacroRecord m = NewMacro(std::u16string(300, u'n'), 5);
  EXPECT_EQ(m.Name().size(), kMaxNameChars);
  EXPECT_EQ(m.Cycles(), 1);
  EXPECT_EQ(m.NewFlag(), 1);
  EXPECT_EQ(m.RepeatMode(), 0);
  EXPECT_EQ(LoadU32(m.Bytes(), 502), 1u);
  EXPECT_EQ(m.Id(), 5);
  std::vector<MacroAction> many(2100, MacroAction{10, 0x01E, 7});
  m.SetActions(many);
  EXPECT_EQ(m.ActionCount(), kMaxActions);
  EXPECT_EQ(m.Action(0).direction, kPress);  // directions above 1 are stored as press
  // A record whose count field claims more than 2000 is read as 2000.
  std::vector<std::uint8_t> bytes(m.Bytes().begin(), m.Bytes().end());
  StoreU16(bytes, 508, 0xFFFF);
  EXPECT_EQ(MacroRecord::FromBytes(bytes).ActionCount(), kMaxActions);
}

TEST(MacroBlock, OffsetsOfThreeMacros) {
  const std::vector<MacroRecord> macros = {MakeMacro(u"abc", 10, 1), MakeMacro(u"defgh", 0, 2),
                                           MakeMacro(u"ij", 5, 3)};
  const std::size_t L1 = 3, L2 = 5, L3 = 2;
  const auto block = BuildMacroBlock(macros, true);
  const MacroBlockSizes sizes = ComputeMacroBlockSizes(macros);
  ASSERT_EQ(block.size(), sizes.full);
  EXPECT_EQ(sizes.full, 16 + 6 + (44 + 2 * L1) + (4 + 2 * L2) + (24 + 2 * L3));
  EXPECT_EQ(sizes.bare, 16 + 6 + 44 + 4 + 24u);
  EXPECT_EQ(LoadU16(block, 0), 0x55AA);
  EXPECT_EQ(LoadU16(block, 2), block.size());
  EXPECT_EQ(LoadU16(block, 4), 3);
  EXPECT_EQ(LoadU16(block, 6), 1);
  EXPECT_EQ(LoadU16(block, 16), 22);
  EXPECT_EQ(LoadU16(block, 18), 66 + 2 * L1);
  EXPECT_EQ(LoadU16(block, 20), 70 + 2 * (L1 + L2));
  EXPECT_EQ(block[22 + 3], L1);  // name length of the first entry
  const auto bare = BuildMacroBlock(macros, false);
  EXPECT_EQ(bare.size(), sizes.bare);
  EXPECT_EQ(LoadU16(bare, 6), 0);
  EXPECT_EQ(LoadU16(bare, 18), 66);
}

TEST(MacroBlock, EmptyListIsTheHeader) {
  const auto block = BuildMacroBlock({}, true);
  ASSERT_EQ(block.size(), 16u);
  EXPECT_EQ(LoadU16(block, 2), 16);
  EXPECT_EQ(LoadU16(block, 4), 0);
  EXPECT_EQ(LoadU16(block, 6), 1);
}

TEST(MacroBlock, DeviceActionEncoding) {
  auto word = [](MacroAction a) { return EncodeDeviceAction(a); };
  EXPECT_EQ(word({40000, 0x01E, kPress}) & 0x0FFF, 4000u);
  EXPECT_EQ(word({15, 0x01E, kPress}) & 0x0FFF, 1u);
  EXPECT_EQ(word({90000, 0x01E, kPress}) & 0x0FFF, 4000u);  // beyond the range: clamped, not wrapped
  EXPECT_EQ(word({0, 0x01E, kPress}), 0x8000u | (2u << 12) | (0x02u << 16) | (0x04u << 24));
  EXPECT_EQ(word({0, 0x01E, kRelease}), (2u << 12) | (0x02u << 16) | (0x04u << 24));
  EXPECT_EQ(word({0, 0x138, kPress}) >> 16, 0x4001u);   // modifier: 01 40
  EXPECT_EQ(word({0, 0x172, kPress}) >> 12 & 7, 1u);    // mouse
  EXPECT_EQ(word({0, 0x172, kPress}) >> 16, 0x0201u);
  EXPECT_EQ(word({0, 0x162, kPress}) >> 16, 0xFF05u);   // wheel down
  EXPECT_EQ(word({0, 0x15F, kPress}) >> 12 & 7, 4u);    // sleep: generic desktop
  EXPECT_EQ(word({0, 0x15F, kPress}) >> 16, 0x0082u);
  EXPECT_EQ(word({0, 0x054, kPress}) & 0x7FFF, 0u);     // no usage: type 0
  for (std::uint16_t code : {0x01E, 0x138, 0x171, 0x173, 0x161, 0x162, 0x15F, 0x120}) {
    for (std::uint16_t dir : {0, 1}) {
      const MacroAction a{1230, code, dir};
      std::uint8_t b[4];
      StoreU32(b, 0, EncodeDeviceAction(a));
      EXPECT_EQ(DecodeDeviceAction(b), a) << std::hex << code;
    }
  }
}

TEST(MacroBlock, ReadReversesBuild) {
  testing::MapTexts texts;
  std::vector<MacroRecord> macros = {MakeMacro(u"first", 3, 7), MakeMacro(u"", 2, 9), MakeMacro(u"third", 0, 2)};
  macros[0].SetCycles(5);
  const auto back = ReadMacroBlock(BuildMacroBlock(macros, true), texts);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].Name(), u"first");
  EXPECT_EQ(back[0].Cycles(), 5);
  EXPECT_EQ(back[0].Id(), 1);  // ids are positions + 1
  EXPECT_EQ(back[0].NewFlag(), 0);
  EXPECT_EQ(back[0].Actions(), macros[0].Actions());
  EXPECT_EQ(back[1].Name(), u"Macro2");  // no stored name
  EXPECT_EQ(back[2].Id(), 3);
  const auto bare = ReadMacroBlock(BuildMacroBlock(macros, false), texts);
  ASSERT_EQ(bare.size(), 3u);
  EXPECT_EQ(bare[2].Name(), u"Macro3");
  EXPECT_EQ(bare[0].Actions(), macros[0].Actions());
}

TEST(MacroBlock, ReadTrustsNothing) {
  testing::MapTexts texts;
  EXPECT_TRUE(ReadMacroBlock({}, texts).empty());
  std::vector<std::uint8_t> wrongMagic(16, 0);
  EXPECT_TRUE(ReadMacroBlock(wrongMagic, texts).empty());

  const std::vector<MacroRecord> two = {MakeMacro(u"abc", 10), MakeMacro(u"de", 4)};
  const auto good = BuildMacroBlock(two, true);
  // Every truncation decodes without reading past the bytes.
  for (std::size_t n = 0; n <= good.size(); ++n) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    const auto r = ReadMacroBlock(cut, texts);
    EXPECT_LE(r.size(), 2u);
  }
  // A count of 0xFFFF and a size beyond the data: at most 100 and what the offsets allow.
  std::vector<std::uint8_t> huge = good;
  StoreU16(huge, 4, 0xFFFF);
  StoreU16(huge, 2, 0xFFFF);
  EXPECT_LE(ReadMacroBlock(huge, texts).size(), kMaxMacros);
  // An entry claiming 60000 actions and a 255-character name gets what fits.
  std::vector<std::uint8_t> liar = good;
  StoreU16(liar, 20, 60000);  // the first entry follows the two offsets
  liar[23] = 255;
  const auto r = ReadMacroBlock(liar, texts);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_LE(r[0].ActionCount() * 4, liar.size());
  EXPECT_EQ(r[0].Name(), u"Macro1");
  // An offset outside the block gives an empty macro at its position.
  std::vector<std::uint8_t> outside = good;
  StoreU16(outside, 16, 0xFFF0);
  const auto o = ReadMacroBlock(outside, texts);
  ASSERT_EQ(o.size(), 2u);
  EXPECT_EQ(o[0].ActionCount(), 0u);
  EXPECT_EQ(o[1].Name(), u"de");
}

TEST(MacroBlock, OversizedBlockIsNotBuilt) {
  // 100 macros of 2000 steps: far more than a 16-bit size can describe.
  std::vector<MacroRecord> macros(20, MakeMacro(u"x", kMaxActions));
  const MacroBlockSizes sizes = ComputeMacroBlockSizes(macros);
  EXPECT_GT(sizes.bare, kMaxMacroBlock);
  EXPECT_TRUE(BuildMacroBlock(macros, false).empty());
}

}  // namespace
}  // namespace vantrel::keys
