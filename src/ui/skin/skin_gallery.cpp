#include "ui/skin/skin_gallery.h"

#include <QComboBox>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>

#include "ui/skin/bitmap_slider.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_color_btn.h"
#include "ui/skin/skin_placement.h"

namespace vantrel::ui {
namespace {

enum class ControlKind { Button, Label, List, Combo, Edit, Slider, Swatch, Picture, Arrow, Decoration };

ControlKind KindOfKey(const QString& key) {
  if (key == "CONTROL_TITLE" || key == "CONTROL_MASK") return ControlKind::Decoration;
  if (key == "LEFT_ARROW" || key == "RIGHT_ARROW") return ControlKind::Arrow;
  if (key.contains("LIST") || key.endsWith("_SELECT")) return ControlKind::List;
  if (key.contains("ombo", Qt::CaseInsensitive) || key.endsWith("Combox")) return ControlKind::Combo;
  if (key == "AUTO_KIND" || key == "AUTO_PROFILE" || key == "AUTO_FALLBACK") return ControlKind::Combo;
  if (key == "AUTO_STATUS" || key == "AUTO_ENABLED") return ControlKind::Label;
  if (key.startsWith("COLOR_") || key == "AUTO_PATTERN" || key == "FUNC_KEY_INPUT" || key == "FUNC_MACRO_RECORD_DELAY2" ||
      key == "FUNC_MACRO_CYCLES")
    return ControlKind::Edit;
  if (key.endsWith("Slider")) return ControlKind::Slider;
  if (key.endsWith("ysButton", Qt::CaseInsensitive) || key.endsWith("jsButton", Qt::CaseInsensitive) ||
      key.startsWith("CONTROL_Color"))
    return ControlKind::Swatch;
  if (key.contains("StaPic") || key.endsWith("PIC") || key == "CONTROL_JDTStatic") return ControlKind::Picture;
  if (key.contains("Static", Qt::CaseInsensitive) || key.endsWith("Statc") || key.contains("TISHI") ||
      key.contains("SETTING") || key.endsWith("PROMPT") || key == "TOLVEN_VER")
    return ControlKind::Label;
  return ControlKind::Button;
}

// English captions for the gallery; the program itself takes its texts from the language files.
QString CaptionOf(const QString& key) {
  static const QHash<QString, QString> captions = {
      {"FUNC_PROFILE1", "Profile 1"}, {"FUNC_PROFILE2", "Profile 2"}, {"FUNC_PROFILE3", "Profile 3"},
      {"FUNC_PROFILES", "Profiles"}, {"FUNC_MACRO", "Macros"}, {"FUNC_SWITCH", "Colour view"},
      {"FUNC_DEFAULT", "Default"}, {"CONTROL2_APPLY", "Apply"}, {"CONTROL_OK", "OK"},
      {"CONTROL_CANCEL", "Cancel"}, {"FUNC_ADD", "Add"}, {"FUNC_LOAD", "Load"}, {"FUNC_DELETE", "Delete"},
      {"CONTROL_OPENButton", "Open file\u2026"}, {"CONTROL_BACKUPButton", "Back up"},
      {"CONTROL_UPButton", "Restore"}, {"CONTROL_CUPButton", "Update firmware"},
      {"CONTROL_KEY", "Single key"}, {"CONTROL_MACRO", "Macro"}, {"CONTROL_MEDIA", "Multimedia"},
      {"CONTROL_FUNCTION", "Function"}, {"CONTROL_CLEAR", "Clear"}, {"CONTROL_OSK", "Keyboard"},
      {"FUNC_MACRO_ADD", "New"}, {"FUNC_MACRO_DELETE", "Delete"}, {"FUNC_MACRO_CLEAR", "Clear"},
      {"FUNC_MACRO_RECORD", "Record"}, {"FUNC_MACRO_TYPE_TEXT", "Type text..."},
      {"TOLVEN_VER", "Version 0.1.0"}, {"CONTROL_UsbStatic", "Report rate"}, {"CONTROL_DengStatic", "Lighting"},
      {"CONTROL_LightStatic", "Brightness"}, {"CONTROL_SpeedStatic", "Speed"}, {"CONTROL_RGBStatic", "RGB"},
      {"KEY_SETTING", "Key assignment \u2014 Num 5"}, {"MARCO_NAME_SETTING", "Macros"},
      {"TISHI_SINGLE_STATIC", "Press the key that this key should send."},
      {"MEDIA_SETTING_TISHI", "Choose a multimedia function."},
      {"FUNCTION_KEY_SETTING_TISHI", "Choose a keyboard function."},
      {"FUNC_KEY_RADIO_KB_STATIC", "Keyboard key"}, {"FUNC_KEY_RADIO_MOU_STATIC", "Mouse function"},
      {"FUNC_MACRO_CYCLES_PROMPT", "Repeat (times)"},
      {"CONTROL_UPStatic", "Choose the profile or firmware file:"},
      {"AUTO_ADD", "Add"}, {"AUTO_EDIT", "Change"}, {"AUTO_REMOVE", "Remove"}, {"AUTO_PICK", "Pick a window"},
      {"AUTO_CLOSE", "Close"}, {"AUTO_STATUS", "Automatic switching is on."},
      {"AUTO_FALLBACK_PROMPT", "Other windows:"}, {"AUTO_ENABLED", "Switch automatically"},
      {"FLIP_0", "Flip"}, {"LOCK_CAPS", "Caps"}, {"LOCK_NUM", "Num"}, {"LOCK_SCROLL", "Scroll"},
      {"LOCK_AB", "G layer B"},
  };
  const auto it = captions.constFind(key);
  if (it != captions.constEnd()) return *it;
  if (key.contains("BLFXStatic")) return "Direction";
  if (key.endsWith("ysStatic") || key.endsWith("YSStatic")) return "Colour";
  if (key.endsWith("jsStatic") && key.contains("USER")) return "Base";
  if (key.contains("sjs", Qt::CaseInsensitive)) return "Multi";
  if (key == "CONTROL_FYCFStatic") return "Trigger";
  if (key == "CONTROL_FYdjcfStatic") return "Press";
  if (key == "CONTROL_FYggcfStatc") return "Wave";
  if (key == "CONTROL_USERgjStatic") return "Tool";
  return {};
}

// Lighting panel groups shown one at a time in the gallery (by the effect drop-down).
constexpr std::array<const char*, 6> kEffectGroups = {"CD", "FY", "HX", "JT", "TS", "USER"};
constexpr std::array<const char*, 6> kEffectNames = {"Static", "Reactive", "Ripple", "Colour cycle", "Breathing",
                                                     "Custom"};

// Group of a lighting panel key: index into kEffectGroups, -1 for the panel's common
// controls, -2 for a key that is not in the panel.
int PanelGroupOf(const QString& key) {
  if (!key.startsWith("CONTROL_")) return -2;
  const QString rest = key.mid(8);
  static const QStringList common = {"DengStatic", "XGcombox", "LightStatic", "LightSlider", "SpeedStatic",
                                     "SpeedSlider", "BLFXStatic", "BLFXLStaPic", "BLFXRStaPic"};
  if (common.contains(rest)) return -1;
  if (rest.startsWith("HONG") || rest.startsWith("HUANG") || rest.startsWith("LV") || rest.startsWith("LAN"))
    return 3;
  if (rest.startsWith("BLFX") || rest == "JDTStatic" || rest == "umCombo") return 99;  // other effects' variants
  for (int g = 0; g < static_cast<int>(kEffectGroups.size()); ++g)
    if (rest.startsWith(kEffectGroups[static_cast<std::size_t>(g)])) return g;
  return -2;
}

// Composite tab of a key: 0 single key, 1 macro, 2 multimedia, 3 function, -1 always shown.
int TabOf(const QString& key) {
  if (key == "TISHI_SINGLE_STATIC" || key.startsWith("FUNC_KEY_")) return 0;
  if (key == "MARCO_NAME_SETTING" || key.startsWith("FUNC_MACRO_")) return 1;
  if (key == "MEDIA_SETTING_TISHI" || key == "FUNC_MEDIA_SELECT") return 2;
  if (key == "FUNCTION_KEY_SETTING_TISHI" || key == "FUNC_FUNCTION_SELECT") return 3;
  return -1;
}

struct FacePictures {
  QPixmap normal, hover, down, disabled, selected;
};

FacePictures PicturesFor(text::SkinFile file, const QString& key, const QString& folder) {
  const auto load = [&](const char* name) { return RequiredSkinPicture(folder, name); };
  switch (file) {
    case text::SkinFile::Main: {
      // Key buttons show a selected key as in the colour view; other buttons as pressed.
      const bool keyButton = key.startsWith("KEY_") || key.startsWith("FUNC_G");
      return {load("main_normal.jpg"), load("main_over.jpg"), load("main_down.jpg"), load("main_disable.jpg"),
              load(keyButton ? "main_color1.jpg" : "main_down.jpg")};
    }
    case text::SkinFile::Profile: {
      const QPixmap down = load("Profile_down.jpg");
      return {load("Profile_normal.jpg"), load("Profile_over.jpg"), down, load("Profile_disable.jpg"), down};
    }
    case text::SkinFile::UpdateDlg: {
      const QPixmap over = load("update_over.jpg");
      return {load("update_normal.jpg"), over, over, over, over};
    }
    case text::SkinFile::AutoProfiles: {
      const QPixmap down = load("AutoProfiles_down.jpg");
      return {load("AutoProfiles_normal.jpg"), load("AutoProfiles_over.jpg"), down, load("AutoProfiles_disable.jpg"),
              down};
    }
    case text::SkinFile::History: {
      const QPixmap down = load("History_down.jpg");
      return {load("History_normal.jpg"), load("History_over.jpg"), down, load("History_disable.jpg"), down};
    }
    case text::SkinFile::Composite: {
      const bool moves = key.startsWith("FUNC_MACRO_UP") || key.startsWith("FUNC_MACRO_DOWN") ||
                         key == "FUNC_MACRO_DELETE2";
      if (moves)
        return {load("macro2_normal.jpg"), load("macro2_over.jpg"), load("macro2_down.jpg"),
                load("macro2_disable.jpg"), load("macro2_down.jpg")};
      if (key.startsWith("FUNC_MACRO_"))
        return {load("macro_normal.jpg"), load("macro_over.jpg"), load("macro_down.jpg"), load("macro_disable.jpg"),
                load("macro_down.jpg")};
      if (key == "CONTROL_MEDIA")
        return {load("media_normal.jpg"), load("media_over.jpg"), load("media_down.jpg"),
                load("macro_disable.jpg"), load("media_down.jpg")};
      if (key == "CONTROL_FUNCTION")
        return {load("function_normal.jpg"), load("function_over.jpg"), load("function_down.jpg"),
                load("macro_disable.jpg"), load("function_down.jpg")};
      return {load("key_normal.jpg"), load("key_over.jpg"), load("key_down.jpg"), load("macro_disable.jpg"),
              load("key_down.jpg")};
    }
  }
  return {};
}

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

}  // namespace

QString SkinStyleSheet() {
  return QStringLiteral(
      "QComboBox, QLineEdit { background: #0E1116; color: #E7EAF0; border: 1px solid #2E3540;"
      " border-radius: 5px; padding: 2px 8px; font-family: 'DejaVu Sans'; font-size: 12px;"
      " selection-background-color: #168FD0; }"
      // A plain list as popup: the style's own popup would ignore the maximum of visible
      // rows and fill the screen's height.
      "QComboBox { combobox-popup: 0; }"
      "QComboBox:hover, QLineEdit:hover, QLineEdit:focus { border-color: #2EC5FF; }"
      // Keyboard focus: the light outline the skinned buttons draw around themselves.
      "QComboBox:focus, QTreeWidget:focus { border-color: #9BE4FF; }"
      "QComboBox QAbstractItemView { background: #14171D; color: #E7EAF0; border: 1px solid #2E3540;"
      " selection-background-color: #168FD0; selection-color: #FFFFFF; outline: 0; }"
      "QComboBox QAbstractItemView::item { padding: 3px 6px; }"
      "QTreeWidget { background: #0E1116; color: #E7EAF0; border: 1px solid #2E3540; border-radius: 5px;"
      " font-family: 'DejaVu Sans'; font-size: 12px; alternate-background-color: #12161C; outline: 0; }"
      "QTreeWidget::item { height: 24px; }"
      "QTreeWidget::item:selected { background: #1A4E6B; color: #FFFFFF; }"
      "QTreeWidget::indicator { width: 14px; height: 14px; }"
      "QTreeWidget::indicator:unchecked { border: 1px solid #4A5260; border-radius: 3px; background: #171B22; }"
      "QTreeWidget::indicator:checked { border: 1px solid #2EC5FF; border-radius: 3px; background: #2EC5FF; }"
      "QHeaderView::section { background: #1A1E25; color: #8A93A3; border: none;"
      " border-bottom: 1px solid #2E3540; padding: 4px 8px; font-family: 'DejaVu Sans'; font-size: 11px; }"
      "QScrollBar:vertical { background: transparent; width: 8px; }"
      "QScrollBar::handle:vertical { background: #2E3540; border-radius: 4px; min-height: 20px; }"
      "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }");
}

SkinPreviewDialog::SkinPreviewDialog(text::SkinFile file, const QString& skinFolder, QWidget* parent)
    : CBaseDialog(0, parent,
                  QDir(skinFolder).filePath(QString::fromLatin1(text::SkinFileName(file).data(),
                                                                static_cast<qsizetype>(text::SkinFileName(file).size()))),
                  skinFolder),
      file_(file) {
  setStyleSheet(SkinStyleSheet());
}

QWidget* SkinPreviewDialog::control(const QString& key) const {
  for (const auto& [k, w] : controls_)
    if (k == key) return w;
  return nullptr;
}

void SkinPreviewDialog::OnInitDialog() { BuildControls(); }

void SkinPreviewDialog::BuildControls() {
  const QString ini = iniPath();
  const QString folder = skinFolder();
  QFont labelFont("DejaVu Sans");
  labelFont.setPixelSize(12);

  for (const auto& keyText : text::SkinButtonKeys(file_)) {
    const QString key = QString::fromStdString(keyText);
    QWidget* w = nullptr;
    switch (KindOfKey(key)) {
      case ControlKind::Decoration: continue;
      case ControlKind::Button: {
        auto* b = new CPngButton(this);
        const auto faces = PicturesFor(file_, key, folder);
        PlaceSkinnedButton(*b, ini, "BUTTONINFO", key, faces.normal, faces.hover, faces.down, faces.disabled,
                           faces.selected);
        const QString caption = CaptionOf(key);
        if (!caption.isEmpty()) {
          b->setText(caption);
          b->SetTextAttributes(9, "DejaVu Sans", kCaptionColours);
          b->SetRotation(0, false);
          if (key.startsWith("LOCK_")) {  // beside the lamp, as the main window places it
            b->SetTextAttributes(8, "DejaVu Sans", kCaptionColours, kTextLeft | kTextVCenter | kTextSingleLine);
            b->SetTextInsets(24, -4, 0, 0);
          }
        }
        b->SetTooltipText(key);
        const bool keyButton = key.startsWith("KEY_") || key.startsWith("FUNC_G");
        if (keyButton) connect(b, &QAbstractButton::clicked, b, [b] { b->SetSelected(!b->isSelectedFlag()); });
        if (file_ == text::SkinFile::Main && key.startsWith("FUNC_PROFILE") && key.size() == 13) {
          connect(b, &QAbstractButton::clicked, this, [this, b] {
            for (int n = 1; n <= 3; ++n)
              if (auto* other = qobject_cast<CPngButton*>(control(QString("FUNC_PROFILE%1").arg(n))))
                other->SetSelected(other == b);
          });
          if (key == "FUNC_PROFILE1") b->SetSelected(true);
        }
        if (key.startsWith("FUNC_REPORT") || key.startsWith("LOCK_") || key.startsWith("FUNC_KEY_RADIO") ||
            key == "FUNC_MACRO_RECORD_DELAY") {
          b->SetTogglePictures(faces.normal, faces.down);
          b->SetToggleMode(true);
          connect(b, &QAbstractButton::clicked, b, [b] { b->SetToggled(!b->isToggled()); });
          if (key == "FUNC_REPORT4" || key == "LOCK_NUM" || key == "FUNC_KEY_RADIO_KB") b->SetToggled(true);
        }
        if (file_ == text::SkinFile::Composite) {
          const int tab = QStringList{"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION"}.indexOf(key);
          if (tab >= 0) connect(b, &QAbstractButton::clicked, this, [this, tab] { ShowTab(tab); });
        }
        w = b;
        break;
      }
      case ControlKind::Arrow: {
        auto* b = new CPngButton(this);
        const QString side = key == "LEFT_ARROW" ? "LEFT" : "RIGHT";
        PlaceWithFaceKey(*b, ini, "BUTTONINFO", key, "BUTTONINFO2", QString("UP_ARROW_%1%2").arg(side).arg(2),
                         RequiredSkinPicture(folder, "Arrow.jpg"));
        w = b;
        break;
      }
      case ControlKind::Label: {
        auto* l = new ColorStatic(this);
        PlaceControl(*l, ini, "BUTTONINFO", key);
        l->setFont(labelFont);
        l->setText(CaptionOf(key));
        l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        if (key == "KEY_SETTING" || key == "CONTROL_DengStatic") {
          QFont title("DejaVu Sans");
          title.setPixelSize(15);
          title.setWeight(QFont::DemiBold);
          l->setFont(title);
        } else if (key == "TOLVEN_VER") {
          l->SetTextColor(QColor(0x8A, 0x93, 0xA3));
        } else {
          l->SetTextColor(QColor(0xC4, 0xCA, 0xD4));
        }
        w = l;
        break;
      }
      case ControlKind::List: {
        auto* list = new CReportCtrl(this);
        PlaceControl(*list, ini, "BUTTONINFO", key);
        if (key == "PROGRAM_LIST") {
          list->InsertColumn(0, "Profile", Qt::AlignLeft, 250);
          list->InsertColumn(1, "Saved", Qt::AlignLeft, 120);
          list->SetCheckboxStyle(kCheckSingle);
          const char* names[] = {"Default", "Shooter", "Strategy", "Office"};
          for (int i = 0; i < 4; ++i) {
            list->InsertItem(i, names[i]);
            list->SetItemText(i, 1, QString("2026-12-0%1").arg(i + 1));
          }
          list->SetItemState(1, kRowChecked, kRowChecked);
        } else if (key == "FUNC_MACRO_LIST2") {
          list->InsertColumn(0, "Event", Qt::AlignLeft, 130);
          list->InsertColumn(1, "Delay", Qt::AlignRight, 80);
          const char* events[] = {"\u2193 Ctrl", "\u2193 C", "\u2191 C", "\u2191 Ctrl"};
          for (int i = 0; i < 4; ++i) {
            list->InsertItem(i, events[i]);
            list->SetItemText(i, 1, QString("%1 ms").arg(20 + i * 15));
          }
          list->SetEditCallbacks([](int, int column) { return column == 1; },
                                 [](int, int, QString& text) {
                                   bool ok = false;
                                   const int ms = text.remove("ms").trimmed().toInt(&ok);
                                   if (!ok || ms < 0) return false;
                                   text = QString("%1 ms").arg(ms);
                                   return true;
                                 });
        } else {
          list->InsertColumn(0, key == "FUNC_MACRO_LIST" ? "Macro" : "Function", Qt::AlignLeft, 200);
          list->SetCheckboxStyle(key == "FUNC_MACRO_LIST" ? kCheckNone : kCheckSingle);
          const QStringList items = key == "FUNC_MACRO_LIST" ? QStringList{"Copy", "Paste", "Reload", "Grenade"}
                                    : key == "FUNC_MEDIA_SELECT"
                                        ? QStringList{"Media player", "Play / Pause", "Stop", "Previous track",
                                                      "Next track", "Volume up", "Volume down", "Mute"}
                                        : QStringList{"Lighting on/off", "Next effect", "Brightness up",
                                                      "Brightness down", "Win lock"};
          for (int i = 0; i < items.size(); ++i) list->InsertItem(i, items[i]);
          list->SetItemState(0, kRowSelected, kRowSelected);
        }
        w = list;
        break;
      }
      case ControlKind::Combo: {
        auto* combo = new QComboBox(this);
        PlaceControl(*combo, ini, "BUTTONINFO", key);
        if (key == "CONTROL_XGcombox") {
          for (const char* name : kEffectNames) combo->addItem(name);
          combo->setCurrentIndex(effectGroup_);
          connect(combo, &QComboBox::currentIndexChanged, this, [this](int i) { ShowEffectGroup(i); });
        } else if (key == "FUNC_KEY_COMBO_MOU") {
          combo->addItems({"Left button", "Right button", "Middle button", "Wheel up", "Wheel down"});
        } else if (key == "CONTROL_UPCombox") {
          combo->addItems({"Profile backup (*.bin)", "Firmware image (*.hex)"});
        } else {
          combo->setEditable(true);
          combo->addItems({"User 1", "User 2"});
        }
        w = combo;
        break;
      }
      case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        PlaceControl(*edit, ini, "BUTTONINFO", key);
        if (key.startsWith("COLOR_")) {
          edit->setText("255");
          edit->setAlignment(Qt::AlignCenter);
          edit->setMaxLength(3);
        } else if (key == "FUNC_KEY_INPUT") {
          edit->setReadOnly(true);
          edit->setText("Num 5");
        } else {
          edit->setText(key == "FUNC_MACRO_CYCLES" ? "1" : "10");
        }
        w = edit;
        break;
      }
      case ControlKind::Slider: {
        auto* slider = new CBitmapSlider(this);
        PlaceControl(*slider, ini, "BUTTONINFO", key);
        slider->SetRange(0, 4);
        slider->SetPageSize(1);
        slider->SetMargin(10);
        const int base = key == "CONTROL_SpeedSlider" ? 5 : 0;
        const auto show = [slider, folder, base](int position) {
          slider->SetChannelPicture(RequiredSkinPicture(folder, QString("%1.bmp").arg(base + position)));
        };
        slider->SetPos(base == 0 ? 4 : 2);
        show(slider->pos());
        connect(slider, &CBitmapSlider::sliderMoved, slider, [show](int, int position) { show(position); });
        w = slider;
        break;
      }
      case ControlKind::Swatch: {
        auto* swatch = new CSkinColorBtn(this);
        PlaceControl(*swatch, ini, "BUTTONINFO", key);
        static const QColor palette[] = {QColor(0xFF, 0x3B, 0x3B), QColor(0xFF, 0x9F, 0x1C), QColor(0xFF, 0xE0, 0x3A),
                                         QColor(0x3C, 0xD6, 0x6B), QColor(0x2E, 0xC5, 0xFF), QColor(0x3D, 0x5B, 0xFF),
                                         QColor(0xB4, 0x4D, 0xFF), QColor(0xFF, 0xFF, 0xFF)};
        const int n = key.startsWith("CONTROL_Color") ? key.mid(13).toInt() : 5;
        swatch->SetColor(palette[std::clamp(n, 1, 8) - 1]);
        w = swatch;
        break;
      }
      case ControlKind::Picture: {
        auto* pic = new CPngButton(this);
        PlaceControl(*pic, ini, "BUTTONINFO", key);
        QString up, down;
        if (key == "CONTROL_DengStaPic") up = "dengup.bmp", down = "dengdown.bmp";
        else if (key.contains("BLFXLStaPic")) up = "leftup.bmp", down = "leftdown.bmp";
        else if (key.contains("BLFXRStaPic")) up = "rightup.bmp", down = "rightdown.bmp";
        else if (key == "CONTROL_HONGPIC") up = "hong.bmp", down = "hongok.bmp";
        else if (key == "CONTROL_HUANGPIC") up = "huang.bmp", down = "huangok.bmp";
        else if (key == "CONTROL_LVPIC") up = "lv.bmp", down = "lvok.bmp";
        else if (key == "CONTROL_LANPIC") up = "lan.bmp", down = "lanok.bmp";
        else if (key == "CONTROL_USERgjStaPic1") up = "user1up.bmp", down = "user1down.bmp";
        else if (key == "CONTROL_USERgjStaPic2") up = "user2up.bmp", down = "user2down.bmp";
        else if (key == "CONTROL_JDTStatic") up = "jdt3.bmp", down = "jdt4.bmp";
        else up = "sjsup.bmp", down = "sjsdown.bmp";
        // Panel pictures are whole bitmaps: their face starts at (0, 0), so the origin is (1, 1).
        pic->SetFaceOrigin(1, 1);
        pic->SetTogglePictures(RequiredSkinPicture(folder, up), RequiredSkinPicture(folder, down));
        pic->SetToggleMode(true);
        const bool initiallyOn = key == "CONTROL_DengStaPic" || key.contains("BLFXRStaPic") ||
                                 key == "CONTROL_HONGPIC" || key == "CONTROL_USERgjStaPic1";
        pic->SetToggled(initiallyOn);
        if (key == "CONTROL_DengStaPic")
          connect(pic, &QAbstractButton::clicked, this, [this, pic] {
            pic->SetToggled(!pic->isToggled());
            SetPanelOpen(pic->isToggled());
          });
        else
          connect(pic, &QAbstractButton::clicked, pic, [pic] { pic->SetToggled(!pic->isToggled()); });
        w = pic;
        break;
      }
    }
    if (w) {
      w->setObjectName(key);
      controls_.emplace_back(key, w);
    }
  }
  if (file_ == text::SkinFile::Composite) ShowTab(1);
  if (file_ == text::SkinFile::Main) ShowEffectGroup(effectGroup_);
}

void SkinPreviewDialog::ShowTab(int tab) {
  for (const auto& [key, w] : controls_) {
    const int t = TabOf(key);
    if (t >= 0) w->setVisible(t == tab);
  }
  const char* tabs[] = {"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION"};
  for (int i = 0; i < 4; ++i)
    if (auto* b = qobject_cast<CPngButton*>(control(tabs[i]))) b->SetSelected(i == tab);
}

void SkinPreviewDialog::ShowEffectGroup(int group) {
  effectGroup_ = group;
  for (const auto& [key, w] : controls_) {
    const int g = PanelGroupOf(key);
    if (g == -2) continue;
    w->setVisible(panelOpen_ && (g == -1 || g == group));
  }
  if (auto* lamp = control("CONTROL_DengStaPic")) lamp->setVisible(true);
}

void SkinPreviewDialog::SetPanelOpen(bool open) {
  panelOpen_ = open;
  ShowEffectGroup(effectGroup_);
}

SkinGallery::SkinGallery(const QString& skinFolder, QWidget* parent) : QWidget(parent), tabs_(new QTabWidget(this)) {
  setWindowTitle("Vantrel skin gallery");
  setStyleSheet(
      "QWidget { background: #08090C; color: #E7EAF0; }"
      "QTabWidget::pane { border: none; }"
      "QTabBar::tab { background: #14171D; color: #8A93A3; padding: 8px 18px; border: none;"
      " font-family: 'DejaVu Sans'; font-size: 12px; }"
      "QTabBar::tab:selected { color: #FFFFFF; border-bottom: 2px solid #2EC5FF; }");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tabs_);
  const char* titles[] = {"Main window", "Key page", "Profile manager", "Backup and update", "Automatic profiles",
                          "History"};
  static_assert(std::size(titles) == text::kAllSkinFiles.size());
  int i = 0;
  for (auto file : text::kAllSkinFiles) {
    auto* page = new QScrollArea();
    page->setAlignment(Qt::AlignCenter);
    page->setFrameShape(QFrame::NoFrame);
    auto* dialog = new SkinPreviewDialog(file, skinFolder);
    // Shown inside the gallery instead of as a window of its own.
    dialog->setWindowFlags(Qt::Widget);
    dialog->InitDialog();
    page->setWidget(dialog);
    tabs_->addTab(page, titles[i++]);
    dialogs_.push_back(dialog);
  }
  resize(1400, 640);
}

}  // namespace vantrel::ui
