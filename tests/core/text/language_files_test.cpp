// The shipped language files: every file carries every key of the English file and every
// key the program looks up, with a non-empty text; texts used as formats carry exactly
// their one conversion, and no other text carries any. The setting name among the texts is
// the same everywhere, and each language keeps its typography and its terms.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/text/language.h"
#include "core/text/utf16.h"

namespace vantrel::text {
namespace {

const std::filesystem::path kBinDir = VANTREL_BIN_DIR;

// Section "TEXT" keys looked up by the program (besides the function and key names).
const std::vector<std::string> kTextKeys = {
    "APPLY_PROMPT", "A_BOTTOM", "A_CLEAR", "A_DELETE", "A_DOWN", "A_RECORD", "A_TOP", "A_UP",
    "COMPOSITE_PROMPT_CLEAR", "COMPOSITE_PROMPT_OSK", "DEFAULT_PROFILE_NAME", "EXTRA_MACRO_TOO_LONG",
    "EXTRA_PROFILE_SPACE_TIGHT", "FUNCTION_KEY", "FUNCTION_TISHI", "GUANYU_BANQUAN", "GUANYU_JIESHAO",
    "IDS_MACRO_KB_KEY", "IDS_MACRO_MOU_KEY", "IDS_TrayTip_Keyboard", "KEYBOARD_TRAY_DESC",
    "KEY_PROMPT_FUNCTION", "KEY_PROMPT_MACRO", "KEY_PROMPT_MEDIA", "KEY_PROMPT_SET", "KEY_PROMPT_SINGLE",
    "KEY_SETTING_TISHI", "LANG_ABOUT_OK", "LANG_ABOUT_TITLE", "MACRO_ACTION_CLEAR_CONFIRM",
    "MACRO_ACTION_ERR_DELAY_MAX", "MACRO_ACTION_ERR_KEYS_PROMPT", "MACRO_ACTION_ERR_KEYS_PROMPT2",
    "MACRO_ACTION_ERR_MODIFY", "MACRO_ACTION_RECORD", "MACRO_ACTION_RECORD_DELAY", "MACRO_ACTION_STOP_RECORD",
    "MACRO_ACTION_TISHI", "MACRO_CANCLE", "MACRO_CYCLES", "MACRO_DEFAULT_NAME", "MACRO_DELAY_MS",
    "MACRO_DELETE_CONFIRM_OF_KEYS", "MACRO_EDIT_TISHI", "MACRO_ERR_MAX", "MACRO_ERR_NAME_SYSTEM",
    "MACRO_ERR_RECORD", "MACRO_ERR_SAME", "MACRO_KEYS_TISHI", "MACRO_NAME_SETTING", "MACRO_NEW_PREFIX",
    "MACRO_OK", "MACRO_RECORD_DESKTOP_KEYS", "MACRO_SETTING", "MAIN_CAPTION", "MAIN_CLOSE_PROMPT", "MAIN_DEFAULT_MATRIX_PROMPT",
    "MAIN_HELP_PROMPT", "MAIN_LINK_PROMPT", "MAIN_MENU_PROMPT", "MAIN_MINIMIZE_PROMPT",
    "MAIN_NO_DEVICE_PROMPT", "MAIN_PROMPT_DEFAULT", "MAIN_PROMPT_INPORT", "MAIN_SWITCH_COLOR_TEXT",
    "MAIN_SWITCH_FUNCTION_TEXT", "MEDIA_EDIT_TISHI", "MENU_1", "MENU_2", "MENU_3", "MENU_4", "MENU_11",
    "MENU_22", "MENU_33", "MULTI_MEDIA", "PROFILE_1", "PROFILE_2", "PROFILE_3", "PROFILE_APPLY",
    "PROFILE_CANCLE", "PROFILE_DEFAULT", "PROFILE_FORMAT_ERROR", "PROFILE_MACRO", "PROFILE_NEW", "PROFILE_OK",
    "PROFILE_SEELCT_PROMPT2", "PROFILE_SELECT_PROMPT", "PROFILE_TIP", "PROFILE_TITLE", "RECORD_DELAY", "SINGLE_KEY",
    "SINGLE_STATIC", "UNKNOWN_KEY", "UPDATE_TITLE",
    // The windows' own texts beyond those: profile manager, update dialog, tray, the symbol
    // buttons' and the lighting pictures' tooltips, file-chooser filters.
    "PROFILE_COLUMN_ACTIVE", "PROFILE_COLUMN_NAME", "PROFILE_COLUMN_PATH", "PROFILE_ADD", "PROFILE_LOAD",
    "PROFILE_DELETE", "PROFILE_FILE_FILTER", "ALL_FILES_FILTER", "UPDATE_OPEN", "UPDATE_START", "UPDATE_CANCEL",
    "UPDATE_BACKUP", "UPDATE_FILE_FILTER", "UPDATE_FILE_MISSING", "UPDATE_NO_BOOT_MODE", "UPDATE_CANNOT_RUN",
    "UPDATE_STILL_IN_BOOT_MODE", "UPDATE_BACKUP_DONE", "UPDATE_BACKUP_FAILED", "MAIN_PROMPT_BACKUP_FAILED", "MAIN_PROMPT_READBACK_FAILED",
    "MAIN_PROMPT_BACKUP_DONE", "MAIN_PROMPT_RESTORE_DONE", "LIGHT_NOTE_FOLDED", "LIGHT_NOTE_KEYS_IDLE", "MACRO_ONLY_TAB_TIP",
    "USER_MODE_NAME_0", "USER_MODE_NAME_1", "USER_MODE_NAME_2", "USER_MODE_NAME_3", "USER_MODE_NAME_4",
    "USER_MODE_NAME_5", "USER_MODE_NAME_6", "USER_MODE_NAME_7", "USER_MODE_NAME_8", "USER_MODE_NAME_9",
    "MENU_LANGUAGE", "MENU_VIRTUAL_KEYBOARD", "SIM_EVENT_UNPLUG", "SIM_EVENT_PLUG", "SIM_EVENT_G_LAYER",
    "SIM_EVENT_INDICATOR_ON", "SIM_EVENT_INDICATOR_OFF", "SIM_EVENT_LIGHTING_CHANGED", "MACRO_ADD_PROMPT",
    "MACRO_DELETE_PROMPT", "LIGHT_LAMP_PROMPT", "LIGHT_MULTICOLOR_PROMPT", "LIGHT_TOOL_BRUSH_PROMPT",
    "LIGHT_TOOL_BASE_PROMPT", "LIGHT_CHOICE_ROW", "LIGHT_REPORT_RATE_BUTTON", "LIGHT_DIRECTION_LEFT", "LIGHT_DIRECTION_RIGHT",
    "LIGHT_DIRECTION_UP", "LIGHT_DIRECTION_DOWN", "LIGHT_DIRECTION_OUT", "LIGHT_DIRECTION_IN", "LIGHT_CHOICE_RED", "LIGHT_CHOICE_YELLOW", "LIGHT_CHOICE_GREEN",
    "LIGHT_CHOICE_BLUE",
    // The key map sheet, its menu entry and the questions of a dropped file.
    "MENU_PRINT_KEY_MAP", "SHEET_TITLE", "SHEET_DISABLED", "SHEET_MACRO", "SHEET_LAUNCH", "SHEET_TEXT",
    "SHEET_STOP_MACRO", "SHEET_GKEYS", "SHEET_LAYER1", "SHEET_LAYER2", "SHEET_CYCLES", "DROP_IMPORT_PROMPT", "DROP_RESTORE_PROMPT",
    "DROP_IMPORT_FAILED",
    // The macro editor's "Type text..." dialog.
    "TYPE_TEXT_BUTTON", "TYPE_TEXT_TITLE", "TYPE_TEXT_PROMPT", "TYPE_TEXT_LAYOUT", "TYPE_TEXT_DESKTOP",
    "TYPE_TEXT_DETECTING", "TYPE_TEXT_STEPS", "TYPE_TEXT_HINT", "TYPE_TEXT_TOO_MANY", "TYPE_TEXT_CANNOT_TYPE",
};

// Language keys of the key-name table (keys and mouse functions, media keys).
const std::vector<std::string> kKeyNameKeys = {
    "IDS_KEYBOARD_ESC", "IDS_KEYBOARD_1", "IDS_KEYBOARD_2", "IDS_KEYBOARD_3", "IDS_KEYBOARD_4",
    "IDS_KEYBOARD_5", "IDS_KEYBOARD_6", "IDS_KEYBOARD_7", "IDS_KEYBOARD_8", "IDS_KEYBOARD_9",
    "IDS_KEYBOARD_0", "IDS_KEYBOARD_MINUS", "IDS_KEYBOARD_EQUAL", "IDS_KEYBOARD_BACKSPACE",
    "IDS_KEYBOARD_TAB", "IDS_KEYBOARD_Q", "IDS_KEYBOARD_W", "IDS_KEYBOARD_E", "IDS_KEYBOARD_R",
    "IDS_KEYBOARD_T", "IDS_KEYBOARD_Y", "IDS_KEYBOARD_U", "IDS_KEYBOARD_I", "IDS_KEYBOARD_O",
    "IDS_KEYBOARD_P", "IDS_KEYBOARD_LBRACKET", "IDS_KEYBOARD_RBRACKET", "IDS_KEYBOARD_ENTER",
    "IDS_KEYBOARD_LCTRL", "IDS_KEYBOARD_A", "IDS_KEYBOARD_S", "IDS_KEYBOARD_D", "IDS_KEYBOARD_F",
    "IDS_KEYBOARD_G", "IDS_KEYBOARD_H", "IDS_KEYBOARD_J", "IDS_KEYBOARD_K", "IDS_KEYBOARD_L",
    "IDS_KEYBOARD_SEMICOLON", "IDS_KEYBOARD_QUOTE", "IDS_KEYBOARD_GRAVE", "IDS_KEYBOARD_LSHIFT",
    "IDS_KEYBOARD_BACKSLASH", "IDS_KEYBOARD_Z", "IDS_KEYBOARD_X", "IDS_KEYBOARD_C", "IDS_KEYBOARD_V",
    "IDS_KEYBOARD_B", "IDS_KEYBOARD_N", "IDS_KEYBOARD_M", "IDS_KEYBOARD_COMMA", "IDS_KEYBOARD_PERIOD",
    "IDS_KEYBOARD_SLASH", "IDS_KEYBOARD_RSHIFT", "IDS_KEYBOARD_NUM_MULTIPLY", "IDS_KEYBOARD_LALT",
    "IDS_KEYBOARD_SPACE", "IDS_KEYBOARD_CAPSLOCK", "IDS_KEYBOARD_F1", "IDS_KEYBOARD_F2", "IDS_KEYBOARD_F3",
    "IDS_KEYBOARD_F4", "IDS_KEYBOARD_F5", "IDS_KEYBOARD_F6", "IDS_KEYBOARD_F7", "IDS_KEYBOARD_F8",
    "IDS_KEYBOARD_F9", "IDS_KEYBOARD_F10", "IDS_KEYBOARD_PAUSE", "IDS_KEYBOARD_SCROLLLOCK",
    "IDS_KEYBOARD_NUM_7", "IDS_KEYBOARD_NUM_8", "IDS_KEYBOARD_NUM_9", "IDS_KEYBOARD_NUM_MINUS",
    "IDS_KEYBOARD_NUM_4", "IDS_KEYBOARD_NUM_5", "IDS_KEYBOARD_NUM_6", "IDS_KEYBOARD_NUM_PLUS",
    "IDS_KEYBOARD_NUM_1", "IDS_KEYBOARD_NUM_2", "IDS_KEYBOARD_NUM_3", "IDS_KEYBOARD_NUM_0",
    "IDS_KEYBOARD_NUM_DECIMAL", "IDS_KEYBOARD_SYSREQ", "IDS_KEYBOARD_OEM102", "IDS_KEYBOARD_F11",
    "IDS_KEYBOARD_F12", "IDS_KEYBOARD_ROMA", "IDS_KEYBOARD_KL", "IDS_KEYBOARD_KR", "IDS_KEYBOARD_K56",
    "IDS_KEYBOARD_CHG", "IDS_KEYBOARD_N_CHG", "IDS_KEYBOARD_K14", "IDS_KEYBOARD_K107",
    "IDS_KEYBOARD_NUM_ENTER", "IDS_KEYBOARD_RCTRL", "IDS_KEYBOARD_NUM_DIVIDE", "IDS_KEYBOARD_PRINTSCREEN",
    "IDS_KEYBOARD_RALT", "IDS_KEYBOARD_NUMLOCK", "IDS_KEYBOARD_BREAK", "IDS_KEYBOARD_HOME", "IDS_KEYBOARD_UP",
    "IDS_KEYBOARD_PAGEUP", "IDS_KEYBOARD_LEFT", "IDS_KEYBOARD_RIGHT", "IDS_KEYBOARD_END", "IDS_KEYBOARD_DOWN",
    "IDS_KEYBOARD_PAGEDOWN", "IDS_KEYBOARD_INSERT", "IDS_KEYBOARD_DELETE", "IDS_KEYBOARD_LWIN",
    "IDS_KEYBOARD_RWIN", "IDS_KEYBOARD_APP", "IDS_KEYBOARD_POWER", "IDS_KEYBOARD_SLEEP", "IDS_KEYBOARD_WAKE",
    "IDS_KEYBOARD_ROLL_UP", "IDS_KEYBOARD_ROLL_DOWN", "IDS_KEYBOARD_PAN_LEFT", "IDS_KEYBOARD_PAN_RIGHT",
    "IDS_KEYBOARD_DOUBLE_CLICK", "IDS_KEYBOARD_MOU_LEFT", "IDS_KEYBOARD_MOU_RIGHT", "IDS_KEYBOARD_MOU_MIDDLE",
    "IDS_KEYBOARD_ZOOM_OUT", "IDS_KEYBOARD_ZOOM_IN", "IDS_KEYBOARD_COPY", "IDS_KEYBOARD_CUT",
    "IDS_KEYBOARD_PASTE", "IDS_KEYBOARD_MINIMIZE", "IDS_KEYBOARD_MAXIMIZE", "IDS_KEYBOARD_WORD",
    "IDS_KEYBOARD_EXCEL", "IDS_KEYBOARD_POWERPOINT", "IDS_KEYBOARD_CALENDAR", "MEDIA_PALYER_1",
    "MEDIA_PALY_PAUSE_2", "MEDIA_STOP_PALY_3", "MEDIA_PREV_TRACK_4", "MEDIA_Next_TRACK_5", "MEDIA_V_LOW_6",
    "MEDIA_V_ADD_7", "MEDIA_MUTE_8", "MEDIA_WWW_HOME_9", "MEDIA_WWW_REFRESH_10", "MEDIA_WWW_STOP_11",
    "MEDIA_WWW_BACK_12", "MEDIA_WWW_FORWARD_13", "MEDIA_WWW_FAVORITE_14", "MEDIA_WWW_SEARCH_15",
    "MEDIA_MY_PC_16", "MEDIA_CALC_17", "MEDIA_MAIL_18",
};

const std::vector<std::string> kLightKeys = {"Usb", "Deng", "Light", "FX", "Speed", "Color", "JColor", "DC", "RGB", "Tool"};

// Keys whose text is used as a format, and the one conversion each must carry.
enum class Conversion { kNumber, kString };
const std::map<std::string, Conversion> kFormatKeys = {
    {"UNKNOWN_KEY", Conversion::kNumber},
    {"MACRO_ERR_MAX", Conversion::kNumber},
    {"MACRO_ACTION_ERR_DELAY_MAX", Conversion::kNumber},
    {"PROFILE_FORMAT_ERROR", Conversion::kString},
    {"MAIN_PROMPT_OPEN_FAILED", Conversion::kString},
    {"MAIN_PROMPT_BACKUP_FAILED", Conversion::kString},
    {"MAIN_PROMPT_BACKUP_DONE", Conversion::kString},
    {"MAIN_PROMPT_RESTORE_DONE", Conversion::kString},
    {"LIGHT_NOTE_KEYS_IDLE", Conversion::kString},
    {"LIGHT_REPORT_RATE_BUTTON", Conversion::kString},
    {"SHEET_TITLE", Conversion::kString},
    {"SHEET_CYCLES", Conversion::kNumber},
    {"SHEET_MACRO", Conversion::kString},
    {"SHEET_LAUNCH", Conversion::kString},
    {"SHEET_TEXT", Conversion::kString},
    {"DROP_IMPORT_PROMPT", Conversion::kString},
    {"DROP_RESTORE_PROMPT", Conversion::kString},
    {"DROP_IMPORT_FAILED", Conversion::kString},
    {"TYPE_TEXT_DESKTOP", Conversion::kString},
    {"TYPE_TEXT_STEPS", Conversion::kNumber},
    {"TYPE_TEXT_TOO_MANY", Conversion::kNumber},
    {"HISTORY_COUNT", Conversion::kString},
    {"HISTORY_SKIPPED", Conversion::kString},
    {"HISTORY_COMPARE_FAILED", Conversion::kString},
    {"HISTORY_RESTORE_PROMPT", Conversion::kString},
    {"HISTORY_RESTORE_EDITS_PROMPT", Conversion::kString},
    {"HISTORY_RESTORE_FAILED", Conversion::kString},
};

// Texts with several string conversions, filled in order in one pass: how many each has.
// Every language keeps the count, or a part would be lost or printed as "%s".
const std::map<std::string, std::size_t> kMultiStringKeys = {
    {"READBACK_DIFFERS", 3},       {"READBACK_NOT_READ", 2},       {"READBACK_WHAT_KEY_TABLE", 1},
    {"READBACK_WHAT_LIGHTING", 1}, {"READBACK_STATE_BYTE", 1},     {"READBACK_KEY", 2},
    {"READBACK_KEY_POSITION", 2},  {"READBACK_MACRO", 2},          {"READBACK_MACRO_NAME", 1},
    {"READBACK_MACRO_CYCLES", 1},  {"READBACK_MACRO_STEPS", 1},    {"READBACK_MACRO_STEP", 2},
    {"READBACK_STEP_PRESS", 2},    {"READBACK_STEP_RELEASE", 2},   {"READBACK_MACRO_MISSING", 1},
    {"READBACK_MACRO_EXTRA", 1},   {"READBACK_AREA_BYTE", 1},      {"READBACK_BYTES", 1},
    {"READBACK_AREA_TOO_SMALL", 2}, {"READBACK_LIGHTING", 2},      {"READBACK_LIGHT_BYTE", 1},
    {"FOLDER_NOT_WRITABLE", 2},
    {"READBACK_KEY_COLOUR", 2},    {"UNDO_STEP_KEY", 3},           {"UNDO_STEP_DEFAULT", 1},
    {"UNDO_STEP_IMPORT", 1},       {"UNDO_STEP_LIGHTING", 1},      {"UNDO_STEP_KEY_COLOURS", 1},
    {"HISTORY_KEYS", 2},           {"HISTORY_MORE", 2},            {"HISTORY_MACROS_ADDED", 1},
    {"HISTORY_MACROS_REMOVED", 1}, {"HISTORY_MACROS_CHANGED", 1},  {"HISTORY_LIGHTING", 1},
    {"HISTORY_KEY_COLOURS", 1},    {"HISTORY_JOIN", 2},
    {"MENU_UNDO", 1},              {"MENU_REDO", 1},               {"UNDO_STEP_SELECTION", 1},
    {"TEXT_MACRO_BAD_LAYOUT", 1},  {"TEXT_MACRO_CANNOT_TYPE", 1},  {"TEXT_MACRO_KEY_MISSING", 2},
    {"TEXT_MACRO_NOT_ON_LAYOUT", 2}, {"TYPE_TEXT_CANNOT_TYPE", 1},
};

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// A plain reading of the file's lines, to enumerate its keys (the lookup itself cannot).
Sections ReadSections(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  Sections sections;
  std::string line, section;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    first = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    sections[section][line.substr(0, eq)] = line.substr(eq + 1);
  }
  return sections;
}

// The '%' sequences of a text other than "%%", each up to and including its type letter.
std::vector<std::string> Conversions(const std::string& text) {
  std::vector<std::string> found;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 < text.size() && text[i + 1] == '%') {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < text.size() && std::string_view("-+ #0123456789.hlLzjt").find(text[j]) != std::string_view::npos) ++j;
    found.push_back(text.substr(i, j + 1 - i));
    i = j;
  }
  return found;
}

bool IsNumberConversion(const std::string& c) {
  return c.size() >= 2 && std::string_view("diuxX").find(c.back()) != std::string_view::npos;
}

class LanguageFiles : public ::testing::TestWithParam<int> {
 protected:
  MemorySettingsStore settings;
  FixedSystemLanguage system{0x0409};
  LanguageTexts texts{kBinDir, settings, system};
};

TEST_P(LanguageFiles, CarryEveryKeyOfTheEnglishFile) {
  const Sections english = ReadSections(texts.LanguageFilePath(0));
  const Sections file = ReadSections(texts.LanguageFilePath(GetParam()));
  ASSERT_FALSE(english.empty());
  ASSERT_FALSE(file.empty()) << texts.LanguageFilePath(GetParam());
  for (const auto& [section, keys] : english) {
    for (const auto& [key, value] : keys) {
      EXPECT_TRUE(file.count(section) && file.at(section).count(key))
          << texts.LanguageFilePath(GetParam()).filename() << " lacks [" << section << "] " << key;
    }
  }
  // And nothing the English file does not have.
  for (const auto& [section, keys] : file) {
    for (const auto& [key, value] : keys) {
      EXPECT_TRUE(english.count(section) && english.at(section).count(key)) << "extra [" << section << "] " << key;
    }
  }
}

TEST_P(LanguageFiles, EveryLookedUpKeyHasAText) {
  const int index = GetParam();
  auto expectText = [&](const std::string& text, const std::string& what) {
    EXPECT_NE(text, kMissingText) << what;
    EXPECT_FALSE(text.empty()) << what;
  };
  for (const auto& key : kTextKeys) expectText(texts.LookupText(key, index), key);
  for (int i = 1; i <= 11; ++i) {
    expectText(texts.LookupText("FUNC_KEY_DESC" + std::to_string(i), index), "FUNC_KEY_DESC" + std::to_string(i));
  }
  for (const auto& key : kKeyNameKeys) expectText(texts.LookupText(key, index), key);
  for (const auto& key : kLightKeys) expectText(texts.LookupLightText(key, index), "LIGHT " + key);
  for (int code = 1; code <= 20; ++code) expectText(texts.LookupModeText(code, index), "MODE " + std::to_string(code));
}

TEST_P(LanguageFiles, FormatTextsCarryExactlyTheirOneConversion) {
  const Sections file = ReadSections(texts.LanguageFilePath(GetParam()));
  for (const auto& [section, keys] : file) {
    for (const auto& [key, value] : keys) {
      const auto conversions = Conversions(value);
      const auto multi = section == "TEXT" ? kMultiStringKeys.find(key) : kMultiStringKeys.end();
      if (multi != kMultiStringKeys.end()) {
        EXPECT_EQ(conversions, std::vector<std::string>(multi->second, "%s")) << key << " = " << value;
        continue;
      }
      const auto format = section == "TEXT" ? kFormatKeys.find(key) : kFormatKeys.end();
      if (format == kFormatKeys.end()) {
        EXPECT_TRUE(conversions.empty()) << key << " = " << value;
        continue;
      }
      ASSERT_EQ(conversions.size(), 1u) << key << " = " << value;
      if (format->second == Conversion::kNumber) {
        EXPECT_TRUE(IsNumberConversion(conversions[0])) << key << " = " << value;
      } else {
        EXPECT_EQ(conversions[0], "%s") << key << " = " << value;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFiles, ::testing::Range(0, 5));

TEST(LanguageFileTexts, AreDistinctPerLanguageWhereTheyShouldBe) {
  // A file copied from another language by mistake would pass the key checks.
  MemorySettingsStore settings;
  const FixedSystemLanguage system(0x0409);
  const LanguageTexts texts(kBinDir, settings, system);
  std::set<std::string> prompts;
  for (int index = 0; index < 4; ++index) prompts.insert(texts.LookupText("MAIN_NO_DEVICE_PROMPT", index));
  EXPECT_EQ(prompts.size(), 4u);
}

// "MACRO_ACTION_RECORD_DELAY" names the stored record-delays setting. A translated name
// would lose the setting on every change of language, and a name with a separator or a
// non-ASCII character would not be one plain settings key.
TEST(LanguageFileTexts, TheRecordDelaySettingNameIsOnePlainAsciiWordInEveryLanguage) {
  MemorySettingsStore settings;
  const FixedSystemLanguage system(0x0409);
  const LanguageTexts texts(kBinDir, settings, system);
  const std::string name = texts.LookupText("MACRO_ACTION_RECORD_DELAY", 0);
  ASSERT_FALSE(name.empty());
  for (const char c : name) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << name;
  for (int index = 1; index < 5; ++index) EXPECT_EQ(texts.LookupText("MACRO_ACTION_RECORD_DELAY", index), name);
}

// The record button switches between these captions; its idle caption is one text.
TEST_P(LanguageFiles, TheRecordButtonHasOneIdleCaption) {
  EXPECT_EQ(texts.LookupText("MACRO_ACTION_RECORD", GetParam()), texts.LookupText("A_RECORD", GetParam()));
  EXPECT_NE(texts.LookupText("MACRO_ACTION_STOP_RECORD", GetParam()), texts.LookupText("A_RECORD", GetParam()));
}

// Each value of a file, with its section and key, for the typography checks.
struct Value {
  std::string where;
  std::u32string text;
};

std::vector<Value> ValuesOf(int index) {
  MemorySettingsStore settings;
  const FixedSystemLanguage system(0x0409);
  const LanguageTexts texts(kBinDir, settings, system);
  std::vector<Value> values;
  for (const auto& [section, keys] : ReadSections(texts.LanguageFilePath(index)))
    for (const auto& [key, value] : keys) values.push_back({"[" + section + "] " + key + " = " + value, Utf8ToUtf32(value)});
  return values;
}

// A lookup keeps at most 259 characters; a longer message would be cut off mid-sentence.
TEST_P(LanguageFiles, NoTextIsLongerThanALookupKeeps) {
  for (const auto& [where, text] : ValuesOf(GetParam())) EXPECT_LE(text.size(), kMaxTextChars) << where;
}

// A file saved in another encoding would show its accented and Chinese texts garbled; a
// byte that is not UTF-8 decodes to U+FFFD, which no text carries on purpose.
TEST_P(LanguageFiles, AreUtf8Throughout) {
  for (const auto& [where, text] : ValuesOf(GetParam())) EXPECT_EQ(text.find(U'\uFFFD'), text.npos) << where;
}

constexpr int kFrench = 3;

// French sets ; : ! ? and » apart from the word before, and « from the word after, with a
// space that never breaks: a plain space there lets a line end before the sign. ":" and
// the guillemets take a no-break space, ; ! ? a narrow one; none is glued to its word.
// The first fault of a text, empty when it has none.
std::string FrenchSpacingFault(const std::u32string& text) {
  if (text.find(U"...") != std::u32string::npos) return "three dots instead of an ellipsis";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    const char32_t before = i > 0 ? text[i - 1] : 0;
    const char32_t after = i + 1 < text.size() ? text[i + 1] : 0;
    const std::string at = " at " + std::to_string(i);
    if (text.size() == 1) break;  // a key legend: the sign alone
    if ((c == U':' || c == U'\u00BB') && before != U'\u00A0') return "no no-break space before : or \u00BB" + at;
    if (c == U'\u00AB' && after != U'\u00A0') return "no no-break space after \u00AB" + at;
    if ((c == U';' || c == U'?' || c == U'!') && before != U'\u202F') return "no narrow no-break space before ; ? !" + at;
  }
  return {};
}

TEST(LanguageFileTexts, FrenchUsesNoBreakSpacesBeforeHighPunctuationAndInsideGuillemets) {
  for (const auto& [where, text] : ValuesOf(kFrench)) EXPECT_EQ(FrenchSpacingFault(text), "") << where;
}

TEST(LanguageFileTexts, TheFrenchSpacingCheckCatchesPlainAndMissingSpaces) {
  for (const std::u32string bad :
       {U"Débranchez ; rebranchez", U"Débranchez; rebranchez", U"Prêt ?", U"Attention !", U"Note : oui",
        U"Note\u202F: oui", U"\u00AB texte\u00A0\u00BB", U"\u00AB\u00A0texte \u00BB", U"Patientez..."})
    EXPECT_NE(FrenchSpacingFault(bad), "") << std::string(bad.begin(), bad.end());
  EXPECT_EQ(FrenchSpacingFault(U"Débranchez\u202F; puis\u00A0: \u00AB\u00A0oui\u00A0\u00BB\u202F?\u202F!"), "");
}

bool IsIdeograph(char32_t c) { return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF); }

// Chinese text takes full-width brackets. The key-button prompts are the exception: the
// program closes them with an ASCII ")" after the name it appends.
TEST(LanguageFileTexts, ChineseTextsUseFullWidthBrackets) {
  for (const int index : {1, 2, 4}) {
    for (const auto& [where, text] : ValuesOf(index)) {
      if (where.find("] KEY_PROMPT_") != std::string::npos) continue;
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'(' && text[i] != U')') continue;
        const bool nextToIdeograph = (i > 0 && IsIdeograph(text[i - 1])) ||
                                     (i + 1 < text.size() && IsIdeograph(text[i + 1]));
        EXPECT_FALSE(nextToIdeograph) << where;
      }
    }
  }
}

// Terms that were once mixed in and must not come back: another region's word, a second
// spelling, the keyboard maker's position codes instead of key names.
TEST(LanguageFileTexts, EachLanguageKeepsItsOwnTerms) {
  const std::vector<std::pair<int, std::vector<std::string>>> avoided = {
      {0, {"Colour", "colour", "Minimise", "WWW", "Zoom-", "Zoom+"}},
      {1, {"\u8BBE\u5B9A", "\u56DE\u8F66", "\u529F\u80FD\u952E"}},           // settings (TW), Enter, F-keys
      {2, {"\u529F\u80FD\u9375", "\u6578\u5B57\u9375 "}},                      // F-keys, number row
      {3, {"Taux de rapport", "Lumi\u00E8re d'\u00E9toiles"}},
      {4, {"\u56FA\u4EF6", "\u9000\u51FA", "\u529F\u80FD\u9375", "\u6578\u5B57\u9375 "}},  // mainland terms
  };
  const std::vector<std::string> everywhere = {"ROMA", "CHG", "K107", "K14", "K56", "KL", "KR"};
  for (const auto& [index, terms] : avoided) {
    MemorySettingsStore settings;
    const FixedSystemLanguage system(0x0409);
    const LanguageTexts texts(kBinDir, settings, system);
    const Sections file = ReadSections(texts.LanguageFilePath(index));
    ASSERT_FALSE(file.empty());
    for (const auto& [section, keys] : file) {
      for (const auto& [key, value] : keys) {
        for (const auto& term : terms) EXPECT_EQ(value.find(term), std::string::npos) << key << " = " << value;
        for (const auto& term : everywhere) EXPECT_NE(value.rfind(term, 0), 0u) << key << " = " << value;
      }
    }
  }
}

}  // namespace
}  // namespace vantrel::text
