#include "ui/windows/type_text_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QThreadPool>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "core/keys/key_codes.h"
#include "core/keys/xkb_layout.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"
#include "platform/desktop_layout.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Runs `work` on a thread of the global pool and hands its result to `deliver` on the
// user-interface thread, unless `receiver` is gone by then. The pool's thread only carries
// the guard; it is looked at on the user-interface thread alone.
template <class Work, class Deliver>
void RunInBackground(QObject* receiver, Work work, Deliver deliver) {
  QThreadPool::globalInstance()->start(
      [guard = QPointer<QObject>(receiver), work = std::move(work), deliver = std::move(deliver)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            qApp,
            [guard = std::move(guard), deliver = std::move(deliver), result = std::move(result)]() mutable {
              if (guard) deliver(std::move(result));
            },
            Qt::QueuedConnection);
      });
}

// The text as typed: the editor's paragraph and line separators are newlines; no-break
// spaces stay what they are (toPlainText would make them plain spaces).
std::u32string TypedText(const QPlainTextEdit& edit) {
  QString raw = edit.document()->toRawText();
  raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n')).replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text::Utf8ToUtf32(raw.toStdString());
}

}  // namespace

TypeTextDialog::TypeTextDialog(const text::TextSource& texts, std::size_t stepsInMacro, QWidget* parent)
    : QDialog(parent), texts_(texts), stepsInMacro_(stepsInMacro) {
  setObjectName("TypeTextDialog");
  auto* layout = new QVBoxLayout(this);
  textLabel_ = new QLabel(this);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("TYPE_TEXT_TEXT");
  text_->setTabChangesFocus(false);
  text_->setMinimumHeight(70);
  textLabel_->setBuddy(text_);
  textLabel_->setWordWrap(true);
  layout->addWidget(textLabel_);
  layout->addWidget(text_, 1);

  auto* layoutRow = new QHBoxLayout;
  layoutLabel_ = new QLabel(this);
  layout_ = new QComboBox(this);
  layout_->setObjectName("TYPE_TEXT_LAYOUT");
  layout_->setMaxVisibleItems(20);
  layout_->setEnabled(false);
  layoutLabel_->setBuddy(layout_);
  layoutRow->addWidget(layoutLabel_);
  layoutRow->addWidget(layout_, 1);
  layout->addLayout(layoutRow);

  stepsLabel_ = new QLabel(this);
  preview_ = new QTreeWidget(this);
  preview_->setObjectName("TYPE_TEXT_PREVIEW");
  preview_->setColumnCount(3);
  preview_->setRootIsDecorated(false);
  preview_->setUniformRowHeights(true);
  preview_->setSelectionMode(QAbstractItemView::NoSelection);
  preview_->setFocusPolicy(Qt::NoFocus);
  preview_->header()->setStretchLastSection(true);
  preview_->setMinimumHeight(160);
  layout->addWidget(stepsLabel_);
  layout->addWidget(preview_, 2);

  problems_ = new QLabel(this);
  problems_->setObjectName("TYPE_TEXT_PROBLEMS");
  problems_->setWordWrap(true);
  problems_->setTextFormat(Qt::PlainText);
  problems_->setStyleSheet("color: #FF8A80;");
  problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(problems_);
  hint_ = new QLabel(this);
  hint_->setWordWrap(true);
  hint_->setStyleSheet("color: #8A93A3;");
  layout->addWidget(hint_);

  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(this);
  ok_->setObjectName("TYPE_TEXT_OK");
  ok_->setDefault(true);
  ok_->setEnabled(false);
  cancel_ = new QPushButton(this);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(text_, &QPlainTextEdit::textChanged, this, &TypeTextDialog::UpdatePreview);
  connect(layout_, &QComboBox::currentIndexChanged, this, &TypeTextDialog::OnLayoutChosen);

  resize(460, 520);
  Retranslate();
  RunInBackground(
      this, [] { return Start{platform::DetectDesktopLayout(), platform::AvailableLayouts()}; },
      [this](Start start) { OnStarted(std::move(start)); });
}

TypeTextDialog::~TypeTextDialog() = default;

void TypeTextDialog::Retranslate() {
  setWindowTitle(Q(texts_.Text("TYPE_TEXT_TITLE")));
  textLabel_->setText(Q(texts_.Text("TYPE_TEXT_PROMPT")));
  layoutLabel_->setText(Q(texts_.Text("TYPE_TEXT_LAYOUT")));
  hint_->setText(Q(texts_.Text("TYPE_TEXT_HINT")));
  preview_->setHeaderLabels({Q(texts_.Text("MACRO_KEYS_TISHI")), Q(texts_.Text("MACRO_ACTION_TISHI")),
                             Q(texts_.Text("MACRO_DELAY_MS"))});
  ok_->setText(Q(texts_.Text("MACRO_OK")));
  cancel_->setText(Q(texts_.Text("MACRO_CANCLE")));
  FillLayouts();
  UpdatePreview();
}

QString TypeTextDialog::layoutName() const { return layout_->currentData().toString(); }

void TypeTextDialog::OnStarted(Start start) {
  desktop_ = start.desktop.name;
  choices_ = std::move(start.choices);
  // The desktop's layout is offered even when the list of layouts lacks it (a layout of
  // the user's own XKB folder, or no list at all).
  const bool listed = std::any_of(choices_.begin(), choices_.end(),
                                  [&](const keys::LayoutChoice& c) { return c.name == *desktop_; });
  if (!listed) choices_.insert(choices_.begin(), keys::LayoutChoice{*desktop_, {}});
  FillLayouts();
  layout_->setEnabled(true);
  OnLayoutChosen();
}

void TypeTextDialog::FillLayouts() {
  if (!desktop_) {
    layout_->clear();
    layout_->addItem(Q(texts_.Text("TYPE_TEXT_DETECTING")));
    return;
  }
  const QString chosen = layout_->currentData().toString();
  const QSignalBlocker quiet(layout_);
  layout_->clear();
  for (const keys::LayoutChoice& c : choices_) {
    const std::string name = c.name.Text();
    std::string shown = c.description.empty() ? name : name + " \u2014 " + c.description;
    if (c.name == *desktop_) shown = text::FormatWithString(texts_.Text("TYPE_TEXT_DESKTOP"), shown);
    layout_->addItem(Q(shown), Q(name));
  }
  const int keep = layout_->findData(chosen.isEmpty() ? Q(desktop_->Text()) : chosen);
  layout_->setCurrentIndex(std::max(0, keep));
}

void TypeTextDialog::OnLayoutChosen() {
  if (!desktop_) return;
  const auto name = keys::ParseLayoutName(layoutName().toStdString());
  if (!name) return;
  Compile(*name);
}

void TypeTextDialog::Compile(const keys::LayoutName& name) {
  const unsigned request = ++compileRequest_;
  characters_.reset();
  UpdatePreview();
  RunInBackground(
      this, [name] { return keys::CompileLayoutCharacters(name); },
      [this, request](std::optional<keys::LayoutCharacters> characters) { OnCompiled(request, std::move(characters)); });
}

void TypeTextDialog::OnCompiled(unsigned request, std::optional<keys::LayoutCharacters> characters) {
  // Only the layout chosen last counts; an earlier choice may finish later.
  if (request != compileRequest_) return;
  characters_ = std::move(characters);
  UpdatePreview();
  emit previewReady();
}

void TypeTextDialog::UpdatePreview() {
  steps_.clear();
  preview_->clear();
  QStringList problems;
  const std::u32string text = TypedText(*text_);
  const std::size_t room = keys::kMaxActions - std::min(stepsInMacro_, keys::kMaxActions);
  std::vector<keys::MacroAction> shown;
  if (characters_ && !*characters_) {
    problems << Q(text::FormatWithString(texts_.Text("TEXT_MACRO_BAD_LAYOUT"), layoutName().toStdString()));
  } else if (characters_ && !text.empty()) {
    // Every character is one step at least: a longer text never fits and is not looked at.
    if (text.size() > room) {
      problems << Q(text::FormatWithNumber(texts_.Text("TYPE_TEXT_TOO_MANY"),
                                           static_cast<std::int64_t>(stepsInMacro_ + text.size())));
    } else {
      keys::TextSteps typed = keys::StepsForText(text, **characters_, keys::kDefaultTextStepDelay);
      if (typed.untypeable.empty()) {
        shown = typed.steps;
        if (stepsInMacro_ + typed.steps.size() > keys::kMaxActions) {
          problems << Q(text::FormatWithNumber(texts_.Text("TYPE_TEXT_TOO_MANY"),
                                               static_cast<std::int64_t>(stepsInMacro_ + typed.steps.size())));
        } else {
          steps_ = std::move(typed.steps);
        }
      } else {
        // The preview still shows what the other characters would type.
        std::u32string rest;
        std::size_t next = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
          if (next < typed.untypeable.size() && typed.untypeable[next].position == i + 1) {
            ++next;
            continue;
          }
          rest.push_back(text[i]);
        }
        shown = keys::StepsForText(rest, **characters_, keys::kDefaultTextStepDelay).steps;
        problems << Q(text::FormatWithString(texts_.Text("TYPE_TEXT_CANNOT_TYPE"), layoutName().toStdString()));
        for (const std::string& line : keys::DescribeUntypeable(typed.untypeable, texts_)) problems << Q(line);
      }
    }
  }
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(shown.size()));
  for (const keys::MacroAction& a : shown) {
    rows.push_back(new QTreeWidgetItem(
        QStringList{Q(keys::KeyDisplayName(a.code, texts_)),
                    a.direction == keys::kPress ? QStringLiteral("\u2193") : QStringLiteral("  \u2191"),
                    QString::number(a.delay)}));
  }
  preview_->addTopLevelItems(rows);
  stepsLabel_->setText(Q(text::FormatWithNumber(texts_.Text("TYPE_TEXT_STEPS"), static_cast<std::int64_t>(shown.size()))));
  problems_->setText(problems.join('\n'));
  problems_->setVisible(!problems.isEmpty());
  ok_->setEnabled(!steps_.empty());
}

}  // namespace vantrel::ui
