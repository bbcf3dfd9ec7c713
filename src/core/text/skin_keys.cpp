#include "core/text/skin_keys.h"

#include "core/keys/keyboard_layout.h"

namespace vantrel::text {
namespace {

std::vector<std::string> Strings(std::initializer_list<std::string_view> names) {
  return {names.begin(), names.end()};
}

std::string Numbered(std::string_view prefix, int n, std::string_view suffix = {}) {
  return std::string(prefix) + std::to_string(n) + std::string(suffix);
}

}  // namespace

std::vector<std::string> ArrowFaceKeys() {
  std::vector<std::string> keys;
  for (const char* base : {"UP_ARROW_LEFT", "DOWN_ARROW_LEFT", "UP_ARROW_RIGHT", "DOWN_ARROW_RIGHT"})
    for (int n = 1; n <= 2; ++n) keys.push_back(Numbered(base, n));
  return keys;
}

std::string_view SkinFileName(SkinFile file) {
  switch (file) {
    case SkinFile::Main: return "Main.ini";
    case SkinFile::Composite: return "Composite.ini";
    case SkinFile::Profile: return "Profile.ini";
    case SkinFile::UpdateDlg: return "UpdateDlg.ini";
    case SkinFile::AutoProfiles: return "AutoProfiles.ini";
    case SkinFile::History: return "History.ini";
  }
  return {};
}

std::vector<std::string> SkinButtonKeys(SkinFile file) {
  switch (file) {
    case SkinFile::AutoProfiles:
      return Strings({"AUTO_STATUS", "AUTO_RULE_LIST", "AUTO_UP", "AUTO_DOWN", "AUTO_KIND", "AUTO_PATTERN",
                      "AUTO_PROFILE", "AUTO_ADD", "AUTO_EDIT", "AUTO_REMOVE", "AUTO_PICK", "AUTO_FALLBACK_PROMPT",
                      "AUTO_FALLBACK", "AUTO_ENABLED", "AUTO_CLOSE"});
    case SkinFile::History:
      return Strings({"HISTORY_LIST", "HISTORY_DIFF", "HISTORY_STATUS", "HISTORY_RESTORE", "HISTORY_CLOSE"});
    case SkinFile::Profile:
      return Strings({"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY",
                      "PROGRAM_LIST"});
    case SkinFile::UpdateDlg:
      return Strings({"CONTROL_UPStatic", "CONTROL_UPCombox", "CONTROL_CUPButton", "CONTROL_UPButton",
                      "CONTROL_OPENButton", "CONTROL_BACKUPButton"});
    case SkinFile::Composite:
      return Strings({"CONTROL_OK", "CONTROL_CANCEL", "CONTROL_CLEAR", "CONTROL_TITLE", "CONTROL_MASK",
                      "CONTROL_OSK", "CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION",
                      "KEY_SETTING", "MEDIA_SETTING_TISHI", "FUNCTION_KEY_SETTING_TISHI", "MARCO_NAME_SETTING",
                      "TISHI_SINGLE_STATIC", "FUNC_FUNCTION_SELECT", "FUNC_MEDIA_SELECT", "FUNC_KEY_RADIO_KB",
                      "FUNC_KEY_RADIO_KB_STATIC", "FUNC_KEY_RADIO_MOU", "FUNC_KEY_RADIO_MOU_STATIC",
                      "FUNC_KEY_COMBO_MOU", "FUNC_KEY_INPUT", "FUNC_MACRO_ADD", "FUNC_MACRO_DELETE",
                      "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP",
                      "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_LIST", "FUNC_MACRO_LIST2",
                      "FUNC_MACRO_RECORD", "FUNC_MACRO_RECORD_DELAY", "FUNC_MACRO_RECORD_DELAY2",
                      "FUNC_MACRO_CYCLES", "FUNC_MACRO_CYCLES_PROMPT", "FUNC_MACRO_TYPE_TEXT"});
    case SkinFile::Main: {
      auto keys = Strings(
          {"CONTROL_OK", "CONTROL_CANCEL", "CONTROL2_APPLY", "CONTROL_CLOSE", "CONTROL_MINIMIZE", "CONTROL_HELP",
           "CONTROL_MENU", "CONTROL_LINK", "CONTROL_Facebook", "CONTROL_twitter", "CONTROL_Network", "TOLVEN_LINK",
           "TOLVEN_VER", "FUNC_DEFAULT", "FUNC_MACRO", "FUNC_SWITCH", "FUNC_PROFILES", "FUNC_PROFILE1",
           "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4",
           "LEFT_ARROW", "RIGHT_ARROW", "LOCK_AB", "LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "FLIP_0",
           "FLIP_1", "FLIP_2", "COLOR_R", "COLOR_G", "COLOR_B", "CONTROL_UsbStatic", "CONTROL_DengStatic",
           "CONTROL_DengStaPic", "CONTROL_LightStatic", "CONTROL_LightSlider", "CONTROL_SpeedStatic",
           "CONTROL_SpeedSlider", "CONTROL_RGBStatic", "CONTROL_JDTStatic", "CONTROL_umCombo", "CONTROL_XGcombox",
           "CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LANPIC", "CONTROL_LVPIC", "CONTROL_BLFXStatic",
           "CONTROL_BLFXStatic2", "CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic", "CONTROL_BLFXLStaPic2",
           "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic", "CONTROL_BLFXRStaPic2", "CONTROL_BLFXRStaPic3",
           "CONTROL_CDysButton", "CONTROL_CDysStatic", "CONTROL_CDsjsStatic", "CONTROL_CDsjsStaPic",
           "CONTROL_FYYSButton", "CONTROL_FYYSStatic", "CONTROL_FYSJSStatic", "CONTROL_FYSJSStaPic",
           "CONTROL_FYCFStatic", "CONTROL_FYdjcfStatic", "CONTROL_FYdjcfStaPic", "CONTROL_FYggcfStatc",
           "CONTROL_FYggcfStaPic", "CONTROL_HXysButton", "CONTROL_HXysStatic", "CONTROL_HXsjsStatic",
           "CONTROL_HXsjsStaPic", "CONTROL_JTysButton", "CONTROL_JTysStatic", "CONTROL_TSysButton",
           "CONTROL_TSysStatic", "CONTROL_TSsjsStatic", "CONTROL_TSsjsStaPic", "CONTROL_USERysButton",
           "CONTROL_USERysStatic", "CONTROL_USERjsButton", "CONTROL_USERjsStatic", "CONTROL_USERgjStatic",
           "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2"});
      for (int n = 1; n <= 8; ++n) keys.push_back(Numbered("CONTROL_Color", n));
      for (const auto& k : keys::GLayoutKeys()) keys.push_back(keys::SkinKeyOf(k));
      for (const auto& k : keys::OrdinaryLayoutKeys()) keys.push_back(keys::SkinKeyOf(k));
      keys.push_back(keys::SkinKeyOf(keys::FnLayoutKey()));
      return keys;
    }
  }
  return {};
}

std::vector<std::string> SkinStatePictures(SkinFile file) {
  switch (file) {
    case SkinFile::Main:
      return Strings({"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg", "Arrow.jpg",
                      "main_color0.jpg", "main_color1.jpg"});
    case SkinFile::Composite:
      return Strings({"key_normal.jpg", "key_over.jpg", "key_down.jpg", "macro_normal.jpg", "macro_over.jpg",
                      "macro_down.jpg", "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg",
                      "macro2_down.jpg", "macro2_disable.jpg", "media_normal.jpg", "media_over.jpg",
                      "media_down.jpg", "function_normal.jpg", "function_over.jpg", "function_down.jpg"});
    case SkinFile::Profile:
      return Strings({"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg", "Profile_disable.jpg"});
    case SkinFile::UpdateDlg: return Strings({"update_normal.jpg", "update_over.jpg"});
    case SkinFile::AutoProfiles:
      return Strings({"AutoProfiles_normal.jpg", "AutoProfiles_over.jpg", "AutoProfiles_down.jpg",
                      "AutoProfiles_disable.jpg"});
    case SkinFile::History:
      return Strings({"History_normal.jpg", "History_over.jpg", "History_down.jpg", "History_disable.jpg"});
  }
  return {};
}

std::vector<std::string> LightingPanelPictures() {
  auto names = Strings({"dengup.bmp", "dengdown.bmp", "leftup.bmp", "leftdown.bmp", "rightup.bmp", "rightdown.bmp",
                        "upup.bmp", "updown.bmp", "downup.bmp", "downdown.bmp", "kuosan.bmp", "kuosandown.bmp",
                        "julong.bmp", "julongdown.bmp", "hong.bmp", "hongok.bmp", "huang.bmp", "huangok.bmp",
                        "lv.bmp", "lvok.bmp", "lan.bmp", "lanok.bmp", "sjsup.bmp", "sjsdown.bmp", "user1up.bmp",
                        "user1down.bmp", "user2up.bmp", "user2down.bmp"});
  for (int n = 1; n <= 10; ++n) names.push_back(Numbered("jdt", n, ".bmp"));
  for (int n = 0; n <= 25; ++n) names.push_back(Numbered("", n, ".bmp"));
  return names;
}

std::vector<std::string> IconPictures() {
  return Strings({"tray_128.png", "tray_141.png", "tray_142.png", "vantrel.png"});
}

}  // namespace vantrel::text
