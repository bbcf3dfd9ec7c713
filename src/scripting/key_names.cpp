#include "scripting/key_names.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "core/keys/key_codes.h"

namespace vantrel::scripting {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

KeyRef RefOfIndex(std::uint16_t index) { return KeyRef{index, keys::LayoutKeyOfIndex(index)}; }

KeyRef RefOfButton(const keys::LayoutKey& button) { return KeyRef{button.index, &button}; }

// Numbers: a key index in decimal, a key code in hexadecimal, a key button's control id.
std::optional<KeyRef> NumberedKey(const std::string& s) {
  if (s.empty()) return std::nullopt;
  try {
    std::size_t used = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
      const unsigned long code = std::stoul(s.substr(2), &used, 16);
      if (used + 2 != s.size() || code == 0 || code > 0xFFFF) return std::nullopt;
      const std::uint16_t index = keys::KeyIndexOfCode(static_cast<std::uint16_t>(code));
      if (index >= keys::kKeyIndexCount) return std::nullopt;
      return RefOfIndex(index);
    }
    if (!std::isdigit(static_cast<unsigned char>(s[0]))) return std::nullopt;
    const unsigned long n = std::stoul(s, &used, 10);
    if (used != s.size()) return std::nullopt;
    if (n < keys::kKeyIndexCount) return RefOfIndex(static_cast<std::uint16_t>(n));
    if (n <= 0xFFFF) {
      if (const keys::LayoutKey* button = keys::LayoutKeyOfControl(static_cast<int>(n))) return RefOfButton(*button);
    }
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

}  // namespace

const std::vector<KeyVocabulary::Name>& KeyVocabulary::FixedNames() {
  static const std::vector<Name> names = [] {
    std::vector<Name> out;
    auto add = [&](std::string_view shown, KeyRef key) {
      if (!shown.empty()) out.push_back({Lower(shown), std::string(shown), key});
    };
    // Earlier names win when two keys answer to the same text.
    const auto layout = keys::KeyboardLayout();
    for (const keys::LayoutKey& k : layout) add(k.name, RefOfButton(k));
    const auto& table = keys::KeyNameTable();
    for (std::size_t i = 0; i < keys::kKeyNameCount; ++i) {
      add(table[i].label, RefOfIndex(static_cast<std::uint16_t>(i)));
    }
    for (const keys::LayoutKey& k : layout) {
      const std::string legend = Lower(k.legend);
      const auto same = std::count_if(layout.begin(), layout.end(),
                                      [&](const keys::LayoutKey& o) { return Lower(o.legend) == legend; });
      if (same == 1) add(k.legend, RefOfButton(k));
    }
    for (std::size_t p = 0; p < keys::kGKeyRecords; ++p) {
      const auto g = keys::GKeyAtPosition(p);
      add(GKeyName(*g), RefOfIndex(g->Index()));
    }
    return out;
  }();
  return names;
}

const std::vector<KeyVocabulary::Name>& KeyVocabulary::DisplayNames() const {
  if (!displayNames_.empty()) return displayNames_;
  const auto& table = keys::KeyNameTable();
  for (std::size_t i = 0; i < keys::kKeyNameCount; ++i) {
    if (table[i].label.empty()) continue;
    const auto index = static_cast<std::uint16_t>(i);
    const std::string shown = KeyName(keys::CodeOfIndex(index), texts_);
    if (!shown.empty()) displayNames_.push_back({Lower(shown), shown, RefOfIndex(index)});
  }
  return displayNames_;
}

std::optional<KeyRef> KeyVocabulary::Find(std::string_view name) const {
  if (name.empty()) return std::nullopt;
  const std::string wanted = Lower(name);
  for (const Name& n : FixedNames()) {
    if (n.lower == wanted) return n.key;
  }
  if (const auto numbered = NumberedKey(std::string(name))) return numbered;
  for (const Name& n : DisplayNames()) {
    if (n.lower == wanted) return n.key;
  }
  return std::nullopt;
}

std::vector<std::string> KeyVocabulary::Closest(std::string_view name) const {
  const std::string wanted = Lower(name);
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const auto* names : {&FixedNames(), &DisplayNames()}) {
    for (const Name& n : *names) {
      std::size_t d = Distance(wanted, n.lower);
      // A name that holds the whole of it is close (Ctrl: Right Ctrl), once it is long
      // enough to say something; two letters are in nearly every name.
      if (wanted.size() >= 3 && n.lower.find(wanted) != std::string::npos) d = std::min<std::size_t>(d, 1);
      // Close: at most two edits, and no more than half of the longer name changed, so
      // that "Wx" is offered W and X but not every other one-letter name.
      const std::size_t longer = std::max(wanted.size(), n.lower.size());
      if (d <= 2 && 2 * d <= longer && std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == n.shown; })) {
        scored.emplace_back(d, n.shown);
      }
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (std::size_t i = 0; i < scored.size() && i < 8; ++i) out.push_back(scored[i].second);
  return out;
}

std::uint16_t CodeOfKeyIndex(std::uint16_t index) {
  if (index < 256) return keys::CodeOfIndex(index);
  return static_cast<std::uint16_t>(index + 0x100);
}

std::string KeyName(std::uint16_t code, const text::TextSource& texts) { return keys::KeyOutputName(code, texts); }

std::string GKeyName(const keys::GKeyPlace& g) { return std::string("G").append(std::to_string(g.DeviceNumber())); }

std::string KeyButtonName(const keys::LayoutKey& button, const text::TextSource& texts) {
  return button.kind == keys::LayoutKind::Fn ? std::string(button.name) : KeyName(button.code, texts);
}

std::optional<std::uint16_t> ParseKeyIndex(std::string_view name, const text::TextSource& texts) {
  const auto key = KeyVocabulary(texts).Find(name);
  if (!key || key->index == keys::kNoKeyIndex) return std::nullopt;
  return key->index;
}

KeyNameIndex::KeyNameIndex(const text::TextSource& texts) {
  const KeyVocabulary words(texts);
  for (const auto& n : KeyVocabulary::FixedNames()) fixed_.emplace(n.lower, n.key);
  for (const auto& n : words.DisplayNames()) shown_.emplace(n.lower, n.key);
}

std::optional<std::uint16_t> KeyNameIndex::Find(std::string_view name) const {
  if (name.empty()) return std::nullopt;
  // The order of KeyVocabulary::Find: fixed names, numbers and codes, display names.
  const std::string wanted = Lower(name);
  std::optional<KeyRef> key;
  if (const auto it = fixed_.find(wanted); it != fixed_.end()) key = it->second;
  if (!key) key = NumberedKey(std::string(name));
  if (!key) {
    if (const auto it = shown_.find(wanted); it != shown_.end()) key = it->second;
  }
  if (!key || key->index == keys::kNoKeyIndex) return std::nullopt;
  return key->index;
}

}  // namespace vantrel::scripting
