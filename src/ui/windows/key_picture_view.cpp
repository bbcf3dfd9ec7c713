#include "ui/windows/key_picture_view.h"

namespace vantrel::ui {

KeyPictureView::KeyPictureView(const KeyPicture& picture, std::map<int, CPngButton*> buttons, Faces faces,
                               QObject* parent)
    : QObject(parent), picture_(picture), buttons_(std::move(buttons)), faces_(std::move(faces)) {
  connect(&picture_, &KeyPicture::keyChanged, this, &KeyPictureView::Draw);
  for (const auto& [id, b] : buttons_) {
    (void)b;
    Draw(id, KeyPicture::kTooltip | KeyPicture::kFace | KeyPicture::kColour | KeyPicture::kCaption |
                 KeyPicture::kEnabled);
  }
}

void KeyPictureView::Draw(int controlId, unsigned aspects) {
  auto it = buttons_.find(controlId);
  const KeyPicture::Key* key = picture_.Find(controlId);
  if (it == buttons_.end() || key == nullptr) return;
  CPngButton* b = it->second;
  if (aspects & KeyPicture::kEnabled) b->setEnabled(key->enabled);
  // A preview frame recolours a hundred keys: the button repaints only its flat face.
  if (aspects & KeyPicture::kColour) b->SetFlatColour(key->colour);
  if (aspects & KeyPicture::kCaption) b->setText(key->caption);
  if (aspects & KeyPicture::kTooltip) b->SetTooltipText(key->look.tooltip);
  if (aspects & KeyPicture::kFace) {
    if (picture_.ColourView()) {
      const QPixmap& face = key->look.selected ? faces_.colour1 : faces_.colour0;
      b->SetStatePictures(face, face, face, faces_.disabled, face);
    } else {
      b->SetStatePictures(faces_.normal, faces_.over, faces_.down, faces_.disabled, faces_.down);
    }
    b->SetSelected(picture_.ShowsPressed(controlId));
    b->update();
  }
}

}  // namespace vantrel::ui
