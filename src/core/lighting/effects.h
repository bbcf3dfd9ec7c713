// Lighting effect codes, the controls each code uses, the effects a keyboard offers
// and the effect drop-down's model.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel::text {
class TextSource;
}

namespace vantrel::lighting {

// One byte in the lighting record; the host knows 1..20.
using EffectCode = int;
inline constexpr EffectCode kFirstEffect = 1;
inline constexpr EffectCode kLastEffect = 20;
inline constexpr EffectCode kEffectColourChoice = 17;
inline constexpr EffectCode kEffectSpread = 18;
inline constexpr EffectCode kEffectNone = 19;
inline constexpr EffectCode kEffectUserColours = 20;

enum class ColourGroup : std::uint8_t { None, HX, FY };
// The two direction pictures an effect shows: 0xFF picture / 0x00 picture.
enum class DirectionPictures : std::uint8_t { None, LeftRight, UpDown, SpreadConverge };

// Which panel controls a code uses, and so which record bytes the panel writes for it.
struct EffectParams {
  bool known = false;
  bool brightness = false;
  bool speed = false;
  DirectionPictures direction = DirectionPictures::None;
  // Suffix of the direction controls' placement keys: "" plain, "2" (codes 1-3), "3" (12).
  const char* directionPlacement = "";
  ColourGroup colourGroup = ColourGroup::None;
  bool colourChoice = false;
  bool userColours = false;
  // Choosing the code also writes the multicolour byte (record byte 4).
  bool writesMulticolour = false;
};

EffectParams ParamsOf(EffectCode code);

// The short note the panel shows about itself. Folded, it shows only its lamp and title:
// the note says what the lamp opens. Open, a key click and the Macro button belong to the
// panel: they paint keys with effect 20 (its own controls say so) and do nothing with any
// other effect, which the note explains, with how to assign keys again.
enum class PanelNote : std::uint8_t { None, Folded, KeysIdle };
PanelNote PanelNoteOf(bool panelOpen, EffectCode selected);
// Its language key, empty for None.
const char* PanelNoteKey(PanelNote note);

// Display name of a code: section "MODE", key = the code in decimal. "#Error" without
// a text source.
std::string EffectName(const text::TextSource* texts, EffectCode code);

// Bytes 12..43 of the device state record: 32 slots, 0 = empty.
using EffectList = std::array<std::uint8_t, 32>;

bool EffectListHolds(const EffectList& list, EffectCode code);

// (list position, effect code) pairs of the drop-down.
class EffectIndexTable {
 public:
  void Clear() { count_ = 0; }
  void Add(int position, EffectCode code);
  // The first position whose code matches, or -1.
  int PositionOfEffect(EffectCode code) const;
  // The code at position k; 0 when there is none.
  EffectCode EffectAtPosition(int position) const;
  std::size_t Size() const { return count_; }

 private:
  struct Pair {
    int position;
    EffectCode code;
  };
  std::array<Pair, 32> pairs_{};
  std::size_t count_ = 0;
};

struct EffectEntry {
  std::string name;
  EffectCode code;
};

// What the effect drop-down shows.
struct EffectListModel {
  std::vector<EffectEntry> entries;
  EffectIndexTable table;
};

// Clears the model, then adds every non-empty slot, in slot order: the k-th non-empty
// slot is list position k.
void FillEffectList(const EffectList& list, const text::TextSource* texts, EffectListModel& model);

}  // namespace vantrel::lighting
