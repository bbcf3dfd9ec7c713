// The layout keys each skin file offers and the key buttons of the keyboard picture.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::text {

// The key buttons' placement keys come from keys::SkinKeyOf on the keyboard layout's rows.

// "BUTTONINFO2" face keys of the arrow indicators: "UP_ARROW_LEFT1" ... "DOWN_ARROW_RIGHT2".
std::vector<std::string> ArrowFaceKeys();

// Every "BUTTONINFO" key a skin file offers for a complete layout of its dialog. For the
// main window this includes the 108 key buttons, the nine G keys and Fn.
enum class SkinFile { Main, Composite, Profile, UpdateDlg, AutoProfiles, History };
inline constexpr std::array<SkinFile, 6> kAllSkinFiles = {SkinFile::Main,      SkinFile::Composite,
                                                          SkinFile::Profile,   SkinFile::UpdateDlg,
                                                          SkinFile::AutoProfiles, SkinFile::History};
std::string_view SkinFileName(SkinFile file);  // "Main.ini", ...
std::vector<std::string> SkinButtonKeys(SkinFile file);
// The state pictures the dialog loads by name (a missing one ends the process).
std::vector<std::string> SkinStatePictures(SkinFile file);
// The lighting panel's pictures (Windows bitmaps) and the tray and program icons.
std::vector<std::string> LightingPanelPictures();
std::vector<std::string> IconPictures();

}  // namespace vantrel::text
