// The macro tab of the key page: a name box listing all macros, the cycles field, the
// action list of the selected macro with in-place editing, the step buttons and the
// recorder. It works on the page's own copies of the macros; they replace the editing
// store's macros only when the page saves them, and are dropped when it closes.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/keys/recorder.h"
#include "core/keys/stores.h"
#include "core/text/profile_strings.h"
#include "core/text/text_source.h"
#include "ui/windows/control_ids.h"
#include "ui/app/key_event_filter.h"

class QComboBox;

namespace vantrel::ui {

class CPngButton;
class CReportCtrl;
class ColorStatic;
class TypeTextDialog;

// The name box: an edit field over the always-open list of macro names (a combo box whose
// list stays open). Typing in the field renames the selected macro.
class MacroNameBox : public QWidget {
  Q_OBJECT
 public:
  explicit MacroNameBox(QWidget* parent);
  QLineEdit* edit() const { return edit_; }
  QListWidget* list() const { return list_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLineEdit* edit_;
  QListWidget* list_;
};

class MacroEditor : public QObject {
  Q_OBJECT
 public:
  // Builds the tab's controls on `page`, placed from its skin file.
  MacroEditor(QWidget* page, const QString& iniPath, const QString& skinFolder, const text::TextSource& texts,
              text::MessageSink& sink, text::ProfileStrings& profileStrings);
  ~MacroEditor() override;

  // Copies the store's macros (new-macro flags cleared) and its assignment table (for the
  // key check before a delete), reads the record-delay mode, and selects the macro with
  // the id (the first when 0 or not found).
  void Load(const keys::StoreImage& image, std::uint16_t selectId);
  // The assignment table changed in the store (the page applied a record).
  void SyncTable(const keys::AssignmentTable& table) { work_.table = table; }
  // Saving the macros into the editing store: the editor's content into the selected
  // macro, the copies replace the store's macros and kind 4 records whose macro is gone
  // or new are reset. Returns the global record numbers that changed.
  std::vector<std::size_t> SaveInto(keys::StoreImage& image);
  // Drops the copies (the page closes).
  void Clear();

  void SetVisible(bool visible);
  void ApplyTexts();
  // Ends an in-place edit of the action list, keeping what was chosen or typed. False when
  // the copies were dropped or reloaded meanwhile (a message box about the entry runs its
  // own event loop, in which the page may close): the caller then stops.
  bool FinishCellEdit();
  // Changes whenever the copies are loaded or dropped.
  unsigned session() const { return session_; }

  // Recording.
  bool recording() const { return recorder_.recording; }
  // A key's release is held back for a moment to tell a repeat from a real release.
  bool holdingRelease() const { return repeats_.Holding(); }
  void ToggleRecording();
  void StopRecordingIfActive();
  // A key chosen on the on-screen key chooser while recording: a press and a release.
  void RecordChosenKey(std::uint16_t code);
  // Clicks on widgets for which this answers true are not recorded (the key chooser, which
  // stands for a keyboard of its own).
  void SetMouseIgnored(std::function<bool(QWidget*)> ignored) { mouseIgnored_ = std::move(ignored); }
  // Milliseconds for the recorded delays of input without a timestamp of its own (keys
  // chosen on the key chooser, events made up by tests); the steady clock by default.
  void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }

  bool hasMacros() const { return !work_.macros.empty(); }
  int selectedMacro() const { return selected_; }
  std::uint16_t selectedMacroId() const;
  int cycles() const;
  const std::vector<keys::MacroAction>& actions() const { return rows_.actions; }
  const std::vector<keys::MacroRecord>& macros() const { return work_.macros; }
  int recordDelayMode() const { return rows_.delayMode; }

  // Controls, for the page and for tests.
  MacroNameBox* nameBox() const { return nameBox_; }
  QLineEdit* cyclesEdit() const { return cycles_; }
  CReportCtrl* actionList() const { return list_; }
  CPngButton* button(int id) const;
  QWidget* cellEditor() const { return cellEditor_; }
  // The "Type text..." dialog while it is open (macro_editor_type_text.cpp).
  TypeTextDialog* typeTextDialog() const;

 signals:
  // Something the page saves was changed.
  void changed();
  // Recording started (true) or stopped (false).
  void recordingChanged(bool recording);

 private:
  void BuildControls(QWidget* page, const QString& iniPath, const QString& skinFolder);
  void Select(int position, bool saveCurrent);
  void LoadSelected();
  void SaveEditorInto(int position);
  void RefillNames();
  void ShowRows();
  void ShowRow(int row);
  void SyncSelectionFromView();
  void SelectRow(int row);
  void MarkChanged();
  void UpdateButtons();

  void OnNameEdited(const QString& text);
  bool NameTakenByOther(const QString& name) const;
  void OnAddMacro();
  void OnDeleteMacro();
  void OnCyclesEdited();
  void OnDeleteStep();
  void OnClearSteps();
  void OnMove(int id);
  void OnRecordDelaysToggled();
  void OnTypeText();
  void RetranslateTypeText();

  bool OnEditStart(int row, int column);
  void CommitCellEdit();
  void CloseCellEditor();

  // Recording input from the event filter.
  bool OnRecordKey(const KeyEventFilter::KeyInput& input, bool followModifiers = true);
  // One key event out of the repeat filter into the recorder.
  void RecordKey(const KeyEventFilter::KeyInput& input, bool followModifiers);
  // A release the repeat filter held back goes to the recorder now.
  void FlushHeldRelease();
  void FollowModifiers(const KeyEventFilter::KeyInput& input, std::uint32_t now);
  void ReleaseAddedModifiers();
  void OnRecordMouse(std::uint16_t code, bool release, const QPoint& globalPos, QWidget* target,
                     std::uint64_t timestamp);
  std::uint32_t EventTime(std::uint64_t timestamp);
  void AfterRecordedStep(std::size_t before);

  const text::TextSource& texts_;
  text::MessageSink& sink_;
  text::ProfileStrings& profileStrings_;

  keys::StoreImage work_;  // macros: the page's copies; table: for the key check
  keys::MacroNaming naming_;
  int selected_ = -1;
  keys::RecordList rows_;  // the selected macro's steps as shown
  keys::RecorderState recorder_;
  std::function<std::uint32_t()> clock_;
  // Window-system time -> clock_ time, fixed by the first timestamped event of a recording.
  std::optional<std::uint32_t> timestampOffset_;
  // Modifier keys (kModifierKeys) seen pressed, and modifiers whose press was added because
  // an event reported them held without their key's own event.
  std::uint8_t modifierKeysDown_ = 0;
  std::uint8_t modifiersAdded_ = 0;
  keys::KeyRepeatFilter repeats_;
  QTimer* releaseTimer_ = nullptr;  // lets a held release go when no repeat press follows it
  std::function<bool(QWidget*)> mouseIgnored_;
  KeyEventFilter* filter_;
  bool loading_ = false;
  unsigned session_ = 0;

  MacroNameBox* nameBox_ = nullptr;
  QLineEdit* cycles_ = nullptr;
  CReportCtrl* list_ = nullptr;
  std::vector<std::pair<int, CPngButton*>> buttons_;
  std::vector<QWidget*> widgets_;  // everything shown only on the macro tab
  ColorStatic* nameCaption_ = nullptr;
  ColorStatic* cyclesCaption_ = nullptr;
  ColorStatic* delaysCaption_ = nullptr;

  QPointer<TypeTextDialog> typeText_;
  QPointer<QWidget> cellEditor_;
  int editRow_ = -1;
  int editColumn_ = -1;
};

}  // namespace vantrel::ui
