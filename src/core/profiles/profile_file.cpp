#include "core/profiles/profile_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <system_error>

#include "core/text/safe_format.h"
#include "core/util/bytes.h"

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

bool HeaderAcceptable(std::span<const std::uint8_t> h) {
  if (h.size() < keys::kFileHeaderSize) return false;
  const std::uint32_t total = LoadU32(h, kHdrTotal);
  const std::uint16_t n = LoadU16(h, kHdrMacroCount);
  if (LoadU16(h, kHdrMagic) != kFileMagic) return false;
  if (LoadU16(h, kHdrSize) != keys::kFileHeaderSize) return false;
  if (LoadU16(h, kHdrVersion) != kFileVersion) return false;
  if (LoadU16(h, kHdrSubVersion) != kFileSubVersion) return false;
  if (total < kFileFixedSize) return false;
  if (LoadU16(h, kHdrRecords) != keys::kRecordCount) return false;
  if (n > keys::kMaxMacros) return false;
  if (h[kHdrFlag] > 1) return false;
  // The sum is taken in 64 bits: a 32-bit sum could wrap onto a matching total.
  if (DeclaredSize(n, LoadU32(h, kHdrStringSize)) != total) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i < kHdrChecksum; ++i) sum += h[i];
  return static_cast<std::uint8_t>(sum) == h[kHdrChecksum];
}

int ValidateProfileFile(const std::filesystem::path& path, const text::TextSource& texts, text::MessageSink& sink) {
  if (!Found(path)) return kProfileRejected;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return kProfileCannotOpen;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return kProfileCannotOpen;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return kProfileCannotOpen;
  if (size >= (std::uintmax_t{1} << 32) || size < kFileFixedSize) return kProfileRejected;
  std::array<std::uint8_t, keys::kFileHeaderSize> header{};
  if (std::fread(header.data(), 1, header.size(), f.get()) != header.size()) return kProfileCannotOpen;
  if (!HeaderAcceptable(header)) {
    sink.ShowMessage(text::FormatWithString(texts.Text("PROFILE_FORMAT_ERROR"), path.string()));
    return kProfileRejected;
  }
  return kProfileValid;
}

bool LoadProfileBytes(std::span<const std::uint8_t> bytes, keys::StoreImage& image) {
  if (bytes.size() < kFileFixedSize) return false;
  std::copy_n(bytes.begin(), kFileFixedSize, image.table.Bytes().begin());
  const std::size_t n = LoadU16(bytes, kHdrMacroCount);
  const std::uint32_t s = LoadU32(bytes, kHdrStringSize);
  if (n > keys::kMaxMacros) return false;
  const std::size_t macroBytes = n * keys::kMacroRecordSize;
  if (bytes.size() - kFileFixedSize < macroBytes) return false;
  image.macros.clear();
  image.macros.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    image.macros.push_back(
        keys::MacroRecord::FromBytes(bytes.subspan(kFileFixedSize + i * keys::kMacroRecordSize, keys::kMacroRecordSize)));
  }
  // The string area is what the header declares, as far as the file holds it.
  std::span<const std::uint8_t> area = bytes.subspan(kFileFixedSize + macroBytes);
  if (area.size() > s) area = area.first(s);

  image.strings.Clear();
  for (std::size_t slot = 0; slot < keys::kRecordCount; ++slot) {
    const KeyAssignment r = image.table.RecordAt(slot);
    if (!OwnsString(r)) continue;
    // The offset is read as unsigned and rounded down to an even byte.
    const std::size_t start = static_cast<std::uint32_t>(r.code) & ~std::uint32_t{1};
    std::u16string textValue;
    bool terminated = false;
    for (std::size_t pos = start; pos + 1 < area.size(); pos += 2) {
      const auto c = static_cast<char16_t>(area[pos] | (area[pos + 1] << 8));
      if (c == 0) {
        terminated = true;
        break;
      }
      textValue.push_back(c);
    }
    // An offset outside the area or a string running off its end gives an empty text.
    if (!terminated) textValue.clear();
    image.strings.Set(slot, std::move(textValue));
  }
  return true;
}

bool LoadProfileImage(const std::filesystem::path& path, keys::StoreImage& image) {
  if (!Found(path)) return false;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  std::array<std::uint8_t, keys::kFileHeaderSize> header{};
  if (std::fread(header.data(), 1, header.size(), f.get()) != header.size()) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return false;
  // Never more than the header declares nor more than the file holds.
  const std::uint64_t wanted =
      std::min<std::uint64_t>(size, DeclaredSize(std::min<std::uint16_t>(LoadU16(header, kHdrMacroCount), keys::kMaxMacros + 1),
                                                 LoadU32(header, kHdrStringSize)));
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(std::max<std::uint64_t>(wanted, keys::kFileHeaderSize)));
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::copy(header.begin(), header.end(), bytes.begin());
  const std::size_t rest = bytes.size() - header.size();
  const std::size_t got = std::fread(bytes.data() + header.size(), 1, rest, f.get());
  bytes.resize(header.size() + got);
  return LoadProfileBytes(bytes, image);
}

bool LoadProfileFile(const std::filesystem::path& path, keys::EditingStore::Lock& held) {
  return LoadProfileImage(path, held.Image());
}

std::vector<std::uint8_t> SerializeProfileImage(keys::StoreImage& image) {
  const auto n = static_cast<std::uint16_t>(std::min(image.macros.size(), keys::kMaxMacros));
  const auto s = static_cast<std::uint32_t>(std::max(image.strings.Total(), 0));
  image.table.FillFileHeader(n, s, 0);

  std::vector<std::uint8_t> out(DeclaredSize(n, s), 0);
  std::uint8_t* area = out.data() + kFileFixedSize + std::size_t{n} * keys::kMacroRecordSize;
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
  const auto table = image.table.Bytes();
  std::copy(table.begin(), table.end(), out.begin());
  for (std::size_t i = 0; i < n; ++i) {
    const auto m = image.macros[i].Bytes();
    std::copy(m.begin(), m.end(), out.begin() + static_cast<std::ptrdiff_t>(kFileFixedSize + i * keys::kMacroRecordSize));
  }
  return out;
}

bool SaveProfileImage(const std::filesystem::path& path, keys::StoreImage& image, const WriteFaultHook& hook) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = SerializeProfileImage(image);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const std::span<const std::uint8_t> parts[] = {bytes};
  return WriteFileAtomically(path, parts, hook);
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
