// The lighting panel of the main window: the lamp that opens and closes it, the effect
// drop-down and the parameter controls of the current effect, the per-key colour tools
// of effect 20, the report-rate buttons, the live preview of the effect on the key
// picture, and a note under the panel while the keyboard has refused a change.
//
// The panel is a view over the lighting session: every load, change, paint and colour-mode
// operation is the session's, run as a job on the device worker in the order the user
// acted. The panel keeps a copy of what the last job left for display and for the
// preview, which runs on the UI thread from a timer of its own (control id 1052) and
// pauses while the main window is hidden or minimised.
#pragma once

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/lighting/effects.h"
#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"
#include "core/lighting/lighting_session.h"
#include "core/lighting/preview.h"
#include "core/profiles/edit_session.h"
#include "core/text/text_source.h"
#include "ui/skin/skin_color_btn.h"
#include "ui/windows/control_ids.h"
#include "ui/app/device_worker.h"

class QComboBox;
class QLineEdit;
class QWidget;

namespace vantrel::ui {

class CBitmapSlider;
class CPngButton;
class ColorStatic;

// What the panel needs from the main window. All calls come on the UI thread.
class LightingPanelHost {
 public:
  virtual ~LightingPanelHost() = default;
  // The key button `controlId` (ordinary key, G key or Fn) shows a flat colour instead of
  // its caption face until ShowKeyCaptions.
  virtual void SetKeyColour(int controlId, const QColor& colour) = 0;
  // Every key button drops its colour and shows its caption face again.
  virtual void ShowKeyCaptions() = 0;
  // Every key button's pressed look from the active profile's assignment table (pressed
  // when the key's record is not the default one), and the Flip enabling applied again.
  virtual void RedrawKeyFaces() = 0;
};

// The core objects the panel works with. The lighting session is touched only by jobs on
// the worker. Every lighting and key-colour write addresses the editing session's current
// profile; the lamp's profile re-selection goes through the editing session's switch.
struct LightingPanelDeps {
  device::CommandSet& commands;
  DeviceWorker& worker;
  profiles::EditSession& session;
  lighting::LightingSession& lighting;
  const text::TextSource& texts;
  QString mainSkinFile;           // "Skins/Main.ini"
  QString skinFolder;             // folder of the skin pictures
};

// How one lighting write of the panel becomes a step of Undo (see LightingPanel::RunWrite).
// Outside the class: a default argument of the class's own members cannot use a nested
// type's member initialisers.
struct LightingPanelStep {
  unsigned drag = 0;     // the writes of one slider drag share a number other than 0
  bool colours = false;  // the profile's user colour modes are part of the step
};

class LightingPanel : public QObject {
  Q_OBJECT

 public:
  // Builds the panel's controls as children of `surface` (the main window's client
  // area, already inside the main window: the preview pauses while that window is hidden
  // or minimised), placed from the main skin file. Nothing is read from the keyboard here.
  LightingPanel(QWidget* surface, LightingPanelHost& host, LightingPanelDeps deps);
  ~LightingPanel() override;
  LightingPanel(const LightingPanel&) = delete;
  LightingPanel& operator=(const LightingPanel&) = delete;

  // --- Entry points for the main window -------------------------------------------
  // After a connection, once the store is reloaded and the current profile set from the
  // keyboard's active profile: the lighting and the per-key colours are loaded, the
  // follow flags recomputed and the panel refreshed.
  void DeviceConnected();
  // A profile button, after the session's current profile became `profile`: lighting and
  // colours of the profile are loaded, the panel refreshed and closed. The switch itself
  // is the session's (queued after these loads).
  void ProfileButton(int profile);
  // The session shows `profile` now (a switch from any window): its lighting and colours
  // are loaded unless they are the ones shown. The load waits until switches have stopped
  // for a moment, so that switches in quick succession (a script, the automatic switch)
  // do not each queue two keyboard brackets behind them; anything else the panel sends
  // first brings the load forward.
  void ProfileShown(int profile);
  // The keyboard reported a lighting change (timer 1051): reload and refresh.
  void KeyboardLightingChanged();
  // A key button was clicked. True when the panel took the click (it is open): it paints
  // the key when effect 20 is selected and does nothing otherwise. False: the click is
  // the key page's.
  bool KeyClicked(int controlId);
  // Restore default with the panel open: the default colour file and the default
  // lighting record. Does nothing while the panel is closed. The main window's Apply
  // follows; device jobs keep that order.
  void RestoreDefault();
  // Language changed: the labels and the effect names again.
  void Retranslate();

  bool IsOpen() const { return view_.panelOpen; }
  // Device jobs of the panel are queued or their results not yet shown.
  bool Busy() const { return pendingJobs_ > 0 || reloadTimer_.isActive(); }
  // The lamp, as if clicked.
  void ToggleLamp();

  // --- For tests and tools ------------------------------------------------------------
  QWidget* Control(int controlId) const;
  const lighting::LightingState& View() const { return view_; }
  // The picker used by the four colour buttons (the colour dialog by default).
  void SetColourPicker(CSkinColorBtn::Picker picker);
  // The preview's random numbers (not owned); by default a clock-seeded generator.
  void SetPreviewRandom(lighting::PreviewRandom* random);
  bool PreviewRunning() const { return previewTimer_.isActive(); }
  int PreviewInterval() const { return previewTimer_.interval(); }
  // One preview tick, as timer 1052 runs it.
  void PreviewTick();
  // How many key buttons were recoloured by the preview and the colour view so far.
  std::size_t KeyRepaints() const { return keyRepaints_; }

 signals:
  // A load (connection, profile button, keyboard change) has been shown.
  void loaded(int result);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct ColourView {
    int mode = 0;
    int tool = 0;
    lighting::Rgb base = 0;
    lighting::Rgb brush = 0;
    std::array<lighting::ButtonColour, keys::kLayoutKeyCount> buttons{};
    std::optional<std::array<std::string, lighting::kUserModeCount>> names;
  };
  struct JobResult {
    lighting::LightingState state;
    std::optional<ColourView> colours;
    int code = 0;  // the job's own outcome
  };
  enum class ColourScope { None, Table, TableAndNames };

  void BuildControls();
  ColorStatic* AddLabel(int id, const char* skinKey, const char* textKey);
  CPngButton* AddPicture(int id, const char* skinKey);
  QPixmap Picture(const QString& name);
  void SetPictures(CPngButton* picture, const QString& off, const QString& on, bool selected);
  void SetSelected(CPngButton* picture, bool selected);

  // Queues `job` on the worker; its state (and, by scope, colours) comes back to the
  // panel and, once no other job of the panel is outstanding, replaces the copy.
  template <typename Job, typename Done>
  void RunJob(Job job, ColourScope scope, Done done);
  // Queues one change of the lighting record, `send` (session, commands, profile) ->
  // WriteOutcome, addressed to the current profile. When the keyboard refuses it, the
  // session's state follows what the keyboard holds, the status text says the change was
  // not taken and the panel is redrawn from that state; a change taken clears the status
  // text. `after` runs on the UI thread once the result is in.
  // Each change the keyboard takes is one step of the session's Undo, the record before
  // and after it (with `colours`, the profile's user colour modes too); the writes of one
  // slider drag carry the same `drag` number and make one step.
  using StepOf = LightingPanelStep;
  template <typename Send>
  void RunWrite(Send send, ColourScope scope, std::function<void()> after = {}, StepOf step = {});
  // A key-colour job (painting, base colour, user mode): one step of Undo when it changed
  // the profile's user colour modes.
  template <typename Send>
  void RunColourJob(Send send, std::function<void(const JobResult&)> done);
  // A parameter change asked of the session: the view shows it at once, by the rule the
  // session's state follows, and the job sends it (RunWrite).
  void AskChange(const lighting::FieldChange& change, ColourScope scope = ColourScope::None,
                 std::function<void()> after = {}, unsigned drag = 0);
  void ShowWriteStatus(bool failed);
  // The status text after a key-colour write: shown when the keyboard refused it,
  // cleared when it took it, left alone when nothing was sent.
  void ShowKeyColourWrite(lighting::KeyColourWrite outcome);
  // The switch of the keyboard to `profile`: its check (and questions) now, on the UI
  // thread, then the switch on the worker, followed there by `afterSwitch` when it took;
  // `then` gets whether it took.
  void SwitchAfterQuestions(int profile, ColourScope scope, std::function<void(bool)> then,
                            std::function<void()> afterSwitch = {});
  static ColourView SnapshotColours(const lighting::KeyColourEditor& editor, int profile, bool names,
                                    const text::TextSource& texts);
  void Adopt(JobResult& result);

  void Refresh();
  void RefreshUserControls();
  void FillEffectCombo();
  void ShowForEffect(lighting::EffectCode code);
  // The panel's note for its state, placed where that state leaves room.
  void ShowNote(lighting::EffectCode code);
  lighting::EffectCode SelectedEffect() const;
  void PaintKeyButtons();
  void PaintKey(int controlId, lighting::Rgb colour);
  void ShowCaptions();

  void OpenPanel();
  void ClosePanel();
  void Load(lighting::LoadOccasion occasion, bool userColours, std::function<void()> after = {});

  void OnEffectChosen(int position);
  void OnSlider(int controlId, int position);
  void OnDirection(int value);
  void OnColourPicked(const QColor& colour);
  void OnMulticolour(lighting::ColourGroup group);
  void OnColourChoice(int choice);
  void OnReportRate(int rate);
  void OnBaseColour(const QColor& colour);
  void OnBrushColour(const QColor& colour);
  void OnTool(int tool);
  void OnUserMode(int mode);
  void OnRenameMode(const QString& text);

  void UpdatePreviewTimer();

  QWidget* surface_;
  QPointer<QWidget> window_;
  LightingPanelHost& host_;
  LightingPanelDeps deps_;

  lighting::LightingState view_;
  int loadedProfile_ = -1;  // the profile whose lighting was last asked for
  // A load after a switch that has not been sent yet, and the profile it is for.
  QTimer reloadTimer_;
  int reloadProfile_ = -1;
  void LoadShownProfileNow();
  ColourView colourView_;
  lighting::EffectListModel effects_;
  int pendingJobs_ = 0;
  // A refused change put the state back: the controls are redrawn from it once the last
  // outstanding job's state has come in.
  bool redrawAfterJobs_ = false;
  unsigned drags_ = 0;      // slider drags so far
  bool dragOpen_ = false;   // a slider is being dragged: its writes carry drags_
  bool writeFailed_ = false;

  std::map<int, QWidget*> controls_;
  std::map<QString, QPixmap> pictures_;
  QComboBox* effectCombo_ = nullptr;
  QComboBox* modeCombo_ = nullptr;
  CBitmapSlider* brightness_ = nullptr;
  CBitmapSlider* speed_ = nullptr;
  std::array<CSkinColorBtn*, 4> swatches_{};
  std::array<QLineEdit*, 3> rgbEdits_{};
  ColorStatic* status_ = nullptr;
  ColorStatic* note_ = nullptr;
  std::vector<std::pair<ColorStatic*, const char*>> labels_;
  bool updatingControls_ = false;

  std::unique_ptr<lighting::PreviewEngine> engine_;
  lighting::PreviewFrame frame_;
  QTimer previewTimer_;
  bool firstTick_ = true;
  bool captionsShown_ = true;
  std::map<int, lighting::Rgb> shownColours_;  // key buttons that show a colour now
  std::size_t keyRepaints_ = 0;
};

}  // namespace vantrel::ui
