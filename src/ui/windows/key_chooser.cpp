#include "ui/windows/key_chooser.h"

#include <QGridLayout>
#include <QLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/keys/key_codes.h"

namespace vantrel::ui {
namespace {

// Keys of the assignable-key list that a keyboard sends (list ids 0..108 with a key), then
// the keys outside the list that some keyboards have.
std::vector<std::uint16_t> OfferedKeys() {
  std::vector<std::uint16_t> codes;
  for (std::uint16_t id = 0; id < keys::kAssignableKeyCount; ++id) {
    const std::uint16_t code = keys::CodeOfListId(id);
    if (code == 0 || code >= keys::kCodeWheelUp) continue;
    codes.push_back(code);
  }
  for (std::uint16_t code : {0x056, 0x064, 0x070, 0x071, 0x072, 0x073, 0x079, 0x07B, 0x07D, 0x07E})
    codes.push_back(code);
  return codes;
}

// Keys without a text of their own show their plain label rather than a number.
QString KeyLabel(std::uint16_t code, const text::TextSource& texts) {
  const auto& entry = keys::KeyEntryOfCode(code);
  return entry.languageKey.empty() ? QString::fromUtf8(entry.label.data(), static_cast<qsizetype>(entry.label.size()))
                                   : QString::fromStdString(keys::KeyDisplayName(code, texts));
}

}  // namespace

KeyChooser::KeyChooser(const text::TextSource& texts, QWidget* parent)
    : QFrame(parent, Qt::Popup), texts_(texts), codes_(OfferedKeys()) {
  setObjectName("KeyChooser");
  setStyleSheet(
      "#KeyChooser { background: #14171D; border: 1px solid #2E3540; }"
      "QPushButton { background: #1E232B; color: #E7EAF0; border: 1px solid #2E3540; border-radius: 4px;"
      " padding: 3px 4px; font-family: 'DejaVu Sans'; font-size: 10px; min-width: 40px; }"
      "QPushButton:hover { border-color: #2EC5FF; }"
      "QPushButton:pressed { background: #168FD0; }");
  auto* grid = new QGridLayout(this);
  grid->setSpacing(4);
  grid->setContentsMargins(8, 8, 8, 8);
  constexpr int kColumns = 10;
  int i = 0;
  for (std::uint16_t code : codes_) {
    auto* b = new QPushButton(this);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, code] {
      hide();
      emit keyChosen(code);
    });
    grid->addWidget(b, i / kColumns, i % kColumns);
    buttons_.push_back(b);
    ++i;
  }
  ApplyTexts();
}

void KeyChooser::ApplyTexts() {
  for (std::size_t i = 0; i < codes_.size(); ++i) {
    QPushButton* b = buttons_[i];
    const QString name = KeyLabel(codes_[i], texts_);
    b->setText(name);
    b->setToolTip(name);
    b->ensurePolished();  // the style sheet's font, for the width below
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(name) + 16);
  }
  if (isVisible()) {
    layout()->invalidate();
    adjustSize();
  }
}

QPushButton* KeyChooser::buttonFor(std::uint16_t code) const {
  for (std::size_t i = 0; i < codes_.size(); ++i)
    if (codes_[i] == code) return buttons_[i];
  return nullptr;
}

void KeyChooser::ShowNear(const QRect& anchor) {
  // The style sheet's font decides the buttons' sizes: apply it before measuring.
  ensurePolished();
  for (QPushButton* b : buttons_) b->ensurePolished();
  layout()->invalidate();
  adjustSize();
  QPoint at(anchor.left(), anchor.bottom() + 4);
  if (QScreen* screen = QGuiApplication::screenAt(anchor.center())) {
    const QRect area = screen->availableGeometry();
    if (at.y() + height() > area.bottom()) at.setY(anchor.top() - height() - 4);
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
    at.setY(std::max(at.y(), area.top()));
  }
  move(at);
  show();
}

}  // namespace vantrel::ui
