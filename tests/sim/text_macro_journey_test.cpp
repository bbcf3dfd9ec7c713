// A text macro from text to the keyboard and back: typed for a layout, added to the
// editing store, played by G1, applied to the virtual keyboard and read back from it.
#include <gtest/gtest.h>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/keys/apply.h"
#include "core/keys/device_config.h"
#include "core/keys/key_codes.h"
#include "core/keys/text_macro.h"
#include "core/keys/xkb_layout.h"
#include "language_file_texts.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::keys {
namespace {

class Sink final : public text::MessageSink {
 public:
  std::vector<std::string> shown;
  void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
  bool AskYesNo(std::string_view, bool) override { return false; }
};

TEST(TextMacroJourney, TypedForDeAssignedToG1AndReadBackFromTheKeyboard) {
  if (!CompileLayoutCharacters({"de", ""})) GTEST_SKIP() << "the XKB layout de cannot be compiled here";
  sim::VirtualKeyboard keyboard;
  sim::SimulatedHidService service(keyboard,
                                   sim::SimOptions{std::chrono::microseconds(0), {}, std::chrono::microseconds(1000)});
  device::DeviceLink link(service, device::LinkTiming{std::chrono::milliseconds(200), std::chrono::milliseconds(1),
                                                      std::chrono::milliseconds(10)});
  link.RegisterConfigRead();
  device::CommandSet commands(link);
  test::LanguageFileTexts texts;
  Sink sink;
  EditingStore editing;
  AppliedStore applied;

  // The session starts from what the keyboard holds.
  DeviceConfiguration config;
  ASSERT_EQ(ReadDeviceConfiguration(commands, config), device::kDeviceOk);
  {
    EditingStore::Lock lock(editing);
    DecodeIntoImage(config, texts, lock.Image());
  }

  const AddedTextMacro added = AddTextMacro(editing, "Gruß", "z@\n", "de", 20, config.macroCapacity, texts);
  ASSERT_TRUE(added.error.empty()) << added.error;
  ASSERT_NE(added.id, 0);
  const std::uint16_t g1 = kFirstGKeyIndex;
  {
    // Saved as the macro editor saves, then assigned as the key page assigns.
    EditingStore::Lock lock(editing);
    SaveMacros(lock.Image());
    KeyAssignment record = lock->table.Record(0, g1);
    record.kind = kKindMacro;
    record.code = added.id;
    ASSERT_TRUE(StoreKeyAssignment(lock.Image(), 0, g1, record));
    ApplyRequest request;
    request.allProfiles = true;
    request.macroCapacity = config.macroCapacity;
    request.factory = keyboard.FactoryTable();
    ASSERT_TRUE(ApplyToDevice(lock, applied, request, commands, texts, sink));
  }
  EXPECT_TRUE(sink.shown.empty());

  DeviceConfiguration after;
  ASSERT_EQ(ReadDeviceConfiguration(commands, after), device::kDeviceOk);
  StoreImage back;
  DecodeIntoImage(after, texts, back);
  ASSERT_EQ(back.macros.size(), 1u);
  EXPECT_EQ(back.macros[0].Name(), u"Gruß");
  // z is on the Y key of de, @ is AltGr+Q, the newline is Enter.
  const std::vector<MacroAction> typed = {
      {20, 0x015, kPress}, {20, 0x015, kRelease}, {20, kCodeRightAlt, kPress}, {20, 0x010, kPress},
      {20, 0x010, kRelease}, {20, kCodeRightAlt, kRelease}, {20, 0x01C, kPress}, {20, 0x01C, kRelease}};
  EXPECT_EQ(back.macros[0].Actions(), typed);
  const KeyAssignment g1Back = back.table.Record(0, g1);
  EXPECT_EQ(g1Back.kind, kKindMacro);
  EXPECT_EQ(g1Back.code, back.macros[0].Id());
}

}  // namespace
}  // namespace vantrel::keys
