// The one view of the key picture: draws each key button of the main window from the
// model (tooltip, face, flat colour, caption, enabled), and only what changed.
#pragma once

#include <QObject>
#include <QPixmap>

#include <array>
#include <map>

#include "ui/app/key_picture.h"
#include "ui/skin/png_button.h"

namespace vantrel::ui {

class KeyPictureView final : public QObject {
  Q_OBJECT

 public:
  // Faces: normal, over, down, disable (function view), then the colour view's unselected
  // and selected face. The buttons are the window's children and outlive this view.
  struct Faces {
    QPixmap normal, over, down, disabled, colour0, colour1;
  };
  KeyPictureView(const KeyPicture& picture, std::map<int, CPngButton*> buttons, Faces faces, QObject* parent = nullptr);

 private:
  void Draw(int controlId, unsigned aspects);

  const KeyPicture& picture_;
  std::map<int, CPngButton*> buttons_;
  Faces faces_;
};

}  // namespace vantrel::ui
