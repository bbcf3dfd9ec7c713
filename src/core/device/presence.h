// Device presence and the keyboard's own notifications: every change of the device
// count runs the presence work (factory key table and device state read on arrival,
// messages to the main window, tray icon, open-on-arrival), keyboard events toggle the
// G-key layer, switch the indicator icon or ask for a lighting reload.
//
// Count changes are handled by one worker thread in the order they arrive, so a fast
// unplug and replug can never reorder arrival and removal.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/text/text_source.h"

namespace vantrel::device {

// Tray icon resources.
inline constexpr int kIconAbsent = 128;
inline constexpr int kIconPresent = 141;
inline constexpr int kIconIndicator = 142;

// Keyboard event values ('CONS' reports, first two bytes little-endian).
inline constexpr std::uint16_t kEventGKeyLayer = 0x02FF;
inline constexpr std::uint16_t kEventIndicatorOn = 0x1811;
inline constexpr std::uint16_t kEventIndicatorOff = 0x1810;
inline constexpr std::uint16_t kEventLightingChanged = 0x0401;

// What the presence logic tells the program in front of the user. The GUI implements it (marshalling to
// its own thread where the call must be synchronous); tests record the calls.
class PresencePort {
 public:
  virtual ~PresencePort() = default;
  // The keyboard is present after a change: reload its data (sent synchronously).
  virtual void ProfileChanged() = 0;
  // The keyboard has gone: close the editing pages, give the focus back and hide.
  virtual void DeviceGone() = 0;
  // The G-key layer toggled (0 first, 1 second): redraw the G keys, set their captions.
  virtual void GKeyLayerChanged(int layer) = 0;
  // First arrival: show the window (posted).
  virtual void OpenWindow() = 0;
  // The keyboard changed its lighting itself: reload the lighting once.
  virtual void ReloadLighting() = 0;
  virtual void ShowTrayIcon(int icon) = 0;
  // The main window has handled its init message.
  virtual bool Ready() const = 0;
};

struct PresenceTiming {
  std::chrono::milliseconds readyPoll{50};
  std::chrono::milliseconds indicatorHold{1};
};

// Captions of G1..G9 for a layer: "A1".."A5" or "B1".."B5", G6..G9 empty.
std::array<std::string, 9> GKeyCaptions(int layer);

class Presence final : public NotifyListener {
 public:
  Presence(DeviceLink& link, CommandSet& commands, PresencePort& window, text::MessageSink& messages,
           const text::TextSource& texts, std::span<const std::uint8_t, kKeyTableSize> initialFactoryTable,
           PresenceTiming timing = {});
  ~Presence() override;
  Presence(const Presence&) = delete;
  Presence& operator=(const Presence&) = delete;

  // Start-up: status report 05 02, the 'CONS' and 'CTRL' registrations, the first
  // presence run with the current count. openOnArrival is the value "/Start" decided
  // (1 = do not open the window by itself).
  void Start(bool openOnArrival);

  void OnDeviceCountChanged(int count) override;
  void OnKeyboardEvent(std::uint16_t value) override;

  // Waits until every queued count change and indicator event has been handled.
  void WaitIdle();

  int LastDeviceCount() const { return lastCount_.load(); }
  bool KeyboardPresent() const { return lastCount_.load() != 0; }
  bool OpenOnArrival() const { return openOnArrival_.load(); }
  int PresenceIcon() const { return presenceIcon_.load(); }
  std::array<std::uint8_t, 2> LedStatus() const;
  int GKeyLayer() const { return LedStatus()[1] & 1; }
  std::array<std::uint8_t, kKeyTableSize> FactoryKeyTable() const;
  // The factory key table was read from the keyboard at least once (else the initial image).
  bool FactoryKeyTableRead() const { return factoryTableRead_.load(); }
  unsigned MacroCapacity() const { return macroCapacity_.load(); }
  // The keyboard's active on-board profile, -1 while unknown; set back to -1 when the
  // keyboard goes.
  std::atomic<int>& ActiveProfileCache() { return activeProfileCache_; }

 private:
  void Worker();
  void Run(int count);
  void IndicatorWorker();
  void ToggleGKeyLayer();
  void SetIcon(int icon);

  DeviceLink& link_;
  CommandSet& commands_;
  PresencePort& window_;
  text::MessageSink& messages_;
  const text::TextSource& texts_;
  PresenceTiming timing_;

  std::atomic<int> lastCount_{0};
  std::atomic<bool> openOnArrival_{false};
  std::atomic<int> presenceIcon_{kIconAbsent};
  std::atomic<unsigned> macroCapacity_{0};
  std::atomic<bool> factoryTableRead_{false};
  std::atomic<int> activeProfileCache_{-1};

  mutable std::mutex dataMutex_;  // factory table, LED status, shown icon
  std::array<std::uint8_t, kKeyTableSize> factoryTable_{};
  std::array<std::uint8_t, 2> ledStatus_{0x05, 0x02};
  int shownIcon_ = 0;
  ServiceHandle consHandle_ = 0;
  ServiceHandle delHandle_ = 0;

  std::mutex queueMutex_;
  std::condition_variable queueWake_;
  std::condition_variable queueIdle_;
  std::deque<int> counts_;
  std::deque<std::uint16_t> indicators_;
  int busy_ = 0;
  bool stop_ = false;
  std::thread worker_;
  std::thread indicatorWorker_;
};

}  // namespace vantrel::device
