#include "ui/windows/history_window.h"

#include <QDateTime>

#include <array>
#include <utility>

#include "core/text/safe_format.h"
#include "scripting/history_tasks.h"
#include "ui/app/device_worker.h"
#include "ui/app/ui_services.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/control_ids.h"

namespace vantrel::ui {
namespace {

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

const QString kSection = QStringLiteral("BUTTONINFO");

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// An entry's time as local date and time, "2026-12-11 10:15:02".
QString When(std::int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds).toString(Qt::ISODate).replace(QLatin1Char('T'), QLatin1Char(' '));
}

const char* SourceKey(profiles::HistorySource source) {
  switch (source) {
    case profiles::HistorySource::Window: return "HISTORY_SOURCE_WINDOW";
    case profiles::HistorySource::Ctl: return "HISTORY_SOURCE_CTL";
    case profiles::HistorySource::Bus: return "HISTORY_SOURCE_BUS";
  }
  return "HISTORY_SOURCE_WINDOW";
}

// What the worker hands back from comparing an entry with the keyboard.
struct Comparison {
  int request = 0;
  scripting::ScriptOutcome outcome;
  std::vector<std::string> lines;
};

}  // namespace

HistoryWindow::HistoryWindow(HistoryWindowDeps deps, const QString& iniPath, const QString& skinFolder,
                             QWidget* parent)
    : CBaseDialog(kHistoryResource, parent, iniPath, skinFolder), deps_(deps) {
  setModal(false);
  setStyleSheet(SkinStyleSheet());
}

QString HistoryWindow::Text(std::string_view key) const { return Utf8(deps_.texts.Text(key)); }

CPngButton* HistoryWindow::button(int controlId) const {
  for (CPngButton* b : {restore_, close_})
    if (b && b->controlId() == controlId) return b;
  return nullptr;
}

void HistoryWindow::OnInitDialog() {
  status_ = MakeStatusLine(this, kIdHistoryStatus, QStringLiteral("HISTORY_STATUS"));

  list_ = new CReportCtrl(this, kIdHistoryList);
  list_->setObjectName(QStringLiteral("HISTORY_LIST"));
  list_->InsertColumn(0, QString(), Qt::AlignLeft, 140);
  list_->InsertColumn(1, QString(), Qt::AlignLeft, 90);
  list_->InsertColumn(2, QString(), Qt::AlignLeft, 360);
  list_->SetColumnShares({24, 16});
  connect(list_, &QTreeWidget::currentItemChanged, this, [this] { Compare(list_->GetSelectedRow()); });

  differences_ = new CReportCtrl(this, kIdHistoryDiff);
  differences_->setObjectName(QStringLiteral("HISTORY_DIFF"));
  differences_->InsertColumn(0, QString(), Qt::AlignLeft, 590);

  restore_ = new CPngButton(this, kIdHistoryRestore);
  restore_->setObjectName(QStringLiteral("HISTORY_RESTORE"));
  close_ = new CPngButton(this, kIdHistoryClose);
  close_->setObjectName(QStringLiteral("HISTORY_CLOSE"));
  for (CPngButton* b : {restore_, close_}) b->SetTextAttributes(9, QStringLiteral("DejaVu Sans"), kCaptionColours);
  connect(restore_, &QAbstractButton::clicked, this, [this] { RestoreSelected(); });
  connect(close_, &QAbstractButton::clicked, this, [this] { close(); });
  restore_->setEnabled(false);
  Retranslate();
  SetTabChain({list_, differences_, restore_, close_});
}

void HistoryWindow::PlaceControls() {
  PlaceNamedButtons({restore_, close_}, iniPath(), kSection, skinFolder(), QStringLiteral("History"));
  for (QWidget* w : std::initializer_list<QWidget*>{status_, list_, differences_})
    PlaceControl(*w, iniPath(), kSection, w->objectName());
}

void HistoryWindow::Retranslate() {
  if (!list_) return;  // not initialised yet: the texts are set when it is
  SetTitleText(Text("HISTORY_TITLE"));
  auto* header = list_->headerItem();
  header->setText(0, Text("HISTORY_COLUMN_TIME"));
  header->setText(1, Text("HISTORY_COLUMN_SOURCE"));
  header->setText(2, Text("HISTORY_COLUMN_SUMMARY"));
  list_->setAccessibleName(Text("HISTORY_TITLE"));
  differences_->headerItem()->setText(0, Text("HISTORY_COLUMN_DIFFERENCES"));
  differences_->setAccessibleName(Text("HISTORY_COLUMN_DIFFERENCES"));
  restore_->setText(Text("HISTORY_RESTORE"));
  close_->setText(Text("HISTORY_CLOSE"));
  // The sources' words, and the differences, which the worker words in the language.
  ShowListing(listing_);
  ShowStatus();
}

void HistoryWindow::Open() {
  if (RaiseIfShown(*this)) {
    Refresh();
    return;
  }
  InitDialog();
  PlaceControls();
  Retranslate();
  PlaceOverOpener(*this, parentWidget());
  show();
  Refresh();
}

void HistoryWindow::Refresh() { Refresh(false); }

void HistoryWindow::Refresh(bool keepStatus) {
  if (!list_) return;
  profiles::HistoryStore* store = &deps_.store;
  deps_.worker.Run([store] { return store->List(); }, this, [this, keepStatus](profiles::HistoryListing listing) {
    listing_ = std::move(listing);
    ShowListing(listing_);
    if (keepStatus) {
      // The outcome of the restore just made stays on the status line.
    } else if (listing_.entries.empty()) {
      statusKey_ = "HISTORY_EMPTY";
      statusDetail_.clear();
    } else {
      statusKey_ = listing_.entries.size() == 1 ? "HISTORY_COUNT_ONE" : "HISTORY_COUNT";
      statusDetail_ = std::to_string(listing_.entries.size());
    }
    ShowStatus();
    emit refreshed();
  });
}

void HistoryWindow::ShowListing(const profiles::HistoryListing& listing) {
  if (!list_) return;
  const int selected = list_->GetSelectedRow();
  QList<QStringList> rows;
  for (const auto& item : listing.entries) {
    rows.push_back({When(item.time), Text(SourceKey(item.source)), Utf8(item.summary)});
  }
  {
    const QSignalBlocker quiet(list_);
    list_->SetRows(rows);
    if (selected >= 0 && selected < list_->GetItemCount()) list_->setCurrentItem(list_->topLevelItem(selected));
  }
  Compare(list_->GetSelectedRow());
}

void HistoryWindow::Compare(int row) {
  ++requests_;
  differences_->DeleteAllItems();
  restore_->setEnabled(row >= 0 && !busy_);
  if (row < 0) return;
  differences_->InsertItem(0, Text("HISTORY_COMPARING"));
  const int request = requests_;
  const int number = row + 1;
  auto* commands = &deps_.session.Service().Commands();
  const auto* colourFiles = &deps_.colourFiles;
  const auto* store = &deps_.store;
  const auto* texts = &deps_.texts;
  deps_.worker.Run(
      [=] {
        Comparison c;
        c.request = request;
        c.outcome = scripting::CompareWithHistoryEntry(*commands, *colourFiles, *store, number, *texts, c.lines);
        return c;
      },
      this,
      [this](Comparison c) {
        // The selection moved on meanwhile: a later answer shows.
        if (c.request != requests_) return;
        differences_->DeleteAllItems();
        if (!c.outcome.Ok()) {
          differences_->InsertItem(0, Utf8(text::FormatWithString(deps_.texts.Text("HISTORY_COMPARE_FAILED"),
                                                                    c.outcome.message)));
        } else if (c.lines.empty()) {
          differences_->InsertItem(0, Text("HISTORY_SAME"));
        } else {
          QList<QStringList> rows;
          for (const auto& line : c.lines) rows.push_back({Utf8(line)});
          differences_->SetRows(rows);
        }
        emit compared();
      });
}

void HistoryWindow::ShowStatus() {
  if (!status_) return;
  QString line = statusKey_.empty() ? QString() : Utf8(text::FormatWithString(deps_.texts.Text(statusKey_), statusDetail_));
  // A broken entry is skipped and named, never a reason not to show the others.
  for (const auto& problem : listing_.problems) {
    line += QLatin1Char('\n') + Utf8(text::FormatWithString(deps_.texts.Text("HISTORY_SKIPPED"), problem));
  }
  if (!listing_.folderProblem.empty()) line += QLatin1Char('\n') + Utf8(listing_.folderProblem);
  status_->setText(line.trimmed());
}

void HistoryWindow::RestoreSelected() {
  const int row = list_ ? list_->GetSelectedRow() : -1;
  if (row < 0 || busy_ || row >= static_cast<int>(listing_.entries.size())) return;
  // As every other path that writes a whole configuration: unapplied edits are lost only
  // when the user agrees.
  const std::string when = When(listing_.entries[static_cast<std::size_t>(row)].time).toStdString();
  const char* question = deps_.session.Unsaved() ? "HISTORY_RESTORE_EDITS_PROMPT" : "HISTORY_RESTORE_PROMPT";
  if (!deps_.messages.AskYesNo(text::FormatWithString(deps_.texts.Text(question), when), false)) return;
  busy_ = true;
  restore_->setEnabled(false);
  const int number = row + 1;
  auto* session = &deps_.session;
  const auto* colourFiles = &deps_.colourFiles;
  const auto* store = &deps_.store;
  const auto* texts = &deps_.texts;
  deps_.worker.Run(
      [=] { return scripting::RestoreHistoryEntry(*session, *colourFiles, *store, number, *texts, when); }, this,
      [this](const scripting::ScriptOutcome& outcome) {
        busy_ = false;
        if (outcome.Ok()) {
          statusKey_ = "HISTORY_RESTORED";
          statusDetail_.clear();
        } else {
          statusKey_ = "HISTORY_RESTORE_FAILED";
          statusDetail_ = outcome.message;
        }
        ShowStatus();
        // The restore is an entry of its own: the list grows by one.
        Refresh(true);
        emit restoreFinished(outcome.Ok());
      });
}

}  // namespace vantrel::ui
