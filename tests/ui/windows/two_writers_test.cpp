// Two programs on one virtual keyboard: vantrelctl runs key, lighting and profile commands
// in a loop while the program applies edits and switches profiles. Every turn either of
// them takes is recorded in one shared log; no two turns may overlap, no change may be
// lost, and in the end the program shows what vantrelctl reads from the keyboard.
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/keys/assignment.h"
#include "core/keys/key_codes.h"
#include "ui/ui_test_app.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/tray.h"

namespace vantrel::ui {
namespace {

namespace fs = std::filesystem;

struct ShellRun {
  int code = -1;
  std::string out;
};

ShellRun Shell(const std::string& command) {
  ShellRun r;
  FILE* pipe = ::popen(("{ " + command + "; } 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  std::array<char, 4096> buffer{};
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// One turn of one process in the lock log.
struct Turn {
  long long pid = 0;
  long long from = 0;
  long long to = 0;
};

// The log's turns in time order; false when a take has no give or lines are malformed.
bool ReadTurns(const fs::path& log, std::vector<Turn>& turns, std::string& problem) {
  std::ifstream in(log);
  std::map<long long, long long> open;  // pid -> take time
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    long long pid = 0, time = 0, generation = 0;
    std::string what;
    if (!(fields >> pid >> what >> time >> generation)) {
      problem = "malformed line: " + line;
      return false;
    }
    if (what == "take") {
      if (open.count(pid)) {
        problem = "two takes without a give by " + std::to_string(pid);
        return false;
      }
      open[pid] = time;
    } else if (what == "give") {
      if (!open.count(pid)) {
        problem = "a give without a take by " + std::to_string(pid);
        return false;
      }
      turns.push_back({pid, open[pid], time});
      open.erase(pid);
    }
  }
  if (!open.empty()) {
    problem = "a turn never given back";
    return false;
  }
  std::sort(turns.begin(), turns.end(), [](const Turn& a, const Turn& b) { return a.from < b.from; });
  return true;
}

class TwoWriters : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    folder = std::make_unique<test::ProgramFolder>("two_writers");
    dir = folder->Path();
    lockLog = dir / "lock.log";
    // Both programs (this one and every vantrelctl it starts) record their turns here.
    ::setenv("VANTREL_LOCK_LOG", lockLog.c_str(), 1);
    AppOptions options = test::SimulatedProgramOptions(dir);
    options.stack.tracePath = (dir / "program-trace.txt").string();
    core = std::make_unique<AppCore>(options);
    std::string error;
    ASSERT_TRUE(core->OpenDevice(&error)) << error;
    window = std::make_unique<CVantrelDlg>(*core, sink, files);
    window->SetKeyPageModal(false);
    window->InitDialog();
    tray = std::make_unique<CTrayIcon>(*window, [] { return true; });
    window->Start(tray.get());
    ASSERT_TRUE(test::ProcessUntil([this] { return window->InitDone(); }));
    Settle();
  }
  void TearDown() override {
    if (window && !window->Closing()) window->CloseProgram();
    tray.reset();
    window.reset();
    core.reset();
    ::unsetenv("VANTREL_LOCK_LOG");
    folder.reset();
  }

  void Settle() { test::SettleProgram(*core); }
  // Lets the change watcher see the last change and the program read it.
  void SettleAfterOthers() {
    for (int i = 0; i < 5; ++i) {
      QTest::qWait(60);
      Settle();
    }
  }

  std::string Ctl(const std::string& args, const std::string& trace = "") const {
    std::string command = std::string(VANTREL_BIN_DIR) + "/vantrelctl --simulate=" + (dir / "keyboard.json").string();
    if (!trace.empty()) command += " --trace " + (dir / trace).string();
    return command + " " + args;
  }

  // The program's own records of profile p that are not the factory function.
  std::set<std::tuple<int, int, int>> ProgramKeys(int profile) {
    std::set<std::tuple<int, int, int>> keys;
    keys::EditingStore::Lock lock(core->Editing());
    for (std::size_t i = 0; i < keys::kKeyIndexCount; ++i) {
      const auto r = lock->table.Record(static_cast<std::size_t>(profile), i);
      if (r.kind != keys::kKindFactory) keys.insert({static_cast<int>(i), r.kind, r.code});
    }
    return keys;
  }

  // What vantrelctl reads from the keyboard for profile p.
  std::set<std::tuple<int, int, int>> CtlKeys(int profile) const {
    const ShellRun r = Shell(Ctl("keys --json --profile " + std::to_string(profile)));
    EXPECT_EQ(r.code, 0) << r.out;
    std::set<std::tuple<int, int, int>> keys;
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    for (const auto& entry : doc.value("assignments").toArray()) {
      const auto o = entry.toObject();
      keys.insert({o.value("index").toInt(), o.value("kind_number").toInt(), o.value("value").toInt()});
    }
    return keys;
  }

  std::unique_ptr<test::ProgramFolder> folder;
  fs::path dir;
  fs::path lockLog;
  test::FakeMessageSink sink;
  test::FakeFileChooser files;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CVantrelDlg> window;
  std::unique_ptr<CTrayIcon> tray;
};

constexpr int kRounds = 6;
const char* const kLetters[kRounds] = {"A", "B", "C", "D", "E", "F"};

TEST_F(TwoWriters, TurnsNeverOverlapNothingIsLostAndBothViewsAgree) {
  const std::uint16_t f2 = keys::KeyIndexOfCode(0x3C);  // F2: the program's key

  // vantrelctl: F1 of profile 0, the brightness of profile 0, and the active profile.
  std::atomic<int> failures{0};
  std::string failed;
  std::thread ctl([&] {
    for (int i = 0; i < kRounds; ++i) {
      const std::string n = std::to_string(i);
      for (const std::string& args : {"keys set --profile 0 F1 key:" + std::string(kLetters[i]),
                                      "lighting set --profile 0 --brightness " + std::to_string(i % 5),
                                      "profile " + std::to_string(i % 3)}) {
        const ShellRun r = Shell(Ctl(args, "ctl-trace-" + n + ".txt"));
        if (r.code != 0) {
          ++failures;
          failed += args + ": " + r.out;
        }
      }
    }
  });

  // The program meanwhile: profile buttons, and F2 of profiles 1 and 2 disabled or given
  // back its factory function, each change applied at once.
  int lastEdited = -1;
  std::uint16_t lastKind = keys::kKindFactory;
  for (int j = 0; j < 2 * kRounds; ++j) {
    const int profile = j % 3;
    window->Button(ids::kProfile1 + profile)->click();
    Settle();
    const int edited = 1 + j % 2;
    const std::uint16_t kind = (j / 2) % 2 == 0 ? keys::kKindDisabled : keys::kKindFactory;
    {
      keys::EditingStore::Lock lock(core->Editing());
      keys::KeyAssignment record = lock->table.Record(static_cast<std::size_t>(edited), f2);
      record.kind = kind;
      record.code = 0;
      lock->table.SetRecord(static_cast<std::size_t>(edited), f2, record);
    }
    core->Session()->MarkEdited(edited);
    // The Apply button follows the edit through the event loop, as for a user: clicked once
    // it is enabled, and the apply awaited, so every edit of the loop is written.
    ASSERT_TRUE(test::ProcessUntil([this] { return window->Button(ids::kApply)->isEnabled(); }));
    window->Button(ids::kApply)->click();
    ASSERT_TRUE(test::ProcessUntil([this] {
      Settle();
      return !core->Session()->Unsaved();
    })) << "apply " << j << " left its edit pending";
    lastEdited = edited;
    lastKind = kind;
    QTest::qWait(20);
  }
  ctl.join();
  SettleAfterOthers();
  EXPECT_EQ(failures.load(), 0) << failed;
  // A question may come when vantrelctl's change meets an edit not yet applied (answered
  // No: the edits are kept, and the change is read once they are applied), or when a
  // profile button meets edits still pending; nothing else is asked.
  for (const auto& q : sink.questions) {
    EXPECT_TRUE(q == core->Texts().Text("MAIN_PROMPT_OTHER_PROGRAM") || q == core->Texts().Text("PROFILE_SELECT_PROMPT"))
        << q;
  }
  // Every apply was taken: an apply that failed would have said so.
  EXPECT_TRUE(sink.messages.empty()) << sink.messages.front();

  // No two turns overlap, and both programs took turns.
  std::vector<Turn> turns;
  std::string problem;
  ASSERT_TRUE(ReadTurns(lockLog, turns, problem)) << problem;
  std::set<long long> pids;
  for (std::size_t i = 0; i < turns.size(); ++i) {
    pids.insert(turns[i].pid);
    if (i > 0) {
      EXPECT_LE(turns[i - 1].to, turns[i].from)
          << "turn of " << turns[i].pid << " began inside a turn of " << turns[i - 1].pid;
    }
  }
  EXPECT_EQ(pids.count(::getpid()), 1u);
  EXPECT_GE(pids.size(), 2u) << "vantrelctl took no turn";

  // Nothing lost: each program's last change is on the keyboard.
  const auto profile0 = CtlKeys(0);
  const std::uint16_t f1 = keys::KeyIndexOfCode(0x3B);
  bool f1Found = false;
  for (const auto& [index, kind, value] : profile0) {
    if (index == f1) {
      f1Found = true;
      EXPECT_EQ(kind, keys::kKindKey);
      EXPECT_EQ(value, 0x21);  // F (make code 0x21): the last letter
    }
  }
  EXPECT_TRUE(f1Found);
  const ShellRun lighting = Shell(Ctl("lighting --json --profile 0"));
  EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(lighting.out)).object().value("brightness").toInt(-1),
            (kRounds - 1) % 5)
      << lighting.out;
  const auto edited = CtlKeys(lastEdited);
  const bool disabled = edited.count({f2, keys::kKindDisabled, 0}) == 1;
  std::string asked;
  for (const auto& q : sink.questions) asked += q + "\n";
  EXPECT_EQ(disabled, lastKind == keys::kKindDisabled)
      << "edits pending: " << core->Session()->Unsaved() << "; asked:\n" << asked;

  // Both views agree: the program shows the keyboard's active profile and its keys.
  const ShellRun active = Shell(Ctl("profile"));
  ASSERT_EQ(active.code, 0) << active.out;
  EXPECT_EQ(active.out, std::to_string(window->CurrentProfile()) + "\n");
  for (int p = 0; p < 3; ++p) EXPECT_EQ(ProgramKeys(p), CtlKeys(p)) << "profile " << p;
}

// The program has edits of its own when vantrelctl changes the keyboard: it asks, and No
// keeps the edits without reading anything; Yes reads what vantrelctl wrote.
TEST_F(TwoWriters, AChangeByAnotherProgramAsksFirstWhenEditsArePending) {
  const std::uint16_t f2 = keys::KeyIndexOfCode(0x3C);
  {
    keys::EditingStore::Lock lock(core->Editing());
    keys::KeyAssignment record = lock->table.Record(1, f2);
    record.kind = keys::kKindDisabled;
    lock->table.SetRecord(1, f2, record);
  }
  core->Session()->MarkEdited(1);
  sink.answers = {false};
  ASSERT_EQ(Shell(Ctl("keys set --profile 0 F1 key:A")).code, 0);
  SettleAfterOthers();
  ASSERT_EQ(sink.questions.size(), 1u);
  EXPECT_EQ(sink.questions[0], core->Texts().Text("MAIN_PROMPT_OTHER_PROGRAM"));
  EXPECT_TRUE(core->Session()->Unsaved());
  EXPECT_EQ(ProgramKeys(0).size(), 0u);  // not read
  // Once the edits are applied, the change kept out is read without another question.
  window->Button(ids::kApply)->click();
  SettleAfterOthers();
  EXPECT_EQ(sink.questions.size(), 1u);
  EXPECT_FALSE(core->Session()->Unsaved());
  EXPECT_EQ(ProgramKeys(0), CtlKeys(0));
  EXPECT_EQ(ProgramKeys(1), CtlKeys(1));
  EXPECT_EQ(ProgramKeys(1).count({f2, keys::kKindDisabled, 0}), 1u);

  // Edits pending again; this time Yes: vantrelctl's change is read and the edits dropped.
  {
    keys::EditingStore::Lock lock(core->Editing());
    keys::KeyAssignment record = lock->table.Record(1, f2);
    record.kind = keys::kKindFactory;
    lock->table.SetRecord(1, f2, record);
  }
  core->Session()->MarkEdited(1);
  sink.answers = {true};
  ASSERT_EQ(Shell(Ctl("keys set --profile 0 F1 key:B")).code, 0);
  SettleAfterOthers();
  ASSERT_EQ(sink.questions.size(), 2u);
  EXPECT_FALSE(core->Session()->Unsaved());
  EXPECT_EQ(ProgramKeys(0), CtlKeys(0));
  EXPECT_EQ(ProgramKeys(1), CtlKeys(1));  // the dropped edit is gone from the view too
  EXPECT_EQ(ProgramKeys(1).count({f2, keys::kKindDisabled, 0}), 1u);

  // Without edits nothing is asked: the view just follows.
  ASSERT_EQ(Shell(Ctl("keys set --profile 2 F1 key:C")).code, 0);
  SettleAfterOthers();
  EXPECT_EQ(sink.questions.size(), 2u);
  EXPECT_EQ(ProgramKeys(2), CtlKeys(2));
}

}  // namespace
}  // namespace vantrel::ui
