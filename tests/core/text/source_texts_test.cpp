// No text that a user reads is written into the program's code in one human language:
// every such text comes from the language files. The sources are scanned for string
// literals: Chinese characters are refused anywhere, and English words in the window code
// wherever they are shown (passed to a call that shows text, or a phrase of two words or
// more). Key legends and technical strings (object names, style sheets, font families,
// file patterns, setting keys, diagnostics on stderr) are allowed, the last few by an
// explicit list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/utf16.h"

namespace vantrel::text {
namespace {

const std::filesystem::path kSourceDir = std::filesystem::path(VANTREL_SOURCE_DIR) / "src";

struct Literal {
  int line = 0;
  std::u32string text;      // escapes resolved
  std::string calls;        // names of the calls the literal is an argument of, innermost first
};

// The body of a literal with \uXXXX, \UXXXXXXXX and the one-letter escapes resolved.
std::u32string Unescape(std::string_view body) {
  std::u32string out;
  const std::u32string raw = Utf8ToUtf32(body);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != U'\\' || i + 1 >= raw.size()) {
      out.push_back(raw[i]);
      continue;
    }
    const char32_t e = raw[++i];
    const int digits = e == U'u' ? 4 : e == U'U' ? 8 : 0;
    if (digits > 0 && i + digits < raw.size() + 1) {
      char32_t c = 0;
      for (int k = 1; k <= digits && i + k < raw.size(); ++k) {
        const char32_t h = raw[i + k];
        c = c * 16 + static_cast<char32_t>(h <= U'9' ? h - U'0' : (h | 0x20) - U'a' + 10);
      }
      out.push_back(c);
      i += static_cast<std::size_t>(digits);
    } else {
      out.push_back(e == U'n' ? U'\n' : e == U't' ? U'\t' : e);
    }
  }
  return out;
}

// The identifiers before each '(' still open at the end of `code`, innermost first.
std::string OpenCalls(const std::string& code) {
  std::string calls;
  int depth = 0;
  for (std::size_t i = code.size(); i-- > 0;) {
    if (code[i] == ')') ++depth;
    if (code[i] != '(') continue;
    if (depth > 0) {
      --depth;
      continue;
    }
    std::size_t end = i;
    while (end > 0 && code[end - 1] == ' ') --end;
    std::size_t begin = end;
    while (begin > 0 && (std::isalnum(static_cast<unsigned char>(code[begin - 1])) || code[begin - 1] == '_')) --begin;
    calls += code.substr(begin, end - begin) + ' ';
  }
  return calls;
}

// Every string literal outside comments, with the calls it is passed to. The statement's
// code is kept with literals blanked, from its last ';', '{' or '}'.
std::vector<Literal> Literals(const std::string& source) {
  std::vector<Literal> found;
  std::string statement;
  int line = 1;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '\n') {
      ++line;
      statement += ' ';
      continue;
    }
    if (source.compare(i, 2, "//") == 0) {
      i = source.find('\n', i) - 1;
      continue;
    }
    if (source.compare(i, 2, "/*") == 0) {
      const std::size_t end = source.find("*/", i + 2);
      line += static_cast<int>(std::count(source.begin() + static_cast<std::ptrdiff_t>(i),
                                          source.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
      i = end + 1;
      continue;
    }
    if (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(source[i - 1])))) {  // not a digit separator
      std::size_t j = i + 1;
      while (j < source.size() && source[j] != '\'') j += source[j] == '\\' ? 2 : 1;
      i = j;
      statement += "' '";
      continue;
    }
    if (c == '"') {
      Literal literal{line, {}, OpenCalls(statement)};
      if (i > 0 && source[i - 1] == 'R') {
        const std::size_t open = source.find('(', i);
        const std::string close = ")" + source.substr(i + 1, open - i - 1) + "\"";
        const std::size_t end = source.find(close, open);
        literal.text = Utf8ToUtf32(std::string_view(source).substr(open + 1, end - open - 1));
        line += static_cast<int>(std::count(source.begin() + static_cast<std::ptrdiff_t>(i),
                                            source.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
        i = end + close.size() - 1;
      } else {
        std::size_t j = i + 1;
        while (j < source.size() && source[j] != '"') j += source[j] == '\\' ? 2 : 1;
        literal.text = Unescape(std::string_view(source).substr(i + 1, j - i - 1));
        i = j;
      }
      found.push_back(std::move(literal));
      statement += "\"\"";
      continue;
    }
    if (c == ';' || c == '{' || c == '}') {
      statement.clear();
      continue;
    }
    statement += c;
  }
  return found;
}

bool IsChinese(char32_t c) {
  return (c >= 0x3000 && c <= 0x303F) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF60);
}

// Calls that put their text argument in front of the user.
const std::regex kShowingCall(
    "\\b(setText|setToolTip|SetTooltipText|setWindowTitle|setTitle|addAction|addMenu|addItem|addItems|"
    "setItemText|InsertColumn|setPlaceholderText|setAccessibleName|setAccessibleDescription|setStatusTip|"
    "QMessageBox|information|warning|critical|question|ShowMessage|AskYesNo|AskYesNoCancel|tr|translate) ");
// Calls whose text is for a log, a test of the build, or the machine.
const std::regex kTechnicalCall(
    "\\b(fprintf|fputs|printf|puts|qWarning|qDebug|qCritical|qInfo|static_assert|setStyleSheet|setObjectName|"
    "QFont|SetTextAttributes|value|setValue|ReadString|ReadInt|ReadSkinRect|PlaceControl|PlaceSkinnedButton|"
    "PlaceWithFaceKey|filePath|RequiredSkinPicture|OptionalPicture|OptionalIcon|Picture|startsWith) ");

const std::regex kWord("[A-Za-z]{2,}");
const std::regex kPhrase("[A-Za-z]{2,}[ ]+[A-Za-z]{2,}");
// A style sheet, a font family.
const std::regex kStyleOrFont("[{}]|[a-z-]+: [^;]*;|^DejaVu Sans$|^Tahoma Unicode MS$");

// Literals of the window code that are known not to be the user's texts, each with why.
struct Allowed {
  const char* file;   // path below src/, ending
  const char* text;   // a part of the literal
};
const Allowed kAllowed[] = {
    // Each language's own name, the same in every language, so that a user finds theirs.
    {"ui/windows/tray.cpp", "\u7B80\u4F53\u4E2D\u6587"},
    {"ui/windows/tray.cpp", "\u7E41\u9AD4\u4E2D\u6587"},
    // The program's name before its version number: a name, the same in every language.
    {"ui/windows/about_box.cpp", "Vantrel "},
    // The skin gallery is the skin designer's review window (--skin-gallery): sample
    // captions show how a text sits on each control.
    {"ui/skin/skin_gallery.cpp", ""},
    {"app/gui/vantrel_main.cpp", "Vantrel skin gallery"},
    // Command-line help (its option lines start with two spaces) and diagnostics, printed
    // on the terminal.
    {"app/gui/vantrel_main.cpp", "Usage: vantrel"},
    {"app/gui/vantrel_main.cpp", "  "},
    {"app/gui/vantrel_main.cpp", "--language: not a language id"},
    {"app/gui/vantrel_main.cpp", "--sim-latency: not a delay"},
    // Error messages of the session-bus interface go back to the calling script with the
    // error's name, as vantrelctl's diagnostics do: the script's author reads them.
    {"ui/dbus/keyboard_adaptor.cpp", ""},
    {"ui/dbus/keyboard_adaptor_text_macro.cpp", ""},
    {"ui/dbus/testing_adaptor.cpp", ""},
    {"ui/dbus/focus_adaptor.cpp", "KWin "},
    // Qt's class-info key that names an adaptor's interface.
    {"ui/dbus/keyboard_adaptor.h", "D-Bus Interface"},
    {"ui/dbus/focus_adaptor.h", "D-Bus Interface"},
    {"ui/dbus/testing_adaptor.h", "D-Bus Interface"},
    // Key legends: the name printed on the key itself, read out as the key's name.
    {"ui/windows/main_window_frame.cpp", "Fn"},
    // Why a skin file cannot be used: printed on stderr before the program ends.
    {"ui/skin/skin_placement.cpp", ": names no background picture"},
    {"ui/skin/skin_placement.cpp", ": cannot be read as a picture"},
};

bool IsAllowed(const std::string& file, const std::string& text) {
  return std::any_of(std::begin(kAllowed), std::end(kAllowed), [&](const Allowed& a) {
    return file.ends_with(a.file) && text.find(a.text) != std::string::npos;
  });
}

// The literals of one source file that a user would read in one language.
std::vector<std::string> OneLanguageTexts(const std::string& file, const std::string& source, bool windowCode) {
  std::vector<std::string> found;
  for (const Literal& literal : Literals(source)) {
    const std::string text = Utf32ToUtf8(literal.text);
    if (IsAllowed(file, text)) continue;
    const std::string where = file + ":" + std::to_string(literal.line) + ": \"" + text + "\"";
    if (std::any_of(literal.text.begin(), literal.text.end(), IsChinese)) {
      found.push_back(where);
      continue;
    }
    if (!windowCode || std::regex_search(text, kStyleOrFont)) continue;
    const std::string& calls = literal.calls;
    // The innermost call decides, past the wrappers that only make a QString of it.
    std::string outer = calls;
    for (const char* wrapper : {"QStringLiteral ", "QString ", "QLatin1String ", "fromUtf8 ", "fromLatin1 "})
      if (outer.starts_with(wrapper)) outer.erase(0, std::char_traits<char>::length(wrapper));
    const std::string innermost = outer.substr(0, outer.find(' ') + 1);
    if (std::regex_search(innermost, kTechnicalCall)) continue;
    const bool shown = std::regex_search(innermost, kShowingCall) && std::regex_search(text, kWord);
    if (shown || std::regex_search(text, kPhrase)) found.push_back(where);
  }
  return found;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SourceTexts, NoUserTextIsWrittenInOneLanguageInTheCode) {
  ASSERT_TRUE(std::filesystem::is_directory(kSourceDir)) << kSourceDir;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kSourceDir)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    ++files;
    const std::string file = entry.path().lexically_relative(kSourceDir).generic_string();
    const bool windowCode = file.starts_with("ui/") || file.starts_with("app/gui/");
    for (const auto& text : OneLanguageTexts(file, ReadFile(entry.path()), windowCode)) ADD_FAILURE() << text;
  }
  EXPECT_GT(files, 100);
}

// The scan itself, on the kinds of code it must catch and must let pass.
TEST(SourceTexts, TheScanTellsShownTextsFromTechnicalStrings) {
  const auto scan = [](const std::string& code) { return OneLanguageTexts("ui/windows/x.cpp", code, true).size(); };
  // Caught: a caption, a submenu title, a message, Chinese anywhere (escaped too).
  EXPECT_EQ(scan("b->setText(QStringLiteral(\"Open\"));"), 1u);
  EXPECT_EQ(scan("menu.setTitle(QStringLiteral(\"Virtual keyboard\"));"), 1u);
  EXPECT_EQ(scan("sink.ShowMessage(\"cannot write \" + path);"), 1u);
  EXPECT_EQ(scan("const Def d[] = {{&ok_, 1, \"CONTROL_OK\", QStringLiteral(\"Cancel update\")}};"), 1u);
  EXPECT_EQ(scan("list->InsertColumn(0, QStringLiteral(\"\u6FC0\u6D3B\"), Qt::AlignLeft, 60);"), 1u);
  EXPECT_EQ(scan("constexpr auto k = \"\\u5907\\u4EFD\\u6210\\u529F!\";"), 1u);
  EXPECT_EQ(OneLanguageTexts("core/x.cpp", "auto k = \"\u66F4\u65B0\";", false).size(), 1u);
  // Let pass: symbols, object names, keys, style sheets, fonts, file patterns, logs, comments.
  EXPECT_EQ(scan("b->setText(QStringLiteral(\"\\u2715\")); c->setText(\"+\"); e->setText(\"1\");"), 0u);
  EXPECT_EQ(scan("b->setObjectName(\"CONTROL_OK\"); t.Text(\"PROFILE_ADD\");"), 0u);
  EXPECT_EQ(scan("w->setStyleSheet(\"QLabel { color: #fff; font: 16px 'DejaVu Sans'; }\");"), 0u);
  EXPECT_EQ(scan("b->SetTextAttributes(9, \"DejaVu Sans\", colours); QFont f(\"DejaVu Sans\");"), 0u);
  EXPECT_EQ(scan("choice.fileName = QStringLiteral(\"*.vnp\"); x = QString(\"tray_%1.png\");"), 0u);
  EXPECT_EQ(scan("std::fprintf(stderr, \"vantrel: the running instance would not quit\\n\");"), 0u);
  EXPECT_EQ(scan("// b->setText(\"Open the file\");\n/* \"Virtual keyboard\" */ int x = 'a';"), 0u);
}

}  // namespace
}  // namespace vantrel::text
