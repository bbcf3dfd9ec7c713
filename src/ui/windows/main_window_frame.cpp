#include "ui/windows/main_window.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>
#include <array>

#include "core/keys/keyboard_layout.h"
#include "core/text/safe_format.h"
#include "core/text/skin_keys.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/windows/auto_profiles.h"
#include "ui/windows/history_window.h"
#include "ui/app/qt_translations.h"

// The main window's frame: its controls placed from the skin, the Flip layouts, the lamps
// and every text it shows.

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Skin keys of the command buttons, by control id.
const std::vector<std::pair<int, const char*>>& CommandButtonKeys() {
  static const std::vector<std::pair<int, const char*>> keys = {
      {ids::kProfiles, "FUNC_PROFILES"}, {ids::kMacro, "FUNC_MACRO"},       {ids::kOk, "CONTROL_OK"},
      {ids::kCancel, "CONTROL_CANCEL"},  {ids::kHelp, "CONTROL_HELP"},      {ids::kClose, "CONTROL_CLOSE"},
      {ids::kWebLink, "CONTROL_LINK"},   {ids::kMinimise, "CONTROL_MINIMIZE"}, {ids::kMenu, "CONTROL_MENU"},
      {ids::kApply, "CONTROL2_APPLY"},   {ids::kLockCaps, "LOCK_CAPS"},     {ids::kLockNum, "LOCK_NUM"},
      {ids::kLockScroll, "LOCK_SCROLL"}, {ids::kLockAb, "LOCK_AB"},         {ids::kFlip0, "FLIP_0"},
      {ids::kFlip1, "FLIP_1"},           {ids::kFlip2, "FLIP_2"},           {ids::kLink, "TOLVEN_LINK"},
      {ids::kProfile1, "FUNC_PROFILE1"}, {ids::kProfile1 + 1, "FUNC_PROFILE2"}, {ids::kProfile1 + 2, "FUNC_PROFILE3"},
      {ids::kDefault, "FUNC_DEFAULT"},   {ids::kSwitch, "FUNC_SWITCH"},
  };
  return keys;
}

// The six media keys that take the place of F1..F4 while "Flip" is set (ids 1016..1021):
// caption and the language key of their tooltip.
struct FlipKey {
  const char* caption;
  const char* tip;
};
constexpr std::array<FlipKey, 6> kFlipKeys = {{{"\u266B", "MEDIA_PALYER_1"},
                                               {"\u25C0\u25C0", "MEDIA_PREV_TRACK_4"},
                                               {"\u25B6\u2016", "MEDIA_PALY_PAUSE_2"},
                                               {"\u25A0", "MEDIA_STOP_PALY_3"},
                                               {"\u25B6\u25B6", "MEDIA_Next_TRACK_5"},
                                               {"\u2709", "MEDIA_MAIL_18"}}};
static_assert(kFlipKeys.size() == ids::kFlipOnLast - ids::kFlipOnFirst + 1);

// How often the lamps look at the host's lock states while the window is shown.
constexpr int kLockPollMs = 250;

const std::array<QColor, 5> kCaptionColours = {QColor(0xE8, 0xEC, 0xF2), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0xFF, 0xFF, 0xFF), QColor(0x70, 0x78, 0x84),
                                               QColor(0xFF, 0xFF, 0xFF)};
// A lock lamp's caption: dim while the lamp is off, bright while it is lit or pointed at.
const std::array<QColor, 5> kLampCaptionColours = {QColor(0x8A, 0x93, 0xA3), QColor(0xE7, 0xEA, 0xF0),
                                                   QColor(0xE7, 0xEA, 0xF0), QColor(0x4B, 0x51, 0x5C),
                                                   QColor(0xE7, 0xEA, 0xF0)};
// Where a lamp's caption starts: right of the lamp drawn at the pill's left end.
constexpr int kLampCaptionLeft = 24;

}  // namespace

CPngButton* CVantrelDlg::MakeButton(int controlId, const QString& key, bool keyButton) {
  // The selected picture is the pressed face: an assigned key looks pressed.
  auto* b = new CPngButton(this, controlId);
  PlaceSkinnedButton(*b, iniPath(), "BUTTONINFO", key, faces_[0], faces_[1], faces_[2], faces_[3],
                     faces_[2]);
  b->SetTextAttributes(9, "DejaVu Sans", kCaptionColours);
  connect(b, &QAbstractButton::clicked, this, [this, controlId] { OnButton(controlId); });
  (keyButton ? keyButtons_ : buttons_)[controlId] = b;
  return b;
}

void CVantrelDlg::SetUpKeyboardAccess() {
  // The key picture is one stop of the tab chain; arrows move on it by place.
  QList<QWidget*> keys;
  for (const auto& key : keys::OrdinaryLayoutKeys()) keys.push_back(KeyButton(key.controlId));
  for (int id = ids::kFlipOnFirst; id <= ids::kFlipOnLast; ++id) keys.push_back(Button(id));
  for (const auto& key : keys::GLayoutKeys()) keys.push_back(KeyButton(key.controlId));
  keys.push_back(KeyButton(keys::FnLayoutKey().controlId));

  QList<QWidget*> chain;
  for (int p = 0; p < 3; ++p) chain.push_back(Button(ids::kProfile1 + p));
  chain.append(keys);
  for (int id : {ids::kSwitch, ids::kDefault, ids::kApply, ids::kMacro, ids::kProfiles, ids::kFlip0, ids::kFlip1,
                 ids::kFlip2, ids::kLockCaps, ids::kLockNum, ids::kLockScroll, ids::kLockAb, ids::kOk, ids::kCancel,
                 ids::kMenu, ids::kHelp, ids::kLink, ids::kWebLink, ids::kMinimise, ids::kClose})
    chain.push_back(Button(id));
  chain.push_back(leftArrow_);
  chain.push_back(rightArrow_);
  SetTabChain(chain);
  // After the chain: the tab order is not changed for controls that take no focus, which
  // the group makes of every key but its tab stop.
  keyGroup_ = new ArrowKeyGroup(keys, this);
}

void CVantrelDlg::NameKeyButtons() {
  const auto& t = core_.Texts();
  for (const auto& key : keys::OrdinaryLayoutKeys())
    KeyButton(key.controlId)->setAccessibleName(Q(keys::KeyDisplayName(key.code, t)));
  int n = 0;
  for (const auto& key : keys::GLayoutKeys()) KeyButton(key.controlId)->setAccessibleName(QString("G%1").arg(++n));
  KeyButton(keys::FnLayoutKey().controlId)->setAccessibleName(QStringLiteral("Fn"));
  // The media keys shown in place of F1..F4 carry symbols: a reader says their tooltip.
  for (int id = ids::kFlipOnFirst; id <= ids::kFlipOnLast; ++id) Button(id)->setAccessibleName(Button(id)->tooltipText());
}

void CVantrelDlg::OnInitDialog() {
  const QString folder = skinFolder();
  const char* names[] = {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg",
                         "Arrow.jpg",       "main_color0.jpg", "main_color1.jpg"};
  for (int i = 0; i < 7; ++i) faces_[static_cast<std::size_t>(i)] = RequiredSkinPicture(folder, names[i]);
  for (int i = 0; i < 10; ++i) {
    // Optional pictures: only a regular file is read (a FIFO there would block the start).
    progressFrames_[static_cast<std::size_t>(i)] =
        OptionalPicture(QDir(folder).filePath(QString("jdt%1.bmp").arg(i + 1)));
  }
  link_ = Q(ini().ReadString("SCREEN", "Link").value_or("https://vantrel.example/"));
  PlaceControls();
  SetUpKeyboardAccess();
  ApplyFlip();
  Retranslate();
  SetNoDeviceLook(true);
  RefreshLockLamps();
  lockTimer_.start(kLockPollMs);
}

void CVantrelDlg::PlaceControls() {
  // The key picture: 108 keys under "KEY_%03X" of their key index, G1..G9, Fn.
  for (const auto& key : keys::OrdinaryLayoutKeys()) {
    MakeButton(key.controlId, Q(keys::SkinKeyOf(key)), true);
  }

  for (const auto& key : keys::GLayoutKeys()) {
    // The face carries the key's own legend; the layer caption sits small at its left.
    CPngButton* g = MakeButton(key.controlId, Q(keys::SkinKeyOf(key)), true);
    g->SetTextAttributes(7, "DejaVu Sans", kCaptionColours, kTextLeft | kTextVCenter | kTextSingleLine);
    g->SetTextInsets(4, 0, 0, 0);
  }
  MakeButton(keys::FnLayoutKey().controlId, Q(keys::SkinKeyOf(keys::FnLayoutKey())), true);
  pictureView_ = new KeyPictureView(controller_->Picture(), keyButtons_,
                                    {faces_[0], faces_[1], faces_[2], faces_[3], faces_[5], faces_[6]}, this);
  // A redraw makes F1..F4 and the media keys usable again as Flip says.
  connect(&controller_->Picture(), &KeyPicture::redrawn, this, [this] { ApplyFlipEnabling(); });

  for (const auto& [id, key] : CommandButtonKeys()) MakeButton(id, key, false);
  for (int lock : {ids::kLockCaps, ids::kLockNum, ids::kLockScroll, ids::kLockAb}) {
    buttons_[lock]->SetTogglePictures(faces_[0], faces_[2]);
    buttons_[lock]->SetToggleMode(true);
    buttons_[lock]->SetTextAttributes(8, "DejaVu Sans", kLampCaptionColours, kTextLeft | kTextVCenter | kTextSingleLine);
    buttons_[lock]->SetTextInsets(kLampCaptionLeft, -4, 0, 0);
    buttons_[lock]->SetToggledTextColour(kLampCaptionColours[1]);
  }
  buttons_[ids::kApply]->setEnabled(false);
  PlaceFlipKeys();

  leftArrow_ = new CPngButton(this, ids::kLeftArrow);
  rightArrow_ = new CPngButton(this, ids::kRightArrow);

  version_ = new ColorStatic(this, ids::kVersion);
  PlaceControl(*version_, iniPath(), "BUTTONINFO", "TOLVEN_VER");
  version_->SetTextColor(QColor(0x8A, 0x93, 0xA3));
  version_->setEnabled(false);
  version_->setText(QString());


  progress_ = new QLabel(this);
  PlaceControl(*progress_, iniPath(), "BUTTONINFO", "CONTROL_JDTStatic");
  progress_->setScaledContents(true);
  progress_->hide();

  noDevice_ = new QLabel(this);
  PlaceControl(*noDevice_, iniPath(), "BUTTONINFO", "KEYBOARD_PLATE");
  noDevice_->setAlignment(Qt::AlignCenter);
  noDevice_->setWordWrap(true);
  noDevice_->setStyleSheet("QLabel { color: #F0F3F7; background: rgba(12, 14, 18, 190); font: 16px 'DejaVu Sans'; }");
  noDevice_->hide();
}

void CVantrelDlg::PlaceFlipKeys() {
  // The six keys share the place of F1..F4, which they cover whole: one strip per state
  // of blank caps widened from F1's face, on the plate colour seen just left of F1.
  CPngButton* f1 = KeyButton(ids::kFlipOffFirst);
  CPngButton* f4 = KeyButton(ids::kFlipOffLast);
  if (!f1 || !f4) return;
  const QRect span = f1->geometry().united(f4->geometry());
  const auto origin = text::FaceSourceOrigin(f1->faceOrigin().x(), f1->faceOrigin().y());
  const QRect cap(origin.x, origin.y, f1->width(), f1->height());
  constexpr int kCount = static_cast<int>(kFlipKeys.size()), kGap = 4, kEdge = 6;
  auto left = [&](int n) { return n * (span.width() + kGap) / kCount; };
  for (std::size_t state = 0; state < flipFaces_.size(); ++state) {
    const QPixmap& picture = faces_[state];
    const qreal ratio = picture.devicePixelRatio();
    QPixmap strip(span.size() * ratio);
    strip.setDevicePixelRatio(ratio);
    strip.fill(picture.copy(PictureSource(picture, QRect(cap.left() - 2, cap.center().y(), 1, 1)).toRect())
                   .toImage()
                   .pixelColor(0, 0));
    QPainter painter(&strip);
    for (int n = 0; n < kCount; ++n) {
      const int width = std::max(left(n + 1) - kGap - left(n), 2 * kEdge);
      DrawWidenedFace(painter, QPoint(left(n), 0), width, picture, cap, kEdge);
    }
    painter.end();
    flipFaces_[state] = strip;
  }
  for (int n = 0; n < kCount; ++n) {
    const int id = ids::kFlipOnFirst + n;
    auto* b = new CPngButton(this, id);
    const int right = n + 1 == kCount ? span.width() : left(n + 1);
    b->setGeometry(span.x() + left(n), span.y(), right - left(n), span.height());
    b->SetStatePictures(flipFaces_[0], flipFaces_[1], flipFaces_[2], flipFaces_[3], flipFaces_[2]);
    b->SetFaceOrigin(left(n) + 1, 1);
    b->SetTextAttributes(8, "DejaVu Sans", kCaptionColours);
    b->SetTextInsets(0, n + 1 == kCount ? 0 : -kGap, 0, 0);  // centred on the cap, not on its gap
    b->setText(QString::fromUtf8(kFlipKeys[static_cast<std::size_t>(n)].caption));
    // Fixed functions of that layout: nothing to assign, so a click does nothing.
    buttons_[id] = b;
  }
}

void CVantrelDlg::ApplyFlip() {
  const bool flip = Flip() != 0;
  for (int id = ids::kFlipOffFirst; id <= ids::kFlipOffLast; ++id)
    if (auto* b = Button(id)) b->setVisible(!flip);
  for (int id = ids::kFlipOnFirst; id <= ids::kFlipOnLast; ++id)
    if (auto* b = Button(id)) b->setVisible(flip);
  ApplyFlipEnabling();
  // The arrows point up and are lit while the media keys are shown.
  const QString prefix = flip ? "UP_ARROW_" : "DOWN_ARROW_";
  const QString state = flip ? "2" : "1";
  PlaceWithFaceKey(*leftArrow_, iniPath(), "BUTTONINFO", "LEFT_ARROW", "BUTTONINFO2", prefix + "LEFT" + state,
                   faces_[4]);
  PlaceWithFaceKey(*rightArrow_, iniPath(), "BUTTONINFO", "RIGHT_ARROW", "BUTTONINFO2", prefix + "RIGHT" + state,
                   faces_[4]);
  const QString tip = Q(core_.Texts().Text(flip ? "MAIN_FLIP_STATE_MEDIA" : "MAIN_FLIP_STATE_F"));
  leftArrow_->SetTooltipText(tip);
  rightArrow_->SetTooltipText(tip);
  leftArrow_->update();
  rightArrow_->update();
}

void CVantrelDlg::ApplyFlipEnabling() {
  // Keys are usable only with the keyboard there, and of F1..F4 and the six media keys
  // only the set that "Flip" shows.
  const bool flip = Flip() != 0;
  controller_->Picture().SetAvailability(!noDeviceLook_, flip);
  for (int id = ids::kFlipOnFirst; id <= ids::kFlipOnLast; ++id)
    if (auto* b = Button(id)) b->setEnabled(!noDeviceLook_ && flip);
}

void CVantrelDlg::SetLockKeySource(LockKeySource source) {
  lockSource_ = std::move(source);
  RefreshLockLamps();
}

void CVantrelDlg::RefreshLockLamps() {
  const std::optional<platform::LockKeys> keys = lockSource_ ? lockSource_() : std::nullopt;
  // Without word from the system the three lamps are greyed rather than shown off.
  const std::pair<int, bool> lamps[] = {{ids::kLockCaps, keys && keys->caps},
                                        {ids::kLockNum, keys && keys->num},
                                        {ids::kLockScroll, keys && keys->scroll}};
  for (const auto& [id, on] : lamps) {
    CPngButton* lamp = Button(id);
    if (!lamp) continue;  // before the controls are placed
    lamp->setEnabled(keys.has_value());
    if (lamp->isToggled() != on) lamp->SetToggled(on);
    lamp->update();
  }
}

void CVantrelDlg::BindColourFields() {
  // The panel's RGB fields edit the colour that its colour button picks.
  std::array<QLineEdit*, 3> fields{};
  for (int i = 0; i < 3; ++i)
    fields[static_cast<std::size_t>(i)] = qobject_cast<QLineEdit*>(panel_->Control(panel_id::kRgbEditRed + i));
  if (auto* button = qobject_cast<CSkinColorBtn*>(panel_->Control(panel_id::kFyColourButton)))
    BindRgbFields(fields, *button);
}

void CVantrelDlg::OpenWithDesktop(const QUrl& url) {
  const bool missing = url.isLocalFile() && !QFileInfo::exists(url.toLocalFile());
  if (!missing && urlOpener_ && urlOpener_(url)) return;
  const QString target = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
  messages_.ShowMessage(text::FormatWithString(core_.Texts().Text("MAIN_PROMPT_OPEN_FAILED"), target.toStdString()));
}

void CVantrelDlg::Retranslate() {
  const auto& t = core_.Texts();
  // Qt's own texts first, so that what is built below already has them.
  UseQtTranslations(t.CurrentLanguageIndex());
  setWindowTitle(Q(t.Text("MAIN_CAPTION")));
  buttons_[ids::kHelp]->SetTooltipText(Q(t.Text("MAIN_HELP_PROMPT")));
  buttons_[ids::kClose]->SetTooltipText(Q(t.Text("MAIN_CLOSE_PROMPT")));
  buttons_[ids::kWebLink]->SetTooltipText(Q(t.Text("MAIN_LINK_PROMPT")));
  buttons_[ids::kLink]->SetTooltipText(Q(t.Text("MAIN_LINK_PROMPT")));  // the logo opens the same page
  buttons_[ids::kMinimise]->SetTooltipText(Q(t.Text("MAIN_MINIMIZE_PROMPT")));
  buttons_[ids::kMenu]->SetTooltipText(Q(t.Text("MAIN_MENU_PROMPT")));
  buttons_[ids::kLockCaps]->SetTooltipText(Q(t.Text("MAIN_LOCK_CAPS_PROMPT")));
  buttons_[ids::kLockNum]->SetTooltipText(Q(t.Text("MAIN_LOCK_NUM_PROMPT")));
  buttons_[ids::kLockScroll]->SetTooltipText(Q(t.Text("MAIN_LOCK_SCROLL_PROMPT")));
  buttons_[ids::kLockAb]->SetTooltipText(Q(t.Text("MAIN_LOCK_GLAYER_PROMPT")));
  buttons_[ids::kFlip0]->SetTooltipText(Q(t.Text("MAIN_FLIP_PROMPT")));
  buttons_[ids::kLockCaps]->setText(Q(t.Text("MAIN_LOCK_CAPS_TEXT")));
  buttons_[ids::kLockNum]->setText(Q(t.Text("MAIN_LOCK_NUM_TEXT")));
  buttons_[ids::kLockScroll]->setText(Q(t.Text("MAIN_LOCK_SCROLL_TEXT")));
  buttons_[ids::kLockAb]->setText(Q(t.Text("MAIN_LOCK_GLAYER_TEXT")));
  buttons_[ids::kFlip0]->setText(Q(t.Text("MAIN_FLIP_TEXT")));
  buttons_[ids::kFlip1]->SetTooltipText(Q(t.Text("MAIN_FLIP_SWITCH_PROMPT")));
  buttons_[ids::kFlip2]->SetTooltipText(Q(t.Text("MAIN_FLIP_SWITCH_PROMPT")));
  for (std::size_t n = 0; n < kFlipKeys.size(); ++n)
    buttons_[ids::kFlipOnFirst + static_cast<int>(n)]->SetTooltipText(Q(t.Text(kFlipKeys[n].tip)));
  ApplyFlip();  // the arrows' tooltip
  buttons_[ids::kSwitch]->setText(Q(t.Text(ColourView() ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT")));
  for (int p = 0; p < 3; ++p) buttons_[ids::kProfile1 + p]->setText(Q(t.Text(OnBoardProfileKey(p))));
  buttons_[ids::kProfiles]->setText(Q(t.Text("MENU_3")));
  buttons_[ids::kMacro]->setText(Q(t.Text("PROFILE_MACRO")));
  buttons_[ids::kDefault]->setText(Q(t.Text("PROFILE_DEFAULT")));
  buttons_[ids::kApply]->setText(Q(t.Text("PROFILE_APPLY")));
  buttons_[ids::kApply]->SetTooltipText(Q(t.Text("APPLY_PROMPT")));
  buttons_[ids::kOk]->setText(Q(t.Text("PROFILE_OK")));
  buttons_[ids::kCancel]->setText(Q(t.Text("PROFILE_CANCLE")));
  noDevice_->setText(Q(t.Text("MAIN_NO_DEVICE_PROMPT")));
  const auto captions = device::GKeyCaptions(GLayer());
  for (std::size_t i = 0; i < captions.size(); ++i)
    controller_->Picture().SetCaption(keys::GLayoutKeys()[i].controlId, Q(captions[i]));
  // The profile name is the profiles button's tooltip (the lighting panel's report-rate
  // caption has the place where a label could go).
  buttons_[ids::kProfiles]->SetTooltipText(Q(t.Text("PROFILE_TIP")) + profileName_);
  NameKeyButtons();
  if (about_) about_->Retranslate();
  if (autoProfiles_) autoProfiles_->Retranslate();
  if (history_) history_->Retranslate();
  TitleDialogs();
  if (panel_) panel_->Retranslate();
  if (profileManager_) profileManager_->Retranslate();
  if (updateDialog_) updateDialog_->Retranslate();
  if (keyPage_) keyPage_->OnLanguageChanged(core_.Texts().CurrentLanguageIndex());
  if (core_.Ready()) controller_->ShowKeys();
}

void CVantrelDlg::TitleDialogs() {
  // The skin pictures carry no titles: each dialog draws its own in the user's language.
  const auto& t = core_.Texts();
  if (profileManager_) profileManager_->SetTitleText(Q(t.Text("PROFILE_TITLE")));
  if (updateDialog_) updateDialog_->SetTitleText(Q(t.Text("UPDATE_TITLE")));
}

void CVantrelDlg::ChooseLanguage(int index) {
  const std::uint32_t id = controller_->StoreLanguage(index);
  if (id == 0) return;
  Retranslate();
  RebuildProfileMenu();
  emit languageChanged(id);
}


}  // namespace vantrel::ui
