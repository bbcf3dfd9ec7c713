// The keyboard check in the whole program, over the virtual keyboard: a keyboard reset
// while unplugged is noticed on its arrival (compared before the arrival read replaces the
// store), the notice names what changed, and its action writes the program's
// configuration back. A sleep holds device work back at the worker's gate.
#include "ui/app/keyboard_watch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <deque>
#include <fstream>
#include <optional>
#include <thread>
#include <memory>

#include "sim/virtual_keyboard.h"
#include "ui/ui_test_app.h"
#include "ui/app/ui_services.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"
#include "ui/windows/tray.h"

namespace vantrel::ui {
namespace {

using test::ProcessUntil;

// The questions the watch asks, answered from a list (No when it is empty).
class AnsweringSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view text, bool) override {
    questions.emplace_back(text);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;
};

// No journey here chooses a file.
class NoFiles final : public FileChooser {
 public:
  std::optional<QString> ChooseOpen(QWidget*, const FileChoice&) override { return std::nullopt; }
  std::optional<QString> ChooseSave(QWidget*, const FileChoice&) override { return std::nullopt; }
};

class FakeNotifier final : public platform::Notifier {
 public:
  void Show(const platform::Notice& notice, std::function<void()> action) override {
    notices.push_back(notice);
    action_ = std::move(action);
  }
  void Withdraw() override {
    ++withdrawn;
    action_ = nullptr;
  }
  // The user chooses the action of the notice shown last.
  bool Act() {
    if (!action_) return false;
    auto action = std::exchange(action_, nullptr);
    action();
    return true;
  }
  std::vector<platform::Notice> notices;
  int withdrawn = 0;

 private:
  std::function<void()> action_;
};

class WatchedProgram {
 public:
  explicit WatchedProgram(const std::string& name) : folder_(name) {
    test::App();
    AppOptions options = test::SimulatedProgramOptions(folder_.Path());
    options.stack.tracePath = (folder_.Path() / "trace.txt").string();
    core = std::make_unique<AppCore>(options);
    std::string error;
    EXPECT_TRUE(core->OpenDevice(&error)) << error;
    // A keyboard away from its factory state: profile 1 disables a key, profile 0's
    // brightness is 1, profile 1 runs.
    sim::VirtualKeyboard& k = *core->Stack().Keyboard();
    for (std::size_t i = 0; i < 3; ++i) k.KeyTables()[1 * 378 + 17 * 3 + i] = 0;
    k.Lighting()[lighting::kRecBrightness] = 1;
    k.DeviceState()[device::kStateActiveProfile] = 1;
    window = std::make_unique<CVantrelDlg>(*core, sink, files);
    window->SetKeyPageModal(false);
    window->InitDialog();
    tray = std::make_unique<CTrayIcon>(*window, [] { return true; });
    watch = std::make_unique<KeyboardWatch>(*core, notifier);
    watch->Install();
    QObject::connect(watch.get(), &KeyboardWatch::checked, [this](int n) { checks.push_back(n); });
    QObject::connect(watch.get(), &KeyboardWatch::writtenAgain, [this](bool ok) { writes.push_back(ok); });
    QObject::connect(watch.get(), &KeyboardWatch::lightingWritten, window.get(), [this] { window->Controller().ReloadLighting(); });
    window->Start(tray.get());
    EXPECT_TRUE(ProcessUntil([this] { return window->InitDone(); }));
    Settle();
  }
  ~WatchedProgram() {
    if (!window->Closing()) window->CloseProgram();
    tray.reset();
    window.reset();
    watch.reset();
    core.reset();
  }
  void Settle() { test::SettleProgram(*core); }
  void Event(const char* name) {
    EXPECT_EQ(window->Controller().HandleInstanceMessage(MsgSimEvent, kSimEventParam, QByteArray(name)), kSimEventDone);
    Settle();
  }
  std::size_t TraceSize() const {
    std::ifstream in(folder_.Path() / "trace.txt");
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind("> CTRL", 0) == 0;
    return n;
  }
  sim::VirtualKeyboard& Keyboard() { return *core->Stack().Keyboard(); }
  template <typename Read>
  auto WithKeyboard(Read read) {
    return core->Stack().Simulator()->WithKeyboard(read);
  }

  test::ProgramFolder folder_;
  AnsweringSink sink;
  NoFiles files;
  FakeNotifier notifier;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CVantrelDlg> window;
  std::unique_ptr<CTrayIcon> tray;
  std::unique_ptr<KeyboardWatch> watch;
  std::vector<int> checks;
  std::vector<bool> writes;
};

bool Has(const QString& text, const char* part) { return text.contains(QString::fromUtf8(part)); }

TEST(KeyboardWatch, AKeyboardResetWhileUnpluggedIsNoticedAndWrittenAgain) {
  WatchedProgram p("watch_reset");
  ASSERT_TRUE(p.notifier.notices.empty());
  const auto tables = p.WithKeyboard([](const sim::VirtualKeyboard& k) { return k.KeyTables(); });

  p.Event("unplug");
  p.Event("reset");
  p.Event("plug");
  ASSERT_TRUE(ProcessUntil([&] { return !p.notifier.notices.empty(); }));
  const platform::Notice& notice = p.notifier.notices.back();
  EXPECT_EQ(notice.summary, QString::fromStdString(p.core->Texts().Text("KEYBOARD_CHANGED_TITLE")));
  EXPECT_TRUE(notice.body.startsWith(QString::fromStdString(p.core->Texts().Text("KEYBOARD_CHANGED_BODY"))));
  EXPECT_TRUE(Has(notice.body, "device state, active profile: written 1, the keyboard holds 0")) << notice.body.toStdString();
  EXPECT_TRUE(Has(notice.body, "profile 1, key ")) << notice.body.toStdString();
  EXPECT_TRUE(Has(notice.body, "profile 0 lighting, brightness: written 1")) << notice.body.toStdString();
  EXPECT_EQ(notice.actionLabel, QString::fromStdString(p.core->Texts().Text("KEYBOARD_CHANGED_WRITE")));
  // The arrival read went on as always: the store holds what the keyboard holds now.
  EXPECT_TRUE(p.core->Session()->Facts().configurationRead);
  EXPECT_EQ(p.core->Session()->Facts().activeProfile, 0);

  ASSERT_TRUE(p.notifier.Act());
  ASSERT_TRUE(ProcessUntil([&] { return !p.writes.empty(); }));
  p.Settle();
  EXPECT_TRUE(p.writes.back());
  EXPECT_EQ(p.notifier.withdrawn, 1);
  EXPECT_EQ(p.WithKeyboard([](const sim::VirtualKeyboard& k) { return k.KeyTables(); }), tables);
  EXPECT_EQ(p.WithKeyboard([](const sim::VirtualKeyboard& k) { return k.Lighting()[lighting::kRecBrightness]; }), 1);
  EXPECT_EQ(p.WithKeyboard([](const sim::VirtualKeyboard& k) { return k.DeviceState()[device::kStateActiveProfile]; }),
            1);
  EXPECT_EQ(p.core->Session()->Facts().activeProfile, 1);

  // The next arrival finds the keyboard in step: no new notice.
  const std::size_t shown = p.notifier.notices.size();
  p.Event("unplug");
  p.Event("plug");
  ASSERT_TRUE(ProcessUntil([&] { return p.checks.size() >= 3; }));
  EXPECT_EQ(p.checks.back(), 0);
  EXPECT_EQ(p.notifier.notices.size(), shown);
}

// A replug of a keyboard that kept its configuration: checked, nothing to tell.
TEST(KeyboardWatch, AKeyboardThatKeptItsConfigurationGivesNoNotice) {
  WatchedProgram p("watch_kept");
  p.Event("unplug");
  p.Event("plug");
  ASSERT_TRUE(ProcessUntil([&] { return p.watch->LastFound() && p.watch->LastFound()->checked; }));
  EXPECT_EQ(p.checks.back(), 0);
  EXPECT_TRUE(p.watch->LastFound()->checked);
  EXPECT_TRUE(p.notifier.notices.empty());
  // After a resume likewise.
  const std::size_t before = p.checks.size();
  p.watch->CheckSoon();
  ASSERT_TRUE(ProcessUntil([&] { return p.checks.size() > before; }));
  EXPECT_EQ(p.checks.back(), 0);
  EXPECT_TRUE(p.notifier.notices.empty());
}

// The write replaces the editing store: with changes not applied the user is asked, and
// No writes nothing and keeps the notice.
TEST(KeyboardWatch, WritingAgainOverUnappliedChangesAsksFirst) {
  WatchedProgram p("watch_edits");
  p.Event("unplug");
  p.Event("reset");
  p.Event("plug");
  ASSERT_TRUE(ProcessUntil([&] { return !p.notifier.notices.empty(); }));
  p.core->Session()->MarkEdited(2);
  const std::size_t sent = p.TraceSize();
  p.sink.answers.push_back(false);
  ASSERT_TRUE(p.notifier.Act());
  p.Settle();
  ASSERT_EQ(p.sink.questions.size(), 1u);
  EXPECT_EQ(p.sink.questions[0], p.core->Texts().Text("KEYBOARD_CHANGED_DROP_EDITS"));
  EXPECT_EQ(p.TraceSize(), sent);
  EXPECT_TRUE(p.core->Session()->Unsaved());
  EXPECT_EQ(p.notifier.notices.size(), 2u);  // offered again
  EXPECT_TRUE(p.watch->WritePending());
}

// While the system sleeps the gate is closed: the check after the resume waits for it,
// and a job asked for meanwhile sends nothing until then.
TEST(KeyboardWatch, DeviceWorkWaitsForTheResume) {
  WatchedProgram p("watch_sleep");
  bool quiet = false;
  p.core->Worker().Gate().Close([&] { quiet = true; });
  EXPECT_TRUE(quiet);  // nothing ran: the sleep may go on at once
  const std::size_t sent = p.TraceSize();
  const std::size_t checks = p.checks.size();
  p.watch->CheckSoon();
  QCoreApplication::processEvents();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  QCoreApplication::processEvents();
  EXPECT_EQ(p.TraceSize(), sent);
  EXPECT_EQ(p.checks.size(), checks);
  p.core->Worker().Gate().Open();
  ASSERT_TRUE(ProcessUntil([&] { return p.checks.size() > checks; }));
  EXPECT_GT(p.TraceSize(), sent);
}

}  // namespace
}  // namespace vantrel::ui
