// The main controller without a window: a fake view records what it is told to show, the
// program's core runs over the virtual keyboard. Arrival, Apply and apply-then-close, the
// messages of other instances, the keyboard going and its G-key layer, a switch, and the
// settings the controller writes.
#include "ui/app/main_controller.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "sim/virtual_keyboard.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/ui_test_app.h"
#include "ui/windows/program_options.h"

namespace vantrel::ui {
namespace {

using test::ProcessUntil;

class FakeView final : public MainView {
 public:
  void ShowProgress(bool on) override { Log(on ? "progress on" : "progress off"); }
  void ShowApplyPending(bool pending) override { applyPending = pending; }
  void ShowKeyboardPresent(bool present) override { Log(present ? "present" : "absent"); }
  void ShowConfigurationRead(int profile) override { Log("read " + std::to_string(profile)); }
  void ShowProfileSwitched(int profile, bool kept) override {
    Log((kept ? "kept " : "switched ") + std::to_string(profile));
  }
  void ShowGKeyLayer(int layer) override { Log("layer " + std::to_string(layer)); }
  void ShowProfileName(const QString& name) override { profileName = name; }
  void ShowTrayIcon(int icon) override { trayIcon = icon; }
  void KeyboardGone() override { Log("gone"); }
  void KeyboardBack() override { Log("back"); }
  void ShowWindow() override { Log("show"); }
  void LightingChanged() override { Log("lighting"); }
  void LoadProfileLighting(int profile) override { Log("load lighting " + std::to_string(profile)); }
  bool LightingPanelOpen() const override { return false; }
  void RestoreDefaultLighting() override { Log("default lighting"); }
  bool RestoreProfileFile(const std::filesystem::path&, const std::function<bool()>& ask) override {
    return ask();
  }
  void EndWindows() override { Log("end windows"); }

  bool Saw(const std::string& what) const { return std::find(log.begin(), log.end(), what) != log.end(); }
  void Log(std::string what) { log.push_back(std::move(what)); }

  std::vector<std::string> log;
  bool applyPending = false;
  QString profileName;
  int trayIcon = -1;
};

class AnsweringSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view text, bool) override {
    questions.emplace_back(text);
    return !answers.empty() && Next() == text::Answer::Yes;
  }
  text::Answer AskYesNoCancel(std::string_view text, text::Answer) override {
    questions.emplace_back(text);
    return answers.empty() ? text::Answer::Cancel : Next();
  }
  text::Answer Next() {
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<text::Answer> answers;
};

class MainControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    AppOptions options = test::SimulatedProgramOptions(folder_.Path());
    core_ = std::make_unique<AppCore>(options);
    std::string error;
    ASSERT_TRUE(core_->OpenDevice(&error)) << error;
    core_->Stack().Keyboard()->DeviceState()[device::kStateActiveProfile] = 2;
    controller_ = std::make_unique<MainController>(*core_, sink_, view_);
    controller_->Start();
    controller_->MarkReady();
    ASSERT_TRUE(ProcessUntil([this] { return view_.Saw("read 2"); }));
    Settle();
  }
  void TearDown() override {
    controller_.reset();
    core_.reset();
  }
  void Settle() { test::SettleProgram(*core_); }

  test::ProgramFolder folder_{"main_controller"};
  AnsweringSink sink_;
  FakeView view_;
  std::unique_ptr<AppCore> core_;
  std::unique_ptr<MainController> controller_;
};

TEST_F(MainControllerTest, ArrivalReadsTheKeyboardIntoTheSessionAndTheKeyPicture) {
  EXPECT_EQ(controller_->CurrentProfile(), 2);
  EXPECT_EQ(controller_->ActiveProfile(), 2);
  EXPECT_FALSE(controller_->ApplyPending());
  EXPECT_FALSE(view_.profileName.isEmpty());
  // The looks reached the picture through the queued notification.
  const auto* key = controller_->Picture().Find(keys::OrdinaryLayoutKeys()[10].controlId);
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(key->look.tooltip.isEmpty());
  EXPECT_NE(view_.trayIcon, -1);
  ASSERT_NE(controller_->AutoSwitch(), nullptr);
}

TEST_F(MainControllerTest, ApplyWritesTheEditsAndReportsOnce) {
  QSignalSpy finished(controller_.get(), &MainController::applyFinished);
  controller_->MarkEdited();
  Settle();
  ASSERT_TRUE(controller_->ApplyPending());
  EXPECT_TRUE(view_.applyPending);
  view_.log.clear();
  controller_->Apply();
  EXPECT_TRUE(controller_->ApplyRunning());
  ASSERT_TRUE(ProcessUntil([&] { return finished.count() == 1; }));
  EXPECT_TRUE(finished.at(0).at(0).toBool());
  EXPECT_FALSE(controller_->ApplyRunning());
  EXPECT_FALSE(controller_->ApplyPending());
  EXPECT_FALSE(view_.applyPending);
  // The progress picture goes a moment after the end.
  ASSERT_TRUE(ProcessUntil([&] { return view_.Saw("progress off"); }));
  EXPECT_EQ(view_.log.front(), "progress on");
  EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(MainControllerTest, ClosingAsksAboutEditsAndAppliesThemBeforeTheEnd) {
  QSignalSpy closed(controller_.get(), &MainController::closed);
  // No edits: the program may end at once, without a question.
  EXPECT_TRUE(controller_->ConfirmClose());
  EXPECT_TRUE(sink_.questions.empty());
  EXPECT_EQ(closed.count(), 0);
  controller_->MarkEdited();
  Settle();
  // Cancel: stays with the edits.
  sink_.answers = {text::Answer::Cancel};
  EXPECT_FALSE(controller_->ConfirmClose());
  Settle();
  EXPECT_TRUE(controller_->ApplyPending());
  EXPECT_EQ(closed.count(), 0);
  // Yes: the edits are applied, then the program closes (not before).
  sink_.answers = {text::Answer::Yes};
  EXPECT_FALSE(controller_->ConfirmClose());
  EXPECT_FALSE(controller_->Closing());
  ASSERT_TRUE(ProcessUntil([&] { return closed.count() == 1; }));
  EXPECT_TRUE(view_.Saw("end windows"));
  EXPECT_TRUE(controller_->Closing());
  EXPECT_EQ(sink_.questions.size(), 2u);
  // Closed once; a second close does nothing, and no device work is queued any more.
  controller_->CloseProgram();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(controller_->ConfirmClose());
}

TEST_F(MainControllerTest, InstanceMessagesAnswerAtOnceAndActQueued) {
  struct Case {
    std::uint32_t message, param;
    QByteArray payload;
    int status;
    const char* shown;  // what the view is told, nullptr: nothing
  };
  const Case cases[] = {
      {MsgOpenWindow, 0x1234, {}, 0, nullptr},
      {MsgOpenWindow, kOpenWindowParam, {}, 0, "show"},
      {MsgSimEvent, kSimEventParam, "no-such-event", kSimEventUnknown, nullptr},
      {MsgSimEvent, kSimEventParam, "g-layer", kSimEventDone, "layer 1"},
      {MsgQuit, 0, {}, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    view_.log.clear();
    EXPECT_EQ(controller_->HandleInstanceMessage(c.message, c.param, c.payload), c.status);
    EXPECT_TRUE(view_.log.empty());  // nothing shown before the sender has its answer
    Settle();
    if (c.shown) EXPECT_TRUE(view_.Saw(c.shown));
    else EXPECT_TRUE(view_.log.empty());
  }
  EXPECT_FALSE(controller_->Closing());
  EXPECT_EQ(controller_->HandleInstanceMessage(MsgQuit, kQuitParam, {}), 0);
  EXPECT_FALSE(controller_->Closing());
  Settle();
  EXPECT_TRUE(controller_->Closing());
  EXPECT_TRUE(view_.Saw("end windows"));
}

TEST_F(MainControllerTest, TheKeyboardGoingAndComingBackIsShown) {
  core_->Stack().Simulator()->Unplug();
  Settle();
  ASSERT_TRUE(ProcessUntil([&] { return view_.Saw("gone"); }));
  view_.log.clear();
  core_->Stack().Simulator()->Plug();
  // The arrival's read is shown, then the window hidden by the removal comes back.
  ASSERT_TRUE(ProcessUntil([&] { return view_.Saw("read 2") && view_.Saw("back"); }));
}

TEST_F(MainControllerTest, AMenuSwitchReachesTheKeyboardAndTheView) {
  controller_->SwitchFromMenu(0);
  Settle();
  EXPECT_TRUE(view_.Saw("switched 0"));
  EXPECT_EQ(core_->Stack().Keyboard()->DeviceState()[device::kStateActiveProfile], 0);
  EXPECT_EQ(controller_->CurrentProfile(), 0);
  // A profile button loads the lighting first, then switches.
  view_.log.clear();
  controller_->SwitchFromButton(1);
  Settle();
  ASSERT_FALSE(view_.log.empty());
  EXPECT_EQ(view_.log.front(), "load lighting 1");
  EXPECT_EQ(core_->Stack().Keyboard()->DeviceState()[device::kStateActiveProfile], 1);
}

TEST_F(MainControllerTest, SettingsWrittenAreReadBack) {
  EXPECT_EQ(controller_->StoreLanguage(4), 0u);
  EXPECT_EQ(controller_->StoreLanguage(-1), 0u);
  const std::uint32_t french = controller_->StoreLanguage(2);
  EXPECT_EQ(french, text::kLanguageIds[2]);
  EXPECT_EQ(core_->Settings().ReadDword(text::kLanguageIdValue).value_or(0), french);
  const int flip = controller_->Flip();
  controller_->ToggleFlip();
  EXPECT_EQ(controller_->Flip(), flip == 0 ? 1 : 0);
  controller_->ToggleFlip();
  EXPECT_EQ(controller_->Flip(), flip);
}

TEST(ReadBackMessage, ListsAtMostTwelveDifferencesAndCountsTheRest) {
  class Texts final : public text::TextSource {
   public:
    std::string Text(std::string_view key) const override { return std::string(key); }
    std::string LightText(std::string_view) const override { return {}; }
    std::string ModeText(std::string_view) const override { return {}; }
  } texts;
  device::Verification ok;
  EXPECT_EQ(ReadBackMessage(texts, ok), "");
  const auto line = [](std::size_t i) {
    std::string text = "d";
    text += std::to_string(i);
    return text;
  };
  for (std::size_t count : {1u, 12u, 13u, 40u}) {
    SCOPED_TRACE(count);
    device::Verification differs;
    for (std::size_t i = 0; i < count; ++i) differs.differences.push_back(line(i));
    ASSERT_TRUE(differs.Failed());
    const std::string message = ReadBackMessage(texts, differs);
    const std::size_t shown = std::min<std::size_t>(count, kReadBackLinesShown);
    EXPECT_EQ(message.rfind("MAIN_PROMPT_READBACK_FAILED", 0), 0u);
    EXPECT_NE(message.find(line(shown - 1)), std::string::npos);
    EXPECT_EQ(message.find(line(shown)), std::string::npos);
    std::string more = "(+";
    more += std::to_string(count - shown);
    more += ")";
    EXPECT_EQ(message.find(more) != std::string::npos, count > shown);
    EXPECT_EQ(message.find("(+") != std::string::npos, count > shown);
  }
}

}  // namespace
}  // namespace vantrel::ui
