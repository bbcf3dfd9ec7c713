// Writes vantrelctl's bash completion: copies the template and puts the key names of the
// key table (and G1..G18) in place of @KEY_NAMES@, each as one single-quoted bash word.
// Usage: vantrel_completion_gen TEMPLATE OUTPUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/keys/key_codes.h"

namespace {

// A single-quoted bash word: a quote inside becomes '\''.
std::string BashWord(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vantrel_completion_gen TEMPLATE OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "vantrel_completion_gen: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();

  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& entry : vantrel::keys::KeyNameTable()) {
    const std::string label(entry.label);
    if (!label.empty() && seen.insert(label).second) names.push_back(label);
  }
  for (std::size_t n = 1; n <= vantrel::keys::kGKeyCount * vantrel::keys::kGKeyLayers; ++n) names.push_back(std::string("G").append(std::to_string(n)));

  std::string words;
  for (std::size_t i = 0; i < names.size(); ++i) words += (i % 8 == 0 ? "\n  " : " ") + BashWord(names[i]);
  words += "\n";

  const std::string marker = "@KEY_NAMES@";
  const auto at = text.find(marker);
  if (at == std::string::npos) {
    std::fprintf(stderr, "vantrel_completion_gen: no %s in %s\n", marker.c_str(), argv[1]);
    return 1;
  }
  text.replace(at, marker.size(), words);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return out ? 0 : 1;
}
