// The lighting panel on a stand-in main window over the virtual keyboard: the real core
// objects (command set, profile service, lighting state, key-colour editor, language
// texts), the device worker, a host that records what the panel asks of the main window
// and draws coloured key faces for screenshots.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "core/keys/stores.h"
#include "core/lighting/key_buttons.h"
#include "core/text/ini_file.h"
#include "core/text/language.h"
#include "core/text/skin_keys.h"
#include "sim/sim_harness.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/lighting_panel.h"
#include <mutex>
#include "ui/ui_test_app.h"
#include "ui/windows/fake_ui_services.h"

namespace vantrel::ui::test {

inline QString SkinFolder() { return QStringLiteral(VANTREL_BIN_DIR "/Skins"); }
inline QString MainIni() { return SkinFolder() + "/Main.ini"; }

// The session's switch notifications, as the main window gets them (from the worker).
class PanelProfileView final : public profiles::NoWindowsView {
 public:
  void ProfileSwitched(int p) override {
    std::lock_guard lock(mutex);
    switched.push_back(p);
  }
  std::vector<int> Switched() {
    std::lock_guard lock(mutex);
    return switched;
  }
  std::mutex mutex;
  std::vector<int> switched;
};

// The main window's side: records the calls and shows coloured key faces on the surface.
class FakePanelHost final : public LightingPanelHost {
 public:
  explicit FakePanelHost(QWidget* surface) : surface_(surface) {}

  void SetKeyColour(int controlId, const QColor& colour) override {
    colours[controlId] = colour;
    ++colourCalls;
    if (auto it = faces_.find(controlId); it != faces_.end()) {
      it->second->setStyleSheet(QString("background: %1; border-radius: 4px;").arg(colour.name()));
      it->second->show();
    }
  }
  void ShowKeyCaptions() override {
    colours.clear();
    ++captionCalls;
    for (auto& [id, face] : faces_) face->hide();
  }
  void RedrawKeyFaces() override { ++faceRedraws; }

  // Key buttons placed from the main skin, with a colour face over each.
  void BuildKeyButtons() {
    const QString folder = SkinFolder();
    const auto pic = [&](const char* name) { return RequiredSkinPicture(folder, name); };
    for (const auto& key : keys::KeyboardLayout()) {
      QString skinKey;
      skinKey = QString::fromStdString(keys::SkinKeyOf(key));
      auto* button = new CPngButton(surface_, key.controlId);
      PlaceSkinnedButton(*button, MainIni(), "BUTTONINFO", skinKey, pic("main_normal.jpg"), pic("main_over.jpg"),
                         pic("main_down.jpg"), pic("main_disable.jpg"), pic("main_color1.jpg"));
      auto* face = new QLabel(surface_);
      face->setGeometry(button->geometry().adjusted(2, 2, -2, -2));
      face->hide();
      faces_[key.controlId] = face;
    }
  }

  std::map<int, QColor> colours;
  int colourCalls = 0;
  int captionCalls = 0;
  int faceRedraws = 0;

 private:
  QWidget* surface_;
  std::map<int, QLabel*> faces_;
};

// One configuration report sent to the keyboard.
struct SentReport {
  int command = 0;
  int length = 0;
  int offset = 0;
  std::vector<int> payload;  // bytes 8.. up to the length
};

class LightingPanelTest : public ::testing::Test {
 protected:
  LightingPanelTest()
      : app_((App(), 0)),
        settings_(),
        system_(1033),
        texts_(VANTREL_BIN_DIR, settings_, system_),
        profiles_(sim_.commands, editing_, applied_, cache_,
                  profiles::ProfilePaths{UserDir(), std::filesystem::path(VANTREL_BIN_DIR)}, texts_, sink_),
        session_(profiles_, editing_, applied_, texts_, sink_),
        colours_(UserDir(), std::filesystem::path(VANTREL_BIN_DIR) / "Skins" / "UserDengColor_3.userd"),
        host_(&surface_) {
    session_.AddView(view_);
    surface_.setStyleSheet(SkinStyleSheet());
    surface_.resize(1340, 556);
    colours_.EnsureUserFiles();
  }

  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    lighting_ = std::make_unique<lighting::LightingSession>(colours_, WskbIni(), &texts_);
    panel_ = std::make_unique<LightingPanel>(
        &surface_, host_, LightingPanelDeps{sim_.commands, worker_, session_, *lighting_, texts_, MainIni(), SkinFolder()});
    panel_->SetColourPicker([this](const QColor&, QWidget*) -> std::optional<QColor> { return pick_; });
  }
  void TearDown() override {
    Settle();
    panel_.reset();
  }

  std::filesystem::path UserDir() const { return std::filesystem::path(dir_.path().toStdString()) / "user"; }
  std::filesystem::path WskbIni() const { return UserDir() / "wskb.ini"; }

  // Runs the panel's device jobs and their follow-ups until none is left.
  void Settle() {
    for (int i = 0; i < 100; ++i) {
      worker_.WaitIdle();
      QCoreApplication::processEvents();
      if (!panel_ || !panel_->Busy()) break;
      // A load waiting for switches to stop is sent after a moment.
      QTest::qWait(5);
    }
    worker_.WaitIdle();
    QCoreApplication::processEvents();
  }

  // Connection with the keyboard's active profile as current profile.
  void Connect() {
    const int active = sim_.keyboard.DeviceState()[device::kStateActiveProfile];
    session_.SetCurrentProfile(active);
    cache_ = active;
    panel_->DeviceConnected();
    Settle();
  }
  // A profile button as the main window runs it: the question, the current profile, the
  // panel's loads, then the session's switch on the worker.
  void PressProfileButton(int profile) {
    const auto decision = session_.CheckSwitch(profile);
    if (!decision.proceed) return;
    session_.SetCurrentProfile(decision.profile);
    panel_->ProfileButton(decision.profile);
    worker_.Post([this, decision] { (void)session_.Switch(decision, profiles::EditSession::SwitchWhen::OnlyToAnother); });
    Settle();
  }
  void OpenPanel() {
    if (!panel_->IsOpen()) panel_->ToggleLamp();
    Settle();
    ASSERT_TRUE(panel_->IsOpen());
  }

  QComboBox* EffectCombo() { return static_cast<QComboBox*>(panel_->Control(panel_id::kEffectCombo)); }
  // Chooses an effect in the drop-down as the user would.
  void ChooseEffect(int code) {
    auto* combo = EffectCombo();
    const QString name = QString::fromStdString(texts_.ModeText(std::to_string(code)));
    const int position = combo->findText(name);
    ASSERT_GE(position, 0) << code;
    combo->setCurrentIndex(position);
    emit combo->activated(position);
    Settle();
  }
  void Click(int controlId) {
    auto* b = qobject_cast<QAbstractButton*>(panel_->Control(controlId));
    ASSERT_NE(b, nullptr) << controlId;
    b->click();
    Settle();
  }
  void MoveSlider(int controlId, int position) {
    auto* slider = static_cast<CBitmapSlider*>(panel_->Control(controlId));
    emit slider->reported(kMsgSliderMoved, controlId, position);
    Settle();
  }
  bool Shown(int controlId) { return !panel_->Control(controlId)->isHidden(); }

  // Configuration reports sent since the last ClearTrace.
  std::vector<SentReport> Sent() {
    std::vector<SentReport> out;
    for (const auto& line : sim_.Lines("> CTRL")) {
      const auto b = vantrel::test::SimHarness::Bytes(line);
      if (b.size() != 64) continue;
      SentReport s{b[3], b[4], b[5] | (b[6] << 8), {}};
      const bool carries = b[3] == device::kCmdWriteParams || b[3] == device::kCmdWriteKeyColours;
      for (int i = 0; carries && i < b[4] && 8 + i < 64; ++i) s.payload.push_back(b[static_cast<std::size_t>(8 + i)]);
      out.push_back(std::move(s));
    }
    return out;
  }
  // The sequence of command bytes sent.
  std::vector<int> Commands() {
    std::vector<int> out;
    for (const auto& s : Sent()) out.push_back(s.command);
    return out;
  }
  void ClearTrace() {
    Settle();
    sim_.ClearTrace();
  }

  int app_;
  QTemporaryDir dir_;
  vantrel::test::SimHarness sim_;
  keys::EditingStore editing_;
  keys::AppliedStore applied_;
  std::atomic<int> cache_{-1};
  text::MemorySettingsStore settings_;
  text::FixedSystemLanguage system_;
  text::LanguageTexts texts_;
  FakeMessageSink sink_;
  PanelProfileView view_;
  profiles::ProfileService profiles_;
  profiles::EditSession session_;
  lighting::KeyColourEditor colours_;
  std::unique_ptr<lighting::LightingSession> lighting_;
  DeviceWorker worker_;
  QWidget surface_;
  FakePanelHost host_;
  std::optional<QColor> pick_;
  std::unique_ptr<LightingPanel> panel_;
};

}  // namespace vantrel::ui::test
