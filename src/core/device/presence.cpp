#include "core/device/presence.h"

#include <algorithm>
#include <utility>

namespace vantrel::device {

std::array<std::string, 9> GKeyCaptions(int layer) {
  std::array<std::string, 9> captions;
  const char prefix = (layer & 1) ? 'B' : 'A';
  for (int i = 0; i < 5; ++i) captions[i] = std::string(1, prefix) + std::to_string(i + 1);
  return captions;
}

Presence::Presence(DeviceLink& link, CommandSet& commands, PresencePort& window, text::MessageSink& messages,
                   const text::TextSource& texts, std::span<const std::uint8_t, kKeyTableSize> initialFactoryTable,
                   PresenceTiming timing)
    : link_(link), commands_(commands), window_(window), messages_(messages), texts_(texts), timing_(timing) {
  std::copy(initialFactoryTable.begin(), initialFactoryTable.end(), factoryTable_.begin());
  worker_ = std::thread([this] { Worker(); });
  indicatorWorker_ = std::thread([this] { IndicatorWorker(); });
}

Presence::~Presence() {
  link_.SetListener(nullptr);
  {
    std::lock_guard lock(queueMutex_);
    stop_ = true;
  }
  queueWake_.notify_all();
  worker_.join();
  indicatorWorker_.join();
  // The registrations end with the program, as they do with the keyboard's service; a
  // Presence object that goes earlier (tests, the command-line tool) ends its own.
  ServiceHandle cons, del;
  {
    std::lock_guard lock(dataMutex_);
    cons = consHandle_;
    del = delHandle_;
  }
  link_.Service().DeleteRequestFromUnitId(cons);
  link_.Service().DeleteRequestFromUnitId(del);
}

void Presence::Start(bool openOnArrival) {
  {
    std::lock_guard lock(dataMutex_);
    ledStatus_ = {0x05, 0x02};
    consHandle_ = 0;
    delHandle_ = 0;
  }
  openOnArrival_.store(openOnArrival);
  link_.SetListener(this);
  link_.RegisterRead(ConsumerInterfaceSelector, kTagCons, &consHandle_);
  link_.RegisterConfigRead();
  const int count = link_.DeviceCount();
  OnDeviceCountChanged(count);
  if (count == 0) openOnArrival_.store(true);  // the window then never opens by itself in this run
}

void Presence::OnDeviceCountChanged(int count) {
  {
    std::lock_guard lock(queueMutex_);
    counts_.push_back(count);
  }
  queueWake_.notify_all();
}

void Presence::OnKeyboardEvent(std::uint16_t value) {
  switch (value) {
    case kEventGKeyLayer:
      ToggleGKeyLayer();
      break;
    case kEventIndicatorOn:
    case kEventIndicatorOff: {
      std::lock_guard lock(queueMutex_);
      indicators_.push_back(value);
      queueWake_.notify_all();
      break;
    }
    case kEventLightingChanged:
      window_.ReloadLighting();
      break;
    default:
      break;  // 0x1801..0x1804 and anything else: no effect
  }
}

void Presence::ToggleGKeyLayer() {
  std::array<std::uint8_t, 2> report;
  {
    std::lock_guard lock(dataMutex_);
    ledStatus_[1] ^= 1;
    report = ledStatus_;
  }
  auto& service = link_.Service();
  ServiceHandle handle;
  {
    std::lock_guard lock(dataMutex_);
    handle = std::exchange(delHandle_, 0);
  }
  service.DeleteRequestFromUnitId(handle);
  handle = 0;
  const auto check = CallCheckValue(LedInterfaceSelector, CallbackWord(&link_), kTagDel, report);
  service.RequestStatusWrite(LedInterfaceSelector, &link_, kTagDel, report.data(), 2, check, &handle);
  {
    std::lock_guard lock(dataMutex_);
    delHandle_ = handle;
  }
  window_.GKeyLayerChanged(report[1] & 1);
}

void Presence::SetIcon(int icon) {
  {
    std::lock_guard lock(dataMutex_);
    shownIcon_ = icon;
  }
  window_.ShowTrayIcon(icon);
}

void Presence::Run(int count) {
  if (count == lastCount_.load()) return;
  if (count == 0) {
    activeProfileCache_.store(-1);
    window_.DeviceGone();
  } else {
    std::array<std::uint8_t, kKeyTableSize> table{};
    if (commands_.CmdReadFactoryKeyTable(table) == kDeviceOk) {
      std::lock_guard lock(dataMutex_);
      factoryTable_ = table;
      factoryTableRead_.store(true);
    } else {
      messages_.ShowMessage(texts_.Text("MAIN_DEFAULT_MATRIX_PROMPT"));
    }
    std::array<std::uint8_t, kDeviceStateSize> state{};
    if (commands_.CmdReadDeviceState(state) == kDeviceOk) macroCapacity_.store(state[kStateMacroCapacity] * 128u);
    window_.ProfileChanged();
  }
  // The tray and the open message wait for the main window's initialisation.
  for (;;) {
    if (window_.Ready()) break;
    std::unique_lock lock(queueMutex_);
    if (queueWake_.wait_for(lock, timing_.readyPoll, [this] { return stop_; })) return;
  }
  const int icon = count != 0 ? kIconPresent : kIconAbsent;
  presenceIcon_.store(icon);
  int shown;
  {
    std::lock_guard lock(dataMutex_);
    shown = shownIcon_;
  }
  if (icon != shown) SetIcon(icon);
  lastCount_.store(count);
  if (!openOnArrival_.load()) {
    if (count != 0) window_.OpenWindow();
    openOnArrival_.store(true);
  }
}

void Presence::Worker() {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    queueWake_.wait(lock, [this] { return stop_ || !counts_.empty(); });
    if (stop_) return;
    const int count = counts_.front();
    counts_.pop_front();
    ++busy_;
    lock.unlock();
    Run(count);
    lock.lock();
    --busy_;
    queueIdle_.notify_all();
  }
}

// Indicator events are handled one after another, like the keyboard's short-lived
// threads that wait for each other through a shared flag.
void Presence::IndicatorWorker() {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    queueWake_.wait(lock, [this] { return stop_ || !indicators_.empty(); });
    if (stop_) return;
    const auto value = indicators_.front();
    indicators_.pop_front();
    ++busy_;
    lock.unlock();
    SetIcon(value == kEventIndicatorOn ? kIconIndicator : presenceIcon_.load());
    std::this_thread::sleep_for(timing_.indicatorHold);
    lock.lock();
    --busy_;
    queueIdle_.notify_all();
  }
}

void Presence::WaitIdle() {
  std::unique_lock lock(queueMutex_);
  queueIdle_.wait(lock, [this] { return stop_ || (counts_.empty() && indicators_.empty() && busy_ == 0); });
}

std::array<std::uint8_t, 2> Presence::LedStatus() const {
  std::lock_guard lock(dataMutex_);
  return ledStatus_;
}

std::array<std::uint8_t, kKeyTableSize> Presence::FactoryKeyTable() const {
  std::lock_guard lock(dataMutex_);
  return factoryTable_;
}

}  // namespace vantrel::device
