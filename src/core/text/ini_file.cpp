#include "core/text/ini_file.h"

#include <SimpleIni.h>

#include <charconv>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "core/util/regular_file.h"

namespace vantrel::text {
namespace {

// Loads the file into ini; a missing or unreadable file leaves it empty. Anything but a
// regular file is never opened: a FIFO would block the program until a writer came.
bool Load(const std::filesystem::path& path, CSimpleIniA& ini) {
  if (!RegularFileProblem(path).empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string data = buffer.str();
  return ini.LoadData(data.data(), data.size()) >= 0;
}

// Like the private-profile read: a value enclosed in a pair of double or single quotes is
// given without them, so a text can keep leading or trailing spaces.
std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::string CutUtf8(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {  // the first byte of a character
      if (chars == maxChars) return std::string(text.substr(0, i));
      ++chars;
    }
  }
  return std::string(text);
}

std::string ReadIniString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t maxChars) {
  CSimpleIniA ini(true, false, false);  // UTF-8, single keys, no multi-line values
  if (!Load(path, ini)) return CutUtf8(defaultValue, maxChars);
  const std::string s(section), k(key);
  const char* value = ini.GetValue(s.c_str(), k.c_str(), nullptr);
  if (value == nullptr) return CutUtf8(defaultValue, maxChars);
  return CutUtf8(StripQuotes(value), maxChars);
}

int ReadIniInt(const std::filesystem::path& path, std::string_view section, std::string_view key, int defaultValue) {
  const std::string text = ReadIniString(path, section, key, {}, 64);
  if (text.empty()) return defaultValue;
  // Like the private-profile integer read: leading digits (with a sign) count, the rest
  // is ignored; no digits give 0.
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (ec != std::errc{}) return 0;
  (void)end;
  return value;
}

bool WriteIniString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                    std::string_view value) {
  CSimpleIniA ini(true, false, false);
  std::error_code ec;
  // A file that exists but cannot be read is left alone: writing would replace all its
  // other keys with this one.
  if (!Load(path, ini) && std::filesystem::exists(path, ec)) return false;
  const std::string s(section), k(key), v(value);
  if (ini.SetValue(s.c_str(), k.c_str(), v.c_str()) < 0) return false;
  std::string out;
  if (ini.Save(out, false) < 0) return false;

  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  // A name of its own per write, so two writers never share one temporary file.
  auto tmp = path;
  tmp += ".tmp" + std::to_string(std::random_device{}());
  {
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    file << out;
    file.flush();
    if (!file) {
      std::filesystem::remove(tmp, ec);
      return false;
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

struct IniSnapshot::Data {
  CSimpleIniA ini{true, false, false};
};

IniSnapshot::IniSnapshot() = default;
IniSnapshot::~IniSnapshot() = default;
IniSnapshot::IniSnapshot(IniSnapshot&&) noexcept = default;
IniSnapshot& IniSnapshot::operator=(IniSnapshot&&) noexcept = default;

bool IniSnapshot::Load(const std::filesystem::path& path) {
  auto data = std::make_unique<Data>();
  if (!vantrel::text::Load(path, data->ini)) {
    data_.reset();
    return false;
  }
  data_ = std::move(data);
  return true;
}

bool IniSnapshot::Loaded() const { return data_ != nullptr; }

std::optional<std::string> IniSnapshot::Value(std::string_view section, std::string_view key) const {
  if (!data_) return std::nullopt;
  const std::string s(section), k(key);
  const char* value = data_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
  if (value == nullptr) return std::nullopt;
  return std::string(StripQuotes(value));
}

std::optional<std::string> CIniFile::ReadString(std::string_view section, std::string_view key,
                                                std::string_view defaultValue) const {
  std::string value = ReadIniString(path_, section, key, defaultValue, 2047);
  if (value.empty()) return std::nullopt;
  return value;
}

bool CIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) const {
  return WriteIniString(path_, section, key, value);
}

}  // namespace vantrel::text
