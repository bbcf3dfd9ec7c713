// Keeps the configuration the keyboard held before each recorded write as a history entry,
// without reading the whole keyboard around every write: it remembers what the keyboard
// holds (what was read on arrival, what each recorded write sent, the lighting records the
// lighting session keeps) and reads again only the part that may be stale - after another
// program changed the keyboard, after a write of this program that was not recorded (the
// link's write counts of that area moved), or once the keyboard went away. After a write
// of the lighting only, only the lighting part is taken again.
//
// Threads: one thread writes at a time (the program's device worker, or vantrelctl's
// thread); the source scope is that thread's own. TakeWarning may be called from any.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "core/device/commands.h"
#include "core/lighting/key_colours.h"
#include "core/profiles/history_store.h"
#include "core/profiles/write_recorder.h"
#include "scripting/configuration_history.h"

namespace vantrel::scripting {

class HistoryRecorder final : public profiles::WriteRecorder {
 public:
  // `source`: what makes the writes unless a SourceScope says otherwise.
  HistoryRecorder(profiles::HistoryStore& store, device::CommandSet& commands, const text::TextSource& texts,
                  profiles::HistorySource source);

  // The user colour files (the key colours and user modes of an entry); none: the entries
  // carry no key colours.
  void SetColourFiles(const lighting::KeyColourEditor* files) { files_ = files; }
  // How many changes other programs made to the keyboard so far (none: they cannot).
  void SetOutsideChanges(std::function<std::uint64_t()> count) { outside_ = std::move(count); }

  // The writes this thread makes while the scope lasts come from `source`.
  class SourceScope {
   public:
    explicit SourceScope(profiles::HistorySource source);
    ~SourceScope();
    SourceScope(const SourceScope&) = delete;
    SourceScope& operator=(const SourceScope&) = delete;

   private:
    std::optional<profiles::HistorySource> previous_;
  };

  // Why the last entry could not be kept; empty when it was. Cleared by the call.
  std::string TakeWarning();
  // Warnings go to `sink` as they come (on the writing thread) instead of waiting for
  // TakeWarning.
  void SetWarningSink(std::function<void(const std::string&)> sink) { warningSink_ = std::move(sink); }

  // How many times each part was read from the keyboard for the history (tests, bench).
  struct Reads {
    int keys = 0;
    int lighting = 0;
  };
  Reads ReadsSoFar() const;

  // ---- profiles::WriteRecorder ----
  void BeforeWrite(unsigned parts) override;
  void AfterWrite(profiles::WriteEnd end, const keys::StoreImage* keys,
                  const profiles::LightingRecords* records) override;
  void KeysRead(const keys::StoreImage& image) override;
  void LightingRead(const profiles::LightingRecords& records) override;
  void Forget() override;

 private:
  std::uint64_t Outside() const { return outside_ ? outside_() : 0; }
  bool KeysCurrent() const;
  bool LightingCurrent() const;
  // Takes the `parts` that may be stale from the keyboard; false when one cannot be read.
  bool Refresh(unsigned parts);
  bool ReadKeys();
  bool ReadLighting();
  void NoteKeys(const keys::StoreImage& image);
  void NoteLighting(const profiles::LightingRecords& records);
  void ReadColours(ProfileLightings& lighting) const;
  void Warn(std::string warning);

  profiles::HistoryStore& store_;
  device::CommandSet& commands_;
  const text::TextSource& texts_;
  const profiles::HistorySource source_;
  const lighting::KeyColourEditor* files_ = nullptr;
  std::function<std::uint64_t()> outside_;
  std::function<void(const std::string&)> warningSink_;

  mutable std::mutex mutex_;
  // What the keyboard holds, each part with the write count and outside count it was
  // taken at.
  std::optional<keys::StoreImage> keys_;
  std::uint64_t keysAt_ = 0;
  std::uint64_t keysOutside_ = 0;
  std::optional<profiles::LightingRecords> records_;
  std::uint64_t lightingAt_ = 0;
  std::uint64_t lightingOutside_ = 0;

  int depth_ = 0;  // nested writes
  unsigned parts_ = 0;
  std::optional<KeyboardConfiguration> before_;  // the outermost write's
  std::optional<keys::StoreImage> sentKeys_;     // what its writes sent
  std::optional<profiles::LightingRecords> sentRecords_;
  bool refused_ = false;
  bool sent_ = false;
  std::string warning_;
  Reads reads_;
};

}  // namespace vantrel::scripting
