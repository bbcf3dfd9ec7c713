// The key page's controls: built from the skin, their tab order and their texts in the
// user's language.
#include "ui/windows/key_page.h"

#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>

#include "core/keys/key_codes.h"
#include "core/keys/key_page_rules.h"
#include "core/keys/keyboard_layout.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_gallery.h"
#include "ui/skin/skin_placement.h"
#include "ui/windows/key_chooser.h"
#include "ui/windows/macro_editor.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

const std::array<QColor, 5> kCaptionColours = {QColor(0xE7, 0xEA, 0xF0), QColor(0xFF, 0xFF, 0xFF),
                                               QColor(0x06, 0x12, 0x1C), QColor(0x4B, 0x51, 0x5C),
                                               QColor(0x06, 0x12, 0x1C)};

// The seventeen button pictures; any that cannot be loaded ends the program.
const char* const kPictures[] = {
    "key_normal.jpg",     "key_over.jpg",     "key_down.jpg",     "macro_normal.jpg",  "macro_over.jpg",
    "macro_down.jpg",     "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg",   "macro2_down.jpg",
    "macro2_disable.jpg", "media_normal.jpg", "media_over.jpg",   "media_down.jpg",    "function_normal.jpg",
    "function_over.jpg",  "function_down.jpg"};

}  // namespace

void Vantrel_DlgComposite::BuildControls() {
  const QString ini = iniPath();
  const QString folder = skinFolder();
  for (const char* name : kPictures) RequiredSkinPicture(folder, name);
  const auto pic = [&](const QString& name) { return RequiredSkinPicture(folder, name); };

  QFont labelFont("DejaVu Sans");
  labelFont.setPixelSize(12);
  const auto label = [&](const char* key) {
    auto* l = new ColorStatic(this);
    PlaceControl(*l, ini, "BUTTONINFO", key);
    l->setFont(labelFont);
    l->SetTextColor(QColor(0xC4, 0xCA, 0xD4));
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    l->setObjectName(key);
    return l;
  };

  title_ = label("KEY_SETTING");
  QFont titleFont("DejaVu Sans");
  titleFont.setPixelSize(15);
  titleFont.setWeight(QFont::DemiBold);
  title_->setFont(titleFont);
  title_->SetTextColor(QColor(0xE7, 0xEA, 0xF0));
  singleCaption_ = label("TISHI_SINGLE_STATIC");
  mediaCaption_ = label("MEDIA_SETTING_TISHI");
  functionCaption_ = label("FUNCTION_KEY_SETTING_TISHI");
  kbCaption_ = label("FUNC_KEY_RADIO_KB_STATIC");
  mouCaption_ = label("FUNC_KEY_RADIO_MOU_STATIC");

  struct ButtonDef {
    int id;
    const char* key;
    const char* set;
  };
  const ButtonDef buttonDefs[] = {{kIdTabSingle, "CONTROL_KEY", "key"},        {kIdTabMacro, "CONTROL_MACRO", "macro"},
                        {kIdTabMedia, "CONTROL_MEDIA", "media"},     {kIdTabFunction, "CONTROL_FUNCTION", "function"},
                        {kIdClear, "CONTROL_CLEAR", "key"},          {kIdOsk, "CONTROL_OSK", "key"},
                        {kIdOk, "CONTROL_OK", "key"},                {kIdCancel, "CONTROL_CANCEL", "key"},
                        {kIdKb, "FUNC_KEY_RADIO_KB", "key"},         {kIdMou, "FUNC_KEY_RADIO_MOU", "key"}};
  for (const auto& s : buttonDefs) {
    auto* b = new CPngButton(this, s.id);
    const QString set = s.set;
    const QPixmap down = pic(set + "_down.jpg");
    // Only the macro sets have a disabled picture; the others borrow it.
    const QPixmap disabled = pic("macro_disable.jpg");
    PlaceSkinnedButton(*b, ini, "BUTTONINFO", s.key, pic(set + "_normal.jpg"), pic(set + "_over.jpg"), down,
                       disabled, down);
    b->SetTextAttributes(9, "DejaVu Sans", kCaptionColours);
    b->SetRotation(0, false);
    b->setObjectName(s.key);
    buttons_.emplace_back(s.id, b);
  }
  // Apply has no skin key: it sits in the bottom row between the on-screen keyboard and OK.
  {
    auto* b = new CPngButton(this, kIdApply);
    const text::SkinRect osk = ReadSkinRect(ini, "BUTTONINFO", "CONTROL_OSK");
    const text::SkinRect ok = ReadSkinRect(ini, "BUTTONINFO", "CONTROL_OK");
    // Centred in the gap, as wide as OK, and drawn with OK's face.
    const int left = (osk.x + osk.width + ok.x - ok.width) / 2;
    b->setGeometry(left, ok.y, ok.width, ok.height);
    b->SetStatePictures(pic("key_normal.jpg"), pic("key_over.jpg"), pic("key_down.jpg"), pic("macro_disable.jpg"),
                        pic("key_down.jpg"));
    b->SetFaceOrigin(ok.x, ok.y);
    b->SetTextAttributes(9, "DejaVu Sans", kCaptionColours);
    b->SetRotation(0, false);
    b->setObjectName("CONTROL_APPLY");
    buttons_.emplace_back(kIdApply, b);
  }
  for (int id : {kIdKb, kIdMou}) {
    auto* b = button(id);
    b->SetTogglePictures(pic("key_normal.jpg"), pic("key_down.jpg"));
    b->SetToggleMode(true);
  }

  keyField_ = new QLineEdit(this);
  PlaceControl(*keyField_, ini, "BUTTONINFO", "FUNC_KEY_INPUT");
  keyField_->setReadOnly(true);
  // In the tab chain: Enter or Space there (or a click) waits for a key again.
  keyField_->setFocusPolicy(Qt::StrongFocus);
  keyField_->installEventFilter(this);
  keyField_->setObjectName("FUNC_KEY_INPUT");
  mouseList_ = new QComboBox(this);
  PlaceControl(*mouseList_, ini, "BUTTONINFO", "FUNC_KEY_COMBO_MOU");
  mouseList_->setObjectName("FUNC_KEY_COMBO_MOU");
  mediaList_ = new QListWidget(this);
  PlaceControl(*mediaList_, ini, "BUTTONINFO", "FUNC_MEDIA_SELECT");
  mediaList_->setObjectName("FUNC_MEDIA_SELECT");
  functionList_ = new QListWidget(this);
  PlaceControl(*functionList_, ini, "BUTTONINFO", "FUNC_FUNCTION_SELECT");
  functionList_->setObjectName("FUNC_FUNCTION_SELECT");

  editor_ = new MacroEditor(this, ini, folder, texts_, sink_, profileStrings_);
  connect(editor_, &MacroEditor::changed, this, &Vantrel_DlgComposite::MarkChanged);
  connect(editor_, &MacroEditor::recordingChanged, this, &Vantrel_DlgComposite::UpdateCapture);

  chooser_ = new KeyChooser(texts_, this);
  connect(chooser_, &KeyChooser::keyChosen, this, &Vantrel_DlgComposite::ChooseKey);
  // The chooser and its button stand for a keyboard: their clicks are not mouse steps.
  editor_->SetMouseIgnored([this](QWidget* w) { return w == button(kIdOsk) || (w && w->window() == chooser_); });

  connect(button(kIdTabSingle), &QAbstractButton::clicked, this, [this] { SwitchTab(keys::kKindKey); });
  connect(button(kIdTabMacro), &QAbstractButton::clicked, this, [this] { SwitchTab(keys::kKindMacro); });
  connect(button(kIdTabMedia), &QAbstractButton::clicked, this, [this] { SwitchTab(keys::kKindMedia); });
  connect(button(kIdTabFunction), &QAbstractButton::clicked, this, [this] { SwitchTab(keys::kKindFunction); });
  connect(button(kIdKb), &QAbstractButton::clicked, this, [this] { ChooseKeyboard(true); });
  connect(button(kIdMou), &QAbstractButton::clicked, this, [this] { ChooseKeyboard(false); });
  connect(button(kIdClear), &QAbstractButton::clicked, this, &Vantrel_DlgComposite::ClearPage);
  SetUpTabOrder();
  connect(button(kIdApply), &QAbstractButton::clicked, this, &Vantrel_DlgComposite::ApplyPage);
  connect(button(kIdOk), &QAbstractButton::clicked, this, [this] {
    if (ApplyPage()) done(QDialog::Accepted);
  });
  connect(button(kIdCancel), &QAbstractButton::clicked, this, [this] { done(QDialog::Rejected); });
  connect(button(kIdOsk), &QAbstractButton::clicked, this, [this] {
    auto* osk = button(kIdOsk);
    chooser_->ShowNear(QRect(osk->mapToGlobal(QPoint(0, 0)), osk->size()));
  });
  connect(mouseList_, &QComboBox::activated, this, [this] { MarkChanged(); });
  connect(mediaList_, &QListWidget::itemClicked, this, [this] { MarkChanged(); });
  connect(functionList_, &QListWidget::itemClicked, this, [this] { MarkChanged(); });
}

void Vantrel_DlgComposite::SetUpTabOrder() {
  // Tabs first, then the controls of the tabs (only the shown tab's are reached), the
  // macro editor's controls in the order they were built, and the bottom row.
  QList<QWidget*> head{button(kIdTabSingle), button(kIdTabMacro), button(kIdTabMedia), button(kIdTabFunction),
                       button(kIdKb),        keyField_,             button(kIdMou),      mouseList_,
                       mediaList_,           functionList_};
  const QList<QWidget*> tail{button(kIdClear), button(kIdOsk), button(kIdApply), button(kIdOk), button(kIdCancel)};
  for (QObject* child : children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && !w->isWindow() && (w->focusPolicy() & Qt::TabFocus) && !head.contains(w) && !tail.contains(w))
      head.push_back(w);
  }
  SetTabChain(head + tail);
}

// ---- Texts ----

void Vantrel_DlgComposite::OnLanguageChanged(int) { ApplyTexts(); }

void Vantrel_DlgComposite::ApplyTexts() {
  const auto t = [this](const char* key) { return Q(texts_.Text(key)); };
  editor_->ApplyTexts();
  singleCaption_->setText(t("SINGLE_STATIC"));
  keyField_->setAccessibleName(singleCaption_->text());
  // How the field takes keys, Tab and Escape included, for the keyboard-only user.
  keyField_->setAccessibleDescription(t("SINGLE_KEY_HINT"));
  keyField_->setToolTip(t("SINGLE_KEY_HINT"));
  mediaCaption_->setText(t("MEDIA_EDIT_TISHI"));
  functionCaption_->setText(t("FUNCTION_TISHI"));
  kbCaption_->setText(t("IDS_MACRO_KB_KEY"));
  mouCaption_->setText(t("IDS_MACRO_MOU_KEY"));
  // The captions beside the choices and lists name them for a screen reader.
  button(kIdKb)->setAccessibleName(kbCaption_->text());
  button(kIdMou)->setAccessibleName(mouCaption_->text());
  mediaList_->setAccessibleName(mediaCaption_->text());
  functionList_->setAccessibleName(functionCaption_->text());
  // The title names the key being edited.
  const QString keyName = gKeyNumber_ > 0 ? QStringLiteral("G%1").arg(gKeyNumber_)
                                          : Q(keys::KeyDisplayName(keyCode_, texts_));
  const QString title = (macroOnly_ ? t("MACRO_EDIT_TISHI") : t("KEY_SETTING_TISHI")) + QStringLiteral(" \u2013 ") + keyName;
  title_->setText(title);
  setWindowTitle(title);
  // For G9 the other kinds are shown disabled, named, and say why they cannot be chosen.
  button(kIdTabSingle)->setText(t("SINGLE_KEY"));
  button(kIdTabMedia)->setText(t("MULTI_MEDIA"));
  button(kIdTabFunction)->setText(t("FUNCTION_KEY"));
  for (int id : {kIdTabSingle, kIdTabMedia, kIdTabFunction})
    button(id)->SetTooltipText(macroOnly_ ? t("MACRO_ONLY_TAB_TIP") : QString());
  button(kIdTabMacro)->setText(t("MACRO_SETTING"));
  button(kIdOk)->setText(t("MACRO_OK"));
  button(kIdCancel)->setText(t("MACRO_CANCLE"));
  button(kIdApply)->setText(t("PROFILE_APPLY"));
  // The symbols are the buttons' pictures; what they do is their tooltip and their name.
  button(kIdClear)->setText(QStringLiteral("\u2715"));
  button(kIdOsk)->setText(QStringLiteral("\u2328"));
  button(kIdClear)->SetTooltipText(t("COMPOSITE_PROMPT_CLEAR"));
  button(kIdOsk)->SetTooltipText(t("COMPOSITE_PROMPT_OSK"));
  button(kIdClear)->setAccessibleName(t("COMPOSITE_PROMPT_CLEAR"));
  button(kIdOsk)->setAccessibleName(t("COMPOSITE_PROMPT_OSK"));
  // Lists in the current language, keeping their choices.
  const int media = mediaList_->currentRow(), function = functionList_->currentRow(), mouse = mouseList_->currentIndex();
  for (int i = 0; i < mediaList_->count() && i < static_cast<int>(keys::kMediaKeyCount); ++i)
    mediaList_->item(i)->setText(Q(keys::KeyDisplayName(keys::MediaKeyTable()[static_cast<std::size_t>(i)].code, texts_)));
  for (int i = 0; i < functionList_->count(); ++i)
    functionList_->item(i)->setText(Q(texts_.Text(keys::FunctionKeyLanguageKey(i))));
  for (int i = 0; i < mouseList_->count() && i < static_cast<int>(keys::kMouseFunctionCount); ++i)
    mouseList_->setItemText(i, Q(texts_.Text(keys::MouseFunctionList()[static_cast<std::size_t>(i)].languageKey)));
  mediaList_->setCurrentRow(media);
  functionList_->setCurrentRow(function);
  mouseList_->setCurrentIndex(mouse);
  if (captured_ != 0 && keyboardChosen_) keyField_->setText(Q(keys::KeyDisplayName(captured_, texts_)));
  chooser_->ApplyTexts();
}

}  // namespace vantrel::ui
