#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/keys/key_codes.h"
#include "core/keys/recorder.h"
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

// The Linux keyboard driver's own evdev code -> set-1 code table: x86_keycodes[] in
// drivers/tty/vt/keyboard.c (drivers/char/keyboard.c in older kernels), which the console
// uses to emulate a PC keyboard's raw mode. A value of 0x100 + code is sent as E0, code.
// Entries past the listed ones are 0.
constexpr std::uint16_t kKernelX86Keycodes[256] = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,
    16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
    32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
    48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
    64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
    80,  81,  82,  83,  84,  118, 86,  87,  88,  115, 120, 119, 121, 112, 123, 92,
    284, 285, 309, 0,   312, 91,  327, 328, 329, 331, 333, 335, 336, 337, 338, 339,
    367, 288, 302, 304, 350, 89,  334, 326, 267, 126, 268, 269, 125, 347, 348, 349,
    360, 261, 262, 263, 268, 376, 100, 101, 321, 316, 373, 286, 289, 102, 351, 355,
    103, 104, 105, 275, 287, 279, 258, 106, 274, 107, 294, 364, 358, 363, 362, 361,
    291, 108, 381, 281, 290, 272, 292, 305, 280, 99,  112, 257, 306, 359, 113, 114,
    264, 117, 271, 374, 379, 265, 266, 93,  94,  95,  85,  259, 375, 260, 90,  116,
    377, 109, 111, 277, 278, 282, 283, 295, 296, 297, 299, 300, 301, 293, 303, 307,
    308, 310, 313, 314, 315, 317, 318, 319, 320, 357, 322, 323, 324, 325, 276, 330,
    332, 340, 365, 342, 343, 344, 345, 346, 356, 270, 341, 368, 369, 370, 371, 372,
};

// The keys the same driver sends without the table (emulate_raw): Print Screen as
// E0 2A E0 37, Pause as E1 1D 45, Hangul and Hanja as the single bytes F2 and F1 (which
// a set-1 reader takes as 0x72 and 0x71, the Korean keys' codes).
const std::map<std::uint32_t, std::uint16_t> kKernelByHand = {
    {99, keys::kCodePrintScreen}, {119, keys::kCodePause}, {122, 0x072}, {123, 0x071}};

// Where our codes deliberately differ from the driver's: for these keys our codes are the
// scan codes Windows reports in its key messages, which the key codes follow.
const std::map<std::uint32_t, std::uint16_t> kOurOwnChoice = {
    {69, keys::kCodeNumLock},  // Num Lock: 45 with the extended flag, to tell it from Pause
    {171, 0x16D},              // KEY_CONFIG, a USB keyboard's media-player key: E0 6D, not E0 01
    {183, 0x064},              // F13: 0x64, not 0x5D
};

// Codes of ours that are no set-1 codes: the wheel and the mouse and office functions.
bool IsOwnCode(std::uint16_t code) {
  return code == keys::kCodeWheelUp || code == keys::kCodeWheelDown || (code >= 0x16E && code <= 0x17E);
}

// A set-1 code as a capture takes it (Alt+Print Screen, the fake right Shift, Ctrl+Pause).
std::uint16_t Captured(std::uint16_t code) {
  return keys::KeyCodeOfKeyMessage(0xFF, static_cast<std::uint8_t>(code & 0xFF), (code & 0x100) != 0);
}

TEST(NativeKeyCodes, AgreeWithTheLinuxKeyboardDriversTable) {
  std::set<std::uint16_t> reached;
  for (std::uint32_t evdev = 0; evdev < 256; ++evdev)
    if (const std::uint16_t code = KeyCodeOfEvdev(evdev); code != 0) reached.insert(code);
  int checked = 0;
  for (std::uint32_t evdev = 0; evdev < 256; ++evdev) {
    const std::uint16_t ours = KeyCodeOfEvdev(evdev);
    if (const auto own = kOurOwnChoice.find(evdev); own != kOurOwnChoice.end()) {
      EXPECT_EQ(ours, own->second) << "evdev " << evdev;
      continue;
    }
    const auto byHand = kKernelByHand.find(evdev);
    const std::uint16_t kernel = byHand != kKernelByHand.end() ? byHand->second : kKernelX86Keycodes[evdev];
    // Every key we map is the driver's key.
    if (ours != 0) {
      EXPECT_EQ(ours, kernel) << "evdev " << evdev;
      ++checked;
      continue;
    }
    // Every key of ours the driver names is mapped, unless its code is one of our own
    // codes or the key is already reached from another evdev code (the driver gives some
    // rare keys the codes of common ones, e.g. KEY_SPORT the code of Num Lock).
    if (kernel == 0 || IsOwnCode(kernel) || keys::KeyEntryOfCode(kernel).label.empty()) continue;
    EXPECT_TRUE(reached.count(Captured(kernel))) << "evdev " << evdev << " is the driver's 0x" << std::hex << kernel;
  }
  EXPECT_GE(checked, 130);
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
