#include "core/profiles/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "core/profiles/profile_fakes.h"
#include "core/profiles/working_file.h"
#include "core/util/bytes.h"

namespace vantrel::profiles {
namespace {

using keys::KeyAssignment;
using test::ReadAll;
using test::WriteAll;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// Two macros, a launch path in table 0, a text block in table 2, and a string held by a
// kind 2 record (which owns none and must not be written).
keys::StoreImage SampleImage() {
  keys::StoreImage image;
  image.macros.push_back(keys::NewMacro(u"first", 1));
  keys::MacroRecord second = keys::NewMacro(u"second", 2);
  const keys::MacroAction steps[] = {{10, 0x1E, keys::kPress}, {20, 0x1E, keys::kRelease}};
  second.SetActions(steps);
  image.macros.push_back(second);
  image.table.SetRecord(0, 0x10, KeyAssignment{keys::kKindKey, 0, 0x1F, 0, 0});
  image.strings.Set(0x10, u"orphan");  // slot 16: kind 2
  image.table.SetRecord(0, 0x20, KeyAssignment{keys::kKindLaunch, 0, 0, 0, 0});
  image.strings.Set(0x20, u"/usr/bin/calc");
  image.table.SetRecord(2, 0x05, KeyAssignment{keys::kKindText, 0, 0, 0, 0});
  image.strings.Set(2 * 512 + 5, u"hello");
  return image;
}

void FixChecksum(std::vector<std::uint8_t>& f) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < 31; ++i) sum += f[i];
  f[31] = static_cast<std::uint8_t>(sum);
}

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = test::ScratchFolder(TestName()); }
  int Validate(const std::filesystem::path& p) { return ValidateProfileFile(p, texts, sink); }
  std::filesystem::path dir;
  test::MapTexts texts;
  test::RecordingSink sink;
};

TEST_F(ProfileFileTest, HeaderRulesRejectEachBadFieldWithTheFormatMessage) {
  keys::StoreImage empty;
  const std::vector<std::uint8_t> good = SerializeProfileImage(empty);
  ASSERT_EQ(good.size(), 32832u);
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> change;
    bool fixChecksum;
    int expected;
  };
  const std::vector<Case> cases = {
      {"good", [](auto&) {}, true, 1},
      {"magic", [](auto& f) { f[0] = 0x47; }, true, 0},
      {"header size", [](auto& f) { f[2] = 33; }, true, 0},
      {"version", [](auto& f) { f[4] = 2; }, true, 0},
      {"sub-version", [](auto& f) { f[6] = 2; }, true, 0},
      {"total below fixed part", [](auto& f) { StoreU32(f, 8, 100); StoreU32(f, 16, 0); }, true, 0},
      {"record count", [](auto& f) { f[13] = 0x07; }, true, 0},
      {"flag 1 accepted", [](auto& f) { f[30] = 1; }, true, 1},
      {"flag 2", [](auto& f) { f[30] = 2; }, true, 0},
      {"total differs from fields", [](auto& f) { StoreU32(f, 16, 2); }, true, 0},
      // The fields decide, not the real length: the file is only 32832 bytes long.
      {"N 100 by the fields", [](auto& f) { StoreU16(f, 14, 100); StoreU32(f, 8, 32832 + 100 * 16512); }, true, 1},
      {"N 101", [](auto& f) { StoreU16(f, 14, 101); StoreU32(f, 8, 32832 + 101 * 16512); }, true, 0},
      {"S by the fields", [](auto& f) { StoreU32(f, 16, 6); StoreU32(f, 8, 32838); }, true, 1},
      // A string size that wraps 32 bits onto the fixed size must not pass.
      {"wrapping S", [](auto& f) { StoreU16(f, 14, 1); StoreU32(f, 16, 0xFFFFFFFFu - 16511); }, true, 0},
      {"reserved bytes ignored", [](auto& f) { f[20] = 0xAA; f[28] = 0x55; }, true, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> f = good;
    c.change(f);
    if (c.fixChecksum) FixChecksum(f);
    const auto path = dir / "case.vnp";
    WriteAll(path, f);
    sink.shown.clear();
    EXPECT_EQ(Validate(path), c.expected) << c.name;
    if (c.expected == 1) {
      EXPECT_TRUE(sink.shown.empty()) << c.name;
    } else {
      ASSERT_EQ(sink.shown.size(), 1u) << c.name;
      EXPECT_EQ(sink.shown[0], "Bad profile file: " + path.string()) << c.name;
    }
  }
  // Any one byte of 0..30 changed without a new checksum fails.
  for (std::size_t i = 0; i < 31; ++i) {
    std::vector<std::uint8_t> f = good;
    f[i] ^= 0x01;
    WriteAll(dir / "sum.vnp", f);
    EXPECT_EQ(Validate(dir / "sum.vnp"), 0) << "byte " << i;
  }
}

TEST_F(ProfileFileTest, SilentRefusalsAndReadOnlyFiles) {
  EXPECT_EQ(Validate(dir / "missing.vnp"), kProfileRejected);
  EXPECT_EQ(Validate(dir), kProfileCannotOpen);
  WriteAll(dir / "short.vnp", std::vector<std::uint8_t>(32831, 0));
  EXPECT_EQ(Validate(dir / "short.vnp"), kProfileRejected);
  EXPECT_TRUE(sink.shown.empty());

  keys::StoreImage image = SampleImage();
  const auto path = dir / "ro.vnp";
  ASSERT_TRUE(SaveProfileImage(path, image));
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_EQ(Validate(path), kProfileValid);
  keys::StoreImage loaded;
  EXPECT_TRUE(LoadProfileImage(path, loaded));
  EXPECT_EQ(loaded.macros.size(), 2u);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

TEST_F(ProfileFileTest, SavePacksStringsInSlotOrderAtEvenOffsetsAndLoadsThemBack) {
  keys::StoreImage image = SampleImage();
  const std::int32_t total = image.strings.Total();
  const auto path = dir / "sample.vnp";
  ASSERT_TRUE(SaveProfileImage(path, image));
  const std::vector<std::uint8_t> f = ReadAll(path);
  const std::size_t areaAt = 32832 + 2 * 16512;
  ASSERT_EQ(f.size(), areaAt + static_cast<std::size_t>(total));
  EXPECT_EQ(LoadU32(f, 8), f.size());
  EXPECT_EQ(LoadU16(f, 14), 2);
  EXPECT_EQ(LoadU32(f, 16), static_cast<std::uint32_t>(total));
  EXPECT_EQ(Validate(path), kProfileValid);

  // Launch path first (slot 32), then the text block (slot 1029); the orphan string of
  // the kind 2 record is not written and the tail it would have used stays zero.
  const std::size_t launchAt = 0x20 * 16 + 64, textAt = (2 * 512 + 5) * 16 + 64;
  EXPECT_EQ(LoadU32(f, launchAt + 4), 0u);
  const std::uint32_t textOffset = LoadU32(f, textAt + 4);
  EXPECT_EQ(textOffset, 2 * 13 + 2u);
  EXPECT_EQ(textOffset % 2, 0u);
  EXPECT_EQ(f[areaAt], '/');
  EXPECT_EQ(f[areaAt + textOffset], 'h');
  EXPECT_EQ(LoadU16(f, areaAt + textOffset + 10), 0);  // terminator of "hello"
  for (std::size_t i = areaAt + textOffset + 12; i < f.size(); ++i) ASSERT_EQ(f[i], 0) << i;
  // The offsets are also written into the store's own records.
  EXPECT_EQ(image.table.Record(2, 5).code, static_cast<std::int32_t>(textOffset));

  keys::StoreImage loaded;
  ASSERT_TRUE(LoadProfileImage(path, loaded));
  EXPECT_EQ(loaded.table, image.table);
  EXPECT_EQ(loaded.macros, image.macros);
  ASSERT_NE(loaded.strings.Slot(0x20), nullptr);
  EXPECT_EQ(*loaded.strings.Slot(0x20), u"/usr/bin/calc");
  EXPECT_EQ(*loaded.strings.Slot(2 * 512 + 5), u"hello");
  EXPECT_EQ(loaded.strings.Slot(0x10), nullptr);
  EXPECT_EQ(loaded.strings.Total(), 28 + 12);
}

// Eleven macros: the loader reads them from the file a few records at a time and the
// saver writes them from the records themselves, so both must agree with the image
// assembled in memory, across every group of records.
TEST_F(ProfileFileTest, ManyMacrosSaveAndLoadExactlyLikeTheImageInMemory) {
  keys::StoreImage image = SampleImage();
  for (std::uint16_t id = 3; id <= 11; ++id) {
    keys::MacroRecord m = keys::NewMacro(u"macro " + std::u16string(1, static_cast<char16_t>(u'a' + id)), id);
    std::vector<keys::MacroAction> steps(id * 7u, keys::MacroAction{10 * id, static_cast<std::uint16_t>(0x10 + id), 0});
    m.SetActions(steps);
    image.macros.push_back(m);
  }
  keys::StoreImage copy = image;
  const std::vector<std::uint8_t> expected = SerializeProfileImage(copy);
  const auto path = dir / "many.vnp";
  ASSERT_TRUE(SaveProfileImage(path, image));
  EXPECT_EQ(ReadAll(path), expected);
  EXPECT_EQ(image.table, copy.table);

  keys::StoreImage fromFile;
  keys::StoreImage fromBytes;
  std::string reason;
  ASSERT_TRUE(LoadProfileImage(path, fromFile, &reason)) << reason;
  ASSERT_TRUE(LoadProfileBytes(expected, fromBytes));
  EXPECT_EQ(fromFile.table, image.table);
  EXPECT_EQ(fromFile.macros, image.macros);
  EXPECT_EQ(fromFile.strings, fromBytes.strings);
  EXPECT_EQ(fromFile.macros, fromBytes.macros);
  ASSERT_NE(fromFile.strings.Slot(2 * 512 + 5), nullptr);
  EXPECT_EQ(*fromFile.strings.Slot(2 * 512 + 5), u"hello");

  // Loading into an image that already holds more replaces all of it.
  keys::StoreImage fewer = SampleImage();
  ASSERT_TRUE(SaveProfileImage(path, fewer));
  ASSERT_TRUE(LoadProfileImage(path, fromFile));
  EXPECT_EQ(fromFile.macros, fewer.macros);
  EXPECT_EQ(fromFile.strings.Total(), 28 + 12);  // the launch path and the text block
}

TEST_F(ProfileFileTest, StringsOutsideTheAreaGiveEmptyTextsAndTheFileStillLoads) {
  keys::StoreImage image = SampleImage();
  std::vector<std::uint8_t> f = SerializeProfileImage(image);
  const std::size_t s = LoadU32(f, 16);
  // Slot 32 (kind 3) points past the area; slot 1029 (kind 6) loses its terminator to a
  // declared area 16 bytes shorter (the 14 zero bytes of the orphan string and 2 more).
  StoreI32(f, 64 + 0x20 * 16 + 4, 0x7FFFFFF0);
  StoreU32(f, 16, static_cast<std::uint32_t>(s - 16));
  StoreU32(f, 8, static_cast<std::uint32_t>(f.size() - 16));
  FixChecksum(f);
  const auto path = dir / "offsets.vnp";
  WriteAll(path, f);
  EXPECT_EQ(Validate(path), kProfileValid);
  keys::StoreImage loaded;
  ASSERT_TRUE(LoadProfileImage(path, loaded));
  ASSERT_NE(loaded.strings.Slot(0x20), nullptr);
  EXPECT_EQ(*loaded.strings.Slot(0x20), u"");
  EXPECT_EQ(*loaded.strings.Slot(2 * 512 + 5), u"");
  EXPECT_EQ(loaded.macros.size(), 2u);

  // An odd offset is rounded down: offset 29 reads the string at 28.
  f = SerializeProfileImage(image);
  StoreI32(f, 64 + (2 * 512 + 5) * 16 + 4, 29);
  WriteAll(path, f);
  ASSERT_TRUE(LoadProfileImage(path, loaded = keys::StoreImage{}));
  EXPECT_EQ(*loaded.strings.Slot(2 * 512 + 5), u"hello");
}

TEST_F(ProfileFileTest, FixedPartOnlyFileLoadsEmptyAndShortMacrosFail) {
  CreateDefaultProfile(dir / "default.vnp");
  const std::vector<std::uint8_t> f = ReadAll(dir / "default.vnp");
  ASSERT_EQ(f.size(), 32832u);
  EXPECT_EQ(Validate(dir / "default.vnp"), kProfileValid);
  keys::StoreImage loaded = SampleImage();
  loaded.macros.clear();
  loaded.strings.Clear();
  ASSERT_TRUE(LoadProfileImage(dir / "default.vnp", loaded));
  EXPECT_TRUE(loaded.macros.empty());
  EXPECT_EQ(loaded.strings.Total(), 0);
  // Default tables: only table 0's records 256..273 carry aux values, nothing else is set.
  for (std::size_t t = 0; t < 4; ++t) {
    for (std::size_t r = 0; r < 512; ++r) {
      const KeyAssignment rec = loaded.table.Record(t, r);
      std::uint16_t aux = 0;
      if (t == 0 && r >= 256 && r <= 264) aux = static_cast<std::uint16_t>(0x301 + r - 256);
      if (t == 0 && r >= 265 && r <= 273) aux = static_cast<std::uint16_t>(0x1301 + r - 265);
      ASSERT_EQ(rec, (KeyAssignment{0, aux, 0, 0, 0})) << t << "/" << r;
    }
  }
  EXPECT_EQ(LoadU16(f, 32), 0x484B);
  EXPECT_EQ(LoadU32(f, 36), 32800u);
  EXPECT_EQ(LoadU16(f, 48), 0x0C45);
  EXPECT_EQ(LoadU16(f, 50), 0x7666);
  EXPECT_EQ(LoadU16(f, 52), 0x1C4F);
  EXPECT_EQ(LoadU16(f, 54), 0x000E);

  // A header promising a macro the file does not hold.
  std::vector<std::uint8_t> cut = f;
  StoreU16(cut, 14, 1);
  EXPECT_FALSE(LoadProfileBytes(cut, loaded));
  EXPECT_FALSE(LoadProfileBytes(std::span(f).first(32831), loaded));
}

TEST_F(ProfileFileTest, FailedSaveAtEveryStepLeavesTheOldFileIntact) {
  keys::StoreImage oldImage = SampleImage();
  const auto path = dir / "backup.vnp";
  ASSERT_TRUE(SaveProfileImage(path, oldImage));
  const std::vector<std::uint8_t> before = ReadAll(path);

  keys::StoreImage newImage;
  newImage.macros.push_back(keys::NewMacro(u"new", 7));
  int failAt = 0;
  bool succeeded = false;
  for (; failAt < 20 && !succeeded; ++failAt) {
    int step = 0;
    const WriteFaultHook hook = [&](WriteStep) { return step++ != failAt; };
    succeeded = SaveProfileImage(path, newImage, hook);
    if (!succeeded) {
      EXPECT_EQ(ReadAll(path), before) << "failed at step " << failAt;
    }
    // No temporary file is left behind, whatever happened.
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u) << "step " << failAt;
  }
  // create, write, flush, close, rename: five steps, the sixth run succeeds.
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(failAt, 6);
  EXPECT_EQ(ReadAll(path).size(), 32832u + 16512u);

  // A default profile and a new file: a failed first write leaves no file at all.
  const WriteFaultHook failRename = [](WriteStep s) { return s != WriteStep::kRename; };
  EXPECT_FALSE(CreateDefaultProfile(dir / "fresh.vnp", failRename));
  EXPECT_FALSE(std::filesystem::exists(dir / "fresh.vnp"));
  EXPECT_FALSE(SaveProfileImage(dir / "no-such-folder" / "x.vnp", newImage));

  // A read-only file is not replaced; a writable one keeps its permissions.
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_read);
  const std::vector<std::uint8_t> readOnly = ReadAll(path);
  EXPECT_FALSE(SaveProfileImage(path, oldImage));
  EXPECT_EQ(ReadAll(path), readOnly);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(SaveProfileImage(path, oldImage));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ProfileFileTest, WorkingFolderAndWorkingFile) {
  const std::filesystem::path program = dir / "program";
  std::filesystem::create_directories(program / "Skins");
  WriteAll(program / "Skins" / "UserDengColor_3.userd", {'[', 'K', ']'});
  const ProfilePaths paths{dir / "user" / "PX204-1127", program};
  EnsureWorkingFolder(paths);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadAll(paths.userFolder / ("UserDengColor_" + std::to_string(i) + ".userd")),
              (std::vector<std::uint8_t>{'[', 'K', ']'}));
  }
  // In a folder that exists already (the virtual keyboard's state file made it) each
  // missing colour file is installed; one the user changed is kept, and so is anything
  // else standing at such a path.
  std::filesystem::remove(paths.userFolder / "UserDengColor_1.userd");
  WriteAll(paths.userFolder / "UserDengColor_0.userd", {'m', 'i', 'n', 'e'});
  std::filesystem::remove(paths.userFolder / "UserDengColor_2.userd");
  std::filesystem::create_symlink(dir / "nowhere", paths.userFolder / "UserDengColor_2.userd");
  EnsureWorkingFolder(paths);
  EXPECT_EQ(ReadAll(paths.userFolder / "UserDengColor_1.userd"), (std::vector<std::uint8_t>{'[', 'K', ']'}));
  EXPECT_EQ(ReadAll(paths.userFolder / "UserDengColor_0.userd"), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_TRUE(std::filesystem::is_symlink(paths.userFolder / "UserDengColor_2.userd"));
  // A default file that is no regular file is not read (a FIFO would block).
  const std::filesystem::path fifoProgram = dir / "fifo-program";
  std::filesystem::create_directories(fifoProgram / "Skins");
  ASSERT_EQ(::mkfifo((fifoProgram / "Skins" / "UserDengColor_3.userd").c_str(), 0600), 0);
  const ProfilePaths fifoPaths{dir / "fifo-user", fifoProgram};
  EnsureWorkingFolder(fifoPaths);
  EXPECT_TRUE(std::filesystem::is_empty(fifoPaths.userFolder));

  // Without the default colour file the folder is still made.
  const ProfilePaths bare{dir / "other", dir / "nothing"};
  EnsureWorkingFolder(bare);
  EXPECT_TRUE(std::filesystem::is_directory(bare.userFolder));
  EXPECT_TRUE(std::filesystem::is_empty(bare.userFolder));

  for (int i = 0; i < 3; ++i) EXPECT_EQ(WorkingFilePath(paths, i), paths.userFolder / "$Profile0");

  // The working file is never created by saving, only rewritten.
  keys::EditingStore store;
  EXPECT_FALSE(SaveWorkingFile(paths, store));
  EXPECT_FALSE(std::filesystem::exists(WorkingFilePath(paths)));
  WriteAll(WorkingFilePath(paths), {1, 2, 3});
  EXPECT_TRUE(SaveWorkingFile(paths, store));
  EXPECT_EQ(ReadAll(WorkingFilePath(paths)).size(), 32832u);
}

TEST_F(ProfileFileTest, EmptyingTheStoreClearsEverything) {
  keys::EditingStore store;
  keys::EditingStore::Lock lock(store);
  lock.Image() = SampleImage();
  EmptyEditingStore(lock);
  EXPECT_TRUE(lock->macros.empty());
  EXPECT_EQ(lock->strings.Total(), 0);
  EXPECT_EQ(lock->strings.Slot(0x20), nullptr);
  for (std::uint8_t b : lock->table.Bytes()) ASSERT_EQ(b, 0);
  CreateDefaultProfile(lock);
  EXPECT_EQ(lock->table, DefaultAssignmentTable());
}

}  // namespace
}  // namespace vantrel::profiles
