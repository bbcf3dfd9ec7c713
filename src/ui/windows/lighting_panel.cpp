#include "ui/windows/lighting_panel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QDir>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <span>
#include <utility>

#include "core/text/safe_format.h"
#include "scripting/keyboard_tasks.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/lighting_panel_parts.h"

namespace vantrel::ui {

using namespace panel_parts;

LightingPanel::LightingPanel(QWidget* surface, LightingPanelHost& host, LightingPanelDeps deps)
    : QObject(surface),
      surface_(surface),
      host_(host),
      deps_(std::move(deps)),
      engine_(std::make_unique<lighting::PreviewEngine>()) {
  BuildControls();
  Refresh();

  reloadTimer_.setSingleShot(true);
  reloadTimer_.setInterval(kReloadAfterSwitchMs);
  connect(&reloadTimer_, &QTimer::timeout, this, [this] {
    if (reloadProfile_ != loadedProfile_) Load(lighting::LoadOccasion::Other, true);
  });

  // Timer 1052: the first tick after 100 ms, then every 50 ms, each armed again by the
  // tick so that a slow frame never piles up ticks.
  previewTimer_.setSingleShot(true);
  connect(&previewTimer_, &QTimer::timeout, this, [this] {
    PreviewTick();
    firstTick_ = false;
    UpdatePreviewTimer();
  });

  window_ = surface_->window();
  window_->installEventFilter(this);
  UpdatePreviewTimer();
}

LightingPanel::~LightingPanel() {
  if (window_) window_->removeEventFilter(this);
}

// --- Worker jobs -------------------------------------------------------------------------

LightingPanel::ColourView LightingPanel::SnapshotColours(const lighting::KeyColourEditor& editor, int profile,
                                                         bool names, const text::TextSource& texts) {
  ColourView v;
  v.mode = editor.SelectedMode();
  v.tool = editor.Tool();
  v.base = editor.BaseColour();
  v.brush = editor.BrushColour();
  v.buttons = editor.ButtonColours(profile);
  if (names) v.names = editor.ShownModeNames(profile, texts);
  return v;
}

template <typename Job, typename Done>
void LightingPanel::RunJob(Job job, ColourScope scope, Done done) {
  // A job works on the lighting of the profile shown: its load goes first.
  LoadShownProfileNow();
  ++pendingJobs_;
  const int profile = deps_.session.CurrentProfile();
  auto& lights = deps_.lighting;
  const text::TextSource& texts = deps_.texts;
  deps_.worker.Run(
      [job = std::move(job), &lights, &texts, profile, scope]() mutable {
        JobResult r;
        r.code = job();
        r.state = lights.State();
        if (scope != ColourScope::None)
          r.colours = SnapshotColours(lights.Colours(), profile, scope == ColourScope::TableAndNames, texts);
        return r;
      },
      this,
      [this, done = std::move(done)](JobResult result) mutable {
        --pendingJobs_;
        Adopt(result);
        done(result);
        if (redrawAfterJobs_ && pendingJobs_ == 0) {
          redrawAfterJobs_ = false;
          engine_->EffectChanged();
          Refresh();
        }
      });
}

template <typename Send>
void LightingPanel::RunWrite(Send send, ColourScope scope, std::function<void()> after, StepOf step) {
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  auto& session = deps_.session;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&commands, &lights, &session, profile, step, send = std::move(send)]() mutable {
        // Before the records were read there is no value to go back to.
        const bool known = lights.State().recordsRead;
        const auto p = static_cast<std::size_t>(profile);
        profiles::LightingValue before{lights.State().records[p], std::nullopt};
        if (step.colours) before.userModes = scripting::ReadProfileUserModes(lights.Colours(), profile);
        const auto outcome = send(lights, commands, profile);
        if (known && outcome == lighting::WriteOutcome::Taken) {
          profiles::LightingValue now{lights.State().records[p], std::nullopt};
          if (step.colours) now.userModes = scripting::ReadProfileUserModes(lights.Colours(), profile);
          session.RecordLighting(profile, profiles::StepWhat::Lighting, std::move(before), std::move(now), step.drag);
        }
        return static_cast<int>(outcome);
      },
      scope,
      [this, after = std::move(after)](const JobResult& result) {
        const auto outcome = static_cast<lighting::WriteOutcome>(result.code);
        if (outcome == lighting::WriteOutcome::Refused) {
          ShowWriteStatus(true);
          // The keyboard took the writes but holds something else: the status's tooltip
          // says what differs.
          QStringList lines;
          for (const auto& line : result.state.readBack.differences) lines << Utf8(line);
          status_->setToolTip(lines.join('\n'));
          redrawAfterJobs_ = true;
        } else if (outcome == lighting::WriteOutcome::Taken) {
          ShowWriteStatus(false);
        }
        if (after) after();
      });
}

void LightingPanel::AskChange(const lighting::FieldChange& change, ColourScope scope, std::function<void()> after,
                              unsigned drag) {
  (void)lighting::ApplyChange(view_, deps_.session.CurrentProfile(), change);
  RunWrite([change](lighting::LightingSession& l, device::CommandSet& c, int p) { return l.Change(c, p, change); },
           scope, std::move(after), StepOf{drag, false});
}

template <typename Send>
void LightingPanel::RunColourJob(Send send, std::function<void(const JobResult&)> done) {
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  auto& session = deps_.session;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&commands, &lights, &session, profile, send = std::move(send)]() mutable {
        profiles::LightingValue before{std::nullopt, scripting::ReadProfileUserModes(lights.Colours(), profile)};
        const lighting::KeyColourWrite written = send(lights, commands, profile);
        // A refused write leaves the new colours in the file all the same: still a step.
        profiles::LightingValue now{std::nullopt, scripting::ReadProfileUserModes(lights.Colours(), profile)};
        session.RecordLighting(profile, profiles::StepWhat::KeyColours, std::move(before), std::move(now));
        return static_cast<int>(written);
      },
      ColourScope::Table, std::move(done));
}

void LightingPanel::Adopt(JobResult& result) {
  // Only the last outstanding job's state is taken over: earlier results would briefly
  // undo what the user has chosen since.
  if (pendingJobs_ == 0) {
    const bool open = view_.panelOpen;
    view_ = result.state;
    view_.panelOpen = open;
  }
  if (result.colours) {
    auto names = std::move(result.colours->names);
    if (!names) names = std::move(colourView_.names);
    colourView_ = std::move(*result.colours);
    colourView_.names = std::move(names);
  }
}

void LightingPanel::Load(lighting::LoadOccasion occasion, bool userColours, std::function<void()> after) {
  // This load reads the current profile: a load still waiting for switches to stop is done.
  reloadTimer_.stop();
  const int profile = deps_.session.CurrentProfile();
  loadedProfile_ = profile;
  auto& commands = deps_.commands;
  auto& lights = deps_.lighting;
  // Written on the worker, read once the result is delivered on the UI thread.
  auto colourWrite = std::make_shared<lighting::KeyColourWrite>(lighting::KeyColourWrite::NotSent);
  RunJob(
      [&commands, &lights, profile, occasion, userColours, colourWrite] {
        const auto loaded = lights.Load(commands, profile, occasion, userColours);
        *colourWrite = loaded.colours;
        return loaded.result;
      },
      ColourScope::TableAndNames,
      [this, after = std::move(after), colourWrite](const JobResult& result) {
        // With other jobs still out, the rest of the state waits for the last of them,
        // but the drop-down is filled from what the keyboard offers now.
        view_.supportedEffects = result.state.supportedEffects;
        view_.panelOpen = result.state.panelOpen;
        if (result.code == lighting::kLoadOk) ShowWriteStatus(*colourWrite == lighting::KeyColourWrite::Refused);
        Refresh();
        if (after) after();
        emit loaded(result.code);
      });
}

// --- Entry points ------------------------------------------------------------------------

void LightingPanel::DeviceConnected() { Load(lighting::LoadOccasion::Connection, true); }

void LightingPanel::KeyboardLightingChanged() { Load(lighting::LoadOccasion::Other, false); }

void LightingPanel::ProfileButton(int profile) {
  (void)profile;  // the session's current profile already
  Load(lighting::LoadOccasion::Other, true, [this] {
    if (view_.panelOpen) ClosePanel();
  });
}

void LightingPanel::ProfileShown(int profile) {
  if (profile == loadedProfile_) {
    reloadTimer_.stop();
    return;
  }
  reloadProfile_ = profile;
  reloadTimer_.start();
}

void LightingPanel::LoadShownProfileNow() {
  if (!reloadTimer_.isActive()) return;
  reloadTimer_.stop();
  if (reloadProfile_ != loadedProfile_) Load(lighting::LoadOccasion::Other, true);
}

void LightingPanel::SwitchAfterQuestions(int profile, ColourScope scope, std::function<void(bool)> then,
                                         std::function<void()> afterSwitch) {
  // The questions of a switch (unsaved changes) are put here, on the UI thread; the
  // device work follows on the worker and asks nothing.
  auto& session = deps_.session;
  const profiles::SwitchDecision decision = session.CheckSwitch(profile);
  if (!decision.proceed) {
    then(false);
    return;
  }
  RunJob(
      [&session, decision, afterSwitch = std::move(afterSwitch)] {
        const bool ok = session.Switch(decision);
        if (ok && afterSwitch) afterSwitch();
        return ok ? 1 : 0;
      },
      scope, [then = std::move(then)](const JobResult& result) { then(result.code == 1); });
}

void LightingPanel::ToggleLamp() {
  if (view_.panelOpen) {
    ClosePanel();
  } else {
    OpenPanel();
  }
}

void LightingPanel::OpenPanel() {
  auto& profiles = deps_.session.Service();
  auto& lights = deps_.lighting;
  // While the keyboard has not taken the re-selection, the panel is not open: nothing of
  // it shows, so key clicks still go to the key page.
  RunJob([&profiles] { return profiles.ActiveProfile(); }, ColourScope::None,
         [this, &lights](const JobResult& active) {
           if (active.code < 0) return;
           SwitchAfterQuestions(
               active.code, ColourScope::Table,
               [this](bool reselected) {
                 if (!reselected) return;
                 view_.panelOpen = true;
                 SetSelected(static_cast<CPngButton*>(Control(id::kLamp)), true);
                 ShowCaptions();
                 ShowForEffect(SelectedEffect());
                 if (SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
               },
               [&lights] { lights.SetPanelOpen(true); });
         });
}

void LightingPanel::ClosePanel() {
  view_.panelOpen = false;
  auto& lights = deps_.lighting;
  RunJob(
      [&lights] {
        lights.SetPanelOpen(false);
        return 0;
      },
      ColourScope::None, [](const JobResult&) {});
  SetSelected(static_cast<CPngButton*>(Control(id::kLamp)), false);
  ShowCaptions();
  host_.RedrawKeyFaces();
  ShowForEffect(0);
}

bool LightingPanel::KeyClicked(int controlId) {
  if (!view_.panelOpen) return false;
  if (SelectedEffect() != lighting::kEffectUserColours || lighting::ButtonIndex(controlId) < 0) return true;
  // The button shows its new colour at once; the job's table repaints every button that
  // shares the slot (the nine G keys light as one).
  PaintKey(controlId, colourView_.tool == 1 ? colourView_.base : colourView_.brush);
  RunColourJob(
      [controlId](lighting::LightingSession& l, device::CommandSet& c, int p) {
        return l.PaintKey(c, p, controlId, lighting::kEffectUserColours);
      },
      [this](const JobResult& result) {
        ShowKeyColourWrite(static_cast<lighting::KeyColourWrite>(result.code));
        if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
         });
  return true;
}

void LightingPanel::RestoreDefault() {
  if (!view_.panelOpen) return;
  engine_->EffectChanged();
  // The key colours' outcome is not the lighting record's: a refusal of them shows the
  // status text without reading the record back. Written on the worker, read once the
  // result is delivered.
  auto colourWrite = std::make_shared<lighting::KeyColourWrite>(lighting::KeyColourWrite::NotSent);
  RunWrite(
      [colourWrite](lighting::LightingSession& l, device::CommandSet& c, int p) {
        const auto written = l.RestoreDefault(c, p, true);
        *colourWrite = written.colours;
        return written.record;
      },
      ColourScope::TableAndNames,
      [this, colourWrite] {
        if (*colourWrite == lighting::KeyColourWrite::Refused) ShowWriteStatus(true);
        Refresh();
      },
      StepOf{0, true});
}


void LightingPanel::OnEffectChosen(int position) {
  if (updatingControls_) return;
  const EffectCode code = effects_.table.EffectAtPosition(position);
  // Leaving the per-key colours: keys the preview does not paint (G keys, right Win)
  // must not keep them.
  if (view_.effect == lighting::kEffectUserColours && code != view_.effect && view_.panelOpen) ShowCaptions();
  engine_->EffectChanged();
  AskChange({lighting::LightingField::Effect, code},
            code == lighting::kEffectUserColours ? ColourScope::Table : ColourScope::None, [this, code] {
              if (code == lighting::kEffectUserColours && view_.panelOpen && SelectedEffect() == code)
                PaintKeyButtons();
            });
  ShowForEffect(code);
}

void LightingPanel::OnSlider(int controlId, int position) {
  if (updatingControls_) return;
  // The slider writes at every position a drag passes; the drag is one step of Undo, its
  // release included.
  auto* slider = controlId == id::kBrightnessSlider ? brightness_ : speed_;
  unsigned drag = 0;
  if (slider->dragging()) {
    if (!dragOpen_) ++drags_;
    dragOpen_ = true;
    drag = drags_;
  } else if (dragOpen_) {
    dragOpen_ = false;
    drag = drags_;
  }
  if (controlId == id::kBrightnessSlider) {
    brightness_->SetChannelPicture(Picture(QString("%1.bmp").arg(position)));
    AskChange({lighting::LightingField::Brightness, position}, ColourScope::None, {}, drag);
  } else if (controlId == id::kSpeedSlider) {
    speed_->SetChannelPicture(Picture(QString("%1.bmp").arg(kSpeedPictureBase + position)));
    AskChange({lighting::LightingField::Speed, position}, ColourScope::None, {}, drag);
  }
}

void LightingPanel::OnDirection(int value) {
  AskChange({lighting::LightingField::Direction, value});
  ShowForEffect(SelectedEffect());
}

void LightingPanel::OnColourPicked(const QColor& colour) {
  lighting::FieldChange change{lighting::LightingField::Colour};
  change.colour = FromQColor(colour);
  AskChange(change);
  updatingControls_ = true;
  for (auto* swatch : {swatches_[0], swatches_[1]}) swatch->SetColor(colour);
  updatingControls_ = false;
  SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), false);
  SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), false);
  rgbEdits_[0]->setText(QString::number(colour.red()));
  rgbEdits_[1]->setText(QString::number(colour.green()));
  rgbEdits_[2]->setText(QString::number(colour.blue()));
}

void LightingPanel::OnMulticolour(ColourGroup group) {
  // The view shows the toggle by the session's rule; the job toggles what the session holds.
  lighting::FieldChange shown{lighting::LightingField::Multicolour};
  shown.on = !view_.multicolour;
  shown.group = group;
  (void)lighting::ApplyChange(view_, deps_.session.CurrentProfile(), shown);
  SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), view_.multicolour);
  SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), view_.multicolour);
  RunWrite(
      [group](lighting::LightingSession& l, device::CommandSet& c, int p) { return l.ToggleMulticolour(c, p, group); },
      ColourScope::None, [this] {
        SetSelected(static_cast<CPngButton*>(Control(id::kFyMultiPicture)), view_.multicolour);
        SetSelected(static_cast<CPngButton*>(Control(id::kHxMultiPicture)), view_.multicolour);
      });
}

void LightingPanel::OnColourChoice(int choice) {
  AskChange({lighting::LightingField::Choice, choice});
  for (int n = 0; n < 4; ++n) SetSelected(static_cast<CPngButton*>(Control(id::kChoiceRed + n)), n == choice);
}

void LightingPanel::OnReportRate(int rate) {
  AskChange({lighting::LightingField::ReportRate, rate});
  for (int n = 0; n < 4; ++n) static_cast<CPngButton*>(Control(kReportIds[n]))->SetToggled(n == rate);
}

void LightingPanel::OnBaseColour(const QColor& colour) {
  if (updatingControls_) return;
  const Rgb rgb = FromQColor(colour);
  RunColourJob([rgb](lighting::LightingSession& l, device::CommandSet& c, int p) { return l.ChangeBaseColour(c, p, rgb); },
         [this](const JobResult& result) {
           ShowKeyColourWrite(static_cast<lighting::KeyColourWrite>(result.code));
           RefreshUserControls();
           if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
         });
}

void LightingPanel::OnBrushColour(const QColor& colour) {
  if (updatingControls_) return;
  const Rgb rgb = FromQColor(colour);
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  colourView_.brush = rgb;
  RunJob(
      [&lights, profile, rgb] {
        lights.ChangeBrushColour(profile, rgb);
        return 1;
      },
      ColourScope::Table, [this](const JobResult&) { RefreshUserControls(); });
}

void LightingPanel::OnTool(int tool) {
  colourView_.tool = tool;
  RefreshUserControls();
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  RunJob(
      [&lights, profile, tool] {
        lights.ChooseTool(profile, tool);
        return 1;
      },
      ColourScope::Table, [this](const JobResult&) { RefreshUserControls(); });
}

void LightingPanel::OnUserMode(int mode) {
  if (updatingControls_ || mode < 0) return;
  RunColourJob(
      [mode](lighting::LightingSession& l, device::CommandSet& c, int p) { return l.ChooseUserMode(c, p, mode); },
      [this](const JobResult& result) {
        ShowKeyColourWrite(static_cast<lighting::KeyColourWrite>(result.code));
        RefreshUserControls();
        if (view_.panelOpen && SelectedEffect() == lighting::kEffectUserColours) PaintKeyButtons();
      });
}

void LightingPanel::OnRenameMode(const QString& text) {
  const int mode = colourView_.mode;
  if (mode < 0 || mode >= modeCombo_->count()) return;
  if (colourView_.names) (*colourView_.names)[static_cast<std::size_t>(mode)] = text.toStdString();
  // Renaming the shown entry puts the text into the edit again: keep the caret in place.
  const int caret = modeCombo_->lineEdit()->cursorPosition();
  modeCombo_->setItemText(mode, text);
  modeCombo_->lineEdit()->setCursorPosition(caret);
  auto& lights = deps_.lighting;
  const int profile = deps_.session.CurrentProfile();
  const std::string name = text.toStdString();
  RunJob(
      [&lights, profile, name] {
        lights.RenameUserMode(profile, name);
        return 1;
      },
      ColourScope::None, [](const JobResult&) {});
}

// --- Preview -------------------------------------------------------------------------

void LightingPanel::PreviewTick() {
  if (!view_.panelOpen) return;
  const EffectCode code = SelectedEffect();
  // Effect 20 shows the per-key colours, painted when they change.
  if (code == lighting::kEffectUserColours) return;
  const lighting::PreviewInput input{code, view_.direction, view_.multicolour, view_.colour};
  if (!engine_->Step(input, frame_)) return;
  if (frame_.showCaptions) {
    if (!captionsShown_) ShowCaptions();
    return;
  }
  for (std::size_t i = 0; i < frame_.count; ++i) PaintKey(frame_.keys[i].controlId, frame_.keys[i].colour);
}

void LightingPanel::UpdatePreviewTimer() {
  const bool seen = window_ && window_->isVisible() && !window_->isMinimized();
  if (!seen) {
    previewTimer_.stop();
  } else if (!previewTimer_.isActive()) {
    previewTimer_.start(firstTick_ ? kFirstTickMs : kTickMs);
  }
}

bool LightingPanel::eventFilter(QObject* watched, QEvent* event) {
  if (modeCombo_ && watched == modeCombo_->lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  if (watched == window_) {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::WindowStateChange:
        // The state change arrives before the window's own flags settle on some
        // platforms: look again once the event is through.
        QTimer::singleShot(0, this, [this] { UpdatePreviewTimer(); });
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vantrel::ui
