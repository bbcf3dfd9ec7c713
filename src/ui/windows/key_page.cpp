#include "ui/windows/key_page.h"

#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTimer>

#include "core/device/commands.h"
#include "core/keys/key_codes.h"
#include "core/keys/key_page_rules.h"
#include "core/keys/keyboard_layout.h"
#include "core/profiles/undo_history.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/key_chooser.h"
#include "ui/app/key_event_filter.h"
#include "ui/windows/macro_editor.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Shown when a key of the second G-key layer is to be assigned: the keyboard's key table
// has entries for the first layer's G keys only.
constexpr std::string_view kTextGKeyNotKept = "KEY_GKEY_LAYER2_NOT_KEPT";

// The two keys that move the focus on and close the page; see Vantrel_DlgComposite::armed_.
constexpr std::uint16_t kCodeEscape = 0x001;
constexpr std::uint16_t kCodeTab = 0x00F;

bool IsSingleKeyTab(int kind) {
  return kind != keys::kKindMacro && kind != keys::kKindMedia && kind != keys::kKindFunction;
}

}  // namespace

QPoint KeyPagePosition(const QRect& button, const QSize& page, const QRect& screen) {
  const int right = button.x() + button.width();
  const int bottom = button.y() + button.height();
  const bool fitsRight = right + page.width() <= screen.x() + screen.width();
  const bool fitsLeft = button.x() - page.width() >= screen.x();
  const bool fitsBelow = bottom + page.height() <= screen.y() + screen.height();
  const bool fitsAbove = button.y() - page.height() >= screen.y();
  if (fitsRight && fitsBelow) return {right, bottom};
  if (fitsRight && fitsAbove) return {right, button.y() - page.height()};
  if (fitsLeft && fitsBelow) return {button.x() - page.width(), bottom};
  if (fitsLeft && fitsAbove) return {button.x() - page.width(), button.y() - page.height()};
  return {right, bottom};
}

Vantrel_DlgComposite::Vantrel_DlgComposite(keys::EditingStore& editing, const text::TextSource& texts,
                                           text::MessageSink& sink, text::ProfileStrings& profileStrings,
                                           KeyPageHost& host, const QString& skinFolder, QWidget* parent)
    : CBaseDialog(kKeyPageResource, parent, QDir(skinFolder).filePath("Composite.ini"), skinFolder),
      editing_(editing), texts_(texts), sink_(sink), profileStrings_(profileStrings), host_(host) {
  setStyleSheet(SkinStyleSheet() +
                "QListWidget { background: #0E1116; color: #E7EAF0; border: 1px solid #2E3540; border-radius: 5px;"
                " font-family: 'DejaVu Sans'; font-size: 12px; outline: 0; padding: 2px; }"
                "QListWidget::item { height: 22px; }"
                "QListWidget::item:selected { background: #1A4E6B; color: #FFFFFF; }"
                "QListWidget:disabled, QLineEdit:disabled { color: #5A616C; }");
  // Modal for the main window only: the tray menu (Exit, language) stays usable while
  // the page is open.
  setWindowModality(Qt::WindowModal);
  captureFilter_ = new KeyEventFilter(this);
  captureFilter_->SetKeyHandler([this](const KeyEventFilter::KeyInput& in) {
    // With the mouse chosen no key is taken, and Tab and Escape keep their usual work.
    if (!keyboardChosen_ && (in.code == kCodeTab || in.code == kCodeEscape)) return false;
    const bool taken = OnCaptureKey(in.code, in.release, in.autoRepeat);
    // Tab or Escape taken: pressed again, it moves the focus on or closes the page.
    if (taken && !in.release && captured_ == in.code && (in.code == kCodeTab || in.code == kCodeEscape))
      SetArmed(false);
    return taken;
  });
  InitDialog();
}

Vantrel_DlgComposite::~Vantrel_DlgComposite() { captureFilter_->Remove(); }

void Vantrel_DlgComposite::OnInitDialog() { BuildControls(); }

CPngButton* Vantrel_DlgComposite::button(int id) const {
  for (const auto& [i, b] : buttons_)
    if (i == id) return b;
  return nullptr;
}

// ---- Opening ----

int Vantrel_DlgComposite::Open(int controlId) {
  if (!Begin(controlId)) return -1;
  return exec();
}

bool Vantrel_DlgComposite::Begin(int controlId) {
  std::uint16_t index = 0;
  std::uint16_t code = 0;
  int gKeyNumber = 0;
  bool macroOnly = false;
  bool onKeyboard = true;
  const auto resolved = host_.ResolveButton(controlId == kIdMacroButton ? keys::kGKeyMacroButton : controlId);
  if (resolved && resolved->gKey) {
    index = resolved->index;
    gKeyNumber = static_cast<int>(resolved->gKey->n) + 1;
    macroOnly = resolved->macroButton;
    onKeyboard = resolved->onKeyboard;
  } else {
    code = host_.KeyCodeOfButton(controlId);
    if (code == 0) return false;
    index = keys::KeyIndexOfCode(code);
  }
  // A key the keyboard keeps no entry for would look reassigned but never reach the
  // keyboard. Only G9's page still opens there, for its macro editor. The button the
  // window showed pressed for the click gets its own look back.
  if (!onKeyboard && !macroOnly) {
    sink_.ShowMessage(texts_.Text(kTextGKeyNotKept));
    host_.SetButtonPressed(controlId, false);
    return false;
  }
  keyOnKeyboard_ = onKeyboard;
  keyIndex_ = index;
  keyCode_ = code;
  gKeyNumber_ = gKeyNumber;
  buttonId_ = controlId;
  macroOnly_ = macroOnly;
  open_ = true;
  ++openCount_;
  host_.SetButtonPressed(controlId, true);

  // 1. Lists, cycles.
  mediaList_->clear();
  for (const auto& media : keys::MediaKeyTable()) mediaList_->addItem(Q(keys::KeyDisplayName(media.code, texts_)));
  functionList_->clear();
  for (int i = 0; i < keys::kFunctionKeyCount; ++i) functionList_->addItem(Q(texts_.Text(keys::FunctionKeyLanguageKey(i))));
  mouseList_->clear();
  for (const auto& f : keys::MouseFunctionList()) mouseList_->addItem(Q(texts_.Text(f.languageKey)));
  mediaList_->setCurrentRow(0);
  functionList_->setCurrentRow(0);
  mouseList_->setCurrentIndex(0);
  editor_->cyclesEdit()->setText("1");

  // 2, 3. The record, the macro list.
  keys::KeyAssignment record;
  {
    keys::EditingStore::Lock lock(editing_);
    const int profile = host_.CurrentProfile();
    if (profile >= 0) record = lock->table.Record(static_cast<std::size_t>(profile), index);
    editor_->Load(lock.Image(), record.kind == keys::kKindMacro ? static_cast<std::uint16_t>(record.code) : 0);
  }
  kind_ = macroOnly_ ? static_cast<int>(keys::kKindMacro) : static_cast<int>(record.kind);
  initialCode_ = record.code;
  initialAux_ = record.aux >= 1 && record.aux <= 255 ? record.aux : (record.aux > 255 ? 255 : 1);
  for (int id : {kIdTabSingle, kIdTabMedia, kIdTabFunction, kIdClear}) button(id)->setEnabled(!macroOnly_);
  button(kIdTabMacro)->setEnabled(true);
  singleCaption_->setVisible(!macroOnly_);
  mediaCaption_->setVisible(!macroOnly_);
  functionCaption_->setVisible(!macroOnly_);

  // 4. The tab of the kind.
  ShowTab(kind_, true);
  if (kind_ == keys::kKindMacro && record.kind == keys::kKindMacro)
    editor_->cyclesEdit()->setText(QString::number(initialAux_));
  changed_ = false;
  button(kIdApply)->setEnabled(false);

  // 5, 6.
  ApplyTexts();
  Place();
  show();
  raise();
  activateWindow();
  UpdateCapture();
  return true;
}

void Vantrel_DlgComposite::Place() {
  const bool wayland = QGuiApplication::platformName().startsWith("wayland");
  if (wayland) return;  // the compositor places a dialog parented to the main window
  QScreen* screen = nullptr;
  const QRect buttonRect = host_.ButtonGlobalRect(buttonId_);
  if (!buttonRect.isEmpty()) screen = QGuiApplication::screenAt(buttonRect.center());
  if (!screen && parentWidget()) screen = parentWidget()->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  if (macroOnly_ || buttonRect.isEmpty()) {
    move(area.center() - QPoint(width() / 2, height() / 2));
    return;
  }
  move(KeyPagePosition(buttonRect, size(), area));
}

// ---- Tabs ----

void Vantrel_DlgComposite::ShowTab(int kind, bool initial) {
  const bool single = IsSingleKeyTab(kind);
  // The macro tab keeps recording; the editor selected the record's macro when it loaded.
  if (kind != keys::kKindMacro) editor_->StopRecordingIfActive();
  if (single && initial) {
    captured_ = kind == keys::kKindKey ? static_cast<std::uint16_t>(initialCode_) : 0;
    int mouse = -1;
    for (std::size_t i = 0; i < keys::MouseFunctionList().size(); ++i)
      if (kind == keys::kKindKey && keys::MouseFunctionList()[i].code == captured_) mouse = static_cast<int>(i);
    if (mouse >= 0) {
      mouseList_->setCurrentIndex(mouse);
      keyboardChosen_ = false;
      captured_ = 0;
      keyField_->clear();
    } else {
      keyboardChosen_ = true;
      keyField_->setText(captured_ != 0 ? Q(keys::KeyDisplayName(captured_, texts_)) : QString());
    }
  }
  if (initial && kind == keys::kKindMedia && initialCode_ >= 0 && initialCode_ < mediaList_->count())
    mediaList_->setCurrentRow(initialCode_);
  if (initial && kind == keys::kKindFunction && initialCode_ >= 0 && initialCode_ < functionList_->count())
    functionList_->setCurrentRow(initialCode_);

  if (single) armed_ = true;
  editor_->SetVisible(kind == keys::kKindMacro);
  for (QWidget* w : std::initializer_list<QWidget*>{button(kIdKb), button(kIdMou), kbCaption_, mouCaption_,
                                                      keyField_, mouseList_})
    w->setVisible(single);
  singleCaption_->setVisible(single && !macroOnly_);
  mediaList_->setVisible(kind == keys::kKindMedia);
  mediaCaption_->setVisible(kind == keys::kKindMedia && !macroOnly_);
  functionList_->setVisible(kind == keys::kKindFunction);
  functionCaption_->setVisible(kind == keys::kKindFunction && !macroOnly_);
  ShowKeyboardChoice(keyboardChosen_);

  button(kIdTabSingle)->SetSelected(single);
  button(kIdTabMacro)->SetSelected(kind == keys::kKindMacro);
  button(kIdTabMedia)->SetSelected(kind == keys::kKindMedia);
  button(kIdTabFunction)->SetSelected(kind == keys::kKindFunction);
  UpdateCapture();
}

void Vantrel_DlgComposite::SwitchTab(int kind) {
  if (kind == kind_) return;
  if (kind == keys::kKindKey && IsSingleKeyTab(kind_) && kind_ == keys::kKindFactory) return;
  if (macroOnly_ && kind != keys::kKindMacro) return;
  kind_ = kind;
  ShowTab(kind, false);
  MarkChanged();
}

void Vantrel_DlgComposite::ChooseKeyboard(bool keyboard) {
  if (!IsSingleKeyTab(kind_)) return;
  kind_ = keys::kKindKey;
  if (keyboard) armed_ = true;
  ShowKeyboardChoice(keyboard);
  MarkChanged();
}

void Vantrel_DlgComposite::ShowKeyboardChoice(bool keyboard) {
  keyboardChosen_ = keyboard;
  button(kIdKb)->SetToggled(keyboard);
  button(kIdMou)->SetToggled(!keyboard);
  keyField_->setEnabled(keyboard);
  mouseList_->setEnabled(!keyboard);
  UpdateCapture();
}

void Vantrel_DlgComposite::ClearPage() {
  if (macroOnly_) return;
  if (!IsSingleKeyTab(kind_)) {
    kind_ = keys::kKindKey;
    ShowTab(kind_, false);
  }
  keyField_->clear();
  captured_ = 0;
  kind_ = keys::kKindFactory;
  armed_ = true;
  ShowKeyboardChoice(true);
  MarkChanged();
}

// ---- Capturing ----

bool Vantrel_DlgComposite::capturing() const { return captureFilter_->installed(); }

void Vantrel_DlgComposite::SetArmed(bool armed) {
  if (armed == armed_) return;
  armed_ = armed;
  // Waiting no more: the focus is on the field, where Enter or Space waits again and from
  // where Tab moves on.
  if (!armed && keyField_->isVisible()) keyField_->setFocus(Qt::OtherFocusReason);
  UpdateCapture();
}

bool Vantrel_DlgComposite::eventFilter(QObject* watched, QEvent* event) {
  if (watched == keyField_ && open_ && !armed_ && keyField_->isEnabled()) {
    const bool click = event->type() == QEvent::MouseButtonPress;
    bool activate = false;
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      activate = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }
    if (click || activate) {
      SetArmed(true);
      return activate;  // the click still places the focus
    }
  }
  return CBaseDialog::eventFilter(watched, event);
}

void Vantrel_DlgComposite::UpdateCapture() {
  const bool shown = open_ && isVisible();
  const bool single = shown && IsSingleKeyTab(kind_) && armed_;
  if (single) captureFilter_->Install();
  else captureFilter_->Remove();
  // The keyboard grab keeps Super and the desktop's shortcuts away from the desktop while
  // the page waits for a key or records one (on xcb it is an X keyboard grab; a Wayland
  // compositor may keep Super to itself, the key chooser offers it then). It is held only
  // while the page is the active window: keys typed into another program are that
  // program's.
  if ((single || (shown && editor_->recording())) && isActiveWindow()) {
    // Grabbed again on each call: a grab asked for before the window is mapped (right
    // after show) may not take, so activation asks again.
    grabKeyboard();
    grabbing_ = true;
  } else if (grabbing_) {
    releaseKeyboard();
    grabbing_ = false;
    // On xcb the release goes out with Qt's next batch of requests, which may wait for the
    // next event from the server; with the grab still held that is the next key typed into
    // the other program, and the page would take it. A round trip sends it now (not from
    // here: it runs the event loop once).
    QTimer::singleShot(0, this, [] { QGuiApplication::sync(); });
  }
}

bool Vantrel_DlgComposite::OnCaptureKey(std::uint16_t code, bool release, bool autoRepeat) {
  switch (keys::DecideCapture(code, release, autoRepeat, keyboardChosen_)) {
    case keys::CaptureAction::kPassOn: return false;
    case keys::CaptureAction::kSwallow: return true;
    case keys::CaptureAction::kCapture: Capture(code); return true;
  }
  return true;
}

void Vantrel_DlgComposite::Capture(std::uint16_t code) {
  // The Windows and App keys are captured even while MOU is chosen; KB is chosen with
  // them, so that what the page shows is what Apply stores.
  if (!keyboardChosen_) ShowKeyboardChoice(true);
  keyField_->setText(Q(keys::KeyDisplayName(code, texts_)));
  captured_ = code;
  kind_ = keys::kKindKey;
  MarkChanged();
}

void Vantrel_DlgComposite::ChooseKey(std::uint16_t code) {
  if (editor_->recording()) {
    editor_->RecordChosenKey(code);
    return;
  }
  if (!open_ || !IsSingleKeyTab(kind_)) return;
  SetArmed(true);
  OnCaptureKey(code, false, false);
}

// ---- Apply, OK, Cancel ----

bool Vantrel_DlgComposite::ApplyPage() {
  // A message about the open cell's entry runs its own event loop, in which the page may
  // close (the keyboard went away) and store its edits itself: then nothing more here.
  // A closed page holds no copies, and storing them would empty the store's macros.
  if (!open_ || !editor_->FinishCellEdit()) return false;
  editor_->StopRecordingIfActive();
  keys::KeyAssignment record;
  record.kind = static_cast<std::uint16_t>(kind_);
  record.aux = keys::DefaultAux(0, keyIndex_);
  switch (kind_) {
    case keys::kKindKey:
      record.code = keyboardChosen_ ? captured_ : keys::MouseFunctionList()[static_cast<std::size_t>(
                                                      std::max(0, mouseList_->currentIndex()))].code;
      break;
    case keys::kKindMacro:
      record.code = editor_->selectedMacroId();
      record.aux = static_cast<std::uint16_t>(editor_->cycles());
      break;
    case keys::kKindMedia: record.code = std::max(0, mediaList_->currentRow()); break;
    case keys::kKindFunction: record.code = std::max(0, functionList_->currentRow()); break;
    default: record.code = 0; break;  // 0, and 1, 3, 5, 6 kept as they came
  }
  const int profile = host_.CurrentProfile();
  const bool onKeyboard =
      keyOnKeyboard_ && profile >= 0 && profile < static_cast<int>(vantrel::device::kProfileCount);
  const auto edit = [&](keys::StoreImage& image) {
    editor_->SaveInto(image);
    if (!onKeyboard) return profiles::StepName(texts_, profiles::StepWhat::Macros, profile);
    const auto slot = static_cast<std::size_t>(profile);
    const keys::KeyAssignment before = image.table.Record(slot, keyIndex_);
    keys::StoreKeyAssignment(image, slot, keyIndex_, record);
    editor_->SyncTable(image.table);
    const keys::KeyAssignment after = image.table.Record(slot, keyIndex_);
    // Only the macros changed: the step is the macro editor's.
    if (after == before) return profiles::StepName(texts_, profiles::StepWhat::Macros, profile);
    const std::string key =
        gKeyNumber_ > 0 ? std::string("G").append(std::to_string(gKeyNumber_)) : keys::KeyDisplayName(keyCode_, texts_);
    return profiles::KeyStepName(texts_, key, image, profile, keyIndex_);
  };
  if (!host_.EditKeys(std::max(profile, 0), edit)) {
    keys::EditingStore::Lock lock(editing_);
    edit(lock.Image());
  }
  // The macros are kept; the key keeps its factory function.
  if (!keyOnKeyboard_) sink_.ShowMessage(texts_.Text(kTextGKeyNotKept));
  changed_ = false;
  button(kIdApply)->setEnabled(false);
  host_.KeysEdited();
  return true;
}

void Vantrel_DlgComposite::reject() { done(QDialog::Rejected); }

void Vantrel_DlgComposite::done(int result) {
  Finish();
  CBaseDialog::done(result);
}

void Vantrel_DlgComposite::Finish() {
  if (!open_) return;
  open_ = false;
  UpdateCapture();
  editor_->StopRecordingIfActive();
  editor_->Clear();
  chooser_->hide();
  --openCount_;
  host_.SetButtonPressed(buttonId_, false);
}

void Vantrel_DlgComposite::ClosePage() {
  if (open_) done(QDialog::Rejected);
}

void Vantrel_DlgComposite::CloseKeepingEdits() {
  if (!open_) return;
  if (changed_ || editor_->recording()) ApplyPage();
  done(QDialog::Rejected);
}

void Vantrel_DlgComposite::keyPressEvent(QKeyEvent* event) {
  // Enter does not confirm the page; Escape closes it as Cancel does. While the page
  // waits for a key, both are taken as keys before they get here.
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    case Qt::Key_Escape:
      event->accept();
      done(QDialog::Rejected);
      return;
    default: CBaseDialog::keyPressEvent(event);
  }
}

void Vantrel_DlgComposite::showEvent(QShowEvent* event) {
  CBaseDialog::showEvent(event);
  UpdateCapture();
}

void Vantrel_DlgComposite::hideEvent(QHideEvent* event) {
  CBaseDialog::hideEvent(event);
  UpdateCapture();
}

void Vantrel_DlgComposite::changeEvent(QEvent* event) {
  CBaseDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) UpdateCapture();
}

void Vantrel_DlgComposite::MarkChanged() {
  changed_ = true;
  button(kIdApply)->setEnabled(true);
}

}  // namespace vantrel::ui
