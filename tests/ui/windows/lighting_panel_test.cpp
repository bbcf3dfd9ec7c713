// The lighting panel against the virtual keyboard: what each control sends, the show rule
// per effect, opening and closing, per-key painting and the profile buttons.
#include <QAccessible>
#include <QLineEdit>

#include "ui/windows/lighting_panel_fixture.h"

namespace vantrel::ui::test {
namespace {

namespace id = panel_id;
using device::kCmdBegin;
using device::kCmdEnd;
using device::kCmdReadParams;
using device::kCmdWriteDeviceState;
using device::kCmdWriteKeyColours;
using device::kCmdWriteParams;

// Puts a record into the keyboard's lighting area for profile p.
void SetRecord(sim::VirtualKeyboard& k, int p, std::initializer_list<std::pair<int, int>> bytes) {
  for (auto [at, value] : bytes) k.Lighting()[static_cast<std::size_t>(42 * p + at)] = static_cast<std::uint8_t>(value);
}

// The parameter writes (command 0x06) of the trace as (offset, payload).
std::vector<std::pair<int, std::vector<int>>> ParamWrites(const std::vector<SentReport>& sent) {
  std::vector<std::pair<int, std::vector<int>>> out;
  for (const auto& s : sent)
    if (s.command == kCmdWriteParams) out.emplace_back(s.offset, s.payload);
  return out;
}

TEST_F(LightingPanelTest, ConnectionShowsTheKeyboardsRecordAndKeepsAClosedPanelHidden) {
  SetRecord(sim_.keyboard, 0, {{0, 13}, {1, 2}, {2, 1}, {4, 1}, {5, 10}, {6, 20}, {7, 30}, {15, 7}});
  Connect();

  // The drop-down holds the offered effects (1..18 and 20) in slot order.
  auto* combo = EffectCombo();
  ASSERT_EQ(combo->count(), 19);
  EXPECT_EQ(combo->itemText(18).toStdString(), texts_.ModeText("20"));
  EXPECT_EQ(combo->currentText().toStdString(), texts_.ModeText("13"));
  EXPECT_EQ(static_cast<CBitmapSlider*>(panel_->Control(id::kBrightnessSlider))->pos(), 2);
  // Device speed 1 puts the slider at 3; a report-rate byte of 7 selects the last button.
  EXPECT_EQ(static_cast<CBitmapSlider*>(panel_->Control(id::kSpeedSlider))->pos(), 3);
  for (int n = 0; n < 4; ++n)
    EXPECT_EQ(static_cast<CPngButton*>(panel_->Control(n == 0 ? id::kReportRate1 : id::kReportRate2 + n - 1))->isToggled(), n == 3);
  EXPECT_EQ(static_cast<QLineEdit*>(panel_->Control(id::kRgbEditRed + 2))->text(), "30");

  // Closed: only the lamp, its title and the window's strips show.
  EXPECT_FALSE(panel_->IsOpen());
  EXPECT_TRUE(Shown(id::kLamp));
  EXPECT_TRUE(Shown(id::kReportRate1));
  for (int control : {id::kEffectCombo, id::kBrightnessSlider, id::kSpeedSlider, id::kHxColourButton,
                      id::kHxMultiPicture, id::kUserModeCombo})
    EXPECT_FALSE(Shown(control)) << control;

  // The keyboard offers effect 20: the user colours were sent inside the load, and the
  // mode names fill the user-mode list.
  int colourChunks = 0;
  for (const auto& s : Sent()) colourChunks += s.command == kCmdWriteKeyColours;
  EXPECT_EQ(colourChunks, 8);
  EXPECT_EQ(static_cast<QComboBox*>(panel_->Control(id::kUserModeCombo))->count(), 10);
}

TEST_F(LightingPanelTest, DengCheckOpensThePanelOnConnection) {
  ASSERT_TRUE(lighting::WriteDengCheck(WskbIni(), true));
  SetRecord(sim_.keyboard, 0, {{0, 12}});
  Connect();
  EXPECT_TRUE(panel_->IsOpen());
  EXPECT_TRUE(Shown(id::kEffectCombo));
  EXPECT_TRUE(Shown(id::kDirectionForward));
  // Effect 12 takes the "3" placement of the direction pictures.
  const auto r = ReadSkinRect(MainIni(), "BUTTONINFO", "CONTROL_BLFXLStaPic3");
  EXPECT_EQ(panel_->Control(id::kDirectionForward)->pos(), QPoint(r.x, r.y));
}

TEST_F(LightingPanelTest, LampOpensAfterTheProfileReselectionAndClosesAgain) {
  Connect();
  ClearTrace();
  panel_->ToggleLamp();
  Settle();
  ASSERT_TRUE(panel_->IsOpen());
  // The keyboard is told its active profile again: read and write of the state record, and
  // the record read back.
  EXPECT_EQ(Commands(), (std::vector<int>{device::kCmdReadDeviceState, kCmdWriteDeviceState, device::kCmdReadDeviceState}));
  EXPECT_EQ(text::ReadIniString(WskbIni(), "KEYCOLOR", "DengCheck", ""), "1");
  EXPECT_TRUE(static_cast<CPngButton*>(panel_->Control(id::kLamp))->isToggled());
  EXPECT_GE(host_.captionCalls, 1);
  EXPECT_TRUE(Shown(id::kEffectCombo));

  const int redraws = host_.faceRedraws;
  panel_->ToggleLamp();
  Settle();
  EXPECT_FALSE(panel_->IsOpen());
  EXPECT_EQ(text::ReadIniString(WskbIni(), "KEYCOLOR", "DengCheck", ""), "0");
  EXPECT_EQ(host_.faceRedraws, redraws + 1);
  EXPECT_FALSE(Shown(id::kEffectCombo));
  EXPECT_FALSE(Shown(id::kBrightnessSlider));
}

TEST_F(LightingPanelTest, LampWithAFailingReselectionWritesNothingAndShowsNothing) {
  Connect();
  session_.EditorOpened(profiles::Editor::KeyPage);  // the switch refuses while the key page is open
  panel_->ToggleLamp();
  Settle();
  EXPECT_EQ(text::ReadIniString(WskbIni(), "KEYCOLOR", "DengCheck", "missing"), "missing");
  EXPECT_FALSE(Shown(id::kEffectCombo));
  EXPECT_FALSE(Shown(id::kBrightnessSlider));
  // Nothing is shown, so key clicks still go to the key page.
  EXPECT_FALSE(panel_->IsOpen());
  EXPECT_FALSE(panel_->KeyClicked(keys::FnLayoutKey().controlId));

  // The keyboard refuses the state write: the switch reports success, the panel does not.
  session_.EditorClosed(profiles::Editor::KeyPage);
  sim::FaultPlan faults;
  const auto next = sim_.service.ConfigRequests();
  for (std::uint64_t n = next + 2; n <= next + 4; ++n) faults.Add(n, sim::Fault::kStatusFF);
  sim_.service.SetFaults(faults);
  panel_->ToggleLamp();
  Settle();
  EXPECT_EQ(text::ReadIniString(WskbIni(), "KEYCOLOR", "DengCheck", "missing"), "missing");
  EXPECT_FALSE(panel_->IsOpen());
  EXPECT_FALSE(Shown(id::kEffectCombo));
}

TEST_F(LightingPanelTest, EffectChoiceSendsOneBracketWithTheEffectsWrites) {
  Connect();
  OpenPanel();

  ClearTrace();
  ChooseEffect(4);  // no multicolour byte
  // The write bracket, then the record read back in a bracket of its own.
  EXPECT_EQ(Commands(), (std::vector<int>{kCmdBegin, kCmdWriteParams, kCmdEnd, kCmdBegin, kCmdReadParams, kCmdEnd}));
  EXPECT_EQ(ParamWrites(Sent()), (std::vector<std::pair<int, std::vector<int>>>{{0, {4}}}));

  ClearTrace();
  ChooseEffect(13);  // effect, then the multicolour byte
  EXPECT_EQ(Commands(), (std::vector<int>{kCmdBegin, kCmdWriteParams, kCmdWriteParams, kCmdEnd, kCmdBegin,
                                          kCmdReadParams, kCmdEnd}));
  const auto writes = ParamWrites(Sent());
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0], (std::pair<int, std::vector<int>>{0, {13}}));
  EXPECT_EQ(writes[1].first, 4);
  EXPECT_EQ(sim_.keyboard.Lighting()[0], 13);
}

TEST_F(LightingPanelTest, ProfileTwoAddressesItsOwnRecord) {
  sim_.keyboard.DeviceState()[device::kStateActiveProfile] = 2;
  Connect();
  ASSERT_EQ(session_.CurrentProfile(), 2);
  OpenPanel();
  ChooseEffect(5);
  ClearTrace();
  ChooseEffect(1);
  auto writes = ParamWrites(Sent());
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].first, 84);
  EXPECT_EQ(writes[1].first, 88);

  ClearTrace();
  pick_ = QColor(1, 2, 3);
  Click(id::kHxColourButton);
  writes = ParamWrites(Sent());
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[1], (std::pair<int, std::vector<int>>{89, {1, 2, 3}}));
  EXPECT_EQ(sim_.keyboard.Lighting()[89], 1);
  EXPECT_EQ(sim_.keyboard.Lighting()[91], 3);
}

TEST_F(LightingPanelTest, SlidersSendOnlyChangesAndTheSpeedIsInverted) {
  SetRecord(sim_.keyboard, 0, {{0, 1}, {1, 2}, {2, 2}});
  Connect();
  OpenPanel();

  ClearTrace();
  MoveSlider(id::kBrightnessSlider, 2);  // its own position
  EXPECT_TRUE(Sent().empty());
  MoveSlider(id::kBrightnessSlider, 3);
  EXPECT_EQ(ParamWrites(Sent()), (std::vector<std::pair<int, std::vector<int>>>{{1, {3}}}));

  ClearTrace();
  MoveSlider(id::kSpeedSlider, 0);
  MoveSlider(id::kSpeedSlider, 0);
  EXPECT_EQ(ParamWrites(Sent()), (std::vector<std::pair<int, std::vector<int>>>{{2, {4}}}));
  EXPECT_EQ(sim_.keyboard.Lighting()[2], 4);
}

TEST_F(LightingPanelTest, ColourPickedWhileMulticolourIsOnTurnsItOffFirst) {
  SetRecord(sim_.keyboard, 0, {{0, 6}, {4, 1}});
  Connect();
  OpenPanel();
  ASSERT_TRUE(static_cast<CPngButton*>(panel_->Control(id::kFyMultiPicture))->isToggled());

  ClearTrace();
  pick_ = QColor(0x12, 0x34, 0x56);
  Click(id::kFyColourButton);
  EXPECT_EQ(ParamWrites(Sent()),
            (std::vector<std::pair<int, std::vector<int>>>{{4, {0}}, {5, {0x12, 0x34, 0x56}}}));
  EXPECT_FALSE(static_cast<CPngButton*>(panel_->Control(id::kFyMultiPicture))->isToggled());
  // Both colour groups show the one colour.
  EXPECT_EQ(static_cast<CSkinColorBtn*>(panel_->Control(id::kHxColourButton))->color(), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(static_cast<QLineEdit*>(panel_->Control(id::kRgbEditRed + 1))->text(), "52");

  // The multicolour picture toggles and sends the byte alone.
  ClearTrace();
  Click(id::kFyMultiPicture);
  EXPECT_EQ(ParamWrites(Sent()), (std::vector<std::pair<int, std::vector<int>>>{{4, {1}}}));
  EXPECT_TRUE(panel_->View().multicolour);
}

TEST_F(LightingPanelTest, DirectionChoiceAndReportRateWriteTheirBytes) {
  SetRecord(sim_.keyboard, 0, {{0, 18}, {3, 0}});
  Connect();
  OpenPanel();
  EXPECT_TRUE(static_cast<CPngButton*>(panel_->Control(id::kDirectionBack))->isToggled());

  ClearTrace();
  Click(id::kDirectionForward);
  Click(id::kReportRate3);
  ChooseEffect(17);
  ClearTrace();
  Click(id::kChoiceRed + 3);
  EXPECT_EQ(ParamWrites(Sent()), (std::vector<std::pair<int, std::vector<int>>>{{17, {3}}}));
  EXPECT_EQ(sim_.keyboard.Lighting()[3], 0xFF);
  EXPECT_EQ(sim_.keyboard.Lighting()[15], 2);
  EXPECT_TRUE(static_cast<CPngButton*>(panel_->Control(id::kChoiceRed + 3))->isToggled());
  EXPECT_FALSE(static_cast<CPngButton*>(panel_->Control(id::kChoiceRed))->isToggled());
}

// Writes the keyboard refuses: the status text says so, and the controls show what the
// keyboard holds (read back), or what they showed before when nothing can be read.
TEST_F(LightingPanelTest, RefusedWritesShowTheKeyboardsValuesAndSaySo) {
  SetRecord(sim_.keyboard, 0, {{0, 1}, {1, 2}, {15, 1}});
  Connect();
  const auto rateShown = [&] {
    int shown = -1;
    for (int n = 0; n < 4; ++n)
      if (static_cast<CPngButton*>(panel_->Control(n == 0 ? id::kReportRate1 : id::kReportRate2 + n - 1))
              ->isToggled())
        shown = shown == -1 ? n : -2;
    return shown;
  };
  const auto failAt = [&](std::uint64_t from, std::uint64_t to) {
    sim::FaultPlan faults;
    const auto next = sim_.service.ConfigRequests();
    for (std::uint64_t n = next + from; n <= next + to; ++n) faults.Add(n, sim::Fault::kStatusFF);
    sim_.service.SetFaults(faults);
  };
  EXPECT_FALSE(Shown(id::kWriteStatus));
  ASSERT_EQ(rateShown(), 1);

  // The keyboard went to rate 3 on its own, then refuses the write of rate 2 (the second
  // request of the bracket, and its retries): rate 3 is shown.
  sim_.keyboard.Lighting()[15] = 3;
  failAt(2, 4);
  Click(id::kReportRate3);
  EXPECT_TRUE(Shown(id::kWriteStatus));
  EXPECT_EQ(static_cast<QLabel*>(panel_->Control(id::kWriteStatus))->text().toStdString(),
            texts_.Text("LIGHT_PROMPT_WRITE_FAILED"));
  EXPECT_EQ(rateShown(), 3);
  EXPECT_EQ(panel_->View().reportRate, 3);
  EXPECT_EQ(sim_.keyboard.Lighting()[15], 3);

  // Nothing answers, not even the read-back: the rate shown before stays.
  failAt(1, 40);
  Click(id::kReportRate1);
  EXPECT_EQ(rateShown(), 3);
  EXPECT_TRUE(Shown(id::kWriteStatus));

  // A rate the keyboard takes clears the text.
  sim_.service.SetFaults({});
  Click(id::kReportRate2);
  EXPECT_FALSE(Shown(id::kWriteStatus));
  EXPECT_EQ(rateShown(), 1);
  EXPECT_EQ(sim_.keyboard.Lighting()[15], 1);

  // The other writes of the panel alike: a refused brightness puts the slider back, and
  // the same position can then be sent again.
  OpenPanel();
  failAt(2, 4);
  static_cast<CBitmapSlider*>(panel_->Control(id::kBrightnessSlider))->SetPos(4);  // dragged there
  MoveSlider(id::kBrightnessSlider, 4);
  EXPECT_TRUE(Shown(id::kWriteStatus));
  EXPECT_EQ(static_cast<CBitmapSlider*>(panel_->Control(id::kBrightnessSlider))->pos(), 2);
  EXPECT_EQ(panel_->View().brightness, 2);
  ClearTrace();
  MoveSlider(id::kBrightnessSlider, 4);
  EXPECT_EQ(ParamWrites(Sent()), (std::vector<std::pair<int, std::vector<int>>>{{1, {4}}}));
  EXPECT_FALSE(Shown(id::kWriteStatus));
  EXPECT_EQ(sim_.keyboard.Lighting()[1], 4);
}

TEST_F(LightingPanelTest, AWriteTheKeyboardStoresWronglyIsRefusedAndTheStatusSaysWhatDiffers) {
  SetRecord(sim_.keyboard, 0, {{0, 1}, {15, 1}});
  Connect();
  // The rate's write (the second request of its bracket) is stored with a wrong byte and
  // answered with success: only the read-back sees it.
  sim::FaultPlan faults;
  faults.Add(sim_.service.ConfigRequests() + 2, sim::Fault::kCorrupt);
  sim_.service.SetFaults(faults);
  Click(id::kReportRate3);
  auto* status = static_cast<QLabel*>(panel_->Control(id::kWriteStatus));
  EXPECT_TRUE(Shown(id::kWriteStatus));
  EXPECT_TRUE(status->toolTip().contains("report rate")) << status->toolTip().toStdString();
  // The panel shows what the keyboard holds, not what was asked for.
  EXPECT_EQ(panel_->View().reportRate, sim_.keyboard.Lighting()[15]);

  // Written again without the fault: the status and its tooltip are gone.
  sim_.service.SetFaults({});
  Click(id::kReportRate4);
  EXPECT_FALSE(Shown(id::kWriteStatus));
  EXPECT_TRUE(status->toolTip().isEmpty());
}

// Which controls each effect shows while the panel is open.
TEST_F(LightingPanelTest, ShowRuleForEveryEffect) {
  sim_.keyboard.DeviceState()[12 + 19] = 19;  // offer 19 as well
  Connect();
  OpenPanel();
  for (int code = 1; code <= 20; ++code) {
    SCOPED_TRACE(code);
    ChooseEffect(code);
    const bool hx = code <= 3 || code == 5 || (code >= 7 && code <= 10) || (code >= 13 && code <= 15);
    EXPECT_TRUE(Shown(id::kEffectCombo));
    EXPECT_EQ(Shown(id::kBrightnessSlider), code != 19);
    EXPECT_EQ(Shown(id::kBrightnessStatic), code != 19);
    EXPECT_EQ(Shown(id::kSpeedSlider), (code >= 1 && code <= 5) || (code >= 7 && code <= 15));
    const bool direction = code <= 3 || code == 12 || code == 18;
    EXPECT_EQ(Shown(id::kDirectionForward), direction);
    EXPECT_EQ(Shown(id::kDirectionStatic), direction);
    EXPECT_EQ(Shown(id::kChoiceRed + 2), code == 17);
    EXPECT_EQ(Shown(id::kFyColourButton), code == 6 || code == 16);
    EXPECT_EQ(Shown(id::kFyMultiPicture), code == 6 || code == 16);
    EXPECT_EQ(Shown(id::kHxColourButton), hx);
    EXPECT_EQ(Shown(id::kHxMultiStatic), hx);
    EXPECT_EQ(Shown(id::kUserModeCombo), code == 20);
    EXPECT_EQ(Shown(id::kBaseButton), code == 20);
    EXPECT_EQ(Shown(id::kTool1Picture), code == 20);
    if (direction) {
      const char* suffix = code <= 3 ? "2" : code == 12 ? "3" : "";
      const auto r = ReadSkinRect(MainIni(), "BUTTONINFO", QString("CONTROL_BLFXRStaPic%1").arg(suffix));
      EXPECT_EQ(panel_->Control(id::kDirectionBack)->pos(), QPoint(r.x, r.y));
    }
  }
  // Effect 19 sends nothing at all.
  ChooseEffect(1);
  ClearTrace();
  ChooseEffect(19);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LightingPanelTest, PaintingKeysWithEffect20) {
  sim_.keyboard.DeviceState()[device::kStateActiveProfile] = 1;
  Connect();
  // Closed panel: the click is the key page's.
  EXPECT_FALSE(panel_->KeyClicked(keys::FnLayoutKey().controlId));
  OpenPanel();
  ChooseEffect(4);
  ClearTrace();
  // Open on another effect: the panel takes the click and does nothing.
  EXPECT_TRUE(panel_->KeyClicked(keys::FnLayoutKey().controlId));
  Settle();
  EXPECT_TRUE(Sent().empty());

  ChooseEffect(20);
  pick_ = QColor(0, 0x80, 0xFF);
  Click(id::kBrushButton);  // brush colour: saved, nothing sent
  Click(id::kTool0Picture);
  ClearTrace();
  EXPECT_TRUE(panel_->KeyClicked(keys::FnLayoutKey().controlId));
  Settle();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[1].command, kCmdWriteKeyColours);
  EXPECT_EQ(sent[1].offset, 512 + 330);
  EXPECT_EQ(sent[1].payload, (std::vector<int>{0, 0x80, 0xFF}));
  EXPECT_EQ(sim_.keyboard.KeyColours()[512 + 331], 0x80);
  EXPECT_EQ(host_.colours[keys::FnLayoutKey().controlId], QColor(0, 0x80, 0xFF));
  const auto file = colours_.UserFile(1);
  EXPECT_EQ(text::ReadIniString(file, "Mode" + std::to_string(colours_.SelectedMode()), "110", ""), "0,128,255,0");

  // A G key paints slot 125, which all nine G keys show.
  EXPECT_TRUE(panel_->KeyClicked(1141));
  Settle();
  for (const auto& g : keys::GLayoutKeys()) EXPECT_EQ(host_.colours[g.controlId], QColor(0, 0x80, 0xFF));
}

TEST_F(LightingPanelTest, BaseColourRepaintsFollowingKeysAndTheSameColourSendsNothing) {
  Connect();
  OpenPanel();
  ChooseEffect(20);
  // A is painted with the base colour and follows it; Esc gets a colour of its own.
  Click(id::kTool1Picture);
  panel_->KeyClicked(1058);
  Settle();
  pick_ = QColor(9, 9, 9);
  Click(id::kBrushButton);
  Click(id::kTool0Picture);
  panel_->KeyClicked(1022);
  Settle();

  ClearTrace();
  pick_ = QColor(0x20, 0x40, 0x60);
  Click(id::kBaseButton);
  int chunks = 0;
  for (const auto& s : Sent()) chunks += s.command == kCmdWriteKeyColours;
  EXPECT_EQ(chunks, 8);
  EXPECT_EQ(host_.colours[1058], QColor(0x20, 0x40, 0x60));  // A follows
  EXPECT_EQ(host_.colours[1022], QColor(9, 9, 9));           // Esc keeps its own
  EXPECT_EQ(sim_.keyboard.KeyColours()[3 * static_cast<std::size_t>(lighting::LedSlot(1058)) + 2], 0x60);

  // The picker gives the same colour again: nothing is sent.
  ClearTrace();
  Click(id::kBaseButton);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LightingPanelTest, UserModeChoiceAndRename) {
  Connect();
  OpenPanel();
  ChooseEffect(20);
  auto* modes = static_cast<QComboBox*>(panel_->Control(id::kUserModeCombo));
  ClearTrace();
  modes->setCurrentIndex(3);
  emit modes->activated(3);
  Settle();
  EXPECT_EQ(colours_.ReadPresentMode(0), 3);
  int chunks = 0;
  for (const auto& s : Sent()) chunks += s.command == kCmdWriteKeyColours;
  EXPECT_EQ(chunks, 8);

  QTest::keyClicks(modes->lineEdit(), "X");
  Settle();
  EXPECT_EQ(colours_.ReadModeName(0, 3), modes->currentText().toStdString());
  EXPECT_EQ(modes->itemText(3), modes->currentText());
}

// Key colours the keyboard refuses show the note of a refused lighting write; a key colour
// it takes clears it, a base colour that is the base colour already (nothing sent) leaves
// it. The key picture and the colour file keep the new colours.
TEST_F(LightingPanelTest, RefusedKeyColoursShowTheFailureNote) {
  Connect();
  OpenPanel();
  ChooseEffect(20);
  pick_ = QColor(0x10, 0x20, 0x30);
  Click(id::kBrushButton);
  Click(id::kTool0Picture);
  // Request `request` of the next change (1 is its begin) refused on every attempt.
  const auto refuse = [&](std::uint64_t request) {
    Settle();
    sim::FaultPlan faults;
    const auto next = sim_.service.ConfigRequests();
    for (std::uint64_t n = next + request; n < next + request + 3; ++n) faults.Add(n, sim::Fault::kStatusFF);
    sim_.service.SetFaults(faults);
  };
  const auto note = [&] {
    return Shown(id::kWriteStatus) && static_cast<QLabel*>(panel_->Control(id::kWriteStatus))->text().toStdString() ==
                                          texts_.Text("LIGHT_PROMPT_WRITE_FAILED");
  };
  ASSERT_FALSE(Shown(id::kWriteStatus));

  const auto escRed = sim_.keyboard.KeyColours()[0];
  refuse(2);
  EXPECT_TRUE(panel_->KeyClicked(1022));
  Settle();
  EXPECT_TRUE(note());
  EXPECT_EQ(sim_.keyboard.KeyColours()[0], escRed);
  EXPECT_EQ(host_.colours[1022], QColor(0x10, 0x20, 0x30));
  EXPECT_EQ(text::ReadIniString(colours_.UserFile(0), "Mode" + std::to_string(colours_.SelectedMode()), "0", ""),
            "16,32,48,0");
  sim_.service.SetFaults({});
  EXPECT_TRUE(panel_->KeyClicked(1058));
  Settle();
  EXPECT_FALSE(Shown(id::kWriteStatus));

  refuse(3);  // a chunk of the profile's table
  pick_ = QColor(0x40, 0x50, 0x60);
  Click(id::kBaseButton);
  EXPECT_TRUE(note());
  sim_.service.SetFaults({});
  Click(id::kBaseButton);
  EXPECT_TRUE(note());

  auto* modes = static_cast<QComboBox*>(panel_->Control(id::kUserModeCombo));
  for (const int mode : {2, 3}) {
    if (mode == 3) refuse(1);  // the begin
    modes->setCurrentIndex(mode);
    emit modes->activated(mode);
    Settle();
    EXPECT_EQ(note(), mode == 3) << mode;
  }
  EXPECT_EQ(colours_.ReadPresentMode(0), 3);

  // Restoring the defaults: the lighting record is taken, the key colours are not.
  sim_.service.SetFaults({});
  modes->setCurrentIndex(2);
  emit modes->activated(2);
  Settle();
  ASSERT_FALSE(Shown(id::kWriteStatus));
  refuse(10);  // the end of the key colours
  panel_->RestoreDefault();
  Settle();
  EXPECT_TRUE(note());
  EXPECT_EQ(sim_.keyboard.Lighting()[0], 1) << "the default effect was written";
}

TEST_F(LightingPanelTest, ProfileButtonReloadsClosesAndSwitches) {
  Connect();
  OpenPanel();
  // The same profile again: lighting and colours reload, no switch is sent.
  ClearTrace();
  const auto before = view_.Switched();
  PressProfileButton(0);
  auto commands = Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), kCmdWriteDeviceState), 0);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), device::kCmdReadParams), 3);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), kCmdWriteKeyColours), 8);
  EXPECT_FALSE(panel_->IsOpen());
  EXPECT_EQ(text::ReadIniString(WskbIni(), "KEYCOLOR", "DengCheck", ""), "0");
  // No write, but every window hears that profile 0 is the one shown.
  auto expected = before;
  expected.push_back(0);
  EXPECT_EQ(view_.Switched(), expected);

  // Another profile: its record is shown and the keyboard switches.
  SetRecord(sim_.keyboard, 1, {{0, 9}});
  PressProfileButton(1);
  EXPECT_EQ(sim_.keyboard.DeviceState()[device::kStateActiveProfile], 1);
  EXPECT_EQ(view_.Switched().back(), 1);
  EXPECT_EQ(EffectCombo()->currentText().toStdString(), texts_.ModeText("9"));
}

TEST_F(LightingPanelTest, RestoreDefaultWithThePanelOpen) {
  SetRecord(sim_.keyboard, 0, {{0, 20}, {1, 1}});
  Connect();
  panel_->RestoreDefault();  // closed: nothing
  Settle();
  ClearTrace();
  OpenPanel();
  ClearTrace();
  panel_->RestoreDefault();
  Settle();
  const auto sent = Sent();
  // Colours first (8 chunks), then effect 1 as a normal change, then the 35 bytes.
  std::vector<int> expected = {kCmdBegin};
  for (int i = 0; i < 8; ++i) expected.push_back(kCmdWriteKeyColours);
  // The default record is read back once, after both of its brackets.
  expected.insert(expected.end(), {kCmdEnd, kCmdBegin, kCmdWriteParams, kCmdWriteParams, kCmdEnd, kCmdBegin,
                                   kCmdWriteParams, kCmdEnd, kCmdBegin, kCmdReadParams, kCmdEnd});
  EXPECT_EQ(Commands(), expected);
  EXPECT_EQ(sent.back().command, kCmdEnd);
  EXPECT_EQ(sent[sent.size() - 5].length, 35);
  EXPECT_EQ(EffectCombo()->currentText().toStdString(), texts_.ModeText("1"));
  EXPECT_EQ(static_cast<CBitmapSlider*>(panel_->Control(id::kBrightnessSlider))->pos(), 4);
  EXPECT_EQ(static_cast<CBitmapSlider*>(panel_->Control(id::kSpeedSlider))->pos(), 2);
  EXPECT_TRUE(static_cast<CPngButton*>(panel_->Control(id::kReportRate1))->isToggled());
}

TEST_F(LightingPanelTest, KeyboardLightingChangeReloadsButNeverClosesThePanel) {
  Connect();
  OpenPanel();
  SetRecord(sim_.keyboard, 0, {{0, 16}});
  ClearTrace();
  panel_->KeyboardLightingChanged();
  Settle();
  EXPECT_TRUE(panel_->IsOpen());
  EXPECT_EQ(EffectCombo()->currentText().toStdString(), texts_.ModeText("16"));
  EXPECT_TRUE(Shown(id::kFyColourButton));
  // No user colours are sent on this occasion.
  auto commands = Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), kCmdWriteKeyColours), 0);
}


// Switches in quick succession from elsewhere (a script, the automatic switch) load the
// lighting once, for the profile shown last; a change made meanwhile goes after that load
// and to that profile; going back to the profile loaded needs no load at all.
TEST_F(LightingPanelTest, SwitchesInQuickSuccessionLoadTheLastProfileShownOnce) {
  Connect();
  SetRecord(sim_.keyboard, 2, {{0, 9}});
  const auto loads = [this] {
    const auto commands = Commands();
    return std::count(commands.begin(), commands.end(), kCmdReadParams) / 3;
  };
  struct Case {
    std::vector<int> shown;
    long loads;
    int effectShown;  // the record's effect shown afterwards
  };
  const int connected = session_.CurrentProfile();
  const std::vector<Case> cases = {
      {{1, 2}, 1, 9},
      {{1, connected}, 0, -1},
      {{2, 1, 2}, 1, 9},
  };
  for (const auto& c : cases) {
    // Back to the profile loaded at connection first.
    session_.SetCurrentProfile(connected);
    panel_->ProfileShown(connected);
    panel_->KeyboardLightingChanged();
    ClearTrace();
    for (int profile : c.shown) {
      session_.SetCurrentProfile(profile);
      panel_->ProfileShown(profile);
    }
    EXPECT_EQ(loads(), 0) << "nothing is sent while switches go on";
    Settle();
    EXPECT_EQ(loads(), c.loads);
    if (c.effectShown >= 0) {
      EXPECT_EQ(EffectCombo()->currentText().toStdString(), texts_.ModeText(std::to_string(c.effectShown)));
    }
  }

  // A change while the load waits: the load goes first, the change is written to profile 1.
  session_.SetCurrentProfile(connected);
  panel_->ProfileShown(connected);
  panel_->KeyboardLightingChanged();
  Settle();
  OpenPanel();
  ClearTrace();
  SetRecord(sim_.keyboard, 1, {{0, 5}});
  session_.SetCurrentProfile(1);
  panel_->ProfileShown(1);
  ChooseEffect(16);
  const auto commands = Commands();
  const auto firstRead = std::find(commands.begin(), commands.end(), kCmdReadParams);
  const auto firstWrite = std::find(commands.begin(), commands.end(), kCmdWriteParams);
  ASSERT_NE(firstWrite, commands.end());
  EXPECT_LT(firstRead, firstWrite);
  EXPECT_EQ(loads(), 1);
  EXPECT_EQ(sim_.keyboard.Lighting()[42], 16);
}

// Changes made faster than the keyboard answers, with preview frames in between: the
// writes reach the keyboard in the order made and the panel ends up showing the last.
using LightingPanelThreadsTest = LightingPanelTest;
TEST_F(LightingPanelThreadsTest, RapidChangesReachTheKeyboardInTheOrderMade) {
  Connect();
  OpenPanel();
  ClearTrace();
  auto* combo = EffectCombo();
  auto* slider = panel_->Control(id::kBrightnessSlider);
  std::vector<int> expected;
  int previous = sim_.keyboard.Lighting()[1];
  for (int i = 0; i < 30; ++i) {
    const int brightness = (i * 3) % 5;
    emit static_cast<CBitmapSlider*>(slider)->reported(kMsgSliderMoved, id::kBrightnessSlider, brightness);
    if (brightness != previous) expected.push_back(brightness);
    previous = brightness;
    combo->setCurrentIndex(i % 18);
    emit combo->activated(i % 18);
    panel_->PreviewTick();
    if (i % 7 == 0) QCoreApplication::processEvents();
  }
  Settle();
  std::vector<int> written;
  for (const auto& [offset, bytes] : ParamWrites(Sent()))
    if (offset == 1) written.push_back(bytes[0]);
  EXPECT_EQ(written, expected);
  EXPECT_EQ(sim_.keyboard.Lighting()[0], 12);  // position 11
  EXPECT_EQ(panel_->View().effect, 12);
  EXPECT_EQ(panel_->View().brightness, previous);
  EXPECT_TRUE(Shown(id::kDirectionForward));
}

// The same colour picked again while multicolour is on used to do nothing: no write, and
// the switch stayed on. It turns multicolour off as another colour does.
TEST_F(LightingPanelTest, TheSameColourPickedAgainAlsoEndsMulticolour) {
  SetRecord(sim_.keyboard, 0, {{0, 6}, {4, 1}, {5, 0x12}, {6, 0x34}, {7, 0x56}});
  Connect();
  OpenPanel();
  ASSERT_TRUE(panel_->View().multicolour);
  ClearTrace();
  pick_ = QColor(0x12, 0x34, 0x56);
  Click(id::kFyColourButton);
  EXPECT_EQ(ParamWrites(Sent()),
            (std::vector<std::pair<int, std::vector<int>>>{{4, {0}}, {5, {0x12, 0x34, 0x56}}}));
  EXPECT_FALSE(panel_->View().multicolour);
  EXPECT_FALSE(static_cast<CPngButton*>(panel_->Control(id::kFyMultiPicture))->isToggled());
  EXPECT_FALSE(static_cast<CPngButton*>(panel_->Control(id::kHxMultiPicture))->isToggled());
}

// Enter in the user-mode name field used to select another mode that had the typed name.
TEST_F(LightingPanelTest, EnterInTheModeNameFieldKeepsTheModeBeingRenamed) {
  Connect();
  OpenPanel();
  ChooseEffect(20);
  auto* modes = static_cast<QComboBox*>(panel_->Control(id::kUserModeCombo));
  ASSERT_GE(modes->count(), 4);
  modes->setCurrentIndex(3);
  emit modes->activated(3);
  Settle();
  const QString other = modes->itemText(0);
  modes->lineEdit()->selectAll();
  QTest::keyClicks(modes->lineEdit(), other);
  QTest::keyClick(modes->lineEdit(), Qt::Key_Return);
  Settle();
  EXPECT_EQ(modes->currentIndex(), 3);
  EXPECT_EQ(colours_.ReadModeName(0, 3), other.toStdString());
  EXPECT_EQ(colours_.ReadPresentMode(0), 3);
}

// Leaving effect 20 by restore default used to leave the G keys in their per-key colours:
// the preview does not paint them.
TEST_F(LightingPanelTest, LeavingTheKeyColoursByRestoreDefaultClearsTheGKeys) {
  Connect();
  OpenPanel();
  ChooseEffect(20);
  ASSERT_TRUE(host_.colours.count(keys::GLayoutKeys()[0].controlId));
  panel_->RestoreDefault();
  Settle();
  ASSERT_NE(panel_->View().effect, lighting::kEffectUserColours);
  for (const auto& g : keys::GLayoutKeys()) EXPECT_FALSE(host_.colours.count(g.controlId)) << g.controlId;
}

}  // namespace
}  // namespace vantrel::ui::test

namespace vantrel::ui::test {
namespace {

// The pictures that act as buttons say what they do, in the language in force, as a
// tooltip and as their accessible name; the colour choices also name their row.
TEST_F(LightingPanelTest, PicturesThatActAsButtonsSayWhatTheyDo) {
  const std::pair<int, const char*> tips[] = {{panel_id::kLamp, "LIGHT_LAMP_PROMPT"},
                                              {panel_id::kFyMultiPicture, "LIGHT_MULTICOLOR_PROMPT"},
                                              {panel_id::kHxMultiPicture, "LIGHT_MULTICOLOR_PROMPT"},
                                              {panel_id::kTool0Picture, "LIGHT_TOOL_BRUSH_PROMPT"},
                                              {panel_id::kTool1Picture, "LIGHT_TOOL_BASE_PROMPT"},
                                              {panel_id::kChoiceRed, "LIGHT_CHOICE_RED"},
                                              {panel_id::kChoiceRed + 3, "LIGHT_CHOICE_BLUE"}};
  for (const int language : {0, 3}) {
    settings_.WriteDword(text::kLanguageIdValue, text::kLanguageIds[static_cast<std::size_t>(language)]);
    panel_->Retranslate();
    for (const auto& [id, key] : tips) {
      auto* picture = static_cast<CPngButton*>(panel_->Control(id));
      const QString text = QString::fromStdString(texts_.LookupText(key, language));
      EXPECT_EQ(picture->tooltipText(), text) << key;
      EXPECT_EQ(picture->accessibleName(), text) << key;
    }
    EXPECT_EQ(panel_->Control(panel_id::kChoiceRed + 2)->accessibleDescription(),
              QString::fromStdString(texts_.LookupText("LIGHT_CHOICE_ROW", language)));
  }
}

}  // namespace
}  // namespace vantrel::ui::test

namespace vantrel::ui::test {
namespace {

// A screen reader names each picture of the panel: the direction arrows by the way they
// point (which changes with the effect), the report-rate buttons by their rate, the colour
// swatches by their captions.
TEST_F(LightingPanelTest, PicturesAndSwatchesHaveNamesForScreenReaders) {
  Connect();
  OpenPanel();
  auto name = [this](int controlId) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(panel_->Control(controlId));
    return a ? a->text(QAccessible::Name) : QString();
  };
  if (panel_->Control(id::kDirectionForward)->isVisible()) {
    EXPECT_FALSE(name(id::kDirectionForward).isEmpty()) << "the arrows shown on opening are unnamed";
  }
  ChooseEffect(2);
  Settle();
  EXPECT_EQ(name(id::kDirectionForward).toStdString(), texts_.Text("LIGHT_DIRECTION_LEFT"));
  EXPECT_EQ(name(id::kDirectionBack).toStdString(), texts_.Text("LIGHT_DIRECTION_RIGHT"));
  ChooseEffect(12);
  Settle();
  EXPECT_EQ(name(id::kDirectionForward).toStdString(), texts_.Text("LIGHT_DIRECTION_UP"));
  EXPECT_EQ(name(id::kDirectionBack).toStdString(), texts_.Text("LIGHT_DIRECTION_DOWN"));
  for (int controlId : {id::kReportRate1, id::kReportRate2, id::kReportRate3, id::kReportRate4})
    EXPECT_FALSE(name(controlId).isEmpty()) << controlId;
  EXPECT_NE(name(id::kReportRate1), name(id::kReportRate4));
  EXPECT_TRUE(name(id::kReportRate4).contains("1000"));
  for (int controlId : {id::kFyColourButton, id::kHxColourButton, id::kBrushButton, id::kBaseButton})
    EXPECT_FALSE(name(controlId).isEmpty()) << controlId;
}

// The application's look for standard dialogs must not reach the panel's own buttons: a
// colour swatch keeps the size its skin gives it (a minimum width once stretched it over
// the caption beside it).
TEST_F(LightingPanelTest, ColourSwatchesKeepTheirSkinSizeUnderTheApplicationLook) {
  Connect();
  OpenPanel();
  QWidget* swatch = panel_->Control(id::kFyColourButton);
  swatch->ensurePolished();
  const auto r = ReadSkinRect(MainIni(), "BUTTONINFO", "CONTROL_FYYSButton");
  EXPECT_EQ(swatch->size(), QSize(r.width, r.height));
  EXPECT_LE(swatch->minimumSizeHint().width(), r.width);
}

}  // namespace
}  // namespace vantrel::ui::test
