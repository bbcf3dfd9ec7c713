#include "platform/native_key_codes.h"

#include <QtGlobal>

#include "core/keys/evdev_codes.h"
#include "core/keys/key_codes.h"
#include "core/keys/recorder.h"

namespace vantrel::platform {
namespace {

[[maybe_unused]] constexpr std::uint32_t kX11KeycodeOffset = 8;

[[maybe_unused]] std::uint16_t Convert(std::uint16_t code) {
  if (code == 0) return 0;
  // The same conversions as for a key message: scan code and extended flag given, so the
  // virtual-key table is never consulted.
  return keys::KeyCodeOfKeyMessage(0xFF, static_cast<std::uint8_t>(code & 0xFF), (code & 0x100) != 0);
}

}  // namespace

std::uint16_t KeyCodeOfEvdev(std::uint32_t evdev) { return keys::KeyCodeOfEvdev(evdev); }

std::uint16_t KeyCodeOfNativeScanCode(std::uint32_t nativeScanCode, std::uint32_t nativeVirtualKey) {
#if defined(Q_OS_WIN)
  // Bits 16-24 of the key message: scan code | 0x100 x extended.
  const auto vk = static_cast<std::uint8_t>(nativeVirtualKey > 0xFF ? 0xFF : nativeVirtualKey);
  return keys::KeyCodeOfKeyMessage(vk, static_cast<std::uint8_t>(nativeScanCode & 0xFF), (nativeScanCode & 0x100) != 0);
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
  (void)nativeVirtualKey;  // the keysym: layout-dependent, never used
  if (nativeScanCode <= kX11KeycodeOffset) return 0;
  return Convert(KeyCodeOfEvdev(nativeScanCode - kX11KeycodeOffset));
#else
  (void)nativeScanCode;
  (void)nativeVirtualKey;
  return 0;
#endif
}

std::uint32_t NativeScanCodeOfKeyCode(std::uint16_t code) {
  if (code == 0) return 0;
#if defined(Q_OS_WIN)
  return code == keys::kCodePause ? 0x45 : code;
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
  for (std::uint32_t evdev = 1; evdev < 256; ++evdev)
    if (KeyCodeOfEvdev(evdev) == code) return evdev + kX11KeycodeOffset;
  return 0;
#else
  return 0;
#endif
}

}  // namespace vantrel::platform
