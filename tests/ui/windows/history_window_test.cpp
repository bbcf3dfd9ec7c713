// The History window over the virtual keyboard: the entries the writes left, the selected
// one's differences, "Restore this" with its question, a language change while open, and
// screenshots in English and French.
#include "ui/windows/history_window.h"

#include <QDir>
#include <QHeaderView>
#include <QSignalSpy>

#include <fstream>
#include <memory>

#include "core/keys/assignment.h"
#include "language_file_texts.h"
#include "scripting/history_recorder.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/profile_harness.h"

namespace vantrel::ui::test {
namespace {

// The language in force, switched while the window is open.
class SwitchedTexts final : public text::TextSource {
 public:
  std::string Text(std::string_view key) const override { return current->Text(key); }
  std::string LightText(std::string_view key) const override { return current->LightText(key); }
  std::string ModeText(std::string_view key) const override { return current->ModeText(key); }
  const text::TextSource* current = nullptr;
};

class HistoryWindowTest : public ::testing::Test, private WithApp {
 protected:
  HistoryWindowTest()
      : dir(vantrel::test::ScratchFolder(std::string("ui-history-") +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        service(sim.commands, editing, applied, cache, profiles::ProfilePaths{dir / "user", dir / "program"}, texts,
                serviceSink),
        session(service, editing, applied, texts, serviceSink) {
    texts.current = &english;
    SetProcessEndAction([](int) { ADD_FAILURE() << "a skin picture is missing"; });
    recorder.SetColourFiles(&colourFiles);
    service.SetRecorder(&recorder);
    EXPECT_TRUE(service.ReloadFromDevice());
    session.ConfigurationLoaded();
  }
  ~HistoryWindowTest() override { worker.WaitIdle(); }

  void Settle() {
    for (int i = 0; i < 4; ++i) {
      worker.WaitIdle();
      QCoreApplication::processEvents();
    }
  }
  // One Apply from the window: `key` of profile 0 disabled.
  void DisableAndApply(std::uint16_t key) {
    {
      keys::EditingStore::Lock lock(editing);
      keys::StoreKeyAssignment(lock.Image(), 0, key, {keys::kKindDisabled, 0, 0, 0, 0});
    }
    session.MarkEdited(0);
    ASSERT_EQ(session.Apply(), profiles::ApplyResult::Applied);
  }
  std::unique_ptr<HistoryWindow> Open() {
    HistoryWindowDeps deps{worker, session, store, colourFiles, texts, uiSink};
    auto w = std::make_unique<HistoryWindow>(deps, QDir(QStringLiteral(VANTREL_BIN_DIR "/Skins")).filePath("History.ini"),
                                             QStringLiteral(VANTREL_BIN_DIR "/Skins"));
    w->Open();
    Settle();
    return w;
  }
  static void Save(QWidget& w, const QString& name) {
    const QString folder = QStringLiteral(VANTREL_BIN_DIR "/../screenshots/history");
    QDir().mkpath(folder);
    EXPECT_TRUE(w.grab().save(QDir(folder).filePath(name)));
  }
  static QStringList Column(const CReportCtrl& list, int column) {
    QStringList texts;
    for (int r = 0; r < list.GetItemCount(); ++r) texts.push_back(list.GetItemText(r, column));
    return texts;
  }

  std::filesystem::path dir;
  vantrel::test::SimHarness sim;
  keys::EditingStore editing;
  keys::AppliedStore applied;
  std::atomic<int> cache{-1};
  vantrel::test::LanguageFileTexts english{"0409"};
  vantrel::test::LanguageFileTexts french{"040C"};
  SwitchedTexts texts;
  LockedSink serviceSink;
  profiles::ProfileService service;
  profiles::EditSession session;
  DeviceWorker worker;
  FakeMessageSink uiSink;
  lighting::KeyColourEditor colourFiles{dir / "user", std::filesystem::path(VANTREL_SOURCE_DIR) / "data" / "Skins" /
                                                          "UserDengColor_3.userd"};
  profiles::HistoryStore store{dir / "history"};
  scripting::HistoryRecorder recorder{store, sim.commands, texts, profiles::HistorySource::Window};
};

TEST_F(HistoryWindowTest, ListsEntriesShowsDifferencesAndRestoresAfterAsking) {
  const auto first = sim.keyboard.KeyTables();
  DisableAndApply(0x3A);  // Caps Lock
  DisableAndApply(0x01);  // Esc
  auto w = Open();
  ASSERT_EQ(w->list()->GetItemCount(), 2);
  EXPECT_EQ(Column(*w->list(), 2), QStringList({"keys of Profile 1: Esc", "keys of Profile 1: Caps Lock"}));
  EXPECT_EQ(Column(*w->list(), 1), QStringList({"window", "window"}));
  EXPECT_FALSE(w->button(kIdHistoryRestore)->isEnabled()) << "nothing selected";

  // The oldest entry: both keys differ from the keyboard now, in verify's words.
  w->list()->setCurrentItem(w->list()->topLevelItem(1));
  Settle();
  const QStringList lines = Column(*w->differences(), 0);
  ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].contains("key Esc")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].contains("key Caps Lock")) << lines[1].toStdString();
  Save(*w, "history_en.png");

  // With an edit pending the question says it is lost; No writes nothing.
  session.MarkEdited(1);
  sim.ClearTrace();
  w->RestoreSelected();
  Settle();
  ASSERT_EQ(uiSink.questions.size(), 1u);
  EXPECT_NE(uiSink.questions[0].find("not applied will be lost"), std::string::npos) << uiSink.questions[0];
  EXPECT_TRUE(sim.Lines("> CTRL").empty());

  QSignalSpy finished(w.get(), &HistoryWindow::restoreFinished);
  uiSink.answers.push_back(true);
  w->RestoreSelected();
  Settle();
  ASSERT_EQ(finished.size(), 1);
  EXPECT_TRUE(finished[0][0].toBool());
  EXPECT_EQ(sim.keyboard.KeyTables(), first);
  EXPECT_FALSE(session.Unsaved());
  EXPECT_EQ(w->list()->GetItemCount(), 3) << "the restore is an entry of its own";
  EXPECT_TRUE(w->statusLine()->text().startsWith("The configuration was written")) << w->statusLine()->text().toStdString();
}

TEST_F(HistoryWindowTest, FollowsALanguageChangeWhileOpen) {
  DisableAndApply(0x3A);
  auto w = Open();
  w->list()->setCurrentItem(w->list()->topLevelItem(0));
  Settle();
  texts.current = &french;
  w->Retranslate();
  Settle();
  EXPECT_EQ(w->list()->headerItem()->text(0), "Date");
  EXPECT_EQ(w->list()->GetItemText(0, 1), QString::fromUtf8("fenêtre"));
  EXPECT_EQ(w->button(kIdHistoryRestore)->text(), "Restaurer");
  EXPECT_TRUE(w->statusLine()->text().startsWith(QString::fromUtf8("1 configuration conservée."))) << w->statusLine()->text().toStdString();
  // The differences are worded again in the new language.
  ASSERT_EQ(w->differences()->GetItemCount(), 1);
  EXPECT_TRUE(w->differences()->GetItemText(0, 0).contains("touche")) << w->differences()->GetItemText(0, 0).toStdString();
  Save(*w, "history_fr.png");
}

// A broken entry is named on the status line; the others are listed.
TEST_F(HistoryWindowTest, NamesABrokenEntry) {
  DisableAndApply(0x3A);
  {
    std::ofstream broken(dir / "history" / "0000000099-0000000000000000.entry");
    broken << "vantrel-history 1\ntime x\n";
  }
  auto w = Open();
  EXPECT_EQ(w->list()->GetItemCount(), 1);
  EXPECT_TRUE(w->statusLine()->text().contains("0000000099-0000000000000000.entry"))
      << w->statusLine()->text().toStdString();
}

}  // namespace
}  // namespace vantrel::ui::test
