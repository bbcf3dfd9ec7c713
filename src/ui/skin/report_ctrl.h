// A list in report mode (columns, rows of cell texts) with optional check boxes, row state
// flags and in-place cell editing.
#pragma once

#include <QTreeWidget>
#include <functional>
#include <vector>

namespace vantrel::ui {

// Row state flags.
inline constexpr unsigned kRowSelected = 2;
inline constexpr unsigned kRowChecked = 8;

// Check-box styles.
inline constexpr int kCheckNone = 0;
inline constexpr int kCheckNormal = 1;
inline constexpr int kCheckSingle = 2;  // checking a row unchecks every other row

class CReportCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  explicit CReportCtrl(QWidget* parent = nullptr, int controlId = 0);

  int controlId() const { return controlId_; }

  // Column format: Qt alignment of the column's cells and header.
  int InsertColumn(int column, const QString& header, Qt::Alignment format = Qt::AlignLeft, int width = 80);
  // Inserts a row at `row` (clamped to 0..count) with the text of column 0; returns its index.
  int InsertItem(int row, const QString& text);
  // Replaces every row at once with rows of cell texts (one list per row, columns in order):
  // much faster than a row at a time for long lists.
  void SetRows(const QList<QStringList>& rows);
  // The first selected row, -1 when none (GetNextItem(-1, kRowSelected) without a walk).
  int GetSelectedRow() const;
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  int GetItemCount() const { return topLevelItemCount(); }

  // Next row after `start` (-1: from the first) having any of `flags`; -1 when none.
  int GetNextItem(int start, unsigned flags) const;
  unsigned GetItemState(int row, unsigned mask) const;
  bool SetItemState(int row, unsigned state, unsigned mask);

  // Deletes a row; with selectNeighbour the next row (or the previous one when it was the
  // last) is selected first.
  bool DeleteItem(int row, bool selectNeighbour = false);
  int DeleteItemsByState(unsigned flags);
  void DeleteAllItems();

  // The widths of all columns but the last as shares (per cent) of the visible width, kept
  // whenever that width changes (a vertical scroll bar appears, the list is resized); the
  // last column takes the rest. The columns then never need a horizontal scroll bar.
  void SetColumnShares(std::vector<int> percent);

  void SetCheckboxStyle(int style);
  int checkboxStyle() const { return checkStyle_; }
  using CheckHandler = std::function<void(int row, bool checked)>;
  void SetCheckHandler(CheckHandler handler) { checkHandler_ = std::move(handler); }

  // In-place editing of a cell. The start callback decides whether the cell may be edited;
  // the end callback receives the new text and may change it or refuse it (false restores
  // the old text).
  using EditStart = std::function<bool(int row, int column)>;
  using EditEnd = std::function<bool(int row, int column, QString& text)>;
  void SetEditCallbacks(EditStart start, EditEnd end);
  bool EditCell(int row, int column);
  bool isEditing() const { return editRow_ >= 0; }

 protected:
  void updateGeometries() override;

 private:
  void FitColumns();
  QTreeWidgetItem* NewItem() const;
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void OnDoubleClicked(QTreeWidgetItem* item, int column);
  void OnEditorClosed();
  void ApplyCheckStyle(QTreeWidgetItem* item);

  std::vector<Qt::Alignment> columnFormats_;
  std::vector<int> columnShares_;
  bool fitting_ = false;
  int controlId_;
  int checkStyle_ = kCheckNone;
  CheckHandler checkHandler_;
  EditStart editStart_;
  EditEnd editEnd_;
  int editRow_ = -1;
  int editColumn_ = -1;
  QString editOld_;
  bool internalChange_ = false;
};

}  // namespace vantrel::ui
