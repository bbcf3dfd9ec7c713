// The seam through which the one implementation of each write that changes the keyboard's
// configuration tells the history about it: before the first request goes out, and once
// the write is over with what the keyboard was sent. The implementation (the history
// recorder) keeps the configuration held before as an entry.
//
// Writes nest: an import writes the keys and macros (a restore inside it) and then the
// lighting; only the outermost write is one entry, with what every inner write sent.
#pragma once

#include <array>

#include "core/keys/stores.h"
#include "core/lighting/lighting_record.h"

namespace vantrel::profiles {

// The parts of the configuration a write changes (bits).
inline constexpr unsigned kKeysPart = 1;      // key tables and macro area
inline constexpr unsigned kLightingPart = 2;  // lighting records, key colours, user modes

using LightingRecords = std::array<lighting::LightingRecord, lighting::kProfileCount>;

// How a write ended.
enum class WriteEnd {
  Taken,    // the keyboard took all of it
  Refused,  // something went out and was refused: the keyboard may hold part of it
  NotSent,  // nothing went out (nothing to change): no entry
};

class WriteRecorder {
 public:
  virtual ~WriteRecorder() = default;
  // Before the write's first request (device worker, or vantrelctl's one thread).
  virtual void BeforeWrite(unsigned parts) = 0;
  // After the write: `keys` the whole image the keyboard was sent (keys part), `records`
  // the lighting records it holds now when the caller knows them (else the recorder
  // reads them).
  virtual void AfterWrite(WriteEnd end, const keys::StoreImage* keys, const LightingRecords* records) = 0;
  // What was just read from the keyboard, so that the next write need not read it again.
  virtual void KeysRead(const keys::StoreImage& image) { (void)image; }
  virtual void LightingRead(const LightingRecords& records) { (void)records; }
  // The keyboard went away: what it holds is unknown until it is read again.
  virtual void Forget() {}
};

// One recorded write, for the scope of the write. A null recorder records nothing.
class RecordedWrite {
 public:
  RecordedWrite(WriteRecorder* recorder, unsigned parts) : recorder_(recorder) {
    if (recorder_ != nullptr) recorder_->BeforeWrite(parts);
  }
  ~RecordedWrite() {
    if (recorder_ != nullptr && !done_) recorder_->AfterWrite(WriteEnd::Refused, nullptr, nullptr);
  }
  RecordedWrite(const RecordedWrite&) = delete;
  RecordedWrite& operator=(const RecordedWrite&) = delete;
  void Done(WriteEnd end, const keys::StoreImage* keys = nullptr, const LightingRecords* records = nullptr) {
    if (recorder_ != nullptr && !done_) recorder_->AfterWrite(end, keys, records);
    done_ = true;
  }
  void Done(bool taken, const keys::StoreImage* keys = nullptr, const LightingRecords* records = nullptr) {
    Done(taken ? WriteEnd::Taken : WriteEnd::Refused, keys, records);
  }

 private:
  WriteRecorder* recorder_;
  bool done_ = false;
};

}  // namespace vantrel::profiles
