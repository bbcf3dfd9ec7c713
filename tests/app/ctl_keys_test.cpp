// vantrelctl keys and macros end to end against the virtual keyboard: every command reads
// the keyboard's configuration, changes it and writes it back; the state file carries the
// keyboard's memory from one run to the next.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "core/keys/key_codes.h"
#include "core/profiles/profile_file.h"

namespace {

namespace fs = std::filesystem;

struct CtlRun {
  int code;
  std::string out;
  std::string err;
};

class CtlKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vantrel_ctl_keys_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The user's folder (working file) lies in the test's folder too, never in the real one.
  CtlRun Ctl(const std::string& args) {
    const fs::path out = dir_ / "out.txt", err = dir_ / "err.txt";
    const std::string cmd = "XDG_DATA_HOME='" + (dir_ / "data").string() + "' '" + VANTREL_BIN_DIR +
                            "/vantrelctl' --simulate='" + (dir_ / "kb.json").string() + "' " + args + " >'" +
                            out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  }

  nlohmann::json State() { return nlohmann::json::parse(Slurp(dir_ / "kb.json")); }
  fs::path WorkingFile() const { return dir_ / "data" / "PX204-1127" / "$Profile0"; }
  // The configuration requests of a run, from its trace.
  int Requests(const fs::path& trace) {
    std::istringstream lines(Slurp(trace));
    int n = 0;
    for (std::string line; std::getline(lines, line);) n += line.rfind("> CTRL", 0) == 0 ? 1 : 0;
    return n;
  }
  void SetState(const nlohmann::json& j) { std::ofstream(dir_ / "kb.json") << j.dump(); }

  fs::path dir_;
};

TEST_F(CtlKeys, SetShowAndResetAKey) {
  CtlRun r = Ctl("keys set --profile 1 Esc key:A");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Esc -> key A"), std::string::npos) << r.out;
  r = Ctl("keys set --profile 1 \"Caps Lock\" mouse:wheel-down");
  ASSERT_EQ(r.code, 0) << r.err;
  r = Ctl("keys --profile 1 --json");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["assignments"].size(), 2u);
  EXPECT_EQ(j["assignments"][0]["key"], "Esc");
  EXPECT_EQ(j["assignments"][0]["value"], 0x1E);
  EXPECT_EQ(j["assignments"][1]["value"], 0x162);
  // The other profiles were not touched.
  r = Ctl("keys --profile 0");
  EXPECT_NE(r.out.find("every key has its factory function"), std::string::npos) << r.out;
  EXPECT_EQ(Ctl("keys set --profile 1 0x001 default").code, 0);
  EXPECT_EQ(nlohmann::json::parse(Ctl("keys --profile 1 --json").out)["assignments"].size(), 1u);
}

// G10..G18 are G1..G9 of the second G-key layer. The keyboard's factory table has entries
// for the first layer only, so an assignment to G16 would never reach it: it is refused
// before anything is written, by name, index or code, and a fresh read shows nothing.
TEST_F(CtlKeys, SecondLayerGKeysAreRefusedWhereTheKeyboardHasNoPlace) {
  ASSERT_EQ(Ctl("keys set --profile 0 G7 key:B").code, 0);
  const std::string tables = State()["key_tables"];
  for (const char* key : {"G16", "g16", "271"}) {
    const CtlRun r = Ctl(std::string("keys set --profile 0 ") + key + " key:A");
    EXPECT_EQ(r.code, 2) << key;
    EXPECT_NE(r.err.find("second G-key layer"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(State()["key_tables"], tables);
  const CtlRun shown = Ctl("keys --profile 0");
  EXPECT_EQ(shown.out, "G7\tkey\tB\n");
}

// A keyboard whose factory table does name G16 (06 A2 10) keeps it like any other key.
TEST_F(CtlKeys, SecondLayerGKeyReachesAKeyboardThatKeepsIt) {
  ASSERT_EQ(Ctl("status").code, 0);
  nlohmann::json state = State();
  // Position 47 is empty on the virtual keyboard; the key tables start as the factory's.
  auto put = [](std::string& hex, std::size_t position) { hex.replace(position * 6, 6, "06a210"); };
  std::string factory = state["factory_key_table"];
  std::string tables = state["key_tables"];
  ASSERT_EQ(factory.substr(47 * 6, 6), "000000");
  put(factory, 47);
  for (std::size_t p = 0; p < 3; ++p) put(tables, p * 126 + 47);
  state["factory_key_table"] = factory;
  state["key_tables"] = tables;
  SetState(state);

  CtlRun r = Ctl("keys set --profile 2 G16 media:3");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("G16 -> media 3"), std::string::npos) << r.out;
  r = Ctl("keys --profile 2 --json");
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["assignments"].size(), 1u) << r.out;
  EXPECT_EQ(j["assignments"][0]["key"], "G16");
  EXPECT_EQ(j["assignments"][0]["index"], 271);
  EXPECT_EQ(j["assignments"][0]["kind"], "media");
}

TEST_F(CtlKeys, UnknownNamesWriteNothing) {
  ASSERT_EQ(Ctl("keys set Esc disabled").code, 0);
  const std::string before = Slurp(dir_ / "kb.json");
  CtlRun r = Ctl("keys set \"Caps Lok\" disabled");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("\"Caps Lock\""), std::string::npos) << r.err;
  r = Ctl("keys set Esc key:Spcae");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("\"Space\""), std::string::npos) << r.err;
  EXPECT_EQ(Ctl("keys set Esc macro:5").code, 2);
  EXPECT_EQ(Ctl("macros add M A+/15").code, 2);  // delays in steps of 10
  // Keys the keyboard has no usage for were stored as "disabled" (or as an empty step) and
  // the command said it had written them.
  for (const char* args : {"keys set \"Right Alt\" key:F13", "keys set A key:\"Sys Req\"", "macros add M F13+ F13-"}) {
    r = Ctl(args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find("cannot send that key"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Slurp(dir_ / "kb.json"), before);
}

TEST_F(CtlKeys, MacrosLifecycle) {
  CtlRun r = Ctl("macros add First --cycles 3 A+/50 A-/10 \"Left Shift+\" B+ B- \"Left Shift-/0\"");
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Ctl("macros add Second G+ G-").code, 0);
  r = Ctl("macros show 1 --json");
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["name"], "First");
  EXPECT_EQ(j["cycles"], 3);
  ASSERT_EQ(j["steps"].size(), 6u);
  EXPECT_EQ(j["steps"][1]["delay"], 10);
  EXPECT_EQ(j["steps"][2]["key"], "Left Shift");
  EXPECT_EQ(j["steps"][3]["delay"], 50);

  ASSERT_EQ(Ctl("keys set --profile 0 G3 macro:2").code, 0);
  // Removing a macro that a key plays needs --yes; the key then returns to its factory
  // function and the ids are reused.
  r = Ctl("macros rm 2");
  EXPECT_EQ(r.code, 1);
  ASSERT_EQ(Ctl("macros rm 2 --yes").code, 0);
  EXPECT_EQ(nlohmann::json::parse(Ctl("keys --profile 0 --json").out)["assignments"].size(), 0u);
  ASSERT_EQ(Ctl("macros add Third C+ C-").code, 0);
  ASSERT_EQ(Ctl("macros rename 2 Renamed").code, 0);
  j = nlohmann::json::parse(Ctl("macros --json").out);
  ASSERT_EQ(j["macros"].size(), 2u);
  EXPECT_EQ(j["macros"][1]["id"], 2);
  EXPECT_EQ(j["macros"][1]["name"], "Renamed");
}

TEST_F(CtlKeys, LanguageOptionNamesKeysInKeysMacrosAndLighting) {
  ASSERT_EQ(Ctl("keys set --profile 1 Esc key:LCtrl").code, 0);
  CtlRun r = Ctl("--language 1036 keys --profile 1");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Échap"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Ctrl gauche"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Esc"), std::string::npos) << r.out;
  // Steps may be named in the language in force too; the other names stay valid.
  r = Ctl("--language 1036 macros add M \"Échap+\" \"ctrl gauche-/20\" PrtSc+ 0x1E-");
  ASSERT_EQ(r.code, 0) << r.err;
  r = Ctl("--language 1036 macros show 1");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Échap+/50"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Ctrl gauche-/20"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Impr. écran+"), std::string::npos) << r.out;
  r = Ctl("--language 1033 macros show 1");
  EXPECT_NE(r.out.find("Esc+/50"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Left Ctrl-/20"), std::string::npos) << r.out;
  r = Ctl("--language 1036 lighting --profile 0");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("(Vague)"), std::string::npos) << r.out;
  EXPECT_NE(Ctl("--language 1033 lighting --profile 0").out.find("(Wave)"), std::string::npos);
}

TEST_F(CtlKeys, EveryCommandTakesTheSameKeyNames) {
  // Display name, short name and a legend only one key carries, in any case.
  for (const char* name : {"\"left ctrl\"", "LCTRL", "lctrl", "1083"}) {
    const CtlRun r = Ctl(std::string("keys set --profile 2 ") + name + " key:prtsc");
    ASSERT_EQ(r.code, 0) << name << ": " << r.err;
    EXPECT_NE(r.out.find("Left Ctrl -> key Print Screen"), std::string::npos) << r.out;
  }
  // Legends on two keys ("Ctrl") name neither, and the close matches are offered.
  const std::string before = Slurp(dir_ / "kb.json");
  CtlRun r = Ctl("keys set Ctrl default");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("\"LCtrl\""), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\"Right Ctrl\""), std::string::npos) << r.err;
  r = Ctl("macros add M Ctrl+");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("did you mean"), std::string::npos) << r.err;
  // Fn is a key of the picture without a key code: it cannot be assigned or played.
  EXPECT_EQ(Ctl("keys set Fn disabled").code, 2);
  EXPECT_EQ(Ctl("keys set Esc key:Fn").code, 2);
  EXPECT_EQ(Slurp(dir_ / "kb.json"), before);
}

// A virtual keyboard without macro capacity is an inconsistent state file: it is refused
// before anything is sent (the apply rules for a full macro area are tested in core).
TEST_F(CtlKeys, NoCapacityRefusesAndSendsNothing) {
  ASSERT_EQ(Ctl("keys set Esc disabled").code, 0);
  auto state = State();
  std::string ds = state["device_state"];
  ds.replace(22, 2, "00");  // byte 11: macro capacity in units of 128 bytes
  state["device_state"] = ds;
  SetState(state);
  const std::string tables = state["key_tables"];
  const CtlRun r = Ctl("keys set Esc key:B");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("byte 11 (macro capacity)"), std::string::npos) << r.err;
  EXPECT_EQ(State()["key_tables"], tables);
}

// The working file mirrors the last configuration read from or written to the keyboard;
// the windows fall back on it when edits are dropped. Key and macro writes from the shell
// used to leave it behind, so dropping edits in the window brought back what the shell
// had since changed.
TEST_F(CtlKeys, WritesKeepTheWorkingFileInStepWithTheKeyboard) {
  ASSERT_EQ(Ctl("export " + (dir_ / "x.json").string()).code, 0);  // reads the keyboard into the working file
  ASSERT_TRUE(fs::exists(WorkingFile()));
  ASSERT_EQ(Ctl("keys set --profile 1 Esc key:A").code, 0);
  ASSERT_EQ(Ctl("macros add M A+ A-").code, 0);
  vantrel::keys::StoreImage image;
  ASSERT_TRUE(vantrel::profiles::LoadProfileImage(WorkingFile(), image));
  const auto esc = image.table.Record(1, vantrel::keys::KeyIndexOfCode(0x001));
  EXPECT_EQ(esc.kind, vantrel::keys::kKindKey);
  EXPECT_EQ(esc.code, 0x1E);
  ASSERT_EQ(image.macros.size(), 1u);
  EXPECT_EQ(image.macros[0].Id(), 1);
}

// A write the keyboard refuses fails the command and says so; the success line is not
// printed.
TEST_F(CtlKeys, AWriteTheKeyboardRefusesFailsTheCommand) {
  const fs::path trace = dir_ / "trace.txt";
  ASSERT_EQ(Ctl("--trace '" + trace.string() + "' keys").code, 0);
  // Every read of `keys set` is the read of `keys`; then the begin request, then the
  // writes. The transaction tries three times.
  const int first = Requests(trace) + 2;
  std::string faults;
  for (int n = first; n < first + 3; ++n) faults += (faults.empty() ? "fe@" : ",fe@") + std::to_string(n);
  for (const char* command : {"keys set Esc key:A", "macros add M A+ A-"}) {
    const CtlRun r = Ctl("--sim-fault " + faults + " " + command);
    EXPECT_EQ(r.code, 1) << command << ": " << r.err;
    EXPECT_NE(r.err.find("the keyboard's configuration was not written"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << command;
  }
}

}  // namespace
