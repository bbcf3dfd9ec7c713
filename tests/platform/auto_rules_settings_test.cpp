// The automatic-switching rules in a settings file, as both programs read and write them,
// and the executable of a process.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/auto_rules_settings.h"
#include "platform/x11_focus_source.h"

namespace vantrel::platform {
namespace {

using namespace vantrel::profiles;

TEST(AutoRulesSettingsFile, WhatOneWriterSavesAnotherReadsBackEvenAfterAShorterList) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("app.conf"));
  AutoRuleSet rules;
  rules.fallback = 1;
  ASSERT_EQ(rules.Add({RuleKind::Title, "a, b ; c = d \"e\"", 2}), RuleError::Ok);
  ASSERT_EQ(rules.Add({RuleKind::App, "steam_app_1", 0}), RuleError::Ok);
  ASSERT_EQ(rules.Add({RuleKind::Executable, "/opt/x y/run", 1}), RuleError::Ok);
  {
    QSettings writer(file, QSettings::IniFormat);
    writer.setValue(QStringLiteral("PROFILES/Flip"), QStringLiteral("1"));  // other settings stay
    ASSERT_TRUE(SaveAutoRules(writer, rules));
  }
  QSettings reader(file, QSettings::IniFormat);
  EXPECT_EQ(LoadAutoRules(reader), rules);

  // The reader is long-lived (the program): a later write by another process is seen.
  AutoRuleSet fewer = rules;
  ASSERT_TRUE(fewer.Remove(0));
  fewer.enabled = false;
  {
    QSettings writer(file, QSettings::IniFormat);
    ASSERT_TRUE(SaveAutoRules(writer, fewer));
  }
  EXPECT_EQ(LoadAutoRules(reader), fewer);
  EXPECT_FALSE(reader.contains(QStringLiteral("AUTO_PROFILES/Rule3")));
  EXPECT_EQ(reader.value(QStringLiteral("PROFILES/Flip")).toString(), QStringLiteral("1"));
}

TEST(AutoRulesSettingsFile, AHandWrittenUnquotedPatternWithCommasIsKept) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("app.conf"));
  {
    std::ofstream out(file.toStdString());
    out << "[AUTO_PROFILES]\nCount=1\nRule1=title,2,x{1,3}\n";
  }
  QSettings settings(file, QSettings::IniFormat);
  const AutoRuleSet rules = LoadAutoRules(settings);
  ASSERT_EQ(rules.rules.size(), 1u);
  EXPECT_EQ(rules.rules[0], (AutoRule{RuleKind::Title, "x{1,3}", 2}));
}

TEST(ProcessExecutable, IsReadFromProcAndUnknownForNoProcess) {
  EXPECT_EQ(std::filesystem::path(ExecutableOfProcess(static_cast<std::uint32_t>(::getpid()))),
            std::filesystem::read_symlink("/proc/self/exe"));
  EXPECT_EQ(ExecutableOfProcess(0), "");
  EXPECT_EQ(ExecutableOfProcess(0x7FFFFFF0u), "");
}

}  // namespace
}  // namespace vantrel::platform
