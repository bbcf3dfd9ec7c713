// The whole program as the window tests build it: the options of AppCore over the virtual
// keyboard in a private folder (settings, user files, keyboard state), the wait for queued
// work, and the folder that holds it all.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "sim/simulated_hid_service.h"
#include "ui/app/app_core.h"

namespace vantrel::ui::test {

// A folder of this test process, emptied on creation and removed at the end: CTest runs the
// tests of one file side by side, so the name carries the process id.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / ("vantrel_" + name + "_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ProgramFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The program over the virtual keyboard answering at once, with everything it keeps in
// `folder`.
inline AppOptions SimulatedProgramOptions(const std::filesystem::path& folder, std::uint32_t languageId = 1033) {
  AppOptions options;
  options.stack.simulate = true;
  options.stack.simStatePath = (folder / "keyboard.json").string();
  options.stack.simLatency = std::chrono::microseconds(0);
  options.stack.languageId = languageId;
  options.programFolder = VANTREL_BIN_DIR;
  options.userFolder = folder / "user";
  options.settingsFile = folder / "settings.ini";
  options.appSettingsFile = folder / "app.ini";
  options.presenceTiming.readyPoll = std::chrono::milliseconds(1);
  return options;
}

inline bool ProcessUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// Lets the presence logic, the device worker and the queued calls finish.
inline void SettleProgram(AppCore& core) {
  for (int i = 0; i < 3; ++i) {
    core.Stack().Simulator()->Drain();
    if (core.Presence()) core.Presence()->WaitIdle();
    core.Worker().WaitIdle();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
}

// The same, and then until `windowBusy` (work a window put off, such as the lighting
// panel's load after a switch) is done as well.
inline void SettleProgram(AppCore& core, const std::function<bool()>& windowBusy) {
  SettleProgram(core);
  for (int round = 0; round < 3 && windowBusy(); ++round) {
    ProcessUntil([&windowBusy] { return !windowBusy(); });
    SettleProgram(core);
  }
}

// What the keyboard holds, read as the program reads it: on the device worker. Read on the
// UI thread, which never waits for the keyboard, it fails whenever a job of the worker or
// the presence logic holds the keyboard at that moment.
inline bool ReadKeyboard(AppCore& core, keys::StoreImage& image) {
  bool read = false;
  core.Worker().Post([&] { read = core.Session()->Service().DumpDevice(image); });
  core.Worker().WaitIdle();
  return read;
}

}  // namespace vantrel::ui::test
