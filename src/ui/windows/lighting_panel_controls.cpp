// The lighting panel's controls: building them from the skin, their texts, and showing
// the lighting state in them.
#include "ui/windows/lighting_panel.h"
#include "ui/windows/lighting_panel_parts.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QDir>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <span>
#include <utility>

#include "core/text/safe_format.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_placement.h"

namespace vantrel::ui {

using namespace panel_parts;

// --- Controls --------------------------------------------------------------------------

QPixmap LightingPanel::Picture(const QString& name) {
  auto it = pictures_.find(name);
  if (it != pictures_.end()) return it->second;
  // A picture that cannot be loaded (or is no regular file) stays empty: its control then
  // shows nothing.
  QPixmap picture = OptionalPicture(QDir(deps_.skinFolder).filePath(name));
  pictures_.emplace(name, picture);
  return picture;
}

void LightingPanel::SetPictures(CPngButton* picture, const QString& off, const QString& on, bool selected) {
  if (picture == nullptr) return;
  picture->SetTogglePictures(Picture(off), Picture(on));
  picture->SetToggled(selected);
  picture->update();
}

void LightingPanel::SetSelected(CPngButton* picture, bool selected) {
  if (picture != nullptr && picture->isToggled() != selected) picture->SetToggled(selected);
}

ColorStatic* LightingPanel::AddLabel(int controlId, const char* skinKey, const char* textKey) {
  auto* label = new ColorStatic(surface_, controlId);
  PlaceControl(*label, deps_.mainSkinFile, "BUTTONINFO", skinKey);
  QFont font("DejaVu Sans");
  font.setPixelSize(controlId == id::kTitle ? 15 : 12);
  if (controlId == id::kTitle) font.setWeight(QFont::DemiBold);
  label->setFont(font);
  label->SetTextColor(controlId == id::kTitle ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xC4, 0xCA, 0xD4));
  label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  label->setObjectName(skinKey);
  labels_.emplace_back(label, textKey);
  controls_[controlId] = label;
  return label;
}

CPngButton* LightingPanel::AddPicture(int controlId, const char* skinKey) {
  auto* picture = new CPngButton(surface_, controlId);
  PlaceControl(*picture, deps_.mainSkinFile, "BUTTONINFO", skinKey);
  // Panel pictures are whole bitmaps drawn from their top-left corner.
  picture->SetFaceOrigin(1, 1);
  picture->SetToggleMode(true);
  picture->setObjectName(skinKey);
  controls_[controlId] = picture;
  return picture;
}

void LightingPanel::BuildControls() {
  const QString& ini = deps_.mainSkinFile;

  auto* lamp = AddPicture(id::kLamp, "CONTROL_DengStaPic");
  SetPictures(lamp, "dengup.bmp", "dengdown.bmp", false);
  connect(lamp, &QAbstractButton::clicked, this, &LightingPanel::ToggleLamp);
  AddLabel(id::kTitle, "CONTROL_DengStatic", "Deng");

  effectCombo_ = new QComboBox(surface_);
  PlaceControl(*effectCombo_, ini, "BUTTONINFO", "CONTROL_XGcombox");
  effectCombo_->setObjectName("CONTROL_XGcombox");
  controls_[id::kEffectCombo] = effectCombo_;
  connect(effectCombo_, &QComboBox::activated, this, &LightingPanel::OnEffectChosen);

  AddLabel(id::kBrightnessStatic, "CONTROL_LightStatic", "Light");
  AddLabel(id::kSpeedStatic, "CONTROL_SpeedStatic", "Speed");
  for (auto* slider : {&brightness_, &speed_}) {
    const bool isSpeed = slider == &speed_;
    *slider = new CBitmapSlider(surface_, isSpeed ? id::kSpeedSlider : id::kBrightnessSlider);
    PlaceControl(**slider, ini, "BUTTONINFO", isSpeed ? "CONTROL_SpeedSlider" : "CONTROL_LightSlider");
    (*slider)->setObjectName(isSpeed ? "CONTROL_SpeedSlider" : "CONTROL_LightSlider");
    (*slider)->SetRange(0, kSliderMax);
    (*slider)->SetPageSize(1);
    (*slider)->SetMargin(10);
    controls_[(*slider)->controlId()] = *slider;
    connect(*slider, &CBitmapSlider::reported, this, [this](unsigned message, int controlId, int position) {
      if (message == kMsgSliderMoved) OnSlider(controlId, position);
    });
  }

  AddLabel(id::kDirectionStatic, "CONTROL_BLFXStatic", "FX");
  auto* forward = AddPicture(id::kDirectionForward, "CONTROL_BLFXLStaPic");
  auto* back = AddPicture(id::kDirectionBack, "CONTROL_BLFXRStaPic");
  connect(forward, &QAbstractButton::clicked, this, [this] { OnDirection(0xFF); });
  connect(back, &QAbstractButton::clicked, this, [this] { OnDirection(0x00); });

  struct SwatchSpec {
    int id;
    const char* key;
  };
  const SwatchSpec swatches[] = {{id::kFyColourButton, "CONTROL_FYYSButton"},
                                 {id::kHxColourButton, "CONTROL_HXysButton"},
                                 {id::kBrushButton, "CONTROL_USERysButton"},
                                 {id::kBaseButton, "CONTROL_USERjsButton"}};
  AddLabel(id::kFyColourStatic, "CONTROL_FYYSStatic", "Color");
  AddLabel(id::kHxColourStatic, "CONTROL_HXysStatic", "Color");
  AddLabel(id::kBrushStatic, "CONTROL_USERysStatic", "Color");
  AddLabel(id::kBaseStatic, "CONTROL_USERjsStatic", "JColor");
  for (std::size_t i = 0; i < 4; ++i) {
    auto* swatch = new CSkinColorBtn(surface_, swatches[i].id);
    PlaceControl(*swatch, ini, "BUTTONINFO", swatches[i].key);
    swatch->setObjectName(swatches[i].key);
    controls_[swatches[i].id] = swatch;
    swatches_[i] = swatch;
    // A colour chosen for the effect also ends multicolour, even when it is the one shown.
    swatch->SetReportSameColour(swatches[i].id == id::kFyColourButton || swatches[i].id == id::kHxColourButton);
    connect(swatch, &CSkinColorBtn::colorChanged, this, [this](int controlId, const QColor& colour) {
      if (controlId == id::kBrushButton) {
        OnBrushColour(colour);
      } else if (controlId == id::kBaseButton) {
        OnBaseColour(colour);
      } else {
        OnColourPicked(colour);
      }
    });
  }

  auto* fyMulti = AddPicture(id::kFyMultiPicture, "CONTROL_FYSJSStaPic");
  auto* hxMulti = AddPicture(id::kHxMultiPicture, "CONTROL_HXsjsStaPic");
  SetPictures(fyMulti, "sjsup.bmp", "sjsdown.bmp", false);
  SetPictures(hxMulti, "sjsup.bmp", "sjsdown.bmp", false);
  AddLabel(id::kFyMultiStatic, "CONTROL_FYSJSStatic", "DC");
  AddLabel(id::kHxMultiStatic, "CONTROL_HXsjsStatic", "DC");
  connect(fyMulti, &QAbstractButton::clicked, this, [this] { OnMulticolour(ColourGroup::FY); });
  connect(hxMulti, &QAbstractButton::clicked, this, [this] { OnMulticolour(ColourGroup::HX); });

  const char* choiceKeys[] = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"};
  const char* choicePictures[] = {"hong", "huang", "lv", "lan"};
  for (int n = 0; n < 4; ++n) {
    auto* choice = AddPicture(id::kChoiceRed + n, choiceKeys[n]);
    SetPictures(choice, QString("%1.bmp").arg(choicePictures[n]), QString("%1ok.bmp").arg(choicePictures[n]), false);
    connect(choice, &QAbstractButton::clicked, this, [this, n] { OnColourChoice(n); });
  }

  AddLabel(id::kToolStatic, "CONTROL_USERgjStatic", "Tool");
  auto* tool0 = AddPicture(id::kTool0Picture, "CONTROL_USERgjStaPic1");
  auto* tool1 = AddPicture(id::kTool1Picture, "CONTROL_USERgjStaPic2");
  connect(tool0, &QAbstractButton::clicked, this, [this] { OnTool(0); });
  connect(tool1, &QAbstractButton::clicked, this, [this] { OnTool(1); });

  modeCombo_ = new QComboBox(surface_);
  PlaceControl(*modeCombo_, ini, "BUTTONINFO", "CONTROL_umCombo");
  modeCombo_->setObjectName("CONTROL_umCombo");
  modeCombo_->setEditable(true);
  modeCombo_->setInsertPolicy(QComboBox::NoInsert);
  controls_[id::kUserModeCombo] = modeCombo_;
  connect(modeCombo_, &QComboBox::activated, this, &LightingPanel::OnUserMode);
  connect(modeCombo_->lineEdit(), &QLineEdit::textEdited, this, &LightingPanel::OnRenameMode);
  // Enter in the name field would make the list select another mode of the same name;
  // the rename is already stored as typed, so Enter does nothing more.
  modeCombo_->lineEdit()->installEventFilter(this);

  // Report rate and the colour's RGB values sit in the main window's strips and stay
  // visible whether the panel is open or not.
  AddLabel(id::kReportStatic, "CONTROL_UsbStatic", "Usb");
  const QPixmap normal = RequiredSkinPicture(deps_.skinFolder, "main_normal.jpg");
  const QPixmap over = RequiredSkinPicture(deps_.skinFolder, "main_over.jpg");
  const QPixmap down = RequiredSkinPicture(deps_.skinFolder, "main_down.jpg");
  const QPixmap disabled = RequiredSkinPicture(deps_.skinFolder, "main_disable.jpg");
  for (int n = 0; n < 4; ++n) {
    auto* rate = new CPngButton(surface_, kReportIds[n]);
    const QString key = QString("FUNC_REPORT%1").arg(n + 1);
    PlaceSkinnedButton(*rate, ini, "BUTTONINFO", key, normal, over, down, disabled, down);
    rate->SetTogglePictures(normal, down);
    rate->SetToggleMode(true);
    rate->setObjectName(key);
    controls_[kReportIds[n]] = rate;
    connect(rate, &QAbstractButton::clicked, this, [this, n] { OnReportRate(n); });
  }
  AddLabel(id::kRgbStatic, "CONTROL_RGBStatic", "RGB");
  const char* rgbKeys[] = {"COLOR_R", "COLOR_G", "COLOR_B"};
  for (int i = 0; i < 3; ++i) {
    auto* edit = new QLineEdit(surface_);
    PlaceControl(*edit, ini, "BUTTONINFO", rgbKeys[i]);
    edit->setObjectName(rgbKeys[i]);
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignCenter);
    edit->setMaxLength(3);
    rgbEdits_[static_cast<std::size_t>(i)] = edit;
    controls_[id::kRgbEditRed + i] = edit;
  }
  // Shown, whether the panel is open or not, while the keyboard has refused the last change.
  status_ = new ColorStatic(surface_, id::kWriteStatus);
  PlaceControl(*status_, ini, "BUTTONINFO", "CONTROL_LightStatus");
  status_->setObjectName("CONTROL_LightStatus");
  QFont statusFont("DejaVu Sans");
  statusFont.setPixelSize(12);
  status_->setFont(statusFont);
  status_->SetTextColor(QColor(0xFF, 0xB4, 0x4A));
  status_->setAlignment(Qt::AlignCenter);
  status_->setWordWrap(true);
  status_->hide();
  controls_[id::kWriteStatus] = status_;
  note_ = new ColorStatic(surface_, id::kNote);
  note_->setObjectName("CONTROL_LightNote");
  QFont noteFont("DejaVu Sans");
  noteFont.setPixelSize(12);
  note_->setFont(noteFont);
  note_->SetTextColor(QColor(0x9A, 0xA3, 0xB0));
  note_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  note_->setWordWrap(true);
  note_->setTextFormat(Qt::PlainText);
  controls_[id::kNote] = note_;
  Retranslate();
}

void LightingPanel::Retranslate() {
  for (auto& [label, key] : labels_) {
    label->setText(Utf8(deps_.texts.LightText(key)));
    // A longer translation gets a smaller font rather than a cut-off word.
    QFont font = label->font();
    const int largest = label->controlId() == id::kTitle ? 15 : 12;
    for (int size = largest; size >= 9; --size) {
      font.setPixelSize(size);
      if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width()) break;
    }
    label->setFont(font);
  }
  // A slider is named by the caption beside it, as a reader finds it through the buddy.
  for (auto [caption, slider] : {std::pair{id::kBrightnessStatic, id::kBrightnessSlider},
                                 std::pair{id::kSpeedStatic, id::kSpeedSlider}}) {
    if (auto* label = qobject_cast<QLabel*>(Control(caption))) label->setBuddy(Control(slider));
  }
  // The pictures that act as buttons say what they do.
  const std::pair<int, const char*> tips[] = {{id::kLamp, "LIGHT_LAMP_PROMPT"},
                                              {id::kFyMultiPicture, "LIGHT_MULTICOLOR_PROMPT"},
                                              {id::kHxMultiPicture, "LIGHT_MULTICOLOR_PROMPT"},
                                              {id::kTool0Picture, "LIGHT_TOOL_BRUSH_PROMPT"},
                                              {id::kTool1Picture, "LIGHT_TOOL_BASE_PROMPT"},
                                              {id::kChoiceRed, "LIGHT_CHOICE_RED"},
                                              {id::kChoiceRed + 1, "LIGHT_CHOICE_YELLOW"},
                                              {id::kChoiceRed + 2, "LIGHT_CHOICE_GREEN"},
                                              {id::kChoiceRed + 3, "LIGHT_CHOICE_BLUE"}};
  for (const auto& [controlId, key] : tips) {
    auto* picture = static_cast<CPngButton*>(Control(controlId));
    const QString tip = Utf8(deps_.texts.Text(key));
    picture->SetTooltipText(tip);
    picture->setAccessibleName(tip);
  }
  // The report-rate buttons show only a number: their tooltip gives it with its unit.
  const char* rates[] = {"125", "250", "500", "1000"};
  for (int n = 0; n < 4; ++n) {
    static_cast<CPngButton*>(Control(kReportIds[n]))
        ->SetTooltipText(Utf8(text::FormatWithString(deps_.texts.Text("LIGHT_REPORT_RATE_BUTTON"), rates[n])));
  }
  // A colour swatch is named by the caption beside it.
  for (auto [caption, swatch] : {std::pair{id::kFyColourStatic, id::kFyColourButton},
                                 std::pair{id::kHxColourStatic, id::kHxColourButton},
                                 std::pair{id::kBrushStatic, id::kBrushButton},
                                 std::pair{id::kBaseStatic, id::kBaseButton}}) {
    if (auto* label = qobject_cast<QLabel*>(Control(caption))) Control(swatch)->setAccessibleName(label->text());
  }
  // The colour choice row has no label of its own: each of its pictures tells the row.
  for (const int controlId : kChoiceIds) Control(controlId)->setAccessibleDescription(Utf8(deps_.texts.Text("LIGHT_CHOICE_ROW")));
  if (writeFailed_) ShowWriteStatus(true);
  FillEffectCombo();
  if (note_) ShowNote(SelectedEffect());
}

void LightingPanel::ShowWriteStatus(bool failed) {
  writeFailed_ = failed;
  if (!failed) {
    status_->hide();
    status_->setToolTip(QString());
    return;
  }
  status_->setText(Utf8(deps_.texts.Text("LIGHT_PROMPT_WRITE_FAILED")));
  // One line where it fits, in a smaller font if need be; longer texts wrap.
  QFont font = status_->font();
  for (int size = 12; size >= 9; --size) {
    font.setPixelSize(size);
    if (QFontMetrics(font).horizontalAdvance(status_->text()) <= status_->width()) break;
  }
  status_->setFont(font);
  status_->show();
  status_->raise();
}

// The status text tells whether the keyboard took the last change sent to it. For key
// colours that is the colour of one key, or a profile's whole table (base colour, user
// mode, restore default, load). The editor's table and the ".userd" file keep the new
// colours even when the keyboard refused them, so the keys of the picture show them: the
// text says that the keyboard may not. The next write of the profile's whole table sends
// them again.
void LightingPanel::ShowKeyColourWrite(lighting::KeyColourWrite outcome) {
  if (outcome == lighting::KeyColourWrite::Refused) {
    ShowWriteStatus(true);
  } else if (outcome == lighting::KeyColourWrite::Taken) {
    ShowWriteStatus(false);
  }
}

QWidget* LightingPanel::Control(int controlId) const {
  auto it = controls_.find(controlId);
  return it == controls_.end() ? nullptr : it->second;
}

void LightingPanel::SetColourPicker(CSkinColorBtn::Picker picker) {
  for (auto* swatch : swatches_) swatch->SetPicker(picker);
}

void LightingPanel::SetPreviewRandom(lighting::PreviewRandom* random) {
  engine_ = std::make_unique<lighting::PreviewEngine>(random);
}

// --- Showing the state ---------------------------------------------------------------

lighting::EffectCode LightingPanel::SelectedEffect() const {
  return effects_.table.EffectAtPosition(effectCombo_->currentIndex());
}

void LightingPanel::FillEffectCombo() {
  lighting::FillEffectList(view_.supportedEffects, &deps_.texts, effects_);
  const bool was = updatingControls_;
  updatingControls_ = true;
  effectCombo_->clear();
  for (const auto& e : effects_.entries) effectCombo_->addItem(Utf8(e.name));
  effectCombo_->setCurrentIndex(effects_.table.PositionOfEffect(view_.effect));
  updatingControls_ = was;
}

void LightingPanel::Refresh() {
  updatingControls_ = true;
  FillEffectCombo();
  for (int n = 0; n < 4; ++n) {
    static_cast<CPngButton*>(Control(kReportIds[n]))->SetToggled(n == view_.reportRate);
  }
  brightness_->SetPos(view_.brightness);
  brightness_->SetChannelPicture(Picture(QString("%1.bmp").arg(brightness_->pos())));
  speed_->SetPos(view_.speedPosition);
  speed_->SetChannelPicture(Picture(QString("%1.bmp").arg(kSpeedPictureBase + speed_->pos())));
  for (auto* swatch : {swatches_[0], swatches_[1]}) swatch->SetColor(ToQColor(view_.colour));
  SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), view_.multicolour);
  SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), view_.multicolour);
  for (int n = 0; n < 4; ++n)
    SetSelected(static_cast<CPngButton*>(Control(id::kChoiceRed + n)), n == view_.colourChoice);
  rgbEdits_[0]->setText(QString::number(lighting::RedOf(view_.colour)));
  rgbEdits_[1]->setText(QString::number(lighting::GreenOf(view_.colour)));
  rgbEdits_[2]->setText(QString::number(lighting::BlueOf(view_.colour)));
  SetSelected(static_cast<CPngButton*>(Control(id::kLamp)), view_.panelOpen);
  RefreshUserControls();
  updatingControls_ = false;
  ShowForEffect(SelectedEffect());
  if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) {
    PaintKeyButtons();
  } else if (view_.panelOpen && !captionsShown_) {
    // Left effect 20 by a load or restore default: keys the preview does not paint (the
    // G keys) must not keep their per-key colours.
    ShowCaptions();
  }
}

void LightingPanel::RefreshUserControls() {
  const bool was = updatingControls_;
  updatingControls_ = true;
  if (colourView_.names) {
    modeCombo_->clear();
    for (const auto& name : *colourView_.names) modeCombo_->addItem(Utf8(name));
  }
  modeCombo_->setCurrentIndex(colourView_.mode);
  swatches_[2]->SetColor(ToQColor(colourView_.brush));
  swatches_[3]->SetColor(ToQColor(colourView_.base));
  SetPictures(static_cast<CPngButton*>(Control(id::kTool0Picture)), "user1up.bmp", "user1down.bmp",
              colourView_.tool == 0);
  SetPictures(static_cast<CPngButton*>(Control(id::kTool1Picture)), "user2up.bmp", "user2down.bmp",
              colourView_.tool == 1);
  updatingControls_ = was;
}

void LightingPanel::ShowForEffect(EffectCode code) {
  const bool open = view_.panelOpen;
  const auto params = lighting::ParamsOf(code);
  const auto show = [this](std::span<const int> ids, bool visible) {
    for (int i : ids) Control(i)->setVisible(visible);
  };
  // The drop-down stays while the panel is open, whatever the effect: it is the only way
  // to leave an effect that shows no other control.
  effectCombo_->setVisible(open);
  ShowNote(code);
  show(kBrightnessIds, open && params.brightness);
  show(kSpeedIds, open && params.speed);
  show(kChoiceIds, open && params.colourChoice);
  show(kFyIds, open && params.colourGroup == ColourGroup::FY);
  show(kHxIds, open && params.colourGroup == ColourGroup::HX);
  show(kUserIds, open && params.userColours);

  const bool direction = open && params.direction != DirectionPictures::None;
  show(kDirectionIds, direction);
  if (direction) {
    const QString suffix = QString::fromLatin1(params.directionPlacement);
    PlaceControl(*Control(id::kDirectionStatic), deps_.mainSkinFile, "BUTTONINFO", "CONTROL_BLFXStatic" + suffix);
    PlaceControl(*Control(id::kDirectionForward), deps_.mainSkinFile, "BUTTONINFO", "CONTROL_BLFXLStaPic" + suffix);
    PlaceControl(*Control(id::kDirectionBack), deps_.mainSkinFile, "BUTTONINFO", "CONTROL_BLFXRStaPic" + suffix);
    const auto names = DirectionPicturesOf(params.direction);
    SetPictures(static_cast<CPngButton*>(Control(id::kDirectionForward)), names.forwardOff, names.forwardOn,
                view_.direction != 0);
    SetPictures(static_cast<CPngButton*>(Control(id::kDirectionBack)), names.backOff, names.backOn,
                view_.direction == 0);
    // The pictures are arrows: their tooltips (and so their names for a screen reader)
    // say which way.
    static_cast<CPngButton*>(Control(id::kDirectionForward))->SetTooltipText(Utf8(deps_.texts.Text(names.forwardText)));
    static_cast<CPngButton*>(Control(id::kDirectionBack))->SetTooltipText(Utf8(deps_.texts.Text(names.backText)));
  }
}

void LightingPanel::ShowNote(EffectCode code) {
  const lighting::PanelNote note = lighting::PanelNoteOf(view_.panelOpen, code);
  if (note == lighting::PanelNote::None) {
    note_->hide();
    return;
  }
  // Folded, in the empty panel under the title; open, at the foot of the panel, which
  // only effect 20's controls use.
  PlaceControl(*note_, deps_.mainSkinFile, "BUTTONINFO",
               note == lighting::PanelNote::Folded ? "CONTROL_LightNote" : "CONTROL_LightNote2");
  std::string words = deps_.texts.Text(lighting::PanelNoteKey(note));
  // The effect that paints keys, by its name in the drop-down.
  if (note == lighting::PanelNote::KeysIdle)
    words = text::FormatWithString(words, lighting::EffectName(&deps_.texts, lighting::kEffectUserColours));
  note_->setText(Utf8(words));
  note_->setToolTip(note_->text());
  // A longer translation gets a smaller font rather than a cut-off line.
  QFont font = note_->font();
  for (int size = 12; size >= 9; --size) {
    font.setPixelSize(size);
    note_->setFont(font);
    if (note_->heightForWidth(note_->width()) <= note_->height()) break;
  }
  note_->show();
}

void LightingPanel::PaintKey(int controlId, Rgb colour) {
  auto it = shownColours_.find(controlId);
  if (it != shownColours_.end() && it->second == colour) return;
  shownColours_[controlId] = colour;
  captionsShown_ = false;
  ++keyRepaints_;
  host_.SetKeyColour(controlId, ToQColor(colour));
}

void LightingPanel::PaintKeyButtons() {
  for (const auto& b : colourView_.buttons) {
    if (b.controlId != 0) PaintKey(b.controlId, b.colour);
  }
}

void LightingPanel::ShowCaptions() {
  shownColours_.clear();
  captionsShown_ = true;
  host_.ShowKeyCaptions();
}

}  // namespace vantrel::ui
