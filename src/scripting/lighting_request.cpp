#include "scripting/lighting_request.h"

#include <algorithm>

namespace vantrel::scripting {

using namespace vantrel::lighting;

std::string ChoiceName(int choice) {
  return choice >= 0 && choice < static_cast<int>(kChoiceNames.size())
             ? std::string(kChoiceNames[static_cast<std::size_t>(choice)])
             : std::to_string(choice);
}

std::optional<int> ChoiceValue(std::string_view name) {
  for (std::size_t i = 0; i < kChoiceNames.size(); ++i) {
    if (kChoiceNames[i] == name) return static_cast<int>(i);
  }
  return std::nullopt;
}

unsigned ReportRateHz(int button) {
  const int last = static_cast<int>(kReportRatesHz.size()) - 1;
  return kReportRatesHz[static_cast<std::size_t>(button < 0 ? 0 : button > last ? last : button)];
}

std::optional<int> ReportRateButton(unsigned hz) {
  for (std::size_t i = 0; i < kReportRatesHz.size(); ++i) {
    if (kReportRatesHz[i] == hz) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string EffectLabel(const text::TextSource* texts, EffectCode code) {
  const auto name = EffectName(texts, code);
  if (name.empty() || name == "#Error") return std::to_string(code);
  return std::to_string(code) + " (" + name + ")";
}

std::string EffectListText(const EffectList& list) {
  std::string s;
  for (auto c : list) {
    if (c == 0) continue;
    if (!s.empty()) s += ' ';
    s += std::to_string(c);
  }
  return s.empty() ? "none" : s;
}

namespace {

struct Words {
  const char* forward;   // byte 0xFF
  const char* backward;  // byte 0x00
};

std::optional<Words> WordsOf(EffectCode code) {
  switch (ParamsOf(code).direction) {
    case DirectionPictures::LeftRight:
      return Words{"left", "right"};
    case DirectionPictures::UpDown:
      return Words{"up", "down"};
    case DirectionPictures::SpreadConverge:
      return Words{"out", "in"};
    default:
      return std::nullopt;
  }
}

std::string Range(int value, int last) {
  return std::to_string(value) + " is outside 0.." + std::to_string(last);
}

}  // namespace

std::string DirectionWord(EffectCode code, int direction) {
  const auto w = WordsOf(code);
  if (!w) return direction != 0 ? "0xff" : "0x00";
  return direction != 0 ? w->forward : w->backward;
}

std::optional<int> DirectionValue(EffectCode code, std::string_view word) {
  const auto w = WordsOf(code);
  if (!w) return std::nullopt;
  if (word == w->forward) return 255;
  if (word == w->backward) return 0;
  return std::nullopt;
}

std::string DirectionWords(EffectCode code) {
  const auto w = WordsOf(code);
  return w ? std::string(w->forward) + " or " + w->backward : std::string();
}

std::string_view FieldName(LightingField field) {
  switch (field) {
    case LightingField::Effect: return "effect";
    case LightingField::Brightness: return "brightness";
    case LightingField::Speed: return "speed";
    case LightingField::Direction: return "direction";
    case LightingField::Colour: return "colour";
    case LightingField::Multicolour: return "multicolour";
    case LightingField::Choice: return "choice";
    case LightingField::ReportRate: return "report_rate";
  }
  return "";
}

std::optional<LightingRefusal> CheckLightingChanges(const LightingState& state, std::vector<LightingChange>& changes,
                                                    const text::TextSource* texts) {
  EffectCode effect = state.effect;
  for (LightingChange& change : changes) {
    const auto params = ParamsOf(effect);
    auto refuse = [&](std::string reason) { return LightingRefusal{change.field, std::move(reason)}; };
    // A field the effect does not use: taken only as the profile holds it, and not sent.
    auto unused = [&](const char* what, bool asHeld) -> std::optional<LightingRefusal> {
      if (!asHeld) return refuse("effect " + EffectLabel(texts, effect) + " has no " + what);
      change.unchanged = true;
      return std::nullopt;
    };
    std::optional<LightingRefusal> refusal;
    switch (change.field) {
      case LightingField::Effect:
        if (change.number < 1 || change.number > 255 || !EffectListHolds(state.supportedEffects, change.number)) {
          return refuse("the keyboard does not offer effect " + std::to_string(change.number) +
                        " (offered: " + EffectListText(state.supportedEffects) + ")");
        }
        effect = change.number;
        break;
      case LightingField::Brightness:
        if (change.number < 0 || change.number > kMaxSliderPosition) {
          return refuse("brightness " + Range(change.number, kMaxSliderPosition));
        }
        if (!params.brightness) refusal = unused("brightness", change.number == state.brightness);
        break;
      case LightingField::Speed:
        if (change.number < 0 || change.number > kMaxSliderPosition) {
          return refuse("speed " + Range(change.number, kMaxSliderPosition));
        }
        if (!params.speed) refusal = unused("speed", change.number == state.speedPosition);
        break;
      case LightingField::Direction: {
        // The byte itself, as GetLighting names it for effects without direction pictures.
        const std::optional<int> raw = change.word == "0xff" ? std::optional<int>(255)
                                       : change.word == "0x00" ? std::optional<int>(0)
                                                               : std::nullopt;
        if (params.direction == DirectionPictures::None) {
          refusal = unused("direction", raw && (*raw != 0) == (state.direction != 0));
          break;
        }
        const auto value = raw ? raw : DirectionValue(effect, change.word);
        if (!value) return refuse("effect " + EffectLabel(texts, effect) + " takes the direction " + DirectionWords(effect));
        change.number = *value;
        break;
      }
      case LightingField::Colour:
        if (params.colourGroup == ColourGroup::None) refusal = unused("colour", change.colour == state.colour);
        break;
      case LightingField::Multicolour:
        if (params.colourGroup == ColourGroup::None) refusal = unused("multicolour", change.on == state.multicolour);
        break;
      case LightingField::Choice:
        if (change.number < 0 || change.number >= static_cast<int>(kChoiceNames.size())) {
          return refuse("colour choice " + Range(change.number, static_cast<int>(kChoiceNames.size()) - 1));
        }
        if (!params.colourChoice) refusal = unused("colour choice", change.number == state.colourChoice);
        break;
      case LightingField::ReportRate:
        if (change.number < 0 || change.number >= static_cast<int>(kReportRatesHz.size())) {
          return refuse("report-rate button " + Range(change.number, static_cast<int>(kReportRatesHz.size()) - 1));
        }
        break;
    }
    if (refusal) return refusal;
  }
  return std::nullopt;
}

namespace {

constexpr std::array<std::string_view, 6> kDirectionWords = {"left", "right", "up", "down", "out", "in"};

template <std::size_t N>
std::string Listed(const std::array<std::string_view, N>& words) {
  std::string s;
  for (const auto w : words) s += (s.empty() ? "" : ", ") + std::string(w);
  return s;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

ScriptOutcome ReadNamedChanges(const std::vector<NamedValue>& entries, std::vector<LightingChange>& changes) {
  constexpr std::array<LightingField, 8> kFields = {
      LightingField::Effect, LightingField::Brightness, LightingField::Speed,       LightingField::Direction,
      LightingField::Colour, LightingField::Multicolour, LightingField::Choice, LightingField::ReportRate};
  changes.clear();
  if (entries.empty()) {
    return InvalidArgument("changes", "give at least one of effect, brightness, speed, direction, colour, "
                                      "multicolour, choice, report_rate");
  }
  for (const NamedValue& entry : entries) {
    const auto field = std::find_if(kFields.begin(), kFields.end(),
                                    [&](LightingField f) { return FieldName(f) == entry.key; });
    if (field == kFields.end()) {
      return InvalidArgument("changes", "unknown key " + Quoted(entry.key) +
                                            " (accepted: effect, brightness, speed, direction, colour, multicolour, "
                                            "choice, report_rate)");
    }
    const std::string_view name = FieldName(*field);
    const auto* number = std::get_if<long long>(&entry.value);
    const auto* text = std::get_if<std::string>(&entry.value);
    const auto* truth = std::get_if<bool>(&entry.value);
    LightingChange change;
    change.field = *field;
    switch (*field) {
      case LightingField::Effect:
        if (!number) return InvalidArgument(name, "wants an effect code (u), 1..255");
        if (*number < 1 || *number > 255) return OutOfRange(name, *number, 1, 255);
        change.number = static_cast<int>(*number);
        break;
      case LightingField::Brightness:
      case LightingField::Speed:
        if (!number) return InvalidArgument(name, "wants a slider position (u), 0..4");
        if (*number < 0 || *number > kMaxSliderPosition) return OutOfRange(name, *number, 0, kMaxSliderPosition);
        change.number = static_cast<int>(*number);
        break;
      case LightingField::Direction:
        if (!text || (std::find(kDirectionWords.begin(), kDirectionWords.end(), *text) == kDirectionWords.end() &&
                      *text != "0x00" && *text != "0xff")) {
          return InvalidArgument(name, "wants one of " + Listed(kDirectionWords) + ", or the byte 0x00 or 0xff (s)");
        }
        change.word = *text;
        break;
      case LightingField::Colour: {
        const auto rgb = text ? ParseHexColour(*text) : std::nullopt;
        if (!rgb) return InvalidArgument(name, "wants RRGGBB in hex (s)" + (text ? ", not " + Quoted(*text) : ""));
        change.colour = *rgb;
        break;
      }
      case LightingField::Multicolour:
        if (!truth) return InvalidArgument(name, "wants true or false (b)");
        change.on = *truth;
        break;
      case LightingField::Choice: {
        const auto choice = text ? ChoiceValue(*text) : std::nullopt;
        if (!choice) return InvalidArgument(name, "wants one of " + Listed(kChoiceNames) + " (s)");
        change.number = *choice;
        break;
      }
      case LightingField::ReportRate: {
        const auto button = number && *number >= 0 ? ReportRateButton(static_cast<unsigned>(*number)) : std::nullopt;
        if (!button) return InvalidArgument(name, "wants 125, 250, 500 or 1000 Hz (u)");
        change.number = *button;
        break;
      }
    }
    changes.push_back(std::move(change));
  }
  std::stable_sort(changes.begin(), changes.end(), [](const LightingChange& a, const LightingChange& b) {
    return static_cast<int>(a.field) < static_cast<int>(b.field);
  });
  return {};
}

profiles::WriteRecorder* RecorderForChanges(profiles::WriteRecorder* recorder,
                                            const std::vector<LightingChange>& changes) {
  for (const auto& change : changes) {
    if (!change.unchanged && change.field != LightingField::ReportRate) return recorder;
  }
  return nullptr;
}

}  // namespace vantrel::scripting
