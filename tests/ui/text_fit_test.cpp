// Every text that the windows show in a control of fixed size fits that control in every
// language: the control's rectangle comes from the generated skin files, the text from
// the shipped language files, and the text is measured with the font the skin kit draws
// that kind of control with.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/keys/key_codes.h"
#include "core/text/language.h"
#include "core/text/safe_format.h"
#include "core/text/skin_keys.h"
#include "core/text/skin_values.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_gallery.h"
#include "ui_test_app.h"

namespace vantrel::ui {
namespace {

const std::filesystem::path kBinDir = VANTREL_BIN_DIR;

// How a control draws its text, and how much of its width the text may use.
enum class Look {
  kButton,      // image button caption: 9 pt DejaVu Sans, centred; 6 px kept free on each side
  kLamp,        // lock lamp caption: 8 pt DejaVu Sans, right of the lamp (24 px) to 4 px short of the end
  kLabel,       // coloured label: 12 px DejaVu Sans, left aligned; 2 px kept free at the right
  kTitle,       // dialog or panel title: 15 px DejaVu Sans demi-bold
  kListHeader,  // list column header: 11 px, 8 px padding on each side (skin style sheet)
  kListCell,    // list cell: 12 px, 4 px kept free on each side
  kDropDown,    // drop-down list: its edit field as the skin style sheet lays it out
};

enum class Section { kText, kLight, kMode };

struct TextRef {
  Section section;
  std::string key;
};

// A fixed-size control and the texts shown in it. `column` > 0 gives the width of a list
// column instead of the control's own width.
struct FixedControl {
  text::SkinFile file;
  std::string skinKey;
  Look look;
  std::vector<TextRef> texts;
  int column = 0;
};

std::vector<TextRef> Texts(std::initializer_list<const char*> keys) {
  std::vector<TextRef> refs;
  for (const char* k : keys) refs.push_back({Section::kText, k});
  return refs;
}
std::vector<TextRef> Light(const char* key) { return {{Section::kLight, key}}; }

// Names of the keys and mouse functions, as a macro step or an assignment shows them.
std::vector<TextRef> KeyNames() {
  std::set<std::string> names;
  for (const auto& entry : keys::KeyNameTable())
    if (!entry.languageKey.empty()) names.emplace(entry.languageKey);
  for (const auto& mouse : keys::MouseFunctionList()) names.emplace(mouse.languageKey);
  std::vector<TextRef> refs;
  for (const auto& name : names) refs.push_back({Section::kText, name});
  return refs;
}

std::vector<TextRef> MediaNames() {
  std::vector<TextRef> refs;
  for (const auto& media : keys::MediaKeyTable()) refs.push_back({Section::kText, std::string(media.languageKey)});
  return refs;
}

std::vector<FixedControl> FixedControls() {
  using text::SkinFile;
  std::vector<FixedControl> c;
  // Main window: command buttons, profile buttons, report-rate title, lighting panel.
  for (const char* k : {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3"})
    c.push_back({SkinFile::Main, k, Look::kButton, Texts({"PROFILE_1", "PROFILE_2", "PROFILE_3"})});
  c.push_back({SkinFile::Main, "FUNC_PROFILES", Look::kButton, Texts({"MENU_3"})});
  c.push_back({SkinFile::Main, "FUNC_MACRO", Look::kButton, Texts({"PROFILE_MACRO", "MACRO_SETTING"})});
  c.push_back({SkinFile::Main, "FUNC_SWITCH", Look::kButton,
               Texts({"MAIN_SWITCH_COLOR_TEXT", "MAIN_SWITCH_FUNCTION_TEXT"})});
  c.push_back({SkinFile::Main, "FUNC_DEFAULT", Look::kButton, Texts({"PROFILE_DEFAULT"})});
  c.push_back({SkinFile::Main, "FLIP_0", Look::kButton, Texts({"MAIN_FLIP_TEXT"})});
  c.push_back({SkinFile::Main, "LOCK_CAPS", Look::kLamp, Texts({"MAIN_LOCK_CAPS_TEXT"})});
  c.push_back({SkinFile::Main, "LOCK_NUM", Look::kLamp, Texts({"MAIN_LOCK_NUM_TEXT"})});
  c.push_back({SkinFile::Main, "LOCK_SCROLL", Look::kLamp, Texts({"MAIN_LOCK_SCROLL_TEXT"})});
  c.push_back({SkinFile::Main, "LOCK_AB", Look::kLamp, Texts({"MAIN_LOCK_GLAYER_TEXT"})});
  for (const char* k : {"CONTROL2_APPLY", "CONTROL_OK", "CONTROL_CANCEL"})
    c.push_back({SkinFile::Main, k, Look::kButton, Texts({"PROFILE_APPLY", "PROFILE_OK", "PROFILE_CANCLE"})});
  c.push_back({SkinFile::Main, "CONTROL_UsbStatic", Look::kLabel, Light("Usb")});
  c.push_back({SkinFile::Main, "CONTROL_RGBStatic", Look::kLabel, Light("RGB")});
  c.push_back({SkinFile::Main, "CONTROL_DengStatic", Look::kTitle, Light("Deng")});
  c.push_back({SkinFile::Main, "CONTROL_LightStatic", Look::kLabel, Light("Light")});
  c.push_back({SkinFile::Main, "CONTROL_SpeedStatic", Look::kLabel, Light("Speed")});
  for (const char* k : {"CONTROL_BLFXStatic", "CONTROL_BLFXStatic2", "CONTROL_BLFXStatic3"})
    c.push_back({SkinFile::Main, k, Look::kLabel, Light("FX")});
  for (const char* k : {"CONTROL_CDysStatic", "CONTROL_FYYSStatic", "CONTROL_HXysStatic", "CONTROL_JTysStatic",
                        "CONTROL_TSysStatic", "CONTROL_USERysStatic"})
    c.push_back({SkinFile::Main, k, Look::kLabel, Light("Color")});
  for (const char* k : {"CONTROL_CDsjsStatic", "CONTROL_FYSJSStatic", "CONTROL_HXsjsStatic", "CONTROL_TSsjsStatic"})
    c.push_back({SkinFile::Main, k, Look::kLabel, Light("DC")});
  c.push_back({SkinFile::Main, "CONTROL_USERjsStatic", Look::kLabel, Light("JColor")});
  c.push_back({SkinFile::Main, "CONTROL_USERgjStatic", Look::kLabel, Light("Tool")});
  {
    std::vector<TextRef> modes;
    for (int code = 1; code <= 20; ++code) modes.push_back({Section::kMode, std::to_string(code)});
    c.push_back({SkinFile::Main, "CONTROL_XGcombox", Look::kDropDown, modes});
  }
  // Key page and its macro editor.
  c.push_back({SkinFile::Composite, "KEY_SETTING", Look::kTitle, Texts({"KEY_SETTING_TISHI", "MACRO_EDIT_TISHI"})});
  c.push_back({SkinFile::Composite, "CONTROL_KEY", Look::kButton, Texts({"SINGLE_KEY"})});
  c.push_back({SkinFile::Composite, "CONTROL_MACRO", Look::kButton, Texts({"MACRO_SETTING"})});
  c.push_back({SkinFile::Composite, "CONTROL_MEDIA", Look::kButton, Texts({"MULTI_MEDIA"})});
  c.push_back({SkinFile::Composite, "CONTROL_FUNCTION", Look::kButton, Texts({"FUNCTION_KEY"})});
  c.push_back({SkinFile::Composite, "TISHI_SINGLE_STATIC", Look::kLabel, Texts({"SINGLE_STATIC"})});
  c.push_back({SkinFile::Composite, "MEDIA_SETTING_TISHI", Look::kLabel, Texts({"MEDIA_EDIT_TISHI"})});
  c.push_back({SkinFile::Composite, "FUNCTION_KEY_SETTING_TISHI", Look::kLabel, Texts({"FUNCTION_TISHI"})});
  c.push_back({SkinFile::Composite, "FUNC_KEY_RADIO_KB_STATIC", Look::kLabel, Texts({"IDS_MACRO_KB_KEY"})});
  c.push_back({SkinFile::Composite, "FUNC_KEY_RADIO_MOU_STATIC", Look::kLabel, Texts({"IDS_MACRO_MOU_KEY"})});
  c.push_back({SkinFile::Composite, "MARCO_NAME_SETTING", Look::kLabel, Texts({"MACRO_NAME_SETTING"})});
  c.push_back({SkinFile::Composite, "FUNC_MACRO_RECORD", Look::kButton,
               Texts({"A_RECORD", "MACRO_ACTION_RECORD", "MACRO_ACTION_STOP_RECORD"})});
  c.push_back({SkinFile::Composite, "FUNC_MACRO_RECORD_DELAY2", Look::kLabel, Texts({"RECORD_DELAY"})});
  c.push_back({SkinFile::Composite, "FUNC_MACRO_CYCLES_PROMPT", Look::kLabel, Texts({"MACRO_CYCLES"})});
  c.push_back({SkinFile::Composite, "FUNC_MACRO_TYPE_TEXT", Look::kButton, Texts({"TYPE_TEXT_BUTTON"})});
  for (const char* k : {"CONTROL_OK", "CONTROL_CANCEL"})
    c.push_back({SkinFile::Composite, k, Look::kButton, Texts({"MACRO_OK", "MACRO_CANCLE"})});
  // The step list's three columns are 170 pixels wide; the first shows the key's name.
  c.push_back({SkinFile::Composite, "FUNC_MACRO_LIST2", Look::kListHeader,
               Texts({"MACRO_KEYS_TISHI", "MACRO_ACTION_TISHI", "MACRO_DELAY_MS"}), 170});
  c.push_back({SkinFile::Composite, "FUNC_MACRO_LIST2", Look::kListCell, KeyNames(), 170});
  c.push_back({SkinFile::Composite, "FUNC_MEDIA_SELECT", Look::kListCell, MediaNames()});
  {
    std::vector<TextRef> functions;
    for (int i = 1; i <= 11; ++i) functions.push_back({Section::kText, "FUNC_KEY_DESC" + std::to_string(i)});
    c.push_back({SkinFile::Composite, "FUNC_FUNCTION_SELECT", Look::kListCell, functions});
  }
  // Profile manager: its buttons, the list's column headers (60, 120 and 230 pixels) and
  // the on-board profiles' names in the name column.
  for (const char* k : {"CONTROL2_APPLY", "CONTROL_OK", "CONTROL_CANCEL"})
    c.push_back({SkinFile::Profile, k, Look::kButton, Texts({"PROFILE_APPLY", "PROFILE_OK", "PROFILE_CANCLE"})});
  c.push_back({SkinFile::Profile, "FUNC_ADD", Look::kButton, Texts({"PROFILE_ADD"})});
  c.push_back({SkinFile::Profile, "FUNC_LOAD", Look::kButton, Texts({"PROFILE_LOAD"})});
  c.push_back({SkinFile::Profile, "FUNC_DELETE", Look::kButton, Texts({"PROFILE_DELETE"})});
  c.push_back({SkinFile::Profile, "PROGRAM_LIST", Look::kListHeader, Texts({"PROFILE_COLUMN_ACTIVE"}), 60});
  c.push_back({SkinFile::Profile, "PROGRAM_LIST", Look::kListHeader, Texts({"PROFILE_COLUMN_NAME"}), 120});
  c.push_back({SkinFile::Profile, "PROGRAM_LIST", Look::kListHeader, Texts({"PROFILE_COLUMN_PATH"}), 230});
  c.push_back({SkinFile::Profile, "PROGRAM_LIST", Look::kListCell, Texts({"PROFILE_1", "PROFILE_2", "PROFILE_3"}), 120});
  // Update dialog.
  c.push_back({SkinFile::UpdateDlg, "CONTROL_OPENButton", Look::kButton, Texts({"UPDATE_OPEN"})});
  c.push_back({SkinFile::UpdateDlg, "CONTROL_UPButton", Look::kButton, Texts({"UPDATE_START"})});
  c.push_back({SkinFile::UpdateDlg, "CONTROL_CUPButton", Look::kButton, Texts({"UPDATE_CANCEL"})});
  c.push_back({SkinFile::UpdateDlg, "CONTROL_BACKUPButton", Look::kButton, Texts({"UPDATE_BACKUP"})});
  // Automatic profiles.
  for (const char* k : {"AUTO_ADD", "AUTO_EDIT", "AUTO_REMOVE", "AUTO_PICK", "AUTO_CLOSE"})
    c.push_back({SkinFile::AutoProfiles, k, Look::kButton, Texts({k})});
  c.push_back({SkinFile::AutoProfiles, "AUTO_FALLBACK_PROMPT", Look::kLabel, Texts({"AUTO_FALLBACK_PROMPT"})});
  c.push_back({SkinFile::AutoProfiles, "AUTO_KIND", Look::kDropDown,
               Texts({"AUTO_KIND_APP", "AUTO_KIND_EXE", "AUTO_KIND_TITLE"})});
  for (const char* k : {"AUTO_PROFILE", "AUTO_FALLBACK"})
    c.push_back({SkinFile::AutoProfiles, k, Look::kDropDown,
                 Texts({"AUTO_FALLBACK_STAY", "PROFILE_1", "PROFILE_2", "PROFILE_3"})});
  // History.
  for (const char* k : {"HISTORY_RESTORE", "HISTORY_CLOSE"}) c.push_back({SkinFile::History, k, Look::kButton, Texts({k})});
  return c;
}

QFont ButtonFont(int points = 9) {
  CPngButton button;
  button.SetTextAttributes(points, "DejaVu Sans", {});
  return button.captionFont();
}

QFont PixelFont(int pixels, QFont::Weight weight = QFont::Normal) {
  QFont font("DejaVu Sans");
  font.setPixelSize(pixels);
  font.setWeight(weight);
  return font;
}

// East Asian wide characters (ideographs, kana, hangul, full-width forms and CJK
// punctuation) are one em wide in every CJK font. They are counted so, which keeps the
// measure the same on a machine without a CJK font, where they would be drawn as boxes.
bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
}

int TextWidth(const QFont& font, const QString& text) {
  const QFontMetricsF metrics(font);
  const double em = font.pixelSize() > 0 ? font.pixelSize() : QFontMetricsF(font).height();
  double width = 0;
  QString run;
  for (const char32_t c : text.toUcs4()) {
    if (IsWide(c)) {
      width += metrics.horizontalAdvance(run) + em;
      run.clear();
    } else {
      run += QString::fromUcs4(&c, 1);
    }
  }
  width += metrics.horizontalAdvance(run);
  return static_cast<int>(std::ceil(width));
}

// Width of the drop-down's edit field as the skin style sheet lays it out.
int DropDownFieldWidth(const text::SkinRect& rect) {
  QComboBox combo;
  combo.setStyleSheet(SkinStyleSheet());
  combo.setGeometry(rect.x, rect.y, rect.width, rect.height);
  combo.ensurePolished();
  QStyleOptionComboBox option;
  option.initFrom(&combo);
  option.rect = QRect(0, 0, rect.width, rect.height);
  return combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo).width();
}

struct Room {
  QFont font;
  int width;
};

Room RoomFor(const FixedControl& control, const text::SkinRect& rect) {
  const int width = control.column > 0 ? control.column : rect.width;
  switch (control.look) {
    case Look::kButton: return {ButtonFont(), width - 12};
    case Look::kLamp: return {ButtonFont(8), width - 24 - 4};
    case Look::kLabel: return {PixelFont(12), width - 2};
    case Look::kTitle: return {PixelFont(15, QFont::DemiBold), width - 2};
    case Look::kListHeader: return {PixelFont(11), width - 16};
    case Look::kListCell: return {PixelFont(12), width - 8};
    case Look::kDropDown: return {PixelFont(12), DropDownFieldWidth(rect)};
  }
  return {PixelFont(12), width};
}

// A picture of every measured text in its room, for review by eye:
// build/screenshots/text_fit/LangXXXX.png. A text that does not fit is framed in red.
class ReviewSheet {
 public:
  void Add(const std::string& control, const QFont& font, int room, const QString& text, bool fits) {
    rows_.push_back({QString::fromStdString(control), font, room, text, fits});
  }

  void Save(const std::string& language) const {
    constexpr int kRowHeight = 22, kKeyWidth = 200, kMargin = 8, kRowsPerColumn = 70;
    const int count = static_cast<int>(rows_.size());
    // Column c holds rows c * kRowsPerColumn on; each column is as wide as its widest row.
    std::vector<int> left = {0}, widest;
    for (int first = 0; first < count; first += kRowsPerColumn) {
      int w = 0;
      for (int i = first; i < std::min(count, first + kRowsPerColumn); ++i) {
        const auto& row = rows_[static_cast<std::size_t>(i)];
        w = std::max({w, row.room, TextWidth(row.font, row.text)});
      }
      widest.push_back(w);
      left.push_back(left.back() + kKeyWidth + w + 3 * kMargin);
    }
    QImage image(left.back(), kRowsPerColumn * kRowHeight + 2 * kMargin, QImage::Format_RGB32);
    image.fill(QColor(0x14, 0x17, 0x1D));
    QPainter painter(&image);
    for (int i = 0; i < count; ++i) {
      const auto& row = rows_[static_cast<std::size_t>(i)];
      const auto column = static_cast<std::size_t>(i / kRowsPerColumn);
      const int x = left[column] + kMargin;
      const int y = (i % kRowsPerColumn) * kRowHeight + kMargin;
      painter.setFont(PixelFont(11));
      painter.setPen(QColor(0x8A, 0x93, 0xA3));
      painter.drawText(QRect(x, y, kKeyWidth, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft, row.control);
      const QRect room(x + kMargin + kKeyWidth, y + 2, row.room, kRowHeight - 4);
      painter.fillRect(room, QColor(0x24, 0x29, 0x31));
      painter.setFont(row.font);
      painter.setPen(QColor(0xE7, 0xEA, 0xF0));
      painter.drawText(QRect(room.x(), room.y(), widest[column], room.height()), Qt::AlignVCenter | Qt::AlignLeft,
                       row.text);
      if (!row.fits) {
        painter.setPen(QColor(0xFF, 0x3B, 0x3B));
        painter.drawRect(room.adjusted(0, 0, -1, -1));
      }
    }
    painter.end();
    const QDir dir(QStringLiteral(VANTREL_BIN_DIR "/../screenshots/text_fit"));
    dir.mkpath(".");
    image.save(dir.filePath(QString::fromStdString(language).replace(".ini", ".png")));
  }

 private:
  struct Row {
    QString control;
    QFont font;
    int room;
    QString text;
    bool fits;
  };
  std::vector<Row> rows_;
};

class TextFit : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() { test::App(); }

  std::string Lookup(const TextRef& ref) const {
    switch (ref.section) {
      case Section::kText: return texts.LookupText(ref.key, GetParam());
      case Section::kLight: return texts.LookupLightText(ref.key, GetParam());
      case Section::kMode: return texts.LookupModeText(ref.key, GetParam());
    }
    return {};
  }

  text::MemorySettingsStore settings;
  text::FixedSystemLanguage system{0x0409};
  text::LanguageTexts texts{kBinDir, settings, system};
};

TEST_P(TextFit, EveryTextShownInAFixedSizeControlFitsIt) {
  const auto language = texts.LanguageFilePath(GetParam()).filename().string();
  ReviewSheet sheet;
  for (const auto& control : FixedControls()) {
    const auto ini = kBinDir / "Skins" / std::string(text::SkinFileName(control.file));
    const text::SkinRect rect = text::ReadSkinRect(ini, "BUTTONINFO", control.skinKey);
    ASSERT_FALSE(text::IsDisabledPlacement(rect)) << control.skinKey << " is not placed by " << ini;
    const Room room = RoomFor(control, rect);
    for (const auto& ref : control.texts) {
      const std::string value = Lookup(ref);
      ASSERT_NE(value, text::kMissingText) << language << " " << ref.key;
      const QString shown = QString::fromStdString(value);
      const int width = TextWidth(room.font, shown);
      sheet.Add(control.skinKey, room.font, room.width, shown, width <= room.width);
      EXPECT_LE(width, room.width) << language << ": \"" << value << "\" (" << ref.key << ") is " << width
                                   << " px wide; " << control.skinKey << " has room for " << room.width << " px";
    }
  }
  sheet.Save(language);
}

// The unknown-key name is a format; its widest result must fit the step list too.
TEST_P(TextFit, TheUnknownKeyNameFitsTheStepList) {
  const QString name =
      QString::fromStdString(text::FormatWithNumber(texts.LookupText("UNKNOWN_KEY", GetParam()), 0xFFFF));
  EXPECT_LE(TextWidth(PixelFont(12), name), 170 - 8) << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, TextFit, ::testing::Range(0, 5));

// The measure itself: wider text needs more room, and ideographs count one em each.
TEST(TextFitMeasure, CountsWideCharactersAsOneEmAndLatinByTheFont) {
  test::App();
  const QFont font = PixelFont(12);
  EXPECT_EQ(TextWidth(font, QString::fromUtf8("\u8BBE\u7F6E")), 24);
  EXPECT_EQ(TextWidth(font, QString::fromUtf8("\u5EF6\u8FDF\uFF08\u6BEB\u79D2\uFF09")), 72);
  EXPECT_GT(TextWidth(font, "Mmmm"), TextWidth(font, "iiii"));
  EXPECT_EQ(TextWidth(font, QString::fromUtf8("G \u952E")), TextWidth(font, "G ") + 12);
  EXPECT_EQ(ButtonFont().pixelSize(), 12);
  // Measuring with a substitute font would prove nothing about the skin's captions.
  EXPECT_EQ(QFontInfo(font).family(), "DejaVu Sans");
}

}  // namespace
}  // namespace vantrel::ui
