#include "core/keys/desktop_layout.h"

#include <vector>

namespace vantrel::keys {
namespace {

std::string_view Trim(std::string_view s) {
  constexpr std::string_view kSpace = " \t\r\n";
  const auto first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

std::string_view FirstOfList(std::string_view list) { return Trim(list.substr(0, list.find(','))); }

// The first entries of a layout list and its variant list, checked as names.
std::optional<LayoutName> FirstLayout(std::string_view layouts, std::string_view variants) {
  const std::string_view layout = FirstOfList(layouts);
  const std::string_view variant = FirstOfList(variants);
  // Each part must be a plain name on its own.
  auto name = ParseLayoutName(layout);
  if (!name || !name->variant.empty()) return std::nullopt;
  if (variant.empty()) return name;
  const auto variantName = ParseLayoutName(variant);
  if (!variantName || !variantName->variant.empty()) return std::nullopt;
  name->variant = variantName->layout;
  return name;
}

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The quoted strings of a GVariant text, in order ('...' or "...", backslash escapes).
std::vector<std::string> QuotedStrings(std::string_view text) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char quote = text[i];
    if (quote != '\'' && quote != '"') continue;
    std::string s;
    for (++i; i < text.size() && text[i] != quote; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) ++i;
      s += text[i];
    }
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace

std::optional<LayoutName> LayoutOfXkbRulesNames(std::string_view property) {
  std::vector<std::string_view> fields;
  while (!property.empty() && fields.size() < 5) {
    const auto end = property.find('\0');
    fields.push_back(property.substr(0, end));
    if (end == std::string_view::npos) break;
    property.remove_prefix(end + 1);
  }
  if (fields.size() < 3) return std::nullopt;
  return FirstLayout(fields[2], fields.size() > 3 ? fields[3] : std::string_view());
}

std::optional<LayoutName> LayoutOfKdeConfig(std::string_view iniText) {
  bool inLayout = false;
  std::string_view layouts, variants;
  bool used = true;
  while (!iniText.empty()) {
    const auto end = iniText.find('\n');
    const std::string_view line = Trim(iniText.substr(0, end));
    iniText.remove_prefix(end == std::string_view::npos ? iniText.size() : end + 1);
    if (line.starts_with('[')) {
      inLayout = line == "[Layout]";
      continue;
    }
    const auto eq = line.find('=');
    if (!inLayout || eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (key == "LayoutList") layouts = value;
    if (key == "VariantList") variants = value;
    if (key == "Use") used = !EqualsNoCase(value, "false");
  }
  if (!used) return std::nullopt;
  return FirstLayout(layouts, variants);
}

std::optional<LayoutName> LayoutOfGnomeSources(std::string_view gvariantText) {
  const std::vector<std::string> strings = QuotedStrings(gvariantText);
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (strings[i] != "xkb") continue;
    const std::string& id = strings[i + 1];
    const auto plus = id.find('+');
    if (plus == std::string::npos) return FirstLayout(id, {});
    return FirstLayout(std::string_view(id).substr(0, plus), std::string_view(id).substr(plus + 1));
  }
  return std::nullopt;
}

DesktopLayout DetectDesktopLayout(const DesktopLayoutSources& sources) {
  const auto from = [](const std::function<std::optional<std::string>()>& read,
                       std::optional<LayoutName> (*parse)(std::string_view)) -> std::optional<LayoutName> {
    if (!read) return std::nullopt;
    const auto text = read();
    return text ? parse(*text) : std::nullopt;
  };
  if (sources.sessionType != "wayland") {
    if (auto name = from(sources.x11RulesNames, LayoutOfXkbRulesNames)) return {*name, LayoutSource::kX11};
  }
  if (Contains(sources.desktop, "KDE")) {
    if (auto name = from(sources.kdeKeyboardConfig, LayoutOfKdeConfig)) return {*name, LayoutSource::kKde};
  }
  if (Contains(sources.desktop, "GNOME")) {
    if (auto name = from(sources.gnomeInputSources, LayoutOfGnomeSources)) return {*name, LayoutSource::kGnome};
  }
  return {LayoutName{"us", ""}, LayoutSource::kDefault};
}

std::vector<LayoutChoice> LayoutChoicesOfRulesList(std::string_view listText) {
  std::vector<LayoutChoice> layouts;
  std::vector<LayoutChoice> variants;
  std::string_view section;
  while (!listText.empty()) {
    const auto end = listText.find('\n');
    const std::string_view line = Trim(listText.substr(0, end));
    listText.remove_prefix(end == std::string_view::npos ? listText.size() : end + 1);
    if (line.starts_with('!')) {
      section = Trim(line.substr(1));
      continue;
    }
    if (section != "layout" && section != "variant") continue;
    const auto gap = line.find_first_of(" \t");
    if (gap == std::string_view::npos) continue;
    const std::string_view first = line.substr(0, gap);
    std::string_view description = Trim(line.substr(gap));
    if (section == "layout") {
      if (auto name = ParseLayoutName(first); name && name->variant.empty()) {
        layouts.push_back({std::move(*name), std::string(description)});
      }
      continue;
    }
    // "us: English (Dvorak)": the layout the variant belongs to comes first.
    const auto colon = description.find(':');
    if (colon == std::string_view::npos) continue;
    auto name = FirstLayout(description.substr(0, colon), first);
    if (!name || name->variant.empty()) continue;
    variants.push_back({std::move(*name), std::string(Trim(description.substr(colon + 1)))});
  }
  std::vector<LayoutChoice> out;
  for (LayoutChoice& layout : layouts) {
    const std::string base = layout.name.layout;
    out.push_back(std::move(layout));
    for (const LayoutChoice& v : variants)
      if (v.name.layout == base) out.push_back(v);
  }
  return out;
}

}  // namespace vantrel::keys
