#include "core/profiles/history_store.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <span>
#include <system_error>

#include "core/profiles/atomic_file.h"
#include "core/util/regular_file.h"

namespace vantrel::profiles {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "vantrel-history 1";
constexpr std::string_view kExtension = ".entry";
constexpr std::size_t kSequenceDigits = 10;
constexpr std::size_t kRandomDigits = 16;
constexpr std::size_t kNameLength = kSequenceDigits + 1 + kRandomDigits + kExtension.size();
// A header is five short lines; a summary is at most kMaxSummaryBytes.
constexpr std::size_t kMaxHeaderBytes = 1024;

// A file of the folder that carries an entry's name, in entry order.
struct EntryFile {
  std::uint64_t sequence = 0;
  fs::path path;
  std::string name;
  fs::file_status status;  // the file's own, links not followed
  std::uintmax_t bytes = 0;
};

bool AllOf(std::string_view text, bool (*pred)(char)) { return std::all_of(text.begin(), text.end(), pred); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }

// The sequence of an entry's file name; nullopt for any other name (temporary files of a
// write under way, files that are not ours).
std::optional<std::uint64_t> SequenceOfName(std::string_view name) {
  if (name.size() != kNameLength || !name.ends_with(kExtension) || name[kSequenceDigits] != '-') return std::nullopt;
  const std::string_view digits = name.substr(0, kSequenceDigits);
  if (!AllOf(digits, IsDigit) || !AllOf(name.substr(kSequenceDigits + 1, kRandomDigits), IsHexDigit)) {
    return std::nullopt;
  }
  std::uint64_t sequence = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), sequence);
  return sequence;
}

std::string EntryName(std::uint64_t sequence) {
  static thread_local std::mt19937_64 random{[] {
    std::random_device rd;
    return (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
  }()};
  char name[kNameLength + 1];
  std::snprintf(name, sizeof name, "%010llu-%016llx.entry", static_cast<unsigned long long>(sequence % 10000000000ULL),
                static_cast<unsigned long long>(random()));
  return name;
}

// The entry files, oldest first (by sequence, then name). `why`, when given, receives why
// the folder could not be read.
std::vector<EntryFile> EntryFiles(const fs::path& folder, std::string* why = nullptr) {
  std::vector<EntryFile> files;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec && why) *why = folder.string() + ": cannot be read: " + ec.message();
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    EntryFile f;
    f.name = it->path().filename().string();
    const auto sequence = SequenceOfName(f.name);
    if (!sequence) continue;
    f.sequence = *sequence;
    f.path = it->path();
    std::error_code sec;
    f.status = fs::symlink_status(f.path, sec);
    if (fs::is_regular_file(f.status)) {
      f.bytes = fs::file_size(f.path, sec);
      if (sec) f.bytes = 0;
    }
    files.push_back(std::move(f));
  }
  std::sort(files.begin(), files.end(), [](const EntryFile& a, const EntryFile& b) {
    return a.sequence != b.sequence ? a.sequence < b.sequence : a.name < b.name;
  });
  return files;
}

// Why a file under an entry's name is not read; empty for a regular file.
std::string FileKindProblem(const fs::file_status& status) {
  if (fs::is_regular_file(status)) return {};
  if (fs::is_symlink(status)) return "is a link; entries are never read through links";
  if (fs::is_directory(status)) return "is a directory";
  return "is not a regular file";
}

struct Header {
  std::int64_t time = 0;
  HistorySource source = HistorySource::Window;
  std::string summary;
  std::uintmax_t documentBytes = 0;
  std::size_t headerBytes = 0;
};

// Takes "KEY VALUE\n" from the front of `text`.
bool TakeLine(std::string_view& text, std::string_view key, std::string_view& value) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return false;
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(end + 1);
  if (key.empty()) {
    value = line;
    return true;
  }
  if (line.size() < key.size() + 1 || !line.starts_with(key) || line[key.size()] != ' ') return false;
  value = line.substr(key.size() + 1);
  return true;
}

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc{} && end == text.data() + text.size() && !text.empty();
}

// The header at the start of `bytes`; empty `why` when it holds up.
Header ParseHeader(std::string_view bytes, std::string& why) {
  Header h;
  std::string_view rest = bytes, value;
  if (!TakeLine(rest, {}, value) || value != kMagic) {
    why = "is not a history entry";
    return h;
  }
  if (!TakeLine(rest, "time", value) || !ParseNumber(value, h.time)) {
    why = "has no valid time";
    return h;
  }
  std::optional<HistorySource> source;
  if (!TakeLine(rest, "source", value) || !(source = HistorySourceFromName(value))) {
    why = "has no valid source";
    return h;
  }
  h.source = *source;
  if (!TakeLine(rest, "summary", value) || value.size() > kMaxSummaryBytes) {
    why = "has no valid summary";
    return h;
  }
  h.summary = std::string(value);
  if (!TakeLine(rest, "document", value) || !ParseNumber(value, h.documentBytes)) {
    why = "has no valid document length";
    return h;
  }
  h.headerBytes = bytes.size() - rest.size();
  return h;
}

// The first kMaxHeaderBytes of a regular file (fewer when it is shorter).
bool ReadHead(const fs::path& path, std::string& out, std::string& why) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    why = "cannot be opened: " + SystemReason(errno);
    return false;
  }
  out.resize(kMaxHeaderBytes);
  out.resize(std::fread(out.data(), 1, out.size(), f.get()));
  if (std::ferror(f.get())) {
    why = "cannot be read: " + SystemReason(errno);
    return false;
  }
  return true;
}

// The header of an entry file whose length agrees with it; empty `why` then.
Header ReadEntryHeader(const EntryFile& file, std::string& why) {
  why = FileKindProblem(file.status);
  if (!why.empty()) return {};
  std::string head;
  if (!ReadHead(file.path, head, why)) return {};
  Header h = ParseHeader(head, why);
  if (why.empty() && h.headerBytes + h.documentBytes != file.bytes) {
    why = "is " + std::to_string(file.bytes) + " bytes long, its header says " +
          std::to_string(h.headerBytes + h.documentBytes);
  }
  return h;
}

std::string Problem(const EntryFile& file, const std::string& why) { return file.path.string() + ": " + why; }

// The entry files that hold up, newest first, with their headers; the others named.
struct Scan {
  std::vector<std::pair<EntryFile, Header>> good;
  std::vector<std::string> problems;
};

Scan ScanFolder(const fs::path& folder, std::string* why = nullptr) {
  Scan scan;
  auto files = EntryFiles(folder, why);
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    std::string why;
    Header h = ReadEntryHeader(*it, why);
    if (why.empty()) {
      scan.good.emplace_back(std::move(*it), std::move(h));
    } else {
      scan.problems.push_back(Problem(*it, why));
    }
  }
  return scan;
}

// The whole document of an entry file, checked again against its header (the file may
// have changed since it was listed).
bool ReadDocument(const EntryFile& file, HistoryEntry& entry, std::string& why) {
  std::error_code ec;
  const std::string kind = FileKindProblem(fs::symlink_status(file.path, ec));
  if (!kind.empty()) {
    why = Problem(file, kind);
    return false;
  }
  std::string bytes, readWhy;
  if (!ReadRegularFile(file.path, kMaxHistoryEntryBytes, bytes, readWhy)) {
    why = Problem(file, readWhy);
    return false;
  }
  std::string headerWhy;
  const Header h = ParseHeader(std::string_view(bytes).substr(0, kMaxHeaderBytes), headerWhy);
  if (headerWhy.empty() && h.headerBytes + h.documentBytes != bytes.size()) {
    headerWhy = "is " + std::to_string(bytes.size()) + " bytes long, its header says " +
                std::to_string(h.headerBytes + h.documentBytes);
  }
  if (!headerWhy.empty()) {
    why = Problem(file, headerWhy);
    return false;
  }
  entry.time = h.time;
  entry.source = h.source;
  entry.summary = h.summary;
  entry.document = bytes.substr(h.headerBytes);
  return true;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string_view HistorySourceName(HistorySource source) {
  switch (source) {
    case HistorySource::Window: return "window";
    case HistorySource::Ctl: return "vantrelctl";
    case HistorySource::Bus: return "bus";
  }
  return "window";
}

std::optional<HistorySource> HistorySourceFromName(std::string_view name) {
  for (HistorySource s : {HistorySource::Window, HistorySource::Ctl, HistorySource::Bus}) {
    if (HistorySourceName(s) == name) return s;
  }
  return std::nullopt;
}

fs::path HistoryFolder(std::string_view xdgStateHome, std::string_view home) {
  const fs::path state(xdgStateHome);
  if (!xdgStateHome.empty() && state.is_absolute()) return state / "vantrel" / "history";
  if (home.empty()) return {};
  return fs::path(home) / ".local" / "state" / "vantrel" / "history";
}

std::int64_t HistoryNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string OneLineSummary(std::string_view text) {
  std::string line;
  line.reserve(std::min(text.size(), kMaxSummaryBytes));
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    line += (u < 0x20 || u == 0x7F) ? ' ' : c;
  }
  if (line.size() > kMaxSummaryBytes) {
    std::size_t cut = kMaxSummaryBytes;
    // Back up over continuation bytes so that no UTF-8 sequence is split.
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line.resize(cut);
  }
  return line;
}

HistoryStore::HistoryStore(fs::path folder, HistoryLimits limits) : folder_(std::move(folder)), limits_(limits) {}

bool HistoryStore::PrepareFolder(std::string& why) const {
  if (folder_.empty()) {
    why = "no folder for the history (neither XDG_STATE_HOME nor HOME is set)";
    return false;
  }
  std::error_code ec;
  fs::create_directories(folder_, ec);
  const fs::file_status st = fs::symlink_status(folder_, ec);
  if (fs::is_symlink(st)) {
    why = folder_.string() + ": is a link; the history is kept only in a folder of its own";
    return false;
  }
  if (!fs::is_directory(st)) {
    why = folder_.string() + ": " + (fs::exists(st) ? "is not a folder" : "cannot be made");
    return false;
  }
  // The entries hold the user's whole configuration: no one else may read them.
  if ((st.permissions() & fs::perms::all) != fs::perms::owner_all) {
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::replace, ec);
    if (ec) {
      why = folder_.string() + ": cannot be made private: " + ec.message();
      return false;
    }
  }
  return true;
}

RecordResult HistoryStore::Record(const HistoryEntry& entry, std::string* why) {
  std::lock_guard lock(mutex_);
  std::string problem;
  if (!PrepareFolder(problem)) {
    if (why) *why = problem;
    return RecordResult::Failed;
  }
  const Scan scan = ScanFolder(folder_);
  // Identical consecutive configurations are kept once: compare with the newest entry that
  // can be read (a broken one in between says nothing of what the keyboard held).
  for (const auto& [file, header] : scan.good) {
    if (header.documentBytes != entry.document.size()) break;
    HistoryEntry newest;
    std::string readWhy;
    if (!ReadDocument(file, newest, readWhy)) continue;
    if (newest.document == entry.document) return RecordResult::Unchanged;
    break;
  }
  std::uint64_t sequence = 0;
  for (const EntryFile& f : EntryFiles(folder_)) sequence = std::max(sequence, f.sequence + 1);

  const std::string summary = OneLineSummary(entry.summary);
  const std::string header = std::string(kMagic) + "\ntime " + std::to_string(entry.time) + "\nsource " +
                             std::string(HistorySourceName(entry.source)) + "\nsummary " + summary + "\ndocument " +
                             std::to_string(entry.document.size()) + "\n";
  const std::span<const std::uint8_t> parts[] = {Bytes(header), Bytes(entry.document)};
  if (!WriteFileAtomically(folder_ / EntryName(sequence), parts, {}, &problem)) {
    if (why) *why = folder_.string() + ": the entry cannot be written: " + problem;
    return RecordResult::Failed;
  }
  DropOldest();
  return RecordResult::Recorded;
}

void HistoryStore::DropOldest() const {
  // Every regular file under an entry's name counts, broken ones too; links and FIFOs are
  // not ours to remove and take no room here.
  std::vector<EntryFile> files = EntryFiles(folder_);
  std::erase_if(files, [](const EntryFile& f) { return !fs::is_regular_file(f.status); });
  std::uintmax_t total = 0;
  for (const EntryFile& f : files) total += f.bytes;
  std::size_t count = files.size();
  for (const EntryFile& f : files) {
    if (count <= 1 || (count <= limits_.maxEntries && total <= limits_.maxBytes)) break;
    std::error_code ec;
    if (fs::remove(f.path, ec)) {
      --count;
      total -= f.bytes;
    }
  }
}

HistoryListing HistoryStore::List() const {
  std::lock_guard lock(mutex_);
  HistoryListing listing;
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(folder_, ec);
  if (!fs::exists(st)) return listing;
  if (!fs::is_directory(st)) {
    listing.folderProblem = folder_.string() + (fs::is_symlink(st) ? ": is a link" : ": is not a folder");
    return listing;
  }
  Scan scan = ScanFolder(folder_, &listing.folderProblem);
  int number = 1;
  for (auto& [file, header] : scan.good) {
    listing.entries.push_back(
        {number++, header.time, header.source, std::move(header.summary), std::move(file.path), file.bytes});
  }
  listing.problems = std::move(scan.problems);
  return listing;
}

bool HistoryStore::Load(int number, HistoryEntry& entry, std::string& why) const {
  const HistoryListing listing = List();
  if (!listing.folderProblem.empty()) {
    why = listing.folderProblem;
    return false;
  }
  if (number < 1 || static_cast<std::size_t>(number) > listing.entries.size()) {
    why = "there is no entry " + std::to_string(number) + " (the history holds " +
          std::to_string(listing.entries.size()) + ")";
    return false;
  }
  const HistoryItem& item = listing.entries[static_cast<std::size_t>(number - 1)];
  std::lock_guard lock(mutex_);
  EntryFile file;
  file.path = item.file;
  return ReadDocument(file, entry, why);
}

}  // namespace vantrel::profiles
