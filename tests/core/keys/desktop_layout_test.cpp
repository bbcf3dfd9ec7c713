#include "core/keys/desktop_layout.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace vantrel::keys {
namespace {

std::optional<std::string> Text(const std::optional<LayoutName>& name) {
  return name ? std::optional<std::string>(name->Text()) : std::nullopt;
}

TEST(DesktopLayoutParsing, XkbRulesNames) {
  EXPECT_EQ(Text(LayoutOfXkbRulesNames("evdev\0pc105\0de\0\0\0"s)), "de");
  EXPECT_EQ(Text(LayoutOfXkbRulesNames("evdev\0pc105\0us,de\0dvorak,nodeadkeys\0grp:alt_shift_toggle\0"s)),
            "us(dvorak)");
  // The first group has no variant while the second has one.
  EXPECT_EQ(Text(LayoutOfXkbRulesNames("evdev\0pc105\0fr,us\0,intl\0"s)), "fr");
  // No trailing fields at all.
  EXPECT_EQ(Text(LayoutOfXkbRulesNames("evdev\0pc105\0gb"s)), "gb");
  EXPECT_FALSE(LayoutOfXkbRulesNames("evdev\0pc105\0\0\0\0"s));
  EXPECT_FALSE(LayoutOfXkbRulesNames("evdev\0pc105"s));
  EXPECT_FALSE(LayoutOfXkbRulesNames(""));
  EXPECT_FALSE(LayoutOfXkbRulesNames("evdev\0pc105\0../../x\0\0"s));
}

TEST(DesktopLayoutParsing, KdeConfig) {
  EXPECT_EQ(Text(LayoutOfKdeConfig("[Layout]\nDisplayNames=,\nLayoutList=de,us\nUse=true\nVariantList=nodeadkeys,\n")),
            "de(nodeadkeys)");
  EXPECT_EQ(Text(LayoutOfKdeConfig("[$Version]\nupdate_info=x\n\n[Layout]\r\nLayoutList=fr\r\nVariantList=\r\n")),
            "fr");
  // Keys of another section do not count.
  EXPECT_FALSE(LayoutOfKdeConfig("[Other]\nLayoutList=de\n"));
  // KDE leaves the layouts to the system.
  EXPECT_FALSE(LayoutOfKdeConfig("[Layout]\nLayoutList=de\nUse=false\n"));
  EXPECT_FALSE(LayoutOfKdeConfig("[Layout]\nUse=true\n"));
}

TEST(DesktopLayoutParsing, GnomeSources) {
  EXPECT_EQ(Text(LayoutOfGnomeSources("[('xkb', 'de'), ('xkb', 'us')]\n")), "de");
  EXPECT_EQ(Text(LayoutOfGnomeSources("[('xkb', 'us+dvorak'), ('xkb', 'de')]")), "us(dvorak)");
  // An input method is not a layout: the first xkb source counts.
  EXPECT_EQ(Text(LayoutOfGnomeSources("[('ibus', 'anthy'), ('xkb', 'gb')]")), "gb");
  EXPECT_FALSE(LayoutOfGnomeSources("@a(ss) []\n"));
  EXPECT_FALSE(LayoutOfGnomeSources("[('xkb', 'de;rm -rf')]"));
  EXPECT_FALSE(LayoutOfGnomeSources("No such schema “org.gnome.desktop.input-sources”"));
}

// Readers that count their calls and give a fixed answer.
struct Sources {
  std::optional<std::string> x11, kde, gnome;
  int x11Reads = 0, kdeReads = 0, gnomeReads = 0;

  DesktopLayoutSources Make(std::string session, std::string desktop) {
    DesktopLayoutSources s;
    s.sessionType = std::move(session);
    s.desktop = std::move(desktop);
    s.x11RulesNames = [this] { return ++x11Reads, x11; };
    s.kdeKeyboardConfig = [this] { return ++kdeReads, kde; };
    s.gnomeInputSources = [this] { return ++gnomeReads, gnome; };
    return s;
  }
};

TEST(DesktopLayoutDetection, ChoosesTheSourceOfTheSession) {
  Sources src;
  src.x11 = "evdev\0pc105\0de\0\0"s;
  src.kde = "[Layout]\nLayoutList=fr\n";
  src.gnome = "[('xkb', 'gb')]";

  struct Case {
    const char* session;
    const char* desktop;
    const char* layout;
    LayoutSource source;
  };
  for (const Case& c : {Case{"x11", "KDE", "de", LayoutSource::kX11},
                        Case{"", "", "de", LayoutSource::kX11},  // X without a session manager
                        Case{"wayland", "KDE", "fr", LayoutSource::kKde},
                        Case{"wayland", "ubuntu:GNOME", "gb", LayoutSource::kGnome},
                        Case{"wayland", "sway", "us", LayoutSource::kDefault}}) {
    const DesktopLayout got = DetectDesktopLayout(src.Make(c.session, c.desktop));
    EXPECT_EQ(got.name.Text(), c.layout) << c.session << ' ' << c.desktop;
    EXPECT_EQ(got.source, c.source) << c.session << ' ' << c.desktop;
  }
  // Xwayland's names are never asked on Wayland; gsettings is not run when X11 answered.
  Sources counted;
  counted.x11 = src.x11;
  counted.kde = src.kde;
  counted.gnome = src.gnome;
  DetectDesktopLayout(counted.Make("wayland", "KDE"));
  DetectDesktopLayout(counted.Make("x11", "GNOME"));
  EXPECT_EQ(counted.x11Reads, 1);
  EXPECT_EQ(counted.gnomeReads, 0);
}

TEST(DesktopLayoutDetection, FallsThroughSourcesThatGiveNothing) {
  Sources src;
  src.gnome = "[('xkb', 'de')]";
  // X11 unreadable (no display): the desktop's own store.
  EXPECT_EQ(DetectDesktopLayout(src.Make("x11", "GNOME")).name.Text(), "de");
  src.gnome = "@a(ss) []";
  const DesktopLayout none = DetectDesktopLayout(src.Make("x11", "GNOME"));
  EXPECT_EQ(none.name.Text(), "us");
  EXPECT_EQ(none.source, LayoutSource::kDefault);
  // Readers left out count as giving nothing.
  EXPECT_EQ(DetectDesktopLayout(DesktopLayoutSources{"x11", "KDE", {}, {}, {}}).name.Text(), "us");
}

}  // namespace
}  // namespace vantrel::keys

namespace vantrel::keys {
namespace {

TEST(LayoutChoices, LayoutsThenTheirVariants) {
  const std::string list =
      "! model\n  pc105           Generic 105-key PC\n\n"
      "! layout\n  us              English (US)\n  de              German\n  bad/name        Nothing\n\n"
      "! variant\n  dvorak          us: English (Dvorak)\n  nodeadkeys      de: German (no dead keys)\n"
      "  intl            us: English (US, intl., with dead keys)\n  orphan          xx: No such layout\n"
      "  broken          no colon here\n\n"
      "! option\n  grp                  Switching to another layout\n";
  std::vector<std::string> got;
  for (const LayoutChoice& c : LayoutChoicesOfRulesList(list)) got.push_back(c.name.Text() + "=" + c.description);
  EXPECT_EQ(got, (std::vector<std::string>{"us=English (US)", "us(dvorak)=English (Dvorak)",
                                           "us(intl)=English (US, intl., with dead keys)", "de=German",
                                           "de(nodeadkeys)=German (no dead keys)"}));
}

}  // namespace
}  // namespace vantrel::keys
