#include "ui/windows/about_box.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/skin/skin_placement.h"
#include "ui/app/app_core.h"

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "1.0.0"
#endif

namespace vantrel::ui {

QString ProgramVersion() { return QStringLiteral(VANTREL_VERSION); }

CAboutBox::CAboutBox(AppCore& core, QWidget* parent) : QDialog(parent), core_(core) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  const QPixmap picture = OptionalPicture(QDir(core.SkinFolder()).filePath("vantrel.png"));
  // 48 logical pixels, at the picture's own density.
  QPixmap small = picture.scaled(QSize(48, 48) * picture.devicePixelRatio(), Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation);
  small.setDevicePixelRatio(picture.devicePixelRatio());
  icon->setPixmap(small);
  top->addWidget(icon, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  introduction_ = new QLabel(this);
  introduction_->setWordWrap(true);
  version_ = new QLabel(this);
  copyright_ = new QLabel(this);
  copyright_->setWordWrap(true);
  texts->addWidget(introduction_);
  texts->addWidget(version_);
  texts->addWidget(copyright_);
  top->addLayout(texts, 1);
  layout->addLayout(top);
  ok_ = new QPushButton(this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::close);
  layout->addWidget(ok_, 0, Qt::AlignRight);
  setMinimumWidth(380);
  Retranslate();
}

void CAboutBox::Retranslate() {
  const auto& t = core_.Texts();
  setWindowTitle(QString::fromStdString(t.Text("LANG_ABOUT_TITLE")));
  introduction_->setText(QString::fromStdString(t.Text("GUANYU_JIESHAO")));
  copyright_->setText(QString::fromStdString(t.Text("GUANYU_BANQUAN")));
  version_->setText(QStringLiteral("Vantrel ") + ProgramVersion());
  ok_->setText(QString::fromStdString(t.Text("LANG_ABOUT_OK")));
}

QString CAboutBox::Introduction() const { return introduction_->text(); }
QString CAboutBox::Copyright() const { return copyright_->text(); }
QString CAboutBox::Version() const { return version_->text(); }

}  // namespace vantrel::ui
