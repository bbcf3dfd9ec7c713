#include "ui/windows/lighting_panel.h"

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
namespace {

using lighting::ColourGroup;
using lighting::DirectionPictures;
using lighting::EffectCode;
using lighting::Rgb;
namespace id = panel_id;

constexpr int kFirstTickMs = 100;
constexpr int kTickMs = 50;
// The speed slider's channel pictures start at "5.bmp" (position 0).
constexpr int kSpeedPictureBase = 5;
constexpr int kSliderMax = 4;

QColor ToQColor(Rgb c) { return QColor(lighting::RedOf(c), lighting::GreenOf(c), lighting::BlueOf(c)); }
Rgb FromQColor(const QColor& c) {
  return lighting::MakeRgb(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()),
                           static_cast<unsigned>(c.blue()));
}

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Controls that show for a group of effects; the lamp, the title, the report-rate
// buttons and the RGB fields are not among them.
constexpr int kBrightnessIds[] = {id::kBrightnessStatic, id::kBrightnessSlider};
constexpr int kSpeedIds[] = {id::kSpeedStatic, id::kSpeedSlider};
constexpr int kDirectionIds[] = {id::kDirectionStatic, id::kDirectionForward, id::kDirectionBack};
constexpr int kChoiceIds[] = {id::kChoiceRed, id::kChoiceRed + 1, id::kChoiceRed + 2, id::kChoiceRed + 3};
constexpr int kFyIds[] = {id::kFyColourStatic, id::kFyColourButton, id::kFyMultiPicture, id::kFyMultiStatic};
constexpr int kHxIds[] = {id::kHxColourStatic, id::kHxColourButton, id::kHxMultiPicture, id::kHxMultiStatic};
constexpr int kUserIds[] = {id::kBrushStatic, id::kBrushButton, id::kBaseStatic,   id::kBaseButton,
                            id::kToolStatic,  id::kTool0Picture, id::kTool1Picture, id::kUserModeCombo};
constexpr int kReportIds[] = {id::kReportRate1, id::kReportRate2, id::kReportRate3, id::kReportRate4};

struct DirectionNames {
  const char* forwardOff;
  const char* forwardOn;
  const char* backOff;
  const char* backOn;
  const char* forwardText;  // language keys of what the two pictures mean
  const char* backText;
};

DirectionNames DirectionPicturesOf(DirectionPictures kind) {
  switch (kind) {
    case DirectionPictures::UpDown:
      return {"upup.bmp", "updown.bmp", "downup.bmp", "downdown.bmp", "LIGHT_DIRECTION_UP", "LIGHT_DIRECTION_DOWN"};
    case DirectionPictures::SpreadConverge:
      return {"kuosan.bmp", "kuosandown.bmp", "julong.bmp", "julongdown.bmp", "LIGHT_DIRECTION_OUT", "LIGHT_DIRECTION_IN"};
    default:
      return {"leftup.bmp",  "leftdown.bmp",         "rightup.bmp",
              "rightdown.bmp", "LIGHT_DIRECTION_LEFT", "LIGHT_DIRECTION_RIGHT"};
  }
}

}  // namespace

LightingPanel::LightingPanel(QWidget* surface, LightingPanelHost& host, LightingPanelDeps deps)
    : QObject(surface),
      surface_(surface),
      host_(host),
      deps_(std::move(deps)),
      engine_(std::make_unique<lighting::PreviewEngine>()) {
  BuildControls();
  Refresh();

  // Timer 1052: the first tick after 100 ms, then every 50 ms, each armed again by the
  // tick so that a slow frame never piles up ticks.
  previewTimer_.setSingleShot(true);
  connect(&previewTimer_, &QTimer::timeout, this, [this] {
    PreviewTick();
    firstTick_ = false;
    UpdatePreviewTimer();
  });

  window_ = surface_->window();
  window_->installEventFilter(this);
  UpdatePreviewTimer();
}

LightingPanel::~LightingPanel() {
  if (window_) window_->removeEventFilter(this);
}

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

// --- Worker jobs -------------------------------------------------------------------------

LightingPanel::ColourView LightingPanel::SnapshotColours(const lighting::KeyColourEditor& editor, int profile,
                                                         bool names, const text::TextSource& texts) {
  ColourView v;
  v.mode = editor.SelectedMode();
  v.tool = editor.Tool();
  v.base = editor.BaseColour();
  v.brush = editor.BrushColour();
  v.buttons = editor.ButtonColours(profile);
  if (names) v.names = editor.ShownModeNames(profile, texts);
  return v;
}

template <typename Job, typename Done>
void LightingPanel::RunJob(Job job, ColourScope scope, Done done) {
  ++pendingJobs_;
  const int profile = deps_.session.CurrentProfile();
  auto& lights = deps_.lighting;
  const text::TextSource& texts = deps_.texts;
  deps_.worker.Run(
      [job = std::move(job), &lights, &texts, profile, scope]() mutable {
        JobResult r;
        r.code = job();
        r.state = lights.State();
        if (scope != ColourScope::None)
          r.colours = SnapshotColours(lights.Colours(), profile, scope == ColourScope::TableAndNames, texts);
        return r;
      },
      this,
      [this, done = std::move(done)](JobResult result) mutable {
        --pendingJobs_;
        Adopt(result);
        done(result);
        if (redrawAfterJobs_ && pendingJobs_ == 0) {
          redrawAfterJobs_ = false;
          engine_->EffectChanged();
          Refresh();
        }
      });
}

template <typename Send>
void LightingPanel::RunWrite(Send send, ColourScope scope, std::function<void()> after) {
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&commands, &lights, profile, send = std::move(send)]() mutable {
        return static_cast<int>(send(lights, commands, profile));
      },
      scope,
      [this, after = std::move(after)](const JobResult& result) {
        const auto outcome = static_cast<lighting::WriteOutcome>(result.code);
        if (outcome == lighting::WriteOutcome::Refused) {
          ShowWriteStatus(true);
          // The keyboard took the writes but holds something else: the status's tooltip
          // says what differs.
          QStringList lines;
          for (const auto& line : result.state.readBack.differences) lines << Utf8(line);
          status_->setToolTip(lines.join('\n'));
          redrawAfterJobs_ = true;
        } else if (outcome == lighting::WriteOutcome::Taken) {
          ShowWriteStatus(false);
        }
        if (after) after();
      });
}

void LightingPanel::AskChange(const lighting::FieldChange& change, ColourScope scope, std::function<void()> after) {
  (void)lighting::ApplyChange(view_, deps_.session.CurrentProfile(), change);
  RunWrite([change](lighting::LightingSession& l, device::CommandSet& c, int p) { return l.Change(c, p, change); },
           scope, std::move(after));
}

void LightingPanel::Adopt(JobResult& result) {
  // Only the last outstanding job's state is taken over: earlier results would briefly
  // undo what the user has chosen since.
  if (pendingJobs_ == 0) {
    const bool open = view_.panelOpen;
    view_ = result.state;
    view_.panelOpen = open;
  }
  if (result.colours) {
    auto names = std::move(result.colours->names);
    if (!names) names = std::move(colourView_.names);
    colourView_ = std::move(*result.colours);
    colourView_.names = std::move(names);
  }
}

void LightingPanel::Load(lighting::LoadOccasion occasion, bool userColours, std::function<void()> after) {
  const int profile = deps_.session.CurrentProfile();
  loadedProfile_ = profile;
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  // Written on the worker, read once the result is delivered on the UI thread.
  auto colourWrite = std::make_shared<lighting::KeyColourWrite>(lighting::KeyColourWrite::NotSent);
  RunJob(
      [&commands, &lights, profile, occasion, userColours, colourWrite] {
        const auto loaded = lights.Load(commands, profile, occasion, userColours);
        *colourWrite = loaded.colours;
        return loaded.result;
      },
      ColourScope::TableAndNames,
      [this, after = std::move(after), colourWrite](const JobResult& result) {
        // With other jobs still out, the rest of the state waits for the last of them,
        // but the drop-down is filled from what the keyboard offers now.
        view_.supportedEffects = result.state.supportedEffects;
        view_.panelOpen = result.state.panelOpen;
        if (result.code == lighting::kLoadOk) ShowWriteStatus(*colourWrite == lighting::KeyColourWrite::Refused);
        Refresh();
        if (after) after();
        emit loaded(result.code);
      });
}

// --- Entry points ------------------------------------------------------------------------

void LightingPanel::DeviceConnected() { Load(lighting::LoadOccasion::Connection, true); }

void LightingPanel::KeyboardLightingChanged() { Load(lighting::LoadOccasion::Other, false); }

void LightingPanel::ProfileButton(int profile) {
  (void)profile;  // the session's current profile already
  Load(lighting::LoadOccasion::Other, true, [this] {
    if (view_.panelOpen) ClosePanel();
  });
}

void LightingPanel::ProfileShown(int profile) {
  if (profile == loadedProfile_) return;
  Load(lighting::LoadOccasion::Other, true);
}

void LightingPanel::SwitchAfterQuestions(int profile, ColourScope scope, std::function<void(bool)> then,
                                         std::function<void()> afterSwitch) {
  // The questions of a switch (unsaved changes) are put here, on the UI thread; the
  // device work follows on the worker and asks nothing.
  auto& session = deps_.session;
  const profiles::SwitchDecision decision = session.CheckSwitch(profile);
  if (!decision.proceed) {
    then(false);
    return;
  }
  RunJob(
      [&session, decision, afterSwitch = std::move(afterSwitch)] {
        const bool ok = session.FinishSwitch(decision);
        if (ok && afterSwitch) afterSwitch();
        return ok ? 1 : 0;
      },
      scope, [then = std::move(then)](const JobResult& result) { then(result.code == 1); });
}

void LightingPanel::ToggleLamp() {
  if (view_.panelOpen) {
    ClosePanel();
  } else {
    OpenPanel();
  }
}

void LightingPanel::OpenPanel() {
  auto& profiles = deps_.session.Service();
  auto& lights = deps_.lighting;
  // While the keyboard has not taken the re-selection, the panel is not open: nothing of
  // it shows, so key clicks still go to the key page.
  RunJob([&profiles] { return profiles.ActiveProfile(); }, ColourScope::None,
         [this, &lights](const JobResult& active) {
           if (active.code < 0) return;
           SwitchAfterQuestions(
               active.code, ColourScope::Table,
               [this](bool reselected) {
                 if (!reselected) return;
                 view_.panelOpen = true;
                 SetSelected(static_cast<CPngButton*>(Control(id::kLamp)), true);
                 ShowCaptions();
                 ShowForEffect(SelectedEffect());
                 if (SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
               },
               [&lights] { lights.SetPanelOpen(true); });
         });
}

void LightingPanel::ClosePanel() {
  view_.panelOpen = false;
  auto& lights = deps_.lighting;
  RunJob(
      [&lights] {
        lights.SetPanelOpen(false);
        return 0;
      },
      ColourScope::None, [](const JobResult&) {});
  SetSelected(static_cast<CPngButton*>(Control(id::kLamp)), false);
  ShowCaptions();
  host_.RedrawKeyFaces();
  ShowForEffect(0);
}

bool LightingPanel::KeyClicked(int controlId) {
  if (!view_.panelOpen) return false;
  if (SelectedEffect() != lighting::kEffectUserColours || lighting::ButtonIndex(controlId) < 0) return true;
  // The button shows its new colour at once; the job's table repaints every button that
  // shares the slot (the nine G keys light as one).
  PaintKey(controlId, colourView_.tool == 1 ? colourView_.base : colourView_.brush);
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&commands, &lights, profile, controlId] {
        return static_cast<int>(lights.PaintKey(commands, profile, controlId, lighting::kEffectUserColours));
      },
      ColourScope::Table, [this](const JobResult& result) {
        ShowKeyColourWrite(static_cast<lighting::KeyColourWrite>(result.code));
        if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
         });
  return true;
}

void LightingPanel::RestoreDefault() {
  if (!view_.panelOpen) return;
  engine_->EffectChanged();
  // The key colours' outcome is not the lighting record's: a refusal of them shows the
  // status text without reading the record back. Written on the worker, read once the
  // result is delivered.
  auto colourWrite = std::make_shared<lighting::KeyColourWrite>(lighting::KeyColourWrite::NotSent);
  RunWrite(
      [colourWrite](lighting::LightingSession& l, device::CommandSet& c, int p) {
        const auto written = l.RestoreDefault(c, p, true);
        *colourWrite = written.colours;
        return written.record;
      },
      ColourScope::TableAndNames, [this, colourWrite] {
        if (*colourWrite == lighting::KeyColourWrite::Refused) ShowWriteStatus(true);
        Refresh();
      });
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

// --- Handlers ----------------------------------------------------------------------------

void LightingPanel::OnEffectChosen(int position) {
  if (updatingControls_) return;
  const EffectCode code = effects_.table.EffectAtPosition(position);
  // Leaving the per-key colours: keys the preview does not paint (G keys, right Win)
  // must not keep them.
  if (view_.effect == lighting::kEffectUserColours && code != view_.effect && view_.panelOpen) ShowCaptions();
  engine_->EffectChanged();
  AskChange({lighting::LightingField::Effect, code},
            code == lighting::kEffectUserColours ? ColourScope::Table : ColourScope::None, [this, code] {
              if (code == lighting::kEffectUserColours && view_.panelOpen && SelectedEffect() == code)
                PaintKeyButtons();
            });
  ShowForEffect(code);
}

void LightingPanel::OnSlider(int controlId, int position) {
  if (updatingControls_) return;
  if (controlId == id::kBrightnessSlider) {
    brightness_->SetChannelPicture(Picture(QString("%1.bmp").arg(position)));
    AskChange({lighting::LightingField::Brightness, position});
  } else if (controlId == id::kSpeedSlider) {
    speed_->SetChannelPicture(Picture(QString("%1.bmp").arg(kSpeedPictureBase + position)));
    AskChange({lighting::LightingField::Speed, position});
  }
}

void LightingPanel::OnDirection(int value) {
  AskChange({lighting::LightingField::Direction, value});
  ShowForEffect(SelectedEffect());
}

void LightingPanel::OnColourPicked(const QColor& colour) {
  lighting::FieldChange change{lighting::LightingField::Colour};
  change.colour = FromQColor(colour);
  AskChange(change);
  updatingControls_ = true;
  for (auto* swatch : {swatches_[0], swatches_[1]}) swatch->SetColor(colour);
  updatingControls_ = false;
  SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), false);
  SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), false);
  rgbEdits_[0]->setText(QString::number(colour.red()));
  rgbEdits_[1]->setText(QString::number(colour.green()));
  rgbEdits_[2]->setText(QString::number(colour.blue()));
}

void LightingPanel::OnMulticolour(ColourGroup group) {
  // The view shows the toggle by the session's rule; the job toggles what the session holds.
  lighting::FieldChange shown{lighting::LightingField::Multicolour};
  shown.on = !view_.multicolour;
  shown.group = group;
  (void)lighting::ApplyChange(view_, deps_.session.CurrentProfile(), shown);
  SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), view_.multicolour);
  SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), view_.multicolour);
  RunWrite(
      [group](lighting::LightingSession& l, device::CommandSet& c, int p) { return l.ToggleMulticolour(c, p, group); },
      ColourScope::None, [this] {
        SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), view_.multicolour);
        SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), view_.multicolour);
      });
}

void LightingPanel::OnColourChoice(int choice) {
  AskChange({lighting::LightingField::Choice, choice});
  for (int n = 0; n < 4; ++n) SetSelected(static_cast<CPngButton*>(Control(id::kChoiceRed + n)), n == choice);
}

void LightingPanel::OnReportRate(int rate) {
  AskChange({lighting::LightingField::ReportRate, rate});
  for (int n = 0; n < 4; ++n) static_cast<CPngButton*>(Control(kReportIds[n]))->SetToggled(n == rate);
}

void LightingPanel::OnBaseColour(const QColor& colour) {
  if (updatingControls_) return;
  const Rgb rgb = FromQColor(colour);
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  RunJob([&commands, &lights, profile,
          rgb] { return static_cast<int>(lights.ChangeBaseColour(commands, profile, rgb)); },
         ColourScope::Table, [this](const JobResult& result) {
           ShowKeyColourWrite(static_cast<lighting::KeyColourWrite>(result.code));
           RefreshUserControls();
           if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
         });
}

void LightingPanel::OnBrushColour(const QColor& colour) {
  if (updatingControls_) return;
  const Rgb rgb = FromQColor(colour);
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  colourView_.brush = rgb;
  RunJob(
      [&lights, profile, rgb] {
        lights.ChangeBrushColour(profile, rgb);
        return 1;
      },
      ColourScope::Table, [this](const JobResult&) { RefreshUserControls(); });
}

void LightingPanel::OnTool(int tool) {
  colourView_.tool = tool;
  RefreshUserControls();
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&lights, profile, tool] {
        lights.ChooseTool(profile, tool);
        return 1;
      },
      ColourScope::Table, [this](const JobResult&) { RefreshUserControls(); });
}

void LightingPanel::OnUserMode(int mode) {
  if (updatingControls_ || mode < 0) return;
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&commands, &lights, profile, mode] {
        return static_cast<int>(lights.ChooseUserMode(commands, profile, mode));
      },
      ColourScope::Table, [this](const JobResult& result) {
        ShowKeyColourWrite(static_cast<lighting::KeyColourWrite>(result.code));
        RefreshUserControls();
        if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
      });
}

void LightingPanel::OnRenameMode(const QString& text) {
  const int mode = colourView_.mode;
  if (mode < 0 || mode >= modeCombo_->count()) return;
  if (colourView_.names) (*colourView_.names)[static_cast<std::size_t>(mode)] = text.toStdString();
  // Renaming the shown entry puts the text into the edit again: keep the caret in place.
  const int caret = modeCombo_->lineEdit()->cursorPosition();
  modeCombo_->setItemText(mode, text);
  modeCombo_->lineEdit()->setCursorPosition(caret);
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  const std::string name = text.toStdString();
  RunJob(
      [&lights, profile, name] {
        lights.RenameUserMode(profile, name);
        return 1;
      },
      ColourScope::None, [](const JobResult&) {});
}

// --- Preview -------------------------------------------------------------------------

void LightingPanel::PreviewTick() {
  if (!view_.panelOpen) return;
  const EffectCode code = SelectedEffect();
  // Effect 20 shows the per-key colours, painted when they change.
  if (code == lighting::kEffectUserColours) return;
  const lighting::PreviewInput input{code, view_.direction, view_.multicolour, view_.colour};
  if (!engine_->Step(input, frame_)) return;
  if (frame_.showCaptions) {
    if (!captionsShown_) ShowCaptions();
    return;
  }
  for (std::size_t i = 0; i < frame_.count; ++i) PaintKey(frame_.keys[i].controlId, frame_.keys[i].colour);
}

void LightingPanel::UpdatePreviewTimer() {
  const bool seen = window_ && window_->isVisible() && !window_->isMinimized();
  if (!seen) {
    previewTimer_.stop();
  } else if (!previewTimer_.isActive()) {
    previewTimer_.start(firstTick_ ? kFirstTickMs : kTickMs);
  }
}

bool LightingPanel::eventFilter(QObject* watched, QEvent* event) {
  if (modeCombo_ && watched == modeCombo_->lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  if (watched == window_) {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::WindowStateChange:
        // The state change arrives before the window's own flags settle on some
        // platforms: look again once the event is through.
        QTimer::singleShot(0, this, [this] { UpdatePreviewTimer(); });
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vantrel::ui
