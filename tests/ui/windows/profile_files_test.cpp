// The menu button's restore and backup over the virtual keyboard, and the update dialog:
// which messages a refused file gives, what a restore sends, what a backup writes, and
// the hand-over to the firmware updater.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <set>

#include "core/keys/key_table.h"
#include "core/util/bytes.h"
#include "platform/updater_file.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/windows/file_menu.h"
#include "ui/windows/profile_harness.h"
#include "ui/windows/update_dialog.h"

namespace vantrel::ui::test {
namespace {

// The program's own check of the file, a recorded start.
class FakeLauncher final : public profiles::ProgramLauncher {
 public:
  std::string StartProblem(const std::filesystem::path& program) override {
    return platform::ProgramStartProblem(program);
  }
  bool Launch(const std::filesystem::path& program) override {
    std::lock_guard lock(mutex);
    launched.push_back(program);
    return result;
  }
  std::mutex mutex;
  std::vector<std::filesystem::path> launched;
  bool result = true;
};

class ProfileFilesTest : public ProfileWindowsTest {
 protected:
  ProfileFilesTest()
      : update(CVantrel_DlgUpdate::Services{service, sim.commands, launcher, texts, uiSink, files, worker, updaterPath,
                                            dir / "program" / "Package"},
               SkinIni("UpdateDlg.ini"), Skins(), &host.window),
        menu(FileMenu::Services{service, texts, uiSink, files, worker, host, update}) {
    std::filesystem::create_directories(dir / "program" / "Package");
  }
  ~ProfileFilesTest() override { QDir::setCurrent(cwd); }

  QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
  std::filesystem::path WriteUpdater(const char* name, bool executable) {
    const auto path = dir / "program" / "Package" / name;
    vantrel::test::WriteAll(path, {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
    QFile::setPermissions(Q(path), executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                              : QFile::ReadOwner | QFile::WriteOwner);
    return path;
  }
  CPngButton* UpdateButton(int id) { return update.button(id); }

  QString cwd = QDir::currentPath();
  FakeLauncher launcher;
  std::string updaterPath;
  CVantrel_DlgUpdate update;
  FileMenu menu;
};

TEST_F(ProfileFilesTest, MenuHasRestoreBackupAndUpdateInThatOrder) {
  QMenu* m = menu.Menu();
  const auto actions = m->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "Restore...");
  EXPECT_EQ(actions[1]->text(), "Back up...");
  EXPECT_EQ(actions[2]->text(), "Firmware update");
  EXPECT_EQ(actions[0]->data().toInt(), kCmdRestore);
  EXPECT_EQ(actions[1]->data().toInt(), kCmdBackup);
  EXPECT_EQ(actions[2]->data().toInt(), kCmdUpdateDialog);
  // Texts are taken again each time the menu is shown.
  texts.texts["MENU_1"] = "Import...";
  EXPECT_EQ(menu.Menu()->actions()[0]->text(), "Import...");
  EXPECT_FALSE(menu.OnCommand(32778));

  actions[2]->trigger();
  EXPECT_TRUE(update.isVisible());
  EXPECT_TRUE(update.isModal());
}

TEST_F(ProfileFilesTest, RefusedRestoresShowOnlyTheirMessagesAndSendNothing) {
  {
    keys::EditingStore::Lock lock(editing);
    lock->macros.push_back(keys::NewMacro(u"keep", 1));
  }
  std::filesystem::create_directories(dir / "user");
  vantrel::test::WriteAll(Working(), {7, 7});
  vantrel::test::WriteAll(dir / "short.vnp", std::vector<std::uint8_t>(32831, 0));
  // A good header with one byte changed fails its checksum.
  {
    keys::StoreImage image;
    image.table = profiles::DefaultAssignmentTable();
    ASSERT_TRUE(profiles::SaveProfileImage(dir / "bad.vnp", image));
    auto bytes = vantrel::test::ReadAll(dir / "bad.vnp");
    bytes[20] ^= 1;
    vantrel::test::WriteAll(dir / "bad.vnp", bytes);
  }
  sim.ClearTrace();
  files.answers = {std::nullopt, Q(dir / "missing.vnp"), Q(dir / "short.vnp"), Q(dir / "bad.vnp")};

  menu.OnCommand(kCmdRestore);  // cancelled: nothing at all
  EXPECT_TRUE(uiSink.messages.empty());
  ASSERT_EQ(files.asked.size(), 1u);
  EXPECT_EQ(files.asked[0].fileName, "*.vnp");
  EXPECT_EQ(files.asked[0].defaultSuffix, "vnp");
  // The filters have names in the user's language and give their pattern once.
  EXPECT_EQ(files.asked[0].filter, "Profile files (*.vnp);;All files (*)");

  menu.RestoreFromFile();
  menu.RestoreFromFile();
  EXPECT_EQ(uiSink.messages, (std::vector<std::string>{"Import failed", "Import failed"}));
  uiSink.messages.clear();
  menu.RestoreFromFile();
  EXPECT_EQ(uiSink.messages,
            (std::vector<std::string>{"Bad profile file: " + (dir / "bad.vnp").string(), "Import failed"}));
  Settle();
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(host.calls.empty());
  EXPECT_TRUE(serviceSink.Shown().empty());
  EXPECT_EQ(keys::EditingStore::Lock(editing)->macros.size(), 1u);
  EXPECT_EQ(vantrel::test::ReadAll(Working()), (std::vector<std::uint8_t>{7, 7}));
}

TEST_F(ProfileFilesTest, RestoreSendsAllThreeTablesAndTheMacrosAndClearsTheUnsavedState) {
  keys::StoreImage image;
  image.table = profiles::DefaultAssignmentTable();
  image.macros.push_back(keys::NewMacro(u"restored", 1));
  image.table.SetRecord(1, 0x1E, keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  const auto file = dir / "in.vnp";
  ASSERT_TRUE(profiles::SaveProfileImage(file, image));
  std::filesystem::create_directories(dir / "user");
  vantrel::test::WriteAll(Working(), {1});
  const auto tablesBefore = sim.keyboard.KeyTables();
  session.MarkEdited(0);
  sim.ClearTrace();
  files.answers = {Q(file)};
  QSignalSpy finished(&menu, &FileMenu::restoreFinished);

  menu.OnCommand(kCmdRestore);
  EXPECT_TRUE(menu.restoring());
  Settle();
  EXPECT_FALSE(menu.restoring());
  ASSERT_EQ(finished.size(), 1);
  EXPECT_EQ(finished[0][0].toInt(), profiles::kProfileValid);
  EXPECT_TRUE(finished[0][1].toBool());
  EXPECT_EQ(host.calls, (std::vector<std::string>{"progress on", "progress off"}));
  EXPECT_FALSE(session.Unsaved());
  // A restore that worked used to say nothing.
  EXPECT_EQ(uiSink.messages, (std::vector<std::string>{"Restored: " + file.string()}));

  // One bracket with the macro area and the key tables of profiles 0, 1 and 2.
  const auto sent = SentCommands();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), device::kCmdBegin), 1);
  // After the bracket nothing more is written, and what was written is read back.
  const auto end = std::find(sent.begin(), sent.end(), device::kCmdEnd);
  ASSERT_NE(end, sent.end());
  EXPECT_EQ(std::count(end, sent.end(), device::kCmdWriteKeyTable), 0);
  EXPECT_GT(std::count(end, sent.end(), device::kCmdReadKeyTable), 0);
  EXPECT_GT(std::count(end, sent.end(), device::kCmdReadMacroArea), 0);
  EXPECT_GT(std::count(sent.begin(), sent.end(), device::kCmdWriteMacroArea), 0);
  std::set<int> profilesWritten;
  for (const auto& l : sim.Lines("> CTRL")) {
    const auto b = vantrel::test::SimHarness::Bytes(l);
    if (b[3] == device::kCmdWriteKeyTable) profilesWritten.insert((b[5] | b[6] << 8) / 378);
  }
  EXPECT_EQ(profilesWritten, (std::set<int>{0, 1, 2}));
  EXPECT_NE(sim.keyboard.KeyTables(), tablesBefore);
  EXPECT_EQ(LoadU16(sim.keyboard.MacroArea(), 0), 0x55AA);
  EXPECT_EQ(LoadU16(sim.keyboard.MacroArea(), 4), 1);
  EXPECT_FALSE(sim.keyboard.InBracket());
  // The working file mirrors the restored configuration.
  EXPECT_EQ(vantrel::test::ReadAll(Working()), vantrel::test::ReadAll(file));
  keys::EditingStore::Lock lock(editing);
  EXPECT_EQ(lock->table, image.table);
}

TEST_F(ProfileFilesTest, BackupWithoutAKeyboardWritesTheDefaultProfile) {
  sim.keyboard.SetPresent(false);
  sim.ClearTrace();
  files.answers = {std::nullopt, Q(dir / "backup.vnp")};
  QSignalSpy finished(&menu, &FileMenu::backupFinished);
  menu.OnCommand(kCmdBackup);
  Settle();
  EXPECT_FALSE(std::filesystem::exists(dir / "backup.vnp"));
  EXPECT_EQ(finished.size(), 0);

  menu.OnCommand(kCmdBackup);
  Settle();
  ASSERT_EQ(finished.size(), 1);
  EXPECT_TRUE(finished[0][0].toBool());
  const auto bytes = vantrel::test::ReadAll(dir / "backup.vnp");
  const auto expected = profiles::DefaultAssignmentTable();
  ASSERT_EQ(bytes.size(), 32832u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), expected.Bytes().begin()));
  EXPECT_EQ(profiles::ValidateProfileFile(dir / "backup.vnp", texts, uiSink), profiles::kProfileValid);
  // A backup that worked used to say nothing, where the firmware dialog's says so.
  EXPECT_EQ(uiSink.messages, (std::vector<std::string>{"Written: " + (dir / "backup.vnp").string()}));
  EXPECT_TRUE(SentCommands().empty());
}

// A failed backup used to say nothing at all: the user believed the file was written.
TEST_F(ProfileFilesTest, FailedBackupsFromTheMenuSayWhy) {
  const auto readOnly = dir / "read-only.vnp";
  vantrel::test::WriteAll(readOnly, {7});
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
  std::filesystem::create_symlink("/dev/zero", dir / "zero.vnp");
  files.answers = {Q(dir / "no-folder" / "b.vnp"), Q(readOnly), Q(dir / "zero.vnp")};
  QSignalSpy finished(&menu, &FileMenu::backupFinished);
  for (int i = 0; i < 3; ++i) {
    menu.BackupToFile();
    Settle();
  }
  ASSERT_EQ(finished.size(), 3);
  for (const auto& f : finished) EXPECT_FALSE(f[0].toBool());
  EXPECT_EQ(uiSink.messages,
            (std::vector<std::string>{"Not written: " + (dir / "no-folder" / "b.vnp").string() + "\nNo such file or directory",
                                      "Not written: " + readOnly.string() + "\nPermission denied",
                                      "Not written: " + (dir / "zero.vnp").string() +
                                          "\nis a link to /dev/zero, which is not a regular file"}));
  EXPECT_EQ(vantrel::test::ReadAll(readOnly), std::vector<std::uint8_t>{7});
}

TEST_F(ProfileFilesTest, UpdateNeedsAStartableUpdaterBeforeAnyBootRequest) {
  update.Open();
  ASSERT_TRUE(update.isVisible());
  sim.ClearTrace();

  // No updater chosen (the chooser cancelled).
  QTest::mouseClick(UpdateButton(kIdUpdateOpen), Qt::LeftButton);
  ASSERT_EQ(files.asked.size(), 1u);
  EXPECT_EQ(files.asked[0].folder, Q(dir / "program" / "Package"));
  EXPECT_EQ(files.asked[0].filter, "Update programs (" + QString::fromLatin1(platform::UpdaterFilePattern()) + ")");
  EXPECT_EQ(QDir::currentPath(), Q(dir / "program" / "Package"));
  EXPECT_TRUE(updaterPath.empty());
  QTest::mouseClick(UpdateButton(kIdUpdateStart), Qt::LeftButton);
  EXPECT_EQ(uiSink.messages, (std::vector<std::string>{texts.Text(profiles::kUpdateFileMissing)}));
  EXPECT_TRUE(update.isVisible());

  // A file that cannot be started is refused the same way, and the keyboard stays put.
  files.answers = {Q(WriteUpdater("readme.txt", false))};
  update.ChooseUpdater();
  EXPECT_EQ(update.pathLabel()->toolTip(), Q(dir / "program" / "Package" / "readme.txt"));
  EXPECT_TRUE(update.pathLabel()->text().endsWith("readme.txt"));
  update.StartUpdate();
  Settle();
  EXPECT_EQ(uiSink.messages.size(), 2u);
  EXPECT_EQ(uiSink.messages.back(), texts.Text(profiles::kUpdateFileMissing) + "\n" +
                                        (dir / "program" / "Package" / "readme.txt").string() +
                                        ": cannot be executed: Permission denied");

  // Executable, but nothing this machine runs: it used to get the boot request, and the
  // keyboard was left in boot mode while the window said there was no keyboard.
  const auto noise = dir / "program" / "Package" / "noise";
  vantrel::test::WriteAll(noise, {0x13, 0x37, 0xFF, 0x00});
  QFile::setPermissions(Q(noise), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  files.answers = {Q(noise)};
  update.ChooseUpdater();
  update.StartUpdate();
  Settle();
  EXPECT_EQ(uiSink.messages.back(), texts.Text(profiles::kUpdateFileMissing) + "\n" + noise.string() +
                                        ": is neither a program nor a script starting with #!");
  EXPECT_EQ(updaterPath, noise.string());
  EXPECT_TRUE(update.isVisible());

  EXPECT_TRUE(SentCommands().empty());
  EXPECT_FALSE(sim.keyboard.BootMode());
  EXPECT_TRUE(launcher.launched.empty());
}

TEST_F(ProfileFilesTest, UpdateSendsTheBootRequestStartsTheUpdaterAndCloses) {
  const auto updater = WriteUpdater("flash", true);
  files.answers = {Q(updater)};
  update.Open();
  update.ChooseUpdater();
  SaveScreenshot(update, "update_dialog.png");
  sim.ClearTrace();
  QTest::mouseClick(UpdateButton(kIdUpdateStart), Qt::LeftButton);
  Settle();

  EXPECT_TRUE(uiSink.messages.empty());
  EXPECT_EQ(launcher.launched, (std::vector<std::filesystem::path>{updater}));
  EXPECT_TRUE(updaterPath.empty());
  EXPECT_FALSE(update.isVisible());
  EXPECT_EQ(SentCommands(), (std::vector<std::uint8_t>{device::kCmdEnterBoot}));
  // The keyboard went to boot mode: the service now counts no keyboard.
  EXPECT_TRUE(sim.keyboard.BootMode());
  EXPECT_EQ(sim.keyboard.DeviceCount(), 0);
}

TEST_F(ProfileFilesTest, RefusedBootRequestKeepsThePathAndAFailedStartKeepsBootMode) {
  const auto updater = WriteUpdater("flash", true);
  files.answers = {Q(updater)};
  update.Open();
  update.ChooseUpdater();
  sim.keyboard.SetPresent(false);
  update.StartUpdate();
  Settle();
  EXPECT_EQ(uiSink.messages, (std::vector<std::string>{texts.Text(profiles::kUpdateNoBootMode)}));
  EXPECT_EQ(updaterPath, updater.string());
  EXPECT_TRUE(launcher.launched.empty());
  EXPECT_TRUE(update.isVisible());

  // Closed with the close box: the path is kept; opened again the label is empty, but
  // Update uses the kept path.
  update.close();
  EXPECT_FALSE(update.isVisible());
  EXPECT_EQ(updaterPath, updater.string());
  update.Open();
  EXPECT_TRUE(update.pathLabel()->text().isEmpty());
  EXPECT_TRUE(update.pathLabel()->toolTip().isEmpty());
  sim.keyboard.SetPresent(true);
  launcher.result = false;
  update.StartUpdate();
  Settle();
  EXPECT_EQ(uiSink.messages.back(),
            texts.Text(profiles::kUpdateCannotRun) + "\n" + texts.Text(profiles::kUpdateStillInBootMode));
  EXPECT_EQ(launcher.launched.size(), 1u);
  EXPECT_TRUE(updaterPath.empty());
  EXPECT_TRUE(sim.keyboard.BootMode());
  EXPECT_TRUE(update.isVisible());
  // The keyboard in boot mode counts as gone: the main window closes the dialog.
  update.CloseUpdateDialog();
  EXPECT_FALSE(update.isVisible());
  update.Open();

  // Cancel update forgets any choice and closes.
  updaterPath = "x";
  QTest::mouseClick(UpdateButton(kIdUpdateCancel), Qt::LeftButton);
  EXPECT_TRUE(updaterPath.empty());
  EXPECT_FALSE(update.isVisible());
}

TEST_F(ProfileFilesTest, BackupFromTheUpdateDialogReportsItsOutcome) {
  update.Open();
  files.answers = {std::nullopt, Q(dir / "ok.vnp"), Q(dir / "no-folder" / "b.vnp")};
  update.BackupFromDialog();
  Settle();
  EXPECT_TRUE(uiSink.messages.empty());
  QTest::mouseClick(UpdateButton(kIdUpdateBackup), Qt::LeftButton);
  Settle();
  update.BackupFromDialog();
  Settle();
  EXPECT_EQ(uiSink.messages, (std::vector<std::string>{texts.Text(profiles::kBackupSucceeded),
                                                        texts.Text(profiles::kBackupFailed)}));
  EXPECT_EQ(vantrel::test::ReadAll(dir / "ok.vnp").size(), 32832u);
  EXPECT_TRUE(update.isVisible());
}

}  // namespace
}  // namespace vantrel::ui::test

namespace vantrel::ui::test {
namespace {

// The program's own chooser: the file-name field starts with the given text, and a full
// path typed there and confirmed with Return is the choice.
TEST(ProfileFileDialog, TypedFullPathAndReturnChoosesIt) {
  App();
  const auto dir = vantrel::test::ScratchFolder("ui-file-dialog");
  vantrel::test::WriteAll(dir / "existing.vnp", {1});
  for (const bool save : {true, false}) {
    SCOPED_TRACE(save ? "save" : "open");
    const QString target = QString::fromStdString((dir / (save ? "typed.vnp" : "existing.vnp")).string());
    QString initialText;
    bool typed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || typed) return;
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!edit) return;
      typed = true;
      initialText = edit->text();
      edit->setText(target);
      QTest::keyClick(edit, Qt::Key_Return);
    });
    poll.start(10);
    QtFileChooser chooser;
    FileChoice choice;
    choice.fileName = QStringLiteral("*.vnp");
    choice.filter = QStringLiteral("Profile files (*.vnp);;All files (*)");
    choice.defaultSuffix = QStringLiteral("vnp");
    const auto chosen = save ? chooser.ChooseSave(nullptr, choice) : chooser.ChooseOpen(nullptr, choice);
    poll.stop();
    EXPECT_EQ(initialText, "*.vnp");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QDir::toNativeSeparators(target));
  }
}

}  // namespace
}  // namespace vantrel::ui::test
