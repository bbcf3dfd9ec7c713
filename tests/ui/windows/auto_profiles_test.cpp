// Automatic profile switching in the program: focus reports switch the virtual keyboard
// through the session without a question, the pauses hold and lift by themselves, a rule
// change by another program is followed at once, and the window edits the stored rules.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QScreen>
#include <QHeaderView>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "language_file_texts.h"
#include "platform/auto_rules_settings.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/auto_profiles.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/profile_harness.h"

namespace vantrel::ui::test {
namespace {

using namespace vantrel::profiles;

// Hands the controller's report function to the test, which plays the desktop.
class FakeFocusSource final : public FocusSource {
 public:
  explicit FakeFocusSource(std::shared_ptr<Report> report) : report_(std::move(report)) {}
  bool Start(Report report, std::string*) override {
    *report_ = std::move(report);
    return true;
  }
  void Stop() override { *report_ = nullptr; }

 private:
  std::shared_ptr<Report> report_;
};

FocusedWindow App(const std::string& id, std::uint32_t pid = 4242) {
  FocusedWindow w;
  w.appId = id;
  w.pid = pid;
  w.title = "secret title " + id;
  return w;
}

class AutoSwitchTest : public ProfileWindowsTest {
 protected:
  AutoSwitchTest() : settings(settingsDir.filePath(QStringLiteral("app.conf")), QSettings::IniFormat) {
    for (const char* key : {"AUTO_TITLE", "AUTO_STATUS_ON", "AUTO_SWITCH_FAILED", "AUTO_STATUS_OFF", "AUTO_PAUSED_UNSAVED", "AUTO_PAUSED_OWN",
                            "AUTO_KIND_APP", "AUTO_KIND_EXE", "AUTO_KIND_TITLE", "AUTO_BAD_REGEX",
                            "AUTO_EMPTY_PATTERN", "AUTO_FALLBACK_STAY", "AUTO_PICK_WAITING"})
      texts.texts[key] = key;
    // The keyboard's configuration is read, as after its arrival.
    worker.Post([this] { session.ReloadOnArrival(); });
    Settle();
    AutoRuleSet rules;
    (void)rules.Add({RuleKind::App, "game", 2});
    (void)rules.Add({RuleKind::App, "editor", 1});
    rules.fallback = 0;
    EXPECT_TRUE(platform::SaveAutoRules(settings, rules));
  }
  ~AutoSwitchTest() override {
    controller.reset();
    worker.WaitIdle();
  }

  void StartController() {
    AutoSwitchController::Deps deps{worker, [this] { return &session; }, [] { return true; }};
    controller = std::make_unique<AutoSwitchController>(std::move(deps), settings, AutoSwitchController::Environment{},
                                                        std::make_unique<FakeFocusSource>(report));
    controller->Start();
  }
  void Focus(const FocusedWindow& w) {
    ASSERT_TRUE(*report);
    (*report)(w);
  }
  int KeyboardProfile() { return sim.keyboard.DeviceState()[10]; }
  // Waits (events running) until the keyboard runs `profile`.
  bool WaitForProfile(int profile, int ms = 3000) {
    return QTest::qWaitFor(
        [&] {
          worker.WaitIdle();
          return KeyboardProfile() == profile;
        },
        ms);
  }

  QTemporaryDir settingsDir;
  QSettings settings;
  std::shared_ptr<FocusSource::Report> report = std::make_shared<FocusSource::Report>();
  std::unique_ptr<AutoSwitchController> controller;
};

TEST_F(AutoSwitchTest, FocusedWindowsSwitchTheKeyboardBackAndForthWithoutAQuestion) {
  StartController();
  ASSERT_TRUE(controller->Available());
  ASSERT_EQ(KeyboardProfile(), 0);
  Focus(App("game"));
  ASSERT_TRUE(WaitForProfile(2));
  EXPECT_EQ(session.Facts().activeProfile, 2);
  EXPECT_EQ(session.CurrentProfile(), 2);
  Focus(App("Editor"));
  ASSERT_TRUE(WaitForProfile(1));
  Focus(App("unknown"));
  ASSERT_TRUE(WaitForProfile(0));
  EXPECT_TRUE(uiSink.questions.empty());
  EXPECT_TRUE(serviceSink.Shown().empty());
  // Titles never reach the trace.
  for (const auto& line : sim.Lines(""))
    EXPECT_EQ(line.find("secret"), std::string::npos) << line;
}

TEST_F(AutoSwitchTest, AWindowLeftWithinTheSteadyTimeCausesNoWrite) {
  StartController();
  sim.ClearTrace();
  Focus(App("game"));
  QTest::qWait(100);
  Focus(App("unknown"));  // fallback 0: the profile the keyboard runs
  QTest::qWait(600);
  Settle();
  EXPECT_EQ(KeyboardProfile(), 0);
  EXPECT_TRUE(sim.Lines("> ").empty());
}

TEST_F(AutoSwitchTest, UnsavedEditsPauseSwitchingUntilTheyAreApplied) {
  StartController();
  session.MarkEdited(0);
  Focus(App("game"));
  QTest::qWait(500);
  Settle();
  EXPECT_EQ(KeyboardProfile(), 0);
  EXPECT_EQ(controller->Paused(), PauseReason::UnsavedEdits);
  EXPECT_STREQ(controller->StatusKey(), "AUTO_PAUSED_UNSAVED");
  // Applying ends the pause; the window focused all along gets its profile.
  worker.Post([this] { (void)session.Apply(); });
  ASSERT_TRUE(WaitForProfile(2));
  EXPECT_EQ(controller->Paused(), PauseReason::None);
  EXPECT_TRUE(uiSink.questions.empty());
}

// The keyboard refuses the switch: the status says so (it used to go on saying "on"), the
// switch is tried again, and once the keyboard takes it the status is plain again.
TEST_F(AutoSwitchTest, ASwitchTheKeyboardRefusesIsToldAndTriedAgain) {
  StartController();
  QSignalSpy statusChanges(controller.get(), &AutoSwitchController::statusChanged);
  sim::FaultPlan faults;
  const auto next = sim.service.ConfigRequests();
  for (std::uint64_t n = next + 1; n <= next + 3; ++n) faults.Add(n, sim::Fault::kStatusFF);
  sim.service.SetFaults(faults);
  Focus(App("game"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return controller->Failing(); }, 3000));
  EXPECT_STREQ(controller->StatusKey(), "AUTO_SWITCH_FAILED");
  EXPECT_GE(statusChanges.count(), 1);
  EXPECT_EQ(KeyboardProfile(), 0);
  // The faults run out; a later attempt goes through without the focus moving.
  ASSERT_TRUE(WaitForProfile(2, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->Failing(); }, 3000));
  EXPECT_STREQ(controller->StatusKey(), "AUTO_STATUS_ON");
  EXPECT_TRUE(uiSink.questions.empty());
}

// Between two windows the desktops report the focus on no window at all (an X11 window
// manager clears _NET_ACTIVE_WINDOW, KWin activates none): that is no window of its own,
// so neither the fallback profile is written nor a watcher told.
TEST_F(AutoSwitchTest, AnEmptyReportBetweenTwoWindowsChangesNothing) {
  StartController();
  std::vector<std::string> watched;
  controller->AddFocusWatcher([&](const FocusedWindow& w) { watched.push_back(w.appId); });
  Focus(App("game"));
  ASSERT_TRUE(WaitForProfile(2));
  QTest::qWait(1000);  // past the write limit: a fallback write could go out at once
  sim.ClearTrace();
  Focus(FocusedWindow{});
  QTest::qWait(500);
  Settle();
  EXPECT_EQ(KeyboardProfile(), 2);
  EXPECT_TRUE(sim.Lines("> ").empty());
  EXPECT_EQ(watched, std::vector<std::string>{"game"});
}

// KDE Plasma: KWin loaded the script but did not start it. The window says switching is
// not available (it used to say it was on), until a report shows the script runs after all.
TEST_F(AutoSwitchTest, AKWinScriptThatDidNotStartIsSaidNotToWork) {
  AutoSwitchController::Deps deps{worker, [this] { return &session; }, [] { return true; }};
  AutoSwitchController kde(std::move(deps), settings, AutoSwitchController::Environment{"wayland", "KDE", false});
  kde.Start();
  ASSERT_EQ(kde.SourceKind(), FocusSourceKind::KWinScript);
  kde.DesktopReportsReady(false);
  EXPECT_FALSE(kde.Available());
  EXPECT_STREQ(kde.StatusKey(), "AUTO_UNAVAILABLE_KWIN");
  kde.ReportFocus(App("editor"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return kde.Available(); }, 2000));
  EXPECT_STREQ(kde.StatusKey(), "AUTO_STATUS_ON");
}

// On X11 the program watches the focus itself: a report over the bus (any program on the
// session bus may send one) used to switch the profile too.
TEST_F(AutoSwitchTest, OnX11BusReportsAreIgnored) {
  StartController();
  ASSERT_EQ(controller->SourceKind(), FocusSourceKind::X11);
  controller->ReportFocus(App("game"));
  QTest::qWait(400);
  Settle();
  EXPECT_EQ(KeyboardProfile(), 0);
  Focus(App("game"));
  ASSERT_TRUE(WaitForProfile(2));
}

TEST_F(AutoSwitchTest, OurOwnWindowPausesSwitching) {
  StartController();
  Focus(App("game", static_cast<std::uint32_t>(QCoreApplication::applicationPid())));
  QTest::qWait(500);
  Settle();
  EXPECT_EQ(KeyboardProfile(), 0);
  EXPECT_EQ(controller->Paused(), PauseReason::OwnWindow);
  Focus(App("game"));
  ASSERT_TRUE(WaitForProfile(2));
}

TEST_F(AutoSwitchTest, RulesWrittenByAnotherProgramTakeEffectAtOnce) {
  StartController();
  Focus(App("tool"));  // no rule: fallback 0, nothing to do
  QTest::qWait(400);
  {
    QSettings other(settings.fileName(), QSettings::IniFormat);
    AutoRuleSet rules = platform::LoadAutoRules(other);
    ASSERT_EQ(rules.Add({RuleKind::App, "TOOL", 1}), RuleError::Ok);
    ASSERT_TRUE(platform::SaveAutoRules(other, rules));
  }
  ASSERT_TRUE(WaitForProfile(1));
  EXPECT_EQ(controller->Rules().rules.size(), 3u);
}

// On first use the settings folder does not exist yet: rules written later by another
// program (vantrelctl rules add) are followed from the moment the file appears.
TEST_F(AutoSwitchTest, RulesAreFollowedWhenTheSettingsFolderAppearsLater) {
  const QString file = settingsDir.filePath(QStringLiteral("config/Vantrel_Morvane/app.conf"));
  QSettings fresh(file, QSettings::IniFormat);
  AutoSwitchController::Deps deps{worker, [this] { return &session; }, [] { return true; }};
  AutoSwitchController first(std::move(deps), fresh, AutoSwitchController::Environment{},
                             std::make_unique<FakeFocusSource>(report));
  first.Start();
  EXPECT_TRUE(first.Rules().rules.empty());
  {
    QSettings other(file, QSettings::IniFormat);
    AutoRuleSet rules;
    ASSERT_EQ(rules.Add({RuleKind::App, "tool", 1}), RuleError::Ok);
    ASSERT_TRUE(platform::SaveAutoRules(other, rules));
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return first.Rules().rules.size() == 1; }, 3000));
  Focus(App("tool"));
  ASSERT_TRUE(WaitForProfile(1));
  // And a later change is seen through the folder's own watch.
  {
    QSettings other(file, QSettings::IniFormat);
    AutoRuleSet rules = platform::LoadAutoRules(other);
    ASSERT_EQ(rules.Add({RuleKind::App, "more", 2}), RuleError::Ok);
    ASSERT_TRUE(platform::SaveAutoRules(other, rules));
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.Rules().rules.size() == 2; }, 3000));
  first.Stop();
}

TEST_F(AutoSwitchTest, SwitchedOffNothingIsWritten) {
  AutoRuleSet rules = platform::LoadAutoRules(settings);
  rules.enabled = false;
  ASSERT_TRUE(platform::SaveAutoRules(settings, rules));
  StartController();
  sim.ClearTrace();
  Focus(App("game"));
  QTest::qWait(500);
  Settle();
  EXPECT_TRUE(sim.Lines("> ").empty());
  EXPECT_STREQ(controller->StatusKey(), "AUTO_STATUS_OFF");
}

TEST_F(AutoSwitchTest, WithoutAnyFocusSourceTheReasonIsGiven) {
  AutoSwitchController::Deps deps{worker, [this] { return &session; }, [] { return true; }};
  AutoSwitchController::Environment wayland{"wayland", "sway", true};
  AutoSwitchController other(std::move(deps), settings, wayland);
  other.Start();
  EXPECT_FALSE(other.Available());
  EXPECT_STREQ(other.StatusKey(), "AUTO_UNAVAILABLE_WAYLAND");
}

// On GNOME the window says how to enable the extension only until the extension reports a
// window (it used to say so even while the extension was switching profiles).
TEST_F(AutoSwitchTest, TheGnomeHintGoesOnceTheExtensionReports) {
  texts.texts["AUTO_GNOME_HINT"] = "AUTO_GNOME_HINT";
  AutoSwitchController::Deps deps{worker, [this] { return &session; }, [] { return true; }};
  AutoSwitchController gnome(std::move(deps), settings, AutoSwitchController::Environment{"wayland", "GNOME", false});
  gnome.Start();
  ASSERT_EQ(gnome.SourceKind(), FocusSourceKind::GnomeShell);
  gnome.DesktopReportsReady();
  texts.texts["AUTO_APP_ID_GNOME"] = "AUTO_APP_ID_GNOME";
  AutoProfilesWindow window(gnome, texts, uiSink, SkinIni("AutoProfiles.ini"), Skins());
  window.Open();
  EXPECT_EQ(window.statusLine()->text(), "AUTO_STATUS_ON AUTO_GNOME_HINT");
  // Which name GNOME gives as the application id.
  EXPECT_EQ(window.patternEdit()->toolTip(), "AUTO_APP_ID_GNOME");
  gnome.ReportFocus(App("editor"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return gnome.DesktopHasReported(); }, 2000));
  QCoreApplication::processEvents();
  EXPECT_EQ(window.statusLine()->text(), "AUTO_STATUS_ON");
}

// ---- the window ---------------------------------------------------------------------

class AutoProfilesWindowTest : public AutoSwitchTest {
 protected:
  AutoProfilesWindowTest() {
    StartController();
    window = std::make_unique<AutoProfilesWindow>(*controller, texts, uiSink, SkinIni("AutoProfiles.ini"), Skins());
    window->Open();
  }
  ~AutoProfilesWindowTest() override { window.reset(); }
  void Enter(RuleKind kind, const QString& pattern, int profile) {
    window->kindBox()->setCurrentIndex(kind == RuleKind::App ? 0 : kind == RuleKind::Executable ? 1 : 2);
    window->patternEdit()->setText(pattern);
    window->profileBox()->setCurrentIndex(profile);
  }
  AutoRuleSet Stored() {
    QSettings reader(settings.fileName(), QSettings::IniFormat);
    return platform::LoadAutoRules(reader);
  }
  std::unique_ptr<AutoProfilesWindow> window;
};

TEST_F(AutoProfilesWindowTest, AddChangeMoveAndRemoveAreStoredAtOnce) {
  ASSERT_TRUE(window->hasSkin()) << window->skinProblem().toStdString();
  EXPECT_EQ(window->list()->GetItemCount(), 2);
  Enter(RuleKind::Title, QStringLiteral("^Match \\d+"), 1);
  QTest::mouseClick(window->button(kIdAutoAdd), Qt::LeftButton);
  ASSERT_EQ(Stored().rules.size(), 3u);
  EXPECT_EQ(Stored().rules[2], (AutoRule{RuleKind::Title, "^Match \\d+", 1}));
  EXPECT_EQ(window->list()->GetItemText(2, 1), QStringLiteral("^Match \\d+"));

  // The new rule is selected: up once makes it the second.
  QTest::mouseClick(window->button(kIdAutoUp), Qt::LeftButton);
  EXPECT_EQ(Stored().rules[1].kind, RuleKind::Title);
  Enter(RuleKind::Executable, QStringLiteral("/usr/games/x"), 0);
  QTest::mouseClick(window->button(kIdAutoEdit), Qt::LeftButton);
  EXPECT_EQ(Stored().rules[1], (AutoRule{RuleKind::Executable, "/usr/games/x", 0}));
  QTest::mouseClick(window->button(kIdAutoRemove), Qt::LeftButton);
  const AutoRuleSet stored = Stored();
  ASSERT_EQ(stored.rules.size(), 2u);
  EXPECT_EQ(stored.rules[0].pattern, "game");
  EXPECT_EQ(stored.rules[1].pattern, "editor");
  SaveScreenshot(*window, QStringLiteral("auto_profiles.png"));
}

TEST_F(AutoProfilesWindowTest, ARefusedRuleSaysWhyAndStoresNothing) {
  Enter(RuleKind::Title, QStringLiteral("(unclosed"), 2);
  QTest::mouseClick(window->button(kIdAutoAdd), Qt::LeftButton);
  ASSERT_EQ(uiSink.messages.size(), 1u);
  EXPECT_EQ(uiSink.messages[0], "AUTO_BAD_REGEX");
  Enter(RuleKind::App, QString(), 2);
  QTest::mouseClick(window->button(kIdAutoAdd), Qt::LeftButton);
  ASSERT_EQ(uiSink.messages.size(), 2u);
  EXPECT_EQ(uiSink.messages[1], "AUTO_EMPTY_PATTERN");
  EXPECT_EQ(Stored().rules.size(), 2u);
}

TEST_F(AutoProfilesWindowTest, FallbackAndOnOffAreStored) {
  window->fallbackBox()->setCurrentIndex(0);  // keep the profile
  EXPECT_EQ(Stored().fallback, std::nullopt);
  window->fallbackBox()->setCurrentIndex(3);
  EXPECT_EQ(Stored().fallback, 2);
  window->enabledBox()->setChecked(false);
  EXPECT_FALSE(Stored().enabled);
  EXPECT_EQ(window->statusLine()->text(), QStringLiteral("AUTO_STATUS_OFF"));
}

TEST_F(AutoProfilesWindowTest, PickAWindowFillsTheFieldsFromTheNextForeignWindow) {
  QTest::mouseClick(window->button(kIdAutoPick), Qt::LeftButton);
  EXPECT_EQ(window->statusLine()->text(), QStringLiteral("AUTO_PICK_WAITING"));
  Focus(App("ours", static_cast<std::uint32_t>(QCoreApplication::applicationPid())));
  QCoreApplication::processEvents();
  EXPECT_NE(window->patternEdit()->text(), QStringLiteral("ours"));
  // The focus on its way to the window clicked (openbox reports no window in between):
  // not picked, the window still waits for the click.
  Focus(FocusedWindow{});
  QCoreApplication::processEvents();
  EXPECT_EQ(window->statusLine()->text(), QStringLiteral("AUTO_PICK_WAITING"));
  FocusedWindow noId;
  noId.executable = "/opt/game/bin/run";
  noId.pid = 99;
  Focus(noId);
  QCoreApplication::processEvents();
  EXPECT_EQ(window->kindBox()->currentIndex(), 1);
  EXPECT_EQ(window->patternEdit()->text(), QStringLiteral("/opt/game/bin/run"));
  EXPECT_NE(window->statusLine()->text(), QStringLiteral("AUTO_PICK_WAITING"));
}

// The window used to open in the screen's top-left corner from its second opening on:
// each opening puts it over the window that opened it, kept on the screen.
TEST_F(AutoSwitchTest, EachOpeningPutsTheWindowOverTheWindowThatOpenedIt) {
  StartController();
  QWidget opener;
  opener.resize(400, 300);
  opener.move(500, 300);
  opener.show();
  AutoProfilesWindow window(*controller, texts, uiSink, SkinIni("AutoProfiles.ini"), Skins(), &opener);
  const QRect area = opener.screen()->availableGeometry();
  for (const QPoint at : {QPoint(500, 300), QPoint(40, 60), QPoint(area.right() - 100, area.bottom() - 100)}) {
    SCOPED_TRACE(at.x());
    opener.move(at);
    QCoreApplication::processEvents();
    window.Open();
    QCoreApplication::processEvents();
    const QRect placed = window.frameGeometry();
    EXPECT_TRUE(area.contains(placed)) << placed.x() << "," << placed.y();
    if (area.contains(QRect(opener.frameGeometry().center() - QPoint(placed.width() / 2, placed.height() / 2), placed.size()))) {
      EXPECT_LE((placed.center() - opener.frameGeometry().center()).manhattanLength(), 2);
    }
    window.close();
    QCoreApplication::processEvents();
  }
  // Opened from the tray, with no window on screen: the middle of the screen.
  opener.hide();
  window.Open();
  QCoreApplication::processEvents();
  EXPECT_LE((window.frameGeometry().center() - window.screen()->availableGeometry().center()).manhattanLength(), 2);
}

TEST(WindowPlacement, CentredOverKeepsTheWindowOnTheScreen) {
  const QRect area(0, 0, 1280, 1000);
  const QSize size(560, 470);
  EXPECT_EQ(CentredOver(QRect(300, 200, 600, 400), size, area), QPoint(320, 165));
  EXPECT_EQ(CentredOver(QRect(-200, -100, 300, 200), size, area), QPoint(0, 0));
  EXPECT_EQ(CentredOver(QRect(1100, 900, 400, 300), size, area), QPoint(720, 530));
  // Larger than the screen: its top-left corner stays on it.
  EXPECT_EQ(CentredOver(QRect(0, 0, 100, 100), QSize(2000, 1200), area), QPoint(0, 0));
}

// ---- the window in each shipped language ----------------------------------------------

// The window with the texts of each language file and rules of every kind, long patterns
// among them: nothing it shows is cut off, and a picture of each goes to
// build/screenshots/profiles/ for review.
TEST_F(AutoSwitchTest, TheWindowInEachLanguageShowsItsTextsWhole) {
  StartController();
  AutoRuleSet rules = controller->Rules();
  ASSERT_EQ(rules.Add({RuleKind::Executable, "/usr/lib/steam/steamapps/common/Half-Life/hl_linux", 1}), RuleError::Ok);
  ASSERT_EQ(rules.Add({RuleKind::Title, "^(Inkscape|GIMP) .*[Dd]rawing", 0}), RuleError::Ok);
  ASSERT_TRUE(controller->SetRules(rules));
  // Every text the status line can show; GNOME adds its hint to the first.
  const std::vector<std::vector<const char*>> statusTexts = {
      {"AUTO_STATUS_ON", "AUTO_GNOME_HINT"}, {"AUTO_SWITCH_FAILED"}, {"AUTO_STATUS_OFF"}, {"AUTO_PAUSED_UNSAVED"},
      {"AUTO_PAUSED_KEY_PAGE"},             {"AUTO_PAUSED_MANAGER"},       {"AUTO_PAUSED_OWN"},
      {"AUTO_UNAVAILABLE_WAYLAND"},         {"AUTO_UNAVAILABLE_SESSION"},  {"AUTO_UNAVAILABLE_X11"},
      {"AUTO_UNAVAILABLE_NO_X11"},          {"AUTO_UNAVAILABLE_BUS"},      {"AUTO_UNAVAILABLE_KWIN"},
      {"AUTO_PICK_WAITING"}};
  for (const char* code : {"0409", "040C", "0804", "0404", "0C04"}) {
    SCOPED_TRACE(code);
    const vantrel::test::LanguageFileTexts language(code);
    const auto text = [&](const char* key) { return QString::fromStdString(language.Text(key)); };
    AutoProfilesWindow window(*controller, language, uiSink, SkinIni("AutoProfiles.ini"), Skins());
    window.Open();
    ASSERT_TRUE(window.hasSkin()) << window.skinProblem().toStdString();
    window.list()->setCurrentItem(window.list()->topLevelItem(2));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.list()->GetItemText(0, 0), text("AUTO_KIND_APP"));
    EXPECT_EQ(window.kindBox()->currentText(), text("AUTO_KIND_EXE"));

    QTreeWidgetItem* header = window.list()->headerItem();
    for (int column = 0; column < 3; ++column) {
      const int wanted = window.list()->header()->fontMetrics().horizontalAdvance(header->text(column)) + 16;
      EXPECT_LE(wanted, window.list()->header()->sectionSize(column)) << header->text(column).toStdString();
    }
    // The kind and the profile of every rule whole (a long pattern may be cut short).
    const QFontMetrics cellFont(window.list()->font());
    for (int row = 0; row < window.list()->GetItemCount(); ++row)
      for (const int column : {0, 2}) {
        const QString cell = window.list()->GetItemText(row, column);
        EXPECT_LE(cellFont.horizontalAdvance(cell) + 8, window.list()->columnWidth(column)) << cell.toStdString();
      }
    // A rule's pattern is shown from its start.
    EXPECT_EQ(window.patternEdit()->cursorPosition(), 0);
    QCheckBox* enabled = window.enabledBox();
    EXPECT_LE(enabled->sizeHint().width(), enabled->width()) << enabled->text().toStdString();
    SaveScreenshot(window, QStringLiteral("auto_profiles_%1.png").arg(QString::fromLatin1(code)));

    ColorStatic* status = window.statusLine();
    for (const auto& keys : statusTexts) {
      QStringList parts;
      for (const char* key : keys) parts << text(key);
      status->setText(parts.join(QLatin1Char(' ')));
      EXPECT_LE(status->heightForWidth(status->width()), status->height()) << keys[0];
    }
    status->setText(text("AUTO_UNAVAILABLE_WAYLAND"));
    SaveScreenshot(window, QStringLiteral("auto_profiles_%1_unavailable.png").arg(QString::fromLatin1(code)));
  }
}

}  // namespace
}  // namespace vantrel::ui::test
