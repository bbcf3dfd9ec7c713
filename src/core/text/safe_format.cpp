#include "core/text/safe_format.h"

#include "core/text/ini_file.h"

#include <algorithm>
#include <cstdio>

namespace vantrel::text {
namespace {

// Widths and precisions above this are printed literally rather than honoured, so a
// text like "%999999999d" cannot make a huge string.
constexpr int kMaxWidth = 64;

struct Conversion {
  std::size_t length = 0;  // characters of the whole sequence, '%' included
  std::string flags;
  int width = -1;
  int precision = -1;
  std::string lengthModifier;
  char type = 0;
  bool valid = false;
};

Conversion ParseConversion(std::string_view f, std::size_t start) {
  Conversion c;
  std::size_t i = start + 1;
  while (i < f.size() && std::string_view("-+ #0").find(f[i]) != std::string_view::npos) c.flags.push_back(f[i++]);
  auto number = [&](int& out) {
    if (i >= f.size() || f[i] < '0' || f[i] > '9') return true;
    long v = 0;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
      v = v * 10 + (f[i++] - '0');
      if (v > kMaxWidth) return false;
    }
    out = static_cast<int>(v);
    return true;
  };
  if (!number(c.width)) return c;
  if (i < f.size() && f[i] == '.') {
    ++i;
    c.precision = 0;
    if (!number(c.precision)) return c;
  }
  for (std::string_view m : {"hh", "ll", "h", "l", "L", "z", "j", "t"}) {
    if (f.substr(i, m.size()) == m) {
      // Through a temporary: GCC 12 at -O3 warns falsely (-Wrestrict, GCC bug 105329)
      // on assigning a short string_view in place.
      c.lengthModifier = std::string(m);
      i += m.size();
      break;
    }
  }
  if (i >= f.size()) return c;
  c.type = f[i];
  c.length = i + 1 - start;
  c.valid = true;
  return c;
}

bool IsIntegerConversion(const Conversion& c) {
  return c.valid && std::string_view("diuxX").find(c.type) != std::string_view::npos &&
         (c.lengthModifier.empty() || c.lengthModifier == "h" || c.lengthModifier == "l" ||
          c.lengthModifier == "ll" || c.lengthModifier == "hh");
}

bool IsStringConversion(const Conversion& c) {
  return c.valid && ((c.type == 's' && (c.lengthModifier.empty() || c.lengthModifier == "l")) ||
                     (c.type == 'S' && c.lengthModifier.empty()));
}

std::string FormatInteger(const Conversion& c, std::int64_t value) {
  // The format handed to snprintf is built here from checked parts only.
  std::string fmt = "%";
  // '#' has no meaning for signed conversions (undefined behaviour in snprintf): dropped.
  for (char flag : c.flags) {
    if (flag != '#' || (c.type != 'd' && c.type != 'i')) fmt.push_back(flag);
  }
  if (c.width >= 0) fmt += std::to_string(c.width);
  if (c.precision >= 0) fmt.append(".").append(std::to_string(c.precision));
  char buffer[160];
  if (c.type == 'd' || c.type == 'i') {
    fmt += "lld";
    std::snprintf(buffer, sizeof buffer, fmt.c_str(), static_cast<long long>(value));
  } else {
    // Unsigned conversions see the value as the C code would: cut to the modifier's width.
    unsigned long long u = static_cast<unsigned long long>(value);
    if (c.lengthModifier.empty() || c.lengthModifier == "l") u &= 0xFFFFFFFFull;
    if (c.lengthModifier == "h") u &= 0xFFFFull;
    if (c.lengthModifier == "hh") u &= 0xFFull;
    fmt += std::string("ll") + c.type;
    std::snprintf(buffer, sizeof buffer, fmt.c_str(), u);
  }
  return buffer;
}

std::string FormatString(const Conversion& c, std::string_view text) {
  // The precision counts characters and never cuts one of several UTF-8 bytes in two.
  std::string s = c.precision >= 0 ? CutUtf8(text, static_cast<std::size_t>(c.precision)) : std::string(text);
  if (c.width > 0 && s.size() < static_cast<std::size_t>(c.width)) {
    const std::string pad(c.width - s.size(), ' ');
    s = c.flags.find('-') != std::string::npos ? s + pad : pad + s;
  }
  return s;
}

// Substitutes the first `limit` conversions that match; render gets the conversion and
// its position among the substituted ones.
template <typename Matches, typename Render>
std::string Substitute(std::string_view format, Matches matches, Render render, std::size_t limit = 1) {
  std::string out;
  out.reserve(format.size() + 16);
  std::size_t done = 0;
  for (std::size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      out.push_back(format[i++]);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out.push_back('%');
      i += 2;
      continue;
    }
    const Conversion c = ParseConversion(format, i);
    if (done < limit && matches(c)) {
      out += render(c, done);
      ++done;
      i += c.length;
    } else {
      out.push_back('%');  // anything else prints literally
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string FormatWithNumber(std::string_view format, std::int64_t value) {
  return Substitute(format, IsIntegerConversion, [&](const Conversion& c, std::size_t) { return FormatInteger(c, value); });
}

std::string FormatWithString(std::string_view format, std::string_view text) {
  return Substitute(format, IsStringConversion, [&](const Conversion& c, std::size_t) { return FormatString(c, text); });
}

std::string FormatWithStrings(std::string_view format, std::span<const std::string_view> texts) {
  return Substitute(
      format, IsStringConversion, [&](const Conversion& c, std::size_t n) { return FormatString(c, texts[n]); },
      texts.size());
}

std::string FormatWithStrings(std::string_view format, std::initializer_list<std::string_view> texts) {
  return FormatWithStrings(format, std::span<const std::string_view>(texts.begin(), texts.size()));
}

}  // namespace vantrel::text
