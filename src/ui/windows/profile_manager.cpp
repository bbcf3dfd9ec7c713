#include "ui/windows/profile_manager.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSettings>
#include <QThread>

#include <array>

#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"
#include "platform/settings_store_qt.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/app/device_worker.h"
#include "core/profiles/edit_session.h"
#include "ui/windows/profile_windows_host.h"
#include "ui/app/ui_services.h"

namespace vantrel::ui {
namespace {

constexpr const char* kSection = "PROFILES";
// The file a row stands for, kept apart from the name it shows.
constexpr int kFileNameRole = Qt::UserRole + 1;
constexpr int kOnBoardRows = 3;

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString ToQString(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

}  // namespace

// The settings file is opened only while it is absent or a regular file (a FIFO would
// block the program): otherwise nothing is written.
QtProfileListSettings::QtProfileListSettings()
    : settings_(platform::OpenNativeSettings(QStringLiteral("Vantrel_Morvane"), QStringLiteral("Vantrel"))) {}

QtProfileListSettings::QtProfileListSettings(const QString& iniFile) : settings_(platform::OpenIniSettings(iniFile)) {}

QtProfileListSettings::~QtProfileListSettings() = default;

bool QtProfileListSettings::WriteValue(std::string_view key, const QString& value) {
  if (!settings_ || !platform::SettingsFileUsable(settings_->fileName())) return false;
  settings_->setValue(QString::fromLatin1(kSection) + '/' +
                          QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())),
                      value);
  return platform::SyncSettings(*settings_);
}

QString ProfileSettingsKey(int number) { return QStringLiteral("PROFILE%1").arg(number, 2, 10, QLatin1Char('0')); }

QString ProfileRowName(const QString& path) { return QFileInfo(path).completeBaseName(); }

std::string OnBoardProfileKey(int slot) { return "PROFILE_" + std::to_string(slot + 1); }

QString ProfileRowFolder(const QString& path) {
  QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  return folder;
}

CVantrel_DlgProfile::CVantrel_DlgProfile(const Services& services, const QString& iniPath,
                                         const QString& skinFolder, QWidget* parent)
    : CBaseDialog(kProfileDialogResource, parent, iniPath, skinFolder), s_(services) {
  setModal(true);
  setStyleSheet(SkinStyleSheet() +
                // Grid lines between the cells.
                QStringLiteral("QTreeWidget::item { border-right: 1px solid #2E3540; border-bottom: 1px solid "
                               "#2E3540; }"));
}

CVantrel_DlgProfile::~CVantrel_DlgProfile() = default;

QString CVantrel_DlgProfile::Text(std::string_view key) const { return FromUtf8(s_.texts.Text(key)); }

CPngButton* CVantrel_DlgProfile::button(int controlId) const {
  for (CPngButton* b : {ok_, cancel_, add_, load_, delete_, apply_})
    if (b && b->controlId() == controlId) return b;
  return nullptr;
}

void CVantrel_DlgProfile::OnInitDialog() {
  list_ = new CReportCtrl(this, kIdProfileList);
  list_->setObjectName(QStringLiteral("PROGRAM_LIST"));
  list_->InsertColumn(0, QString(), Qt::AlignLeft, 60);
  list_->InsertColumn(1, QString(), Qt::AlignLeft, 120);
  list_->InsertColumn(2, QString(), Qt::AlignLeft, 230);
  list_->SetCheckboxStyle(kCheckSingle);
  list_->SetCheckHandler([this](int, bool) {
    if (quiet_) return;
    SetUnsaved(true);
  });

  struct Def {
    CPngButton** slot;
    int id;
    const char* name;
  };
  const Def defs[] = {
      {&ok_, kIdProfileOk, "CONTROL_OK"},       {&cancel_, kIdProfileCancel, "CONTROL_CANCEL"},
      {&add_, kIdProfileAdd, "FUNC_ADD"},       {&load_, kIdProfileLoad, "FUNC_LOAD"},
      {&delete_, kIdProfileDelete, "FUNC_DELETE"}, {&apply_, kIdProfileApply, "CONTROL2_APPLY"},
  };
  for (const Def& d : defs) {
    auto* b = new CPngButton(this, d.id);
    b->setObjectName(QString::fromLatin1(d.name));
    b->SetTextAttributes(9, QStringLiteral("DejaVu Sans"), kCaptionColours);
    *d.slot = b;
  }
  Retranslate();
  connect(ok_, &QAbstractButton::clicked, this, [this] { OnOK(); });
  connect(cancel_, &QAbstractButton::clicked, this, [this] { OnCancel(); });
  connect(add_, &QAbstractButton::clicked, this, [this] { AddProfileFile(); });
  connect(load_, &QAbstractButton::clicked, this, [this] { LoadProfileRow(); });
  connect(delete_, &QAbstractButton::clicked, this, [this] { DeleteProfileRow(); });
  connect(apply_, &QAbstractButton::clicked, this, [this] { ApplyProfiles(); });
  SetTabChain({list_, load_, add_, delete_, apply_, ok_, cancel_});
}

void CVantrel_DlgProfile::Retranslate() {
  if (!list_) return;  // not initialised yet: the texts are set when it is
  auto* header = list_->headerItem();
  header->setText(0, Text("PROFILE_COLUMN_ACTIVE"));
  header->setText(1, Text("PROFILE_COLUMN_NAME"));
  header->setText(2, Text("PROFILE_COLUMN_PATH"));
  ok_->setText(Text("PROFILE_OK"));
  cancel_->setText(Text("PROFILE_CANCLE"));
  add_->setText(Text("PROFILE_ADD"));
  load_->setText(Text("PROFILE_LOAD"));
  delete_->setText(Text("PROFILE_DELETE"));
  apply_->setText(Text("PROFILE_APPLY"));
  // The list is named as the main window's button that opens this dialog.
  list_->setAccessibleName(Text("MENU_3"));
  const bool quiet = quiet_;
  quiet_ = true;  // renaming rows is no edit of the list
  for (int row = 0; row < list_->GetItemCount(); ++row) {
    const int onBoard = list_->topLevelItem(row)->data(0, kFileNameRole).toInt();  // 1 to 3, else 0
    if (onBoard > 0) list_->SetItemText(row, 1, Text(OnBoardProfileKey(onBoard - 1)));
  }
  quiet_ = quiet;
}

QString CVantrel_DlgProfile::RowFileName(int row) const {
  QTreeWidgetItem* item = list_ ? list_->topLevelItem(row) : nullptr;
  if (!item) return {};
  const QVariant file = item->data(1, kFileNameRole);
  return file.isValid() ? file.toString() : item->text(1);
}

void CVantrel_DlgProfile::PlaceControls() {
  // The four faces are loaded once per process. A disabled button is drawn dim, as in the
  // main window: in the pressed picture it looked like the default button.
  const QString folder = skinFolder();
  const QPixmap normal = RequiredSkinPicture(folder, QStringLiteral("Profile_normal.jpg"));
  const QPixmap over = RequiredSkinPicture(folder, QStringLiteral("Profile_over.jpg"));
  const QPixmap down = RequiredSkinPicture(folder, QStringLiteral("Profile_down.jpg"));
  const QPixmap disabled = RequiredSkinPicture(folder, QStringLiteral("Profile_disable.jpg"));
  for (CPngButton* b : {ok_, cancel_, add_, load_, delete_, apply_})
    PlaceSkinnedButton(*b, iniPath(), QStringLiteral("BUTTONINFO"), b->objectName(), normal, over, down, disabled, down);
  PlaceControl(*list_, iniPath(), QStringLiteral("BUTTONINFO"), QStringLiteral("PROGRAM_LIST"));
}

void CVantrel_DlgProfile::Open() {
  if (openCount_ > 0) {  // already open: brought to the front only
    raise();
    activateWindow();
    return;
  }
  InitDialog();
  ++generation_;
  ++openCount_;
  s_.host.Session().EditorOpened(profiles::Editor::ProfileManager);
  applying_ = false;
  PlaceControls();
  FillProfileList(true);
  open();
}

void CVantrel_DlgProfile::SetUnsaved(bool unsaved) {
  unsaved_ = unsaved;
  s_.host.Session().SetManagerUnsaved(unsaved);
  if (apply_) apply_->setEnabled(unsaved);
}

void CVantrel_DlgProfile::CheckRowQuietly(int row) {
  quiet_ = true;
  list_->SetItemState(row, kRowChecked, kRowChecked);
  quiet_ = false;
}

void CVantrel_DlgProfile::FillProfileList(bool clear) {
  if (clear) list_->DeleteAllItems();
  const QString working = ToQString(profiles::WorkingFilePath(s_.profiles.Paths()));
  // The on-board profiles by the names the main window gives them; each row still stands
  // for the working file, which holds all three.
  for (int slot = 0; slot < kOnBoardRows; ++slot) {
    const int row = list_->InsertItem(slot, QString());
    QTreeWidgetItem* item = list_->topLevelItem(row);
    item->setData(0, kFileNameRole, slot + 1);
    item->setData(1, kFileNameRole, ProfileRowName(working));
    list_->SetItemText(row, 1, Text(OnBoardProfileKey(slot)));
    list_->SetItemText(row, 2, ProfileRowFolder(working));
    item->setToolTip(1, QDir::toNativeSeparators(working));
  }
  SetUnsaved(false);
  // The active profile may need a read of the keyboard's state: it is asked on the
  // worker and its row checked when the answer comes, unless the user has changed the
  // list in the meantime or the dialog was closed.
  const int generation = generation_;
  auto& profiles = s_.profiles;
  s_.worker.Run([&profiles] { return profiles.ActiveProfile(); }, this, [this, generation](int active) {
    if (generation != generation_ || openCount_ == 0 || unsaved_) return;
    if (active >= 0 && active < list_->GetItemCount()) CheckRowQuietly(active);
  });
}

void CVantrel_DlgProfile::AppendRow(const QString& path) {
  const int row = list_->InsertItem(list_->GetItemCount(), QString());
  list_->SetItemText(row, 1, ProfileRowName(path));
  list_->SetItemText(row, 2, ProfileRowFolder(path));
  SetUnsaved(true);
}

void CVantrel_DlgProfile::AddProfileFile() {
  const auto& paths = s_.profiles.Paths();
  profiles::EnsureWorkingFolder(paths);
  FileChoice choice;
  // The language text follows the folder without a separator; it brings its own.
  choice.fileName = QDir::toNativeSeparators(ToQString(paths.userFolder) + Text("PROFILE_NEW"));
  choice.filter = ProfileFileFilter(s_.texts);
  choice.defaultSuffix = QStringLiteral("vnp");
  const auto chosen = s_.files.ChooseSave(this, choice);
  if (!chosen) return;
  // The row is listed even when the file cannot be written.
  (void)profiles::CreateDefaultProfile(std::filesystem::path(chosen->toStdString()));
  AppendRow(*chosen);
}

void CVantrel_DlgProfile::LoadProfileRow() {
  const auto& paths = s_.profiles.Paths();
  profiles::EnsureWorkingFolder(paths);
  FileChoice choice;
  choice.folder = ToQString(paths.userFolder);
  choice.fileName = QStringLiteral("*.vnp");
  choice.filter = ProfileFileFilter(s_.texts);
  choice.defaultSuffix = QStringLiteral("vnp");
  const auto chosen = s_.files.ChooseOpen(this, choice);
  if (!chosen) return;
  // Listed only: the file is neither read nor checked here.
  AppendRow(*chosen);
}

void CVantrel_DlgProfile::DeleteProfileRow() {
  const int row = list_->GetNextItem(-1, kRowSelected);
  if (row < 0) return;
  list_->DeleteItem(row, true);
  SetUnsaved(true);
}

bool CVantrel_DlgProfile::ApplyProfiles() {
  const int rows = list_->GetItemCount();
  const int checked = list_->GetNextItem(-1, kRowChecked);
  // Edits pending in the main window are answered for first, as a switch does: Yes applies
  // them, No drops them, Cancel leaves everything as it is with the dialog open.
  auto& session = s_.host.Session();
  const profiles::SwitchDecision decision = session.CheckManagerApply(checked);
  if (!decision.proceed) return false;
  for (int n = 0; n < rows; ++n) {
    const QString path = list_->GetItemText(n, 2) + RowFileName(n) + QStringLiteral(".vnp");
    s_.settings.WriteValue(ProfileSettingsKey(n + 1).toStdString(), path);
  }
  s_.settings.WriteValue(ProfileSettingsKey(0).toStdString(), QString::number(rows));

  SetUnsaved(false);
  applying_ = true;
  s_.host.ShowProgress(true);
  // The keyboard is switched (a row beyond the third means profile 0; nothing when no row
  // is checked) and read again into the working file and the editing store.
  s_.worker.Run([&session, decision] { return session.FinishManagerApply(decision); }, this, [this](bool) {
    applying_ = false;
    s_.host.ShowProgress(false);
    s_.host.RebuildProfileMenu();
  });
  return true;
}

void CVantrel_DlgProfile::CheckProfileRow(int row) {
  if (openCount_ == 0 || !list_) return;
  if (row >= 0 && row < list_->GetItemCount()) CheckRowQuietly(row);
  SetUnsaved(false);
}

void CVantrel_DlgProfile::CloseDialog(int result) {
  if (openCount_ > 0) {
    --openCount_;
    s_.host.Session().EditorClosed(profiles::Editor::ProfileManager);
  }
  ++generation_;
  SetUnsaved(false);
  done(result);
}

void CVantrel_DlgProfile::OnOK() {
  if (!ApplyProfiles()) return;
  CloseDialog(QDialog::Accepted);
}

void CVantrel_DlgProfile::OnCancel() { CloseDialog(QDialog::Rejected); }

void CVantrel_DlgProfile::reject() { OnCancel(); }

void CVantrel_DlgProfile::CloseProfileManager() {
  if (openCount_ > 0 || isVisible()) OnCancel();
}

}  // namespace vantrel::ui
