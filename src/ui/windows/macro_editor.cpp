#include "ui/windows/macro_editor.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QIntValidator>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>
#include <utility>

#include "core/keys/key_codes.h"
#include "core/keys/key_page_rules.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_placement.h"
#include "ui/app/key_event_filter.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

const QString kPress = QStringLiteral("\u2193");
const QString kRelease = QStringLiteral("  \u2191");

QString DirectionText(std::uint16_t direction) { return direction == keys::kRelease ? kRelease : kPress; }

// The keyboard keeps a delay in steps of 10 ms (rounded down): the list shows what it will
// play, not the millisecond the recorder measured.
QString DelayText(std::int32_t delay) { return QString::number(std::max<std::int32_t>(0, delay) / 10 * 10); }

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

std::uint32_t SteadyMs() {
  static QElapsedTimer timer;
  if (!timer.isValid()) timer.start();
  return static_cast<std::uint32_t>(timer.elapsed());
}

}  // namespace

MacroNameBox::MacroNameBox(QWidget* parent) : QWidget(parent), edit_(new QLineEdit(this)), list_(new QListWidget(this)) {
  edit_->setMaxLength(static_cast<int>(keys::kMaxNameChars));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
}

void MacroNameBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  constexpr int kEditHeight = 28, kGap = 4;
  edit_->setGeometry(0, 0, width(), kEditHeight);
  list_->setGeometry(0, kEditHeight + kGap, width(), std::max(0, height() - kEditHeight - kGap));
}

MacroEditor::MacroEditor(QWidget* page, const QString& iniPath, const QString& skinFolder,
                         const text::TextSource& texts, text::MessageSink& sink, text::ProfileStrings& profileStrings)
    : QObject(page), texts_(texts), sink_(sink), profileStrings_(profileStrings), clock_(SteadyMs),
      filter_(new KeyEventFilter(this)) {
  releaseTimer_ = new QTimer(this);
  // A repeat's press follows its release at once; a key released for real has no press
  // behind it, and its release is recorded after this long at most (with its own time).
  releaseTimer_->setSingleShot(true);
  releaseTimer_->setInterval(50);
  connect(releaseTimer_, &QTimer::timeout, this, &MacroEditor::FlushHeldRelease);
  BuildControls(page, iniPath, skinFolder);
  filter_->SetKeyHandler([this](const KeyEventFilter::KeyInput& in) { return OnRecordKey(in); });
  filter_->SetMouseHandler(
      [this](std::uint16_t code, bool release, const QPoint& pos, QWidget* target, std::uint64_t timestamp) {
        OnRecordMouse(code, release, pos, target, timestamp);
      });
  UpdateButtons();
}

MacroEditor::~MacroEditor() { filter_->Remove(); }

void MacroEditor::BuildControls(QWidget* page, const QString& ini, const QString& folder) {
  const auto pic = [&](const char* name) { return RequiredSkinPicture(folder, name); };
  QFont labelFont("DejaVu Sans");
  labelFont.setPixelSize(12);
  const auto label = [&](const char* key) {
    auto* l = new ColorStatic(page);
    PlaceControl(*l, ini, "BUTTONINFO", key);
    l->setFont(labelFont);
    l->SetTextColor(QColor(0xC4, 0xCA, 0xD4));
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    l->setObjectName(key);
    widgets_.push_back(l);
    return l;
  };
  nameCaption_ = label("MARCO_NAME_SETTING");
  cyclesCaption_ = label("FUNC_MACRO_CYCLES_PROMPT");
  delaysCaption_ = label("FUNC_MACRO_RECORD_DELAY2");

  nameBox_ = new MacroNameBox(page);
  PlaceControl(*nameBox_, ini, "BUTTONINFO", "FUNC_MACRO_LIST");
  nameBox_->setObjectName("FUNC_MACRO_LIST");
  widgets_.push_back(nameBox_);
  connect(nameBox_->edit(), &QLineEdit::textEdited, this, &MacroEditor::OnNameEdited);
  connect(nameBox_->list(), &QListWidget::currentRowChanged, this, [this](int row) {
    if (!loading_ && row >= 0 && row != selected_) Select(row, true);
  });

  cycles_ = new QLineEdit(page);
  PlaceControl(*cycles_, ini, "BUTTONINFO", "FUNC_MACRO_CYCLES");
  cycles_->setObjectName("FUNC_MACRO_CYCLES");
  cycles_->setText("1");
  widgets_.push_back(cycles_);
  connect(cycles_, &QLineEdit::textEdited, this, &MacroEditor::OnCyclesEdited);

  list_ = new CReportCtrl(page, kIdActionList);
  PlaceControl(*list_, ini, "BUTTONINFO", "FUNC_MACRO_LIST2");
  list_->setObjectName("FUNC_MACRO_LIST2");
  // Three left-aligned columns (key, direction, delay) sharing what the list shows, with
  // or without its vertical scroll bar: they never need a horizontal one.
  list_->InsertColumn(0, {}, Qt::AlignLeft);
  list_->InsertColumn(1, {}, Qt::AlignLeft);
  list_->InsertColumn(2, {}, Qt::AlignLeft);
  list_->SetColumnShares({45, 22});
  list_->header()->setSectionsMovable(false);
  QPalette pal = list_->palette();
  pal.setColor(QPalette::Text, QColor(0xA0, 0xA6, 0xB0));  // the system's grey text
  list_->setPalette(pal);
  widgets_.push_back(list_);
  list_->SetEditCallbacks([this](int row, int column) { return OnEditStart(row, column); },
                          [](int, int, QString&) { return false; });

  struct ButtonDef {
    int id;
    const char* key;
    bool small;  // the step buttons use the second picture set
  };
  const ButtonDef buttonDefs[] = {{kIdMacroAdd, "FUNC_MACRO_ADD", false},   {kIdMacroDelete, "FUNC_MACRO_DELETE", false},
                              {kIdStepClear, "FUNC_MACRO_CLEAR", false}, {kIdRecord, "FUNC_MACRO_RECORD", false},
                              {kIdStepTop, "FUNC_MACRO_UP_TOP", true},   {kIdStepUp, "FUNC_MACRO_UP", true},
                              {kIdStepDown, "FUNC_MACRO_DOWN", true},    {kIdStepBottom, "FUNC_MACRO_DOWN_BOTTOM", true},
                              {kIdStepDelete, "FUNC_MACRO_DELETE2", true}, {kIdRecordDelays, "FUNC_MACRO_RECORD_DELAY", false},
                              {kIdTypeText, "FUNC_MACRO_TYPE_TEXT", false}};
  for (const auto& s : buttonDefs) {
    auto* b = new CPngButton(page, s.id);
    const QPixmap normal = pic(s.small ? "macro2_normal.jpg" : "macro_normal.jpg");
    const QPixmap over = pic(s.small ? "macro2_over.jpg" : "macro_over.jpg");
    const QPixmap down = pic(s.small ? "macro2_down.jpg" : "macro_down.jpg");
    const QPixmap disabled = pic(s.small ? "macro2_disable.jpg" : "macro_disable.jpg");
    PlaceSkinnedButton(*b, ini, "BUTTONINFO", s.key, normal, over, down, disabled, down);
    b->SetTextAttributes(9, "DejaVu Sans", kCaptionColours);
    b->SetRotation(0, false);
    b->setObjectName(s.key);
    buttons_.emplace_back(s.id, b);
    widgets_.push_back(b);
  }
  button(kIdMacroAdd)->setText("+");
  button(kIdMacroDelete)->setText(QStringLiteral("\u2212"));
  auto* delays = button(kIdRecordDelays);
  delays->SetTogglePictures(pic("macro_normal.jpg"), pic("macro_down.jpg"));
  delays->SetToggleMode(true);

  connect(button(kIdMacroAdd), &QAbstractButton::clicked, this, &MacroEditor::OnAddMacro);
  connect(button(kIdMacroDelete), &QAbstractButton::clicked, this, &MacroEditor::OnDeleteMacro);
  connect(button(kIdRecord), &QAbstractButton::clicked, this, &MacroEditor::ToggleRecording);
  connect(button(kIdStepDelete), &QAbstractButton::clicked, this, &MacroEditor::OnDeleteStep);
  connect(button(kIdStepClear), &QAbstractButton::clicked, this, &MacroEditor::OnClearSteps);
  for (int id : {kIdStepTop, kIdStepUp, kIdStepDown, kIdStepBottom})
    connect(button(id), &QAbstractButton::clicked, this, [this, id] { OnMove(id); });
  connect(delays, &QAbstractButton::clicked, this, &MacroEditor::OnRecordDelaysToggled);
  connect(button(kIdTypeText), &QAbstractButton::clicked, this, &MacroEditor::OnTypeText);
}

CPngButton* MacroEditor::button(int id) const {
  for (const auto& [i, b] : buttons_)
    if (i == id) return b;
  return nullptr;
}

void MacroEditor::ApplyTexts() {
  nameCaption_->setText(Q(texts_.Text("MACRO_NAME_SETTING")));
  cyclesCaption_->setText(Q(texts_.Text("MACRO_CYCLES")));
  delaysCaption_->setText(Q(texts_.Text("RECORD_DELAY")));
  button(kIdRecord)->setText(Q(texts_.Text(recorder_.recording ? "MACRO_ACTION_STOP_RECORD" : "A_RECORD")));
  // A Wayland compositor keeps its own shortcut keys (Super and the like) from a window;
  // Qt offers a window no way to ask for them, so the user is told.
  if (QGuiApplication::platformName().startsWith("wayland"))
    button(kIdRecord)->SetTooltipText(Q(texts_.Text("MACRO_RECORD_DESKTOP_KEYS")));
  button(kIdStepTop)->SetTooltipText(Q(texts_.Text("A_TOP")));
  button(kIdStepUp)->SetTooltipText(Q(texts_.Text("A_UP")));
  button(kIdStepDown)->SetTooltipText(Q(texts_.Text("A_DOWN")));
  button(kIdStepBottom)->SetTooltipText(Q(texts_.Text("A_BOTTOM")));
  button(kIdStepDelete)->SetTooltipText(Q(texts_.Text("A_DELETE")));
  button(kIdStepClear)->setText(QStringLiteral("\u2715"));
  button(kIdTypeText)->setText(Q(texts_.Text("TYPE_TEXT_BUTTON")));
  RetranslateTypeText();
  // The symbol buttons: the symbol is the picture, the text their tooltip and their name.
  const std::pair<int, const char*> symbols[] = {
      {kIdMacroAdd, "MACRO_ADD_PROMPT"}, {kIdMacroDelete, "MACRO_DELETE_PROMPT"}, {kIdStepClear, "A_CLEAR"}};
  for (const auto& [id, key] : symbols) {
    button(id)->SetTooltipText(Q(texts_.Text(key)));
    button(id)->setAccessibleName(Q(texts_.Text(key)));
  }
  list_->headerItem()->setText(0, Q(texts_.Text("MACRO_KEYS_TISHI")));
  list_->headerItem()->setText(1, Q(texts_.Text("MACRO_ACTION_TISHI")));
  list_->headerItem()->setText(2, Q(texts_.Text("MACRO_DELAY_MS")));
  // Row texts are display names in the current language.
  if (list_->GetItemCount() > 0) {
    const int selected = list_->GetSelectedRow();
    ShowRows();
    if (selected >= 0) SelectRow(selected);
  }
}

void MacroEditor::SetVisible(bool visible) {
  // Leaving the tab keeps what the open cell holds.
  if (!visible) FinishCellEdit();
  for (QWidget* w : widgets_) w->setVisible(visible);
}

// ---- Macro list ----

void MacroEditor::Load(const keys::StoreImage& image, std::uint16_t selectId) {
  StopRecordingIfActive();
  CloseCellEditor();
  ++session_;
  work_.table = image.table;
  work_.macros = image.macros;
  for (auto& m : work_.macros) m.SetNewFlag(0);
  naming_ = keys::MacroNaming{};
  rows_.delayMode = keys::ReadRecordDelayMode(profileStrings_, texts_);
  button(kIdRecordDelays)->SetToggled(rows_.delayMode == 1);
  RefillNames();
  int position = 0;
  for (std::size_t i = 0; i < work_.macros.size(); ++i)
    if (selectId != 0 && work_.macros[i].Id() == selectId) position = static_cast<int>(i);
  Select(work_.macros.empty() ? -1 : position, false);
}

void MacroEditor::Clear() {
  StopRecordingIfActive();
  CloseCellEditor();
  ++session_;
  work_ = keys::StoreImage{};
  rows_.actions.clear();
  rows_.selected.reset();
  selected_ = -1;
  RefillNames();
  ShowRows();
}

void MacroEditor::RefillNames() {
  loading_ = true;
  auto* l = nameBox_->list();
  l->clear();
  for (const auto& m : work_.macros) l->addItem(QString::fromStdU16String(m.Name()));
  loading_ = false;
}

void MacroEditor::Select(int position, bool saveCurrent) {
  // An open cell belongs to the macro being left: it goes into that macro's steps.
  if (saveCurrent) {
    if (!FinishCellEdit()) return;
    SaveEditorInto(selected_);
  }
  CloseCellEditor();
  selected_ = position;
  loading_ = true;
  nameBox_->list()->setCurrentRow(position);
  nameBox_->edit()->setText(position >= 0 ? nameBox_->list()->item(position)->text() : QString());
  loading_ = false;
  LoadSelected();
}

void MacroEditor::LoadSelected() {
  rows_.actions.clear();
  rows_.selected.reset();
  if (selected_ >= 0 && selected_ < static_cast<int>(work_.macros.size())) {
    const auto& m = work_.macros[static_cast<std::size_t>(selected_)];
    cycles_->setText(QString::number(m.Cycles()));
    rows_.actions = m.Actions();
  } else {
    cycles_->setText("1");
  }
  ShowRows();
  UpdateButtons();
}

void MacroEditor::SaveEditorInto(int position) {
  if (position < 0 || position >= static_cast<int>(work_.macros.size())) return;
  auto& m = work_.macros[static_cast<std::size_t>(position)];
  long long cycles = 0;
  // Read with "%d", low 8 bits kept.
  if (keys::ScanDecimal(cycles_->text().toStdString(), cycles)) m.SetCycles(static_cast<std::uint8_t>(cycles & 0xFF));
  m.SetActions(rows_.actions);
}

std::uint16_t MacroEditor::selectedMacroId() const {
  if (selected_ < 0 || selected_ >= static_cast<int>(work_.macros.size())) return 0;
  return work_.macros[static_cast<std::size_t>(selected_)].Id();
}

int MacroEditor::cycles() const { return keys::CorrectCycles(cycles_->text().toStdString()); }

std::vector<std::size_t> MacroEditor::SaveInto(keys::StoreImage& image) {
  // The page finishes the cell before it locks the store; this only catches a caller
  // that did not, and never writes copies that were dropped meanwhile.
  if (!FinishCellEdit()) return {};
  StopRecordingIfActive();
  SaveEditorInto(selected_);
  image.macros = work_.macros;
  auto changedRecords = keys::SaveMacros(image);
  work_.macros = image.macros;  // the flags are cleared now
  work_.table = image.table;
  return changedRecords;
}

void MacroEditor::OnNameEdited(const QString& text) {
  if (recorder_.recording) return;
  const std::u16string name = text.toStdU16String();
  if (work_.macros.empty()) {
    if (!keys::RenameMacro(work_, 0, name)) return;
    RefillNames();
    Select(0, false);
    nameBox_->edit()->setText(text);
  } else if (selected_ >= 0) {
    if (NameTakenByOther(text)) {
      // Two macros never share a name (the name box finds a macro by its name): the
      // macro keeps its name and the field shows it again.
      const unsigned session = session_;
      sink_.ShowMessage(texts_.Text("MACRO_ERR_SAME"));
      if (session != session_ || selected_ < 0) return;
      nameBox_->edit()->setText(nameBox_->list()->item(selected_)->text());
      return;
    }
    keys::RenameMacro(work_, static_cast<std::size_t>(selected_), name);
    nameBox_->list()->item(selected_)->setText(QString::fromStdU16String(work_.macros[static_cast<std::size_t>(selected_)].Name()));
  }
  MarkChanged();
}

bool MacroEditor::NameTakenByOther(const QString& name) const {
  // As the name box compares names: whole names, letter case ignored.
  const QString cut = name.left(static_cast<qsizetype>(keys::kMaxNameChars));
  for (std::size_t i = 0; i < work_.macros.size(); ++i)
    if (static_cast<int>(i) != selected_ &&
        QString::fromStdU16String(work_.macros[i].Name()).compare(cut, Qt::CaseInsensitive) == 0)
      return true;
  return false;
}

void MacroEditor::OnAddMacro() {
  if (recorder_.recording || !FinishCellEdit()) return;
  SaveEditorInto(selected_);
  const auto position = keys::AddMacro(work_, naming_, texts_, sink_);
  if (!position) return;
  RefillNames();
  Select(static_cast<int>(*position), false);
  MarkChanged();
}

void MacroEditor::OnDeleteMacro() {
  if (recorder_.recording || selected_ < 0 || !FinishCellEdit()) return;
  SaveEditorInto(selected_);
  const auto position = static_cast<std::size_t>(selected_);
  const keys::MacroDeleteCheck check = keys::CheckMacroDelete(work_, position);
  if (!check.exists) return;
  if (check.needsConfirm) {
    const unsigned session = session_;
    if (!sink_.AskYesNo(texts_.Text("MACRO_DELETE_CONFIRM_OF_KEYS"), false) || session != session_) return;
  }
  if (!keys::EraseMacro(work_, position, check.id)) return;
  const int next = work_.macros.empty() ? -1 : std::max(0, selected_ - 1);
  RefillNames();
  Select(next, false);
  MarkChanged();
}

void MacroEditor::OnCyclesEdited() {
  const int corrected = keys::CorrectCycles(cycles_->text().toStdString());
  const QString text = QString::number(corrected);
  if (cycles_->text() != text) cycles_->setText(text);
  MarkChanged();
}

// ---- Action list ----

void MacroEditor::ShowRows() {
  // All rows in one insertion; a macro has up to 2000 steps over a few dozen keys, so
  // each key's name is looked up once.
  QHash<std::uint16_t, QString> names;
  QList<QStringList> rows;
  rows.reserve(static_cast<qsizetype>(rows_.actions.size()));
  for (const auto& a : rows_.actions) {
    auto name = names.find(a.code);
    if (name == names.end()) name = names.insert(a.code, Q(keys::KeyDisplayName(a.code, texts_)));
    rows.push_back({*name, DirectionText(a.direction), DelayText(a.delay)});
  }
  list_->SetRows(rows);
}

void MacroEditor::ShowRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.actions.size())) return;
  const auto& a = rows_.actions[static_cast<std::size_t>(row)];
  list_->SetItemText(row, 0, Q(keys::KeyDisplayName(a.code, texts_)));
  list_->SetItemText(row, 1, DirectionText(a.direction));
  list_->SetItemText(row, 2, DelayText(a.delay));
}

void MacroEditor::SyncSelectionFromView() {
  const int row = list_->GetSelectedRow();
  if (row >= 0 && row < static_cast<int>(rows_.actions.size())) rows_.selected = static_cast<std::size_t>(row);
  else rows_.selected.reset();
}

void MacroEditor::SelectRow(int row) {
  if (row < 0 || row >= list_->GetItemCount()) return;
  list_->SetItemState(row, kRowSelected, kRowSelected);
  list_->setCurrentItem(list_->topLevelItem(row));
  list_->scrollToItem(list_->topLevelItem(row));
  rows_.selected = static_cast<std::size_t>(row);
}

void MacroEditor::OnDeleteStep() {
  if (!FinishCellEdit()) return;
  SyncSelectionFromView();
  if (!rows_.selected) return;
  const int row = static_cast<int>(*rows_.selected);
  rows_.actions.erase(rows_.actions.begin() + row);
  list_->DeleteItem(row, true);
  SyncSelectionFromView();
  MarkChanged();
}

void MacroEditor::OnClearSteps() {
  if (!FinishCellEdit() || rows_.actions.empty()) return;
  const unsigned session = session_;
  if (!sink_.AskYesNo(texts_.Text("MACRO_ACTION_CLEAR_CONFIRM"), false) || session != session_) return;
  rows_.actions.clear();
  rows_.selected.reset();
  ShowRows();
  MarkChanged();
}

void MacroEditor::OnMove(int id) {
  if (!FinishCellEdit()) return;
  SyncSelectionFromView();
  if (!rows_.selected) return;
  const int from = static_cast<int>(*rows_.selected);
  const int last = static_cast<int>(rows_.actions.size()) - 1;
  int to = from;
  if (id == kIdStepTop) to = 0;
  else if (id == kIdStepUp) to = std::max(0, from - 1);
  else if (id == kIdStepDown) to = std::min(last, from + 1);
  else to = last;
  if (to != from) {
    const keys::MacroAction moved = rows_.actions[static_cast<std::size_t>(from)];
    rows_.actions.erase(rows_.actions.begin() + from);
    rows_.actions.insert(rows_.actions.begin() + to, moved);
    for (int row = std::min(from, to); row <= std::max(from, to); ++row) ShowRow(row);
  }
  SelectRow(to);
  list_->setFocus();
  MarkChanged();
}

void MacroEditor::OnRecordDelaysToggled() {
  auto* b = button(kIdRecordDelays);
  b->SetToggled(!b->isToggled());
  rows_.delayMode = b->isToggled() ? 1 : 0;
  keys::WriteRecordDelayMode(profileStrings_, texts_, rows_.delayMode);
}

// ---- In-place editing ----

bool MacroEditor::OnEditStart(int row, int column) {
  if (!FinishCellEdit()) return false;
  if (row < 0 || row >= static_cast<int>(rows_.actions.size())) return false;
  if (column < 0 || column > 2) {
    sink_.ShowMessage(texts_.Text("MACRO_ACTION_ERR_MODIFY"));
    return false;
  }
  const auto& a = rows_.actions[static_cast<std::size_t>(row)];
  QRect cell = list_->visualItemRect(list_->topLevelItem(row));
  cell.setLeft(list_->header()->sectionViewportPosition(column));
  cell.setWidth(list_->columnWidth(column));
  QWidget* editor = nullptr;
  if (column == 0 || column == 1) {
    auto* combo = new QComboBox(list_->viewport());
    if (column == 0) {
      for (std::uint16_t id = 0; id < keys::kAssignableKeyCount; ++id) {
        const std::uint16_t code = keys::CodeOfListId(id);
        combo->addItem(code == 0 ? QString() : Q(keys::KeyDisplayName(code, texts_)));
      }
      combo->setMaxVisibleItems(20);
      const std::uint16_t listId = keys::ListIdOfCode(a.code);
      combo->setCurrentIndex(listId < keys::kAssignableKeyCount ? listId : -1);
    } else {
      combo->addItems({kPress, kRelease});
      combo->setMaxVisibleItems(6);
      combo->setCurrentIndex(a.direction == keys::kRelease ? 1 : 0);
    }
    connect(combo, &QComboBox::activated, this, [this] { CommitCellEdit(); });
    editor = combo;
  } else {
    StopRecordingIfActive();
    auto* edit = new QLineEdit(list_->viewport());
    edit->setValidator(new QIntValidator(0, 999999, edit));
    edit->setText(DelayText(a.delay));
    edit->selectAll();
    // Enter or leaving the field ends the edit.
    connect(edit, &QLineEdit::editingFinished, this, [this] { CommitCellEdit(); });
    editor = edit;
  }
  editor->setGeometry(cell);
  editor->show();
  editor->setFocus();
  cellEditor_ = editor;
  editRow_ = row;
  editColumn_ = column;
  return false;  // the page's own editor is used, not the list's
}

bool MacroEditor::FinishCellEdit() {
  const unsigned session = session_;
  CommitCellEdit();
  return session == session_;
}

void MacroEditor::CommitCellEdit() {
  if (!cellEditor_) return;
  const QPointer<QWidget> editor = cellEditor_;
  const int row = editRow_, column = editColumn_;
  cellEditor_ = nullptr;
  editRow_ = editColumn_ = -1;
  bool clamped = false;
  if (row >= 0 && row < static_cast<int>(rows_.actions.size())) {
    auto& a = rows_.actions[static_cast<std::size_t>(row)];
    bool accepted = false;
    if (column == 0) {
      const int choice = static_cast<QComboBox*>(editor.data())->currentIndex();
      if (choice >= 0 && choice < static_cast<int>(keys::kAssignableKeyCount) && choice != keys::ListIdOfCode(a.code)) {
        a.code = keys::CodeOfListId(static_cast<std::uint16_t>(choice));
        accepted = true;
      }
    } else if (column == 1) {
      const int choice = static_cast<QComboBox*>(editor.data())->currentIndex();
      if (choice >= 0 && choice <= 1 && choice != a.direction) {
        a.direction = static_cast<std::uint16_t>(choice);
        accepted = true;
      }
    } else if (column == 2) {
      const auto entry = keys::ParseDelayEntry(static_cast<QLineEdit*>(editor.data())->text().toStdString());
      clamped = entry.clamped;
      accepted = entry.delay != a.delay;
      a.delay = entry.delay;
    }
    ShowRow(row);
    if (accepted) MarkChanged();
  }
  if (editor) {
    editor->hide();
    editor->deleteLater();
  }
  // Last: the message box runs its own event loop, in which the page may close (the
  // keyboard went away) and drop or reload the rows. Nothing above is touched after it.
  if (clamped) sink_.ShowMessage(text::FormatWithNumber(texts_.Text("MACRO_ACTION_ERR_DELAY_MAX"), keys::kMaxDelayMs));
}

void MacroEditor::CloseCellEditor() {
  if (!cellEditor_) return;
  cellEditor_->hide();
  cellEditor_->deleteLater();
  cellEditor_ = nullptr;
  editRow_ = editColumn_ = -1;
}

void MacroEditor::MarkChanged() {
  rows_.changed = true;
  emit changed();
}

void MacroEditor::UpdateButtons() {
  const bool any = selected_ >= 0;
  for (int id = kIdRecord; id <= kIdStepBottom; ++id)
    if (auto* b = button(id)) b->setEnabled(any);
  button(kIdTypeText)->setEnabled(any);
}

}  // namespace vantrel::ui
