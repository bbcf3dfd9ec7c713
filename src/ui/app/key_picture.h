// The keyboard picture as data: what each key button shows (caption, tooltip, assigned,
// selected, flat colour, enabled) and which view the picture is in. The main controller
// fills it from the editing session, the lighting panel paints colours into it, and one
// view (the key buttons of the main window) draws it. No widgets here.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "core/keys/keyboard_layout.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::ui {

// What a key shows from the editing store: its tooltip (what the key does), whether it is
// assigned something other than its default, and whether it is selected for colouring.
struct KeyLook {
  QString tooltip;
  bool assigned = false;
  bool selected = false;
  bool operator==(const KeyLook&) const = default;
};
using KeyLooks = std::map<int, KeyLook>;  // by control id

// The looks of every key button of `profile` (G keys of the G-key layer `layer`). A G key
// the keyboard has no entry for (the second layer without it in `factory`) never looks
// assigned. Pure: safe on any thread while the caller holds the store's lock.
KeyLooks ReadKeyLooks(const keys::StoreImage& image, int profile, int layer, const text::TextSource& texts,
                      std::span<const std::uint8_t> factory);

// The key indexes restore default puts back: the nine G keys of `layer`, then every
// ordinary key of the picture.
std::vector<std::size_t> DefaultKeyIndexes(int layer);

class KeyPicture final : public QObject {
  Q_OBJECT

 public:
  // What changed about a key, so that the view redraws only that.
  enum Aspect : unsigned {
    kTooltip = 1u << 0,
    kFace = 1u << 1,  // assigned, selected, pressed or the view: the face picture and pressed look
    kColour = 1u << 2,
    kCaption = 1u << 3,
    kEnabled = 1u << 4,
  };
  struct Key {
    QString caption;
    KeyLook look;
    bool pressed = false;  // held down while its key page is open
    QColor colour;         // invalid: the caption face shows
    bool enabled = false;
  };

  // Every key of the layout: 108 ordinary keys, G1..G9 and Fn.
  explicit KeyPicture(QObject* parent = nullptr);

  const Key* Find(int controlId) const;
  const std::map<int, Key>& Keys() const { return keys_; }
  bool ColourView() const { return colourView_; }

  // The face the view draws: the colour-view faces say selected or not; the function view
  // shows an assigned or pressed key pressed.
  bool ShowsPressed(int controlId) const;

  // The looks read from the store; a key not named gets the empty look. Pressed keys are
  // released.
  void SetLooks(const KeyLooks& looks);
  // Draws every face again from the looks (a key page's press released).
  void Redraw();
  void SetPressed(int controlId);
  // Draws every face again when the view changes; otherwise releases pressed keys only.
  void SetColourView(bool on);
  void SetColour(int controlId, const QColor& colour);
  // Every key drops its colour and shows its caption face again.
  void ClearColours();
  void SetCaption(int controlId, const QString& caption);
  // Keys are usable only with the keyboard there; of F1..F4 only while "Flip" is off.
  void SetAvailability(bool keyboardPresent, bool flip);

 signals:
  void keyChanged(int controlId, unsigned aspects);
  // After Redraw and SetColourView: the whole picture was drawn again.
  void redrawn();

 private:
  void Notify(int controlId, unsigned aspects);

  std::map<int, Key> keys_;
  bool colourView_ = false;
  bool present_ = false;
  bool flip_ = false;
};

}  // namespace vantrel::ui
