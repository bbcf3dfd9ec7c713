// Profile files that are not what they claim: things that are not regular files, files
// cut short, and the reasons given for every refusal and failed write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "core/profiles/profile_fakes.h"
#include "core/profiles/profile_file.h"
#include "core/util/bytes.h"
#include "core/util/regular_file.h"

namespace vantrel::profiles {
namespace {

using test::ReadAll;
using test::WriteAll;

class ProfileFileInputTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = test::ScratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
  int Validate(const std::filesystem::path& p, std::string& reason) { return ValidateProfileFile(p, texts, sink, &reason); }

  // Two macros with steps and one launch string: every section of the file is present.
  std::vector<std::uint8_t> TwoMacroFile() {
    keys::StoreImage image;
    for (std::uint16_t id = 1; id <= 2; ++id) {
      keys::MacroRecord m = keys::NewMacro(u"m", id);
      const keys::MacroAction steps[] = {{10, 0x1E, keys::kPress}, {20, 0x1E, keys::kRelease}};
      m.SetActions(steps);
      image.macros.push_back(m);
    }
    image.table.SetRecord(0, 0x20, keys::KeyAssignment{keys::kKindLaunch, 0, 0, 0, 0});
    image.strings.Set(0x20, u"/usr/bin/calc");
    return SerializeProfileImage(image);
  }

  std::filesystem::path dir;
  test::MapTexts texts;
  test::RecordingSink sink;
};

// A FIFO used to block validation and loading forever (open waits for a writer).
TEST_F(ProfileFileInputTest, OnlyRegularFilesAreOpenedAndTheReasonSaysWhatTheyAre) {
  const auto fifo = dir / "pipe.vnp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::filesystem::path path;
    int result;
    std::string reason;
  };
  for (const Case& c : {Case{fifo, kProfileCannotOpen, "is not a regular file"},
                        Case{"/dev/null", kProfileCannotOpen, "is not a regular file"},
                        Case{dir, kProfileCannotOpen, "is a directory"},
                        Case{dir / "missing.vnp", kProfileRejected, "does not exist"}}) {
    std::string reason;
    EXPECT_EQ(Validate(c.path, reason), c.result) << c.path;
    EXPECT_EQ(reason, c.reason) << c.path;
    keys::StoreImage image;
    reason.clear();
    EXPECT_FALSE(LoadProfileImage(c.path, image, &reason)) << c.path;
    EXPECT_EQ(reason, c.reason) << c.path;
  }
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(ProfileFileInputTest, RefusalReasonsNameTheSizeAndTheFailingHeaderCheck) {
  std::string reason;
  WriteAll(dir / "short.vnp", std::vector<std::uint8_t>(100, 0));
  EXPECT_EQ(Validate(dir / "short.vnp", reason), kProfileRejected);
  EXPECT_EQ(reason, "is too small (100 bytes; a profile file has at least 32832)");

  std::vector<std::uint8_t> f = TwoMacroFile();
  f[31] ^= 1;
  WriteAll(dir / "sum.vnp", f);
  EXPECT_EQ(Validate(dir / "sum.vnp", reason), kProfileRejected);
  EXPECT_EQ(reason, "header rejected: checksum does not match");
  f = TwoMacroFile();
  StoreU16(f, 14, 101);
  WriteAll(dir / "n.vnp", f);
  EXPECT_EQ(Validate(dir / "n.vnp", reason), kProfileRejected);
  EXPECT_EQ(reason, "header rejected: macro count is above 100");
  // The format message comes first, as before.
  ASSERT_EQ(sink.shown.size(), 2u);
  EXPECT_EQ(sink.shown[0], "Bad profile file: " + (dir / "sum.vnp").string());
}

// The header decides validity, not the length: a file cut short validates, so it is the
// load that must refuse it, whole, with its reason.
TEST_F(ProfileFileInputTest, FilesCutShortValidateButDoNotLoadAndLongerFilesDo) {
  const std::vector<std::uint8_t> full = TwoMacroFile();
  const std::size_t secondMacro = 32832 + 16512;
  std::vector<std::uint8_t> header5(32832);
  {
    keys::StoreImage empty;
    header5 = SerializeProfileImage(empty);
    StoreU16(header5, 14, 5);
    StoreU32(header5, 8, 32832 + 5 * 16512);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 31; ++i) sum += header5[i];
    header5[31] = static_cast<std::uint8_t>(sum);
  }
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  for (const Case& c : {Case{"inside the second macro", {full.begin(), full.begin() + secondMacro + 100}},
                        Case{"inside the string area", {full.begin(), full.end() - 2}},
                        Case{"N = 5 with no macro bytes", header5}}) {
    const auto path = dir / "cut.vnp";
    WriteAll(path, c.bytes);
    std::string reason;
    EXPECT_EQ(Validate(path, reason), kProfileValid) << c.name;
    keys::StoreImage image;
    EXPECT_FALSE(LoadProfileImage(path, image, &reason)) << c.name;
    EXPECT_NE(reason.find("is cut short (" + std::to_string(c.bytes.size()) + " bytes"), std::string::npos)
        << c.name << ": " << reason;
    EXPECT_FALSE(LoadProfileBytes(c.bytes, image)) << c.name;
  }

  std::vector<std::uint8_t> longer = full;
  longer.resize(full.size() + 7, 0xEE);
  WriteAll(dir / "long.vnp", longer);
  std::string reason;
  EXPECT_EQ(Validate(dir / "long.vnp", reason), kProfileValid);
  keys::StoreImage image;
  ASSERT_TRUE(LoadProfileImage(dir / "long.vnp", image, &reason)) << reason;
  EXPECT_EQ(image.macros.size(), 2u);
  ASSERT_NE(image.strings.Slot(0x20), nullptr);
  EXPECT_EQ(*image.strings.Slot(0x20), u"/usr/bin/calc");
}

// A valid header declaring gigabytes of strings used to have all of them read (3.6 GB of
// memory) before the file was "restored". The file here is sparse: nothing is written.
TEST_F(ProfileFileInputTest, AStringAreaLargerThanAnyConfigurationIsRefusedBeforeReading) {
  for (const std::uint64_t s : {kMaxStringAreaBytes + 2, std::uint64_t{0xF0000000}}) {
    std::vector<std::uint8_t> f = TwoMacroFile();
    const std::uint64_t total = 32832 + 2 * 16512 + s;
    StoreU32(f, 16, static_cast<std::uint32_t>(s));
    StoreU32(f, 8, static_cast<std::uint32_t>(total));
    unsigned sum = 0;
    for (std::size_t i = 0; i < 31; ++i) sum += f[i];
    f[31] = static_cast<std::uint8_t>(sum);
    const auto path = dir / "huge.vnp";
    WriteAll(path, f);
    std::filesystem::resize_file(path, total);
    std::string reason;
    EXPECT_EQ(Validate(path, reason), kProfileValid);
    keys::StoreImage image;
    EXPECT_FALSE(LoadProfileImage(path, image, &reason));
    EXPECT_EQ(reason, "declares a string area of " + std::to_string(s) +
                          " bytes; no configuration holds more than 134217728 bytes (128 MiB) of key texts");
    f.resize(f.size() + 4);  // the in-memory loader refuses the header as well
    EXPECT_FALSE(LoadProfileBytes(f, image));
  }
}

TEST_F(ProfileFileInputTest, FailedWritesGiveTheSystemsReason) {
  keys::StoreImage image;
  WriteAll(dir / "plain", {1});
  std::string why;
  EXPECT_FALSE(SaveProfileImage(dir / "plain" / "x.vnp", image, {}, &why));
  EXPECT_EQ(why, "Not a directory");
  EXPECT_FALSE(SaveProfileImage(dir / "none" / "x.vnp", image, {}, &why));
  EXPECT_EQ(why, "No such file or directory");
  EXPECT_FALSE(SaveProfileImage(dir, image, {}, &why));
  EXPECT_EQ(why, "Is a directory");
  // A step refused by the fault hook still gives a reason, and the old file stays.
  WriteAll(dir / "old.vnp", {7});
  why.clear();
  EXPECT_FALSE(SaveProfileImage(dir / "old.vnp", image, [](WriteStep s) { return s != WriteStep::kFlush; }, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(ReadAll(dir / "old.vnp"), std::vector<std::uint8_t>{7});
}

TEST_F(ProfileFileInputTest, ReadRegularFileRefusesOversizeBeforeReading) {
  std::string out, why;
  WriteAll(dir / "doc", std::vector<std::uint8_t>(1000, 'x'));
  EXPECT_TRUE(ReadRegularFile(dir / "doc", 1000, out, why)) << why;
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_FALSE(ReadRegularFile(dir / "doc", 999, out, why));
  EXPECT_EQ(why, "is larger than 999 bytes (1000 bytes)");
  EXPECT_FALSE(ReadRegularFile("/dev/zero", 999, out, why));  // would never end
  EXPECT_EQ(why, "is not a regular file");
}

}  // namespace
}  // namespace vantrel::profiles
