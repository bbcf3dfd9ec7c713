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
#include <QMenu>
#include <QMetaObject>
#include <QTimerEvent>
#include <QUrl>

#include <optional>
#include <utility>

#include "core/keys/key_codes.h"
#include "core/keys/key_sheet.h"
#include "core/keys/keyboard_layout.h"
#include "core/lighting/key_buttons.h"
#include "core/text/safe_format.h"
#include "platform/profile_strings_qt.h"
#include "platform/program_launcher.h"
#include "ui/windows/about_box.h"
#include "ui/windows/auto_profiles.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/windows/file_menu.h"
#include "ui/windows/history_window.h"
#include "ui/windows/profile_manager.h"
#include "ui/windows/tray.h"
#include "ui/windows/undo_actions.h"
#include "ui/windows/update_dialog.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CVantrelDlg::CVantrelDlg(AppCore& core, text::MessageSink& messages, FileChooser& files, QWidget* parent)
    : CBaseDialog(102, parent, QDir(core.SkinFolder()).filePath("Main.ini"), core.SkinFolder()),
      core_(core),
      messages_(messages),
      files_(files),
      controller_(std::make_unique<MainController>(core, messages, *this)) {
  setAcceptDrops(true);
  lockSource_ = [] { return platform::ReadHostLockKeys(); };
  urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  connect(&lockTimer_, &QTimer::timeout, this, [this] {
    // No lamp is seen while the window is minimised: no polling then either.
    if (isVisible() && !isMinimized()) RefreshLockLamps();
  });
}

CVantrelDlg::~CVantrelDlg() {
  // The Automatic profiles window uses the automatic-switch controller until it is gone;
  // then the main controller stops it and the device work.
  delete autoProfiles_.data();
  // The History window's jobs use the session and the worker the controller stops.
  delete history_.data();
  controller_.reset();
}

int CVantrelDlg::CurrentProfile() const { return controller_->CurrentProfile(); }

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

void CVantrelDlg::Start(CTrayIcon* tray) {
  tray_ = tray;
  controller_->Start();
  undo_ = new UndoActions(*this, *controller_, core_.Texts());
  BuildLightingPanel();
  connect(controller_.get(), &MainController::autoSwitchStatusChanged, this, [this] {
    if (tray_) tray_->UpdateToolTip();
  });
  QMetaObject::invokeMethod(this, [this] { OnInitTray(); }, Qt::QueuedConnection);
}

void CVantrelDlg::OnInitTray() {
  trayAvailable_ = tray_ && tray_->Create();
  if (tray_) connect(tray_, &CTrayIcon::becameAvailable, this, [this] { trayAvailable_ = true; });
  controller_->MarkReady();
  if (trayAvailable_) {
    hide();
  } else {
    // Without a tray the window is the program: shown at start, minimised with "/Start".
    SetNoDeviceLook(!core_.KeyboardPresent());
    if (core_.Options().startInTray) showMinimized();
    else show();
  }
}

// ---- what the controller shows ------------------------------------------------------------

void CVantrelDlg::KeyboardBack() {
  // Called for an arrival only: the keyboard is there, though the presence logic may not
  // have counted it yet (the window's look follows when its configuration is read).
  if (!hiddenByUnplug_) return;
  hiddenByUnplug_ = false;
  if (isVisible()) return;
  show();
  raise();
  activateWindow();
}

void CVantrelDlg::KeyboardGone() {
  // An open key page keeps what it recorded: it closes as its Apply would store the
  // edits, without writing them to the keyboard.
  ClosePages(/*keepEdits=*/true);
  if (trayAvailable_) {
    if (isVisible() && !isMinimized()) hiddenByUnplug_ = true;
    hide();
  }
  SetNoDeviceLook(true);
}

void CVantrelDlg::ShowGKeyLayer(int layer) {
  const auto captions = device::GKeyCaptions(layer);
  for (std::size_t i = 0; i < captions.size(); ++i)
    controller_->Picture().SetCaption(keys::GLayoutKeys()[i].controlId, Q(captions[i]));
  buttons_[ids::kLockAb]->SetToggled(layer != 0);
}

void CVantrelDlg::LightingChanged() {
  if (panel_) panel_->KeyboardLightingChanged();
}

void CVantrelDlg::ShowTrayIcon(int icon) {
  if (tray_) tray_->SetIcon(icon);
}

void CVantrelDlg::ShowApplyPending(bool pending) { buttons_[ids::kApply]->setEnabled(pending); }

void CVantrelDlg::ShowProfileSwitched(int profile, bool kept) {
  ShowSwitchedProfile(profile);
  // The lighting panel and the profile manager follow every switch, whichever window
  // asked for it; a refused switch shows the lighting of the profile kept.
  if (panel_) panel_->ProfileShown(profile);
  if (profileManager_ && !kept) profileManager_->CheckProfileRow(profile);
}

void CVantrelDlg::ShowConfigurationRead(int profile) {
  if (profile >= 0 && profile <= 2) {
    for (int p = 0; p < 3; ++p) buttons_[ids::kProfile1 + p]->SetSelected(p == profile);
  }
  SetNoDeviceLook(false);
  buttons_[ids::kLockAb]->SetToggled(GLayer() != 0);
  // The lighting and the per-key colours follow on the worker, in this order.
  if (panel_) panel_->DeviceConnected();
}

void CVantrelDlg::ShowSwitchedProfile(int profile) {
  for (int p = 0; p < 3; ++p) buttons_[ids::kProfile1 + p]->SetSelected(p == profile);
  buttons_[ids::kSwitch]->setText(Q(core_.Texts().Text("MAIN_SWITCH_FUNCTION_TEXT")));
  controller_->Picture().SetColourView(false);
  ShowApplyPending(controller_->ApplyPending());
}

void CVantrelDlg::ShowProfileName(const QString& name) {
  profileName_ = name;
  buttons_[ids::kProfiles]->SetTooltipText(Q(core_.Texts().Text("PROFILE_TIP")) + profileName_);
  emit profileMenuChanged();
}

void CVantrelDlg::BuildProfileMenu(QMenu& menu) {
  menu.clear();
  const int active = controller_->ActiveProfile();
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
  controller_->SwitchFromMenu(command - (ids::kProfileMenuFirst + 1));
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
    case ids::kApply: controller_->Apply(); return;
    case ids::kDefault: controller_->RestoreDefault(); return;
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
      controller_->ToggleFlip();
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
  if (!ColourView()) {
    controller_->Picture().SetPressed(controlId);
    OpenKeyPage(controlId);
    return;
  }
  controller_->ToggleSelected(static_cast<std::size_t>(keyIndex));
}

void CVantrelDlg::OpenKeyPage(int controlId) {
  if (Closing() || !core_.Session()) return;
  if (!keyPage_) {
    keyPage_ = new Vantrel_DlgComposite(core_.Editing(), core_.Texts(), messages_, core_.ProfileStrings(), *this,
                                        skinFolder(), this);
    connect(keyPage_, &QDialog::finished, this, [this] { controller_->EditorClosed(); });
  }
  controller_->EditorOpened();
  const bool opened = keyPageModal_ ? keyPage_->Open(controlId) >= 0 : keyPage_->Begin(controlId);
  if (keyPageModal_ || !opened) controller_->EditorClosed();
}

void CVantrelDlg::OpenProfileManager() {
  if (Closing() || !core_.Profiles()) return;
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
  if (Closing()) return;
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
  QMetaObject::invokeMethod(
      this, [this, path = *file] { (void)controller_->OfferDroppedFile(path); }, Qt::QueuedConnection);
}

bool CVantrelDlg::RestoreProfileFile(const std::filesystem::path& path, const std::function<bool()>& ask) {
  FileMenu* menu = BackupMenu();
  if (menu == nullptr || menu->restoring() || !ask()) return false;
  menu->RestoreFile(path);
  return true;
}

void CVantrelDlg::ShowFileMenu() {
  if (Closing()) return;
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
  QAction* history = items->findChild<QAction*>(QStringLiteral("history"));
  if (!history) {
    history = items->addAction(QString());
    history->setObjectName(QStringLiteral("history"));
    connect(history, &QAction::triggered, this, [this] { OpenHistory(); });
  }
  history->setText(Q(core_.Texts().Text("MENU_HISTORY")));
  if (undo_) {
    undo_->AddTo(*items);
    undo_->Refresh();
  }
  menu->ShowBackupMenu(QCursor::pos());
}

void CVantrelDlg::OpenHistory() {
  if (Closing() || !core_.Session() || !core_.History()) return;
  if (!history_) {
    HistoryWindowDeps deps{core_.Worker(), *core_.Session(), *core_.History(), core_.KeyColours(), core_.Texts(),
                           messages_};
    history_ = new HistoryWindow(deps, QDir(skinFolder()).filePath("History.ini"), skinFolder(), this);
  }
  history_->Open();
}

HistoryWindow* CVantrelDlg::History() const { return history_; }

void CVantrelDlg::OpenAutoProfiles() {
  if (Closing() || !AutoSwitch()) return;
  if (!autoProfiles_) {
    autoProfiles_ = new AutoProfilesWindow(*AutoSwitch(), core_.Texts(), messages_,
                                           QDir(skinFolder()).filePath("AutoProfiles.ini"), skinFolder(), this);
  }
  autoProfiles_->Open();
}

AutoProfilesWindow* CVantrelDlg::AutoProfiles() const { return autoProfiles_; }

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
  if (!pressed) {
    controller_->Picture().Redraw();  // back to its normal or assigned look
  } else if (KeyButton(controlId)) {
    controller_->Picture().SetPressed(controlId);
  } else if (auto* b = Button(controlId)) {
    b->SetSelected(true);
  }
}

void CVantrelDlg::KeysEdited() {
  controller_->MarkEdited();
}

bool CVantrelDlg::EditKeys(int profile, const std::function<std::string(keys::StoreImage&)>& edit) {
  auto* session = core_.Session();
  if (!session) return false;
  session->EditStore(profile, profiles::kMacroEditorParts, edit);
  return true;
}

void CVantrelDlg::SetKeyColour(int controlId, const QColor& colour) {
  controller_->Picture().SetColour(controlId, colour);
}

void CVantrelDlg::ShowKeyCaptions() { controller_->Picture().ClearColours(); }

void CVantrelDlg::RedrawKeyFaces() { controller_->Picture().Redraw(); }

void CVantrelDlg::OnProfileButton(int profile) {
  if (panel_) controller_->SwitchFromButton(profile);
}

void CVantrelDlg::LoadProfileLighting(int profile) {
  if (panel_) panel_->ProfileButton(profile);
}

void CVantrelDlg::RestoreDefaultLighting() {
  if (panel_) panel_->RestoreDefault();
}

void CVantrelDlg::OnSwitchView() {
  const bool colour = !controller_->Picture().ColourView();
  buttons_[ids::kSwitch]->setText(
      Q(core_.Texts().Text(colour ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT")));
  controller_->Picture().SetColourView(colour);
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
  ApplyFlipEnabling();
  noDevice_->setVisible(absent);
  if (absent) noDevice_->raise();
}

// ---- showing, pages, closing ------------------------------------------------------------

void CVantrelDlg::ShowWindowRoutine() {
  if (Closing()) return;
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

void CVantrelDlg::closeEvent(QCloseEvent* event) {
  if (Closing()) {
    event->accept();
    return;
  }
  event->ignore();
  RequestExit();
}

void CVantrelDlg::RequestExit() {
  if (controller_->ConfirmClose()) CloseProgram();
}

void CVantrelDlg::reject() {
  if (Closing()) return;
  if (trayAvailable_) {
    hide();
  } else {
    RequestExit();
  }
}

void CVantrelDlg::CloseProgram() { controller_->CloseProgram(); }

void CVantrelDlg::EndWindows() {
  hide();
  ClosePages();
  if (tray_) tray_->Remove();
}

}  // namespace vantrel::ui
