#include "ui/windows/update_dialog.h"

#include <QComboBox>
#include <QDir>

#include <array>
#include <initializer_list>
#include <map>
#include <vector>

#include "platform/updater_file.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/app/device_worker.h"
#include "ui/app/ui_services.h"

namespace vantrel::ui {
namespace {

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

QString ToQString(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// Keeps the messages of a job run on the worker so that the UI thread shows them after.
class RecordingSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view, bool defaultYes) override { return defaultYes; }
  std::vector<std::string> messages;
};

// A few texts looked up once, for a job on the worker.
class TakenTexts final : public text::TextSource {
 public:
  TakenTexts(const text::TextSource& from, std::initializer_list<std::string_view> keys) {
    for (const auto key : keys) texts_.emplace(std::string(key), from.Text(key));
  }
  std::string Text(std::string_view key) const override {
    const auto it = texts_.find(key);
    return it == texts_.end() ? std::string("#Error") : it->second;
  }
  std::string LightText(std::string_view) const override { return "#Error"; }
  std::string ModeText(std::string_view) const override { return "#Error"; }

 private:
  std::map<std::string, std::string, std::less<>> texts_;
};

struct UpdateOutcome {
  bool started = false;
  std::string pathAfter;
  std::vector<std::string> messages;
};

}  // namespace

CVantrel_DlgUpdate::CVantrel_DlgUpdate(const Services& services, const QString& iniPath, const QString& skinFolder,
                                       QWidget* parent)
    : CBaseDialog(kUpdateDialogResource, parent, iniPath, skinFolder), s_(services) {
  setModal(true);
  setStyleSheet(SkinStyleSheet());
}

CVantrel_DlgUpdate::~CVantrel_DlgUpdate() = default;

CPngButton* CVantrel_DlgUpdate::button(int controlId) const {
  for (CPngButton* b : {open_, update_, cancelUpdate_, backup_})
    if (b && b->controlId() == controlId) return b;
  return nullptr;
}

void CVantrel_DlgUpdate::OnInitDialog() {
  label_ = new ColorStatic(this, kIdUpdatePath);
  label_->setObjectName(QStringLiteral("CONTROL_UPStatic"));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  label_->setFont(font);
  label_->SetTextColor(QColor(0xC4, 0xCA, 0xD4));
  label_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  label_->setTextFormat(Qt::PlainText);

  auto* combo = new QComboBox(this);
  combo->setObjectName(QStringLiteral("CONTROL_UPCombox"));
  combo->hide();  // created hidden and never used
  combo_ = combo;

  struct Def {
    CPngButton** slot;
    int id;
    const char* name;
  };
  const Def defs[] = {
      {&open_, kIdUpdateOpen, "CONTROL_OPENButton"},
      {&update_, kIdUpdateStart, "CONTROL_UPButton"},
      {&cancelUpdate_, kIdUpdateCancel, "CONTROL_CUPButton"},
      {&backup_, kIdUpdateBackup, "CONTROL_BACKUPButton"},
  };
  for (const Def& d : defs) {
    auto* b = new CPngButton(this, d.id);
    b->setObjectName(QString::fromLatin1(d.name));
    b->SetTextAttributes(9, QStringLiteral("DejaVu Sans"), kCaptionColours);
    *d.slot = b;
  }
  Retranslate();
  connect(open_, &QAbstractButton::clicked, this, [this] { ChooseUpdater(); });
  connect(update_, &QAbstractButton::clicked, this, [this] { StartUpdate(); });
  connect(cancelUpdate_, &QAbstractButton::clicked, this, [this] { CancelUpdate(); });
  connect(backup_, &QAbstractButton::clicked, this, [this] { BackupFromDialog(); });
  // The path shown names the updater the buttons work on.
  label_->setAccessibleName(open_->text());
  SetTabChain({open_, update_, cancelUpdate_, backup_});
}

QString CVantrel_DlgUpdate::Text(std::string_view key) const { return QString::fromStdString(s_.texts.Text(key)); }

void CVantrel_DlgUpdate::Retranslate() {
  if (!open_) return;  // not initialised yet: the captions are set when it is
  open_->setText(Text("UPDATE_OPEN"));
  update_->setText(Text("UPDATE_START"));
  cancelUpdate_->setText(Text("UPDATE_CANCEL"));
  backup_->setText(Text("UPDATE_BACKUP"));
}

void CVantrel_DlgUpdate::PlaceControls() {
  // Normal face from one picture, every other state from the other; both loaded once.
  const QPixmap normal = RequiredSkinPicture(skinFolder(), QStringLiteral("update_normal.jpg"));
  const QPixmap over = RequiredSkinPicture(skinFolder(), QStringLiteral("update_over.jpg"));
  for (CPngButton* b : {open_, update_, cancelUpdate_, backup_})
    PlaceSkinnedButton(*b, iniPath(), QStringLiteral("BUTTONINFO"), b->objectName(), normal, over, over, over, over);
  PlaceControl(*label_, iniPath(), QStringLiteral("BUTTONINFO"), label_->objectName());
  PlaceControl(*combo_, iniPath(), QStringLiteral("BUTTONINFO"), combo_->objectName());
}

void CVantrel_DlgUpdate::Open() {
  if (RaiseIfShown(*this)) return;
  InitDialog();
  PlaceControls();
  ShowPath(QString());
  SetBusy(false);
  open();
}

void CVantrel_DlgUpdate::SetBusy(bool busy) {
  busy_ = busy;
  for (CPngButton* b : {open_, update_, cancelUpdate_, backup_})
    if (b) b->setEnabled(!busy && b->pos() != QPoint(1, 1));  // a missing skin key keeps it disabled
}

void CVantrel_DlgUpdate::ShowMessage(std::string_view text) { s_.sink.ShowMessage(text); }

void CVantrel_DlgUpdate::ChooseUpdater() {
  FileChoice choice;
  choice.folder = ToQString(s_.packageFolder);
  choice.fileName = QString::fromLatin1(platform::UpdaterInitialName());
  choice.filter = FileFilterEntry(s_.texts, "UPDATE_FILE_FILTER", QString::fromLatin1(platform::UpdaterFilePattern()));
  choice.defaultSuffix = QString::fromLatin1(platform::UpdaterDefaultSuffix());
  const auto chosen = s_.files.ChooseOpen(this, choice);
  s_.updaterPath = chosen ? chosen->toStdString() : std::string();
  // The updater is started without a working folder of its own: it inherits this one.
  if (QDir(choice.folder).exists()) QDir::setCurrent(choice.folder);
  ShowPath(QString::fromStdString(s_.updaterPath));
  repaint();
}

void CVantrel_DlgUpdate::ShowPath(const QString& path) {
  // A long path is shortened in the middle so that the program's own name stays in view;
  // the whole path is the tooltip.
  label_->setText(label_->fontMetrics().elidedText(path, Qt::ElideMiddle, label_->contentsRect().width()));
  label_->setToolTip(path);
}

void CVantrel_DlgUpdate::StartUpdate() {
  if (busy_) return;
  // Checked before the boot request so that a file that cannot be started never leaves
  // the keyboard in boot mode (the worker checks again, as the file may change).
  if (const std::string refusal = profiles::UpdaterRefusal(s_.updaterPath, s_.launcher, s_.texts); !refusal.empty()) {
    ShowMessage(refusal);
    return;
  }
  SetBusy(true);
  auto& commands = s_.commands;
  auto& launcher = s_.launcher;
  // The texts are looked up here, on the UI thread: the worker gets them ready made.
  const TakenTexts texts(s_.texts, {profiles::kUpdateFileMissing, profiles::kUpdateNoBootMode,
                                    profiles::kUpdateCannotRun, profiles::kUpdateStillInBootMode});
  s_.worker.Run(
      [path = s_.updaterPath, &commands, &launcher, texts]() mutable {
        UpdateOutcome outcome;
        RecordingSink sink;
        outcome.started = profiles::StartUpdate(path, commands, launcher, texts, sink);
        outcome.pathAfter = std::move(path);
        outcome.messages = std::move(sink.messages);
        return outcome;
      },
      this, [this](UpdateOutcome outcome) {
        SetBusy(false);
        s_.updaterPath = outcome.pathAfter;
        for (const auto& m : outcome.messages) ShowMessage(m);
        if (outcome.started) CancelUpdate();
      });
}

void CVantrel_DlgUpdate::CloseUpdateDialog() {
  if (isVisible()) reject();
}

void CVantrel_DlgUpdate::CancelUpdate() {
  s_.updaterPath.clear();
  done(QDialog::Rejected);
}

void CVantrel_DlgUpdate::BackupFromDialog() {
  if (busy_) return;
  FileChoice choice;
  choice.fileName = QStringLiteral("*.vnp");
  choice.filter = ProfileFileFilter(s_.texts);
  choice.defaultSuffix = QStringLiteral("vnp");
  const auto chosen = s_.files.ChooseSave(this, choice);
  if (!chosen) return;
  SetBusy(true);
  auto& profiles = s_.profiles;
  // On the worker, after any device work already asked for, so the file holds what the
  // keyboard was last given.
  s_.worker.Run([&profiles, path = std::filesystem::path(chosen->toStdString())] { return profiles.BackupToFile(path); },
                this, [this](bool ok) {
                  SetBusy(false);
                  ShowMessage(s_.texts.Text(ok ? profiles::kBackupSucceeded : profiles::kBackupFailed));
                });
}

}  // namespace vantrel::ui
