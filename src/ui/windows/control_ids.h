// Control ids, command ids and dialog resource numbers of every window, declared once. The
// numbers are fixed (skin files, menu commands and tests refer to them); each window's
// header includes this file, so its callers see the names below.
// The 108 key buttons and the G keys take their ids from the layout table
// (core/keys/keyboard_layout), not from here.
#pragma once

#include <array>

namespace vantrel::ui {

// ---- Main window (CVantrelDlg) ----------------------------------------------------------
namespace ids {
inline constexpr int kOk = 1, kCancel = 2;
inline constexpr int kProfiles = 1005, kApply = 1006, kMacro = 1007;
inline constexpr int kLink = 1121, kHelp = 1122, kMinimise = 1123, kClose = 1124;
inline constexpr int kLockCaps = 1125, kLockNum = 1126, kLockScroll = 1127, kLockAb = 1128;
inline constexpr int kFlip0 = 1129, kFlip1 = 1130, kFlip2 = 1131;
inline constexpr int kVersion = 1134, kProfile1 = 1135, kDefault = 1138, kMenu = 1139, kSwitch = 1144;
inline constexpr int kWebLink = 1199;
inline constexpr std::array<int, 4> kReport = {1147, 1168, 1169, 1170};
inline constexpr int kLeftArrow = 1300, kRightArrow = 1301;  // our own: the arrow pictures have no id
// The Flip setting swaps two layouts of the top-left keys: F1..F4 (1010..1013) are shown
// with Flip 0, the six media buttons 1016..1021 in their place with Flip non-zero.
inline constexpr int kFlipOffFirst = 1010, kFlipOffLast = 1013;
inline constexpr int kFlipOnFirst = 1016, kFlipOnLast = 1021;
// Profile menu: 9000 is the default profile, 9001..9003 the slots; every command up to
// 9200 is a profile choice (command - 9001 is the slot, -1 the default).
inline constexpr int kProfileMenuFirst = 9000, kProfileMenuLast = 9200;
}  // namespace ids

// ---- File menu of the main window (menu 144 behind button 1139) --------------------------
inline constexpr int kIdMenuButton = ids::kMenu;
inline constexpr int kMenuBackupResource = 144;
inline constexpr int kCmdRestore = 32776;
inline constexpr int kCmdBackup = 32777;
inline constexpr int kCmdUpdateDialog = 32780;

// ---- Lighting panel (dialog 102) ---------------------------------------------------------
namespace panel_id {
inline constexpr int kEffectCombo = 1146;
inline constexpr int kReportRate1 = 1147;
inline constexpr int kDirectionStatic = 1148;
inline constexpr int kDirectionForward = 1149;  // 0xFF: left, up, outward
inline constexpr int kDirectionBack = 1150;     // 0x00: right, down, inward
inline constexpr int kFyColourStatic = 1151;
inline constexpr int kFyColourButton = 1152;
inline constexpr int kHxColourStatic = 1154;
inline constexpr int kHxColourButton = 1155;
inline constexpr int kHxMultiPicture = 1156;
inline constexpr int kBrushStatic = 1159;
inline constexpr int kBrushButton = 1160;
inline constexpr int kBaseStatic = 1161;
inline constexpr int kBaseButton = 1162;
inline constexpr int kToolStatic = 1163;
inline constexpr int kTool0Picture = 1164;
inline constexpr int kTool1Picture = 1165;
inline constexpr int kSpeedStatic = 1166;
inline constexpr int kLamp = 1167;
inline constexpr int kReportRate2 = 1168;
inline constexpr int kReportRate3 = 1169;
inline constexpr int kReportRate4 = 1170;
inline constexpr int kTitle = 1171;
inline constexpr int kBrightnessStatic = 1172;
inline constexpr int kHxMultiStatic = 1173;
inline constexpr int kFyMultiPicture = 1175;
inline constexpr int kFyMultiStatic = 1176;
inline constexpr int kProgress = 1177;
inline constexpr int kBrightnessSlider = 1178;
inline constexpr int kSpeedSlider = 1179;
inline constexpr int kChoiceRed = 1194;  // 1194..1197: red, yellow, green, blue
inline constexpr int kUserModeCombo = 1198;
inline constexpr int kReportStatic = 1204;
inline constexpr int kRgbStatic = 1207;
inline constexpr int kRgbEditRed = 1208;  // 1208..1210: R, G, B
inline constexpr int kWriteStatus = 1211;  // the keyboard did not take a change
inline constexpr int kNote = 1212;         // what the lamp opens; why key clicks do nothing
}  // namespace panel_id
static_assert(panel_id::kReportRate1 == ids::kReport[0] && panel_id::kReportRate4 == ids::kReport[3],
              "the panel's report-rate buttons are the main window's");

// ---- Key page (dialog 134) ---------------------------------------------------------------
inline constexpr int kKeyPageResource = 134;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdApply = 1015;
inline constexpr int kIdTabSingle = 1028;
inline constexpr int kIdTabMacro = 1029;
inline constexpr int kIdTabMedia = 1030;
inline constexpr int kIdTabFunction = 1031;
inline constexpr int kIdClear = 1032;
inline constexpr int kIdOsk = 1132;
inline constexpr int kIdKb = 1185;
inline constexpr int kIdMou = 1186;
// The main window's "FUNC_MACRO" button (1007) acts as G9 (keys::kGKeyMacroButton).
inline constexpr int kIdMacroButton = ids::kMacro;

// ---- Macro tab of the key page -----------------------------------------------------------
inline constexpr int kIdMacroAdd = 1017;
inline constexpr int kIdMacroDelete = 1018;
inline constexpr int kIdActionList = 1019;
inline constexpr int kIdRecord = 1020;
inline constexpr int kIdStepDelete = 1021;
inline constexpr int kIdStepClear = 1022;
inline constexpr int kIdStepTop = 1023;
inline constexpr int kIdStepUp = 1024;
inline constexpr int kIdStepDown = 1025;
inline constexpr int kIdStepBottom = 1026;
inline constexpr int kIdRecordDelays = 1027;
inline constexpr int kIdTypeText = 1040;  // "Type text..."

// ---- Profile manager (dialog 131) --------------------------------------------------------
inline constexpr int kProfileDialogResource = 131;
inline constexpr int kIdProfileList = 1007;
inline constexpr int kIdProfileAdd = 1010;
inline constexpr int kIdProfileLoad = 1008;
inline constexpr int kIdProfileDelete = 1011;
inline constexpr int kIdProfileOk = 1;
inline constexpr int kIdProfileCancel = 2;
inline constexpr int kIdProfileApply = 1012;

// ---- Firmware-update dialog (dialog 149) -------------------------------------------------
inline constexpr int kUpdateDialogResource = 149;
inline constexpr int kIdUpdatePath = 1179;
inline constexpr int kIdUpdateCombo = 1178;
inline constexpr int kIdUpdateOpen = 1181;
inline constexpr int kIdUpdateStart = 1147;
inline constexpr int kIdUpdateCancel = 1180;
inline constexpr int kIdUpdateBackup = 1182;

// ---- Automatic profiles (our own dialog; ids of our own range) --------------------------
inline constexpr int kAutoProfilesResource = 190;
inline constexpr int kIdAutoList = 1901;
inline constexpr int kIdAutoUp = 1902;
inline constexpr int kIdAutoDown = 1903;
inline constexpr int kIdAutoAdd = 1904;
inline constexpr int kIdAutoEdit = 1905;
inline constexpr int kIdAutoRemove = 1906;
inline constexpr int kIdAutoPick = 1907;
inline constexpr int kIdAutoClose = 1908;
inline constexpr int kIdAutoStatus = 1909;

// ---- History (our own dialog; ids of our own range) -------------------------------------
inline constexpr int kHistoryResource = 191;
inline constexpr int kIdHistoryList = 1911;
inline constexpr int kIdHistoryDiff = 1912;
inline constexpr int kIdHistoryRestore = 1913;
inline constexpr int kIdHistoryClose = 1914;
inline constexpr int kIdHistoryStatus = 1915;

// ---- About box (dialog 100) --------------------------------------------------------------
inline constexpr int kIdAboutOk = 1;
inline constexpr int kIdAboutCopyright = 1205;
inline constexpr int kIdAboutIntroduction = 1206;

}  // namespace vantrel::ui
