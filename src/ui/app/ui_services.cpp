#include "ui/app/ui_services.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace vantrel::ui {

namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::optional<QString> RunFileDialog(QWidget* parent, const FileChoice& choice, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, choice.title, choice.folder, choice.filter);
  // Qt's own dialog everywhere: it takes the program's dark look, the desktop's would not,
  // and it looks the same whichever window opened it.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!choice.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(choice.defaultSuffix);
  if (!choice.fileName.isEmpty()) dialog.selectFile(choice.fileName);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(files.front());
}

}  // namespace

QString FileFilterEntry(const text::TextSource& texts, std::string_view nameKey, const QString& pattern) {
  return FromUtf8(texts.Text(nameKey)) + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

QString ProfileFileFilter(const text::TextSource& texts) {
  return FileFilterEntry(texts, "PROFILE_FILE_FILTER", QStringLiteral("*.vnp")) + QStringLiteral(";;") +
         FileFilterEntry(texts, "ALL_FILES_FILTER", QStringLiteral("*"));
}

bool RaiseIfShown(QWidget& window) {
  if (!window.isVisible()) return false;
  window.raise();
  window.activateWindow();
  return true;
}

void QtMessageSink::ShowMessage(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), FromUtf8(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtMessageSink::AskYesNo(std::string_view text, bool defaultYes) {
  QMessageBox box(QMessageBox::Question, QString(), FromUtf8(text), QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

text::Answer QtMessageSink::AskYesNoCancel(std::string_view text, text::Answer defaultAnswer) {
  QMessageBox box(QMessageBox::Question, QString(), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
  box.setDefaultButton(defaultAnswer == text::Answer::Yes  ? QMessageBox::Yes
                       : defaultAnswer == text::Answer::No ? QMessageBox::No
                                                           : QMessageBox::Cancel);
  // Escape and the window's close button mean Cancel: neither may stand for a No that
  // drops the user's work.
  box.setEscapeButton(QMessageBox::Cancel);
  if (texts_) box.button(QMessageBox::Cancel)->setText(FromUtf8(texts_->Text("PROFILE_CANCLE")));
  switch (box.exec()) {
    case QMessageBox::Yes: return text::Answer::Yes;
    case QMessageBox::No: return text::Answer::No;
    default: return text::Answer::Cancel;
  }
}

std::optional<QString> QtFileChooser::ChooseOpen(QWidget* parent, const FileChoice& choice) {
  return RunFileDialog(parent, choice, QFileDialog::AcceptOpen);
}

std::optional<QString> QtFileChooser::ChooseSave(QWidget* parent, const FileChoice& choice) {
  return RunFileDialog(parent, choice, QFileDialog::AcceptSave);
}

}  // namespace vantrel::ui
