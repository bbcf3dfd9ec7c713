// Profile files: the keyboard's whole configuration in one file, byte for byte the
// editing store's image. Little-endian, no padding:
//   0      32-byte file header (magic 0x4446, size 32, version 3.1, total size,
//          2048 key records, macro count N, string-area size S, flag, checksum)
//   32     32-byte key section header (carried, never checked)
//   64     4 key tables x 512 records x 16 bytes
//   32832  N macro records of 16512 bytes
//   32832 + N x 16512   S bytes of UTF-16LE strings, each with a 16-bit terminator, at
//                       even offsets; records of kind 3 and 6 hold their string's offset
//                       in the u32 at record offset 4.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/keys/stores.h"
#include "core/profiles/atomic_file.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

inline constexpr std::uint16_t kFileMagic = 0x4446;
inline constexpr std::uint16_t kFileVersion = 3;
inline constexpr std::uint16_t kFileSubVersion = 1;
inline constexpr std::size_t kFileFixedSize = keys::kAssignmentTableSize;  // 32832

// Header offsets.
inline constexpr std::size_t kHdrMagic = 0;
inline constexpr std::size_t kHdrSize = 2;
inline constexpr std::size_t kHdrVersion = 4;
inline constexpr std::size_t kHdrSubVersion = 6;
inline constexpr std::size_t kHdrTotal = 8;
inline constexpr std::size_t kHdrRecords = 12;
inline constexpr std::size_t kHdrMacroCount = 14;
inline constexpr std::size_t kHdrStringSize = 16;
inline constexpr std::size_t kHdrFlag = 30;
inline constexpr std::size_t kHdrChecksum = 31;

// The longest text a key can carry (a program path or a text block), in UTF-16 units
// without its terminator, and so the largest string area any configuration can hold:
// each of the 2048 records with such a text, 128 MiB. A file declaring more is refused
// before its string area is read.
inline constexpr std::size_t kMaxKeyTextChars = 32767;
inline constexpr std::uint64_t kMaxStringAreaBytes = std::uint64_t{keys::kRecordCount} * (kMaxKeyTextChars + 1) * 2;
static_assert(kMaxStringAreaBytes == std::uint64_t{128} << 20);

// Results of ValidateProfileFile.
inline constexpr int kProfileValid = 1;
inline constexpr int kProfileRejected = 0;  // missing, too small, 4 GiB or more, bad header
inline constexpr int kProfileCannotOpen = -2;
inline constexpr int kProfileNoMemory = -3;

// The header checks in their fixed order; true when all pass. Fewer than 32 bytes fail.
bool HeaderAcceptable(std::span<const std::uint8_t> header);
// The first failing header check in words ("magic is not 0x4446"); nullptr when all pass.
const char* HeaderProblem(std::span<const std::uint8_t> header);

// Reads only the header. Shows "PROFILE_FORMAT_ERROR" formatted with the path when the
// header is rejected; the other refusals are silent. The file is opened for reading only,
// so a read-only file validates. Anything but a regular file (a directory, a FIFO, a
// device) counts as a file that cannot be opened and is never opened. `reason`, when
// given, receives why the file was refused ("is a directory", "header rejected: ...").
int ValidateProfileFile(const std::filesystem::path& path, const text::TextSource& texts, text::MessageSink& sink,
                        std::string* reason = nullptr);

// Fills the image from a file. The assignment table, the macros and the string area are
// taken as the header's counts say; a string whose offset or terminator lies outside the
// string area gives its slot an empty text. False (with the reason) when the path is
// not a regular file, cannot be read, declares a string area larger than
// kMaxStringAreaBytes, or holds fewer bytes than its header declares (bytes beyond the
// declared size are ignored). A failed load leaves the image partly
// filled: load into a separate image and install it only on success.
bool LoadProfileImage(const std::filesystem::path& path, keys::StoreImage& image, std::string* reason = nullptr);
// The same from bytes already in memory.
bool LoadProfileBytes(std::span<const std::uint8_t> bytes, keys::StoreImage& image);
bool LoadProfileFile(const std::filesystem::path& path, keys::EditingStore::Lock& held);

// The file image of a store: the header rebuilt from the macro count and the string
// total (flag 0), the strings packed in slot order and their offsets written into the
// image's own records, then table, macros and string area.
std::vector<std::uint8_t> SerializeProfileImage(keys::StoreImage& image);

// Writes the image to any path, atomically. Lock taken here or already held.
bool SaveProfileImage(const std::filesystem::path& path, keys::StoreImage& image, const WriteFaultHook& hook = {},
                      std::string* why = nullptr);
bool SaveProfileFile(const std::filesystem::path& path, keys::EditingStore::Lock& held,
                     const WriteFaultHook& hook = {});
bool SaveProfileFile(const std::filesystem::path& path, keys::EditingStore& store, const WriteFaultHook& hook = {});

// Frees every slot string, the macros and the assignment table (all zero bytes).
void EmptyEditingStore(keys::EditingStore::Lock& held);

// The default configuration: header for no macros and no strings, the key section
// header, all records zero but for the G-key aux values of table 0.
keys::AssignmentTable DefaultAssignmentTable();
bool CreateDefaultProfile(const std::filesystem::path& path, const WriteFaultHook& hook = {});
// Installs the default table into the (emptied) editing store.
void CreateDefaultProfile(keys::EditingStore::Lock& held);

}  // namespace vantrel::profiles
