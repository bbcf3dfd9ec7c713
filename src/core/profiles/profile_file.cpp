#include "core/profiles/profile_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <system_error>

#include "core/text/safe_format.h"
#include "core/util/bytes.h"
#include "core/util/regular_file.h"

namespace vantrel::profiles {
namespace {

using keys::KeyAssignment;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A regular file (or anything a directory search would find that is not a folder).
bool Found(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

bool OwnsString(const KeyAssignment& r) { return r.kind == keys::kKindLaunch || r.kind == keys::kKindText; }

std::uint64_t DeclaredSize(std::uint16_t n, std::uint32_t s) {
  return kFileFixedSize + static_cast<std::uint64_t>(n) * keys::kMacroRecordSize + s;
}

}  // namespace

const char* HeaderProblem(std::span<const std::uint8_t> h) {
  if (h.size() < keys::kFileHeaderSize) return "shorter than the 32-byte header";
  const std::uint32_t total = LoadU32(h, kHdrTotal);
  const std::uint16_t n = LoadU16(h, kHdrMacroCount);
  if (LoadU16(h, kHdrMagic) != kFileMagic) return "magic is not 0x4446";
  if (LoadU16(h, kHdrSize) != keys::kFileHeaderSize) return "header size is not 32";
  if (LoadU16(h, kHdrVersion) != kFileVersion) return "format version is not 3";
  if (LoadU16(h, kHdrSubVersion) != kFileSubVersion) return "format sub-version is not 1";
  if (total < kFileFixedSize) return "total size is below 32832";
  if (LoadU16(h, kHdrRecords) != keys::kRecordCount) return "key record count is not 2048";
  if (n > keys::kMaxMacros) return "macro count is above 100";
  if (h[kHdrFlag] > 1) return "flag is neither 0 nor 1";
  // The sum is taken in 64 bits: a 32-bit sum could wrap onto a matching total.
  if (DeclaredSize(n, LoadU32(h, kHdrStringSize)) != total) {
    return "total size does not match the macro count and string-area size";
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i < kHdrChecksum; ++i) sum += h[i];
  if (static_cast<std::uint8_t>(sum) != h[kHdrChecksum]) return "checksum does not match";
  return nullptr;
}

bool HeaderAcceptable(std::span<const std::uint8_t> h) { return HeaderProblem(h) == nullptr; }

int ValidateProfileFile(const std::filesystem::path& path, const text::TextSource& texts, text::MessageSink& sink,
                        std::string* reason) {
  auto refuse = [reason](int result, std::string why) {
    if (reason) *reason = std::move(why);
    return result;
  };
  if (!Found(path)) return refuse(kProfileRejected, "does not exist");
  // Checked before opening: opening a FIFO would wait for a writer.
  if (std::string problem = RegularFileProblem(path); !problem.empty()) {
    return refuse(kProfileCannotOpen, std::move(problem));
  }
  errno = 0;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return refuse(kProfileCannotOpen, "cannot be opened: " + SystemReason(errno));
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return refuse(kProfileCannotOpen, "cannot be opened: " + ec.message());
  if (size >= (std::uintmax_t{1} << 32)) return refuse(kProfileRejected, "is 4 GiB or larger");
  if (size < kFileFixedSize) {
    return refuse(kProfileRejected, "is too small (" + std::to_string(size) + " bytes; a profile file has at least " +
                                        std::to_string(kFileFixedSize) + ")");
  }
  std::array<std::uint8_t, keys::kFileHeaderSize> header{};
  if (std::fread(header.data(), 1, header.size(), f.get()) != header.size()) {
    return refuse(kProfileCannotOpen, "cannot be read");
  }
  if (const char* problem = HeaderProblem(header)) {
    sink.ShowMessage(text::FormatWithString(texts.Text("PROFILE_FORMAT_ERROR"), path.string()));
    return refuse(kProfileRejected, std::string("header rejected: ") + problem);
  }
  return kProfileValid;
}

namespace {

// The texts of the records that own one, read from the string area (exactly the declared
// S bytes). An offset outside the area or a string running off its end gives an empty text.
void LoadStrings(std::span<const std::uint8_t> area, keys::StoreImage& image) {
  image.strings.Clear();
  for (std::size_t slot = 0; slot < keys::kRecordCount; ++slot) {
    const KeyAssignment r = image.table.RecordAt(slot);
    if (!OwnsString(r)) continue;
    // The offset is read as unsigned and rounded down to an even byte.
    const std::size_t start = static_cast<std::uint32_t>(r.code) & ~std::uint32_t{1};
    std::size_t end = start;
    while (end + 1 < area.size() && (area[end] | area[end + 1]) != 0) end += 2;
    std::u16string textValue;
    if (end + 1 < area.size()) {  // the terminator lies inside the area
      textValue.resize((end - start) / 2);
      for (std::size_t i = 0; i < textValue.size(); ++i) {
        textValue[i] = static_cast<char16_t>(area[start + 2 * i] | (area[start + 2 * i + 1] << 8));
      }
    }
    image.strings.Set(slot, std::move(textValue));
  }
}

// Reads exactly `length` bytes; false when the file ends first or the read fails.
bool ReadExactly(std::FILE* f, std::uint8_t* out, std::size_t length) {
  return std::fread(out, 1, length, f) == length;
}

// Macro records read per read call: few calls, and a buffer small enough to be reused
// by the allocator instead of being mapped fresh for every load.
constexpr std::size_t kMacrosPerRead = 4;

}  // namespace

bool LoadProfileBytes(std::span<const std::uint8_t> bytes, keys::StoreImage& image) {
  if (bytes.size() < kFileFixedSize) return false;
  std::copy_n(bytes.begin(), kFileFixedSize, image.table.Bytes().begin());
  const std::size_t n = LoadU16(bytes, kHdrMacroCount);
  const std::uint32_t s = LoadU32(bytes, kHdrStringSize);
  if (n > keys::kMaxMacros || s > kMaxStringAreaBytes) return false;
  const std::size_t macroBytes = n * keys::kMacroRecordSize;
  if (bytes.size() - kFileFixedSize < macroBytes) return false;
  image.macros.clear();
  image.macros.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    image.macros.push_back(
        keys::MacroRecord::FromBytes(bytes.subspan(kFileFixedSize + i * keys::kMacroRecordSize, keys::kMacroRecordSize)));
  }
  // The string area is exactly what the header declares; bytes beyond it are ignored,
  // and a file cut short inside it is refused like one cut short inside a macro.
  std::span<const std::uint8_t> area = bytes.subspan(kFileFixedSize + macroBytes);
  if (area.size() < s) return false;
  LoadStrings(area.first(s), image);
  return true;
}

bool LoadProfileImage(const std::filesystem::path& path, keys::StoreImage& image, std::string* reason) {
  auto refuse = [reason](std::string why) {
    if (reason) *reason = std::move(why);
    return false;
  };
  if (std::string problem = RegularFileProblem(path); !problem.empty()) return refuse(std::move(problem));
  errno = 0;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return refuse("cannot be opened: " + SystemReason(errno));
  // Every read below is large or wanted whole: read straight into the records, with no
  // copy through the stream's own buffer.
  std::setvbuf(f.get(), nullptr, _IONBF, 0);
  std::array<std::uint8_t, keys::kFileHeaderSize> header{};
  if (!ReadExactly(f.get(), header.data(), header.size())) {
    return refuse("is too small (" + std::to_string(kFileFixedSize) + " bytes at least)");
  }
  // Refused before anything of it is read: gigabytes of "strings" would all be read.
  const std::uint32_t s = LoadU32(header, kHdrStringSize);
  if (s > kMaxStringAreaBytes) {
    return refuse("declares a string area of " + std::to_string(s) + " bytes; no configuration holds more than " +
                  std::to_string(kMaxStringAreaBytes) + " bytes (128 MiB) of key texts");
  }
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return refuse("cannot be read: " + ec.message());
  const std::uint16_t n = LoadU16(header, kHdrMacroCount);
  const std::uint64_t declared = DeclaredSize(std::min<std::uint16_t>(n, keys::kMaxMacros + 1), s);
  if (size < declared) {
    return refuse("is cut short (" + std::to_string(size) + " bytes; its header declares " + std::to_string(declared) +
                  ")");
  }
  // Never more than the header declares: the fixed part straight into the table, the
  // macros a few records at a time, then the string area.
  constexpr auto kChanged = "is cut short (it changed while it was read)";
  const auto table = image.table.Bytes();
  std::copy(header.begin(), header.end(), table.begin());
  if (!ReadExactly(f.get(), table.data() + header.size(), table.size() - header.size())) return refuse(kChanged);
  if (n > keys::kMaxMacros) return refuse("cannot be loaded");
  try {
    std::vector<std::uint8_t> chunk(std::min<std::size_t>(n, kMacrosPerRead) * keys::kMacroRecordSize);
    image.macros.clear();
    image.macros.reserve(n);
    for (std::size_t done = 0; done < n;) {
      const std::size_t count = std::min(n - done, kMacrosPerRead);
      if (!ReadExactly(f.get(), chunk.data(), count * keys::kMacroRecordSize)) return refuse(kChanged);
      for (std::size_t i = 0; i < count; ++i) {
        image.macros.push_back(keys::MacroRecord::FromBytes(
            std::span(chunk).subspan(i * keys::kMacroRecordSize, keys::kMacroRecordSize)));
      }
      done += count;
    }
    std::vector<std::uint8_t> area(s);
    if (!ReadExactly(f.get(), area.data(), area.size())) return refuse(kChanged);
    LoadStrings(area, image);
  } catch (const std::bad_alloc&) {
    return refuse("does not fit in memory");
  }
  return true;
}

bool LoadProfileFile(const std::filesystem::path& path, keys::EditingStore::Lock& held) {
  return LoadProfileImage(path, held.Image());
}

namespace {

// Rebuilds the header (flag 0) and packs the strings in slot order, writing their offsets
// into the image's own records. Returns the string area; the macro count is the header's.
std::vector<std::uint8_t> PackStrings(keys::StoreImage& image, std::uint16_t& macroCount) {
  const auto n = static_cast<std::uint16_t>(std::min(image.macros.size(), keys::kMaxMacros));
  const auto s = static_cast<std::uint32_t>(std::max(image.strings.Total(), 0));
  image.table.FillFileHeader(n, s, 0);
  macroCount = n;

  std::vector<std::uint8_t> area(s, 0);
  std::size_t pos = 0;
  for (std::size_t slot = 0; slot < keys::kRecordCount; ++slot) {
    const std::uint32_t length = image.strings.SlotSize(slot);
    if (length == 0 || length > s - pos) continue;
    KeyAssignment r = image.table.RecordAt(slot);
    if (!OwnsString(r)) continue;
    const std::u16string* textValue = image.strings.Slot(slot);
    for (std::size_t i = 0; i < textValue->size(); ++i) {
      area[pos + 2 * i] = static_cast<std::uint8_t>((*textValue)[i]);
      area[pos + 2 * i + 1] = static_cast<std::uint8_t>((*textValue)[i] >> 8);
    }
    r.code = static_cast<std::int32_t>(pos);
    image.table.SetRecordAt(slot, r);
    pos += length;
  }
  return area;
}

}  // namespace

std::vector<std::uint8_t> SerializeProfileImage(keys::StoreImage& image) {
  std::uint16_t n = 0;
  const std::vector<std::uint8_t> area = PackStrings(image, n);
  std::vector<std::uint8_t> out;
  out.reserve(DeclaredSize(n, static_cast<std::uint32_t>(area.size())));
  const auto table = image.table.Bytes();
  out.insert(out.end(), table.begin(), table.end());
  for (std::size_t i = 0; i < n; ++i) {
    const auto m = image.macros[i].Bytes();
    out.insert(out.end(), m.begin(), m.end());
  }
  out.insert(out.end(), area.begin(), area.end());
  return out;
}

bool SaveProfileImage(const std::filesystem::path& path, keys::StoreImage& image, const WriteFaultHook& hook,
                      std::string* why) {
  // The file is written from the records themselves, without assembling a copy of it.
  std::vector<std::uint8_t> area;
  std::vector<std::span<const std::uint8_t>> parts;
  try {
    std::uint16_t n = 0;
    area = PackStrings(image, n);
    parts.reserve(std::size_t{n} + 2);
    parts.emplace_back(image.table.Bytes());
    for (std::size_t i = 0; i < n; ++i) parts.emplace_back(image.macros[i].Bytes());
    parts.emplace_back(area);
  } catch (const std::bad_alloc&) {
    if (why) *why = "out of memory";
    return false;
  }
  return WriteFileAtomically(path, parts, hook, why);
}

bool SaveProfileFile(const std::filesystem::path& path, keys::EditingStore::Lock& held, const WriteFaultHook& hook) {
  return SaveProfileImage(path, held.Image(), hook);
}

bool SaveProfileFile(const std::filesystem::path& path, keys::EditingStore& store, const WriteFaultHook& hook) {
  keys::EditingStore::Lock lock(store);
  return SaveProfileFile(path, lock, hook);
}

void EmptyEditingStore(keys::EditingStore::Lock& held) {
  keys::StoreImage& image = held.Image();
  image.strings.Clear();
  image.macros.clear();
  image.packedStrings.clear();
  image.stringTotal = 0;
  auto bytes = image.table.Bytes();
  std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
}

keys::AssignmentTable DefaultAssignmentTable() {
  // A new table already is the default: header for N = 0 and S = 0, the key section
  // header, table 0's records 256-273 with aux 0x0301-0x0309 and 0x1301-0x1309.
  return keys::AssignmentTable{};
}

bool CreateDefaultProfile(const std::filesystem::path& path, const WriteFaultHook& hook) {
  const keys::AssignmentTable table = DefaultAssignmentTable();
  const std::span<const std::uint8_t> parts[] = {table.Bytes()};
  return WriteFileAtomically(path, parts, hook);
}

void CreateDefaultProfile(keys::EditingStore::Lock& held) { held.Image().table = DefaultAssignmentTable(); }

}  // namespace vantrel::profiles
