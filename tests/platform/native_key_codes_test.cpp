#include <gtest/gtest.h>

#include <set>

#include "core/keys/key_codes.h"
#include "platform/native_key_codes.h"

namespace vantrel::platform {
namespace {

TEST(NativeKeyCodes, EvdevCodesGiveSetOneMakeCodes) {
  EXPECT_EQ(KeyCodeOfEvdev(1), 0x001);    // Esc
  EXPECT_EQ(KeyCodeOfEvdev(30), 0x01E);   // A
  EXPECT_EQ(KeyCodeOfEvdev(21), 0x015);   // Y on a US layout, Z on a German one: the same key
  EXPECT_EQ(KeyCodeOfEvdev(54), 0x036);   // right Shift
  EXPECT_EQ(KeyCodeOfEvdev(83), 0x053);   // Num .
  EXPECT_EQ(KeyCodeOfEvdev(97), 0x11D);   // right Ctrl
  EXPECT_EQ(KeyCodeOfEvdev(100), 0x138);  // right Alt
  EXPECT_EQ(KeyCodeOfEvdev(96), 0x11C);   // Num Enter
  EXPECT_EQ(KeyCodeOfEvdev(125), 0x15B);  // left Win
  EXPECT_EQ(KeyCodeOfEvdev(127), 0x15D);  // App
  EXPECT_EQ(KeyCodeOfEvdev(0), 0);
  EXPECT_EQ(KeyCodeOfEvdev(84), 0);       // no key there
  EXPECT_EQ(KeyCodeOfEvdev(0x110), 0);    // BTN_LEFT is not a key
}

TEST(NativeKeyCodes, KeysWithoutASingleMakeCode) {
  EXPECT_EQ(KeyCodeOfEvdev(99), keys::kCodePrintScreen);
  EXPECT_EQ(KeyCodeOfEvdev(119), keys::kCodePause);
  // Num Lock's make code 0x45 is Pause's too; its key code is 0x145.
  EXPECT_EQ(KeyCodeOfEvdev(69), keys::kCodeNumLock);
}

TEST(NativeKeyCodes, EveryMappedCodeIsAKeyOfTheNameTable) {
  std::set<std::uint16_t> seen;
  for (std::uint32_t evdev = 0; evdev < 0x300; ++evdev) {
    const std::uint16_t code = KeyCodeOfEvdev(evdev);
    if (code == 0) continue;
    seen.insert(code);
    EXPECT_FALSE(keys::KeyEntryOfCode(code).label.empty()) << "evdev " << evdev << " code " << code;
  }
  EXPECT_GT(seen.size(), 120u);
  for (const auto& media : keys::MediaKeyTable()) EXPECT_TRUE(seen.count(media.code)) << media.code;
}

#if defined(__linux__)
TEST(NativeKeyCodes, X11KeycodesAreEvdevPlusEightWithTheCaptureConversions) {
  EXPECT_EQ(KeyCodeOfNativeScanCode(38), 0x01E);  // A
  EXPECT_EQ(KeyCodeOfNativeScanCode(8), 0);
  EXPECT_EQ(KeyCodeOfNativeScanCode(0), 0);
  EXPECT_EQ(KeyCodeOfNativeScanCode(99 + 8), keys::kCodePrintScreen);
  EXPECT_EQ(KeyCodeOfNativeScanCode(119 + 8), keys::kCodePause);
}
#endif

// Every key of the assignable-key list that a keyboard can send is reachable from a native
// scan code, and comes back as itself.
TEST(NativeKeyCodes, EveryAssignableKeyRoundTrips) {
  for (std::uint16_t id = 0; id < keys::kAssignableKeyCount; ++id) {
    const std::uint16_t code = keys::CodeOfListId(id);
    if (code == 0 || code >= keys::kCodeWheelUp) continue;  // empty ids, mouse functions
    if (code == keys::kCodeBreak) continue;                 // captured as Pause
    const std::uint32_t native = NativeScanCodeOfKeyCode(code);
    ASSERT_NE(native, 0u) << "list id " << id << " code " << code;
    EXPECT_EQ(KeyCodeOfNativeScanCode(native), code) << "list id " << id;
  }
}

}  // namespace
}  // namespace vantrel::platform
