// What the printed key map of one on-board profile shows, worked out without any drawing:
// the key picture from the main skin's own key rectangles, each key with its legend and,
// where it does something else than its factory function, that assignment in words; the
// G keys of both layers as a table; the macros the profile's keys use, with their steps;
// and the title. A drawing layer only lays these texts out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/stores.h"
#include "core/text/ini_file.h"
#include "core/text/skin_values.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

struct SheetKey {
  text::SkinRect rect;     // in the main window's pixels
  std::string legend;      // the key face
  std::string assignment;  // in words; empty while the key has its factory function
  bool gKey = false;
};

// One row of the G-key table: a G key and what it does in each layer.
struct SheetGKey {
  std::string name;                   // "G1".."G9"
  std::string layer1, layer2;         // in words; empty: factory function
};

struct SheetMacro {
  std::string name;
  std::string cycles;                 // "Repeat count: N" in the language in force
  std::vector<std::string> steps;     // "↓ Left Ctrl", "↑ C", each followed by its delay
};

struct KeySheet {
  std::string title;                  // "Key map: Profile 1"
  std::string date;                   // as given by the caller
  std::vector<SheetKey> keys;         // keys placed by the skin, in layout order
  text::SkinRect bounds{0, 0, 0, 0};  // the rectangle around all keys
  std::string gKeyHeading, layer1Heading, layer2Heading;
  std::vector<SheetGKey> gKeys;       // G1..G9
  std::string macroHeading;
  std::vector<SheetMacro> macros;     // used by a key of the profile, in list order
};

// The sheet of on-board profile `profile` (0..2) of the image. `mainSkin` is the main
// window's skin file: a key it does not place (missing key, or the 1,1 disabled
// placement) is left out of the picture, and the G-key table still lists every G key.
KeySheet BuildKeySheet(const StoreImage& image, std::size_t profile, const text::IniSnapshot& mainSkin,
                       const text::TextSource& texts, std::string date);

// The name proposed for a file of the sheet, from its title: no character a file name
// cannot hold on some system (/ \ : * ? " < > | and control characters). A colon with
// the spaces around it becomes " - " ("Key map: Profile 3" -> "Key map - Profile 3"),
// any other such character a space; runs of spaces become one, none at either end.
std::string SheetFileName(std::string_view title);

// One macro step in words: an arrow down (press) or up (release), the key, and the delay
// after it in milliseconds ("↓ Left Ctrl  10 ms").
std::string MacroStepWords(const MacroAction& action, const text::TextSource& texts);

}  // namespace vantrel::keys
