// In-memory texts and message boxes, and a scratch folder, for the profile tests.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/text/text_source.h"

namespace vantrel::test {

class MapTexts : public text::TextSource {
 public:
  MapTexts() {
    texts["PROFILE_FORMAT_ERROR"] = "Bad profile file: %s";
    texts["MAIN_PROMPT_INPORT"] = "Import failed";
    texts["PROFILE_SELECT_PROMPT"] = "Apply changes first?";
    texts["PROFILE_SEELCT_PROMPT2"] = "Close the key page first";
    texts["MACRO_NEW_PREFIX"] = "Macro";
    texts["UPDATE_FILE_MISSING"] = "Choose an update file";
    texts["UPDATE_NO_BOOT_MODE"] = "No boot mode";
    texts["UPDATE_CANNOT_RUN"] = "Cannot run it";
    texts["UPDATE_STILL_IN_BOOT_MODE"] = "Still in boot mode: unplug it and plug it in again";
    texts["UPDATE_BACKUP_DONE"] = "Backed up";
    texts["UPDATE_BACKUP_FAILED"] = "Backup failed";
    texts["FOLDER_NOT_WRITABLE"] = "The folder %s is not writable (%s)";
  }
  std::string Text(std::string_view key) const override {
    auto it = texts.find(std::string(key));
    return it == texts.end() ? "#Error" : it->second;
  }
  std::string LightText(std::string_view) const override { return "#Error"; }
  std::string ModeText(std::string_view) const override { return "#Error"; }
  std::map<std::string, std::string> texts;
};

class RecordingSink : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
  bool AskYesNo(std::string_view text, bool defaultYes) override {
    asked.emplace_back(text);
    lastDefaultYes = defaultYes;
    return answer;
  }
  // A three-way question takes `choice` when one is set, else `answer` as Yes or No.
  text::Answer AskYesNoCancel(std::string_view text, text::Answer defaultAnswer) override {
    asked.emplace_back(text);
    lastDefaultYes = defaultAnswer == text::Answer::Yes;
    if (choice) return *choice;
    return answer ? text::Answer::Yes : text::Answer::No;
  }
  std::vector<std::string> shown;
  std::vector<std::string> asked;
  bool answer = false;
  std::optional<text::Answer> choice;
  bool lastDefaultYes = true;
};

inline std::filesystem::path ScratchFolder(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("vantrel-profiles-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::vector<std::uint8_t> out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
  }
  return out;
}

inline void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace vantrel::test
