// The "Automatic profiles" window: the rule list (add, change, remove, move up and down,
// fill the fields from the next window focused), the profile for other windows, the on/off
// switch, and a line that says whether switching works here, runs or is paused and why.
// Every change is stored at once through the controller; the window keeps no rules of its
// own beyond what it shows.
#pragma once

#include <string_view>

#include "core/profiles/auto_switch_rules.h"
#include "core/text/text_source.h"
#include "ui/skin/base_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vantrel::ui {

class AutoSwitchController;
class CPngButton;
class CReportCtrl;
class ColorStatic;

class AutoProfilesWindow final : public CBaseDialog {
  Q_OBJECT

 public:
  // iniPath: "Skins/AutoProfiles.ini"; skinFolder: the folder of its pictures.
  AutoProfilesWindow(AutoSwitchController& controller, const text::TextSource& texts, text::MessageSink& messages,
                     const QString& iniPath, const QString& skinFolder, QWidget* parent = nullptr);
  ~AutoProfilesWindow() override;

  // Shows the window (non-modal), or brings it to the front when it is shown.
  void Open();
  void Retranslate();

  // The actions behind the buttons (tests call them as the buttons do).
  void AddRule();
  void ChangeRule();
  void RemoveRule();
  void MoveRule(bool up);
  void PickWindow();

  CReportCtrl* list() const { return list_; }
  QComboBox* kindBox() const { return kind_; }
  QLineEdit* patternEdit() const { return pattern_; }
  QComboBox* profileBox() const { return profile_; }
  QComboBox* fallbackBox() const { return fallback_; }
  QCheckBox* enabledBox() const { return enabled_; }
  ColorStatic* statusLine() const { return status_; }
  CPngButton* button(int controlId) const;

 protected:
  void OnInitDialog() override;

 private:
  void PlaceControls();
  void Refill();
  void ShowStatus();
  void FillEditor(int row);
  // The rule in the editor fields; false (with the reason shown) when it cannot be kept.
  bool EditorRule(profiles::AutoRule& rule);
  void Store(const profiles::AutoRuleSet& rules, int selectRow);
  void ShowRefusal(profiles::RuleError error);
  QString Text(std::string_view key) const;

  AutoSwitchController& controller_;
  const text::TextSource& texts_;
  text::MessageSink& messages_;
  ColorStatic* status_ = nullptr;
  ColorStatic* fallbackPrompt_ = nullptr;
  CReportCtrl* list_ = nullptr;
  QComboBox* kind_ = nullptr;
  QLineEdit* pattern_ = nullptr;
  QComboBox* profile_ = nullptr;
  QComboBox* fallback_ = nullptr;
  QCheckBox* enabled_ = nullptr;
  CPngButton* up_ = nullptr;
  CPngButton* down_ = nullptr;
  CPngButton* add_ = nullptr;
  CPngButton* edit_ = nullptr;
  CPngButton* remove_ = nullptr;
  CPngButton* pick_ = nullptr;
  CPngButton* close_ = nullptr;
  bool picking_ = false;
  bool quiet_ = false;  // the fields are being set by the program
};

}  // namespace vantrel::ui
