#include "scripting/history_recorder.h"

#include <utility>

#include "core/keys/device_config.h"
#include "core/lighting/lighting_records.h"
#include "scripting/keyboard_tasks.h"

namespace vantrel::scripting {
namespace {

// The source of the writes of this thread, while a scope names one.
thread_local std::optional<profiles::HistorySource> scopedSource;

}  // namespace

HistoryRecorder::SourceScope::SourceScope(profiles::HistorySource source) : previous_(scopedSource) {
  scopedSource = source;
}

HistoryRecorder::SourceScope::~SourceScope() { scopedSource = previous_; }

HistoryRecorder::HistoryRecorder(profiles::HistoryStore& store, device::CommandSet& commands,
                                 const text::TextSource& texts, profiles::HistorySource source)
    : store_(store), commands_(commands), texts_(texts), source_(source) {}

std::string HistoryRecorder::TakeWarning() {
  std::lock_guard lock(mutex_);
  return std::exchange(warning_, {});
}

HistoryRecorder::Reads HistoryRecorder::ReadsSoFar() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

bool HistoryRecorder::KeysCurrent() const {
  return keys_ && keysAt_ == commands_.Link().KeyWrites() && keysOutside_ == Outside();
}

bool HistoryRecorder::LightingCurrent() const {
  return records_ && lightingAt_ == commands_.Link().LightingWrites() && lightingOutside_ == Outside();
}

void HistoryRecorder::NoteKeys(const keys::StoreImage& image) {
  keys_ = image;
  keysAt_ = commands_.Link().KeyWrites();
  keysOutside_ = Outside();
}

void HistoryRecorder::NoteLighting(const profiles::LightingRecords& records) {
  records_ = records;
  lightingAt_ = commands_.Link().LightingWrites();
  lightingOutside_ = Outside();
}

void HistoryRecorder::KeysRead(const keys::StoreImage& image) {
  std::lock_guard lock(mutex_);
  NoteKeys(image);
}

void HistoryRecorder::LightingRead(const profiles::LightingRecords& records) {
  std::lock_guard lock(mutex_);
  NoteLighting(records);
}

void HistoryRecorder::Forget() {
  std::lock_guard lock(mutex_);
  keys_.reset();
  records_.reset();
}

bool HistoryRecorder::ReadKeys() {
  // The outside count is taken first: a change made while the keyboard is read makes what
  // was read stale again.
  const std::uint64_t outside = Outside();
  keys::DeviceConfiguration config;
  ++reads_.keys;
  if (keys::ReadDeviceConfiguration(commands_, config) != device::kDeviceOk) {
    keys_.reset();
    return false;
  }
  keys::StoreImage image;
  keys::DecodeIntoImage(config, texts_, image);
  NoteKeys(image);
  keysOutside_ = outside;
  return true;
}

bool HistoryRecorder::ReadLighting() {
  const std::uint64_t outside = Outside();
  profiles::LightingRecords records{};
  ++reads_.lighting;
  if (!lighting::ReadLightingRecords(commands_, records)) {
    records_.reset();
    return false;
  }
  NoteLighting(records);
  lightingOutside_ = outside;
  return true;
}

bool HistoryRecorder::Refresh(unsigned parts) {
  if ((parts & profiles::kKeysPart) != 0 && !KeysCurrent() && !ReadKeys()) return false;
  if ((parts & profiles::kLightingPart) != 0 && !LightingCurrent() && !ReadLighting()) return false;
  return true;
}

void HistoryRecorder::Warn(std::string warning) {
  if (warningSink_) {
    warningSink_(warning);
  } else {
    warning_ = std::move(warning);
  }
}

void HistoryRecorder::ReadColours(ProfileLightings& lighting) const {
  if (files_ != nullptr) ReadColourParts(*files_, lighting);
}

// Only the parts the write changes are taken before it; the others are taken once it is
// over (it leaves them as they were), so that nothing is read ahead of a write that it
// does not need.
void HistoryRecorder::BeforeWrite(unsigned parts) {
  std::lock_guard lock(mutex_);
  if (depth_++ > 0) return;
  parts_ = parts;
  before_.reset();
  sentKeys_.reset();
  sentRecords_.reset();
  refused_ = false;
  sent_ = false;
  if (!Refresh(parts)) {
    Warn("the configuration the keyboard held could not be read: " +
         std::string(device::DescribeResult(commands_.LastFailure().result)));
    return;
  }
  KeyboardConfiguration before;
  if ((parts & profiles::kKeysPart) != 0) before.image = *keys_;
  if ((parts & profiles::kLightingPart) != 0) {
    for (std::size_t p = 0; p < before.lighting.size(); ++p) SetRecord(before.lighting[p], (*records_)[p]);
  }
  ReadColours(before.lighting);
  before_ = std::move(before);
}

void HistoryRecorder::AfterWrite(profiles::WriteEnd end, const keys::StoreImage* keys,
                                 const profiles::LightingRecords* records) {
  std::lock_guard lock(mutex_);
  if (depth_ == 0) return;
  if (keys != nullptr) sentKeys_ = *keys;
  if (records != nullptr) sentRecords_ = *records;
  refused_ = refused_ || end == profiles::WriteEnd::Refused;
  sent_ = sent_ || end != profiles::WriteEnd::NotSent;
  if (--depth_ > 0) return;

  const bool keysWritten = (parts_ & profiles::kKeysPart) != 0;
  const bool lightingWritten = (parts_ & profiles::kLightingPart) != 0;
  if (refused_) {
    // The keyboard may hold part of what was sent: what it holds is read now, once the
    // write is over, rather than ahead of the next one.
    if (keysWritten) (void)ReadKeys();
    if (lightingWritten) (void)ReadLighting();
  } else {
    if (sentKeys_) {
      NoteKeys(*sentKeys_);
    } else if (keysWritten) {
      (void)ReadKeys();
    }
    if (sentRecords_) {
      NoteLighting(*sentRecords_);
    } else if (lightingWritten) {
      // After a lighting write only the lighting part is taken again.
      (void)ReadLighting();
    }
  }
  if (!sent_ || !before_) return;

  // The parts the write left alone, as they were before it and still are.
  const unsigned untouched = ~parts_ & (profiles::kKeysPart | profiles::kLightingPart);
  if (!Refresh(untouched)) {
    Warn("the configuration the keyboard held could not be read: " +
         std::string(device::DescribeResult(commands_.LastFailure().result)));
    before_.reset();
    return;
  }
  KeyboardConfiguration& before = *before_;
  if (!keysWritten) before.image = *keys_;
  if (!lightingWritten) {
    for (std::size_t p = 0; p < before.lighting.size(); ++p) SetRecord(before.lighting[p], (*records_)[p]);
  }
  KeyboardConfiguration after = before;
  if (keys_) {
    after.image = *keys_;
  } else if (sentKeys_) {
    after.image = *sentKeys_;
  }
  if (records_) {
    for (std::size_t p = 0; p < after.lighting.size(); ++p) SetRecord(after.lighting[p], (*records_)[p]);
  }
  ReadColours(after.lighting);
  std::string why;
  const profiles::HistorySource source = scopedSource.value_or(source_);
  if (RecordBeforeWrite(store_, source, before, after, texts_, &why) == profiles::RecordResult::Failed) {
    Warn("the configuration before the write was not kept in the history: " + why);
  }
  before_.reset();
}

}  // namespace vantrel::scripting
