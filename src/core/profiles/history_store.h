// The history of what the keyboard held: before each write that changes the keyboard's
// configuration, the configuration it held until then is kept as one entry in a folder of
// the user's own, with the time, what made the change and a one-line summary of it.
//
// The store keeps documents as they are given (the caller serialises the configuration);
// it knows nothing of their content except that two equal documents are one configuration.
//
// One file per entry, "<10-digit sequence>-<16 hex digits>.entry": the sequence orders the
// entries, the random part keeps two programs recording at once from taking one name. A
// file is a short text header followed by the document:
//
//   vantrel-history 1\n
//   time 1765380000\n          seconds since the epoch
//   source vantrelctl\n        window, vantrelctl or bus
//   summary Caps Lock on Profile 2\n
//   document 18204\n           the document's length in bytes; the document follows
//
// Entries are written atomically. The folder is made 0700. Only regular files are read:
// a link (to anything) or a FIFO under an entry's name is refused and named, as is an entry
// whose header or length does not hold up; none of them stops the others from being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::profiles {

// What made the change an entry was recorded before.
enum class HistorySource { Window, Ctl, Bus };

// "window", "vantrelctl", "bus": the words stored in the entry and shown by vantrelctl.
std::string_view HistorySourceName(HistorySource source);
std::optional<HistorySource> HistorySourceFromName(std::string_view name);

// The folder of the history: $XDG_STATE_HOME/vantrel/history when that is set and absolute
// (a relative value is ignored, as the XDG rules say), else ~/.local/state/vantrel/history;
// empty when neither gives a folder. The caller passes the two variables (empty when unset).
std::filesystem::path HistoryFolder(std::string_view xdgStateHome, std::string_view home);

// Seconds since the epoch now.
std::int64_t HistoryNow();

// A summary as one line of at most kMaxSummaryBytes bytes: line breaks and other control
// characters become spaces; a cut never splits a UTF-8 sequence.
inline constexpr std::size_t kMaxSummaryBytes = 400;
std::string OneLineSummary(std::string_view text);

struct HistoryLimits {
  std::size_t maxEntries = 100;
  // The files' sizes together. The newest entry is kept even when it alone is larger: it is
  // the way back from the write just made.
  std::uintmax_t maxBytes = std::uintmax_t{20} << 20;
};

// The largest entry file read: the largest configuration document (32 MiB) and its header.
inline constexpr std::size_t kMaxHistoryEntryBytes = (std::size_t{32} << 20) + 4096;

struct HistoryEntry {
  std::int64_t time = 0;  // seconds since the epoch
  HistorySource source = HistorySource::Window;
  std::string summary;   // one line
  std::string document;  // the configuration, as the caller serialised it
};

// One entry as listed: everything but the document.
struct HistoryItem {
  int number = 0;  // 1 is the newest
  std::int64_t time = 0;
  HistorySource source = HistorySource::Window;
  std::string summary;
  std::filesystem::path file;
  std::uintmax_t bytes = 0;  // the file's size
};

struct HistoryListing {
  std::vector<HistoryItem> entries;   // newest first, numbered from 1
  std::vector<std::string> problems;  // "FILE: reason", one per entry skipped
  std::string folderProblem;          // the folder cannot be used (empty when it can, or is absent)
};

enum class RecordResult {
  Recorded,   // a new entry was written
  Unchanged,  // the newest entry holds the same configuration: nothing written
  Failed,     // the folder or the file could not be written (why says why)
};

class HistoryStore {
 public:
  explicit HistoryStore(std::filesystem::path folder, HistoryLimits limits = {});

  const std::filesystem::path& Folder() const { return folder_; }

  // Keeps the configuration as the newest entry, then drops the oldest entries beyond the
  // limits. The summary is made one line. Thread-safe; two programs may record at once.
  RecordResult Record(const HistoryEntry& entry, std::string* why = nullptr);

  // The entries, newest first; documents are not read. An absent folder lists nothing.
  HistoryListing List() const;

  // Entry `number` of List() with its document. False with the reason when there is no
  // such entry or it cannot be read whole.
  bool Load(int number, HistoryEntry& entry, std::string& why) const;

 private:
  bool PrepareFolder(std::string& why) const;
  void DropOldest() const;

  std::filesystem::path folder_;
  HistoryLimits limits_;
  mutable std::mutex mutex_;
};

}  // namespace vantrel::profiles
