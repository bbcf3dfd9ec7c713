#include "platform/settings_store_qt.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/scoped_env.h"

namespace vantrel::platform {
namespace {

class QSettingsStoreTest : public ::testing::Test {
 protected:
  QString File() const { return dir.filePath("settings.ini"); }
  QTemporaryDir dir;
};

TEST_F(QSettingsStoreTest, RoundTripsThirtyTwoBitValues) {
  ASSERT_TRUE(dir.isValid());
  QSettingsStore store(File());
  EXPECT_FALSE(store.ReadDword("dwLanguageId"));
  for (std::uint32_t value : {0u, 1033u, 3076u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    ASSERT_TRUE(store.WriteDword("dwLanguageId", value));
    EXPECT_EQ(store.ReadDword("dwLanguageId"), value);
  }
  // Another store over the same file sees what was written.
  QSettingsStore other(File());
  EXPECT_EQ(other.ReadDword("dwLanguageId"), 0xFFFFFFFFu);
}

TEST_F(QSettingsStoreTest, ValuesThatAreNotThirtyTwoBitNumbersReadAsAbsent) {
  {
    QSettings raw(File(), QSettings::IniFormat);
    raw.setValue("text", "English");
    raw.setValue("negative", -5);
    raw.setValue("big", QString("4294967296"));
    raw.setValue("plus", QString("+7"));
    raw.setValue("empty", QString());
    raw.setValue("list", QStringList{"1", "2"});
    raw.setValue("spaced", QString(" 2052 "));
    raw.sync();
  }
  QSettingsStore store(File());
  for (const char* name : {"text", "negative", "big", "plus", "empty", "list"}) {
    EXPECT_FALSE(store.ReadDword(name)) << name;
  }
  EXPECT_EQ(store.ReadDword("spaced"), 2052u);
}

TEST_F(QSettingsStoreTest, ChangesByAnotherWriterAreSeenAtTheNextRead) {
  QSettingsStore store(File());
  ASSERT_TRUE(store.WriteDword("dwLanguageId", 1033));
  EXPECT_EQ(store.ReadDword("dwLanguageId"), 1033u);
  {
    QSettings installer(File(), QSettings::IniFormat);
    installer.setValue("dwLanguageId", 1036);
    installer.sync();
  }
  EXPECT_EQ(store.ReadDword("dwLanguageId"), 1036u);
}

TEST(LocaleSystemLanguage, FollowsTheMessagesLocaleOfTheEnvironment) {
  const LocaleSystemLanguage system;
  {
    ScopedEnv all("LC_ALL", "fr_CA.UTF-8"), messages("LC_MESSAGES", "de_DE"), lang("LANG", "ja_JP");
    EXPECT_EQ(system.DefaultLanguageId(), 0x0C0Cu);
  }
  {
    ScopedEnv all("LC_ALL", ""), messages("LC_MESSAGES", "zh_TW.UTF-8"), lang("LANG", "en_GB");
    EXPECT_EQ(system.DefaultLanguageId(), 0x0404u);
  }
  {
    ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "en_AU.UTF-8");
    EXPECT_EQ(system.DefaultLanguageId(), 0x0C09u);
  }
}

}  // namespace
}  // namespace vantrel::platform
