// vantrelctl's texts come from the language files beside it; --language picks one for a
// single run without storing it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

namespace {

const std::filesystem::path kBinDir = VANTREL_BIN_DIR;

class CtlLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    root = dir.path().toStdString();
    statePath = root / "absent.json";
    // A virtual keyboard that is unplugged: first let the tool write a state file.
    ASSERT_EQ(Run("--language 1033 --simulate " + statePath.string() + " status"), 0);
    std::ifstream in(statePath);
    nlohmann::json state = nlohmann::json::parse(in);
    state["present"] = false;
    std::ofstream(statePath) << state.dump();
  }

  // Runs vantrelctl with its own settings folder and locale; stderr goes to err.
  int Run(const std::string& args, const std::string& locale = "C") {
    const std::string command = "XDG_CONFIG_HOME='" + root.string() + "' LC_ALL='" + locale + "' LANG='" + locale +
                                "' '" + (kBinDir / "vantrelctl").string() + "' " + args + " >/dev/null 2>'" +
                                (root / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream in(root / "err.txt");
    err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Ping(const std::string& options, const std::string& locale = "C") {
    EXPECT_EQ(Run(options + " --simulate " + statePath.string() + " ping --count 1", locale), 3);
    return err;
  }

  std::string StoredSettings() const {
    std::ifstream in(root / "PX204-1127.conf");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  QTemporaryDir dir;
  std::filesystem::path root, statePath;
  std::string err;
};

TEST_F(CtlLanguageTest, LanguageOptionChoosesTheTextsForOneRunOnly) {
  EXPECT_EQ(Ping("--language 1033"), "No keyboard found. Connect the keyboard and try again.\n");
  EXPECT_EQ(Ping("--language 1036"), "Aucun clavier détecté. Branchez le clavier et réessayez.\n");
  EXPECT_EQ(Ping("--language 2052"), "未找到键盘。请连接键盘后重试。\n");
  EXPECT_EQ(Ping("--language 1028"), "找不到鍵盤。請連接鍵盤後再試一次。\n");
  // 3076 is accepted but, like any id outside the first four, shows English.
  EXPECT_EQ(Ping("--language 3076"), "No keyboard found. Connect the keyboard and try again.\n");
  // None of these choices was stored.
  EXPECT_EQ(StoredSettings().find("1036"), std::string::npos) << StoredSettings();
  EXPECT_EQ(StoredSettings().find("2052"), std::string::npos) << StoredSettings();
}

TEST_F(CtlLanguageTest, OtherLanguageIdsAreUsageErrors) {
  for (const char* id : {"1234", "0", "abc", "0x0409"}) {
    EXPECT_EQ(Run(std::string("--language ") + id + " status"), 2) << id;
  }
}

TEST_F(CtlLanguageTest, FirstRunChoosesFromTheLocaleAndStoresTheChoice) {
  std::filesystem::remove(root / "PX204-1127.conf");
  EXPECT_EQ(Ping("", "fr_CH.UTF-8"), "Aucun clavier détecté. Branchez le clavier et réessayez.\n");
  EXPECT_NE(StoredSettings().find("dwLanguageId=1036"), std::string::npos) << StoredSettings();
  // The stored choice wins over the locale from then on.
  EXPECT_EQ(Ping("", "zh_CN.UTF-8"), "Aucun clavier détecté. Branchez le clavier et réessayez.\n");
}

}  // namespace
