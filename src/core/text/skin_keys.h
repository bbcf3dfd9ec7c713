// The layout keys each skin file offers and the key buttons of the keyboard picture.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::text {

// One button of the keyboard picture: its key code and its legend.
struct KeyButtonInfo {
  std::uint16_t code;
  std::string_view legend;
};

// The 108 ordinary keys in the order of the main window's key table (A-Z, 1-0, Enter,
// Esc, ... Num +, VOL+, VOL-, mute, Calc).
inline constexpr std::size_t kOrdinaryKeyCount = 108;
std::span<const KeyButtonInfo, kOrdinaryKeyCount> OrdinaryKeyButtons();

// "KEY_%03X" of the key index (keys::KeyIndexOfCode), e.g. right Ctrl 0x11D -> "KEY_09D".
std::string KeyButtonSkinKey(std::uint16_t code);
// "FUNC_G1" .. "FUNC_G9".
std::string GKeySkinKey(int n);
inline constexpr int kGKeyCount = 9;
inline constexpr std::string_view kFnSkinKey = "KEY_FN";

// "BUTTONINFO2" face keys of the arrow indicators: "UP_ARROW_LEFT1" ... "DOWN_ARROW_RIGHT2".
std::vector<std::string> ArrowFaceKeys();

// Every "BUTTONINFO" key a skin file offers for a complete layout of its dialog. For the
// main window this includes the 108 key buttons, the nine G keys and Fn.
enum class SkinFile { Main, Composite, Profile, UpdateDlg };
inline constexpr std::array<SkinFile, 4> kAllSkinFiles = {SkinFile::Main, SkinFile::Composite, SkinFile::Profile,
                                                          SkinFile::UpdateDlg};
std::string_view SkinFileName(SkinFile file);  // "Main.ini", ...
std::vector<std::string> SkinButtonKeys(SkinFile file);
// The state pictures the dialog loads by name (a missing one ends the process).
std::vector<std::string> SkinStatePictures(SkinFile file);
// The lighting panel's pictures (Windows bitmaps) and the tray and program icons.
std::vector<std::string> LightingPanelPictures();
std::vector<std::string> IconPictures();

}  // namespace vantrel::text
