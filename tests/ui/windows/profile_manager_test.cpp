// The profile manager over the virtual keyboard: the list it shows, the rows the user adds,
// lists and deletes, and what Apply, OK and Cancel do to the settings and the keyboard.
#include "ui/windows/profile_manager.h"

#include <QSettings>
#include <QTest>

#include <thread>

#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/profile_harness.h"

namespace vantrel::ui::test {
namespace {

class FakeListSettings final : public ProfileListSettings {
 public:
  bool WriteValue(std::string_view key, const QString& value) override {
    values[std::string(key)] = value;
    return true;
  }
  std::map<std::string, QString> values;
};

class ProfileManagerTest : public ProfileWindowsTest {
 protected:
  ProfileManagerTest()
      : dialog(CVantrel_DlgProfile::Services{service, texts, uiSink, files, settings, worker, host},
               SkinIni("Profile.ini"), Skins(), &host.window) {
    view.checkRow = [this](int row) { dialog.CheckProfileRow(row); };
  }

  void OpenSettled() {
    dialog.Open();
    Settle();
  }
  int CheckedRow() const { return dialog.list()->GetNextItem(-1, kRowChecked); }
  QString Cell(int row, int column) const { return dialog.list()->GetItemText(row, column); }
  CPngButton* Button(int id) const { return dialog.button(id); }
  // As the user does it: a click on the row's check box.
  void ClickCheckBox(int row) {
    CReportCtrl* list = dialog.list();
    QTreeWidgetItem* item = list->topLevelItem(row);
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
  QString UserFolder() const {
    return QString::fromStdString((dir / "user").string()) + QDir::separator();
  }

  FakeListSettings settings;
  CVantrel_DlgProfile dialog;
};

TEST_F(ProfileManagerTest, OpensWithThreeWorkingFileRowsAndTheActiveProfileChecked) {
  sim.keyboard.DeviceState()[10] = 2;
  OpenSettled();
  dialog.Open();  // a second opening only raises it
  ASSERT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(dialog.openCount(), 1);
  ASSERT_EQ(dialog.list()->GetItemCount(), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(Cell(row, 0), QString());
    // The on-board profiles by their names; the working file they are kept in is the tip.
    EXPECT_EQ(Cell(row, 1), QString("Profile %1").arg(row + 1));
    EXPECT_TRUE(dialog.list()->topLevelItem(row)->toolTip(1).endsWith("$Profile0"));
    EXPECT_EQ(dialog.RowFileName(row), "$Profile0");
    EXPECT_EQ(Cell(row, 2), UserFolder());
  }
  EXPECT_EQ(CheckedRow(), 2);
  EXPECT_FALSE(Button(kIdProfileApply)->isEnabled());
  EXPECT_FALSE(dialog.unsaved());
  EXPECT_EQ(dialog.list()->columnWidth(0), 60);
  EXPECT_EQ(dialog.list()->columnWidth(1), 120);
  SaveScreenshot(dialog, "profile_manager.png");

  // Closed and opened again without a keyboard: the rows are rebuilt and none is checked.
  dialog.OnCancel();
  EXPECT_EQ(dialog.openCount(), 0);
  EXPECT_FALSE(dialog.isVisible());
  sim.keyboard.SetPresent(false);
  cache.store(-1);
  OpenSettled();
  EXPECT_EQ(dialog.list()->GetItemCount(), 3);
  EXPECT_EQ(CheckedRow(), -1);
  EXPECT_EQ(dialog.openCount(), 1);
}

TEST_F(ProfileManagerTest, CheckingAnotherRowThenCancelLeavesTheKeyboardAndSettingsAlone) {
  sim.keyboard.DeviceState()[10] = 0;
  OpenSettled();
  sim.ClearTrace();
  ClickCheckBox(1);
  EXPECT_EQ(CheckedRow(), 1);  // single choice: row 0 lost its check
  EXPECT_EQ(dialog.list()->GetNextItem(1, kRowChecked), -1);
  EXPECT_TRUE(Button(kIdProfileApply)->isEnabled());
  EXPECT_TRUE(dialog.unsaved());

  QTest::mouseClick(Button(kIdProfileCancel), Qt::LeftButton);
  Settle();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.openCount(), 0);
  EXPECT_FALSE(dialog.unsaved());
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(settings.values.empty());
  EXPECT_TRUE(host.calls.empty());
}

TEST_F(ProfileManagerTest, ApplySwitchesTheKeyboardRecordsTheRowsAndReadsTheKeyboardAgain) {
  sim.keyboard.DeviceState()[10] = 0;
  // Profile 2 on the keyboard disables a key: after the reload the store has it.
  sim.keyboard.KeyTables()[2 * 378 + 17 * 3 + 0] = 0;
  sim.keyboard.KeyTables()[2 * 378 + 17 * 3 + 1] = 0;
  sim.keyboard.KeyTables()[2 * 378 + 17 * 3 + 2] = 0;
  OpenSettled();
  ClickCheckBox(2);
  QTest::mouseClick(Button(kIdProfileApply), Qt::LeftButton);
  EXPECT_FALSE(Button(kIdProfileApply)->isEnabled());
  Settle();

  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_EQ(cache.load(), 2);
  const QString working = UserFolder() + "$Profile0.vnp";
  EXPECT_EQ(settings.values, (std::map<std::string, QString>{
                                 {"PROFILE00", "3"}, {"PROFILE01", working}, {"PROFILE02", working},
                                 {"PROFILE03", working}}));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"progress on", "progress off", "menu"}));
  // The working file was written from the keyboard and loaded.
  EXPECT_EQ(vantrel::test::ReadAll(Working()).size(), 32832u);
  {
    keys::EditingStore::Lock lock(editing);
    EXPECT_NE(lock->table, profiles::DefaultAssignmentTable());
  }
  EXPECT_TRUE(dialog.isVisible());  // Apply keeps the dialog open
  EXPECT_FALSE(dialog.unsaved());

  // OK applies and closes.
  ClickCheckBox(1);
  QTest::mouseClick(Button(kIdProfileOk), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.openCount(), 0);
  Settle();
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
}

TEST_F(ProfileManagerTest, DeletingSelectsTheNeighbourAndAnEmptyListSetsNoProfile) {
  sim.keyboard.DeviceState()[10] = 1;
  OpenSettled();
  CReportCtrl* list = dialog.list();
  QTest::mouseClick(Button(kIdProfileDelete), Qt::LeftButton);  // nothing selected
  EXPECT_EQ(list->GetItemCount(), 3);
  EXPECT_FALSE(dialog.unsaved());

  list->SetItemState(2, kRowSelected, kRowSelected);
  QTest::mouseClick(Button(kIdProfileDelete), Qt::LeftButton);
  EXPECT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->GetNextItem(-1, kRowSelected), 1);  // the last row went: the one before it
  EXPECT_TRUE(dialog.unsaved());
  list->SetItemState(0, kRowSelected, kRowSelected);
  dialog.DeleteProfileRow();
  EXPECT_EQ(list->GetNextItem(-1, kRowSelected), 0);  // the next one moved up
  dialog.DeleteProfileRow();
  EXPECT_EQ(list->GetItemCount(), 0);

  sim.ClearTrace();
  dialog.ApplyProfiles();
  Settle();
  EXPECT_EQ(settings.values, (std::map<std::string, QString>{{"PROFILE00", "0"}}));
  // No profile is set, but the configuration is still read again.
  std::vector<std::uint8_t> sent = SentCommands();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), device::kCmdWriteDeviceState), 0);
  EXPECT_GT(std::count(sent.begin(), sent.end(), device::kCmdReadKeyTable), 0);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
}

TEST_F(ProfileManagerTest, AddAndLoadAppendRowsAndApplyNamesEveryRowWithTheProfileExtension) {
  OpenSettled();
  const QString added = QString::fromStdString((dir / "added.vnp").string());
  const QString listed = QString::fromStdString((dir / "other" / "old.settings.bin").string());
  files.answers = {added, std::nullopt, listed, std::nullopt,
                   QString::fromStdString((dir / "no-such-folder" / "x.vnp").string())};

  dialog.AddProfileFile();
  ASSERT_EQ(files.asked.size(), 1u);
  EXPECT_EQ(files.asked[0].fileName, UserFolder().chopped(1) + QDir::separator() + "New profile.vnp");
  EXPECT_EQ(files.asked[0].defaultSuffix, "vnp");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "user"));  // the working folder was made first
  // A default profile file was written at the chosen place.
  EXPECT_EQ(vantrel::test::ReadAll(dir / "added.vnp").size(), 32832u);
  ASSERT_EQ(dialog.list()->GetItemCount(), 4);
  EXPECT_EQ(Cell(3, 1), "added");
  EXPECT_EQ(Cell(3, 2), QString::fromStdString(dir.string()) + QDir::separator());
  EXPECT_TRUE(dialog.unsaved());

  dialog.LoadProfileRow();  // cancelled
  EXPECT_EQ(dialog.list()->GetItemCount(), 4);
  dialog.LoadProfileRow();  // a file that does not even exist is listed unread
  EXPECT_EQ(files.asked[2].folder, QString::fromStdString((dir / "user").string()));
  EXPECT_EQ(files.asked[2].fileName, "*.vnp");
  ASSERT_EQ(dialog.list()->GetItemCount(), 5);
  EXPECT_EQ(Cell(4, 1), "old.settings");

  dialog.AddProfileFile();  // cancelled
  dialog.AddProfileFile();  // cannot be written: listed all the same
  EXPECT_EQ(dialog.list()->GetItemCount(), 6);

  dialog.ApplyProfiles();
  Settle();
  EXPECT_EQ(settings.values["PROFILE00"], "6");
  EXPECT_EQ(settings.values["PROFILE04"], added);
  EXPECT_EQ(settings.values["PROFILE05"],
            QString::fromStdString((dir / "other").string()) + QDir::separator() + "old.settings.vnp");
}

TEST_F(ProfileManagerTest, ClosingForTheKeyboardsRemovalActsAsCancel) {
  OpenSettled();
  ClickCheckBox(1);
  dialog.CloseProfileManager();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.openCount(), 0);
  EXPECT_FALSE(dialog.unsaved());
  dialog.CloseProfileManager();  // already closed: nothing more
  EXPECT_EQ(dialog.openCount(), 0);
  EXPECT_TRUE(settings.values.empty());
}

// A disabled button used to be drawn in the pressed picture, the bright blue of the default
// button: now dim and grey, as the main window's disabled Apply is.
TEST_F(ProfileManagerTest, DisabledButtonsAreDrawnDim) {
  OpenSettled();
  CPngButton* apply = Button(kIdProfileApply);
  ASSERT_FALSE(apply->isEnabled());
  const auto face = [](CPngButton* b) {
    const QImage shot = b->grab().toImage();
    double lightness = 0, saturation = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        lightness += c.lightness();
        saturation += c.hslSaturation();
      }
    const double n = shot.width() * shot.height();
    return std::pair{lightness / n, saturation / n};
  };
  const auto [dimLight, dimSaturation] = face(apply);
  SaveScreenshot(dialog, "profile_manager_apply_disabled.png");
  EXPECT_LT(dimSaturation, 60) << "a disabled button is drawn in a colour";
  ClickCheckBox(1);
  ASSERT_TRUE(apply->isEnabled());
  const auto [normalLight, normalSaturation] = face(apply);
  EXPECT_LT(dimLight, normalLight);
  (void)normalSaturation;
}

TEST(ProfileManagerNames, SettingsKeysAndRowCells) {
  EXPECT_EQ(ProfileSettingsKey(0), "PROFILE00");
  EXPECT_EQ(ProfileSettingsKey(7), "PROFILE07");
  EXPECT_EQ(ProfileSettingsKey(12), "PROFILE12");
  EXPECT_EQ(ProfileRowName("/a/b/$Profile0"), "$Profile0");
  EXPECT_EQ(ProfileRowName("/a/b/x.y.vnp"), "x.y");
  EXPECT_EQ(ProfileRowFolder("/a/b/x.vnp"), QDir::toNativeSeparators("/a/b/"));

  // The list goes to section "PROFILES" of the application settings.
  const auto dir = vantrel::test::ScratchFolder("ui-profile-settings");
  const QString ini = QString::fromStdString((dir / "app.ini").string());
  {
    QtProfileListSettings settings(ini);
    EXPECT_TRUE(settings.WriteValue("PROFILE00", "2"));
    EXPECT_TRUE(settings.WriteValue("PROFILE01", "/x/y.vnp"));
  }
  QSettings read(ini, QSettings::IniFormat);
  EXPECT_EQ(read.value("PROFILES/PROFILE00").toString(), "2");
  EXPECT_EQ(read.value("PROFILES/PROFILE01").toString(), "/x/y.vnp");
}

// A switch made on the worker (profile buttons, profile menu) while the manager is open.
class ProfileManagerThreadsTest : public ProfileManagerTest {};

TEST_F(ProfileManagerThreadsTest, SwitchElsewhereChecksTheNewRowAndClearsTheManagersChanges) {
  sim.keyboard.DeviceState()[10] = 0;
  OpenSettled();
  worker.Post([this] { (void)session.Switch(session.CheckSwitch(2)); });
  Settle();
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_EQ(CheckedRow(), 2);
  EXPECT_FALSE(dialog.unsaved());
  EXPECT_FALSE(Button(kIdProfileApply)->isEnabled());

  // The menu's default item (command 9000, index -1) leaves the keyboard's profile alone.
  worker.Post([this] { (void)session.Switch(session.CheckSwitch(9000 - 9001)); });
  Settle();
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);

  // With the manager's own change pending the switch asks first (answered No here).
  ClickCheckBox(0);
  EXPECT_TRUE(dialog.unsaved());
  worker.Post([this] { (void)session.Switch(session.CheckSwitch(1)); });
  Settle();
  EXPECT_EQ(serviceSink.Shown(), (std::vector<std::string>{"Apply changes first?"}));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
}

}  // namespace
}  // namespace vantrel::ui::test
