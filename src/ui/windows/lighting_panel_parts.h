// What the lighting panel's two source files share: control groups, picture names and
// colour conversions.
#pragma once

#include <QColor>
#include <QString>

#include <string>

#include "core/lighting/colour.h"
#include "core/lighting/effects.h"
#include "core/lighting/lighting.h"
#include "ui/windows/lighting_panel.h"

namespace vantrel::ui::panel_parts {

using lighting::ColourGroup;
using lighting::DirectionPictures;
using lighting::EffectCode;
using lighting::Rgb;
namespace id = panel_id;

// How long switches must have stopped before the profile shown gets its lighting loaded.
inline constexpr int kReloadAfterSwitchMs = 50;
inline constexpr int kFirstTickMs = 100;
inline constexpr int kTickMs = 50;
// The speed slider's channel pictures start at "5.bmp" (position 0).
inline constexpr int kSpeedPictureBase = 5;
inline constexpr int kSliderMax = 4;

inline QColor ToQColor(Rgb c) { return QColor(lighting::RedOf(c), lighting::GreenOf(c), lighting::BlueOf(c)); }
inline Rgb FromQColor(const QColor& c) {
  return lighting::MakeRgb(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()),
                           static_cast<unsigned>(c.blue()));
}

inline QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Controls that show for a group of effects; the lamp, the title, the report-rate
// buttons and the RGB fields are not among them.
inline constexpr int kBrightnessIds[] = {id::kBrightnessStatic, id::kBrightnessSlider};
inline constexpr int kSpeedIds[] = {id::kSpeedStatic, id::kSpeedSlider};
inline constexpr int kDirectionIds[] = {id::kDirectionStatic, id::kDirectionForward, id::kDirectionBack};
inline constexpr int kChoiceIds[] = {id::kChoiceRed, id::kChoiceRed + 1, id::kChoiceRed + 2, id::kChoiceRed + 3};
inline constexpr int kFyIds[] = {id::kFyColourStatic, id::kFyColourButton, id::kFyMultiPicture, id::kFyMultiStatic};
inline constexpr int kHxIds[] = {id::kHxColourStatic, id::kHxColourButton, id::kHxMultiPicture, id::kHxMultiStatic};
inline constexpr int kUserIds[] = {id::kBrushStatic, id::kBrushButton, id::kBaseStatic,   id::kBaseButton,
                            id::kToolStatic,  id::kTool0Picture, id::kTool1Picture, id::kUserModeCombo};
inline constexpr int kReportIds[] = {id::kReportRate1, id::kReportRate2, id::kReportRate3, id::kReportRate4};

struct DirectionNames {
  const char* forwardOff;
  const char* forwardOn;
  const char* backOff;
  const char* backOn;
  const char* forwardText;  // language keys of what the two pictures mean
  const char* backText;
};

inline DirectionNames DirectionPicturesOf(DirectionPictures kind) {
  switch (kind) {
    case DirectionPictures::UpDown:
      return {"upup.bmp", "updown.bmp", "downup.bmp", "downdown.bmp", "LIGHT_DIRECTION_UP", "LIGHT_DIRECTION_DOWN"};
    case DirectionPictures::SpreadConverge:
      return {"kuosan.bmp", "kuosandown.bmp", "julong.bmp", "julongdown.bmp", "LIGHT_DIRECTION_OUT", "LIGHT_DIRECTION_IN"};
    default:
      return {"leftup.bmp",  "leftdown.bmp",         "rightup.bmp",
              "rightdown.bmp", "LIGHT_DIRECTION_LEFT", "LIGHT_DIRECTION_RIGHT"};
  }
}


}  // namespace vantrel::ui::panel_parts
