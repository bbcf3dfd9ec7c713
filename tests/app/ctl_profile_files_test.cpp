// Profile documents that carry everything, keyd remaps and the printed key map, through
// vantrelctl against the virtual keyboard. The per-user folder is redirected into the
// test's folder.
#include <gtest/gtest.h>

#include <QXmlStreamReader>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ctl_folder_test.h"

namespace vantrel::test {
namespace {

class CtlProfileFilesTest : public CtlFolderTest {
 protected:
  CtlResult Run(const std::string& args) {
    return RunShell("XDG_DATA_HOME=" + (dir / "data").string() + " " + std::string(VANTREL_BIN_DIR) +
                    "/vantrelctl --language 1033 --simulate=" + (dir / "state.json").string() + " " + args);
  }
  void Ok(const std::string& args) {
    const auto r = Run(args);
    ASSERT_EQ(r.code, 0) << args << "\n" << r.out;
  }
  // The keyboard's memory areas of the state file.
  nlohmann::json Memory() {
    const auto state = nlohmann::json::parse(Slurp(dir / "state.json"));
    return {{"lighting", state["lighting"]},
            {"key_tables", state["key_tables"]},
            {"macro_area", state["macro_area"]},
            {"key_colours", state["key_colours"]}};
  }
  // Validates a document against the repository's schema; the validator's words on failure.
  static CtlResult Validate(const std::filesystem::path& document) {
    return RunShell("/usr/bin/python3 " VANTREL_SOURCE_DIR "/tests/app/validate_profile.py " VANTREL_SOURCE_DIR
                    "/data/profile.schema.json " + document.string());
  }
  // A profile with a remapped key, a G-key macro and a media key.
  void SetUpProfile() {
    Ok("macros add copy LCtrl+/10 C+/20 C-/10 LCtrl-/0");
    Ok("keys set --profile 0 \"Caps Lock\" key:LCtrl");
    Ok("keys set --profile 0 G1 macro:1");
    Ok("keys set --profile 0 F1 media:1");
  }
};

TEST_F(CtlProfileFilesTest, ExportResetImportGivesBackTheKeyboardMemoryByteForByte) {
  SetUpProfile();
  Ok("keys set --profile 2 Esc disabled");
  Ok("lighting set --profile 0 --effect 20");
  Ok("lighting set --profile 1 --effect 5 --brightness 2 --speed 1");
  Ok("lighting set --profile 2 --effect 1 --colour 00FF80 --direction right");
  // Every profile's key colours as the keyboard holds them after a mode was chosen.
  Ok("colours --profile 0 mode 2");
  Ok("colours --profile 1 mode 0");
  Ok("colours --profile 2 mode 5 --name Lagoon");
  Ok("colours --profile 0 paint Esc Tab --colour 123456");
  const nlohmann::json before = Memory();

  const auto exported = dir / "all.json";
  Ok("export " + exported.string());
  const auto v = Validate(exported);
  EXPECT_EQ(v.code, 0) << v.out;
  const auto doc = nlohmann::json::parse(Slurp(exported));
  EXPECT_EQ(doc["version"], 2);
  EXPECT_EQ(doc["profiles"][2]["lighting"]["colour"], "00FF80");
  EXPECT_EQ(doc["profiles"][1]["lighting"]["effect"]["number"], 5);
  EXPECT_EQ(doc["profiles"][2]["user_modes"]["selected"], 5);
  EXPECT_EQ(doc["profiles"][2]["user_modes"]["modes"][5]["name"], "Lagoon");

  Ok("sim reset");
  std::filesystem::remove_all(dir / "data");  // a new computer: no colour files either
  ASSERT_NE(Memory(), before);
  Ok("import " + exported.string());
  const nlohmann::json after = Memory();
  for (const char* area : {"lighting", "key_tables", "macro_area", "key_colours"}) {
    EXPECT_EQ(after[area], before[area]) << area;
  }
  // The colour files came back too: the same document comes out again.
  const auto again = dir / "again.json";
  Ok("export " + again.string());
  EXPECT_EQ(Slurp(again), Slurp(exported));
}

TEST_F(CtlProfileFilesTest, AVersionOneDocumentImportsItsKeysAndLeavesTheLightingAlone) {
  Ok("lighting set --profile 1 --effect 5");
  const nlohmann::json before = Memory();
  std::ofstream(dir / "v1.json") << R"({"format": "vantrel-profile", "version": 1,
    "profiles": [{"slot": 0, "keys": [{"key": "Caps Lock", "kind": "disabled"}]}]})";
  EXPECT_EQ(Validate(dir / "v1.json").code, 0);
  Ok("import " + (dir / "v1.json").string());
  const nlohmann::json after = Memory();
  EXPECT_EQ(after["lighting"], before["lighting"]);
  EXPECT_EQ(after["key_colours"], before["key_colours"]);
  EXPECT_NE(after["key_tables"], before["key_tables"]);
}

TEST_F(CtlProfileFilesTest, TheSchemaRefusesWhatImportRefuses) {
  Ok("export " + (dir / "a.json").string());
  auto doc = nlohmann::json::parse(Slurp(dir / "a.json"));
  doc["profiles"][0]["lighting"]["colour"] = "red";
  std::ofstream(dir / "bad.json") << doc.dump();
  EXPECT_NE(Validate(dir / "bad.json").code, 0);
  const auto r = Run("import " + (dir / "bad.json").string());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("profiles[0].lighting.colour: not a colour RRGGBB"), std::string::npos) << r.out;
}

TEST_F(CtlProfileFilesTest, KeydRemapsGoIntoOneProfileAndTheRestIsListed) {
  std::ofstream(dir / "default.conf") << "[ids]\n*\n\n[main]\n"
                                         "capslock = esc\n"
                                         "esc = capslock\n"
                                         "leftmeta = overload(meta, esc)\n"
                                         "f12 = volumeup\n"
                                         "[nav:C]\nh = left\n";
  const auto r = Run("import --keyd " + (dir / "default.conf").string() + " --profile 1");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("imported 3 remaps"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("not imported (3):"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("line 1: [ids]: holds no key remaps"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("line 7: leftmeta = overload(meta, esc)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("line 10: h = left"), std::string::npos) << r.out;
  const auto keys = Run("keys --profile 1 --json");
  ASSERT_EQ(keys.code, 0) << keys.out;
  const auto list = nlohmann::json::parse(keys.out)["assignments"];
  ASSERT_EQ(list.size(), 3u) << keys.out;
  EXPECT_EQ(Run("keys --profile 0").out, "profile 0: every key has its factory function\n");

  // Nothing to take: nothing is written and the exit code says so.
  std::ofstream(dir / "empty.conf") << "[main]\ncapslock = layer(nav)\n";
  const auto none = Run("import --keyd " + (dir / "empty.conf").string());
  EXPECT_EQ(none.code, 1) << none.out;
  EXPECT_NE(none.out.find("nothing was written"), std::string::npos);
  EXPECT_EQ(Run("import --profile 1").code, 2);  // --profile belongs to --keyd
}

// What a keyd file can hold that is no remap: a size no keyd configuration has, lines
// without end, escape sequences, another keyboard's ids, keyd's own key names.
TEST_F(CtlProfileFilesTest, KeydFilesAreBoundedAndWhatIsEchoedIsCountedAndPrintable) {
  Ok("keys --profile 2");  // the virtual keyboard's state file is made
  const nlohmann::json before = Memory();
  {
    // Larger than keyd reads (64 KiB): refused before it is read, nothing written.
    std::ofstream big(dir / "big.conf");
    big << "[main]\ncapslock = esc\n" << std::string(70 * 1024, '#') << '\n';
  }
  const auto big = Run("import --keyd " + (dir / "big.conf").string());
  EXPECT_EQ(big.code, 1) << big.out;
  EXPECT_NE(big.out.find("is larger than 65536 bytes"), std::string::npos) << big.out;
  EXPECT_NE(big.out.find("nothing was written"), std::string::npos) << big.out;
  EXPECT_EQ(Memory(), before);

  {
    // Thousands of lines not taken, one with a terminal escape, under another device's ids.
    std::ofstream many(dir / "many.conf");
    many << "[ids]\n046d:c52b\n[main]\n\x1b]0;owned\x07 = esc\nf13 = esc\ncapslock = noop\n";
    for (int i = 0; i < 3000; ++i) many << "x\n";
  }
  const auto r = Run("import --keyd " + (dir / "many.conf").string() + " --profile 2");
  ASSERT_EQ(r.code, 0) << r.out.substr(0, 2000);
  EXPECT_NE(r.out.find("this configuration is for 046d:c52b (this keyboard is 0c45:7666)"), std::string::npos)
      << r.out.substr(0, 2000);
  EXPECT_NE(r.out.find("not imported (3003):"), std::string::npos) << r.out.substr(0, 2000);
  EXPECT_NE(r.out.find("line 4: ?]0;owned? = esc"), std::string::npos) << r.out.substr(0, 2000);
  // keyd's name f13 is known; this keyboard has no such key.
  EXPECT_NE(r.out.find("line 5: f13 = esc: 'f13' is no key of this keyboard"), std::string::npos)
      << r.out.substr(0, 2000);
  EXPECT_NE(r.out.find("... and 2983 more"), std::string::npos) << r.out.substr(0, 2000);
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_LT(r.out.size(), 4000u);
  EXPECT_NE(r.out.find("imported 1 remap"), std::string::npos) << r.out.substr(0, 2000);
  // keyd's noop disables the key.
  EXPECT_EQ(Run("keys --profile 2").out, "Caps Lock\tdisabled\n");
}

// The PNG's width and height from its header.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  const auto be = [&](std::size_t at) {
    return std::uint32_t{static_cast<unsigned char>(bytes[at])} << 24 |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 1])} << 16 |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 2])} << 8 | static_cast<unsigned char>(bytes[at + 3]);
  };
  return {be(16), be(20)};
}

// Text without its spaces and line breaks: a name wrapped inside its key ("Play/" and
// "Pause" on two lines) still reads as the name.
std::string Squashed(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ' && c != '\n' && c != '\f') out += c;
  }
  return out;
}

// Every piece of text an SVG draws, joined by spaces.
std::string SvgText(const std::string& svg) {
  QXmlStreamReader xml(QByteArray::fromStdString(svg));
  std::string out;
  int inText = 0;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("text")) ++inText;
    if (xml.isEndElement() && xml.name() == QLatin1String("text")) --inText;
    if (xml.isCharacters() && inText > 0) out += xml.text().toString().toStdString() + " ";
  }
  return xml.hasError() ? "XML error: " + xml.errorString().toStdString() : out;
}

TEST_F(CtlProfileFilesTest, TheSheetReadsCorrectlyInEveryFormat) {
  if (Run("sheet --help").code != 0) GTEST_SKIP() << "vantrelctl built without the windows has no sheet";
  SetUpProfile();
  const std::vector<std::string> expected = {"Key map: Profile 1", "Macro: copy", "Play/Pause", "G keys", "Left Ctrl",
                                             "Repeat count: 1"};

  Ok("sheet --profile 0 " + (dir / "map.pdf").string());
  const auto pdf = RunShell("pdftotext " + (dir / "map.pdf").string() + " - 2>/dev/null");
  ASSERT_EQ(pdf.code, 0) << pdf.out;
  for (const auto& words : expected) {
    EXPECT_NE(Squashed(pdf.out).find(Squashed(words)), std::string::npos) << words << "\n" << pdf.out;
  }

  Ok("sheet --profile 0 --mono " + (dir / "map.svg").string());
  const std::string svgText = SvgText(Slurp(dir / "map.svg"));
  for (const auto& words : expected) {
    EXPECT_NE(Squashed(svgText).find(Squashed(words)), std::string::npos) << words << "\n" << svgText;
  }

  Ok("sheet --profile 0 " + (dir / "map.png").string());
  EXPECT_EQ(PngSize(Slurp(dir / "map.png")), std::make_pair(2970u, 2100u));
  const auto shots = std::filesystem::path(VANTREL_BIN_DIR) / ".." / "screenshots" / "sheet";
  std::filesystem::create_directories(shots);
  std::filesystem::copy_file(dir / "map.png", shots / "key_map_profile1.png",
                             std::filesystem::copy_options::overwrite_existing);
  Ok("sheet --profile 0 --mono " + (dir / "mono.png").string());
  std::filesystem::copy_file(dir / "mono.png", shots / "key_map_profile1_mono.png",
                             std::filesystem::copy_options::overwrite_existing);

  // All three profiles: a page each in the PDF, one below the other in a picture.
  Ok("sheet --all " + (dir / "all.pdf").string());
  const auto pages = RunShell("pdfinfo " + (dir / "all.pdf").string() + " | grep Pages:");
  EXPECT_NE(pages.out.find(" 3"), std::string::npos) << pages.out;
  Ok("sheet --all " + (dir / "all.png").string());
  EXPECT_EQ(PngSize(Slurp(dir / "all.png")), std::make_pair(2970u, 6300u));

  const auto bad = Run("sheet " + (dir / "map.txt").string());
  EXPECT_EQ(bad.code, 2) << bad.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "map.txt"));
}

// The sheet is written as every other file of the program: a FIFO, or a link to one, is
// refused and left as it is (it used to be replaced by a regular file, and so was a link's
// target device, as /dev/full for root); a link to a regular file has that file replaced.
TEST_F(CtlProfileFilesTest, TheSheetRefusesWhatIsNotARegularFile) {
  if (Run("sheet --help").code != 0) GTEST_SKIP() << "vantrelctl built without the windows has no sheet";
  const auto fifo = dir / "fifo.pdf";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto fifoTarget = dir / "pipe";
  ASSERT_EQ(mkfifo(fifoTarget.c_str(), 0600), 0);
  std::filesystem::create_symlink(fifoTarget, dir / "link.svg");
  for (const auto& name : {fifo, dir / "link.svg"}) {
    const auto r = Run("sheet --profile 0 " + name.string());
    EXPECT_EQ(r.code, 1) << name << "\n" << r.out;
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(fifo)));
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(dir / "link.svg")));
  EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(fifoTarget)));

  std::ofstream(dir / "old.png") << "old";
  std::filesystem::create_symlink(dir / "old.png", dir / "map.png");
  Ok("sheet --profile 0 " + (dir / "map.png").string());
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(dir / "map.png")));
  EXPECT_NE(PngSize(Slurp(dir / "old.png")).first, 0u);
}

}  // namespace
}  // namespace vantrel::test
