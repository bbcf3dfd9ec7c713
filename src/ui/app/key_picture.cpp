#include "ui/app/key_picture.h"

#include "core/keys/key_codes.h"
#include "core/keys/key_tooltip.h"
#include "ui/windows/control_ids.h"

namespace vantrel::ui {

KeyLooks ReadKeyLooks(const keys::StoreImage& image, int profile, int layer, const text::TextSource& texts,
                      std::span<const std::uint8_t> factory) {
  KeyLooks looks;
  const auto slot = static_cast<std::size_t>(profile);
  for (const auto& key : keys::OrdinaryLayoutKeys()) {
    const auto record = image.table.Record(slot, keys::KeyIndexOfCode(key.code));
    const auto tip = keys::KeyTooltip(key.code, 0, record, image, texts);
    looks[key.controlId] = {QString::fromStdString(tip.text), tip.assigned, record.selected != 0};
  }
  int n = 0;
  for (const auto& key : keys::GLayoutKeys()) {
    const auto record = image.table.Record(slot, keys::GKeyPlace{static_cast<std::size_t>(n), layer}.Index());
    const auto tip = keys::KeyTooltip(0, n + 1, record, image, texts);
    const auto button = keys::ResolveKeyButton(key.controlId, layer, factory);
    const bool kept = button && button->onKeyboard;
    looks[key.controlId] = {QString::fromStdString(tip.text), tip.assigned && kept, record.selected != 0};
    ++n;
  }
  looks[keys::FnLayoutKey().controlId] = {QStringLiteral("Fn"), false, false};
  return looks;
}

std::vector<std::size_t> DefaultKeyIndexes(int layer) {
  std::vector<std::size_t> indexes;
  for (std::size_t n = 0; n < keys::kGKeyCount; ++n) indexes.push_back(keys::GKeyPlace{n, layer}.Index());
  for (const auto& key : keys::OrdinaryLayoutKeys()) indexes.push_back(keys::KeyIndexOfCode(key.code));
  return indexes;
}

KeyPicture::KeyPicture(QObject* parent) : QObject(parent) {
  for (const auto& key : keys::OrdinaryLayoutKeys()) keys_[key.controlId];
  for (const auto& key : keys::GLayoutKeys()) keys_[key.controlId];
  keys_[keys::FnLayoutKey().controlId];
}

const KeyPicture::Key* KeyPicture::Find(int controlId) const {
  auto it = keys_.find(controlId);
  return it == keys_.end() ? nullptr : &it->second;
}

bool KeyPicture::ShowsPressed(int controlId) const {
  const Key* key = Find(controlId);
  if (!key || colourView_) return false;
  return key->pressed || key->look.assigned;
}

void KeyPicture::Notify(int controlId, unsigned aspects) {
  if (aspects != 0) emit keyChanged(controlId, aspects);
}

void KeyPicture::SetLooks(const KeyLooks& looks) {
  // Only the keys whose look changes are drawn again: switching between profiles that
  // share most assignments repaints a few keys, not the whole keyboard.
  for (auto& [id, key] : keys_) {
    auto it = looks.find(id);
    const KeyLook look = it == looks.end() ? KeyLook{} : it->second;
    const bool changed = key.pressed || !(key.look == look);
    key.look = look;
    key.pressed = false;
    if (changed) Notify(id, kTooltip | kFace);
  }
  emit redrawn();
}

void KeyPicture::Redraw() {
  for (auto& [id, key] : keys_) {
    key.pressed = false;
    Notify(id, kTooltip | kFace);
  }
  emit redrawn();
}

void KeyPicture::SetPressed(int controlId) {
  auto it = keys_.find(controlId);
  if (it == keys_.end()) return;
  it->second.pressed = true;
  Notify(controlId, kFace);
}

void KeyPicture::SetColourView(bool on) {
  if (on != colourView_) {
    colourView_ = on;
    Redraw();
    return;
  }
  // The view stays: only keys held pressed change (they are released).
  for (auto& [id, key] : keys_) {
    if (!key.pressed) continue;
    key.pressed = false;
    Notify(id, kFace);
  }
  emit redrawn();
}

void KeyPicture::SetColour(int controlId, const QColor& colour) {
  auto it = keys_.find(controlId);
  if (it == keys_.end() || it->second.colour == colour) return;
  it->second.colour = colour;
  Notify(controlId, kColour);
}

void KeyPicture::ClearColours() {
  for (auto& [id, key] : keys_) {
    if (!key.colour.isValid()) continue;
    key.colour = QColor();
    Notify(id, kColour);
  }
}

void KeyPicture::SetCaption(int controlId, const QString& caption) {
  auto it = keys_.find(controlId);
  if (it == keys_.end() || it->second.caption == caption) return;
  it->second.caption = caption;
  Notify(controlId, kCaption);
}

void KeyPicture::SetAvailability(bool keyboardPresent, bool flip) {
  present_ = keyboardPresent;
  flip_ = flip;
  for (auto& [id, key] : keys_) {
    const bool flipped = id >= ids::kFlipOffFirst && id <= ids::kFlipOffLast && flip_;
    const bool enabled = present_ && !flipped;
    if (key.enabled == enabled) continue;
    key.enabled = enabled;
    Notify(id, kEnabled);
  }
}

}  // namespace vantrel::ui
