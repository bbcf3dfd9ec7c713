#include "ui/skin/report_ctrl.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <algorithm>

namespace vantrel::ui {

CReportCtrl::CReportCtrl(QWidget* parent, int controlId) : QTreeWidget(parent), controlId_(controlId) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setColumnCount(0);
  header()->setStretchLastSection(true);
  connect(this, &QTreeWidget::itemChanged, this, &CReportCtrl::OnItemChanged);
  connect(this, &QTreeWidget::itemDoubleClicked, this, &CReportCtrl::OnDoubleClicked);
  connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { OnEditorClosed(); });
}

int CReportCtrl::InsertColumn(int column, const QString& header, Qt::Alignment format, int width) {
  const int count = columnCount();
  column = std::clamp(column, 0, count);
  QStringList labels;
  for (int c = 0; c < count; ++c) labels << headerItem()->text(c);
  labels.insert(column, header);
  setColumnCount(count + 1);
  setHeaderLabels(labels);
  headerItem()->setTextAlignment(column, format | Qt::AlignVCenter);
  columnFormats_.insert(columnFormats_.begin() + column, format);
  setColumnWidth(column, width);
  return column;
}

void CReportCtrl::ApplyCheckStyle(QTreeWidgetItem* item) {
  internalChange_ = true;
  if (checkStyle_ == kCheckNone) {
    item->setData(0, Qt::CheckStateRole, QVariant());
    item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
  } else {
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    if (!item->data(0, Qt::CheckStateRole).isValid()) item->setCheckState(0, Qt::Unchecked);
  }
  internalChange_ = false;
}

QTreeWidgetItem* CReportCtrl::NewItem() const {
  auto* item = new QTreeWidgetItem();
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

int CReportCtrl::InsertItem(int row, const QString& text) {
  row = std::clamp(row, 0, topLevelItemCount());
  auto* item = NewItem();
  item->setText(0, text);
  internalChange_ = true;
  insertTopLevelItem(row, item);
  internalChange_ = false;
  ApplyCheckStyle(item);
  return row;
}

void CReportCtrl::SetRows(const QList<QStringList>& rows) {
  DeleteAllItems();
  QList<QTreeWidgetItem*> items;
  items.reserve(rows.size());
  const int columns = std::max(1, columnCount());
  for (const QStringList& texts : rows) {
    auto* item = NewItem();
    for (int column = 0; column < columns && column < texts.size(); ++column) {
      item->setText(column, texts[column]);
      if (static_cast<std::size_t>(column) < columnFormats_.size())
        item->setTextAlignment(column, columnFormats_[static_cast<std::size_t>(column)] | Qt::AlignVCenter);
    }
    ApplyCheckStyle(item);
    items.push_back(item);
  }
  internalChange_ = true;
  addTopLevelItems(items);
  internalChange_ = false;
}

int CReportCtrl::GetSelectedRow() const {
  int first = -1;
  for (const QModelIndex& index : selectionModel()->selectedIndexes())
    if (!index.parent().isValid() && (first < 0 || index.row() < first)) first = index.row();
  return first;
}

bool CReportCtrl::SetItemText(int row, int column, const QString& text) {
  auto* item = topLevelItem(row);
  if (!item || column < 0 || column >= std::max(1, columnCount())) return false;
  internalChange_ = true;
  item->setText(column, text);
  if (static_cast<std::size_t>(column) < columnFormats_.size())
    item->setTextAlignment(column, columnFormats_[static_cast<std::size_t>(column)] | Qt::AlignVCenter);
  internalChange_ = false;
  return true;
}

QString CReportCtrl::GetItemText(int row, int column) const {
  const auto* item = topLevelItem(row);
  return item ? item->text(column) : QString();
}

unsigned CReportCtrl::GetItemState(int row, unsigned mask) const {
  const auto* item = topLevelItem(row);
  if (!item) return 0;
  unsigned state = 0;
  if (item->isSelected()) state |= kRowSelected;
  if (checkStyle_ != kCheckNone && item->checkState(0) == Qt::Checked) state |= kRowChecked;
  return state & mask;
}

bool CReportCtrl::SetItemState(int row, unsigned state, unsigned mask) {
  auto* item = topLevelItem(row);
  if (!item) return false;
  if (mask & kRowSelected) {
    const bool select = state & kRowSelected;
    if (select) setCurrentItem(item);
    item->setSelected(select);
  }
  if ((mask & kRowChecked) && checkStyle_ != kCheckNone) {
    // Goes through itemChanged, so the single-choice rule and the handler apply.
    item->setCheckState(0, (state & kRowChecked) ? Qt::Checked : Qt::Unchecked);
  }
  return true;
}

int CReportCtrl::GetNextItem(int start, unsigned flags) const {
  if (flags == kRowSelected) {
    // From the selection model: asking every row costs a search for each.
    int next = -1;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
      if (!index.parent().isValid() && index.row() > start && (next < 0 || index.row() < next)) next = index.row();
    return next;
  }
  for (int row = std::max(0, start + 1); row < topLevelItemCount(); ++row)
    if (GetItemState(row, flags) != 0) return row;
  return -1;
}

bool CReportCtrl::DeleteItem(int row, bool selectNeighbour) {
  if (row < 0 || row >= topLevelItemCount()) return false;
  if (selectNeighbour && topLevelItemCount() > 1) {
    const int neighbour = row + 1 < topLevelItemCount() ? row + 1 : row - 1;
    SetItemState(neighbour, kRowSelected, kRowSelected);
  }
  if (editRow_ == row) editRow_ = editColumn_ = -1;
  delete takeTopLevelItem(row);
  return true;
}

int CReportCtrl::DeleteItemsByState(unsigned flags) {
  int removed = 0;
  for (int row = topLevelItemCount() - 1; row >= 0; --row)
    if (GetItemState(row, flags) != 0) {
      DeleteItem(row);
      ++removed;
    }
  return removed;
}

void CReportCtrl::DeleteAllItems() {
  editRow_ = editColumn_ = -1;
  clear();
}

void CReportCtrl::SetColumnShares(std::vector<int> percent) {
  columnShares_ = std::move(percent);
  FitColumns();
}

void CReportCtrl::updateGeometries() {
  FitColumns();
  QTreeWidget::updateGeometries();
}

void CReportCtrl::FitColumns() {
  if (columnShares_.empty() || fitting_) return;
  const int visible = viewport()->width();
  if (visible <= 0) return;
  fitting_ = true;
  int used = 0;
  const int last = columnCount() - 1;
  for (int column = 0; column < last && static_cast<std::size_t>(column) < columnShares_.size(); ++column) {
    const int width = visible * columnShares_[static_cast<std::size_t>(column)] / 100;
    if (columnWidth(column) != width) setColumnWidth(column, width);
    used += width;
  }
  if (last >= 0 && columnWidth(last) != visible - used) setColumnWidth(last, std::max(0, visible - used));
  fitting_ = false;
}

void CReportCtrl::SetCheckboxStyle(int style) {
  checkStyle_ = std::clamp(style, kCheckNone, kCheckSingle);
  for (int row = 0; row < topLevelItemCount(); ++row) ApplyCheckStyle(topLevelItem(row));
  if (checkStyle_ == kCheckSingle) {
    // Keep the first checked row only.
    const int first = GetNextItem(-1, kRowChecked);
    internalChange_ = true;
    for (int row = first + 1; first >= 0 && row < topLevelItemCount(); ++row)
      topLevelItem(row)->setCheckState(0, Qt::Unchecked);
    internalChange_ = false;
  }
}

void CReportCtrl::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (internalChange_ || !item) return;
  const int row = indexOfTopLevelItem(item);
  if (row < 0) return;

  if (row == editRow_ && column == editColumn_) {
    const int editedRow = editRow_, editedColumn = editColumn_;
    editRow_ = editColumn_ = -1;
    QString text = item->text(column);
    const bool accepted = !editEnd_ || editEnd_(editedRow, editedColumn, text);
    internalChange_ = true;
    item->setText(column, accepted ? text : editOld_);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    internalChange_ = false;
    return;
  }

  if (column != 0 || checkStyle_ == kCheckNone) return;
  const bool checked = item->checkState(0) == Qt::Checked;
  if (checked && checkStyle_ == kCheckSingle) {
    for (int other = 0; other < topLevelItemCount(); ++other) {
      if (other == row || topLevelItem(other)->checkState(0) != Qt::Checked) continue;
      internalChange_ = true;
      topLevelItem(other)->setCheckState(0, Qt::Unchecked);
      internalChange_ = false;
      if (checkHandler_) checkHandler_(other, false);
    }
  }
  if (checkHandler_) checkHandler_(row, checked);
}

void CReportCtrl::SetEditCallbacks(EditStart start, EditEnd end) {
  editStart_ = std::move(start);
  editEnd_ = std::move(end);
}

bool CReportCtrl::EditCell(int row, int column) {
  auto* item = topLevelItem(row);
  if (!item || column < 0 || column >= columnCount()) return false;
  if (!editStart_ || !editStart_(row, column)) return false;
  editRow_ = row;
  editColumn_ = column;
  editOld_ = item->text(column);
  internalChange_ = true;
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  internalChange_ = false;
  editItem(item, column);
  return true;
}

void CReportCtrl::OnDoubleClicked(QTreeWidgetItem* item, int column) {
  if (item) EditCell(indexOfTopLevelItem(item), column);
}

void CReportCtrl::OnEditorClosed() {
  // Closed without a change (Escape or the same text): no itemChanged comes.
  if (editRow_ < 0) return;
  if (auto* item = topLevelItem(editRow_)) {
    internalChange_ = true;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    internalChange_ = false;
  }
  editRow_ = editColumn_ = -1;
}

}  // namespace vantrel::ui
