// vantrelctl backup, restore, validate, export, import and update against the virtual
// keyboard. The per-user folder is redirected into the test's folder.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/device/commands.h"
#include "core/keys/key_codes.h"
#include "core/profiles/profile_file.h"
#include "ctl_folder_test.h"

namespace vantrel::test {
namespace {

class CtlProfilesTest : public CtlFolderTest {
 protected:
  void SetUp() override {
    CtlFolderTest::SetUp();
    trace = (dir / "trace.txt").string();
  }
  // The working folder lives under XDG_DATA_HOME.
  static std::string Env(const std::filesystem::path& d) { return "XDG_DATA_HOME=" + (d / "data").string() + " "; }
  CtlResult RunEnv(const std::string& args) {
    const std::string command = Env(dir) + std::string(VANTREL_BIN_DIR) + "/vantrelctl --simulate=" +
                                (dir / "state.json").string() + " --trace " + trace + " " + args;
    return Shell(command);
  }
  static CtlResult Shell(const std::string& command) {
    CtlResult r;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }
  int ConfigRequests() {
    std::ifstream in(trace);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) n += line.rfind("> CTRL", 0) == 0 ? 1 : 0;
    return n;
  }
  std::filesystem::path WorkingFile() { return dir / "data" / "PX204-1127" / "$Profile0"; }

  std::string trace;
};

TEST_F(CtlProfilesTest, BackupGoesThroughTheWorkingFileAndWithoutKeyboardIsTheDefault) {
  const auto file = (dir / "a.vnp").string();
  auto r = RunEnv("backup " + file);
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(std::filesystem::exists(WorkingFile()));
  EXPECT_EQ(Slurp(file), Slurp(WorkingFile()));
  EXPECT_EQ(RunEnv("validate " + file).out, "1: valid profile file\n");

  EXPECT_EQ(RunEnv("sim unplug").code, 0);
  const auto empty = (dir / "b.vnp").string();
  r = RunEnv("backup " + empty);
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string bytes = Slurp(empty);
  ASSERT_EQ(bytes.size(), 32832u);
  keys::AssignmentTable fresh;
  EXPECT_EQ(0, std::memcmp(bytes.data(), fresh.Bytes().data(), bytes.size()));
}

// The per-user data folder lies under a regular file, so it cannot be created or written
// (not even by root): the message names that folder, not the keyboard, and nothing is
// backed up.
TEST_F(CtlProfilesTest, BackupWithAnUnwritableUserFolderNamesTheFolder) {
  std::ofstream(dir / "blocker") << "x";
  const auto data = dir / "blocker" / "data";
  const auto file = (dir / "a.vnp").string();
  const CtlResult r = Shell("XDG_DATA_HOME=" + data.string() + " " + std::string(VANTREL_BIN_DIR) +
                            "/vantrelctl --simulate=" + (dir / "state.json").string() + " backup " + file);
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find((data / "PX204-1127").string() + " is not writable"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("could not be read"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(CtlProfilesTest, RestoreWritesAllProfilesAndBadFilesSendNothing) {
  // Profile 3 (table 2) disables the "1" key; the file has one macro.
  keys::StoreImage image;
  const std::uint16_t one = keys::KeyIndexOfCode(0x02);
  image.table.SetRecord(2, one, keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  image.macros.push_back(keys::NewMacro(u"m1", 1));
  const auto file = dir / "in.vnp";
  ASSERT_TRUE(profiles::SaveProfileImage(file, image));

  auto r = RunEnv("restore " + file.string());
  ASSERT_EQ(r.code, 0) << r.out;
  // The working file follows the write, made when there was none.
  EXPECT_TRUE(std::filesystem::is_regular_file(WorkingFile()));
  const auto back = dir / "back.vnp";
  ASSERT_EQ(RunEnv("backup " + back.string()).code, 0);
  keys::StoreImage read;
  ASSERT_TRUE(profiles::LoadProfileImage(back, read));
  EXPECT_EQ(read.table.Record(2, one).kind, keys::kKindDisabled);
  EXPECT_EQ(read.table.Record(1, one).kind, keys::kKindFactory);
  EXPECT_EQ(read.macros.size(), 1u);

  // A header failure, a short file and a missing file: exit 1, no report sent.
  std::string bad = Slurp(file);
  bad[4] = 9;
  std::ofstream(dir / "bad.vnp", std::ios::binary) << bad;
  std::ofstream(dir / "short.vnp", std::ios::binary) << "abc";
  for (const char* name : {"bad.vnp", "short.vnp", "missing.vnp"}) {
    std::filesystem::remove(trace);
    r = RunEnv(std::string("restore ") + (dir / name).string());
    EXPECT_EQ(r.code, 1) << name << r.out;
    EXPECT_EQ(ConfigRequests(), 0) << name;
  }
  r = RunEnv("validate " + (dir / "bad.vnp").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("0: refused"), std::string::npos) << r.out;
  EXPECT_EQ(RunEnv("validate " + (dir / "missing.vnp").string()).code, 1);
}

TEST_F(CtlProfilesTest, JsonExportImportRoundTripsAndNamesBadFields) {
  keys::StoreImage image;
  image.table.SetRecord(0, keys::KeyIndexOfCode(0x3A), keys::KeyAssignment{keys::kKindKey, 0, 0x1D, 0, 0});
  image.table.SetRecord(1, keys::KeyIndexOfCode(0x02), keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  keys::MacroRecord m = keys::NewMacro(u"copy", 1);
  const keys::MacroAction steps[] = {{10, 0x1D, keys::kPress}, {20, 0x2E, keys::kPress}, {5, 0x2E, keys::kRelease}};
  m.SetActions(steps);
  image.macros.push_back(m);
  ASSERT_TRUE(profiles::SaveProfileImage(dir / "in.vnp", image));
  ASSERT_EQ(RunEnv("restore " + (dir / "in.vnp").string()).code, 0);

  const auto first = (dir / "one.json").string();
  auto r = RunEnv("export " + first);
  ASSERT_EQ(r.code, 0) << r.out;
  const auto doc = nlohmann::json::parse(Slurp(first));
  EXPECT_EQ(doc["format"], "vantrel-profile");
  ASSERT_EQ(doc["macros"].size(), 1u);
  EXPECT_EQ(doc["macros"][0]["steps"].size(), 3u);
  EXPECT_EQ(doc["macros"][0]["steps"][2]["action"], "release");

  // Back in through the restore path, out again: the same document.
  EXPECT_EQ(RunEnv("sim reset").code, 0) << "sim reset";
  r = RunEnv("import " + first);
  ASSERT_EQ(r.code, 0) << r.out;
  const auto second = (dir / "two.json").string();
  ASSERT_EQ(RunEnv("export " + second).code, 0);
  EXPECT_EQ(Slurp(first), Slurp(second));

  auto broken = doc;
  broken["profiles"][0]["keys"][0]["kind"] = "teleport";
  std::ofstream(dir / "bad.json") << broken.dump();
  std::filesystem::remove(trace);
  r = RunEnv("import " + (dir / "bad.json").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("profiles[0].keys[0].kind: unknown kind 'teleport'"), std::string::npos) << r.out;
  EXPECT_EQ(ConfigRequests(), 0);
  broken = doc;
  broken["macros"][0]["steps"][1]["delay"] = 40001;
  std::ofstream(dir / "bad2.json") << broken.dump();
  r = RunEnv("import " + (dir / "bad2.json").string());
  EXPECT_NE(r.out.find("macros[0].steps[1].delay: out of range"), std::string::npos) << r.out;
}

// The number (from 1) of the first request of a run whose command byte is `command`; 0
// when there is none. A traced request reads "> CTRL" and its bytes, the command fourth.
int FirstRequestOf(const std::string& trace, int command) {
  std::istringstream lines(Slurp(trace));
  int n = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("> CTRL", 0) != 0) continue;
    ++n;
    if (line.size() > 18 && std::stoi(line.substr(16, 2), nullptr, 16) == command) return n;
  }
  return 0;
}

// A key-colour write the keyboard refuses fails the import, naming the key colours; the
// import used to report success without them.
TEST_F(CtlProfilesTest, ImportFailsWhenTheKeyboardRefusesTheKeyColours) {
  const auto document = (dir / "lit.json").string();
  ASSERT_EQ(RunEnv("export " + document).code, 0);
  ASSERT_NE(Slurp(document).find("\"key_colours\""), std::string::npos);
  const auto state = dir / "state.json";
  const auto saved = dir / "state-before.json";
  std::filesystem::copy_file(state, saved);
  std::filesystem::remove(trace);
  auto r = RunEnv("import " + document);
  ASSERT_EQ(r.code, 0) << r.out;
  const int first = FirstRequestOf(trace, device::kCmdWriteKeyColours);
  ASSERT_GT(first, 0);

  // The same run on the same keyboard, its first key-colour chunk refused on every attempt.
  std::filesystem::copy_file(saved, state, std::filesystem::copy_options::overwrite_existing);
  std::string faults;
  for (int n = first; n < first + 3; ++n) {
    if (!faults.empty()) faults += ',';
    faults += "ff@" + std::to_string(n);
  }
  r = RunEnv("--sim-fault " + faults + " import " + document);
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("the keyboard did not take the key colours of profile 0"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("imported"), std::string::npos) << r.out;
}

TEST_F(CtlProfilesTest, UpdateNeedsAnExistingProgramThenEntersBootMode) {
  // The messages are language texts: Simplified Chinese here.
  auto r = RunEnv("--language 2052 update " + (dir / "nothing.exe").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("请选择正确的更新文件! "), std::string::npos) << r.out;
  EXPECT_EQ(RunEnv("status").code, 0);

  // Files that cannot be started used to get the boot request first: the keyboard was
  // left in boot mode. Now they are refused with the reason and the keyboard stays.
  std::ofstream(dir / "noise.bin") << "\x13\x37 random bytes";
  std::ofstream(dir / "script.sh") << "#!/nonexistent/interpreter\necho hi\n";
  for (const char* name : {"noise.bin", "script.sh"}) {
    std::filesystem::permissions(dir / name, std::filesystem::perms::owner_all);
  }
  std::filesystem::create_symlink("/dev/zero", dir / "zero");
  for (const auto& [name, reason] :
       {std::pair<std::string, std::string>{"noise.bin", "is neither a program nor a script starting with #!"},
        {"script.sh", "is a script whose interpreter /nonexistent/interpreter does not exist"},
        {"zero", "is not a regular file"}}) {
    r = RunEnv("--language 2052 update " + (dir / name).string());
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("请选择正确的更新文件! \n" + (dir / name).string() + ": " + reason), std::string::npos) << r.out;
    EXPECT_EQ(RunEnv("status").code, 0) << name;
  }

  r = RunEnv("update /bin/true");
  EXPECT_EQ(r.code, 0) << r.out;
  // In boot mode the keyboard no longer counts as present.
  EXPECT_EQ(RunEnv("status").code, 3);
}

}  // namespace
}  // namespace vantrel::test
