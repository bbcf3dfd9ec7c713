// The control ids of each window name one control each: a repeated id would route a click
// or a lookup by id to the wrong control. The main window also holds the key buttons (ids
// from the layout table) and the lighting panel, so they share its id space.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/keys/keyboard_layout.h"
#include "ui/windows/control_ids.h"

namespace vantrel::ui {
namespace {

// Every id that appears more than once, with the names it was given.
std::map<int, std::vector<std::string>> Repeats(const std::vector<std::pair<int, std::string>>& named) {
  std::map<int, std::vector<std::string>> byId;
  for (const auto& [id, name] : named) byId[id].push_back(name);
  std::erase_if(byId, [](const auto& entry) { return entry.second.size() < 2; });
  return byId;
}

std::string Describe(const std::map<int, std::vector<std::string>>& repeats) {
  std::string out;
  for (const auto& [id, names] : repeats) {
    out += std::to_string(id) + ":";
    for (const auto& n : names) out += " " + n;
    out += "\n";
  }
  return out;
}

TEST(ControlIds, MainWindowCommandsKeyButtonsAndLightingPanelNeverShareAnId) {
  std::vector<std::pair<int, std::string>> named = {
      {ids::kOk, "ok"},           {ids::kCancel, "cancel"},       {ids::kProfiles, "profiles"},
      {ids::kApply, "apply"},     {ids::kMacro, "macro"},         {ids::kLink, "link"},
      {ids::kHelp, "help"},       {ids::kMinimise, "minimise"},   {ids::kClose, "close"},
      {ids::kLockCaps, "caps"},   {ids::kLockNum, "num"},         {ids::kLockScroll, "scroll"},
      {ids::kLockAb, "ab"},       {ids::kFlip0, "flip0"},         {ids::kFlip1, "flip1"},
      {ids::kFlip2, "flip2"},     {ids::kVersion, "version"},     {ids::kDefault, "default"},
      {ids::kMenu, "menu"},       {ids::kSwitch, "switch"},       {ids::kWebLink, "weblink"},
      {ids::kLeftArrow, "left"},  {ids::kRightArrow, "right"},
  };
  for (int p = 0; p < 3; ++p) named.emplace_back(ids::kProfile1 + p, "profile" + std::to_string(p + 1));
  // The report-rate buttons are the panel's controls; the main window names them only.
  const std::vector<std::pair<int, std::string>> panel = {
      {panel_id::kEffectCombo, "effect"},         {panel_id::kReportRate1, "rate1"},
      {panel_id::kDirectionStatic, "dirText"},    {panel_id::kDirectionForward, "forward"},
      {panel_id::kDirectionBack, "back"},         {panel_id::kFyColourStatic, "fyText"},
      {panel_id::kFyColourButton, "fyButton"},    {panel_id::kHxColourStatic, "hxText"},
      {panel_id::kHxColourButton, "hxButton"},    {panel_id::kHxMultiPicture, "hxMulti"},
      {panel_id::kBrushStatic, "brushText"},      {panel_id::kBrushButton, "brush"},
      {panel_id::kBaseStatic, "baseText"},        {panel_id::kBaseButton, "base"},
      {panel_id::kToolStatic, "toolText"},        {panel_id::kTool0Picture, "tool0"},
      {panel_id::kTool1Picture, "tool1"},         {panel_id::kSpeedStatic, "speedText"},
      {panel_id::kLamp, "lamp"},                  {panel_id::kReportRate2, "rate2"},
      {panel_id::kReportRate3, "rate3"},          {panel_id::kReportRate4, "rate4"},
      {panel_id::kTitle, "title"},                {panel_id::kBrightnessStatic, "brightText"},
      {panel_id::kHxMultiStatic, "hxMultiText"},  {panel_id::kFyMultiPicture, "fyMulti"},
      {panel_id::kFyMultiStatic, "fyMultiText"},  {panel_id::kProgress, "progress"},
      {panel_id::kBrightnessSlider, "bright"},    {panel_id::kSpeedSlider, "speed"},
      {panel_id::kUserModeCombo, "userMode"},     {panel_id::kReportStatic, "rateText"},
      {panel_id::kRgbStatic, "rgbText"},
  };
  named.insert(named.end(), panel.begin(), panel.end());
  for (int i = 0; i < 4; ++i) named.emplace_back(panel_id::kChoiceRed + i, "choice" + std::to_string(i));
  for (int i = 0; i < 3; ++i) named.emplace_back(panel_id::kRgbEditRed + i, "rgb" + std::to_string(i));
  for (const keys::LayoutKey& k : keys::KeyboardLayout()) named.emplace_back(k.controlId, std::string(k.name));

  EXPECT_EQ(Describe(Repeats(named)), "");
  for (std::size_t i = 0; i < ids::kReport.size(); ++i)
    EXPECT_EQ(keys::LayoutKeyOfControl(ids::kReport[i]), nullptr) << i;
  // The Flip setting's first layout is F1..F4.
  EXPECT_EQ(keys::LayoutKeyOfControl(ids::kFlipOffFirst)->name, "F1");
  EXPECT_EQ(keys::LayoutKeyOfControl(ids::kFlipOffLast)->name, "F4");
}

TEST(ControlIds, EachDialogNamesEveryControlOnce) {
  // The macro tab lives on the key page: one id space.
  const std::vector<std::pair<int, std::string>> keyPage = {
      {kIdOk, "ok"},           {kIdCancel, "cancel"},         {kIdApply, "apply"},
      {kIdTabSingle, "single"}, {kIdTabMacro, "macro"},        {kIdTabMedia, "media"},
      {kIdTabFunction, "function"}, {kIdClear, "clear"},      {kIdOsk, "osk"},
      {kIdKb, "kb"},           {kIdMou, "mou"},               {kIdMacroAdd, "macroAdd"},
      {kIdMacroDelete, "macroDelete"}, {kIdActionList, "actions"}, {kIdRecord, "record"},
      {kIdStepDelete, "stepDelete"}, {kIdStepClear, "stepClear"}, {kIdStepTop, "top"},
      {kIdStepUp, "up"},       {kIdStepDown, "down"},         {kIdStepBottom, "bottom"},
      {kIdRecordDelays, "delays"}, {kIdTypeText, "typeText"},
  };
  EXPECT_EQ(Describe(Repeats(keyPage)), "");
  const std::vector<std::pair<int, std::string>> manager = {
      {kIdProfileList, "list"}, {kIdProfileAdd, "add"},       {kIdProfileLoad, "load"},
      {kIdProfileDelete, "delete"}, {kIdProfileOk, "ok"},    {kIdProfileCancel, "cancel"},
      {kIdProfileApply, "apply"},
  };
  EXPECT_EQ(Describe(Repeats(manager)), "");
  const std::vector<std::pair<int, std::string>> update = {
      {kIdUpdatePath, "path"},   {kIdUpdateCombo, "combo"},   {kIdUpdateOpen, "open"},
      {kIdUpdateStart, "start"}, {kIdUpdateCancel, "cancel"}, {kIdUpdateBackup, "backup"},
  };
  EXPECT_EQ(Describe(Repeats(update)), "");
}

}  // namespace
}  // namespace vantrel::ui
