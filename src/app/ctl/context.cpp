#include "app/ctl/context.h"

#include <ostream>

#include "app/ctl/ctl_texts.h"
#include "app/ctl/registry.h"
#include "platform/executable_path.h"
#include "platform/file_lock.h"
#include "platform/hidapi/hidapi_service.h"
#include "platform/user_paths.h"
#include "sim/fault_plan.h"
#include "sim/sim_state.h"

namespace vantrel::ctl {

Context::Context(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

Context::~Context() { Close(); }

const text::TextSource& Context::Texts() {
  if (!texts_) texts_ = std::make_unique<CtlTexts>(platform::ExecutableFilePath().parent_path(), options_.languageId);
  return texts_->Texts();
}

std::filesystem::path Context::SimStatePath() const {
  return options_.simStatePath.empty() ? platform::DefaultSimStatePath()
                                       : std::filesystem::path(options_.simStatePath);
}

bool Context::Open() {
  if (opened_) return link_ != nullptr;
  opened_ = true;
  if (options_.simulate) {
    std::string error;
    sim::SimOptions simOptions;
    if (!options_.simFault.empty()) {
      auto plan = sim::FaultPlan::Parse(options_.simFault, &error);
      if (!plan) {
        err_ << "--sim-fault: " << error << '\n';
        exitCode_ = kExitUsage;
        return false;
      }
      simOptions.faults = std::move(*plan);
    }
    // Runs on one state file take turns for the whole run, load to save, so that two at
    // once neither collide nor lose each other's changes.
    const std::filesystem::path state = SimStatePath();
    std::error_code ec;
    if (state.has_parent_path()) std::filesystem::create_directories(state.parent_path(), ec);
    simLock_ = std::make_unique<platform::FileLock>(std::filesystem::path(state) += ".lock");
    if (!simLock_->Acquire(kSimLockWait, &error)) {
      err_ << "virtual keyboard state " << state.string() << ": " << error << '\n';
      exitCode_ = kExitFailed;
      return false;
    }
    if (!sim::LoadSimState(state, keyboard_, &error)) {
      err_ << "virtual keyboard state refused: " << error << '\n';
      exitCode_ = kExitFailed;
      return false;
    }
    simulate_ = true;
    simService_ = std::make_unique<sim::SimulatedHidService>(keyboard_, std::move(simOptions));
    backend_ = simService_.get();
  } else {
    auto hardware = std::make_unique<platform::HidapiService>();
    if (hardware->Init(0) > 0 && !hardware->AccessProblems().empty()) {
      err_ << platform::DescribeAccessProblem(hardware->AccessProblems().front()) << '\n';
      exitCode_ = kExitFailed;
      return false;
    }
    hardware_ = std::move(hardware);
    backend_ = hardware_.get();
  }

  device::HidService* top = backend_;
  if (!options_.tracePath.empty()) {
    auto sink = device::FileTraceSink(options_.tracePath);
    if (!sink) {
      err_ << "--trace: cannot open " << options_.tracePath << " for writing\n";
      exitCode_ = kExitUsage;
      return false;
    }
    tracer_ = std::make_unique<device::TracingHidService>(*backend_, std::move(sink));
    top = tracer_.get();
  }
  if (top->Init(0) <= 0) {
    err_ << "the HID service could not be initialised\n";
    exitCode_ = kExitFailed;
    return false;
  }
  link_ = std::make_unique<device::DeviceLink>(*top);
  link_->RegisterConfigRead();
  commands_ = std::make_unique<device::CommandSet>(*link_);
  return true;
}

bool Context::OpenWithKeyboard() {
  if (!Open()) return false;
  if (link_->DeviceCount() == 0) {
    err_ << Texts().Text("MAIN_NO_DEVICE_PROMPT") << '\n';
    exitCode_ = kExitNoKeyboard;
    return false;
  }
  return true;
}

void Context::DeviceFailure(std::string_view operation, device::DeviceResult result) {
  err_ << operation << " failed: " << device::DescribeResult(result) << " (" << result << ")\n";
  exitCode_ = kExitFailed;
}

void Context::Close() {
  commands_.reset();
  link_.reset();
  tracer_.reset();
  hardware_.reset();
  if (simService_) {
    simService_->Drain();
    simService_.reset();
    std::string error;
    // The keyboard's memory is what the command changed: losing it fails the command.
    if (!sim::SaveSimState(SimStatePath(), keyboard_, &error)) {
      err_ << "virtual keyboard state not saved: " << error << '\n';
      exitCode_ = kExitFailed;
    }
  }
  if (simLock_) simLock_->Release();
  backend_ = nullptr;
}

}  // namespace vantrel::ctl
