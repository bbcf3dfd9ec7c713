#include "core/lighting/effects.h"

#include "core/text/text_source.h"

namespace vantrel::lighting {

EffectParams ParamsOf(EffectCode code) {
  EffectParams p;
  if (code < kFirstEffect || code > kLastEffect) return p;
  p.known = true;
  p.brightness = code != kEffectNone;
  p.speed = (code >= 1 && code <= 5) || (code >= 7 && code <= 15);
  switch (code) {
    case 1:
    case 2:
    case 3:
      p.direction = DirectionPictures::LeftRight;
      p.directionPlacement = "2";
      break;
    case 12:
      p.direction = DirectionPictures::UpDown;
      p.directionPlacement = "3";
      break;
    case kEffectSpread:
      p.direction = DirectionPictures::SpreadConverge;
      break;
    default:
      break;
  }
  switch (code) {
    case 1: case 2: case 3: case 5: case 7: case 8: case 9: case 10: case 13: case 14: case 15:
      p.colourGroup = ColourGroup::HX;
      break;
    case 6: case 16:
      p.colourGroup = ColourGroup::FY;
      break;
    default:
      break;
  }
  p.writesMulticolour = p.colourGroup == ColourGroup::HX && code != 10;
  p.colourChoice = code == kEffectColourChoice;
  p.userColours = code == kEffectUserColours;
  return p;
}

PanelNote PanelNoteOf(bool panelOpen, EffectCode selected) {
  if (!panelOpen) return PanelNote::Folded;
  return selected == kEffectUserColours ? PanelNote::None : PanelNote::KeysIdle;
}

const char* PanelNoteKey(PanelNote note) {
  switch (note) {
    case PanelNote::Folded: return "LIGHT_NOTE_FOLDED";
    case PanelNote::KeysIdle: return "LIGHT_NOTE_KEYS_IDLE";
    case PanelNote::None: break;
  }
  return "";
}

std::string EffectName(const text::TextSource* texts, EffectCode code) {
  if (texts == nullptr) return "#Error";
  return texts->ModeText(std::to_string(code));
}

bool EffectListHolds(const EffectList& list, EffectCode code) {
  for (auto c : list) {
    if (c != 0 && c == code) return true;
  }
  return false;
}

void EffectIndexTable::Add(int position, EffectCode code) {
  if (count_ < pairs_.size()) pairs_[count_++] = Pair{position, code};
}

int EffectIndexTable::PositionOfEffect(EffectCode code) const {
  for (std::size_t i = 0; i < count_; ++i) {
    if (pairs_[i].code == code) return pairs_[i].position;
  }
  return -1;
}

EffectCode EffectIndexTable::EffectAtPosition(int position) const {
  for (std::size_t i = 0; i < count_; ++i) {
    if (pairs_[i].position == position) return pairs_[i].code;
  }
  return 0;
}

void FillEffectList(const EffectList& list, const text::TextSource* texts, EffectListModel& model) {
  model.entries.clear();
  model.table.Clear();
  for (auto c : list) {
    if (c == 0) continue;
    const int position = static_cast<int>(model.entries.size());
    model.entries.push_back({EffectName(texts, c), c});
    model.table.Add(position, c);
  }
}

}  // namespace vantrel::lighting
