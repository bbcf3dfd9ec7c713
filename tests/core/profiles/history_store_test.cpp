// The history folder: order and numbering, identical configurations kept once, the bounds,
// the folder's mode, and entries that cannot be read (broken, links, FIFOs) skipped and named.
#include "core/profiles/history_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/profiles/profile_fakes.h"

namespace vantrel::profiles {
namespace {

namespace fs = std::filesystem;

HistoryEntry Entry(std::string document, std::int64_t time = 1000, HistorySource source = HistorySource::Window,
                   std::string summary = "a change") {
  return {time, source, std::move(summary), std::move(document)};
}

std::vector<std::string> Summaries(const HistoryListing& listing) {
  std::vector<std::string> out;
  for (const auto& e : listing.entries) out.push_back(e.summary);
  return out;
}

std::vector<int> Numbers(const HistoryListing& listing) {
  std::vector<int> out;
  for (const auto& e : listing.entries) out.push_back(e.number);
  return out;
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class HistoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = test::ScratchFolder(std::string("history-") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder = root / "state" / "vantrel" / "history";
  }
  std::string Document(int n) { return "{\"configuration\": " + std::to_string(n) + "}\n"; }

  fs::path root;
  fs::path folder;
};

TEST_F(HistoryStoreTest, NewestFirstNumberedFromOneAndEachEntryLoadsWhole) {
  HistoryStore store(folder);
  EXPECT_TRUE(store.List().entries.empty());  // no folder yet: nothing, no problem
  ASSERT_EQ(store.Record(Entry(Document(1), 100, HistorySource::Window, "first")), RecordResult::Recorded);
  ASSERT_EQ(store.Record(Entry(Document(2), 200, HistorySource::Ctl, "second")), RecordResult::Recorded);
  ASSERT_EQ(store.Record(Entry(Document(3), 300, HistorySource::Bus, "third")), RecordResult::Recorded);

  const HistoryListing listing = store.List();
  EXPECT_EQ(Summaries(listing), (std::vector<std::string>{"third", "second", "first"}));
  EXPECT_EQ(Numbers(listing), (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(listing.problems.empty());
  EXPECT_EQ(listing.entries[0].source, HistorySource::Bus);
  EXPECT_EQ(listing.entries[1].source, HistorySource::Ctl);
  EXPECT_EQ(listing.entries[2].time, 100);

  for (int n = 1; n <= 3; ++n) {
    HistoryEntry e;
    std::string why;
    ASSERT_TRUE(store.Load(n, e, why)) << why;
    EXPECT_EQ(e.document, Document(4 - n));
    EXPECT_EQ(e.time, (4 - n) * 100);
  }
  HistoryEntry e;
  std::string why;
  EXPECT_FALSE(store.Load(0, e, why));
  EXPECT_FALSE(store.Load(4, e, why));
  EXPECT_EQ(why, "there is no entry 4 (the history holds 3)");
}

TEST_F(HistoryStoreTest, IdenticalConsecutiveConfigurationsAreKeptOnce) {
  HistoryStore store(folder);
  EXPECT_EQ(store.Record(Entry(Document(1))), RecordResult::Recorded);
  EXPECT_EQ(store.Record(Entry(Document(1), 2000, HistorySource::Bus, "again")), RecordResult::Unchanged);
  EXPECT_EQ(store.Record(Entry(Document(2))), RecordResult::Recorded);
  // Not consecutive any more: the configuration came back after another one.
  EXPECT_EQ(store.Record(Entry(Document(1))), RecordResult::Recorded);
  EXPECT_EQ(store.List().entries.size(), 3u);
  // A document that differs only in length from the newest one is not taken for it either.
  EXPECT_EQ(store.Record(Entry(Document(1) + " ")), RecordResult::Recorded);
}

TEST_F(HistoryStoreTest, OldestEntriesGoFirstBeyondTheCount) {
  HistoryStore store(folder, {3, std::uintmax_t{1} << 30});
  for (int n = 1; n <= 5; ++n) ASSERT_EQ(store.Record(Entry(Document(n), n)), RecordResult::Recorded);
  const HistoryListing listing = store.List();
  ASSERT_EQ(listing.entries.size(), 3u);
  EXPECT_EQ(listing.entries[0].time, 5);
  EXPECT_EQ(listing.entries[2].time, 3);
}

TEST_F(HistoryStoreTest, OldestEntriesGoFirstBeyondTheSizeButTheNewestAlwaysStays) {
  const std::string big(1000, 'x');
  HistoryStore store(folder, {100, 2500});
  for (int n = 1; n <= 4; ++n) ASSERT_EQ(store.Record(Entry(big + std::to_string(n), n)), RecordResult::Recorded);
  HistoryListing listing = store.List();
  ASSERT_EQ(listing.entries.size(), 2u);
  EXPECT_EQ(listing.entries[0].time, 4);
  EXPECT_EQ(listing.entries[1].time, 3);

  // One configuration larger than the whole bound: the way back from the newest write.
  ASSERT_EQ(store.Record(Entry(std::string(5000, 'y'), 5)), RecordResult::Recorded);
  listing = store.List();
  ASSERT_EQ(listing.entries.size(), 1u);
  EXPECT_EQ(listing.entries[0].time, 5);
}

TEST_F(HistoryStoreTest, TheFolderIsPrivateAndALinkedFolderIsRefused) {
  HistoryStore store(folder);
  ASSERT_EQ(store.Record(Entry(Document(1))), RecordResult::Recorded);
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

  // A folder someone opened to others is closed again before the next entry goes in.
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  ASSERT_EQ(store.Record(Entry(Document(2))), RecordResult::Recorded);
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

  // A folder that cannot be read is said, not taken for an empty history (root reads anyway).
  if (::geteuid() != 0) {
    fs::permissions(folder, fs::perms::none);
    EXPECT_EQ(store.List().folderProblem, folder.string() + ": cannot be read: Permission denied");
    ASSERT_EQ(store.Record(Entry(Document(3))), RecordResult::Recorded);  // made private again, and usable
    EXPECT_EQ(store.List().entries.size(), 3u);
  }

  // A link in the folder's place: the entries would land wherever it leads.
  const fs::path elsewhere = root / "elsewhere";
  fs::create_directories(elsewhere);
  const fs::path linked = root / "linked";
  fs::create_directory_symlink(elsewhere, linked);
  HistoryStore viaLink(linked);
  std::string why;
  EXPECT_EQ(viaLink.Record(Entry(Document(1)), &why), RecordResult::Failed);
  EXPECT_EQ(why, linked.string() + ": is a link; the history is kept only in a folder of its own");
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(viaLink.List().folderProblem, linked.string() + ": is a link");
}

TEST_F(HistoryStoreTest, BrokenEntriesAreSkippedAndNamedNeverFatal) {
  HistoryStore store(folder);
  ASSERT_EQ(store.Record(Entry(Document(1), 1, HistorySource::Window, "good one")), RecordResult::Recorded);
  struct Case {
    const char* name;
    std::string content;
    std::string reason;
  };
  const Case cases[] = {
      {"0000000100-00000000000000a1.entry", "garbage\n", "is not a history entry"},
      {"0000000101-00000000000000a2.entry", "vantrel-history 1\ntime soon\n", "has no valid time"},
      {"0000000102-00000000000000a3.entry", "vantrel-history 1\ntime 5\nsource cron\n", "has no valid source"},
      {"0000000103-00000000000000a4.entry",
       "vantrel-history 1\ntime 5\nsource bus\nsummary cut short\ndocument 100\n{\"a\":",
       "is 72 bytes long, its header says 167"},
      {"0000000104-00000000000000a5.entry", "", "is not a history entry"},
  };
  for (const Case& c : cases) WriteText(folder / c.name, c.content);
  // Not an entry's name at all (a write under way): neither listed nor named.
  WriteText(folder / "0000000105-00000000000000a6.entry.123-0.tmp", "half");

  HistoryListing listing = store.List();
  EXPECT_EQ(Summaries(listing), (std::vector<std::string>{"good one"}));
  ASSERT_EQ(listing.problems.size(), std::size(cases));
  for (const Case& c : cases) {
    const std::string expected = (folder / c.name).string() + ": " + c.reason;
    EXPECT_NE(std::find(listing.problems.begin(), listing.problems.end(), expected), listing.problems.end())
        << expected;
  }

  // The newest entry that reads is what a new configuration is compared with.
  EXPECT_EQ(store.Record(Entry(Document(1))), RecordResult::Unchanged);
  ASSERT_EQ(store.Record(Entry(Document(2), 2, HistorySource::Ctl, "after them")), RecordResult::Recorded);
  listing = store.List();
  EXPECT_EQ(Summaries(listing), (std::vector<std::string>{"after them", "good one"}));
  HistoryEntry e;
  std::string why;
  ASSERT_TRUE(store.Load(2, e, why)) << why;
  EXPECT_EQ(e.document, Document(1));
}

TEST_F(HistoryStoreTest, LinksAndFifosUnderAnEntrysNameAreRefusedNotReadNorRemoved) {
  HistoryStore store(folder, {2, std::uintmax_t{1} << 30});
  ASSERT_EQ(store.Record(Entry(Document(1), 1, HistorySource::Window, "real")), RecordResult::Recorded);
  // A valid entry elsewhere, linked in: it could be any file of the user's, so it is not read.
  const fs::path outside = root / "outside.entry";
  fs::copy_file(store.List().entries[0].file, outside);
  const fs::path link = folder / "0000000050-00000000000000b1.entry";
  fs::create_symlink(outside, link);
  // A FIFO would block the reader until someone writes into it.
  const fs::path fifo = folder / "0000000051-00000000000000b2.entry";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  HistoryListing listing = store.List();
  EXPECT_EQ(Summaries(listing), (std::vector<std::string>{"real"}));
  EXPECT_EQ(listing.problems,
            (std::vector<std::string>{fifo.string() + ": is not a regular file",
                                      link.string() + ": is a link; entries are never read through links"}));

  // Bounds count and drop regular files only: the link and the FIFO stay as they are.
  for (int n = 2; n <= 4; ++n) ASSERT_EQ(store.Record(Entry(Document(n), n)), RecordResult::Recorded);
  EXPECT_EQ(store.List().entries.size(), 2u);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  EXPECT_TRUE(fs::exists(outside));
}

TEST(HistorySummary, OneLineWithoutControlCharactersAndCutOnACharacterBoundary) {
  EXPECT_EQ(OneLineSummary("keys\nof\tProfile 2\r"), "keys of Profile 2 ");
  // "é" is two bytes: a cut at an odd place must not leave half of one.
  std::string longText(kMaxSummaryBytes - 1, 'a');
  longText += "éé";
  const std::string cut = OneLineSummary(longText);
  EXPECT_EQ(cut, std::string(kMaxSummaryBytes - 1, 'a'));

  // The store writes the summary as one line: a line break cannot forge a header field.
  const fs::path folder = test::ScratchFolder("history-summary");
  HistoryStore store(folder);
  ASSERT_EQ(store.Record(Entry("{}", 1, HistorySource::Ctl, "x\ndocument 0\n")), RecordResult::Recorded);
  const HistoryListing listing = store.List();
  ASSERT_EQ(listing.entries.size(), 1u);
  EXPECT_EQ(listing.entries[0].summary, "x document 0 ");
}

TEST(HistoryFolderTest, StateHomeWhenAbsoluteElseTheHomesStateFolder) {
  struct Case {
    const char* state;
    const char* home;
    const char* expected;
  };
  for (const Case& c : {Case{"/s", "/home/u", "/s/vantrel/history"},
                        Case{"relative", "/home/u", "/home/u/.local/state/vantrel/history"},
                        Case{"", "/home/u", "/home/u/.local/state/vantrel/history"},
                        Case{"", "", ""}}) {
    EXPECT_EQ(HistoryFolder(c.state, c.home), fs::path(c.expected)) << c.state << " " << c.home;
  }
  for (HistorySource s : {HistorySource::Window, HistorySource::Ctl, HistorySource::Bus}) {
    EXPECT_EQ(HistorySourceFromName(HistorySourceName(s)), s);
  }
  EXPECT_FALSE(HistorySourceFromName("cron"));
}

}  // namespace
}  // namespace vantrel::profiles
