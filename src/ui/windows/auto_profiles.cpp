#include "ui/windows/auto_profiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>
#include <array>

#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/app/auto_switch_controller.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/profile_manager.h"
#include "ui/app/ui_services.h"

namespace vantrel::ui {
namespace {

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

const QString kSection = QStringLiteral("BUTTONINFO");

// The kinds in the order of the kind box, with their language keys.
constexpr std::array<std::pair<profiles::RuleKind, const char*>, 3> kKinds = {{
    {profiles::RuleKind::App, "AUTO_KIND_APP"},
    {profiles::RuleKind::Executable, "AUTO_KIND_EXE"},
    {profiles::RuleKind::Title, "AUTO_KIND_TITLE"},
}};

// The note on the name each desktop gives as a window's application id: an X11 program's
// WM_CLASS instance is not among them on the Wayland desktops.
const char* AppIdNoteKey(profiles::FocusSourceKind kind) {
  switch (kind) {
    case profiles::FocusSourceKind::X11: return "AUTO_APP_ID_X11";
    case profiles::FocusSourceKind::KWinScript: return "AUTO_APP_ID_KDE";
    case profiles::FocusSourceKind::GnomeShell: return "AUTO_APP_ID_GNOME";
    case profiles::FocusSourceKind::None: break;
  }
  return nullptr;
}

int KindIndex(profiles::RuleKind kind) {
  for (std::size_t i = 0; i < kKinds.size(); ++i)
    if (kKinds[i].first == kind) return static_cast<int>(i);
  return 0;
}

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

AutoProfilesWindow::AutoProfilesWindow(AutoSwitchController& controller, const text::TextSource& texts,
                                       text::MessageSink& messages, const QString& iniPath, const QString& skinFolder,
                                       QWidget* parent)
    : CBaseDialog(kAutoProfilesResource, parent, iniPath, skinFolder),
      controller_(controller),
      texts_(texts),
      messages_(messages) {
  setModal(false);
  setStyleSheet(SkinStyleSheet());
  connect(&controller_, &AutoSwitchController::statusChanged, this, [this] {
    if (!list_) return;
    ShowStatus();
    // Rules changed by vantrelctl show up while the window is open.
    Refill();
  });
}

AutoProfilesWindow::~AutoProfilesWindow() { controller_.CancelPick(); }

QString AutoProfilesWindow::Text(std::string_view key) const { return Utf8(texts_.Text(key)); }

CPngButton* AutoProfilesWindow::button(int controlId) const {
  for (CPngButton* b : {up_, down_, add_, edit_, remove_, pick_, close_})
    if (b && b->controlId() == controlId) return b;
  return nullptr;
}

void AutoProfilesWindow::OnInitDialog() {
  status_ = MakeStatusLine(this, kIdAutoStatus, QStringLiteral("AUTO_STATUS"));
  const QFont font = status_->font();
  fallbackPrompt_ = new ColorStatic(this);
  fallbackPrompt_->setObjectName(QStringLiteral("AUTO_FALLBACK_PROMPT"));
  fallbackPrompt_->setFont(font);
  fallbackPrompt_->SetTextColor(QColor(0xC4, 0xCA, 0xD4));
  fallbackPrompt_->setTextFormat(Qt::PlainText);

  list_ = new CReportCtrl(this, kIdAutoList);
  list_->setObjectName(QStringLiteral("AUTO_RULE_LIST"));
  list_->InsertColumn(0, QString(), Qt::AlignLeft, 130);
  list_->InsertColumn(1, QString(), Qt::AlignLeft, 230);
  list_->InsertColumn(2, QString(), Qt::AlignLeft, 100);
  // The kind column holds the longest kind name of every language ("Fichier du programme").
  list_->SetColumnShares({33, 45});
  connect(list_, &QTreeWidget::currentItemChanged, this, [this] {
    if (!quiet_) FillEditor(list_->GetSelectedRow());
  });

  kind_ = new QComboBox(this);
  kind_->setObjectName(QStringLiteral("AUTO_KIND"));
  for (std::size_t i = 0; i < kKinds.size(); ++i) kind_->addItem(QString());
  pattern_ = new QLineEdit(this);
  pattern_->setObjectName(QStringLiteral("AUTO_PATTERN"));
  pattern_->setMaxLength(static_cast<int>(profiles::kMaxPatternBytes));
  profile_ = new QComboBox(this);
  profile_->setObjectName(QStringLiteral("AUTO_PROFILE"));
  for (int p = 0; p < 3; ++p) profile_->addItem(QString(), p);
  fallback_ = new QComboBox(this);
  fallback_->setObjectName(QStringLiteral("AUTO_FALLBACK"));
  fallback_->addItem(QString(), -1);
  for (int p = 0; p < 3; ++p) fallback_->addItem(QString(), p);
  enabled_ = new QCheckBox(this);
  enabled_->setObjectName(QStringLiteral("AUTO_ENABLED"));

  struct Def {
    CPngButton** slot;
    int id;
    const char* name;
  };
  const Def defs[] = {
      {&up_, kIdAutoUp, "AUTO_UP"},           {&down_, kIdAutoDown, "AUTO_DOWN"},
      {&add_, kIdAutoAdd, "AUTO_ADD"},        {&edit_, kIdAutoEdit, "AUTO_EDIT"},
      {&remove_, kIdAutoRemove, "AUTO_REMOVE"}, {&pick_, kIdAutoPick, "AUTO_PICK"},
      {&close_, kIdAutoClose, "AUTO_CLOSE"},
  };
  for (const Def& d : defs) {
    auto* b = new CPngButton(this, d.id);
    b->setObjectName(QString::fromLatin1(d.name));
    b->SetTextAttributes(9, QStringLiteral("DejaVu Sans"), kCaptionColours);
    *d.slot = b;
  }
  connect(add_, &QAbstractButton::clicked, this, [this] { AddRule(); });
  connect(edit_, &QAbstractButton::clicked, this, [this] { ChangeRule(); });
  connect(remove_, &QAbstractButton::clicked, this, [this] { RemoveRule(); });
  connect(up_, &QAbstractButton::clicked, this, [this] { MoveRule(true); });
  connect(down_, &QAbstractButton::clicked, this, [this] { MoveRule(false); });
  connect(pick_, &QAbstractButton::clicked, this, [this] { PickWindow(); });
  connect(close_, &QAbstractButton::clicked, this, [this] { close(); });
  connect(fallback_, &QComboBox::currentIndexChanged, this, [this] {
    if (quiet_) return;
    profiles::AutoRuleSet rules = controller_.Rules();
    const int value = fallback_->currentData().toInt();
    rules.fallback = value < 0 ? std::nullopt : std::optional<int>(value);
    Store(rules, list_->GetSelectedRow());
  });
  connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
    if (quiet_) return;
    profiles::AutoRuleSet rules = controller_.Rules();
    rules.enabled = on;
    Store(rules, list_->GetSelectedRow());
  });
  Retranslate();
  SetTabChain({list_, up_, down_, kind_, pattern_, profile_, add_, edit_, remove_, pick_, fallback_, enabled_, close_});
}

void AutoProfilesWindow::PlaceControls() {
  PlaceNamedButtons({up_, down_, add_, edit_, remove_, pick_, close_}, iniPath(), kSection, skinFolder(),
                    QStringLiteral("AutoProfiles"));
  for (QWidget* w : std::initializer_list<QWidget*>{status_, fallbackPrompt_, list_, kind_, pattern_, profile_,
                                                    fallback_, enabled_})
    PlaceControl(*w, iniPath(), kSection, w->objectName());
}

void AutoProfilesWindow::Retranslate() {
  if (!list_) return;  // not initialised yet: the texts are set when it is
  SetTitleText(Text("AUTO_TITLE"));
  auto* header = list_->headerItem();
  header->setText(0, Text("AUTO_COLUMN_MATCH"));
  header->setText(1, Text("AUTO_COLUMN_PATTERN"));
  header->setText(2, Text("AUTO_COLUMN_PROFILE"));
  list_->setAccessibleName(Text("AUTO_TITLE"));
  for (std::size_t i = 0; i < kKinds.size(); ++i) kind_->setItemText(static_cast<int>(i), Text(kKinds[i].second));
  kind_->setAccessibleName(Text("AUTO_COLUMN_MATCH"));
  pattern_->setAccessibleName(Text("AUTO_COLUMN_PATTERN"));
  const char* note = AppIdNoteKey(controller_.SourceKind());
  for (QWidget* w : std::initializer_list<QWidget*>{kind_, pattern_}) w->setToolTip(note ? Text(note) : QString());
  profile_->setAccessibleName(Text("AUTO_COLUMN_PROFILE"));
  for (int p = 0; p < 3; ++p) {
    profile_->setItemText(p, Text(OnBoardProfileKey(p)));
    fallback_->setItemText(p + 1, Text(OnBoardProfileKey(p)));
  }
  fallback_->setItemText(0, Text("AUTO_FALLBACK_STAY"));
  fallbackPrompt_->setText(Text("AUTO_FALLBACK_PROMPT"));
  fallback_->setAccessibleName(Text("AUTO_FALLBACK_PROMPT"));
  enabled_->setText(Text("AUTO_ENABLED"));
  add_->setText(Text("AUTO_ADD"));
  edit_->setText(Text("AUTO_EDIT"));
  remove_->setText(Text("AUTO_REMOVE"));
  pick_->setText(Text("AUTO_PICK"));
  close_->setText(Text("AUTO_CLOSE"));
  up_->SetTooltipText(Text("AUTO_UP"));
  down_->SetTooltipText(Text("AUTO_DOWN"));
  up_->setAccessibleName(Text("AUTO_UP"));
  down_->setAccessibleName(Text("AUTO_DOWN"));
  Refill();
  ShowStatus();
}

void AutoProfilesWindow::Open() {
  if (RaiseIfShown(*this)) return;
  InitDialog();
  PlaceControls();
  Retranslate();
  // Placed on every opening, over the window that opened it (Qt centres a dialog over its
  // parent on the first show only).
  PlaceOverOpener(*this, parentWidget());
  show();
}

void AutoProfilesWindow::Refill() {
  if (!list_) return;
  const profiles::AutoRuleSet& rules = controller_.Rules();
  const int selected = list_->GetSelectedRow();
  quiet_ = true;
  QList<QStringList> rows;
  for (const profiles::AutoRule& rule : rules.rules)
    rows.push_back({Text(kKinds[static_cast<std::size_t>(KindIndex(rule.kind))].second), Utf8(rule.pattern),
                    Text(OnBoardProfileKey(rule.profile))});
  list_->SetRows(rows);
  if (selected >= 0 && selected < list_->GetItemCount()) list_->setCurrentItem(list_->topLevelItem(selected));
  fallback_->setCurrentIndex(rules.fallback ? *rules.fallback + 1 : 0);
  enabled_->setChecked(rules.enabled);
  quiet_ = false;
  const bool any = list_->GetItemCount() > 0;
  for (CPngButton* b : {edit_, remove_, up_, down_}) b->setEnabled(any);
}

void AutoProfilesWindow::ShowStatus() {
  if (!status_) return;
  if (picking_) {
    status_->setText(Text("AUTO_PICK_WAITING"));
    return;
  }
  QString text = Text(controller_.StatusKey());
  // Until GNOME's extension reports a window, it may well not be enabled: say how.
  if (controller_.SourceKind() == profiles::FocusSourceKind::GnomeShell && !controller_.DesktopHasReported())
    text += QLatin1Char(' ') + Text("AUTO_GNOME_HINT");
  status_->setText(text);
  pick_->setEnabled(controller_.Available());
}

void AutoProfilesWindow::FillEditor(int row) {
  const auto& rules = controller_.Rules().rules;
  if (row < 0 || row >= static_cast<int>(rules.size())) return;
  const profiles::AutoRule& rule = rules[static_cast<std::size_t>(row)];
  kind_->setCurrentIndex(KindIndex(rule.kind));
  pattern_->setText(Utf8(rule.pattern));
  pattern_->setCursorPosition(0);  // a long pattern from its start, not its end
  profile_->setCurrentIndex(rule.profile);
}

void AutoProfilesWindow::ShowRefusal(profiles::RuleError error) {
  const char* key = nullptr;
  switch (error) {
    case profiles::RuleError::Ok: return;
    case profiles::RuleError::EmptyPattern: key = "AUTO_EMPTY_PATTERN"; break;
    case profiles::RuleError::PatternTooLong: key = "AUTO_PATTERN_TOO_LONG"; break;
    case profiles::RuleError::BadRegex: key = "AUTO_BAD_REGEX"; break;
    case profiles::RuleError::TooManyRules: key = "AUTO_TOO_MANY"; break;
    case profiles::RuleError::BadProfile: return;  // the box offers 0..2 only
  }
  messages_.ShowMessage(texts_.Text(key));
}

bool AutoProfilesWindow::EditorRule(profiles::AutoRule& rule) {
  rule.kind = kKinds[static_cast<std::size_t>(std::max(0, kind_->currentIndex()))].first;
  rule.pattern = pattern_->text().toStdString();
  rule.profile = profile_->currentData().toInt();
  const profiles::RuleError error = profiles::ValidateRule(rule);
  ShowRefusal(error);
  return error == profiles::RuleError::Ok;
}

void AutoProfilesWindow::Store(const profiles::AutoRuleSet& rules, int selectRow) {
  if (!controller_.SetRules(rules)) messages_.ShowMessage(texts_.Text("AUTO_SAVE_FAILED"));
  Refill();
  if (selectRow >= 0 && selectRow < list_->GetItemCount()) {
    quiet_ = true;
    list_->setCurrentItem(list_->topLevelItem(selectRow));
    quiet_ = false;
  }
}

void AutoProfilesWindow::AddRule() {
  profiles::AutoRule rule;
  if (!EditorRule(rule)) return;
  profiles::AutoRuleSet rules = controller_.Rules();
  const profiles::RuleError error = rules.Add(rule);
  if (error != profiles::RuleError::Ok) return ShowRefusal(error);
  Store(rules, static_cast<int>(rules.rules.size()) - 1);
}

void AutoProfilesWindow::ChangeRule() {
  const int row = list_->GetSelectedRow();
  profiles::AutoRuleSet rules = controller_.Rules();
  if (row < 0 || row >= static_cast<int>(rules.rules.size())) return;
  profiles::AutoRule rule;
  if (!EditorRule(rule)) return;
  rules.rules[static_cast<std::size_t>(row)] = rule;
  Store(rules, row);
}

void AutoProfilesWindow::RemoveRule() {
  const int row = list_->GetSelectedRow();
  profiles::AutoRuleSet rules = controller_.Rules();
  if (row < 0 || !rules.Remove(static_cast<std::size_t>(row))) return;
  Store(rules, std::min(row, static_cast<int>(rules.rules.size()) - 1));
}

void AutoProfilesWindow::MoveRule(bool up) {
  const int row = list_->GetSelectedRow();
  profiles::AutoRuleSet rules = controller_.Rules();
  if (row < 0) return;
  const auto index = static_cast<std::size_t>(row);
  if (!(up ? rules.MoveUp(index) : rules.MoveDown(index))) return;
  Store(rules, up ? row - 1 : row + 1);
}

void AutoProfilesWindow::PickWindow() {
  if (!controller_.Available()) return;
  picking_ = true;
  ShowStatus();
  QPointer<AutoProfilesWindow> self(this);
  controller_.PickNextWindow([self](const profiles::FocusedWindow& window) {
    if (!self) return;
    self->picking_ = false;
    // The most lasting name of the window first: its application id, then its program.
    if (!window.appId.empty() || !window.appClass.empty()) {
      self->kind_->setCurrentIndex(KindIndex(profiles::RuleKind::App));
      self->pattern_->setText(Utf8(window.appId.empty() ? window.appClass : window.appId));
    } else if (!window.executable.empty()) {
      self->kind_->setCurrentIndex(KindIndex(profiles::RuleKind::Executable));
      self->pattern_->setText(Utf8(window.executable));
    }
    self->ShowStatus();
    self->raise();
    self->activateWindow();
  });
}

}  // namespace vantrel::ui
