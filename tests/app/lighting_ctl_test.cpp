// vantrelctl lighting, colours and preview against the virtual keyboard, run as the
// user runs them; checked on exit codes, output, the trace and the colour files.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct CtlRun {
  int exitCode;
  std::string out;
};

class LightingCtl : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vantrel_lightctl_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  CtlRun Ctl(const std::string& args, bool trace = false) {
    const auto tracePath = dir_ / "trace.txt";
    fs::remove(tracePath);
    const std::string cmd = "XDG_DATA_HOME='" + (dir_ / "data").string() + "' '" + VANTREL_BIN_DIR +
                            "/vantrelctl' --simulate='" + (dir_ / "sim.json").string() + "' " +
                            (trace ? "--trace '" + tracePath.string() + "' " : "") + args + " 2>&1";
    CtlRun r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }

  // The host's reports of the last traced run: command, offset and payload in hex.
  std::vector<std::string> Writes() const {
    std::ifstream in(dir_ / "trace.txt");
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("> CTRL ", 0) != 0) continue;
      std::istringstream s(line.substr(7));
      std::vector<std::string> b;
      std::string h;
      while (s >> h) b.push_back(h);
      if (b.size() < 8 || (b[3] != "06" && b[3] != "11")) continue;
      const int length = std::stoi(b[4], nullptr, 16);
      std::string w = b[3] + " @" + std::to_string(std::stoi(b[5], nullptr, 16) | (std::stoi(b[6], nullptr, 16) << 8)) + ":";
      for (int i = 0; i < length && 8 + i < static_cast<int>(b.size()); ++i) w += " " + b[8 + static_cast<std::size_t>(i)];
      out.push_back(w);
    }
    return out;
  }

  fs::path dir_;
};

TEST_F(LightingCtl, SetSendsOneWritePerOptionInOrder) {
  ASSERT_EQ(Ctl("lighting set --profile 1 --effect 5 --multicolour on").exitCode, 0);
  auto r = Ctl("lighting set --profile 1 --speed 0 --effect 13 --colour 102030 --report-rate 500", true);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Writes(), (std::vector<std::string>{"06 @44: 04", "06 @42: 0d", "06 @46: 01", "06 @46: 00",
                                                "06 @47: 10 20 30", "06 @57: 02"}));
  r = Ctl("lighting --profile 1 --json");
  EXPECT_NE(r.out.find("\"effect\": 13"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"colour\": \"102030\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"report_rate\": 500"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"report_rate_button\": 2"), std::string::npos) << r.out;
}

// The report rate is given and shown in Hz; the button numbers of earlier versions still
// mean their rate, and any other number is refused before anything is sent.
TEST_F(LightingCtl, ReportRateIsInHertz) {
  const std::pair<const char*, const char*> cases[] = {
      {"1000", "06 @15: 03"}, {"125", "06 @15: 00"}, {"250", "06 @15: 01"}, {"1", "06 @15: 01"}, {"3", "06 @15: 03"}};
  for (const auto& [rate, write] : cases) {
    auto r = Ctl(std::string("lighting set --profile 0 --report-rate ") + rate, true);
    ASSERT_EQ(r.exitCode, 0) << rate << "\n" << r.out;
    EXPECT_EQ(Writes(), std::vector<std::string>{write}) << rate;
  }
  for (const char* refused : {"4", "1001", "500Hz"}) {
    auto r = Ctl(std::string("lighting set --profile 0 --report-rate ") + refused, true);
    EXPECT_EQ(r.exitCode, 2) << refused << "\n" << r.out;
    EXPECT_NE(r.out.find("125, 250, 500 or 1000"), std::string::npos) << r.out;
    EXPECT_TRUE(Writes().empty()) << refused;
  }
  ASSERT_EQ(Ctl("lighting set --profile 0 --report-rate 500").exitCode, 0);
  EXPECT_NE(Ctl("lighting --profile 0").out.find("report rate:     500 Hz\n"), std::string::npos);
}

TEST_F(LightingCtl, RefusedOptionsSendNothing) {
  // Effect 4 has no direction; the effect change before it must not go out either.
  auto r = Ctl("lighting set --effect 4 --direction left", true);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("has no direction"), std::string::npos) << r.out;
  EXPECT_TRUE(Writes().empty());
  r = Ctl("lighting set --effect 19", true);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("does not offer effect 19"), std::string::npos) << r.out;
  EXPECT_TRUE(Writes().empty());
  r = Ctl("lighting set --effect 12 --direction left", true);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("up or down"), std::string::npos) << r.out;
  r = Ctl("lighting set --effect 12 --direction up --effect 17 --choice blue", true);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Writes(), (std::vector<std::string>{"06 @0: 0c", "06 @3: ff", "06 @0: 11", "06 @17: 03"}));
}

TEST_F(LightingCtl, PaintingNeedsEffect20ThenWritesKeyboardAndFile) {
  auto r = Ctl("colours --profile 1 paint Esc --colour 00ff00", true);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Writes().empty() || Writes().front().rfind("11", 0) != 0);
  ASSERT_EQ(Ctl("lighting set --profile 1 --effect 20").exitCode, 0);
  r = Ctl("colours --profile 1 paint Esc Fn --colour 00ff00", true);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  // The keys, then each profile's selected mode whole (eight chunks): a fresh keyboard
  // shows its factory colours, not the colour files' modes.
  auto writes = Writes();
  ASSERT_EQ(writes.size(), 2u + 3 * 8);
  EXPECT_EQ(std::vector<std::string>(writes.begin(), writes.begin() + 2),
            (std::vector<std::string>{"11 @512: 00 ff 00", "11 @842: 00 ff 00"}));
  EXPECT_EQ(writes[2].substr(0, 7), "11 @0: ");
  EXPECT_EQ(writes[2 + 8].rfind("11 @512: 00 ff 00", 0), 0u) << writes[2 + 8];
  std::ifstream file(dir_ / "data" / "PX204-1127" / "UserDengColor_1.userd");
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find("110 = 0,255,0,0"), std::string::npos);
  r = Ctl("colours --profile 1 paint NoSuchKey");
  EXPECT_EQ(r.exitCode, 2);

  // The key names of keys set: display name, short name, a unique legend, a control id.
  r = Ctl("colours --profile 1 paint \"left ctrl\" PrtSc 1058 g4 --colour 0000ff", true);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Writes(), (std::vector<std::string>{"11 @827: 00 00 ff", "11 @554: 00 00 ff", "11 @704: 00 00 ff",
                                                "11 @887: 00 00 ff"}));
  r = Ctl("colours --profile 1 paint Lctlr");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("\"LCtrl\""), std::string::npos) << r.out;
  // A key of the key name table that has no light on the keyboard.
  r = Ctl("colours --profile 1 paint \"Sys Req\"", true);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Writes().empty());
}

// Key colours the keyboard refuses fail the command, naming what was refused; they used
// to be reported as painted. The request to refuse is found by a traced run first.
TEST_F(LightingCtl, RefusedKeyColoursFailTheCommand) {
  ASSERT_EQ(Ctl("lighting set --profile 1 --effect 20").exitCode, 0);
  // The number of the first key-colour report of the last traced run (0: none).
  const auto firstColourRequest = [&] {
    std::ifstream in(dir_ / "trace.txt");
    int n = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("> CTRL ", 0) != 0) continue;
      ++n;
      if (line.substr(7 + 3 * 3, 2) == "11") return n;
    }
    return 0;
  };
  const auto refused = [](int request) {
    std::string faults = "--sim-fault ";
    for (int n = request; n < request + 3; ++n) {
      if (n != request) faults += ',';
      faults += "ff@" + std::to_string(n);
    }
    return faults + ' ';
  };

  for (const std::string command : {"paint Esc --colour 00ff00", "base 123456", "mode 4", "default"}) {
    SCOPED_TRACE(command);
    auto r = Ctl("colours --profile 1 " + command, true);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const int request = firstColourRequest();
    ASSERT_GT(request, 0);
    r = Ctl(refused(request) + "colours --profile 1 " + command);
    if (command == "base 123456") {
      // The base colour is that already: nothing to send, no refusal.
      EXPECT_EQ(r.exitCode, 0) << r.out;
      EXPECT_NE(r.out.find("already"), std::string::npos) << r.out;
      r = Ctl(refused(request) + "colours --profile 1 base 654321");
    }
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("the keyboard did not take the "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(command.rfind("paint", 0) == 0 ? "colour of Esc in profile 1" : "key colours of profile 1"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("(slot 0)"), std::string::npos) << r.out;
  }
}

// The shipped mode names were printed in English whatever the language.
TEST_F(LightingCtl, ModeNamesFollowTheLanguageAndTypedNamesStay) {
  ASSERT_EQ(Ctl("colours mode 2 --name Lagoon").exitCode, 0);
  const CtlRun fr = Ctl("--language 1036 colours mode");
  ASSERT_EQ(fr.exitCode, 0) << fr.out;
  EXPECT_NE(fr.out.find("1  Braise\n"), std::string::npos) << fr.out;
  EXPECT_NE(fr.out.find("2  Lagoon\n"), std::string::npos) << fr.out;
  EXPECT_NE(Ctl("colours mode").out.find("1  Ember\n"), std::string::npos);
}

TEST_F(LightingCtl, PreviewPrintsHexRowsWhenNotATerminal) {
  const auto r = Ctl("preview --effect 4 --frames 2");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  std::istringstream in(r.out);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], "frame 1");
  EXPECT_EQ(lines[1].substr(0, 20), "------ ------ FF0500");  // wheel[2] on Esc
  EXPECT_EQ(lines[8].substr(14, 6), "FF0A00");
  EXPECT_EQ(Ctl("preview --effect 9").out, "effect 9 has no preview: the keys show their captions\n");
}

}  // namespace
