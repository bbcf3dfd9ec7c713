#include "app/ctl/context.h"

#include <ostream>

#include "app/ctl/lighting_common.h"
#include "app/ctl/registry.h"
#include "platform/user_paths.h"
#include "scripting/script_outcome.h"

namespace vantrel::ctl {

Context::Context(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

Context::~Context() { Close(); }

const text::TextSource& Context::Texts() {
  if (!texts_) texts_ = std::make_unique<stack::ProgramTexts>(stack::ProgramFolder(), options_.languageId);
  return texts_->Texts();
}

std::filesystem::path Context::SimStatePath() const {
  return options_.simStatePath.empty() ? platform::DefaultSimStatePath()
                                       : std::filesystem::path(options_.simStatePath);
}

bool Context::Open() {
  // A failed open reports once; later calls only give the result.
  if (opened_) return stack_.IsOpen();
  opened_ = true;
  std::string error;
  stack::OpenFailure failure = stack::OpenFailure::None;
  if (stack_.Open(options_, &error, &failure)) return true;
  err_ << error << '\n';
  exitCode_ = failure == stack::OpenFailure::Usage ? kExitUsage : kExitFailed;
  return false;
}

bool Context::OpenWithKeyboard() {
  if (!Open()) return false;
  if (Link().DeviceCount() == 0) {
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

void Context::ReadBackFailure(const std::vector<std::string>& differences) {
  if (differences.empty()) return;
  err_ << "the keyboard does not hold what was written:\n";
  for (const auto& line : differences) err_ << "  " << line << '\n';
  exitCode_ = kExitFailed;
}

platform::ProgramBus* Context::Program() {
  if (programAsked_) return program_.get();
  programAsked_ = true;
  if (TalksToTheKeyboardItself()) return nullptr;
  program_ = platform::ProgramBus::Find(options_.simulate ? SimStatePath() : std::filesystem::path());
  return program_.get();
}

bool Context::TalksToTheKeyboardItself() const {
  return direct_ || !options_.simFault.empty() || !options_.simQuirk.empty();
}

bool Context::ProgramLetsWrite() {
  if (auto* program = Program()) return ProgramAnswered(program->Call("CheckIdle"));
  if (!TalksToTheKeyboardItself()) return true;  // Program() looked: none runs
  const auto program = platform::ProgramBus::Find(options_.simulate ? SimStatePath() : std::filesystem::path());
  return !program || ProgramAnswered(program->Call("CheckIdle"));
}

void Context::ConfigurationNotWritten(std::uint64_t failuresBefore) {
  const device::CommandFailure failure = Commands().LastFailure();
  // Gone in the middle of the writes: what went before it was taken. (The bracket's end
  // fails too once the keyboard is gone, so the last failure does not name the write that
  // was cut short.) A refused write is the keyboard's answer to the first write it refuses.
  const bool goneWriting = failure.count > failuresBefore && failure.result == device::kDeviceAbsent &&
                           (failure.command == device::kCmdWriteMacroArea ||
                            failure.command == device::kCmdWriteKeyTable || failure.command == device::kCmdEnd);
  if (goneWriting) {
    err_ << "the keyboard's configuration was written in part: the keyboard went away while it was being written; "
            "run the command again once the keyboard is back\n";
  } else {
    err_ << "the keyboard's configuration was not written\n";
  }
  exitCode_ = kExitFailed;
}

bool Context::ProgramAnswered(const platform::BusAnswer& answer) {
  if (answer.Ok()) return true;
  if (!answer.answered) {
    err_ << "the running program did not answer: " << answer.message << '\n'
         << "whether it carried the request out is unknown; `vantrelctl verify` tells whether the keyboard holds "
            "what the program last wrote\n";
    exitCode_ = kExitFailed;
    return false;
  }
  err_ << answer.message << '\n';
  switch (scripting::ErrorOfName(answer.error)) {
    case scripting::ScriptError::NoKeyboard: exitCode_ = kExitNoKeyboard; break;
    case scripting::ScriptError::InvalidArgument: exitCode_ = kExitUsage; break;
    default: exitCode_ = kExitFailed; break;
  }
  return false;
}

profiles::HistoryStore& Context::History() {
  if (!history_) history_ = std::make_unique<profiles::HistoryStore>(platform::HistoryFolderPath());
  return *history_;
}

scripting::HistoryRecorder* Context::Recorder() {
  if (!opened_ || !stack_.IsOpen()) return nullptr;
  if (!recorder_) {
    historyColours_ = std::make_unique<lighting::KeyColourEditor>(ColourEditor(*this));
    recorder_ = std::make_unique<scripting::HistoryRecorder>(History(), Commands(), Texts(), profiles::HistorySource::Ctl);
    recorder_->SetColourFiles(historyColours_.get());
  }
  return recorder_.get();
}

void Context::ReportHistoryWarning() {
  if (!recorder_) return;
  const std::string warning = recorder_->TakeWarning();
  if (!warning.empty()) err_ << "warning: " << warning << '\n';
}

void Context::Close() {
  ReportHistoryWarning();
  std::string error;
  if (!stack_.Close(&error)) {
    err_ << error << '\n';
    exitCode_ = kExitFailed;
  }
}

}  // namespace vantrel::ctl
