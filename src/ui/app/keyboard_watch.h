// Keeps an eye on whether the keyboard still holds the program's configuration. After a
// resume and after every arrival the device worker reads the keyboard and compares it with
// the last configuration written to it or read from it (profiles::CheckKeyboard). When
// they differ the user gets a notice naming what changed, with an action that writes the
// program's configuration again (through the editing session, read back as every write).
#pragma once

#include <QObject>

#include <memory>
#include <optional>

#include "core/profiles/keyboard_check.h"
#include "platform/desktop_notifier.h"

namespace vantrel::text {
class MessageSink;
class TextSource;
}  // namespace vantrel::text

namespace vantrel::ui {

class AppCore;
class CTrayIcon;

// Where the desktop has no notification service: the tray icon's message (a click on it
// writes again, as its hint says), or without a tray a question in a message box.
platform::DesktopNotifier::Fallback NoticeFallback(CTrayIcon& tray, text::MessageSink& messages,
                                                   const text::TextSource& texts);

class KeyboardWatch final : public QObject {
  Q_OBJECT

 public:
  // Must outlive the device work of `core` (it is made before AppCore::Start and goes
  // after AppCore::Stop).
  KeyboardWatch(AppCore& core, platform::Notifier& notifier, QObject* parent = nullptr);
  ~KeyboardWatch() override;
  KeyboardWatch(const KeyboardWatch&) = delete;
  KeyboardWatch& operator=(const KeyboardWatch&) = delete;

  // Becomes the arrival check of `core`. Call before AppCore::Start.
  void Install();
  // Queues a check on the device worker (after a resume); nothing without a keyboard.
  void CheckSoon();
  // The notice's action: queues the write of the last configuration found missing.
  void WriteAgain();

  // What the last check found; nullopt before the first one (UI thread).
  const std::optional<device::Verification>& LastFound() const { return lastFound_; }
  // A difference was found and has not been written again yet (UI thread).
  bool WritePending() const { return pending_ != nullptr; }

 signals:
  // A check has finished; `differences` lines differ (0: the keyboard is in step).
  void checked(int differences);
  // The write of the last configuration has finished; `ok` when everything read back.
  void writtenAgain(bool ok);
  // The write changed the keyboard's lighting: the lighting panel reads it again.
  void lightingWritten();

 private:
  // Runs on the device worker.
  profiles::KeyboardCheck CheckOnWorker();
  // UI thread: shows or withdraws the notice.
  void Found(profiles::KeyboardCheck check);
  platform::Notice MakeNotice(const device::Verification& found) const;

  AppCore& core_;
  platform::Notifier& notifier_;
  std::shared_ptr<const profiles::KeyboardCheck> pending_;  // UI thread
  std::optional<device::Verification> lastFound_;           // UI thread
  bool writing_ = false;                                    // UI thread
};

}  // namespace vantrel::ui
