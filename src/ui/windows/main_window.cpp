#include "ui/windows/main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPainter>
#include <QTimerEvent>
#include <QUrl>

#include <algorithm>
#include <future>
#include <optional>
#include <utility>

#include "core/keys/apply.h"
#include "core/keys/key_codes.h"
#include "core/keys/key_sheet.h"
#include "core/keys/keyboard_layout.h"
#include "core/keys/key_tooltip.h"
#include "core/lighting/key_buttons.h"
#include "core/profiles/working_file.h"
#include "core/text/safe_format.h"
#include "core/text/skin_keys.h"
#include "platform/profile_strings_qt.h"
#include "platform/program_launcher.h"
#include "scripting/keyboard_tasks.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/windows/about_box.h"
#include "ui/windows/auto_profiles.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/windows/file_menu.h"
#include "ui/windows/profile_manager.h"
#include "ui/app/qt_translations.h"
#include "ui/windows/tray.h"
#include "ui/windows/update_dialog.h"

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "1.0.0"
#endif

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

CVantrelDlg::CVantrelDlg(AppCore& core, text::MessageSink& messages, FileChooser& files, QWidget* parent)
    : CBaseDialog(102, parent, QDir(core.SkinFolder()).filePath("Main.ini"), core.SkinFolder()),
      core_(core),
      messages_(messages),
      files_(files) {
  setAcceptDrops(true);
  lockSource_ = [] { return platform::ReadHostLockKeys(); };
  urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  connect(&lockTimer_, &QTimer::timeout, this, [this] {
    // No lamp is seen while the window is minimised: no polling then either.
    if (isVisible() && !isMinimized()) RefreshLockLamps();
  });
}

CVantrelDlg::~CVantrelDlg() {
  // The Automatic profiles window uses the controller until it is gone; as children both
  // would be deleted in the order they were made, the controller first.
  delete autoProfiles_.data();
  // No focus report and no automatic switch after this.
  if (autoSwitch_) autoSwitch_->Stop();
  if (!closing_) {
    closing_ = true;
    core_.SetStopping();
    if (auto* session = core_.Session()) session->RemoveView(*this);
    core_.Stop();
  }
}

int CVantrelDlg::CurrentProfile() const {
  auto* session = core_.Session();
  return session ? session->CurrentProfile() : 0;
}

bool CVantrelDlg::ApplyPending() const {
  auto* session = core_.Session();
  return session && session->Unsaved();
}

CPngButton* CVantrelDlg::KeyButton(int controlId) const {
  auto it = keyButtons_.find(controlId);
  return it == keyButtons_.end() ? nullptr : it->second;
}

CPngButton* CVantrelDlg::Button(int controlId) const {
  if (auto* key = KeyButton(controlId)) return key;
  auto it = buttons_.find(controlId);
  return it == buttons_.end() ? nullptr : it->second;
}

QList<CPngButton*> CVantrelDlg::KeyButtons() const {
  QList<CPngButton*> out;
  for (const auto& [id, b] : keyButtons_) out.push_back(b);
  return out;
}

int CVantrelDlg::GLayer() const { return core_.GKeyLayer(); }

std::optional<keys::KeyButton> CVantrelDlg::ResolveButton(int controlId, int layer) const {
  const auto factory = core_.FactoryKeyTable();
  return keys::ResolveKeyButton(controlId, layer, factory ? std::span<const std::uint8_t>(*factory)
                                                          : std::span<const std::uint8_t>());
}

int CVantrelDlg::Flip() const { return core_.AppSettings().value("PROFILES/Flip", "0").toString().toInt(); }

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
  for (int id = ids::kFlipOffFirst; id <= ids::kFlipOffLast; ++id)
    if (auto* b = Button(id)) b->setEnabled(!noDeviceLook_ && !flip);
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
  buttons_[ids::kSwitch]->setText(Q(t.Text(colourView_ ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT")));
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
  for (std::size_t i = 0; i < captions.size(); ++i) keyButtons_[keys::GLayoutKeys()[i].controlId]->setText(Q(captions[i]));
  // The profile name is the profiles button's tooltip (the lighting panel's report-rate
  // caption has the place where a label could go).
  buttons_[ids::kProfiles]->SetTooltipText(Q(t.Text("PROFILE_TIP")) + profileName_);
  NameKeyButtons();
  if (about_) about_->Retranslate();
  if (autoProfiles_) autoProfiles_->Retranslate();
  TitleDialogs();
  if (panel_) panel_->Retranslate();
  if (profileManager_) profileManager_->Retranslate();
  if (updateDialog_) updateDialog_->Retranslate();
  if (keyPage_) keyPage_->OnLanguageChanged(core_.Texts().CurrentLanguageIndex());
  if (core_.Ready()) ShowKeysNow();
}

void CVantrelDlg::TitleDialogs() {
  // The skin pictures carry no titles: each dialog draws its own in the user's language.
  const auto& t = core_.Texts();
  if (profileManager_) profileManager_->SetTitleText(Q(t.Text("PROFILE_TITLE")));
  if (updateDialog_) updateDialog_->SetTitleText(Q(t.Text("UPDATE_TITLE")));
}

void CVantrelDlg::ChooseLanguage(int index) {
  if (index < 0 || index > 3) return;
  const std::uint32_t id = text::kLanguageIds[static_cast<std::size_t>(index)];
  core_.Settings().WriteDword(text::kLanguageIdValue, id);
  Retranslate();
  RebuildProfileMenu();
  emit languageChanged(id);
}

void CVantrelDlg::Start(CTrayIcon* tray) {
  tray_ = tray;
  core_.Start(*this, *this, messages_);
  if (auto* generations = core_.Generations())
    connect(generations, &GenerationWatch::changed, this, [this] { OnGenerationChanged(); });
  // A change kept out for the user's edits is read once the edits are applied or dropped.
  connect(this, &CVantrelDlg::deviceWorkDone, this, [this] {
    auto* session = core_.Session();
    if (foreignDeclined_ != viewedForeign_ && session && !session->Unsaved()) OnGenerationChanged();
  });
  BuildLightingPanel();
  AutoSwitchController::Deps deps{core_.Worker(), [this] { return core_.Session(); },
                                  [this] { return !closing_ && !core_.Stopping() && core_.KeyboardPresent(); }};
  autoSwitch_ = new AutoSwitchController(std::move(deps), core_.AppSettings(),
                                         AutoSwitchController::Environment::FromProcess(), nullptr, nullptr, this);
  connect(autoSwitch_, &AutoSwitchController::statusChanged, this, [this] {
    if (tray_) tray_->UpdateToolTip();
  });
  autoSwitch_->Start();
  QMetaObject::invokeMethod(this, [this] { OnInitTray(); }, Qt::QueuedConnection);
}

void CVantrelDlg::OnInitTray() {
  trayAvailable_ = tray_ && tray_->Create();
  if (tray_) connect(tray_, &CTrayIcon::becameAvailable, this, [this] { trayAvailable_ = true; });
  RebuildProfileMenu();
  core_.SetReady();
  if (trayAvailable_) {
    hide();
  } else {
    // Without a tray the window is the program: shown at start, minimised with "/Start".
    SetNoDeviceLook(!core_.KeyboardPresent());
    if (core_.Options().startInTray) showMinimized();
    else show();
  }
}

// ---- presence port --------------------------------------------------------------------

void CVantrelDlg::ProfileChanged() {
  // Called on the presence thread, which goes on once the reload has run: the reload is
  // queued on the device worker directly (the window is not touched from this thread), and
  // the session tells the window what it read.
  auto* session = core_.Session();
  if (core_.Stopping() || !session) return;
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  core_.Worker().Post([&core = core_, session, done] {
    // What the keyboard holds is compared with the last configuration before the reload
    // replaces the store with it.
    core.RunArrivalCheck();
    session->ReloadOnArrival();
    done->set_value();
  });
  finished.wait();  QMetaObject::invokeMethod(this, [this] { ShowAgainAfterUnplug(); }, Qt::QueuedConnection);
}

void CVantrelDlg::ShowAgainAfterUnplug() {
  // Called for an arrival only: the keyboard is there, though the presence logic may not
  // have counted it yet (the window's look follows when its configuration is read).
  if (!hiddenByUnplug_ || closing_) return;
  hiddenByUnplug_ = false;
  if (isVisible()) return;
  show();
  raise();
  activateWindow();
}

void CVantrelDlg::DeviceGone() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (closing_) return;
        // An open key page keeps what it recorded: it closes as its Apply would store
        // the edits, without writing them to the keyboard.
        ClosePages(/*keepEdits=*/true);
        if (trayAvailable_) {
          if (isVisible() && !isMinimized()) hiddenByUnplug_ = true;
          hide();
        }
        SetNoDeviceLook(true);
        UpdateApplyButton();
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::GKeyLayerChanged(int layer) {
  QMetaObject::invokeMethod(
      this,
      [this, layer] {
        const auto captions = device::GKeyCaptions(layer);
        for (std::size_t i = 0; i < captions.size(); ++i)
          keyButtons_[keys::GLayoutKeys()[i].controlId]->setText(Q(captions[i]));
        buttons_[ids::kLockAb]->SetToggled(layer != 0);
        ShowKeysNow();
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::OpenWindow() {
  QMetaObject::invokeMethod(this, [this] { ShowWindowRoutine(); }, Qt::QueuedConnection);
}

void CVantrelDlg::ReloadLighting() {
  // Timer 1051 with no delay: one reload on the window's own thread.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (panel_ && !closing_) panel_->KeyboardLightingChanged();
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::ShowTrayIcon(int icon) {
  QMetaObject::invokeMethod(
      this, [this, icon] { if (tray_) tray_->SetIcon(icon); }, Qt::QueuedConnection);
}

// ---- profile view ---------------------------------------------------------------------

void CVantrelDlg::UpdateApplyButton() { buttons_[ids::kApply]->setEnabled(ApplyPending()); }

void CVantrelDlg::SessionChanged() {
  QMetaObject::invokeMethod(
      this, [this] { if (!closing_) UpdateApplyButton(); }, Qt::QueuedConnection);
}

void CVantrelDlg::ProfileSwitched(int profile) {
  QMetaObject::invokeMethod(
      this,
      [this, profile] {
        if (closing_) return;
        ShowSwitchedProfile(profile);
        // The lighting panel and the profile manager follow every switch, whichever
        // window asked for it.
        if (panel_) panel_->ProfileShown(profile);
        if (profileManager_) profileManager_->CheckProfileRow(profile);
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::ConfigurationRead(int profile) {
  QMetaObject::invokeMethod(
      this,
      [this, profile] {
        if (closing_) return;
        if (profile >= 0 && profile <= 2) {
          for (int p = 0; p < 3; ++p) buttons_[ids::kProfile1 + p]->SetSelected(p == profile);
        }
        SetNoDeviceLook(false);
        buttons_[ids::kLockAb]->SetToggled(GLayer() != 0);
        UpdateApplyButton();
        // The lighting and the per-key colours follow on the worker, in this order.
        if (panel_) panel_->DeviceConnected();
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::ArrivalWithEdits() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        auto* session = core_.Session();
        if (closing_ || !session || arrivalQuestionUp_) return;
        SetNoDeviceLook(false);
        arrivalQuestionUp_ = true;
        const profiles::ArrivalChoice choice = session->AskArrival();
        arrivalQuestionUp_ = false;
        PostDeviceJob([session, choice] { session->ResolveArrival(choice); });
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::ShowSwitchedProfile(int profile) {
  for (int p = 0; p < 3; ++p) buttons_[ids::kProfile1 + p]->SetSelected(p == profile);
  colourView_ = 0;
  buttons_[ids::kSwitch]->setText(Q(core_.Texts().Text("MAIN_SWITCH_FUNCTION_TEXT")));
  RedrawKeyFaces();
  UpdateApplyButton();
}

CVantrelDlg::KeySnapshot CVantrelDlg::TakeSnapshot(const keys::StoreImage& image, int profile, int layer) const {
  KeySnapshot snapshot;
  const auto& texts = core_.Texts();
  const auto slot = static_cast<std::size_t>(profile);
  for (const auto& key : keys::OrdinaryLayoutKeys()) {
    const auto record = image.table.Record(slot, keys::KeyIndexOfCode(key.code));
    const auto tip = keys::KeyTooltip(key.code, 0, record, image, texts);
    snapshot.looks[key.controlId] = {Q(tip.text), tip.assigned, record.selected != 0};
  }
  int n = 0;
  for (const auto& key : keys::GLayoutKeys()) {
    const auto record = image.table.Record(slot, keys::GKeyPlace{static_cast<std::size_t>(n), layer}.Index());
    const auto tip = keys::KeyTooltip(0, n + 1, record, image, texts);
    // A G key the keyboard has no entry for (the second layer) never looks reassigned.
    const auto button = ResolveButton(key.controlId, layer);
    const bool kept = button && button->onKeyboard;
    snapshot.looks[key.controlId] = {Q(tip.text), tip.assigned && kept, record.selected != 0};
    ++n;
  }
  snapshot.looks[keys::FnLayoutKey().controlId] = {QStringLiteral("Fn"), false, false};
  return snapshot;
}

void CVantrelDlg::ShowKeyButtons(const keys::StoreImage& image, int profile) {
  // Called with the editing store's lock held, often on the device worker: take what the
  // buttons need and hand it over without waiting.
  KeySnapshot snapshot = TakeSnapshot(image, profile, GLayer());
  QMetaObject::invokeMethod(
      this, [this, snapshot = std::move(snapshot)] { ApplySnapshot(snapshot); }, Qt::QueuedConnection);
}

void CVantrelDlg::ShowKeysNow() {
  // The store's lock is held only while the snapshot is taken, never across device
  // writes, so this runs on the UI thread.
  if (auto* session = core_.Session()) session->ShowKeys();
}

void CVantrelDlg::ApplySnapshot(const KeySnapshot& snapshot) {
  shown_ = snapshot;
  RedrawKeyFaces();
}

void CVantrelDlg::RedrawKeyFaces() {
  for (const auto& [id, b] : keyButtons_) {
    auto it = shown_.looks.find(id);
    const KeyLook look = it == shown_.looks.end() ? KeyLook{} : it->second;
    b->SetTooltipText(look.tooltip);
    if (colourView_) {
      const QPixmap& face = look.selected ? faces_[6] : faces_[5];
      b->SetStatePictures(face, face, face, faces_[3], face);
      b->SetSelected(false);
    } else {
      b->SetStatePictures(faces_[0], faces_[1], faces_[2], faces_[3], faces_[2]);
      b->SetSelected(look.assigned);
    }
    b->update();
  }
  // The panel closing redraws the keys through here: F1..F4 and the media keys are
  // usable again as Flip says.
  ApplyFlipEnabling();
}

void CVantrelDlg::RebuildProfileMenu() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        const int active = core_.Session() ? core_.Session()->Facts().activeProfile : -1;
        // The checked item names the profile: an on-board profile by its number.
        profileName_ = Q(core_.Texts().Text(active < 0 ? "DEFAULT_PROFILE_NAME" : OnBoardProfileKey(active)));
        buttons_[ids::kProfiles]->SetTooltipText(Q(core_.Texts().Text("PROFILE_TIP")) + profileName_);
        emit profileMenuChanged();
      },
      Qt::QueuedConnection);
}

void CVantrelDlg::BuildProfileMenu(QMenu& menu) {
  menu.clear();
  const int active = core_.Session() ? core_.Session()->Facts().activeProfile : -1;
  auto add = [&](int command, const QString& text, int position) {
    QAction* a = menu.addAction(text);
    a->setData(command);
    a->setCheckable(true);
    a->setChecked(active < 0 ? position == 0 : position == active + 2);
    connect(a, &QAction::triggered, this, [this, command] { ChooseProfileFromMenu(command); });
  };
  add(ids::kProfileMenuFirst, Q(core_.Texts().Text("DEFAULT_PROFILE_NAME")), 0);
  menu.addSeparator();
  // Each slot item names its on-board profile (all three are kept in the one working file).
  for (int slot = 0; slot < 3; ++slot) add(ids::kProfileMenuFirst + 1 + slot, Q(core_.Texts().Text(OnBoardProfileKey(slot))), slot + 2);
}

void CVantrelDlg::ChooseProfileFromMenu(int command) {
  if (command < ids::kProfileMenuFirst || command > ids::kProfileMenuLast) return;
  RequestSwitch(command - (ids::kProfileMenuFirst + 1));
}

void CVantrelDlg::RequestSwitch(int profile) {
  auto* session = core_.Session();
  if (!session || closing_ || !core_.Presence()) return;
  // The questions are put here, on the UI thread; the device work follows on the worker,
  // and the session tells every window about the switch.
  const profiles::SwitchDecision decision = session->CheckSwitch(profile);
  if (!decision.proceed) return;
  PostDeviceJob([session, decision] { (void)session->FinishSwitch(decision); });
}

// ---- buttons --------------------------------------------------------------------------

void CVantrelDlg::OnButton(int controlId) {
  if (KeyButton(controlId)) {
    OnKeyClicked(controlId);
    return;
  }
  switch (controlId) {
    case ids::kMacro: OnKeyClicked(keys::GLayoutKeys()[8].controlId); return;
    case ids::kProfiles: OpenProfileManager(); return;
    case ids::kMenu: ShowFileMenu(); return;
    case ids::kApply: OnApply(); return;
    case ids::kDefault: OnRestoreDefault(); return;
    case ids::kSwitch: OnSwitchView(); return;
    case ids::kMinimise: showMinimized(); return;
    case ids::kClose:
    case ids::kOk:
    case ids::kCancel: RequestExit(); return;
    case ids::kHelp:
      OpenWithDesktop(QUrl::fromLocalFile(Q((core_.ProgramFolder() / "Help" / "index.html").string())));
      return;
    case ids::kLink:
    case ids::kWebLink: OpenWithDesktop(QUrl(link_)); return;
    case ids::kFlip1:
    case ids::kFlip2:
      core_.AppSettings().setValue("PROFILES/Flip", QString::number(Flip() != 0 ? 0 : 1));
      ApplyFlip();
      return;
    default: break;
  }
  if (controlId >= ids::kProfile1 && controlId <= ids::kProfile1 + 2) OnProfileButton(controlId - ids::kProfile1);
}

void CVantrelDlg::OnKeyClicked(int controlId) {
  // With the lighting panel open a click is the colour brush's, not the key page's.
  if (panel_ && panel_->KeyClicked(controlId)) return;
  const auto button = ResolveButton(controlId);
  if (!button) return;
  editedKey_ = {button->code, controlId, button->macroButton};
  const int keyIndex = button->index == keys::kNoKeyIndex ? -1 : static_cast<int>(button->index);
  if (keyIndex < 0) return;  // Fn has no record of its own: no page, no selection
  if (colourView_ == 0) {
    keyButtons_[controlId]->SetSelected(true);
    OpenKeyPage(controlId);
    return;
  }
  if (auto* session = core_.Session()) session->ToggleSelected(static_cast<std::size_t>(keyIndex));
}

void CVantrelDlg::OpenKeyPage(int controlId) {
  auto* session = core_.Session();
  if (closing_ || !session) return;
  if (!keyPage_) {
    keyPage_ = new Vantrel_DlgComposite(core_.Editing(), core_.Texts(), messages_, core_.ProfileStrings(), *this,
                                        skinFolder(), this);
    connect(keyPage_, &QDialog::finished, this, [this] {
      if (auto* s = core_.Session(); s && keyPageCounted_) {
        keyPageCounted_ = false;
        s->EditorClosed(profiles::Editor::KeyPage);
      }
    });
  }
  // While the page is open a switch is refused: the session counts it as an open editor.
  if (!keyPageCounted_) {
    keyPageCounted_ = true;
    session->EditorOpened(profiles::Editor::KeyPage);
  }
  const bool opened = keyPageModal_ ? keyPage_->Open(controlId) >= 0 : keyPage_->Begin(controlId);
  // The program may have closed while the page ran its own loop: ask for the session again.
  if ((keyPageModal_ || !opened) && keyPageCounted_) {
    keyPageCounted_ = false;
    if (auto* s = core_.Session()) s->EditorClosed(profiles::Editor::KeyPage);
  }
}

void CVantrelDlg::OpenProfileManager() {
  if (closing_ || !core_.Profiles()) return;
  if (!profileManager_) {
    CVantrel_DlgProfile::Services services{*core_.Profiles(), core_.Texts(), messages_, files_,
                                           core_.ProfileList(), core_.Worker(), *this};
    profileManager_ = new CVantrel_DlgProfile(services, QDir(skinFolder()).filePath("Profile.ini"), skinFolder(), this);
    TitleDialogs();
  }
  profileManager_->Open();
}

FileMenu* CVantrelDlg::BackupMenu() {
  if (fileMenu_ || !core_.Profiles()) return fileMenu_;
  CVantrel_DlgUpdate::Services update{*core_.Profiles(), core_.Commands(), core_.Launcher(), core_.Texts(),
                                      messages_,          files_,           core_.Worker(),   updaterPath_,
                                      core_.ProgramFolder() / "Package"};
  updateDialog_ = new CVantrel_DlgUpdate(update, QDir(skinFolder()).filePath("UpdateDlg.ini"), skinFolder(), this);
  FileMenu::Services services{*core_.Profiles(), core_.Texts(), messages_, files_, core_.Worker(), *this,
                              *updateDialog_};
  fileMenu_ = new FileMenu(services, this);
  fileMenu_->SetPrintAction([this] { PrintKeyMap(); });
  TitleDialogs();
  return fileMenu_;
}

void CVantrelDlg::PrintKeyMap() {
  if (closing_) return;
  text::IniSnapshot skin;
  skin.Load(std::filesystem::path(iniPath().toStdString()));
  const std::string date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  std::vector<keys::KeySheet> sheets;
  {
    keys::EditingStore::Lock lock(core_.Editing());
    sheets.push_back(keys::BuildKeySheet(lock.Image(), static_cast<std::size_t>(CurrentProfile()), skin,
                                         core_.Texts(), date));
  }
  printer_->Print(this, sheets);
}

namespace {

// The one local file of a drag, or nothing.
std::optional<QString> DraggedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  return url.toLocalFile();
}

}  // namespace

void CVantrelDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (const auto file = DraggedFile(event->mimeData()); file && QFileInfo(*file).isFile()) {
    event->acceptProposedAction();
  }
}

void CVantrelDlg::dropEvent(QDropEvent* event) {
  const auto file = DraggedFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  // Asked after the drop has ended, so the drag source is not held by the question.
  QMetaObject::invokeMethod(this, [this, path = *file] { (void)OfferDroppedFile(path); }, Qt::QueuedConnection);
}

bool CVantrelDlg::OfferDroppedFile(const QString& file) {
  if (closing_ || !core_.Session() || !QFileInfo(file).isFile()) return false;
  const std::filesystem::path path(file.toStdString());
  const std::string shown = QDir::toNativeSeparators(file).toStdString();
  const auto& texts = core_.Texts();
  if (QFileInfo(file).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) != 0) {
    // Anything else is offered as a profile file; the restore validates it before any write.
    FileMenu* menu = BackupMenu();
    if (menu == nullptr || menu->restoring()) return false;
    if (!messages_.AskYesNo(text::FormatWithString(texts.Text("DROP_RESTORE_PROMPT"), shown), false)) return false;
    menu->RestoreFile(path);
    return true;
  }
  if (!documentReader_) return false;
  if (!messages_.AskYesNo(text::FormatWithString(texts.Text("DROP_IMPORT_PROMPT"), shown), false)) return false;
  keys::StoreImage image;
  scripting::ProfileLightings lighting;
  std::string why;
  if (!documentReader_(path, image, lighting, why)) {
    std::string message = text::FormatWithString(texts.Text("DROP_IMPORT_FAILED"), shown);
    if (!why.empty()) message += "\n" + why;
    messages_.ShowMessage(message);
    return false;
  }
  SetProgressVisible(true);
  auto& session = *core_.Session();
  const auto& colourFiles = core_.KeyColours();
  // Keys and macros, then the lighting, as the scripting interface imports a document.
  core_.Worker().Run(
      [&session, &colourFiles, image = std::move(image), lighting, shown]() mutable {
        return scripting::InstallDocument(session, colourFiles, std::move(image), lighting, shown);
      },
      this, [this](const scripting::ScriptOutcome& outcome) {
        SetProgressVisible(false);
        // The panel shows what the keyboard and the colour files hold now, all of it or
        // the part written before a failure.
        ReloadLighting();
        if (outcome.Ok()) return;
        std::string message = core_.Texts().Text("MAIN_PROMPT_APPLY_FAILED");
        if (!outcome.message.empty()) message += "\n" + outcome.message;
        messages_.ShowMessage(message);
      });
  return true;
}

void CVantrelDlg::ShowFileMenu() {
  if (closing_) return;
  auto* menu = BackupMenu();
  if (!menu) return;
  // The menu's own items come first; automatic profiles follow them.
  QMenu* items = menu->Menu();
  QAction* automatic = items->findChild<QAction*>(QStringLiteral("autoProfiles"));
  if (!automatic) {
    items->addSeparator();
    automatic = items->addAction(QString());
    automatic->setObjectName(QStringLiteral("autoProfiles"));
    connect(automatic, &QAction::triggered, this, [this] { OpenAutoProfiles(); });
  }
  automatic->setText(Q(core_.Texts().Text("MENU_AUTO_PROFILES")));
  menu->ShowBackupMenu(QCursor::pos());
}

void CVantrelDlg::OpenAutoProfiles() {
  if (closing_ || !autoSwitch_) return;
  if (!autoProfiles_) {
    autoProfiles_ = new AutoProfilesWindow(*autoSwitch_, core_.Texts(), messages_,
                                           QDir(skinFolder()).filePath("AutoProfiles.ini"), skinFolder(), this);
  }
  autoProfiles_->Open();
}

AutoProfilesWindow* CVantrelDlg::AutoProfiles() const { return autoProfiles_; }

QString CVantrelDlg::AutoSwitchNote() const {
  if (!autoSwitch_ || !autoSwitch_->Available()) return {};
  // Only what stops switching, or a switch the keyboard refused, is worth a note.
  const auto paused = autoSwitch_->Paused();
  if (paused == profiles::PauseReason::Off || (paused == profiles::PauseReason::None && !autoSwitch_->Failing()))
    return {};
  return Q(core_.Texts().Text(autoSwitch_->StatusKey()));
}

void CVantrelDlg::BuildLightingPanel() {
  if (panel_ || !core_.Profiles() || !core_.Presence()) return;
  LightingPanelDeps deps{core_.Commands(), core_.Worker(),  *core_.Session(), core_.LightingSession(),
                         core_.Texts(),    iniPath(), skinFolder()};
  panel_ = new LightingPanel(this, *this, deps);
  BindColourFields();
  // The window's own pictures stay above the panel's controls where they overlap.
  if (progress_) progress_->raise();
  if (noDevice_) noDevice_->raise();
}

// ---- hosts of the other windows ---------------------------------------------------------

std::uint16_t CVantrelDlg::KeyCodeOfButton(int controlId) const {
  const int position = lighting::OrdinaryKeyPosition(controlId);
  return position < 0 ? 0 : keys::OrdinaryLayoutKeys()[static_cast<std::size_t>(position)].code;
}

QRect CVantrelDlg::ButtonGlobalRect(int controlId) const {
  const CPngButton* b = Button(controlId);
  if (!b) return {};
  return QRect(b->mapToGlobal(QPoint(0, 0)), b->size());
}

void CVantrelDlg::SetButtonPressed(int controlId, bool pressed) {
  if (pressed) {
    if (auto* b = Button(controlId)) b->SetSelected(true);
  } else {
    RedrawKeyFaces();  // back to its normal or assigned look
  }
}

void CVantrelDlg::KeysEdited() {
  if (auto* session = core_.Session()) session->MarkEdited();
  ShowKeysNow();
}

void CVantrelDlg::SetKeyColour(int controlId, const QColor& colour) {
  // The button paints the flat face itself: no widget or style change per preview frame.
  if (CPngButton* b = KeyButton(controlId)) b->SetFlatColour(colour);
}

void CVantrelDlg::ShowKeyCaptions() {
  for (const auto& [id, b] : keyButtons_) b->SetFlatColour(QColor());
}

void CVantrelDlg::OnProfileButton(int profile) {
  auto* session = core_.Session();
  if (!panel_ || !session || closing_) return;
  // The question comes first, on this thread; then, on the worker and in this order: the
  // new profile's lighting and colours, the edits written or dropped as answered, and the
  // switch when the keyboard runs another profile.
  const profiles::SwitchDecision decision = session->CheckSwitch(profile);
  if (!decision.proceed) return;
  const int previous = session->CurrentProfile();
  session->SetCurrentProfile(decision.profile);
  panel_->ProfileButton(decision.profile);
  auto switched = std::make_shared<bool>(false);
  PostDeviceJob([session, decision, switched] { *switched = session->SelectProfile(decision); },
                [this, session, previous, switched] {
                  if (*switched) return;
                  // The keyboard kept its profile: so does the window, and the lighting
                  // shown is that profile's again.
                  session->SetCurrentProfile(previous);
                  ShowSwitchedProfile(previous);
                  if (panel_) panel_->ProfileShown(previous);
                });
}

void CVantrelDlg::OnApply() {
  auto* session = core_.Session();
  if (!session) return;
  SetProgressVisible(true);
  applyRunning_ = true;
  auto result = std::make_shared<profiles::ApplyResult>(profiles::ApplyResult::NothingToApply);
  auto readBack = std::make_shared<device::Verification>();
  PostDeviceJob(
      [session, result, readBack] {
        *result = session->Apply();
        *readBack = session->LastReadBack();
      },
      [this, result, readBack] {
                  applyRunning_ = false;
                  UpdateApplyButton();
                  if (*result == profiles::ApplyResult::Failed) ReportApplyFailure(*readBack, [this] { OnApply(); });
                  if (*result == profiles::ApplyResult::NotRead) OfferReadAgain();
                  // The picture stays a moment so that a quick apply is still seen.
                  QTimer::singleShot(100, this, [this] {
                    if (!applyRunning_) SetProgressVisible(false);
                  });
                  emit applyFinished(*result == profiles::ApplyResult::Applied);
                });
}

void CVantrelDlg::OnRestoreDefault() {
  auto* session = core_.Session();
  if (!session || !messages_.AskYesNo(core_.Texts().Text("MAIN_PROMPT_DEFAULT"), false)) return;
  std::vector<std::size_t> indexes;
  const int layer = GLayer();
  for (std::size_t n = 0; n < keys::kGKeyCount; ++n)
    indexes.push_back(keys::GKeyPlace{n, layer}.Index());
  for (const auto& key : keys::OrdinaryLayoutKeys()) indexes.push_back(keys::KeyIndexOfCode(key.code));
  session->RestoreDefaultKeys(indexes);
  UpdateApplyButton();
  // With the lighting panel open the default colours and lighting record are written
  // first; the worker keeps that order ahead of Apply.
  if (panel_ && panel_->IsOpen()) panel_->RestoreDefault();
  OnApply();
}

void CVantrelDlg::OnSwitchView() {
  colourView_ = 1 - colourView_;
  buttons_[ids::kSwitch]->setText(
      Q(core_.Texts().Text(colourView_ ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT")));
  RedrawKeyFaces();
}

void CVantrelDlg::SetProgressVisible(bool visible) {
  if (visible) {
    progressFrame_ = 0;
    progress_->setPixmap(progressFrames_[0]);
    progress_->show();
    progress_->raise();
    if (!progressTimer_) progressTimer_ = startTimer(50);
  } else {
    progress_->hide();
    if (progressTimer_) killTimer(progressTimer_);
    progressTimer_ = 0;
  }
}

void CVantrelDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == progressTimer_) {
    progressFrame_ = (progressFrame_ + 1) % 10;
    progress_->setPixmap(progressFrames_[static_cast<std::size_t>(progressFrame_)]);
    return;
  }
  CBaseDialog::timerEvent(event);
}

void CVantrelDlg::SetNoDeviceLook(bool absent) {
  noDeviceLook_ = absent;
  for (const auto& [id, b] : keyButtons_) b->setEnabled(!absent);
  ApplyFlipEnabling();
  noDevice_->setVisible(absent);
  if (absent) noDevice_->raise();
}

// ---- showing, pages, closing ------------------------------------------------------------

void CVantrelDlg::ShowWindowRoutine() {
  if (closing_) return;
  RefreshLockLamps();
  if (core_.KeyboardPresent()) {
    SetNoDeviceLook(false);
    if (isMinimized()) showNormal();
    else show();
    raise();
    activateWindow();
  } else if (!trayAvailable_ && isVisible()) {
    // The window is the program here: it is already up and says that no keyboard is found.
    raise();
    activateWindow();
  } else {
    messages_.ShowMessage(core_.Texts().Text("MAIN_NO_DEVICE_PROMPT"));
  }
}

void CVantrelDlg::OpenAboutBox() {
  if (!about_) about_ = new CAboutBox(core_, this);
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void CVantrelDlg::ClosePages(bool keepEdits) {
  if (about_) about_->close();
  // Ended as by their Cancel buttons, in this order; none of them can stop it. When the
  // keyboard goes, the key page keeps its edits in the store instead (nothing is sent).
  if (profileManager_) profileManager_->CloseProfileManager();
  if (updateDialog_) updateDialog_->CloseUpdateDialog();
  if (keyPage_) {
    if (keepEdits) keyPage_->CloseKeepingEdits();
    else keyPage_->ClosePage();
  }
  if (isVisible()) activateWindow();
}

int CVantrelDlg::HandleInstanceMessage(std::uint32_t message, std::uint32_t param, const QByteArray& payload) {
  // The answer goes back before anything the handling shows, so the sender never waits on
  // a message box.
  if (message == MsgOpenWindow && param == kOpenWindowParam) {
    QMetaObject::invokeMethod(this, [this] { ShowWindowRoutine(); }, Qt::QueuedConnection);
  } else if (message == MsgQuit && param == kQuitParam) {
    QMetaObject::invokeMethod(this, [this] { CloseProgram(); }, Qt::QueuedConnection);
  } else if (message == MsgSimEvent && param == kSimEventParam) {
    switch (core_.Stack().SendSimEvent(payload.toStdString())) {
      case stack::SimEventResult::NotSimulating: return kSimEventNotSimulating;
      case stack::SimEventResult::Unknown: return kSimEventUnknown;
      case stack::SimEventResult::Done: break;
    }
    // A reset keyboard shows its factory key colours again, not what was sent to it.
    if (payload == "reset") core_.Worker().Post([&core = core_] { core.KeyColours().ForgetKeyboardColours(); });
    core_.PersistSimStateSoon();
  }
  return 0;
}

void CVantrelDlg::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  event->ignore();
  if (ConfirmClose()) CloseProgram();
}

void CVantrelDlg::RequestExit() {
  if (ConfirmClose()) CloseProgram();
}

void CVantrelDlg::reject() {
  if (closing_) return;
  if (trayAvailable_) {
    hide();
  } else {
    RequestExit();
  }
}

bool CVantrelDlg::ConfirmClose() {
  auto* session = core_.Session();
  if (closing_ || !session) return true;
  switch (session->CheckClose()) {
    case profiles::CloseChoice::Close: return true;
    case profiles::CloseChoice::ApplyThenClose: ApplyThenClose(); return false;
    case profiles::CloseChoice::Stay: return false;
  }
  return false;
}

void CVantrelDlg::ApplyThenClose() {
  auto* session = core_.Session();
  SetProgressVisible(true);
  auto result = std::make_shared<profiles::ApplyResult>(profiles::ApplyResult::NothingToApply);
  auto readBack = std::make_shared<device::Verification>();
  PostDeviceJob(
      [session, result, readBack] {
        *result = session->Apply();
        *readBack = session->LastReadBack();
      },
      [this, result, readBack] {
                  SetProgressVisible(false);
                  UpdateApplyButton();
                  // A failed write keeps the program open with the edits; the session has
                  // said why.
                  if (*result == profiles::ApplyResult::Applied || *result == profiles::ApplyResult::NothingToApply) {
                    CloseProgram();
                  } else if (*result == profiles::ApplyResult::Failed) {
                    ReportApplyFailure(*readBack, [this] { ApplyThenClose(); });
                  } else if (*result == profiles::ApplyResult::NotRead) {
                    OfferReadAgain();
                  }
                });
}

void CVantrelDlg::OfferReadAgain() {
  auto* session = core_.Session();
  if (closing_ || !session || !session->AskReadAgain()) return;
  SetProgressVisible(true);
  auto read = std::make_shared<bool>(false);
  PostDeviceJob([session, read] { *read = session->ReadAgain(); },
                [this, read] {
                  SetProgressVisible(false);
                  UpdateApplyButton();
                  if (!*read) messages_.ShowMessage(core_.Texts().Text("MAIN_PROMPT_NOT_READ_AGAIN"));
                });
}

void CVantrelDlg::ReportApplyFailure(const device::Verification& readBack, const std::function<void()>& writeAgain) {
  const auto& texts = core_.Texts();
  if (!readBack.Failed()) {
    messages_.ShowMessage(texts.Text("MAIN_PROMPT_APPLY_FAILED"));
    return;
  }
  // The keyboard took the writes but holds something else: the edits stay pending, the
  // user reads what differs and may write again at once. A long list is cut so that the
  // question stays on the screen.
  constexpr std::size_t kLinesShown = 12;
  std::string message = texts.Text("MAIN_PROMPT_READBACK_FAILED");
  const auto& lines = readBack.differences;
  for (std::size_t i = 0; i < lines.size() && i < kLinesShown; ++i) message += "\n" + lines[i];
  if (lines.size() > kLinesShown) message += "\n(+" + std::to_string(lines.size() - kLinesShown) + ")";
  if (messages_.AskYesNo(message, true)) writeAgain();
}

void CVantrelDlg::CloseProgram() {
  if (closing_) return;
  closing_ = true;
  core_.SetStopping();
  if (auto* session = core_.Session()) session->RemoveView(*this);
  hide();
  ClosePages();
  if (tray_) tray_->Remove();
  // Work already asked for reaches the keyboard; then nothing more runs.
  core_.Stop();
  {
    keys::EditingStore::Lock editing(core_.Editing());
    editing.Image() = keys::StoreImage{};
    keys::AppliedStore::Lock applied(core_.Applied(), editing);
    applied.Image() = keys::StoreImage{};
  }
  emit closed();
}

void CVantrelDlg::OnGenerationChanged() {
  if (closing_ || core_.Stopping() || !core_.Session()) return;
  if (foreignCheckRunning_) {
    foreignRecheck_ = true;
    return;
  }
  foreignCheckRunning_ = true;
  AppCore* core = &core_;
  core_.Worker().Run([core] { return core->ForeignChanges(); }, this,
                     [this](std::uint64_t count) { OnForeignChanges(count); });
}

void CVantrelDlg::OnForeignChanges(std::uint64_t count) {
  auto* session = core_.Session();
  if (count == viewedForeign_ || closing_ || !session) {
    FinishForeignCheck();
    return;
  }
  // Without the keyboard there is nothing to read: its arrival reads everything anyway.
  // With edits pending the user decides; No keeps the edits (and this change is not asked
  // about again).
  const bool dropEdits = session->Unsaved();
  if (!core_.KeyboardPresent()) {
    viewedForeign_ = count;
    FinishForeignCheck();
    return;
  }
  // Asked once per change; No keeps the edits, and the change is read after they were
  // applied or dropped.
  if (dropEdits && count == foreignDeclined_) {
    FinishForeignCheck();
    return;
  }
  if (!session->CheckOtherProgramChange()) {
    foreignDeclined_ = count;
    FinishForeignCheck();
    return;
  }
  AppCore* core = &core_;
  core_.Worker().Run(
      [core, session, dropEdits]() -> std::optional<std::uint64_t> {
        // The count as of the read: a change after it is looked at again.
        device::KeyboardHold hold(core->Stack().Link());
        const std::uint64_t seen = core->ForeignChanges();
        if (!session->ReloadAfterOtherProgram(dropEdits)) return std::nullopt;
        return seen;
      },
      this,
      [this, count](std::optional<std::uint64_t> seen) {
        if (!seen) {
          // Edits came in while the read waited: asked about now.
          OnForeignChanges(count);
          return;
        }
        viewedForeign_ = *seen;
        if (panel_ && !closing_) panel_->KeyboardLightingChanged();
        emit deviceWorkDone();
        FinishForeignCheck();
      });
}

void CVantrelDlg::FinishForeignCheck() {
  foreignCheckRunning_ = false;
  if (std::exchange(foreignRecheck_, false)) OnGenerationChanged();
}

bool CVantrelDlg::PostDeviceJob(std::function<void()> job, std::function<void()> done) {
  if (closing_) return false;
  core_.Worker().Run(
      std::move(job),
      this,
      [this, done = std::move(done)] {
        if (done) done();
        emit deviceWorkDone();
      });
  return true;
}

}  // namespace vantrel::ui
