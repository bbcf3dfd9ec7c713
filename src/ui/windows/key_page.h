// The key page: the one editor through which the user changes what a key does. Opened
// modally by the main window for a clicked key button, it has four tabs (single key,
// macro, multimedia, device function) and a clear button; OK or Apply store one key
// assignment record for the key in the current profile of the editing store and save the
// macro list. Nothing is sent to the keyboard from here.
#pragma once

#include <QPointer>
#include <QRect>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/keys/keyboard_layout.h"
#include "core/keys/stores.h"
#include "core/text/profile_strings.h"
#include "core/text/text_source.h"
#include "ui/skin/base_dialog.h"
#include "ui/windows/control_ids.h"

class QComboBox;
class QLineEdit;
class QListWidget;

namespace vantrel::ui {

class CPngButton;
class ColorStatic;
class KeyChooser;
class KeyEventFilter;
class MacroEditor;

// What the page needs from the main window. Every call comes on the UI thread.
class KeyPageHost {
 public:
  virtual ~KeyPageHost() = default;
  // The key code of one of the 108 key buttons of the keyboard picture; 0 for any other id.
  virtual std::uint16_t KeyCodeOfButton(int controlId) const = 0;
  // The button's rectangle in global (screen) coordinates; empty when unknown.
  virtual QRect ButtonGlobalRect(int controlId) const = 0;
  // Bit 0 of the current G-key layer byte: 1 while the second layer is active.
  virtual int GKeyLayer() const = 0;
  // The key button of control id in the current G-key layer, on the keyboard as its
  // factory key table describes it (keys::ResolveKeyButton).
  virtual std::optional<keys::KeyButton> ResolveButton(int controlId) const {
    return keys::ResolveKeyButton(controlId, GKeyLayer());
  }
  // The current profile 0..2, or -1 while it is not known.
  virtual int CurrentProfile() const = 0;
  // Shows the button pressed while its page is open; false gives it back its normal (or
  // assigned) look.
  virtual void SetButtonPressed(int controlId, bool pressed) = 0;
  // Records were stored in the editing store: rebuild the tooltips of all keys (see
  // keys::KeyTooltip) and enable the main window's Apply.
  virtual void KeysEdited() = 0;
  // The page's OK or Apply as one edit of the editing session, one step of the main
  // window's Undo: `edit` runs under the store's lock and returns the step's name. False
  // when the host keeps no session: the page then changes the store itself.
  virtual bool EditKeys(int profile, const std::function<std::string(keys::StoreImage&)>& edit) {
    (void)profile;
    (void)edit;
    return false;
  }
};

// Top-left corner of the page next to a button: right of and below its bottom-right
// corner if it fits there, else above it on the right, else on the left below or above;
// if nothing fits, at the bottom-right corner.
QPoint KeyPagePosition(const QRect& button, const QSize& page, const QRect& screen);

class Vantrel_DlgComposite : public CBaseDialog {
  Q_OBJECT
 public:
  Vantrel_DlgComposite(keys::EditingStore& editing, const text::TextSource& texts, text::MessageSink& sink,
                       text::ProfileStrings& profileStrings, KeyPageHost& host, const QString& skinFolder,
                       QWidget* parent);
  ~Vantrel_DlgComposite() override;

  // The main window's entry point for a click on a key button (G keys, "FUNC_MACRO", the
  // 108 picture keys): runs the page modally. Returns -1 for any other id (nothing
  // happens), else the dialog's result.
  int Open(int controlId);
  // Prepares the page for the button and shows it without waiting (Open does this and then
  // runs the modal loop). False for an id that is not a key.
  bool Begin(int controlId);
  // Closes the page as Cancel does, if it is open (the keyboard went away, the program ends).
  void ClosePage();
  // Closes the page keeping what it holds: changed choices and recorded macro steps are
  // stored as its Apply would store them (nothing is sent to the keyboard). Used when the
  // keyboard goes away, so a long recording is not lost to a loose cable.
  void CloseKeepingEdits();
  // The language changed: texts and tooltips again.
  void OnLanguageChanged(int languageIndex);
  int openCount() const { return openCount_; }

  // State, for the main window and tests.
  std::uint16_t keyIndex() const { return keyIndex_; }
  int kind() const { return kind_; }
  std::uint16_t capturedKey() const { return captured_; }
  bool macroOnly() const { return macroOnly_; }
  bool changed() const { return changed_; }
  bool capturing() const;
  // The single-key tab waits for a key (see armed_).
  bool armed() const { return armed_; }
  MacroEditor& macroEditor() const { return *editor_; }
  KeyChooser* keyChooser() const { return chooser_; }
  CPngButton* button(int id) const;
  ColorStatic* title() const { return title_; }
  QLineEdit* capturedKeyField() const { return keyField_; }
  QComboBox* mouseFunctions() const { return mouseList_; }
  QListWidget* mediaList() const { return mediaList_; }
  QListWidget* functionList() const { return functionList_; }
  bool keyboardChosen() const { return keyboardChosen_; }

  // The button actions, as the buttons run them. ApplyPage is false when the page closed
  // while it ran (it stored nothing then).
  bool ApplyPage();
  void ClearPage();
  void SwitchTab(int kind);
  void ChooseKeyboard(bool keyboard);
  // A key chosen on the key chooser: captured as if pressed (recorded while recording).
  void ChooseKey(std::uint16_t code);

 protected:
  void OnInitDialog() override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;
  void done(int result) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void SetUpTabOrder();
  void ApplyTexts();
  void ShowTab(int kind, bool initial);
  void UpdateCapture();
  void SetArmed(bool armed);
  void ShowKeyboardChoice(bool keyboard);
  bool OnCaptureKey(std::uint16_t code, bool release, bool autoRepeat);
  void Capture(std::uint16_t code);
  void MarkChanged();
  void Place();
  void Finish();

  keys::EditingStore& editing_;
  const text::TextSource& texts_;
  text::MessageSink& sink_;
  text::ProfileStrings& profileStrings_;
  KeyPageHost& host_;

  std::uint16_t keyIndex_ = 0;
  std::uint16_t keyCode_ = 0;  // the picture key's code; 0 for a G key
  int gKeyNumber_ = 0;         // 1..9 for a G key, else 0
  bool keyOnKeyboard_ = true;  // the keyboard keeps an entry for keyIndex_
  int buttonId_ = 0;
  bool macroOnly_ = false;
  int kind_ = 0;
  std::uint16_t captured_ = 0;
  std::int32_t initialCode_ = 0;
  int initialAux_ = 1;
  bool changed_ = false;
  bool keyboardChosen_ = true;
  bool open_ = false;
  int openCount_ = 0;

  MacroEditor* editor_ = nullptr;
  KeyEventFilter* captureFilter_ = nullptr;
  KeyChooser* chooser_ = nullptr;
  std::vector<std::pair<int, CPngButton*>> buttons_;
  ColorStatic* title_ = nullptr;
  ColorStatic* singleCaption_ = nullptr;
  ColorStatic* mediaCaption_ = nullptr;
  ColorStatic* functionCaption_ = nullptr;
  ColorStatic* kbCaption_ = nullptr;
  ColorStatic* mouCaption_ = nullptr;
  QLineEdit* keyField_ = nullptr;
  QComboBox* mouseList_ = nullptr;
  QListWidget* mediaList_ = nullptr;
  QListWidget* functionList_ = nullptr;
  bool grabbing_ = false;
  // The single-key tab waits for a key: every key pressed is taken, Tab and Escape too.
  // Set whenever the tab is shown; taking Tab or Escape clears it, so that the same key
  // pressed again moves the focus on or closes the page and a keyboard alone can leave
  // the tab. Enter or Space on the key field, or a click on it, sets it again.
  bool armed_ = false;
};

}  // namespace vantrel::ui
