// The profile service and the editing session over the virtual keyboard, wired as the
// program wires them, each test in its own scratch folder. Texts: the fake map of texts or
// a real language file.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "core/profiles/edit_session.h"
#include "core/profiles/profile_fakes.h"
#include "sim_harness.h"

namespace vantrel::test {

template <class Texts = MapTexts>
struct KeyboardSession {
  explicit KeyboardSession(const std::string& folder)
      : dir(ScratchFolder(folder)),
        service(sim.commands, editing, applied, cache, profiles::ProfilePaths{dir / "user", dir / "program"}, texts,
                sink),
        session(service, editing, applied, texts, sink) {}

  // Command bytes of the configuration requests sent so far.
  std::vector<std::uint8_t> SentCommands() {
    std::vector<std::uint8_t> out;
    for (const auto& l : sim.Lines("> CTRL")) out.push_back(SimHarness::Bytes(l)[3]);
    return out;
  }

  std::filesystem::path dir;
  SimHarness sim;
  keys::EditingStore editing;
  keys::AppliedStore applied;
  std::atomic<int> cache{-1};
  Texts texts;
  RecordingSink sink;
  profiles::ProfileService service;
  profiles::EditSession session;
};

// The same as a test fixture, its folder named for the test.
template <class Texts = MapTexts>
class SessionFixture : public ::testing::Test, public KeyboardSession<Texts> {
 protected:
  // folderPrefix keeps the folders of test programs with the same test names apart.
  explicit SessionFixture(const std::string& folderPrefix = {})
      : KeyboardSession<Texts>(folderPrefix + ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
};

}  // namespace vantrel::test
