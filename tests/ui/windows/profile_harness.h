// The profile windows over the virtual keyboard: the core objects the main window would
// own, a device worker, fake message boxes, file choices, settings and host, and the
// skin generated into the build folder.
#pragma once

#include "core/profiles/edit_session.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/profiles/profile_fakes.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/profile_service.h"
#include "sim/sim_harness.h"
#include "ui/skin/skin_placement.h"
#include "ui/app/device_worker.h"
#include "ui/windows/profile_windows_host.h"
#include "ui/ui_test_app.h"
#include "ui/windows/fake_ui_services.h"

namespace vantrel::ui::test {

// The service's own message boxes and view calls come from the worker thread.
class LockedSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override {
    std::lock_guard lock(mutex_);
    shown_.emplace_back(text);
  }
  bool AskYesNo(std::string_view text, bool) override {
    ShowMessage(text);
    return false;
  }
  std::vector<std::string> Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> shown_;
};

// The session's notifications; a switch is handed to `checkRow` on the UI thread, as the
// main window hands it to the profile manager.
class LockedView final : public QObject, public profiles::ProfileView {
 public:
  void ProfileSwitched(int profile) override {
    QMetaObject::invokeMethod(
        this, [this, profile] { if (checkRow) checkRow(profile); }, Qt::QueuedConnection);
  }
  std::function<void(int)> checkRow;
};

class FakeHost final : public ProfileWindowsHost {
 public:
  explicit FakeHost(profiles::EditSession& session) : session_(session) {}
  QWidget* HostWindow() override { return &window; }
  profiles::EditSession& Session() override { return session_; }
  void RebuildProfileMenu() override { calls.emplace_back("menu"); }
  void ShowProgress(bool on) override { calls.emplace_back(on ? "progress on" : "progress off"); }
  void RefreshKeyButtons() override { calls.emplace_back("keys"); }
  QWidget window;
  std::vector<std::string> calls;

 private:
  profiles::EditSession& session_;
};

// Makes the application before any widget member of a fixture.
struct WithApp {
  WithApp() { App(); }
};

class ProfileWindowsTest : public ::testing::Test, private WithApp {
 protected:
  ProfileWindowsTest()
      : dir(vantrel::test::ScratchFolder(std::string("ui-") +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        service(sim.commands, editing, applied, cache, profiles::ProfilePaths{dir / "user", dir / "program"}, texts,
                serviceSink),
        session(service, editing, applied, texts, serviceSink) {
    session.AddView(view);
    SetProcessEndAction([](int) { ADD_FAILURE() << "a skin picture is missing"; });
    texts.texts["PROFILE_NEW"] = "/New profile.vnp";
    texts.texts["MENU_1"] = "Restore...";
    texts.texts["MENU_2"] = "Back up...";
    texts.texts["MENU_4"] = "Firmware update";
    texts.texts["MAIN_PROMPT_BACKUP_FAILED"] = "Not written: %s";
    texts.texts["MAIN_PROMPT_BACKUP_DONE"] = "Written: %s";
    texts.texts["MAIN_PROMPT_RESTORE_DONE"] = "Restored: %s";
    texts.texts["PROFILE_FILE_FILTER"] = "Profile files";
    texts.texts["ALL_FILES_FILTER"] = "All files";
    texts.texts["UPDATE_FILE_FILTER"] = "Update programs";
    for (int n = 1; n <= 3; ++n) texts.texts["PROFILE_" + std::to_string(n)] = "Profile " + std::to_string(n);
    texts.texts["PROFILE_OK"] = "OK";
    texts.texts["PROFILE_CANCLE"] = "Cancel";
    texts.texts["PROFILE_APPLY"] = "Apply";
    // As at start-up: the default profile in the editing store before the keyboard is read.
    keys::EditingStore::Lock lock(editing);
    profiles::CreateDefaultProfile(lock);
  }
  ~ProfileWindowsTest() override { worker.WaitIdle(); }

  // Lets the worker finish and the UI thread take its results.
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      worker.WaitIdle();
      QCoreApplication::processEvents();
    }
  }
  // Command bytes of the configuration requests sent since the trace was cleared.
  std::vector<std::uint8_t> SentCommands() {
    std::vector<std::uint8_t> out;
    for (const auto& l : sim.Lines("> CTRL")) out.push_back(vantrel::test::SimHarness::Bytes(l)[3]);
    return out;
  }
  static QString Skins() { return QStringLiteral(VANTREL_BIN_DIR "/Skins"); }
  static QString SkinIni(const char* name) { return QDir(Skins()).filePath(QString::fromLatin1(name)); }
  static void SaveScreenshot(QWidget& w, const QString& name) {
    const QString folder = QStringLiteral(VANTREL_BIN_DIR "/../screenshots/profiles");
    QDir().mkpath(folder);
    EXPECT_TRUE(w.grab().save(QDir(folder).filePath(name)));
  }
  std::filesystem::path Working() { return profiles::WorkingFilePath(service.Paths()); }

  std::filesystem::path dir;
  vantrel::test::SimHarness sim;
  keys::EditingStore editing;
  keys::AppliedStore applied;
  std::atomic<int> cache{-1};
  vantrel::test::MapTexts texts;
  LockedSink serviceSink;
  LockedView view;
  profiles::ProfileService service;
  profiles::EditSession session;
  DeviceWorker worker;
  FakeMessageSink uiSink;
  FakeFileChooser files;
  FakeHost host{session};
};

}  // namespace vantrel::ui::test
