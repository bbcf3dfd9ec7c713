#include "stack/device_stack.h"

#include <cstdio>

#include "platform/executable_path.h"
#include "platform/keyboard_lock.h"
#include "platform/hidapi/hidapi_service.h"
#include "platform/settings_store_qt.h"
#include "platform/user_paths.h"
#include "core/device/presence.h"
#include "sim/fault_plan.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"
#include "sim/sim_state.h"
#include "stack/shared_keyboard.h"

namespace vantrel::stack {

DeviceStack::DeviceStack() : keyboard_(std::make_unique<sim::VirtualKeyboard>()) {}
DeviceStack::~DeviceStack() { (void)Close(nullptr); }

std::filesystem::path DeviceStack::SimStatePath() const {
  return options_.simStatePath.empty() ? platform::DefaultSimStatePath()
                                       : std::filesystem::path(options_.simStatePath);
}

bool DeviceStack::Open(const StackOptions& options, std::string* error, OpenFailure* failure) {
  auto fail = [&](OpenFailure kind, std::string message) {
    openFailure_ = kind;
    openError_ = std::move(message);
    commands_.reset();
    link_.reset();
    tracer_.reset();
    hardware_.reset();
    simService_.reset();
    top_ = nullptr;
    shared_.reset();  // given back without saving: nothing was done
    return false;
  };
  if (!opened_) {
    opened_ = true;
    options_ = options;
    device::HidService* backend = nullptr;
    bool ok = true;
    if (options_.simulate) {
      std::string why;
      sim::SimOptions simOptions;
      if (options_.simLatency) simOptions.latency = *options_.simLatency;
      if (!options_.simFault.empty()) {
        auto plan = sim::FaultPlan::Parse(options_.simFault, &why);
        if (!plan) ok = fail(OpenFailure::Usage, "--sim-fault: " + why);
        else simOptions.faults = std::move(*plan);
      }
      sim::Quirks quirks;
      if (ok && !options_.simQuirk.empty()) {
        auto parsed = sim::Quirks::Parse(options_.simQuirk, &why);
        if (!parsed) ok = fail(OpenFailure::Usage, "--sim-quirk: " + why);
        else quirks = *parsed;
      }
      const std::filesystem::path state = SimStatePath();
      if (ok) {
        std::error_code ec;
        if (state.has_parent_path()) std::filesystem::create_directories(state.parent_path(), ec);
        // Beside the state file: every program on that file meets there.
        shared_ = std::make_unique<SharedKeyboard>(platform::SimKeyboardLockPath(state), kKeyboardLockWait);
        if (!shared_->TakeForOpen(kSimLockWait, &why)) {
          ok = fail(OpenFailure::Backend, "virtual keyboard state " + state.string() + ": " + why);
        }
      }
      if (ok && !shared_->LoadSim(state, *keyboard_, options_.holdSimLockForRun, &why)) {
        ok = fail(OpenFailure::Backend, "virtual keyboard state refused: " + why);
      }
      if (ok) {
        keyboard_->SetQuirks(quirks);  // kept when the state file is read again
        simService_ = std::make_unique<sim::SimulatedHidService>(*keyboard_, std::move(simOptions));
        shared_->AttachSimulator(simService_.get());
        backend = simService_.get();
      }
    } else {
      auto hardware = std::make_unique<platform::HidapiService>();
      if (hardware->Init(0) > 0 && !hardware->AccessProblems().empty()) {
        ok = fail(OpenFailure::Backend, platform::DescribeAccessProblem(hardware->AccessProblems().front()));
      } else {
        std::string why;
        const auto lockPath = platform::HidKeyboardLockPath(device::kVendorId, device::kProductId, &why);
        if (lockPath.empty()) {
          ok = fail(OpenFailure::Backend, "the keyboard's lock file: " + why);
        } else {
          shared_ = std::make_unique<SharedKeyboard>(lockPath, kKeyboardLockWait, platform::kSharedLockMode);
          hardware_ = std::move(hardware);
          backend = hardware_.get();
        }
      }
    }
    if (ok) {
      top_ = backend;
      if (!options_.tracePath.empty()) {
        auto sink = device::FileTraceSink(options_.tracePath);
        if (!sink) {
          ok = fail(OpenFailure::Usage, "--trace: cannot open " + options_.tracePath + " for writing");
        } else {
          tracer_ = std::make_unique<device::TracingHidService>(*backend, std::move(sink));
          top_ = tracer_.get();
        }
      }
    }
    if (ok && top_->Init(0) <= 0) ok = fail(OpenFailure::Backend, "the HID service could not be initialised");
    if (ok) {
      link_ = std::make_unique<device::DeviceLink>(*top_);
      link_->SetSharedAccess(shared_.get());
      link_->RegisterConfigRead();
      commands_ = std::make_unique<device::CommandSet>(*link_);
    }
  }
  if (failure) *failure = openFailure_;
  if (!link_ && error) *error = openError_;
  return link_ != nullptr;
}

SimEventResult DeviceStack::SendSimEvent(std::string_view name) {
  if (!simService_) return SimEventResult::NotSimulating;
  auto& sim = *simService_;
  if (name == "unplug") sim.Unplug();
  else if (name == "plug") sim.Plug();
  else if (name == "g-layer") sim.SendKeyboardEvent(device::kEventGKeyLayer);
  else if (name == "indicator-on") sim.SendKeyboardEvent(device::kEventIndicatorOn);
  else if (name == "indicator-off") sim.SendKeyboardEvent(device::kEventIndicatorOff);
  else if (name == "lighting-changed") sim.SendKeyboardEvent(device::kEventLightingChanged);
  else if (name == "reset") sim.ResetKeyboard();
  else return SimEventResult::Unknown;
  sim.Drain();
  return SimEventResult::Done;
}

bool DeviceStack::SaveSimState(std::string* error) {
  if (!simService_ || !link_) return true;
  std::string why;
  bool saved = false;
  {
    // Under the keyboard's lock, after reading what another program may have written.
    device::KeyboardHold hold(*link_);
    if (!hold.Held()) why = std::string(device::DescribeResult(device::kDeviceBusy));
    else saved = shared_->SaveHeld(&why);
  }
  if (saved) {
    saveFailureTold_ = false;
    return true;
  }
  if (error) *error = why;
  if (!saveFailureTold_.exchange(true)) {
    const std::string message = "virtual keyboard state not saved: " + why +
                                "; changes to the virtual keyboard are not kept until it can be written";
    std::fprintf(stderr, "%s\n", message.c_str());
  }
  return false;
}

bool DeviceStack::Close(std::string* error) {
  // Every other thread has stopped: the last save may wait for other programs.
  if (link_) link_->SetNeverWaitThread({});
  bool saved = true;
  std::string why;
  const bool heldForRun = shared_ && shared_->HeldForRun();
  if (simService_) {
    simService_->Drain();
    if (!heldForRun && link_) {
      device::KeyboardHold hold(*link_);
      if (!hold.Held()) {
        saved = false;
        why = std::string(device::DescribeResult(device::kDeviceBusy));
      } else {
        saved = shared_->SaveHeld(&why);
      }
    }
  }
  commands_.reset();
  link_.reset();
  tracer_.reset();
  hardware_.reset();
  top_ = nullptr;
  if (simService_) {
    simService_.reset();
    // The keyboard's memory is what the command changed: losing it fails the command.
    if (heldForRun) saved = shared_->CloseSim(*keyboard_, &why);
    if (!saved && error) *error = "virtual keyboard state not saved: " + why;
  }
  shared_.reset();
  return saved;
}

struct ProgramTexts::Parts {
  Parts(const std::filesystem::path& programFolder, const std::filesystem::path& settingsFile)
      : stored(settingsFile.empty() ? std::make_unique<platform::QSettingsStore>()
                                    : std::make_unique<platform::QSettingsStore>(
                                          QString::fromStdString(settingsFile.string()))),
        texts(programFolder, settings, system) {}
  std::unique_ptr<platform::QSettingsStore> stored;
  text::OverlaySettingsStore settings{*stored};
  platform::LocaleSystemLanguage system;
  text::LanguageTexts texts;
};

ProgramTexts::ProgramTexts(const std::filesystem::path& programFolder, std::optional<std::uint32_t> languageOverride,
                           const std::filesystem::path& settingsFile)
    : parts_(std::make_unique<Parts>(programFolder, settingsFile)) {
  if (languageOverride) {
    parts_->settings.Override(text::kLanguageIdValue, *languageOverride);
    overridden_ = true;
  }
}

ProgramTexts::~ProgramTexts() = default;

const text::LanguageTexts& ProgramTexts::Texts() const { return parts_->texts; }
text::SettingsStore& ProgramTexts::Settings() { return parts_->settings; }

std::filesystem::path ProgramFolder() { return platform::ExecutableFilePath().parent_path(); }

}  // namespace vantrel::stack
